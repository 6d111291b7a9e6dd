#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/Engine.h"
#include "cli/FontSetup.h"
#include "templates/DataFolder.h"

#include <QCoreApplication>
#include <QLibrary>

#include <cstdio>

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

}  // namespace

int main(int argc, char* argv[]) {
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
