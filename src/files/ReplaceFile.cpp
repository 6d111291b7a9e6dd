#include "files/ReplaceFile.h"

#include "files/FileNames.h"
#include "files/Interruption.h"
#include "files/SystemErrors.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// As many links as the kernel follows in one path before it gives up with ELOOP.
constexpr int kMaxLinks = 40;

// What a path leads to: the path itself or the end of its chain of links.
struct Target {
    QByteArray path;
    bool exists = false;
    bool looked = false;  // something of that name was seen (a link, a file, another node)
    struct stat info {};
    QString error;
};

QByteArray FolderPart(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        return QByteArrayLiteral(".");
    }
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray NamePart(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// Follows the links at the end of `path` one by one (the kernel follows those in its folders), so
// that a link to nothing yet is told apart from a loop and from a link into a missing folder.
Target Resolve(const QByteArray& path) {
    Target target;
    target.path = path;
    const auto via = [&target](int hop, const QString& reason) {
        return hop == 0 ? reason
                        : QStringLiteral("is a link to \"%1\", which %2").arg(PrintableName(target.path), reason);
    };
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        if (::lstat(target.path.constData(), &target.info) != 0) {
            const int error = errno;
            if (error != ENOENT) {
                target.error = via(hop, StatFailure(error));
                return target;
            }
            struct stat folder {};
            if (::stat(FolderPart(target.path).constData(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
                target.error = hop == 0 ? QStringLiteral("its folder does not exist")
                                        : via(hop, QStringLiteral("lies in a folder that does not exist"));
            }
            return target;
        }
        target.looked = true;
        if (!S_ISLNK(target.info.st_mode)) {
            if (S_ISREG(target.info.st_mode)) {
                target.exists = true;
            } else {
                target.error = via(hop, NodeKindReason(target.info.st_mode));
            }
            return target;
        }
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink(target.path.constData(), buffer, sizeof buffer);
        if (length < 0 || size_t(length) >= sizeof buffer) {
            target.error = via(
                hop,
                QStringLiteral("is a link that cannot be read: %1").arg(ErrorText(length < 0 ? errno : ENAMETOOLONG)));
            return target;
        }
        const QByteArray next(buffer, length);
        target.path = next.startsWith('/') ? next : FolderPart(target.path) + '/' + next;
    }
    target.error = QStringLiteral("is a loop of symbolic links");
    return target;
}

QString CheckTarget(const Target& target) {
    if (!target.error.isEmpty()) {
        // Where nothing of that name was there to be seen, there is nothing to speak of as left alone.
        return target.error +
               (target.looked ? QStringLiteral("; left as it is") : QStringLiteral("; nothing was written"));
    }
    // The rename would go through; a file the user has protected is still not replaced. The
    // superuser may write any file, but one that no one may write was protected on purpose.
    if (target.exists && (target.info.st_mode & 0222) == 0) {
        return QStringLiteral("cannot write: the file is write-protected");
    }
    if (target.exists && ::faccessat(AT_FDCWD, target.path.constData(), W_OK, AT_EACCESS) != 0) {
        return QStringLiteral("cannot write: %1").arg(ErrorText(errno));
    }
    return {};
}

// A new, empty file in `folder` named after `name`, created with `mode` (less the umask); -1 with
// errno set when none can be made.
int CreateTemporary(const QByteArray& folder, const QByteArray& name, mode_t mode, QByteArray& tempPath) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    // Long names leave room for the suffix within the file system's limit on one name.
    const QByteArray stem = (folder.endsWith('/') ? folder : folder + '/') + '.' + name.left(200) + '.';
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = stem;
        for (int i = 0; i < 6; ++i) {
            tempPath += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        }
        const int fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, QByteArrayView bytes) {
    const char* at = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, size_t(std::min<qsizetype>(left, qsizetype(1) << 30)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        at += n;
        left -= n;
    }
    return true;
}

// A step of writing that failed: what it was, and the system's error number.
struct FailedStep {
    QString what;
    int error = 0;
    bool created = false;  // whether a file had been made by then (and was removed again)
};

// The names and values of the extended attributes of the file at `path`, which are also how the
// system stores a file's access list ("system.posix_acl_access") and its security label; false
// with errno set when they cannot be read. A file system without them gives none.
bool ReadAttributes(const QByteArray& path, std::vector<std::pair<QByteArray, QByteArray>>& attributes) {
    // Each list or value is asked for its size first; ERANGE means it grew in between.
    const auto query = [](auto get, QByteArray& out) {
        for (;;) {
            const ssize_t size = get(nullptr, 0);
            if (size < 0) {
                return false;
            }
            out.resize(size);
            const ssize_t got = get(out.data(), size_t(size));
            if (got >= 0) {
                out.resize(got);
                return true;
            }
            if (errno != ERANGE) {
                return false;
            }
        }
    };
    QByteArray names;
    if (!query([&](char* to, size_t size) { return ::listxattr(path.constData(), to, size); }, names)) {
        return errno == ENOTSUP;
    }
    for (const QByteArray& name : names.split('\0')) {
        if (name.isEmpty()) {
            continue;
        }
        QByteArray value;
        if (!query([&](char* to, size_t size) { return ::getxattr(path.constData(), name.constData(), to, size); },
                   value)) {
            return false;
        }
        attributes.emplace_back(name, value);
    }
    return true;
}

// Gives the new file at `fd` every extended attribute of the old file at `path`. Without its access
// list, a page the web server reads through an entry for its own user is closed to it after the
// rewrite, and one whose group had less than the mode shows is opened to that group. An attribute
// the new file already has with the same value (a label every new file in the folder gets) is not
// set again, so that a system that forbids setting it still lets the write go on.
std::optional<FailedStep> CopyAttributes(const QByteArray& path, int fd) {
    std::vector<std::pair<QByteArray, QByteArray>> attributes;
    if (!ReadAttributes(path, attributes)) {
        return FailedStep{QStringLiteral("cannot read the file's extended attributes"), errno, true};
    }
    for (const auto& [name, value] : attributes) {
        QByteArray present(value.size(), Qt::Uninitialized);
        if (::fgetxattr(fd, name.constData(), present.data(), size_t(present.size())) == value.size() &&
            present == value) {
            continue;
        }
        if (::fsetxattr(fd, name.constData(), value.constData(), size_t(value.size()), 0) != 0) {
            return FailedStep{QStringLiteral("cannot keep the extended attribute \"%1\"").arg(QString::fromUtf8(name)),
                              errno, true};
        }
    }
    return std::nullopt;
}

// Writes `bytes` into a new file beside `name` in `folder`, flushed to the disk and closed, its path
// in `tempPath`. A file replacing `old` starts private and takes the old file's owner and mode; a
// new one gets the permissions a plain create would give it. On failure nothing is left behind.
std::optional<FailedStep> WriteTemporary(const QByteArray& folder, const QByteArray& name, QByteArrayView bytes,
                                         const Target& old, QByteArray& tempPath) {
    const int fd = CreateTemporary(folder, name, old.exists ? 0600 : 0666, tempPath);
    if (fd < 0) {
        return FailedStep{QStringLiteral("cannot create a file in the folder"), errno, false};
    }
    NoteTemporaryFile(tempPath);
    const auto fail = [&](const QString& what, int error, bool open) {
        if (open) {
            ::close(fd);
        }
        ::unlink(tempPath.constData());
        ForgetTemporaryFile();
        return FailedStep{what, error, true};
    };
    if (old.exists) {
        // Only the superuser may give a file away; anyone may pass it to a group of their own.
        if (::fchown(fd, old.info.st_uid, old.info.st_gid) != 0) {
            // A group we are not in stays the new file's own; not worth failing the write for.
            [[maybe_unused]] const int groupKept = ::fchown(fd, uid_t(-1), old.info.st_gid);
        }
        // After the owner: changing the owner clears the set-user and set-group bits.
        if (::fchmod(fd, old.info.st_mode & 07777) != 0) {
            return fail(QStringLiteral("cannot keep the permissions"), errno, true);
        }
        // After the mode: an access list sets the mode's group bits to its mask, as they were.
        if (const std::optional<FailedStep> failed = CopyAttributes(old.path, fd)) {
            return fail(failed->what, failed->error, true);
        }
    }
    if (!WriteAll(fd, bytes)) {
        return fail(QStringLiteral("cannot write"), errno, true);
    }
    if (::fsync(fd) != 0) {
        return fail(QStringLiteral("cannot write to the disk"), errno, true);
    }
    if (::close(fd) != 0 && errno != EINTR) {
        return fail(QStringLiteral("cannot write"), errno, false);
    }
    return std::nullopt;
}

// The new name is in place; making the folder's entry durable is the system's business from here,
// so a failure to flush the folder changes nothing for the caller.
void FlushFolder(const QByteArray& folder) {
    if (const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        static_cast<void>(::fsync(dirFd));
        ::close(dirFd);
    }
}

FileResult Failed(const QString& path, const FailedStep& step, const QString& outcome) {
    if (!step.created) {
        return FileResult::Failure(path, QStringLiteral("%1: %2").arg(step.what, ErrorText(step.error)));
    }
    return FileResult::Failure(path, QStringLiteral("%1: %2; %3").arg(step.what, ErrorText(step.error), outcome));
}

FileStamp StampOf(const QByteArray& name) {
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        return {};
    }
    const auto ns = [](const timespec& t) {
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    return {true, info.st_dev, info.st_ino, info.st_size, ns(info.st_mtim), ns(info.st_ctim)};
}

}  // namespace

FileResult ReplaceFile(QByteArrayView bytes, const QString& path, const std::optional<FileStamp>& readAs) {
    return ReplaceFiles({{bytes, path, readAs}}).constFirst();
}

QList<FileResult> ReplaceFiles(const QList<FileToWrite>& files) {
    struct Staged {
        QByteArray target;
        QByteArray temp;
        bool existed = false;
    };
    std::vector<Staged> staged;
    std::optional<FileResult> failure;
    for (const FileToWrite& file : files) {
        const std::optional<QByteArray> name = EncodedName(file.path);
        if (!name) {
            failure = FileResult::Failure(file.path, QStringLiteral("the name cannot be represented on this system"));
            break;
        }
        const Target target = Resolve(*name);
        if (const QString refusal = CheckTarget(target); !refusal.isEmpty()) {
            failure = FileResult::Failure(file.path, refusal);
            break;
        }
        const QString outcome = files.size() > 1 ? QStringLiteral("no file of the set was written")
                                : target.exists  ? QStringLiteral("the old file is unchanged")
                                                 : QStringLiteral("nothing was written");
        QByteArray tempPath;
        if (const std::optional<FailedStep> failed =
                WriteTemporary(FolderPart(target.path), NamePart(target.path), file.bytes, target, tempPath)) {
            failure = Failed(file.path, *failed, outcome);
            break;
        }
        staged.push_back({target.path, tempPath, target.exists});
    }
    // The last look before any old file goes: one changed meanwhile keeps its change, and so the
    // set stays whole.
    for (size_t i = 0; !failure && i < staged.size(); ++i) {
        if (files[qsizetype(i)].readAs && StampOf(staged[i].target) != *files[qsizetype(i)].readAs) {
            failure = FileResult::Failure(files[qsizetype(i)].path,
                                          QStringLiteral("was changed while it was being rewritten; left as it is, "
                                                         "with that change (run again)"));
        }
    }
    QList<FileResult> results;
    const auto forgetAll = [&staged] {
        for (size_t i = 0; i < staged.size(); ++i) {
            ForgetTemporaryFile();
        }
    };
    if (failure) {
        for (const Staged& file : staged) {
            ::unlink(file.temp.constData());
        }
        forgetAll();
        for (const FileToWrite& file : files) {
            results.append(file.path == failure->path
                               ? *failure
                               : FileResult::Failure(file.path, QLatin1String(kLeftForAnother) +
                                                                    QStringLiteral("%1 could not be written")
                                                                        .arg(QFileInfo(failure->path).fileName())));
        }
        return results;
    }
    // Each rename is a step of its own; one that fails here (rare: the files stand ready) leaves
    // the set mixed, and the result says which old file stayed.
    for (qsizetype i = 0; i < files.size(); ++i) {
        const Staged& file = staged[size_t(i)];
        if (::rename(file.temp.constData(), file.target.constData()) != 0) {
            const int error = errno;
            ::unlink(file.temp.constData());
            results.append(Failed(files[i].path, {QStringLiteral("cannot replace the file"), error, true},
                                  file.existed ? QStringLiteral("the old file is unchanged")
                                               : QStringLiteral("nothing was written")));
        } else {
            results.append(FileResult::Success(files[i].path));
        }
    }
    forgetAll();
    QSet<QByteArray> folders;
    for (const Staged& file : staged) {
        folders.insert(FolderPart(file.target));
    }
    for (const QByteArray& folder : std::as_const(folders)) {
        FlushFolder(folder);
    }
    return results;
}

QString WriteTarget(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    if (!name) {
        return path;
    }
    const QByteArray landing = Resolve(*name).path;
    const QByteArray folder = FolderPart(landing);
    char real[PATH_MAX];
    const QString shown = ::realpath(folder.constData(), real) != nullptr
                              ? NameText(real)
                              : QDir::cleanPath(QDir(NameText(folder)).absolutePath());
    return shown + u'/' + NameText(NamePart(landing));
}

FileStamp StampOf(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    return name ? StampOf(*name) : FileStamp{};
}

FileResult CreateNewFile(QByteArrayView bytes, const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    if (!name) {
        return FileResult::Failure(path, QStringLiteral("the name cannot be represented on this system"));
    }
    const QString taken = QStringLiteral("something of that name is already there; left as it is");
    // Anything at all at the name, a link to nowhere included, is the user's and stays as it is.
    struct stat info {};
    if (::lstat(name->constData(), &info) == 0) {
        return FileResult::Failure(path, taken);
    }
    if (errno != ENOENT) {
        return FileResult::Failure(path, StatFailure(errno));
    }
    const QByteArray folder = FolderPart(*name);
    struct stat folderInfo {};
    if (::stat(folder.constData(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) {
        return FileResult::Failure(path, QStringLiteral("its folder does not exist"));
    }
    const QString outcome = QStringLiteral("nothing was written");
    QByteArray tempPath;
    if (const std::optional<FailedStep> failed = WriteTemporary(folder, NamePart(*name), bytes, Target{}, tempPath)) {
        return Failed(path, *failed, outcome);
    }
    // The name is taken only if nothing has appeared there since it was looked at: a file made in
    // the meantime is never replaced. A file system that cannot rename so gets a hard link, which
    // fails in the same way.
    int moved = ::renameat2(AT_FDCWD, tempPath.constData(), AT_FDCWD, name->constData(), RENAME_NOREPLACE);
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
        moved = ::link(tempPath.constData(), name->constData());
        if (moved == 0) {
            ::unlink(tempPath.constData());
        }
    }
    const int moveError = errno;
    if (moved != 0) {
        ::unlink(tempPath.constData());
    }
    ForgetTemporaryFile();
    if (moved != 0) {
        const int error = moveError;
        if (error == EEXIST) {
            return FileResult::Failure(path, taken);
        }
        return Failed(path, {QStringLiteral("cannot create the file"), error, true}, outcome);
    }
    FlushFolder(folder);
    return FileResult::Success(path);
}

FileResult MakeFolders(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    if (!name) {
        return FileResult::Failure(path, QStringLiteral("the name cannot be represented on this system"));
    }
    // Each folder on the way, from the top: one that exists is passed, a file in the way is named.
    for (qsizetype at = name->indexOf('/', 1);; at = name->indexOf('/', at + 1)) {
        const QByteArray part = at < 0 ? *name : name->left(at);
        struct stat info {};
        if (!part.isEmpty() && ::stat(part.constData(), &info) != 0) {
            if (errno != ENOENT || (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)) {
                return FileResult::Failure(NameText(part),
                                           QStringLiteral("cannot make the folder: %1").arg(ErrorText(errno)));
            }
        } else if (!part.isEmpty() && !S_ISDIR(info.st_mode)) {
            return FileResult::Failure(NameText(part), S_ISREG(info.st_mode) ? QStringLiteral("is a file, not a folder")
                                                                             : NodeKindReason(info.st_mode));
        }
        if (at < 0) {
            return FileResult::Success(path);
        }
    }
}

FileResult CheckReplaceable(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    if (!name) {
        return FileResult::Failure(path, QStringLiteral("the name cannot be represented on this system"));
    }
    const QString refusal = CheckTarget(Resolve(*name));
    return refusal.isEmpty() ? FileResult::Success(path) : FileResult::Failure(path, refusal);
}
