#include "wizard/RunProgress.h"

#include "files/FolderLock.h"
#include "files/Interruption.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QMutex>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <memory>
#include <new>
#include <utility>

namespace {

// A progress dialog that only Stop ends early: Esc and the close box ask for Stop as its button
// does, and none of them hides it, so that the window under it takes no input until the run ends.
// Without `stoppable` it has no button, and they do nothing.
class RunDialog final : public QProgressDialog {
public:
    RunDialog(QWidget* window, bool stoppable)
        : QProgressDialog(window)
        , stoppable(stoppable) {
        // By default a cancel hides the dialog at once, while the run still goes on. Qt makes that
        // connection by name, and only a disconnection by name undoes it.
        disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
        connect(this, &QProgressDialog::canceled, this, &RunDialog::Stop);
        setWindowTitle(window->windowTitle());
        setWindowModality(Qt::WindowModal);
        setMinimumDuration(0);
        setAutoReset(false);
        setAutoClose(false);
        // The label above the bar changes as the run goes on; the bar itself has a name of its own.
        if (auto* bar = findChild<QProgressBar*>()) {
            bar->setAccessibleName(QStringLiteral("Progress"));
        }
        if (stoppable) {
            setCancelButtonText(QStringLiteral("Stop"));
        } else {
            setCancelButton(nullptr);
        }
    }

    bool Stopping() const { return stopping; }
    void reject() override { Stop(); }

private:
    void Stop() {
        if (!stoppable || std::exchange(stopping, true)) {
            return;
        }
        RequestStop();
        setLabelText(QStringLiteral("Stopping after the page in progress\u2026"));
        if (auto* button = findChild<QPushButton*>()) {
            button->setEnabled(false);
        }
    }

    const bool stoppable;
    bool stopping = false;
};

// How far a run has come: the pages it is done with, and of those the ones that failed; and the
// folder it waits for, while another run has its turn there.
struct PageCounts {
    std::atomic<int> done = 0;
    std::atomic<int> failed = 0;
    QMutex waiting;
    QString waitingFor;
    int doneBeforeWait = 0;
};

// Runs `work` on a second thread and returns when it has ended. Once it lasts longer than `quiet`,
// a dialog over `window` (with Stop where `stoppable`) is made and shown meanwhile, and `show` fills
// it in, then ten times a second; most runs end sooner, and no dialog is made for them.
void RunAndWait(QWidget* window, bool stoppable, const std::function<void()>& work, std::chrono::milliseconds quiet,
                const std::function<void(RunDialog&)>& show) {
    const std::unique_ptr<QThread> worker(QThread::create(work));
    worker->start();
    // Where the system gives no thread (a process limit), the run goes on this one all the same.
    if (!worker->isRunning() && !worker->isFinished()) {
        work();
        return;
    }
    // Until the dialog shows, the window waits without drawing: no longer than a moment.
    if (!worker->wait(QDeadlineTimer(quiet.count()))) {
        RunDialog progress(window, stoppable);
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &progress, [&] { show(progress); });
        tick.start(100);
        show(progress);
        progress.show();
        QEventLoop loop;
        QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
        // The run may have ended before the connection was made; a later end is queued to the loop.
        if (!worker->isFinished()) {
            loop.exec();
        }
    }
    worker->wait();
}

}  // namespace

// A window's toolkit ends the process with exit() when its display goes (the X server ends, a
// forced logout), while a run may be writing on its own thread. exit() destroys the objects of
// static storage first made after a handler registered with atexit(), as the run's own and the
// libraries' are, before it calls that handler; the run would go on among destroyed objects. So
// the program has an exit() of its own, which stops the run first and then does what the C
// library's does. It stands in for the library's for the toolkit's plugins too: the program
// exports it to them (see src/app/CMakeLists.txt).
extern "C" [[noreturn]] void exit(int status) noexcept {
    EndRunsBeforeExit();
    using Exit = void (*)(int);
    static const auto library = reinterpret_cast<Exit>(::dlsym(RTLD_NEXT, "exit"));
    if (library == nullptr) {
        std::_Exit(status);
    }
    library(status);
    std::_Exit(status);
}

RunReport RunWithProgress(QWidget* window, const QStringList& pages,
                          const std::function<RunReport(const FileDone&)>& run, std::chrono::milliseconds quiet) {
    const QSet<QString> listed(pages.begin(), pages.end());
    PageCounts counts;
    RunReport report;
    // A signal (a logout, a closed terminal) stops the run between two files, and then the wizard
    // ends as it asked; one that comes once the run is over ends it at once.
    const auto work = [&] {
        const RunGoing going;
        try {
            report = run([&](const FileResult& file) {
                if (listed.contains(file.path)) {
                    ++counts.done;
                    counts.failed += file.Ok() ? 0 : 1;
                }
            });
        } catch (const std::bad_alloc&) {
            // Out of the runs' own reach (the banner's encoding, say): nothing was written since.
            report.files.append(FileResult::Failure(
                {}, QStringLiteral("There was not enough memory to go on; every file is either as it was or "
                                   "completely written.")));
        }
    };
    ShowFolderWaits([&counts](const QString& folder) {
        const QMutexLocker hold(&counts.waiting);
        counts.waitingFor = folder;
        counts.doneBeforeWait = counts.done;
    });
    RunAndWait(window, true, work, quiet, [&](RunDialog& progress) {
        progress.setRange(0, int(pages.size()));
        const int done = counts.done;
        const int failed = counts.failed;
        progress.setValue(done);
        if (progress.Stopping()) {
            return;
        }
        // The wait lasts until the next page is done.
        if (const QMutexLocker hold(&counts.waiting); !counts.waitingFor.isEmpty() && done == counts.doneBeforeWait) {
            progress.setLabelText(QStringLiteral("Waiting for another run to finish writing into %1\u2026")
                                      .arg(QDir::toNativeSeparators(counts.waitingFor)));
            return;
        }
        // A page done may have failed, or been left as it was: "written" would claim them all.
        progress.setLabelText(QStringLiteral("%1 of %2 pages done").arg(done).arg(pages.size()) +
                              (failed == 0 ? QString() : QStringLiteral(", %1 not written").arg(failed)));
    });
    ShowFolderWaits({});
    EndForStopSignal();
    return report;
}

void RunAside(QWidget* window, const QString& what, const std::function<void()>& work,
              std::chrono::milliseconds quiet) {
    RunAndWait(window, false, work, quiet, [&what](RunDialog& progress) {
        progress.setRange(0, 0);
        progress.setLabelText(what);
    });
}
