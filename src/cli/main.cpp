#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/Engine.h"
#include "cli/FontSetup.h"
#include "templates/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Why the first line the engine module printed failed, which it reports back (see EngineEntry).
int engineOutputError = 0;

// Standard error carries the program's own failure lines only, so scripts can read them; Qt's
// notes about its environment (such as a missing runtime folder) are shown only on request.
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    static const bool verbose = qEnvironmentVariableIsSet("VORNETAD_CLI_DEBUG");
    if (verbose || type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
    }
}

// Runs a request in the engine module, installed at the same place relative to this program in
// the build tree and on the system.
int RunInEngine(const CliRequest& request, char* program) {
    const QString path = QDir::cleanPath(ExecutableFolder() + QStringLiteral("/" VORNET_ENGINE_PATH));
    // A missing module would be reported by the loader under another name it tried ("lib…").
    if (!QFileInfo::exists(path)) {
        std::fprintf(stderr,
                     "vornetad-cli: its engine \"%s\" is missing, so this command cannot run; the "
                     "installation is incomplete\n",
                     qUtf8Printable(path));
        return 1;
    }
    QLibrary engine(path);
    const auto entry = reinterpret_cast<EngineEntry>(engine.resolve(kEngineEntry));
    if (entry == nullptr) {
        std::fprintf(stderr, "vornetad-cli: its engine cannot be loaded: %s\n", qUtf8Printable(engine.errorString()));
        return 1;
    }
    return entry(&request, sizeof request, VORNET_VERSION, program, &engineOutputError);
}

// Puts a pipe end on the closed stream's number: the read end for stdin, the write end, with no
// reader, for the others, so that every write there fails.
void OccupyWithPipe(int stream) {
    int ends[2];
    if (::pipe(ends) != 0) {
        return;
    }
    // The two lowest free numbers, the closed stream's among them.
    const int keep = stream == STDIN_FILENO ? ends[0] : ends[1];
    const int other = keep == ends[0] ? ends[1] : ends[0];
    if (keep != stream) {
        ::dup2(keep, stream);
        ::close(keep);
    }
    if (other != stream) {
        ::close(other);
    }
}

// A file the run opens must never take the number of a closed standard stream, or lines meant for
// the stream would go into it. stdin and stderr get /dev/null; stdout a pipe that no one reads, so
// that output lost there is still reported. Returns whether stdout was closed.
bool GuardStandardStreams() {
    bool stdoutClosed = false;
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        stdoutClosed = stdoutClosed || stream == STDOUT_FILENO;
        // The lowest free number is taken, which is this one.
        if (stream == STDOUT_FILENO || ::open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY) == -1) {
            OccupyWithPipe(stream);
        }
    }
    return stdoutClosed;
}

// Whether stdout is a pipe whose reader has stopped reading, as `| head -1` or `| grep -q` does.
bool ReaderGone() {
    pollfd out{STDOUT_FILENO, 0, 0};
    return ::poll(&out, 1, 0) == 1 && (out.revents & POLLERR) != 0;
}

// Scripts take the files written from stdout: output that could not be written (a full disk, a
// closed stream) fails the run, though every file was written. A reader that stopped reading
// wanted no more, and the run went on to its end regardless.
int WithOutputChecked(int status, bool stdoutClosed) {
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if ((flushed && !std::ferror(stdout)) || (!stdoutClosed && ReaderGone())) {
        return status;
    }
    // A line that failed before the end took its reason along, unless it was printed here; the last
    // flush knows its own.
    const int first = FirstOutputError() != 0 ? FirstOutputError() : engineOutputError;
    const char* reason = stdoutClosed ? "it is closed"
                         : first != 0 ? std::strerror(first)
                         : flushed    ? nullptr
                                      : std::strerror(error);
    std::fprintf(stderr, "vornetad-cli: what this run printed could not be written to standard output%s%s\n",
                 reason != nullptr ? ": " : "", reason != nullptr ? reason : "");
    return status == 0 ? 1 : status;
}

int Run(int argc, char* argv[]) {
    // The arguments are ours alone, as the bytes the system gave: Qt sees only the program name, so
    // it neither takes a value such as "-reverse" for one of its own options nor converts a name.
    QByteArrayList args;
    for (int i = 1; i < argc; ++i) {
        args.append(QByteArray(argv[i]));
    }
    qInstallMessageHandler(QuietQtMessages);
    QCoreApplication::setApplicationName(QStringLiteral("vornetad-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORNET_VERSION));

    const Result<CliRequest> parsed = ParseCommandLine(args);
    if (!parsed.Ok()) {
        return parsed.subject.isEmpty() ? UsageError(parsed.error) : Refuse(parsed.error);
    }
    const CliRequest& request = parsed.value;
    switch (request.command) {
    case CliRequest::Command::Help:
        PrintOut(UsageText().toUtf8());
        return 0;
    case CliRequest::Command::Version:
        PrintOut("vornetad-cli " VORNET_VERSION "\n");
        return 0;
    case CliRequest::Command::Code:
        if (!CodeNeedsBanner(request)) {
            return RunCode(request);
        }
        [[fallthrough]];
    case CliRequest::Command::Compose:
    case CliRequest::Command::Generate:
    case CliRequest::Command::Preview: {
        StartFontSetup();
        CliRequest drawing = request;
        drawing.awaitFonts = AwaitFontSetup;
        const int status = RunInEngine(drawing, argv[0]);
        AwaitFontSetup();
        return status;
    }
    default:
        return RunInEngine(request, argv[0]);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    const bool stdoutClosed = GuardStandardStreams();
    // Each line goes out when it is complete, so that a run stopped hard has listed what it did; a
    // reader that stops early must not end the run half done.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file size limit (ulimit -f) a write fails, and the file is reported with the reason,
    // rather than the process ending in the middle of it, unannounced.
    std::signal(SIGXFSZ, SIG_IGN);
    const int status = WithOutputChecked(Run(argc, argv), stdoutClosed);
    if (status == kEndAsInterrupted) {
        // As Ctrl+C would have ended it, once the run has stopped between two files.
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return 130;
    }
    return status;
}
