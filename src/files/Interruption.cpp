#include "files/Interruption.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The signals that stop a run, and the value of g_stopRequested that RequestStop sets (no signal's).
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXCPU, SIGQUIT};
constexpr int kStopButton = -1;

// Only these are touched by the handler, which otherwise makes plain system calls (unlink,
// setrlimit, sigaction, raise, and those that remove the folder below), as async-signal-safety
// requires. The request is also set and read on other threads, so it is an atomic, which a handler
// may use when it is lock-free.
std::atomic<int> g_stopRequested = 0;  // the signal that asked for the stop, or kStopButton
static_assert(std::atomic<int>::is_always_lock_free);
// The temporary files being written, last noted last: a set of files replaced together has one
// for each until they are all renamed. A name too long to keep is an empty slot.
constexpr int kNotedFiles = 8;
std::atomic<int> g_temporaries = 0;  // may count past kNotedFiles; those names are not kept
char g_temporary[kNotedFiles][PATH_MAX + 1] = {};

// The process's own folder that a signal ending the process removes: its parent and its name apart,
// so that the parent is checked to be the user's alone before anything in it is touched.
std::atomic<bool> g_ownFolderNoted = false;
char g_ownFolderBase[PATH_MAX + 1] = {};
char g_ownFolderName[NAME_MAX + 1] = {};

// Whether a first signal ends the process unless a run reads the request (EndOnSignalsBetweenRuns),
// and how many runs do.
std::atomic<bool> g_endBetweenRuns = false;
std::atomic<int> g_runsGoing = 0;

// Set, by the signal that ends the process, before it looks whether any work holds it off; the
// work looks at it when it starts and when it is done, so one of the two ends the process.
std::atomic<int> g_ending = 0;
std::atomic<int> g_holding = 0;

void RemoveTemporaries() {
    const int noted = std::min(g_temporaries.load(std::memory_order_acquire), kNotedFiles);
    for (int i = 0; i < noted; ++i) {
        if (g_temporary[i][0] != '\0') {
            ::unlink(g_temporary[i]);
        }
    }
}

// Removes the folder noted by RemoveFolderOnEnd with the files in it.
void RemoveOwnFolder() {
    if (!g_ownFolderNoted.load(std::memory_order_acquire)) {
        return;
    }
    const int base = ::open(g_ownFolderBase, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (base < 0) {
        return;
    }
    struct stat info {};
    if (::fstat(base, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0) {
        RemoveFolderOfFiles(base, g_ownFolderName);
    }
    ::close(base);
}

// Removes the temporary files named and the process's own folder, then ends the process as the
// signal would have: at once, or in a handler, where the signal is blocked, as soon as the handler
// returns.
void EndNow(int signal) {
    RemoveTemporaries();
    RemoveOwnFolder();
    // Ctrl+\ and the processor time limit would leave a core file, as large as the process, in
    // the current folder: often the user's site.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
}

// Ends the process for the signal that asked while a hold stood, on the thread that held it.
void EndAfterHold(int signal) {
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    EndNow(signal);
}

extern "C" void OnStopSignal(int signal) {
    // Ctrl+\ asks to quit now; the others ask first for a stop between two files.
    if (signal != SIGQUIT && g_stopRequested == 0 && (!g_endBetweenRuns || g_runsGoing > 0)) {
        g_stopRequested = signal;
        return;
    }
    g_ending = signal;
    if (g_holding == 0) {
        EndNow(signal);
    }
}

}  // namespace

void StopOnSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // Reads and writes in progress go on; the run itself decides where to stop.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    // A closed terminal (SIGHUP) stops a run as Ctrl+C does, rather than in the middle of a file.
    // A signal the run was started to ignore (by nohup, or in a script's background job) stays
    // ignored.
    for (const int signal : kStopSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
            ::sigaction(signal, &action, nullptr);
        }
    }
}

void EndOnSignalsBetweenRuns() {
    g_endBetweenRuns = true;
    StopOnSignals();
}

void EndRunsBeforeExit() {
    if (g_runsGoing == 0) {
        return;
    }
    RequestStop();
    // The run looks at the request between two files; the one in progress is let finish, a few
    // seconds at most, and what is left of it removed.
    for (int waited = 0; waited < 500 && g_runsGoing > 0; ++waited) {
        ::usleep(10'000);
    }
    RemoveTemporaries();
}

RunGoing::RunGoing() {
    ++g_runsGoing;
}

RunGoing::~RunGoing() {
    --g_runsGoing;
}

void EndForStopSignal() {
    // Taken back in the same step, so no signal comes between the look and the taking back.
    if (const int signal = g_stopRequested.exchange(0); signal > 0) {
        EndNow(signal);
    }
}

bool StopRequested() {
    return g_stopRequested != 0;
}

int StopSignal() {
    return std::max(g_stopRequested.load(), 0);
}

void RequestStop() {
    g_stopRequested = kStopButton;
}

void ClearStopRequest() {
    g_stopRequested = 0;
}

void NoteTemporaryFile(const QByteArray& path) {
    const int slot = g_temporaries.load(std::memory_order_relaxed);
    if (slot < kNotedFiles) {
        char* name = g_temporary[slot];
        const bool fits = size_t(path.size()) < sizeof g_temporary[slot];
        const size_t length = fits ? size_t(path.size()) : 0;
        std::memcpy(name, path.constData(), length);
        name[length] = '\0';
    }
    // Released after the name is in place, so the handler never reads half a name.
    g_temporaries.store(slot + 1, std::memory_order_release);
}

void ForgetTemporaryFile() {
    if (const int noted = g_temporaries.load(std::memory_order_relaxed); noted > 0) {
        g_temporaries.store(noted - 1, std::memory_order_release);
    }
}

SignalHold::SignalHold() {
    // Where another hold stands, the end waits for the last one to go, this one included.
    if (g_holding++ == 0) {
        if (const int signal = g_ending; signal != 0) {
            EndAfterHold(signal);
        }
    }
}

SignalHold::~SignalHold() {
    if (--g_holding == 0) {
        if (const int signal = g_ending; signal != 0) {
            EndAfterHold(signal);
        }
    }
}

// Its entries are read with the system call itself: the C library's reading of folders allocates
// memory, which a signal handler may not.
void RemoveFolderOfFiles(int baseFd, const char* name) {
    const int fd = ::openat(baseFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    alignas(dirent64) char entries[4096];
    for (long got = 0; (got = ::syscall(SYS_getdents64, fd, entries, sizeof entries)) > 0;) {
        for (long at = 0; at < got; at += reinterpret_cast<const dirent64*>(entries + at)->d_reclen) {
            // Hidden ones too: a preview's file half written when the process ended.
            const char* entry = reinterpret_cast<const dirent64*>(entries + at)->d_name;
            if (std::strcmp(entry, ".") != 0 && std::strcmp(entry, "..") != 0) {
                ::unlinkat(fd, entry, 0);
            }
        }
    }
    ::close(fd);
    ::unlinkat(baseFd, name, AT_REMOVEDIR);
}

void RemoveFolderOnEnd(const QByteArray& base, const QByteArray& name) {
    g_ownFolderNoted.store(false, std::memory_order_release);
    if (base.size() > PATH_MAX || name.isEmpty() || name.size() > NAME_MAX) {
        return;
    }
    std::memcpy(g_ownFolderBase, base.constData(), size_t(base.size()) + 1);
    std::memcpy(g_ownFolderName, name.constData(), size_t(name.size()) + 1);
    g_ownFolderNoted.store(true, std::memory_order_release);
}
