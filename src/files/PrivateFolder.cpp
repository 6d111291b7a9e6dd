#include "files/PrivateFolder.h"

#include "files/FileNames.h"
#include "files/Interruption.h"
#include "files/SystemErrors.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether `info` is of a folder that only we can enter, list or change.
bool OursAlone(const struct stat& info) {
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

// Whether `path` is a real folder (not a link) that only we can enter, list or change, ready for use:
// one that we ourselves may not use either, made under a umask that takes the owner's own bits, is
// given them, or every later preview would fail in it.
bool PrivateFolderReady(const QByteArray& path) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !OursAlone(info)) {
        return false;
    }
    return (info.st_mode & S_IRWXU) == S_IRWXU || ::chmod(path.constData(), S_IRWXU) == 0;
}

// Our folder under `base`, made when needed. The temporary location is usually shared by every
// user, who could create our folder first, or a link in its place, and so read or redirect what we
// write: a folder that is not a real one of ours with owner-only permissions is never used, and a
// fresh one with a random name stands in for it.
FileResult FolderUnder(const QByteArray& base) {
    const QString baseName = NameText(base);
    struct stat info {};
    if (::stat(base.constData(), &info) != 0) {
        return FileResult::Failure(baseName, StatFailure(errno));
    }
    if (!S_ISDIR(info.st_mode)) {
        return FileResult::Failure(baseName, NodeKindReason(info.st_mode));
    }
    const QByteArray stable = base + "/vornetad-" + QByteArray::number(::geteuid());
    if (::mkdir(stable.constData(), 0700) != 0 && errno != EEXIST) {
        return FileResult::Failure(NameText(stable),
                                   QStringLiteral("cannot create the preview folder: %1").arg(ErrorText(errno)));
    }
    if (PrivateFolderReady(stable)) {
        return FileResult::Success(NameText(stable));
    }
    QByteArray pattern = base + "/vornetad-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr || !PrivateFolderReady(pattern)) {
        return FileResult::Failure(NameText(pattern),
                                   QStringLiteral("cannot create the preview folder: %1").arg(ErrorText(errno)));
    }
    return FileResult::Success(NameText(pattern));
}

// The temporary locations to try, in order: $TMPDIR when it names a folder by a full path that
// Qt can carry, then /tmp.
QList<QByteArray> Bases(QStringList& passedOver) {
    QList<QByteArray> bases;
    QByteArray fromEnvironment = qgetenv("TMPDIR");
    while (fromEnvironment.size() > 1 && fromEnvironment.endsWith('/')) {
        fromEnvironment.chop(1);
    }
    if (!fromEnvironment.isEmpty()) {
        if (!fromEnvironment.startsWith('/')) {
            passedOver.append(QStringLiteral("TMPDIR \"%1\" is not a full path").arg(PrintableName(fromEnvironment)));
        } else if (!DecodedName(fromEnvironment)) {
            passedOver.append(
                QStringLiteral("TMPDIR \"%1\" cannot be represented").arg(PrintableName(fromEnvironment)));
        } else if (fromEnvironment != "/tmp") {
            bases.append(fromEnvironment);
        }
    }
    bases.append(QByteArrayLiteral("/tmp"));
    return bases;
}

// The folder at `path`, open, where it is a real folder of ours alone; -1 otherwise. Opened once
// and looked at as opened: one put in its place meanwhile (where a cleaner of old files took ours,
// another user's link to a folder of this user's site) is never entered. Nobody else can put
// anything into one that is ours alone.
int OpenPrivateFolder(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !OursAlone(info))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Where this process's own folder is, once made.
QByteArray& ProcessFolderPath() {
    static QByteArray path;
    return path;
}

void RemoveOwnProcessFolder() {
    const QByteArray& own = ProcessFolderPath();
    const qsizetype slash = own.lastIndexOf('/');
    if (slash <= 0) {
        return;
    }
    if (const int baseFd = OpenPrivateFolder(own.left(slash)); baseFd >= 0) {
        RemoveFolderOfFiles(baseFd, own.constData() + slash + 1);
        ::close(baseFd);
    }
}

// The folders in `base` named by the number of a process that is gone (ended without its exit, or
// killed).
void RemoveLeftBehind(const QByteArray& base) {
    const int fd = OpenPrivateFolder(base);
    DIR* folder = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (folder == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        bool number = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&number);
        if (number && pid > 0 && pid != ::getpid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH) {
            RemoveFolderOfFiles(::dirfd(folder), entry->d_name);
        }
    }
    ::closedir(folder);
}

}  // namespace

FileResult PrivatePreviewFolder() {
    // The folder chosen first stays the process's preview folder while it is still ours, so later
    // previews find the earlier page.
    static QString chosen;
    static QByteArray chosenFor;
    const QByteArray environment = qgetenv("TMPDIR");
    if (!chosen.isEmpty() && chosenFor == environment && PrivateFolderReady(QFile::encodeName(chosen))) {
        return FileResult::Success(chosen);
    }
    QStringList reasons;
    for (const QByteArray& base : Bases(reasons)) {
        const FileResult folder = FolderUnder(base);
        if (folder.Ok()) {
            chosen = folder.path;
            chosenFor = environment;
            return folder;
        }
        reasons.append(QStringLiteral("\"%1\" %2").arg(folder.path, folder.error));
    }
    return FileResult::Failure(
        QStringLiteral("/tmp"),
        QStringLiteral("no usable temporary folder for the preview: %1").arg(reasons.join(QStringLiteral("; "))));
}

FileResult ProcessPreviewFolder() {
    const FileResult shared = PrivatePreviewFolder();
    if (!shared.Ok()) {
        return shared;
    }
    const QByteArray base = QFile::encodeName(shared.path);
    const QByteArray own = base + '/' + QByteArray::number(::getpid());
    if (ProcessFolderPath() != own) {
        RemoveLeftBehind(base);
        if (ProcessFolderPath().isEmpty()) {
            std::atexit(RemoveOwnProcessFolder);
        } else {
            RemoveOwnProcessFolder();  // under a temporary location given up since
        }
        ProcessFolderPath() = own;
        // A logout's or a kill's signal ends the process without its exit.
        RemoveFolderOnEnd(base, QByteArray::number(::getpid()));
    }
    // Made again where it went meanwhile (a cleaner of old temporary files, another copy's sweep).
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST) {
        return FileResult::Failure(NameText(own),
                                   QStringLiteral("cannot create the preview folder: %1").arg(ErrorText(errno)));
    }
    if (!PrivateFolderReady(own)) {
        return FileResult::Failure(NameText(own), QStringLiteral("is not a folder of this user's own alone"));
    }
    return FileResult::Success(NameText(own));
}
