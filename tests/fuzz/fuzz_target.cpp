// A libFuzzer target around one check of FuzzChecks.h, named by VORNET_FUZZ_CHECK when built. Images
// and fonts need a Gui application: one on the offscreen platform, never destroyed, since what it
// owns must outlive every run. A failed check is a crash, which libFuzzer records with its input.
#include "FuzzChecks.h"

#include <QGuiApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char* argv[] = {const_cast<char*>("fuzz"), nullptr};
    new QGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString error = VORNET_FUZZ_CHECK(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!error.isEmpty()) {
        qFatal("property violated: %s", qUtf8Printable(error));
    }
    return 0;
}
