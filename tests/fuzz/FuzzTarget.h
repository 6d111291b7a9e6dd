#pragma once

// The glue every fuzz target shares: a Gui application on the offscreen platform (images and fonts
// need one; created once and never destroyed, since what it owns must outlive every run), and
// turning a failed check into a crash that libFuzzer records with its input.

#include <QByteArrayView>
#include <QGuiApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>

inline void StartOffscreenApplication(const char* name) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(name), nullptr};
    new QGuiApplication(argc, argv);
}

inline int RequireHolds(const QString& error) {
    if (!error.isEmpty()) {
        std::fprintf(stderr, "property violated: %s\n", qUtf8Printable(error));
        std::abort();
    }
    return 0;
}

inline QByteArrayView InputOf(const unsigned char* data, size_t size) {
    return {reinterpret_cast<const char*>(data), qsizetype(size)};
}
