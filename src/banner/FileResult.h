#pragma once

#include <QByteArray>
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

// Replaces (or creates) the file at `path` with exactly `bytes`, through a temporary file that is
// renamed over it, so a failure leaves the old file whole. A symbolic link is followed and kept; an
// existing file keeps its permission bits. The result names the path and the reason.
FileResult ReplaceFile(const QByteArray& bytes, const QString& path);
