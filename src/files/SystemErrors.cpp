#include "files/SystemErrors.h"

#include "files/FileNames.h"

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <string>
#include <sys/stat.h>

QString ErrorText(int error) {
    const char* text = std::strerror(error);
    if (text == nullptr || *text == '\0' || std::strncmp(text, "Unknown error", 13) == 0) {
        return QStringLiteral("system error %1").arg(error);
    }
    if (std::optional<QString> utf8 = Utf8Text(text)) {
        return *std::move(utf8);
    }
    // The text is in the locale's own encoding (a Latin-1 or an EUC-JP locale, say), which Qt does
    // not read: as UTF-8, the reason would be lost to replacement characters.
    std::mbstate_t state{};
    const char* from = text;
    std::wstring wide(std::strlen(text), L'\0');
    const size_t length = std::mbsrtowcs(wide.data(), &from, wide.size(), &state);
    if (length == size_t(-1)) {
        return QStringLiteral("system error %1").arg(error);
    }
    wide.resize(length);
    return QString::fromStdWString(wide);
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
