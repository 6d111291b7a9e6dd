#include "cli/FontSetup.h"

#include <dlfcn.h>
#include <system_error>
#include <thread>

namespace {

std::thread& SetupThread() {
    static std::thread thread;
    return thread;
}

// The library Qt's font database is built on, as it is loaded for the drawing: the same object,
// whose configuration, once loaded here, Qt finds in place. Loaded by the system's loader and not
// by QLibrary: Qt takes the thread that makes its first object for the main thread, and this
// thread must not be the one (the application made later on the real one then corrupted the heap).
void LoadFontConfiguration() {
    void* library = ::dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return;
    }
    using Init = int (*)();
    if (const auto init = reinterpret_cast<Init>(::dlsym(library, "FcInit"))) {
        init();
    }
}

}  // namespace

void StartFontSetup() {
    if (!SetupThread().joinable()) {
        // Where the system gives no thread (a process limit), the drawing loads it in its turn.
        try {
            SetupThread() = std::thread(LoadFontConfiguration);
        } catch (const std::system_error&) {
        }
    }
}

void AwaitFontSetup() {
    if (SetupThread().joinable()) {
        SetupThread().join();
    }
}
