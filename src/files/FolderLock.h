#pragma once

#include <QString>

#include <functional>

// Held by a run while it puts a folder's image, style sheet and pages in place, so that two runs
// into one folder take turns: with another run's banner written between them, pages of one would
// show the other's picture under their own link and size, and both runs would say all went well.
// The lock is the system's advisory one on the folder (flock): only runs of this program heed it,
// and where the file system keeps none, or the folder cannot be opened, none is held. A run waiting
// for it stops waiting where it is asked to stop (StopRequested), holding none.
class FolderLock final {
public:
    // Whether to wait for another run's turn: a window's own thread may not, or it would stand still.
    enum class Waiting { Wait, DoNotWait };

    FolderLock() = default;
    explicit FolderLock(const QString& folder, Waiting waiting = Waiting::Wait);
    ~FolderLock();
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool Held() const { return m_fd >= 0; }
    // Whether another run held the folder, and this one did not wait for it.
    bool Busy() const { return m_busy; }

private:
    int m_fd = -1;
    bool m_busy = false;
};

// What a program that shows its runs (the command line's standard error, the wizard's progress
// dialog) tells the user when a run starts waiting for another one's turn in `folder`: once a wait,
// on the run's thread. A run that stood still without a word would look hung. Set while no run
// goes; nothing by default.
void ShowFolderWaits(std::function<void(const QString& folder)> show);
