#include "wizard/RunProgress.h"

#include "files/Interruption.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

RunReport RunWithProgress(QWidget* window, const QStringList& pages,
                          const std::function<RunReport(const FileDone&)>& run, std::chrono::milliseconds quiet) {
    const QSet<QString> listed(pages.begin(), pages.end());
    std::atomic<int> pagesDone = 0;
    RunReport report;
    const auto work = [&] {
        report = run([&](const FileResult& file) {
            if (listed.contains(file.path)) {
                ++pagesDone;
            }
        });
    };
    const std::unique_ptr<QThread> worker(QThread::create(work));
    worker->start();
    // Where the system gives no thread (a process limit), the run goes on this one all the same.
    if (!worker->isRunning() && !worker->isFinished()) {
        work();
        return report;
    }
    // Until the dialog shows, the window waits without drawing: no longer than a moment.
    if (!worker->wait(QDeadlineTimer(quiet.count()))) {
        QProgressDialog progress(window);
        progress.setWindowTitle(window->windowTitle());
        progress.setWindowModality(Qt::WindowModal);
        progress.setCancelButtonText(QStringLiteral("Stop"));
        progress.setRange(0, int(pages.size()));
        progress.setMinimumDuration(0);
        progress.setAutoReset(false);
        progress.setAutoClose(false);
        const auto show = [&] {
            progress.setValue(pagesDone);
            if (!progress.wasCanceled()) {
                progress.setLabelText(QStringLiteral("%1 of %2 pages done").arg(pagesDone).arg(pages.size()));
            }
        };
        QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&] {
            RequestStop();
            progress.setLabelText(QStringLiteral("Stopping after the page in progress\u2026"));
        });
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &progress, show);
        tick.start(100);
        show();
        progress.show();
        QEventLoop loop;
        QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
        // The run may have ended before the connection was made; a later end is queued to the loop.
        if (!worker->isFinished()) {
            loop.exec();
        }
    }
    worker->wait();
    ClearStopRequest();
    return report;
}
