#include "files/Interruption.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The signals that stop a run, and the value of g_stopRequested that RequestStop sets (no signal's).
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXCPU, SIGQUIT};
constexpr int kStopButton = -1;

// Only these are touched by the handler, which otherwise makes plain system calls (unlink,
// setrlimit, sigaction, raise), as async-signal-safety requires. The request is also set and read
// on other threads, so it is an atomic, which a handler may use when it is lock-free.
std::atomic<int> g_stopRequested = 0;  // the signal that asked for the stop, or kStopButton
static_assert(std::atomic<int>::is_always_lock_free);
// The temporary files being written, last noted last: a set of files replaced together has one
// for each until they are all renamed. A name too long to keep is an empty slot.
constexpr int kNotedFiles = 8;
std::atomic<int> g_temporaries = 0;  // may count past kNotedFiles; those names are not kept
char g_temporary[kNotedFiles][PATH_MAX + 1] = {};

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

// Removes the temporary files named, then ends the process as the signal would have: at once, or
// in a handler, where the signal is blocked, as soon as the handler returns.
void EndNow(int signal) {
    RemoveTemporaries();
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
