#include "CliHelp.h"
#include "CliOptions.h"
#include "Commands.h"
#include "files/Interruption.h"

#include <QGuiApplication>

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

int Run(const CliRequest& request) {
    switch (request.command) {
    case CliRequest::Command::Help:
        std::fputs(qUtf8Printable(UsageText()), stdout);
        return 0;
    case CliRequest::Command::Version:
        std::printf("vornetad-cli %s\n", VORNET_VERSION);
        return 0;
    case CliRequest::Command::Compose:
        return RunCompose(request);
    case CliRequest::Command::Code:
        return RunCode(request);
    case CliRequest::Command::Generate:
        return RunGenerate(request);
    case CliRequest::Command::Preview:
        return RunPreview(request);
    case CliRequest::Command::Templates:
        return RunTemplates(request);
    case CliRequest::Command::Design:
        return RunDesign(request);
    case CliRequest::Command::Remove:
        return RunRemove(request);
    case CliRequest::Command::MakeTemplate:
        return RunMakeTemplate(request);
    }
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The arguments are ours alone, as the bytes the system gave: Qt sees only the program name, so
    // it neither takes a value such as "-reverse" for one of its own options nor converts a name.
    QByteArrayList args;
    for (int i = 1; i < argc; ++i) {
        args.append(QByteArray(argv[i]));
    }
    int qtArgc = 1;
    // Fonts and images need a GUI application, but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    QGuiApplication app(qtArgc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("vornetad-cli"));
    QGuiApplication::setApplicationVersion(QStringLiteral(VORNET_VERSION));

    const ParseResult parsed = ParseCommandLine(args);
    if (!parsed.request) {
        std::fprintf(stderr, "vornetad-cli: %s\nTry 'vornetad-cli --help'.\n", qUtf8Printable(parsed.error));
        return 2;
    }
    // Ctrl+C stops a run between two files, never in the middle of one.
    StopOnSignals();
    const int status = Run(*parsed.request);
    if (StopRequested()) {
        std::fputs("vornetad-cli: interrupted; every file is either as it was or completely written, and the "
                   "files not yet reached are untouched\n",
                   stderr);
        return 130;
    }
    return status;
}
