#include "cli/Engine.h"

#include "cli/CliHelp.h"
#include "cli/Commands.h"
#include "files/Interruption.h"
#include "templates/DataFolder.h"

#include <QFile>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

int RunDrawing(const CliRequest& request) {
    using Command = CliRequest::Command;
    switch (request.command) {
    case Command::Code:
        return RunCodeForBanner(request);
    case Command::Compose:
        return RunCompose(request);
    case Command::Generate:
        return RunGenerate(request);
    case Command::MakeTemplate:
        return RunMakeTemplate(request);
    default:
        return RunPreview(request);
    }
}

int RunRequest(const CliRequest& request, char* program) {
    using Command = CliRequest::Command;
    switch (request.command) {
    case Command::Templates:
        return RunTemplates(request);
    case Command::Design:
        return RunDesign(request);
    case Command::Remove:
        return RunRemove(request);
    case Command::Code:
    case Command::Compose:
    case Command::Generate:
    case Command::Preview:
    case Command::MakeTemplate:
        break;
    default:
        return 2;
    }
    // Fonts need a GUI application, but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char* argv[] = {program, nullptr};
    QGuiApplication app(argc, argv);
    const int status = RunDrawing(request);
    // The application lets go of the font configuration as it ends. A run that ended before its
    // first text (a template refused) would do so while the setup begun beside the engine still
    // builds it, and two threads would hold it at once.
    if (request.awaitFonts != nullptr) {
        request.awaitFonts();
    }
    return status;
}

}  // namespace

namespace {

int RunChecked(const CliRequest* request, size_t requestSize, const char* version, char* program) {
    if (requestSize != sizeof(CliRequest) || std::strcmp(version, VORNET_VERSION) != 0) {
        std::fprintf(stderr, "vornetad-cli: its engine is version %s, the program %s; install them again\n",
                     VORNET_VERSION, version);
        return 1;
    }
    // This module keeps its own, for commands that make no application.
    SetProgramPath(QFile::decodeName(program));
    // Ctrl+C stops a run between two files, never in the middle of one.
    StopOnSignals();
    int status = 1;
    try {
        status = RunRequest(*request, program);
    } catch (const std::bad_alloc&) {
        // Each file is written whole or not at all, so a run cut short here has damaged none.
        std::fputs("vornetad-cli: there is not enough memory to go on; every file is either as it was or "
                   "completely written\n",
                   stderr);
        return 1;
    }
    if (StopRequested()) {
        std::fputs("vornetad-cli: interrupted; every file is either as it was or completely written, and the "
                   "files not yet reached are untouched\n",
                   stderr);
        return StopSignal() == SIGINT ? kEndAsInterrupted : 130;
    }
    return status;
}

}  // namespace

extern "C" Q_DECL_EXPORT int VornetadCliRun(const CliRequest* request, size_t requestSize, const char* version,
                                            char* program, int* outputError) {
    const int status = RunChecked(request, requestSize, version, program);
    *outputError = FirstOutputError();
    return status;
}
