#pragma once

#include <QString>

// The outcome of one operation on a user's file: the path it concerned and, when it failed, why, in
// words a user can act on (with the operating system's own reason wherever it gave one). An empty
// error means the operation was carried out completely.
struct [[nodiscard]] FileResult {
    QString path;
    QString error;

    bool Ok() const { return error.isEmpty(); }

    static FileResult Success(const QString& path) { return {path, {}}; }
    static FileResult Failure(const QString& path, const QString& reason) { return {path, reason}; }
};
