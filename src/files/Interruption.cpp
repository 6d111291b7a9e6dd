#include "files/Interruption.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

// Only these are touched by the handler, as async-signal-safety requires. The request is also set
// and read on other threads, so it is an atomic, which a handler may use when it is lock-free.
std::atomic<int> g_stopRequested = 0;
static_assert(std::atomic<int>::is_always_lock_free);
volatile std::sig_atomic_t g_temporaryNamed = 0;
char g_temporary[PATH_MAX + 1] = {};

extern "C" void OnStopSignal(int signal) {
    if (g_stopRequested == 0) {
        g_stopRequested = 1;
        return;
    }
    if (g_temporaryNamed != 0) {
        ::unlink(g_temporary);
    }
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
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
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
            ::sigaction(signal, &action, nullptr);
        }
    }
}

bool StopRequested() {
    return g_stopRequested != 0;
}

void RequestStop() {
    g_stopRequested = 1;
}

void ClearStopRequest() {
    g_stopRequested = 0;
}

void NoteTemporaryFile(const QByteArray& path) {
    g_temporaryNamed = 0;
    const size_t length = std::min(size_t(path.size()), sizeof g_temporary - 1);
    std::memcpy(g_temporary, path.constData(), length);
    g_temporary[length] = '\0';
    g_temporaryNamed = length == size_t(path.size()) ? 1 : 0;
}

void ForgetTemporaryFile() {
    g_temporaryNamed = 0;
}
