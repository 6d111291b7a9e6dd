#include "files/ReplaceFile.h"

#include "files/FileNames.h"
#include "files/Interruption.h"
#include "files/ReadFile.h"
#include "files/SystemErrors.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <optional>
#include <pwd.h>
#include <sys/ioctl.h>
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
    std::vector<std::pair<QByteArray, uid_t>> links;  // the links passed, with their owners
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
    // The links passed, by their nodes: one met again is a loop; a long chain without one is not.
    QSet<QPair<dev_t, ino_t>> passed;
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
        target.links.emplace_back(target.path, target.info.st_uid);
        const QPair<dev_t, ino_t> node{target.info.st_dev, target.info.st_ino};
        if (passed.contains(node)) {
            target.error = QStringLiteral("is a loop of symbolic links");
            return target;
        }
        passed.insert(node);
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
    target.error = QStringLiteral("leads through too many links in a row (more than %1)").arg(kMaxLinks);
    return target;
}

// The folder as the system names it, its own links resolved, for a message.
QString ShownFolder(const QByteArray& folder) {
    char real[PATH_MAX];
    return ::realpath(folder.constData(), real) != nullptr ? NameText(real)
                                                           : QDir::cleanPath(QDir(NameText(folder)).absolutePath());
}

// The name of a file's owner or group (`lookup` is getpwuid_r or getgrgid_r), or its number where
// the system has none for it.
template <typename Entry, typename Id>
QString NameOf(Id id, int (*lookup)(Id, Entry*, char*, size_t, Entry**), char* Entry::*name) {
    Entry entry{};
    Entry* found = nullptr;
    char buffer[16384];
    return lookup(id, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr
               ? QString::fromLocal8Bit(found->*name)
               : QString::number(id);
}

// Whether this process may give a file to the group `gid`: one of its own.
bool InGroup(gid_t gid) {
    if (gid == ::getegid()) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(std::max(count, 0)));
    return count > 0 && ::getgroups(count, groups.data()) == count &&
           std::find(groups.begin(), groups.end(), gid) != groups.end();
}

// The attribute flags (append-only, immutable, not dumped) of the regular file at `path`; none
// where they cannot be read. Opened without following a link and without waiting, since a node may
// have taken the file's place.
unsigned AttributeFlags(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    struct stat info {};
    int flags = 0;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        flags = 0;
    }
    ::close(fd);
    return unsigned(flags);
}

// The flags a file's owner sets and a rewrite keeps: not dumped, no access times, written at once,
// deleted securely, undeletable, compressed or not, not copied on write, its data journalled. The
// others say how the file system keeps the file, and a new file gets its own.
constexpr unsigned kKeptFlags = FS_NODUMP_FL | FS_NOATIME_FL | FS_SYNC_FL | FS_SECRM_FL | FS_UNRM_FL | FS_COMPR_FL |
                                FS_NOCOMP_FL | FS_NOCOW_FL | FS_JOURNAL_DATA_FL;

// How a folder that no one may write is refused, for any file in it.
QString ProtectedFolder(const QByteArray& folder) {
    return QStringLiteral("cannot write: its folder \"%1\" is write-protected").arg(ShownFolder(folder));
}

// Why no file may be written in `folder` though its permissions allow it: an append-only folder
// takes new names but lets none go, so a file made in it could neither take its name (from the
// hidden one it is made under) nor be removed again; an immutable one takes nothing. Empty when
// nothing stands in the way. Asked without opening the folder, which one that may be written but
// not read would refuse.
QString FlaggedFolder(const QByteArray& folder) {
    struct statx info {};
    if (::statx(AT_FDCWD, folder.constData(), 0, STATX_BASIC_STATS, &info) != 0) {
        return {};
    }
    const auto flagged = [&info](auto attribute) {
        return (info.stx_attributes_mask & attribute) != 0 && (info.stx_attributes & attribute) != 0;
    };
    if (flagged(STATX_ATTR_IMMUTABLE)) {
        return QStringLiteral("cannot write: its folder \"%1\" is immutable").arg(ShownFolder(folder));
    }
    return flagged(STATX_ATTR_APPEND) ? QStringLiteral("cannot write: its folder \"%1\" is append-only, so that a "
                                                       "file written in it could not take its name")
                                            .arg(ShownFolder(folder))
                                      : QString();
}

int CreateTemporary(const QByteArray& folder, const QByteArray& name, mode_t mode, QByteArray& tempPath);

// Gives the new file `fd` the owner and group of `old`; true when it has them. Nothing is asked
// where it has them already: some file systems refuse any change of owner, and some take it without
// making it (errno is 0 then).
bool GiveOwnerAndGroup(int fd, const struct stat& old) {
    struct stat made {};
    const auto owned = [&] {
        return made.st_uid == old.st_uid && made.st_gid == old.st_gid;
    };
    if (::fstat(fd, &made) != 0) {
        return false;
    }
    if (owned()) {
        return true;
    }
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 || ::fstat(fd, &made) != 0) {
        return false;
    }
    errno = 0;
    return owned();
}

// Whether a new file made beside `old` can have its owner and group: a file system may give every
// new file one owner (a network share, a disk without owners) and a folder its own group, whoever
// the process is. Asked of the file system with an empty file made for it: a file without a name
// where the file system makes one (nothing appears in the folder, whose time stamps stay as they
// were, which a run that only checks must leave them), else a named one, removed again; yes where
// none can be made, which the write itself then reports.
bool KeepsOwnerAndGroup(const Target& old) {
    const QByteArray folder = FolderPart(old.path);
    if (const int unnamed = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600); unnamed >= 0) {
        const bool keeps = GiveOwnerAndGroup(unnamed, old.info);
        ::close(unnamed);
        return keeps;
    }
    QByteArray probePath;
    const int fd = CreateTemporary(folder, NamePart(old.path), 0600, probePath);
    if (fd < 0) {
        return true;
    }
    const bool keeps = GiveOwnerAndGroup(fd, old.info);
    ::close(fd);
    ::unlink(probePath.constData());
    ForgetTemporaryFile();
    return keeps;
}

// Whether the file `target` is a mount point of its own (a single file bound into a container, say),
// which a new file renamed over it cannot replace. The mounts tell, not the devices: an overlay (a
// container's) shows a file of its lower layer with that layer's device, and a file bound from the
// same file system has the folder's.
bool MountedOn(const Target& target, const QByteArray& folder) {
    struct statx file {};
    struct statx dir {};
    return ::statx(AT_FDCWD, target.path.constData(), AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &file) == 0 &&
           ::statx(AT_FDCWD, folder.constData(), 0, STATX_MNT_ID, &dir) == 0 && (file.stx_mask & STATX_MNT_ID) &&
           (dir.stx_mask & STATX_MNT_ID) && file.stx_mnt_id != dir.stx_mnt_id;
}

// The start of a hidden name beside `name` in `folder`, to which AtHiddenName adds kHiddenSuffix
// letters. Long names leave room for them within the file system's limit on one name, cut between
// two UTF-8 letters: file systems that store names as UTF-16 refuse half of one.
constexpr int kHiddenSuffix = 6;
QByteArray HiddenStem(const QByteArray& folder, const QByteArray& name) {
    qsizetype kept = std::min<qsizetype>(name.size(), 200);
    while (kept < name.size() && kept > 0 && (uchar(name[kept]) & 0xC0) == 0x80) {
        --kept;
    }
    return (folder.endsWith('/') ? folder : folder + '/') + '.' + name.left(kept) + '.';
}

// Why the file that the links lead to (or a new one there) is not to be written, though it is
// a regular file in a folder that exists; empty when nothing stands in the way. The new file is
// made beside the old one and renamed over it, so the folder has its say as much as the file, and
// the new file must take the old one's owner and group; a refusal here comes before any file of
// a run is written, where a failed rename would leave a page's image and style sheet replaced.
QString Obstacle(const Target& target) {
    // The superuser may write any file, but a file or a folder that no one may write was protected
    // on purpose.
    if (target.exists && (target.info.st_mode & 0222) == 0) {
        return QStringLiteral("cannot write: the file is write-protected");
    }
    const unsigned flags = target.exists ? AttributeFlags(target.path) : 0;
    if (flags & FS_IMMUTABLE_FL) {
        return QStringLiteral("is immutable");
    }
    if (flags & FS_APPEND_FL) {
        return QStringLiteral("is append-only");
    }
    const QByteArray folder = FolderPart(target.path);
    struct stat folderInfo {};
    if (::stat(folder.constData(), &folderInfo) != 0) {
        const int error = errno;  // before ShownFolder, which may change it
        return QStringLiteral("its folder \"%1\" cannot be looked at: %2").arg(ShownFolder(folder), ErrorText(error));
    }
    if ((folderInfo.st_mode & 0222) == 0) {
        return ProtectedFolder(folder);
    }
    if (const QString flagged = FlaggedFolder(folder); !flagged.isEmpty()) {
        return flagged;
    }
    if (target.exists && MountedOn(target, folder)) {
        return QStringLiteral("has another file mounted on it (bound in, as containers do), and a mount point "
                              "cannot be replaced");
    }
    if (target.exists && ::faccessat(AT_FDCWD, target.path.constData(), W_OK, AT_EACCESS) != 0) {
        return QStringLiteral("cannot write: %1").arg(ErrorText(errno));
    }
    if (::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0) {
        const int error = errno;
        return QStringLiteral("its folder \"%1\" cannot be written: %2").arg(ShownFolder(folder), ErrorText(error));
    }
    // The new bytes go into a hidden file beside it first, whose path is longer than its own: known
    // here, so that a dry run says it too.
    if (HiddenStem(folder, NamePart(target.path)).size() + kHiddenSuffix >= PATH_MAX) {
        return QStringLiteral("its path is too long to write: the new copy made beside it first would pass the "
                              "system's limit of %1 bytes")
            .arg(PATH_MAX - 1);
    }
    const uid_t self = ::geteuid();
    if (!target.exists || self == 0) {
        return {};
    }
    if ((folderInfo.st_mode & S_ISVTX) && target.info.st_uid != self && folderInfo.st_uid != self) {
        return QStringLiteral("lies in a sticky folder, where only the file's owner or the folder's may replace it");
    }
    // Given to this user instead, a page that the web server reads through its owner or its group
    // would be closed to it. Where they are not the process's own, the file system is asked: a
    // share or a disk without owners gives every new file the owner its files have.
    const bool ownOwner = target.info.st_uid == self;
    if ((!ownOwner || !InGroup(target.info.st_gid)) && !KeepsOwnerAndGroup(target)) {
        return ownOwner ? QStringLiteral("cannot keep its group \"%1\" (only its members may give a file to it)")
                              .arg(NameOf(target.info.st_gid, ::getgrgid_r, &group::gr_name))
                        : QStringLiteral("cannot keep its owner \"%1\" (only the superuser may give a file away)")
                              .arg(NameOf(target.info.st_uid, ::getpwuid_r, &passwd::pw_name));
    }
    return {};
}

// Why the superuser does not write `target` through the links on its way, or nothing. It follows a
// link only where the link is its own or belongs to whoever owns what the link leads to: in a site
// that others may write, another user's link, planted or swapped in while a run goes on, would have
// it write a file or a folder of a third user's in its name. The kernel has such a rule for links
// in shared folders, which links followed here by hand, and folders on the way, do not meet.
QString ForeignLink(const Target& target) {
    if (::geteuid() != 0) {
        return {};
    }
    // The name given is the first link passed, if any, and is then named as the link.
    const auto refusal = [&target](const QByteArray& link, uid_t linkOwner, uid_t owner) {
        const QString whose =
            QStringLiteral("a link of %1's to what is %2's, which the superuser does not write "
                           "through")
                .arg(NameOf(linkOwner, ::getpwuid_r, &passwd::pw_name), NameOf(owner, ::getpwuid_r, &passwd::pw_name));
        return !target.links.empty() && link == target.links.front().first
                   ? QStringLiteral("is %1").arg(whose)
                   : QStringLiteral("is reached through \"%1\", %2").arg(PrintableName(link), whose);
    };
    // What the links lead to: the file, or where it is still to be made, its folder.
    struct stat landing = target.info;
    if (target.exists || ::stat(FolderPart(target.path).constData(), &landing) == 0) {
        for (const auto& [link, owner] : target.links) {
            if (owner != 0 && owner != landing.st_uid) {
                return refusal(link, owner, landing.st_uid);
            }
        }
    }
    const QByteArray folder = FolderPart(target.path);
    for (qsizetype at = folder.indexOf('/', 1);; at = folder.indexOf('/', at + 1)) {
        const QByteArray part = at < 0 ? folder : folder.left(at);
        struct stat link {};
        struct stat ledTo {};
        if (::lstat(part.constData(), &link) == 0 && S_ISLNK(link.st_mode) && link.st_uid != 0 &&
            ::stat(part.constData(), &ledTo) == 0 && link.st_uid != ledTo.st_uid) {
            return refusal(part, link.st_uid, ledTo.st_uid);
        }
        if (at < 0) {
            return {};
        }
    }
}

// Whether the file `at` holds exactly `bytes`.
bool Holds(const Target& at, QByteArrayView bytes) {
    if (!at.exists || at.info.st_size != bytes.size()) {
        return false;
    }
    const int fd = ::open(at.path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat opened {};
    bool same = ::fstat(fd, &opened) == 0 && opened.st_dev == at.info.st_dev && opened.st_ino == at.info.st_ino &&
                opened.st_size == bytes.size();
    char buffer[65536];
    for (qsizetype done = 0; same && done < bytes.size();) {
        const ssize_t got = ::read(fd, buffer, size_t(std::min<qsizetype>(sizeof buffer, bytes.size() - done)));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        same = got > 0 && std::equal(buffer, buffer + got, bytes.data() + done);
        done += got;
    }
    ::close(fd);
    return same;
}

// Whether the file `old` already holds exactly `bytes` and gives `readers` what a rewrite would:
// then a rewrite would change nothing but its time stamps and inode, which tools that upload, build
// or reload by time take for a change of every page.
bool AlreadyHolds(const Target& old, QByteArrayView bytes, const std::optional<Readers>& readers) {
    if (readers) {
        // As GiveReaders would find it; an old file keeps its group.
        const mode_t bits =
            readers->bits | ((readers->bits & 0040) != 0 && old.info.st_gid != readers->group ? 0004 : 0);
        if ((old.info.st_mode & bits) != bits) {
            return false;
        }
    }
    return Holds(old, bytes);
}

// Why `target` is not to be written, or nothing. With `file`, a target that holds its bytes already
// is left as it is and passes whatever stands only in the way of writing it (its protection, its
// folder's, its owner): a site made read-only after a run still passes the same run again.
QString CheckTarget(const Target& target, const FileToWrite* file = nullptr) {
    const QString left = QStringLiteral("; ") + UntouchedEnding(target.looked);
    if (!target.error.isEmpty()) {
        return target.error + left;
    }
    if (const QString foreign = ForeignLink(target); !foreign.isEmpty()) {
        return foreign + left;
    }
    if (file && AlreadyHolds(target, file->bytes, file->readers)) {
        return {};
    }
    const QString obstacle = Obstacle(target);
    return obstacle.isEmpty() ? obstacle : obstacle + left;
}

// Makes something at a new hidden name in `folder` after `name` with `make` (given the path, it
// returns -1 with errno set where it fails), the name in `tempPath` and noted by NoteTemporaryFile;
// what `make` returned, or -1 with errno set when nothing could be made.
template <typename Make>
int AtHiddenName(const QByteArray& folder, const QByteArray& name, QByteArray& tempPath, const Make& make) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray stem = HiddenStem(folder, name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = stem;
        for (int i = 0; i < kHiddenSuffix; ++i) {
            tempPath += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        }
        // A signal's end between the making and the noting would leave the name behind.
        const SignalHold hold;
        const int made = make(tempPath);
        if (made >= 0) {
            NoteTemporaryFile(tempPath);
        }
        if (made >= 0 || errno != EEXIST) {
            return made;
        }
    }
    errno = EEXIST;
    return -1;
}

// A new, empty file in `folder` named after `name`, created with `mode` (less the umask) and named
// by NoteTemporaryFile; -1 with errno set when none can be made.
int CreateTemporary(const QByteArray& folder, const QByteArray& name, mode_t mode, QByteArray& tempPath) {
    return AtHiddenName(folder, name, tempPath, [mode](const QByteArray& path) {
        return ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    });
}

// A new file without a name in `folder`, created with `mode` (less the umask), or -1 where the file
// system makes none (FUSE, NFS and older kernels refuse O_TMPFILE) or it could not be named later:
// NameNewFile names it through /proc, which a chroot or a sandbox may lack or hold only in part.
int CreateUnnamed(const QByteArray& folder, mode_t mode) {
    const int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    char target[PATH_MAX];
    if (fd >= 0 &&
        ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), target, sizeof target) <= 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A file written for a target and flushed to the disk. Where the file system makes files without a
// name, it has none until NameNewFile gives it one right before it takes the target's place, and
// stays open till then: a run ended by force (SIGKILL, the OOM killer, a power cut) while files are
// written and flushed, which is most of a run's time, leaves nothing in the user's folder, where a
// hidden copy of a page would be uploaded with the site and sent as text. Elsewhere it is closed
// under its hidden name.
struct NewFile {
    int fd = -1;  // open until it is named
    QByteArray tempPath;
};

// Closes and removes a new file that is not to take its target's place; a hidden name is then still
// for the caller to forget.
void Discard(NewFile& made) {
    if (made.fd >= 0) {
        ::close(made.fd);
        made.fd = -1;
    }
    if (!made.tempPath.isEmpty()) {
        ::unlink(made.tempPath.constData());
    }
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
        return FailedStep{QStringLiteral("cannot read the file's extended attributes"), errno};
    }
    for (const auto& [name, value] : attributes) {
        QByteArray present(value.size(), Qt::Uninitialized);
        if (::fgetxattr(fd, name.constData(), present.data(), size_t(present.size())) == value.size() &&
            present == value) {
            continue;
        }
        if (::fsetxattr(fd, name.constData(), value.constData(), size_t(value.size()), 0) != 0) {
            return FailedStep{QStringLiteral("cannot keep the extended attribute \"%1\"").arg(QString::fromUtf8(name)),
                              errno};
        }
    }
    return std::nullopt;
}

// Gives the new file at `fd` the kept flags among `oldFlags`, besides those it has: a page marked
// not to be dumped would otherwise go into the next backup, one marked to be written at once would
// not be. As far as the system lets this process set them, one at a time: some take a privilege
// (journalled data), and some do not go with a flag the folder gives every new file (not
// compressed, in a compressed folder); the page is written all the same, as it always was.
void CopyFlags(unsigned oldFlags, int fd) {
    int flags = 0;
    if ((oldFlags & kKeptFlags) == 0 || ::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        return;
    }
    if (const int all = flags | int(oldFlags & kKeptFlags); all == flags || ::ioctl(fd, FS_IOC_SETFLAGS, &all) == 0) {
        return;
    }
    for (unsigned flag = 1; flag != 0; flag <<= 1) {
        if ((oldFlags & kKeptFlags & flag) != 0 && (unsigned(flags) & flag) == 0) {
            const int with = flags | int(flag);
            if (::ioctl(fd, FS_IOC_SETFLAGS, &with) == 0) {
                flags = with;
            }
        }
    }
}

// Lets `readers` read the file open at `fd` (see FileToWrite), made in `folder`; `mayRegroup`: the
// file is new, and may take their group, and the superuser's is given to the folder's owner.
std::optional<FailedStep> GiveReaders(int fd, const QByteArray& folder, const Readers& readers, bool mayRegroup) {
    struct stat holder {};
    if (mayRegroup && ::geteuid() == 0 && ::stat(folder.isEmpty() ? "." : folder.constData(), &holder) == 0 &&
        holder.st_uid != 0) {
        // A file system that keeps no owners (FAT) refuses, and leaves the file as it was made.
        [[maybe_unused]] const int given = ::fchown(fd, holder.st_uid, gid_t(-1));
    }
    struct stat made {};
    if (::fstat(fd, &made) != 0) {
        return FailedStep{QStringLiteral("cannot look at it"), errno};
    }
    mode_t bits = readers.bits;
    if ((bits & 0040) != 0 && made.st_gid != readers.group &&
        (!mayRegroup || ::fchown(fd, uid_t(-1), readers.group) != 0)) {
        bits |= 0004;
    }
    if ((made.st_mode & bits) != bits && ::fchmod(fd, (made.st_mode & 07777) | bits) != 0) {
        return FailedStep{QStringLiteral("cannot make it readable as its page is"), errno};
    }
    return std::nullopt;
}

// Why no file could be made in `folder` (which exists) with `error`, where the file system refuses
// the name itself: FAT, exFAT and NTFS take none with : ? * " < > | and answer with the error of a
// missing folder, an invalid argument or a bad letter.
QString RefusedName(const QByteArray& folder, const QByteArray& tempPath, int error) {
    struct stat info {};
    const bool folderThere = ::stat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    if (!folderThere || (error != ENOENT && error != EINVAL && error != EILSEQ && error != ENAMETOOLONG)) {
        return {};
    }
    if (error == ENAMETOOLONG) {
        // Or the whole path is too long, which the system's own words say.
        const long longest = ::pathconf(folder.constData(), _PC_NAME_MAX);
        return longest > 0 && NamePart(tempPath).size() > longest
                   ? QStringLiteral("the name is too long for the folder's file system")
                   : QString();
    }
    return QStringLiteral("the folder's file system takes no such name (a Windows one takes none with : ? * \" < > "
                          "| in it)");
}

// Why no file could be made or named in `folder` (`tempPath` the name tried) with `error`.
// `linked`: the file was named through a link, so the folder is not the one its name shows.
FailedStep CreationFailure(const QByteArray& folder, const QByteArray& tempPath, int error, bool linked) {
    if (const QString refused = RefusedName(folder, tempPath, error); !refused.isEmpty()) {
        return FailedStep{QStringLiteral("cannot be written: %1").arg(refused), 0};
    }
    if (error == EMFILE || error == ENFILE) {
        return FailedStep{QStringLiteral("cannot open another file"), error};  // no fault of the folder's
    }
    return FailedStep{linked ? QStringLiteral("cannot create a file in its folder \"%1\"").arg(ShownFolder(folder))
                             : QStringLiteral("cannot create a file in the folder"),
                      error};
}

// Writes `bytes` into a new file for `name` in `folder`, flushed to the disk, as `made` (see
// NewFile). A file replacing `old` is made with no more permissions than the old file has, and
// takes its owner and mode; a new one gets the permissions a plain create would give it; either is
// then given to `readers`. On failure nothing is left behind. `linked`: as CreationFailure says.
std::optional<FailedStep> WriteTemporary(const QByteArray& folder, const QByteArray& name, QByteArrayView bytes,
                                         const Target& old, NewFile& made, bool linked = false,
                                         const std::optional<Readers>& readers = std::nullopt) {
    // Made with the old file's permission bits (less the umask) where it is made with the old file's
    // owner and group, so that on a share that takes a file's mode when it is made but ignores a
    // later change it is right already; private otherwise, until it has them: in a folder that gives
    // new files its group, or made by the superuser, others would read it meanwhile.
    struct stat folderInfo {};
    const bool setGroup = ::stat(folder.constData(), &folderInfo) == 0 && (folderInfo.st_mode & S_ISGID) != 0;
    const bool sameOwners =
        old.exists && old.info.st_uid == ::geteuid() && old.info.st_gid == (setGroup ? folderInfo.st_gid : ::getegid());
    const mode_t mode = !old.exists ? 0666 : sameOwners ? old.info.st_mode & 0777 : 0600;
    made = {};
    made.fd = CreateUnnamed(folder, mode);
    // Whatever kept an unnamed file from being made, a named one is made, or its failure says why in
    // the words a user knows.
    const int fd = made.fd >= 0 ? made.fd : CreateTemporary(folder, name, mode, made.tempPath);
    if (fd < 0) {
        return CreationFailure(folder, made.tempPath, errno, linked);
    }
    const auto fail = [&](const QString& what, int error, bool open) {
        made.fd = open ? fd : -1;
        Discard(made);
        if (!made.tempPath.isEmpty()) {
            ForgetTemporaryFile();
        }
        made = {};
        return FailedStep{what, error};
    };
    if (old.exists) {
        // CheckTarget refused a file whose owner or group this process may not give; one that the
        // system refuses here all the same (a superuser whose rights end at this file system) fails
        // the write rather than hand the page to another owner.
        if (!GiveOwnerAndGroup(fd, old.info)) {
            return errno != 0 ? fail(QStringLiteral("cannot keep the owner and group"), errno, true)
                              : fail(QStringLiteral("cannot keep the owner and group: the file system takes the "
                                                    "change without making it"),
                                     0, true);
        }
        // After the owner: changing the owner clears the set-user and set-group bits. Nothing is
        // asked where the mode is right already: some file systems refuse any change of mode. One
        // that takes the change without making it would leave a page closed to the web server.
        struct stat made {};
        if (::fstat(fd, &made) != 0) {
            return fail(QStringLiteral("cannot look at it"), errno, true);
        }
        const mode_t mode = old.info.st_mode & 07777;
        if ((made.st_mode & 07777) != mode) {
            if (::fchmod(fd, mode) != 0) {
                return fail(QStringLiteral("cannot keep the permissions"), errno, true);
            }
            if (::fstat(fd, &made) != 0 || (made.st_mode & 07777) != mode) {
                return fail(QStringLiteral("cannot keep the permissions: the file system gives the new file mode "
                                           "%1, not the old file's %2")
                                .arg(made.st_mode & 07777, 4, 8, QLatin1Char('0'))
                                .arg(mode, 4, 8, QLatin1Char('0')),
                            0, true);
            }
        }
        // After the mode: an access list sets the mode's group bits to its mask, as they were.
        if (const std::optional<FailedStep> failed = CopyAttributes(old.path, fd)) {
            return fail(failed->what, failed->error, true);
        }
        // While the file is empty: not copying on write takes only then.
        CopyFlags(AttributeFlags(old.path), fd);
    }
    if (readers) {
        if (const std::optional<FailedStep> failed = GiveReaders(fd, folder, *readers, !old.exists)) {
            return fail(failed->what, failed->error, true);
        }
    }
    if (!WriteAll(fd, bytes)) {
        return fail(QStringLiteral("cannot write"), errno, true);
    }
    if (::fsync(fd) != 0) {
        return fail(QStringLiteral("cannot write to the disk"), errno, true);
    }
    if (made.fd < 0 && ::close(fd) != 0 && errno != EINTR) {
        return fail(QStringLiteral("cannot write"), errno, false);
    }
    return std::nullopt;
}

// Gives the file `made` that WriteTemporary left without a name its hidden name beside `name` in
// `folder`, and closes it; on failure it is gone. linkat through /proc takes no privilege, which
// naming it by its descriptor alone would.
std::optional<FailedStep> NameNewFile(const QByteArray& folder, const QByteArray& name, NewFile& made, bool linked) {
    if (made.fd < 0) {
        return std::nullopt;
    }
    const QByteArray open = "/proc/self/fd/" + QByteArray::number(made.fd);
    QByteArray tempPath;
    if (AtHiddenName(folder, name, tempPath, [&open](const QByteArray& path) {
            return ::linkat(AT_FDCWD, open.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW);
        }) != 0) {
        const int error = errno;
        Discard(made);
        return CreationFailure(folder, tempPath, error, linked);
    }
    made.tempPath = tempPath;
    const int fd = std::exchange(made.fd, -1);
    if (::close(fd) != 0 && errno != EINTR) {
        const int error = errno;
        Discard(made);
        ForgetTemporaryFile();
        made = {};
        return FailedStep{QStringLiteral("cannot write"), error};
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
    // A step that names its own reason has no system error to add.
    return FileResult::Failure(path, step.error == 0
                                         ? QStringLiteral("%1; %2").arg(step.what, outcome)
                                         : QStringLiteral("%1: %2; %3").arg(step.what, ErrorText(step.error), outcome));
}

FileStamp StampFrom(const struct stat& info) {
    const auto ns = [](const timespec& t) {
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    return {true, info.st_dev, info.st_ino, info.st_size, ns(info.st_mtim), ns(info.st_ctim)};
}

FileStamp StampOf(const QByteArray& name) {
    struct stat info {};
    return ::stat(name.constData(), &info) == 0 ? StampFrom(info) : FileStamp{};
}

QString ChangedMeanwhile() {
    return QStringLiteral("was changed while it was being rewritten; left as it is, with that change (run again)");
}

// Why a file read as `readAs` is not written now that it stands as `now`, or nothing.
std::optional<QString> ChangedSince(const std::optional<FileStamp>& readAs, const FileStamp& now) {
    if (!readAs || now == *readAs) {
        return std::nullopt;
    }
    // Made anew, a page the user has just deleted would come back.
    return readAs->exists && !now.exists ? QStringLiteral("was deleted while it was being rewritten; not made anew")
                                         : ChangedMeanwhile();
}

// Whether the times of `stamp` may stand for a tick of the file system's too coarse to tell two
// saves apart: FAT keeps whole seconds, exFAT hundredths, and both give the change time the same.
bool CoarseTimes(const FileStamp& stamp) {
    return stamp.exists && stamp.modifiedNs % 10'000'000 == 0;
}

}  // namespace

FileResult ReplaceFile(QByteArrayView bytes, const QString& path, const std::optional<FileStamp>& readAs) {
    return ReplaceFiles({{bytes, path, readAs}}).constFirst();
}

namespace {

// Where the links of a path end (a path Resolve found), as WriteTarget shows it.
QString LandingText(const QByteArray& landing) {
    const QString folder = ShownFolder(FolderPart(landing));
    return (folder.endsWith(u'/') ? folder : folder + u'/') + NameText(NamePart(landing));  // the root's ends in one
}

// A file of a set by where it lands. Two names of a set may lead to one file (a 2x image that is a
// link to its 1x one, to share it): the later would be written over the earlier, and both said to
// be written.
struct Landing {
    QString text;         // LandingText, which is the same for two paths that land on one file
    qsizetype index = 0;  // in the set
    QString path;
    QByteArrayView bytes;
};

// Where a file of a set lands on an earlier one's file: with the same bytes, the earlier one writes
// them for both; with other bytes, the set is refused, since one of the two would be lost.
struct Overlap {
    std::optional<qsizetype> writtenBy;
    QString refusal;
};

// How the file `index` of a set, whose links end at `target`, overlaps the earlier ones that
// `landings` lists; where it does not, it is added to them.
Overlap OverlapWithEarlier(std::vector<Landing>& landings, qsizetype index, const FileToWrite& file,
                           const Target& target) {
    const QString text = LandingText(target.path);
    const auto earlier = std::find_if(landings.begin(), landings.end(),
                                      [&text](const Landing& landing) { return landing.text == text; });
    if (earlier == landings.end()) {
        landings.push_back({text, index, file.path, file.bytes});
        return {};
    }
    if (earlier->bytes == file.bytes) {
        return {earlier->index, {}};
    }
    // Where this one is the file itself, the earlier one is the link (or leads here through one).
    const QString where = target.links.empty()
                              ? QStringLiteral("is where \"%1\" leads").arg(PrintableText(earlier->path))
                              : QStringLiteral("is a link to \"%1\"").arg(PrintableText(text));
    return {std::nullopt,
            where + QStringLiteral(", which this run also writes with other bytes; ") + UntouchedEnding(target.looked)};
}

// A file of a set not written for the failure of the file at `failedPath`.
FileResult LeftForAnother(const QString& path, const QString& failedPath) {
    return FileResult::Failure(path,
                               QLatin1String(kLeftForAnother) +
                                   QStringLiteral("%1 could not be written").arg(QFileInfo(failedPath).fileName()));
}

// How a new file of a set took its target's place, and so how that step is taken back.
struct Placement {
    enum Kind { None, Swapped, Created, Renamed };
    Kind kind = None;
    dev_t device = 0;  // the new file's node, which a step taken back must still find at the target
    ino_t inode = 0;
};

// Puts the new file at `tempPath` in the place of `target` (`existed`: a file stood there when the
// set was staged). A file that stands there is swapped with the new one, so that the hidden name
// holds the old one until the set is done and the step can be taken back; a file system that swaps
// no names gets a plain rename, which cannot be. The system's error number where the new file did
// not take its place, else 0.
int TakePlace(const QByteArray& tempPath, const QByteArray& target, bool existed, Placement& placed) {
    struct stat made {};
    if (::lstat(tempPath.constData(), &made) == 0) {
        placed.device = made.st_dev;
        placed.inode = made.st_ino;
    }
    bool gone = false;  // the old file went meanwhile, and the new one is made anew
    if (existed) {
        if (::renameat2(AT_FDCWD, tempPath.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
            placed.kind = Placement::Swapped;
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != ENOENT) {
            return errno;
        }
        gone = errno == ENOENT;
    }
    if (::rename(tempPath.constData(), target.constData()) != 0) {
        return errno;
    }
    placed.kind = existed && !gone ? Placement::Renamed : Placement::Created;
    return 0;
}

// Takes back a step of TakePlace's where the new file still stands at `target`: the old file comes
// back from the hidden name, or a file that was not there goes back to it; either way the new file
// is then at `tempPath`. True when done.
bool TakeBack(const QByteArray& tempPath, const QByteArray& target, const Placement& placed) {
    struct stat now {};
    if (::lstat(target.constData(), &now) != 0 || now.st_dev != placed.device || now.st_ino != placed.inode) {
        return false;
    }
    if (placed.kind == Placement::Swapped) {
        return ::renameat2(AT_FDCWD, tempPath.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0;
    }
    return placed.kind == Placement::Created && ::rename(target.constData(), tempPath.constData()) == 0;
}

}  // namespace

QList<FileResult> ReplaceFiles(const QList<FileToWrite>& files) {
    struct Staged {
        QByteArray target;
        NewFile made;
        bool existed = false;
        bool held = false;                   // the target holds the bytes already, and stays as it is
        bool linked = false;                 // named through a link (CreationFailure)
        QString outcome;                     // what became of the set, where this file fails
        std::optional<qsizetype> writtenBy;  // an earlier file of the set that writes this one's bytes here
    };
    std::vector<Staged> staged;
    std::vector<Landing> landings;
    std::optional<FileResult> failure;
    for (const FileToWrite& file : files) {
        const std::optional<QByteArray> name = EncodedName(file.path);
        if (!name) {
            failure = FileResult::Failure(file.path, QStringLiteral("the name cannot be represented on this system"));
            break;
        }
        const Target target = Resolve(*name);
        if (const QString refusal = CheckTarget(target, &file); !refusal.isEmpty()) {
            failure = FileResult::Failure(file.path, refusal);
            break;
        }
        const Overlap overlap = OverlapWithEarlier(landings, qsizetype(staged.size()), file, target);
        if (!overlap.refusal.isEmpty()) {
            failure = FileResult::Failure(file.path, overlap.refusal);
            break;
        }
        if (overlap.writtenBy) {
            staged.push_back({target.path, {}, true, true, false, {}, overlap.writtenBy});
            continue;
        }
        // Whatever happened to a file since it was read, one that holds exactly these bytes now has
        // lost no change to them: another run with the same design (make -j, a run a page, over an
        // image shared by links) put them there.
        if (AlreadyHolds(target, file.bytes, file.readers)) {
            staged.push_back({target.path, {}, true, true, false, {}, {}});
            continue;
        }
        // A file read before is looked at again before anything is made for it: one moved away or
        // swapped for another since (by another user of a shared folder, say) would lend what it
        // held to a new file with another's owner or mode, or none of its own.
        if (const std::optional<QString> changed =
                ChangedSince(file.readAs, target.exists ? StampFrom(target.info) : FileStamp{})) {
            // Looked at again, as at the last look: the change may be another run with the same
            // design putting these very bytes in place, caught between its steps.
            if (const Target now = Resolve(*name); now.links.empty() && AlreadyHolds(now, file.bytes, file.readers)) {
                staged.push_back({target.path, {}, true, true, false, {}, {}});
                continue;
            }
            failure = FileResult::Failure(file.path, *changed);
            break;
        }
        Staged next{target.path,
                    {},
                    target.exists,
                    false,
                    FolderPart(target.path) != FolderPart(*name),
                    files.size() > 1 ? QStringLiteral("no file of the set was written")
                    : target.exists  ? QStringLiteral("the old file is unchanged")
                                     : QStringLiteral("nothing was written"),
                    {}};
        const auto write = [&] {
            return WriteTemporary(FolderPart(target.path), NamePart(target.path), file.bytes, target, next.made,
                                  next.linked, file.readers);
        };
        std::optional<FailedStep> failed = write();
        // The files written so far are held open until they are named, as late as may be; where the
        // process may open no more, they are named now, and this one is made again.
        if (failed && (failed->error == EMFILE || failed->error == ENFILE)) {
            for (size_t i = 0; !failure && i < staged.size(); ++i) {
                Staged& done = staged[i];
                if (const std::optional<FailedStep> unnamed =
                        NameNewFile(FolderPart(done.target), NamePart(done.target), done.made, done.linked)) {
                    failure = Failed(files[qsizetype(i)].path, *unnamed, done.outcome);
                }
            }
            if (failure) {
                break;
            }
            failed = write();
        }
        if (failed) {
            failure = Failed(file.path, *failed, next.outcome);
            break;
        }
        staged.push_back(std::move(next));
    }
    // Every file is written and flushed before any has a name in the user's folder; a name refused
    // there fails the set as a file that could not be made would.
    for (size_t i = 0; !failure && i < staged.size(); ++i) {
        Staged& file = staged[i];
        if (const std::optional<FailedStep> failed =
                NameNewFile(FolderPart(file.target), NamePart(file.target), file.made, file.linked)) {
            failure = Failed(files[qsizetype(i)].path, *failed, file.outcome);
        }
    }
    // The last look before any old file goes: one changed meanwhile keeps its change, and so the
    // set stays whole; one changed to exactly these bytes is left as it is.
    for (size_t i = 0; !failure && i < staged.size(); ++i) {
        const FileToWrite& file = files[qsizetype(i)];
        const FileStamp stamp = StampOf(staged[i].target);
        std::optional<QString> changed = ChangedSince(file.readAs, stamp);
        // A save at the same size in the tick the file was read leaves such times as they were.
        if (!changed && file.readAs && file.heldWhenRead && !staged[i].held && CoarseTimes(stamp) &&
            !Holds(Resolve(staged[i].target), *file.heldWhenRead)) {
            changed = ChangedMeanwhile();
        }
        if (changed && !staged[i].held) {
            const Target now = Resolve(staged[i].target);
            staged[i].held = now.links.empty() && AlreadyHolds(now, file.bytes, file.readers);
            if (!staged[i].held) {
                failure = FileResult::Failure(file.path, *changed);
            }
        }
    }
    QList<FileResult> results;
    const auto forgetAll = [&staged] {
        for (const Staged& file : staged) {
            if (!file.made.tempPath.isEmpty()) {
                ForgetTemporaryFile();
            }
        }
    };
    if (failure) {
        for (Staged& file : staged) {
            Discard(file.made);
        }
        forgetAll();
        for (const FileToWrite& file : files) {
            results.append(file.path == failure->path ? *failure : LeftForAnother(file.path, failure->path));
        }
        return results;
    }
    // Each file takes its place in a step of its own, in the order the set's files need each other
    // (a page last, after its image). Where one fails (rare: the files stand ready), the steps before
    // it are taken back, the newest first, and every file of the set is as it was; one that cannot
    // be (a plain rename, or a file changed since by another) stays new with those before it, and
    // the results say which files are new.
    std::vector<Placement> placed(staged.size());
    size_t failedAt = staged.size();
    int renameError = 0;
    // A signal's end in the middle would leave the set half new.
    std::optional<SignalHold> hold(std::in_place);
    for (size_t i = 0; i < staged.size() && failedAt == staged.size(); ++i) {
        if (!staged[i].held) {
            renameError = TakePlace(staged[i].made.tempPath, staged[i].target, staged[i].existed, placed[i]);
            failedAt = renameError != 0 ? i : failedAt;
        }
    }
    if (failedAt < staged.size()) {
        for (size_t i = failedAt; i-- > 0;) {
            if (!staged[i].held && !TakeBack(staged[i].made.tempPath, staged[i].target, placed[i])) {
                break;
            }
            placed[i].kind = Placement::None;
        }
    }
    for (qsizetype i = 0; i < files.size(); ++i) {
        Staged& file = staged[size_t(i)];
        const Placement::Kind kind = placed[size_t(i)].kind;
        // What the hidden name holds now: the new file, or the old one swapped out; neither stays.
        if (kind != Placement::Created && kind != Placement::Renamed) {
            Discard(file.made);
        }
        // A file written by an earlier one is as new as that one is.
        const size_t writer = size_t(file.writtenBy.value_or(i));
        if (size_t(i) == failedAt) {
            results.append(Failed(files[i].path, {QStringLiteral("cannot replace the file"), renameError},
                                  file.existed ? QStringLiteral("the old file is unchanged")
                                               : QStringLiteral("nothing was written")));
        } else if (staged[writer].held || placed[writer].kind != Placement::None) {
            results.append(FileResult::Success(files[i].path));  // new, or holding what it would get
        } else {
            results.append(LeftForAnother(files[i].path, files[qsizetype(failedAt)].path));
        }
    }
    forgetAll();
    hold.reset();
    QSet<QByteArray> folders;
    for (const Staged& file : staged) {
        if (!file.made.tempPath.isEmpty()) {
            folders.insert(FolderPart(file.target));
        }
    }
    for (const QByteArray& folder : std::as_const(folders)) {
        FlushFolder(folder);
    }
    return results;
}

namespace {

// CheckReplaceable for `file`, its bytes counted where `bytesGiven`; with `landings`, as the file
// `index` of a set, after those it lists (OverlapWithEarlier).
FileResult Checked(const FileToWrite& file, bool bytesGiven, std::vector<Landing>* landings = nullptr,
                   qsizetype index = 0) {
    const std::optional<QByteArray> name = EncodedName(file.path);
    if (!name) {
        return FileResult::Failure(file.path, QStringLiteral("the name cannot be represented on this system"));
    }
    const Target target = Resolve(*name);
    QString refusal = CheckTarget(target, bytesGiven ? &file : nullptr);
    if (refusal.isEmpty() && landings) {
        refusal = OverlapWithEarlier(*landings, index, file, target).refusal;
    }
    return refusal.isEmpty() ? FileResult::Success(file.path) : FileResult::Failure(file.path, refusal);
}

}  // namespace

QList<FileResult> CheckFiles(const QList<FileToWrite>& files) {
    QList<FileResult> results;
    std::vector<Landing> landings;
    for (const FileToWrite& file : files) {
        results.append(Checked(file, true, &landings, results.size()));
    }
    const auto failed = std::find_if(results.begin(), results.end(), [](const FileResult& r) { return !r.Ok(); });
    if (failed != results.end()) {
        const QString failedPath = failed->path;
        for (FileResult& result : results) {
            if (result.path != failedPath) {
                result = LeftForAnother(result.path, failedPath);
            }
        }
    }
    return results;
}

QString WriteTarget(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    if (!name) {
        return path;
    }
    return LandingText(Resolve(*name).path);
}

QByteArray WriteTargetBytes(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    if (!name) {
        return {};
    }
    const QByteArray landing = Resolve(*name).path;
    const QByteArray folder = RealName(FolderPart(landing));
    return folder.isEmpty() ? landing : folder + (folder == "/" ? "" : "/") + NamePart(landing);
}

QString PrintableWriteTarget(const QString& path) {
    const QByteArray bytes = WriteTargetBytes(path);
    return bytes.isEmpty() ? PrintableText(WriteTarget(path)) : PrintableName(bytes);
}

QString WriteTargetName(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    return name ? NameText(NamePart(Resolve(*name).path)) : QFileInfo(path).fileName();
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
    if ((folderInfo.st_mode & 0222) == 0) {
        return FileResult::Failure(path, ProtectedFolder(folder) + QStringLiteral("; nothing was written"));
    }
    if (const QString flagged = FlaggedFolder(folder); !flagged.isEmpty()) {
        return FileResult::Failure(path, flagged + QStringLiteral("; nothing was written"));
    }
    const QString outcome = QStringLiteral("nothing was written");
    // Named once it is whole and flushed, right before it takes its own name.
    NewFile made;
    std::optional<FailedStep> failed = WriteTemporary(folder, NamePart(*name), bytes, Target{}, made);
    if (!failed) {
        failed = NameNewFile(folder, NamePart(*name), made, false);
    }
    if (failed) {
        return Failed(path, *failed, outcome);
    }
    const QByteArray& tempPath = made.tempPath;
    // The name is taken only if nothing has appeared there since it was looked at: a file made in
    // the meantime is never replaced.
    std::optional<SignalHold> hold(std::in_place);
    const int moveError = RenameWithoutReplacing(tempPath, *name);
    if (moveError != 0) {
        ::unlink(tempPath.constData());
    }
    ForgetTemporaryFile();
    hold.reset();
    if (moveError != 0) {
        if (moveError == EEXIST) {
            return FileResult::Failure(path, taken);
        }
        return Failed(path, {QStringLiteral("cannot create the file"), moveError}, outcome);
    }
    FlushFolder(folder);
    return FileResult::Success(path);
}

int RenameWithoutReplacing(const QByteArray& from, const QByteArray& to) {
    int moved = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
        moved = ::link(from.constData(), to.constData());
        if (moved == 0) {
            ::unlink(from.constData());
        } else if (errno == EPERM || errno == ENOSYS || errno == EOPNOTSUPP) {
            const int placeholder = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
            moved = placeholder < 0 ? -1 : ::rename(from.constData(), to.constData());
            if (placeholder >= 0) {
                const int error = errno;
                ::close(placeholder);
                if (moved != 0) {
                    ::unlink(to.constData());
                }
                errno = error;
            }
        }
    }
    return moved == 0 ? 0 : errno;
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
            // A link that leads nowhere is the folder missing, not the one under it that cannot be made.
            const int error = errno;
            if (error == ENOENT && ::lstat(part.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
                return FileResult::Failure(NameText(part), MissingReason(NameText(part)));
            }
            errno = error;
            const bool made = errno == ENOENT && ::mkdir(part.constData(), 0777) == 0;
            if (!made && (error != ENOENT || errno != EEXIST)) {
                return FileResult::Failure(NameText(part),
                                           QStringLiteral("cannot make the folder: %1").arg(ErrorText(errno)));
            }
            // A umask that takes the owner's own bits would leave a folder that only the superuser
            // may use: the next on the way could not be made in it, nor other programs' files in
            // a ~/.local made so.
            if (made && ::lstat(part.constData(), &info) == 0 && (info.st_mode & S_IRWXU) != S_IRWXU) {
                ::chmod(part.constData(), (info.st_mode & 07777) | S_IRWXU);
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

QString LinkFailure(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    const QString error = name ? Resolve(*name).error : QString();
    return error.isEmpty() ? StatFailure(ELOOP) : error;
}

bool SomethingAt(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    struct stat info {};
    return name && ::lstat(name->constData(), &info) == 0;
}

QString UntouchedEnding(bool somethingThere) {
    return somethingThere ? QStringLiteral("left as it is") : QStringLiteral("nothing was written");
}

FileResult CheckReplaceable(const QString& path, std::optional<QByteArrayView> bytes) {
    return Checked(FileToWrite{bytes.value_or(QByteArrayView()), path, std::nullopt}, bytes.has_value());
}
