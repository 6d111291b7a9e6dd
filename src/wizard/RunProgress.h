#pragma once

#include "output/OutputRuns.h"

#include <QStringList>

#include <chrono>
#include <functional>

class QWidget;

// How long a run goes before its progress is shown: most runs end sooner, and a window that only
// flashed would be noise.
inline constexpr std::chrono::milliseconds kQuietRun{300};

// Does `run` on a second thread, so that a run over many pages never freezes `window`: after
// `quiet`, a window-modal progress dialog counts the listed `pages` written (a page counts when
// the run reports a file of that path) and offers Stop, which asks the run to stop after the page
// in progress (RequestStop); the report then says it was interrupted. The dialog stays until the
// run ends, so the window takes no input meanwhile. Running out of memory outside the runs' own
// care is reported as a failure without a path. Returns once the run has ended, with its report.
RunReport RunWithProgress(QWidget* window, const QStringList& pages,
                          const std::function<RunReport(const FileDone&)>& run,
                          std::chrono::milliseconds quiet = kQuietRun);

// Does `work` (one that cannot be stopped part-way) on a second thread, so that `window` keeps
// drawing: after `quiet`, a window-modal dialog says `what` is under way, with no button, until it
// ends; the window takes no input meanwhile. Returns once it has ended.
void RunAside(QWidget* window, const QString& what, const std::function<void()>& work,
              std::chrono::milliseconds quiet = kQuietRun);
