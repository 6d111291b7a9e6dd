#include "files/FolderLock.h"

#include "files/FileNames.h"
#include "files/Interruption.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace {

std::function<void(const QString&)> g_showWait;

}  // namespace

void ShowFolderWaits(std::function<void(const QString& folder)> show) {
    g_showWait = std::move(show);
}

FolderLock::FolderLock(const QString& folder, Waiting waiting) {
    const std::optional<QByteArray> name = EncodedName(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (!name) {
        return;
    }
    const int fd = ::open(name->constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    // Asked again now and then rather than waited for, so that a stop asked for meanwhile is seen.
    for (bool told = false; ::flock(fd, LOCK_EX | LOCK_NB) != 0;) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || StopRequested()) {
            ::close(fd);
            return;
        }
        if (errno == EWOULDBLOCK && waiting == Waiting::DoNotWait) {
            m_busy = true;
            ::close(fd);
            return;
        }
        if (!std::exchange(told, true) && g_showWait) {
            QString shown = folder.isEmpty() ? QStringLiteral(".") : folder;
            while (shown.size() > 1 && shown.endsWith(u'/')) {
                shown.chop(1);
            }
            g_showWait(shown);
        }
        ::usleep(20'000);
    }
    m_fd = fd;
}

FolderLock::~FolderLock() {
    if (m_fd >= 0) {
        ::close(m_fd);  // which lets the lock go
    }
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_busy(other.m_busy) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
        m_busy = other.m_busy;
    }
    return *this;
}
