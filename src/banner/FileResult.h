#pragma once

#include <QString>

// The outcome of writing one file: the path and, when it failed, why.
// An empty error means the file was written completely.
struct FileResult {
    QString path;
    QString error;

    bool ok() const { return error.isEmpty(); }

    static FileResult Success(const QString& path) { return {path, {}}; }
    static FileResult Failure(const QString& path, const QString& reason) { return {path, reason}; }
};
