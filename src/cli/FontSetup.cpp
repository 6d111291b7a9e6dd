#include "FontSetup.h"

#include <QLibrary>

#include <thread>

namespace {

std::thread& SetupThread() {
    static std::thread thread;
    return thread;
}

// The library Qt's font database is built on, as it is loaded for the drawing: the same object,
// whose configuration, once loaded here, Qt finds in place.
void LoadFontConfiguration() {
    QLibrary library(QStringLiteral("fontconfig"), 1);
    using Init = int (*)();
    if (const auto init = reinterpret_cast<Init>(library.resolve("FcInit"))) {
        init();
    }
}

}  // namespace

void StartFontSetup() {
    if (!SetupThread().joinable()) {
        SetupThread() = std::thread(LoadFontConfiguration);
    }
}

void AwaitFontSetup() {
    if (SetupThread().joinable()) {
        SetupThread().join();
    }
}
