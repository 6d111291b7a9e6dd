#include "files/ReadFile.h"

#include "files/FileNames.h"
#include "files/ReplaceFile.h"
#include "files/SystemErrors.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RegularFile::RegularFile(const QString& path, qint64 cap)
    : m_status(FileResult::Success(path))
    , m_cap(cap) {
    const std::optional<QByteArray> name = EncodedName(path);
    if (!name) {
        Fail(QStringLiteral("the name cannot be represented on this system"));
        return;
    }
    struct stat info {};
    if (::stat(name->constData(), &info) != 0) {
        const int error = errno;
        m_missing = error == ENOENT;
        Fail(m_missing ? MissingReason(path) : error == ELOOP ? LinkFailure(path) : StatFailure(error));
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        Fail(NodeKindReason(info.st_mode));
        return;
    }
    // The node may change between the look and the open: non-blocking, so that a pipe put there in
    // between cannot hold the open, and looked at once more through the descriptor.
    m_fd = ::open(name->constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        Fail(QStringLiteral("cannot open: %1").arg(ErrorText(errno)));
        return;
    }
    if (::fstat(m_fd, &info) != 0) {
        Fail(QStringLiteral("cannot read: %1").arg(ErrorText(errno)));
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        Fail(NodeKindReason(info.st_mode));
        return;
    }
    m_size = info.st_size;
    if (m_size > m_cap) {
        Fail(QStringLiteral("is larger than %1").arg(ByteCount(m_cap)));
    }
}

QString WideTextForm(QByteArrayView bytes) {
    if (bytes.startsWith(QByteArrayView("\xFF\xFE\0\0", 4)) || bytes.startsWith(QByteArrayView("\0\0\xFE\xFF", 4))) {
        return QStringLiteral("UTF-32");
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        return QStringLiteral("UTF-16");
    }
    return {};
}

QString MissingReason(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    if (!name) {
        return QStringLiteral("does not exist");
    }
    // Down a chain of links, the first one may be there to be seen; what is missing is at its end.
    QByteArray at = *name;
    QByteArray first;
    int hops = 0;
    for (; hops < 40; ++hops) {
        std::array<char, PATH_MAX> target{};
        const ssize_t length = ::readlink(at.constData(), target.data(), target.size());
        if (length <= 0 || size_t(length) >= target.size()) {
            break;
        }
        const QByteArray next(target.data(), length);
        if (hops == 0) {
            first = next;
        }
        const qsizetype slash = at.lastIndexOf('/');
        at = next.startsWith('/') || slash < 0 ? next : at.left(slash + 1) + next;
    }
    if (hops == 0) {
        return QStringLiteral("does not exist");
    }
    if (hops == 1) {
        return QStringLiteral("is a link to \"%1\", which does not exist").arg(PrintableName(first));
    }
    // Named from the real path of the last folder on the way that is there: "x/y/../z" reads as
    // "x/z", but the system goes up from where the link "y" leads.
    for (qsizetype slash = at.lastIndexOf('/'); slash > 0; slash = at.lastIndexOf('/', slash - 1)) {
        if (const QByteArray real = RealName(at.left(slash)); !real.isEmpty()) {
            at = real + (real == "/" ? "" : "/") + at.mid(slash + 1);
            break;
        }
    }
    return QStringLiteral("is a link to \"%1\", which leads on to \"%2\", which does not exist")
        .arg(PrintableName(first), PrintableName(at));
}

RegularFile::~RegularFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void RegularFile::Fail(const QString& reason) {
    if (m_status.Ok()) {
        m_status.error = reason;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

qint64 RegularFile::Read(char* into, qint64 count) {
    qint64 done = 0;
    while (m_fd >= 0 && done < count) {
        // One byte beyond the cap is asked for, so that a file that grew is noticed.
        const qint64 room = m_cap + 1 - m_consumed;
        const ssize_t n = ::read(m_fd, into + done, size_t(std::min(count - done, room)));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(QStringLiteral("cannot read: %1").arg(ErrorText(errno)));
            break;
        }
        if (n == 0) {
            break;
        }
        m_consumed += n;
        if (m_consumed > m_cap) {
            Fail(QStringLiteral("is larger than %1").arg(ByteCount(m_cap)));
            break;
        }
        done += n;
    }
    return done;
}

FileBytes ReadRegularFile(const QString& path, qint64 cap) {
    RegularFile file(path, cap);
    FileBytes result{file.Status(), {}, file.Missing()};
    if (!file.Status().Ok()) {
        return result;
    }
    // The size is a hint only: the loop reads to the end, whatever it turns out to be.
    result.bytes.resize(std::min(file.Size(), cap) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == result.bytes.size()) {
            result.bytes.resize(std::min<qint64>(result.bytes.size() * 2, cap + 1));
        }
        const qint64 n = file.Read(result.bytes.data() + filled, result.bytes.size() - filled);
        filled += n;
        if (n == 0 || !file.Status().Ok()) {
            break;
        }
    }
    result.status = file.Status();
    result.bytes.truncate(result.status.Ok() ? filled : 0);
    return result;
}

FileBytes ReadFileStart(const QString& path, qint64 count) {
    // Only the start is read, however large the file.
    RegularFile file(path, kNoSizeCap);
    FileBytes result{file.Status(), {}, file.Missing()};
    if (file.Status().Ok()) {
        result.bytes.resize(count);
        result.bytes.truncate(file.Read(result.bytes.data(), count));
        result.status = file.Status();
        result.bytes.truncate(result.status.Ok() ? result.bytes.size() : 0);
    }
    return result;
}

QString ByteCount(qint64 bytes) {
    if (bytes >= 1024 * 1024 * 1024 && bytes % (1024 * 1024 * 1024) == 0) {
        return QStringLiteral("%1 GiB").arg(bytes / (1024 * 1024 * 1024));
    }
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0) {
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    }
    if (bytes >= 1024 && bytes % 1024 == 0) {
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    }
    return QStringLiteral("%1 bytes").arg(bytes);
}
