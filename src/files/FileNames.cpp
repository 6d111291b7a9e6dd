#include "files/FileNames.h"

#include "files/SystemErrors.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// A byte-order mark means nothing in a name or a setting: there it is the character U+FEFF.
QString Decoded(QByteArrayView bytes, QStringConverter::Encoding encoding) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom);
    return decoder(bytes);
}

QString Unrepresentable(QByteArrayView name) {
    return QStringLiteral("its name \"%1\" is not valid UTF-8 text").arg(PrintableName(name));
}

}  // namespace

QString NameNotTextReason(const QString& what) {
    return QStringLiteral("the name is not valid UTF-8 text, so the %1 cannot be used").arg(what);
}

std::optional<QByteArray> EncodedName(const QString& path) {
    QByteArray name = QFile::encodeName(path);
    if (name.contains('\0') || NameText(name) != path) {
        return std::nullopt;
    }
    return name;
}

std::optional<QString> DecodedName(QByteArrayView name) {
    QString text = NameText(name);
    if (QFile::encodeName(text) != name) {
        return std::nullopt;
    }
    return text;
}

QString NameText(QByteArrayView name) {
    return Decoded(name, QStringConverter::System);
}

std::optional<QString> Utf8Text(QByteArrayView bytes) {
    QString text = Decoded(bytes, QStringConverter::Utf8);
    if (text.toUtf8() != bytes) {
        return std::nullopt;
    }
    return text;
}

QString FolderOf(const QString& path) {
    qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    if (QDir::separator() != QLatin1Char('/')) {
        last = std::max(last, path.lastIndexOf(QDir::separator()));
    }
    return last < 0 ? QString() : path.left(last + 1);
}

QString JoinPath(const QString& folder, const QString& fileName) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator())) {
        return folder + fileName;
    }
    return folder + QLatin1Char('/') + fileName;
}

QString FromCurrentFolder(const QString& given) {
    return given.startsWith(u':') ? JoinPath(QDir::currentPath(), given) : QDir::current().absoluteFilePath(given);
}

QString WholePath(const QString& given) {
    const QString whole = FromCurrentFolder(given);
    const QStringList steps = whole.split(QLatin1Char('/'));
    // "page.html/" names a folder, which the system refuses where a file is: it stays one.
    const QString folderMark =
        steps.constLast().isEmpty() || steps.constLast() == u'.' ? QStringLiteral("/") : QString();
    const auto clean = [&folderMark](const QString& path) {
        const QString cleaned = QDir::cleanPath(path);
        return cleaned.endsWith(u'/') ? cleaned : cleaned + folderMark;
    };
    const qsizetype lastUp = steps.lastIndexOf(QStringLiteral(".."));
    if (lastUp < 0) {
        return clean(whole);
    }
    const QByteArray real = RealPathBytes(steps.mid(0, lastUp + 1).join(QLatin1Char('/')));
    if (real.isEmpty()) {
        return whole;
    }
    const std::optional<QString> folder = DecodedName(real);
    if (!folder) {
        return whole;
    }
    return clean(JoinPath(*folder, steps.mid(lastUp + 1).join(QLatin1Char('/'))));
}

QByteArray RealPathBytes(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    return name ? RealName(*name) : QByteArray();
}

QByteArray RealName(const QByteArray& name) {
    // Nor where the real path is longer than the system takes: Qt's canonical path then gives the
    // path as it was given, links and all, and would name a link's folder for its target's.
    std::array<char, PATH_MAX + 1> real{};
    return ::realpath(name.constData(), real.data()) != nullptr ? QByteArray(real.data()) : QByteArray();
}

QByteArray FileIdentity(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    struct stat info {};
    if (!name || ::stat(name->constData(), &info) != 0 || info.st_nlink > 1) {
        return {};
    }
    return QByteArray::number(quint64(info.st_dev)) + ':' + QByteArray::number(quint64(info.st_ino));
}

QString RealPath(const QString& path) {
    const QByteArray real = RealPathBytes(path);
    return real.isEmpty() ? QString() : DecodedName(real).value_or(QString());
}

QString WholeFolderPath(const QString& given) {
    QString path = WholePath(given);
    while (path.size() > 1 && path.endsWith(u'/')) {
        path.chop(1);
    }
    return path;
}

QString CurrentFolderProblem() {
    std::array<char, PATH_MAX + 1> folder{};
    if (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno == ENOENT) {
            return QStringLiteral("the current folder no longer exists");
        }
        return errno == ERANGE ? QStringLiteral("the current folder's path is longer than the system allows")
                               : QStringLiteral("the current folder cannot be found: %1").arg(ErrorText(errno));
    }
    if (!DecodedName(QByteArrayView(folder.data()))) {
        return QStringLiteral("the current folder's name is not valid UTF-8 text");
    }
    return {};
}

QString PrintableName(QByteArrayView name) {
    QString out;
    qsizetype i = 0;
    while (i < name.size()) {
        // The shortest run of at most four bytes that is one valid character goes through as text.
        qsizetype length = 1;
        for (; length <= 4 && i + length <= name.size(); ++length) {
            const QByteArrayView run = name.sliced(i, length);
            if (const std::optional<QString> text = Utf8Text(run)) {
                out += *text;
                break;
            }
        }
        if (length > 4 || i + length > name.size()) {
            out += QStringLiteral("\\x%1").arg(uchar(name[i]), 2, 16, QLatin1Char('0'));
            length = 1;
        }
        i += length;
    }
    return PrintableText(out);
}

QString PrintableText(const QString& text) {
    const auto isControl = [](QChar c) {
        const char16_t u = c.unicode();
        // The marks that turn the direction of what follows make "txt.exe" of a name ending
        // "\u202eexe.txt", and the line and paragraph separators break a line in some terminals.
        return u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x061c || u == 0x200e || u == 0x200f ||
               (u >= 0x2028 && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069);
    };
    if (std::none_of(text.begin(), text.end(), isControl)) {
        return text;
    }
    QString out;
    for (const QChar c : text) {
        out += !isControl(c)         ? QString(c)
               : c.unicode() < 0x100 ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                                     : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return out;
}

FolderListing ListFolder(const QString& folder) {
    FolderListing listing{FileResult::Success(folder), {}, {}};
    const std::optional<QByteArray> encoded = EncodedName(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (!encoded) {
        listing.status = FileResult::Failure(folder, QStringLiteral("the folder's name cannot be represented"));
        return listing;
    }
    const DirHandle dir(::opendir(encoded->constData()));
    if (!dir) {
        listing.status = FileResult::Failure(folder, QStringLiteral("cannot list: %1").arg(ErrorText(errno)));
        return listing;
    }
    const int dirFd = ::dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                listing.status = FileResult::Failure(folder, QStringLiteral("cannot list: %1").arg(ErrorText(errno)));
            }
            break;
        }
        const QByteArrayView raw(entry->d_name);
        if (raw == "." || raw == "..") {
            continue;
        }
        // The entry itself, links not followed; the system often says so without a look.
        bool isFolder = entry->d_type == DT_DIR;
        bool isLink = entry->d_type == DT_LNK;
        struct stat info {};
        if (entry->d_type == DT_UNKNOWN && ::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
            isFolder = S_ISDIR(info.st_mode);
            isLink = S_ISLNK(info.st_mode);
        }
        // Following links, as opening the entry would; stat never opens, so no node can block here.
        // A link to nothing, or a loop of them, is no file; a folder that may be listed but not
        // entered hides what its entries are, and that is worth saying.
        bool isFile = false;
        int lookError = 0;
        if (!isFolder && ::fstatat(dirFd, entry->d_name, &info, 0) == 0) {
            isFile = S_ISREG(info.st_mode);
        } else if (!isFolder && errno != ENOENT && errno != ELOOP && errno != ENOTDIR) {
            lookError = errno;
        }
        std::optional<QString> name = DecodedName(raw);
        if (!name) {
            listing.unrepresentable.append({{}, isFile, isFolder, lookError, isLink, raw.toByteArray()});
            continue;
        }
        listing.entries.append({std::move(*name), isFile, isFolder, lookError, isLink, {}});
    }
    return listing;
}

FileResult CheckRepresentable(const QString& path) {
    if (!EncodedName(path)) {
        return FileResult::Failure(path, QStringLiteral("the name cannot be represented on this system"));
    }
    // Only a part holding U+FFFD can stand for bytes the conversion replaced.
    const QChar replacement(QChar::ReplacementCharacter);
    if (!path.contains(replacement)) {
        return FileResult::Success(path);
    }
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype end = path.indexOf(u'/', start);
        if (end < 0) {
            end = path.size();
        }
        const QString part = path.mid(start, end - start);
        if (part.contains(replacement)) {
            const QString parent = start == 0 ? QStringLiteral(".") : path.left(start);
            const FolderListing listing = ListFolder(parent);
            for (const FolderEntry& entry : listing.unrepresentable) {
                if (NameText(entry.raw) == part) {
                    return FileResult::Failure(path, Unrepresentable(entry.raw));
                }
            }
        }
        start = end + 1;
    }
    return FileResult::Success(path);
}

QString UserHome() {
    // A relative home would move the user's files with the current folder, and Qt takes an unset or
    // empty one for the root, where no user's files belong (a wizard started from a service wrote
    // its last design there), nor may a container's user whose home is the root write them.
    QString home = QDir::cleanPath(qEnvironmentVariable("HOME"));
    // Above the root is the root: "/.." is kept as it is by cleanPath.
    while (home == u"/.." || home.startsWith(u"/../")) {
        home = home.mid(3);
    }
    // Nor one whose name is not valid text: Qt reads it as another name.
    if (!QDir::isAbsolutePath(home) || home == u"/" || !DecodedName(qgetenv("HOME"))) {
        return {};
    }
    return home;
}

namespace {

QString OwnLocation(QStandardPaths::StandardLocation location, const char* variable, const QString& standard) {
    const QString path = QStandardPaths::writableLocation(location);
    const QString set = qEnvironmentVariable(variable);
    // Nor a variable whose name is not valid text: Qt reads it as another name, and the user's
    // templates would be looked for, and new ones made, in a folder of that other name.
    if (QDir::isAbsolutePath(set) ? !DecodedName(qgetenv(variable)) : UserHome().isEmpty()) {
        return {};
    }
    return path.isEmpty() || QDir::isAbsolutePath(path) || set.isEmpty() || !path.startsWith(set)
               ? path
               : QDir::homePath() + standard + path.mid(set.size());
}

}  // namespace

QString UserDataFolder() {
    return OwnLocation(QStandardPaths::GenericDataLocation, "XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

QString AppConfigFolder() {
    // Not the one Qt names after the program's file: started through a link or a wrapper of another
    // name, the wizard would look for the user's last design in another folder, and keep it there.
    const QString config =
        OwnLocation(QStandardPaths::GenericConfigLocation, "XDG_CONFIG_HOME", QStringLiteral("/.config"));
    return config.isEmpty() ? QString() : config + QStringLiteral("/vornetad");
}
