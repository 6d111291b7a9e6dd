#include "FileResult.h"

#include <QSaveFile>

namespace {

QString Reason(const QString& reason) {
    return reason.isEmpty() ? QStringLiteral("unknown error") : reason;
}

}  // namespace

FileResult ReplaceFile(const QByteArray& bytes, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return FileResult::Failure(path, QStringLiteral("cannot open for writing: %1").arg(Reason(file.errorString())));
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return FileResult::Failure(path, QStringLiteral("cannot write: %1").arg(Reason(reason)));
    }
    if (!file.commit()) {
        return FileResult::Failure(path, QStringLiteral("cannot save: %1").arg(Reason(file.errorString())));
    }
    return FileResult::Success(path);
}
