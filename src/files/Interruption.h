#pragma once

#include <QByteArray>

// Stopping a run of many files at a safe point. Ended by a signal in the middle of ReplaceFile, a
// process would leave its temporary file behind, and the run would end at no particular file; so a
// program that runs for a while asks that the signals only set a flag, which its runs read between
// two files.

// From now on, SIGINT (Ctrl+C), SIGTERM, SIGHUP (a closed terminal) and SIGXCPU (the soft limit on
// processor time) ask the run to stop after the file in progress; one that the process was started
// to ignore (nohup) stays ignored. A second one, or a first SIGQUIT (Ctrl+\), ends the process at
// once, as the signal would have, after removing the temporary files that ReplaceFile is writing,
// if any: an impatient user gets no half-written file either. Where a SignalHold stands, at its end.
void StopOnSignals();

// For a program whose runs come now and then (a window): the signals end it at once, as they would
// have, except while a RunGoing stands, when they act as StopOnSignals says; either way no
// temporary file is left, and no set half new (SignalHold). A run that a signal stopped has asked
// the program to end: EndForStopSignal does so once the run is over. A RunGoing stands on the
// thread that does the run, for as long as it works.
void EndOnSignalsBetweenRuns();
class RunGoing final {
public:
    RunGoing();
    ~RunGoing();
    RunGoing(const RunGoing&) = delete;
    RunGoing& operator=(const RunGoing&) = delete;
};

// For an exit() that comes while a RunGoing stands (a window's toolkit ends the process so when
// its display goes): asks the runs to stop, as RequestStop does, and waits for them to end, a few
// seconds at most; a temporary file still there is then removed. Called before exit() destroys
// anything a run may be using.
void EndRunsBeforeExit();

// Ends the process as the signal that asked the run to stop would have, if one did; otherwise
// takes back the request (nothing asked, or only RequestStop), as ClearStopRequest does. Called
// once no RunGoing stands, so that a signal after it ends the process at once.
void EndForStopSignal();

// Holds off the end a signal asks for while it stands: a file made but not yet named by
// NoteTemporaryFile, or a set of files half renamed, would be left behind, or left half new. The
// process ends when the last hold goes, or at once where the end was asked for before it came.
class SignalHold {
public:
    SignalHold();
    ~SignalHold();
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;
};

// Whether a signal, or RequestStop, has asked the run to stop.
bool StopRequested();
// The signal that asked the run to stop; 0 where none did.
int StopSignal();

// Asks the run in progress, on any thread, to stop after the file in progress, as a first signal
// does: a window's Stop button. ClearStopRequest takes it back once that run has ended, so that
// the next run goes to its end.
void RequestStop();
void ClearStopRequest();

// ReplaceFile names each temporary file of its own once it stands under a name in the user's folder,
// and forgets it once it has been renamed or removed, so that the second signal can remove it. One
// written without a name, where the file system makes such files, goes with the process and is
// never named here. Several may be named at once (ReplaceFiles), each forgotten in the opposite
// order.
void NoteTemporaryFile(const QByteArray& path);
void ForgetTemporaryFile();

// Removes the folder `name` in the folder open at `baseFd` with the files in it, not through a link;
// one holding a folder is left. Safe in a signal handler.
void RemoveFolderOfFiles(int baseFd, const char* name);

// A folder of the process's own, `name` in the folder `base` (an absolute path): a signal that ends
// the process removes it with the files in it, as the process's exit does. Only where `base` is the
// user's alone and `name` a folder there, not a link. A later call replaces the folder noted.
void RemoveFolderOnEnd(const QByteArray& base, const QByteArray& name);
