#include "files/SystemErrors.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

QString ErrorText(int error) {
    const char* text = std::strerror(error);
    if (text == nullptr || *text == '\0' || std::strncmp(text, "Unknown error", 13) == 0) {
        return QStringLiteral("system error %1").arg(error);
    }
    return QString::fromLocal8Bit(text);
}

QString NodeKindReason(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("is a folder, not a file");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("is a named pipe (FIFO), not a regular file");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("is a socket, not a regular file");
    }
    if (S_ISCHR(mode)) {
        return QStringLiteral("is a character device, not a regular file");
    }
    if (S_ISBLK(mode)) {
        return QStringLiteral("is a block device, not a regular file");
    }
    return QStringLiteral("is not a regular file");
}

QString StatFailure(int error) {
    if (error == ENOENT) {
        return QStringLiteral("does not exist");
    }
    if (error == ELOOP) {
        return QStringLiteral("is a loop of symbolic links (%1)").arg(ErrorText(error));
    }
    if (error == ENOTDIR) {
        return QStringLiteral("a part of the path is not a folder (%1)").arg(ErrorText(error));
    }
    return QStringLiteral("cannot be looked at: %1").arg(ErrorText(error));
}
