#include "app/StartupProbe.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since the kernel started this process (so loading the libraries counts), or -1
// where that cannot be read.
double MillisecondsSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray line = stat.readAll();
    // The command name may hold spaces; the fields after it are counted from its closing bracket.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int kStartTimeField = 22 - 3;
    if (fields.size() <= kStartTimeField) {
        return -1;
    }
    const double startSeconds = fields[kStartTimeField].toDouble() / double(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return (double(now.tv_sec) + double(now.tv_nsec) / 1e9 - startSeconds) * 1000.0;
}

}  // namespace

StartupProbe::StartupProbe(QWidget& window)
    : QObject(&window)
    , window(window) {
    if (qEnvironmentVariableIsSet("VORNET_EXIT_AFTER_FIRST_PAINT")) {
        window.installEventFilter(this);
    }
}

bool StartupProbe::eventFilter(QObject* watched, QEvent* event) {
    if (!done && watched == &window && event->type() == QEvent::Paint) {
        done = true;
        // Measured after this paint has run, then the window closes from the event loop.
        QTimer::singleShot(0, &window, [this] {
            std::printf("first paint after %.0f ms\n", MillisecondsSinceProcessStart());
            std::fflush(stdout);
            window.close();
        });
    }
    return QObject::eventFilter(watched, event);
}
