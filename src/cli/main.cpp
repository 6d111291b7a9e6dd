#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/Engine.h"
#include "cli/FontSetup.h"
#include "templates/DataFolder.h"

#include <QCoreApplication>
#include <QLibrary>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

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
    QLibrary engine(ExecutableFolder() + QStringLiteral("/" VORNET_ENGINE_PATH));
    const auto entry = reinterpret_cast<EngineEntry>(engine.resolve(kEngineEntry));
    if (entry == nullptr) {
        std::fprintf(stderr, "%s: cannot be loaded: %s\n", qUtf8Printable(engine.fileName()),
                     qUtf8Printable(engine.errorString()));
        return 1;
    }
    return entry(&request, sizeof request, VORNET_VERSION, program);
}

// A file the run opens must never take the number of a closed standard stream, or lines meant for
// the stream would go into it. A closed stdout becomes /dev/full, where every write fails, so that
// output lost there is still reported.
// Whether stdout was closed.
bool GuardStandardStreams() {
    bool stdoutClosed = false;
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(stream, F_GETFD) == -1 && errno == EBADF) {
            stdoutClosed = stdoutClosed || stream == STDOUT_FILENO;
            // The lowest free number is taken, which is this one.
            ::open(stream == STDOUT_FILENO ? "/dev/full" : "/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        }
    }
    return stdoutClosed;
}

// Scripts take the files written from stdout: output that could not be written (a full disk, a
// closed stream) fails the run, though every file was written.
int WithOutputChecked(int status, bool stdoutClosed) {
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && !std::ferror(stdout)) {
        return status;
    }
    const char* reason = stdoutClosed ? "it is closed" : flushed ? nullptr : std::strerror(error);
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
        return UsageError(parsed.error);
    }
    const CliRequest& request = parsed.value;
    switch (request.command) {
    case CliRequest::Command::Help:
        std::fputs(qUtf8Printable(UsageText()), stdout);
        return 0;
    case CliRequest::Command::Version:
        std::printf("vornetad-cli %s\n", VORNET_VERSION);
        return 0;
    case CliRequest::Command::Code:
        return RunCode(request);
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
    // Each line goes out when it is complete, so that a run stopped hard has listed what it did.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return WithOutputChecked(Run(argc, argv), stdoutClosed);
}
