#include "app/StartupProbe.h"
#include "app/WizardOptions.h"
#include "banner/Banner.h"
#include "controls/Pickers.h"
#include "files/Interruption.h"
#include "output/CodeTexts.h"
#include "wizard/DialogLook.h"
#include "wizard/WizardDialog.h"

#include <QApplication>
#include <QMessageBox>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace {

const char* platformAskedFor = nullptr;  // by -platform NAME

// Answers --version and --help, if asked, before any GUI object exists, so that they work without
// a display. Returns whether one was answered.
bool AnswerInformationOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("vornetad %s\n", VORNET_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: vornetad [OPTION]\nStarts the wizard that makes a corner banner advert.\n\n");
            for (const WizardOption& option : kWizardOptions) {
                std::printf("  %-12s%s\n", option.name, option.help);
            }
            std::printf("\nThe options every Qt program takes, such as -platform NAME, are taken too, and the "
                        "preview browser's switches after --webEngineArgs; any other argument is refused.\n");
            return true;
        }
    }
    return false;
}

// Qt leaves in place one of its own options that takes a value, given last without one; the X11
// ones (-display, -name, -visual) as well.
bool IsQtOptionWithValue(const char* argument) {
    const std::string_view name = std::string_view(argument).substr(argument[0] == '-' && argument[1] == '-' ? 1 : 0);
    return name == "-style" || name == "-stylesheet" || name == "-session" || name == "-display" || name == "-name" ||
           name == "-visual";
}

// Whether Qt has a display to open the window on: an X or Wayland session, or a platform named by
// -platform or QT_QPA_PLATFORM. Without one Qt aborts the program with a message that suggests
// reinstalling it (over ssh, say, or from a service).
bool HasDisplay(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            platformAskedFor = i + 1 < argc ? argv[i + 1] : "";
            return true;
        }
    }
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

QtMessageHandler qtMessages = nullptr;

// Qt ends the program when a display is named but does not answer (a stale DISPLAY in a reattached
// terminal, a Wayland session without Qt's plugin for it): an abort, and a message that suggests
// reinstalling. While the application starts, that ends it with the reason instead.
void EndWhereNoDisplayAnswers(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        qtMessages(type, context, message);  // Qt's own handler, which it hands back
        return;
    }
    const auto named = [](const char* variable) {
        return qEnvironmentVariableIsSet(variable) ? QStringLiteral("\"%1\"").arg(qEnvironmentVariable(variable))
                                                   : QStringLiteral("not set");
    };
    // Qt's list of the platforms it has tells what else may be asked for (-platform NAME).
    const qsizetype listed = message.indexOf(QStringLiteral("Available platform plugins are:"));
    const QString platforms = listed < 0 ? QString() : message.mid(listed).simplified();
    const QString asked = platformAskedFor != nullptr
                              ? QStringLiteral("-platform is \"%1\"").arg(QString::fromLocal8Bit(platformAskedFor))
                              : QStringLiteral("QT_QPA_PLATFORM is ") + named("QT_QPA_PLATFORM");
    std::fprintf(stderr,
                 "vornetad: the wizard's window cannot be opened: no display answers, or Qt has no platform for "
                 "it (DISPLAY is %s, WAYLAND_DISPLAY is %s, %s). %s%svornetad-cli does the same work without a "
                 "display\n",
                 qPrintable(named("DISPLAY")), qPrintable(named("WAYLAND_DISPLAY")), qPrintable(asked),
                 qPrintable(platforms), platforms.isEmpty() ? "" : " ");
    std::fflush(stderr);
    ::_exit(1);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (AnswerInformationOption(argc, argv)) {
        // Scripts read the version here: what could not be written (a full disk, a closed stream)
        // is no answer.
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            std::fprintf(stderr, "vornetad: what it printed could not be written to standard output: %s\n",
                         std::strerror(errno));
            return 1;
        }
        return 0;
    }
    if (!HasDisplay(argc, argv)) {
        std::fprintf(stderr, "vornetad: there is no display to open the wizard on (neither DISPLAY nor "
                             "WAYLAND_DISPLAY is set); vornetad-cli does the same work without one\n");
        return 1;
    }
    // Past a file size limit (ulimit -f) a write fails and is reported with the reason, rather
    // than the program ending in the middle of a file.
    std::signal(SIGXFSZ, SIG_IGN);
    // Ended by a signal (a logout, a closed terminal) in the middle of a file, the wizard would leave
    // a temporary file in the user's folder, or a set of files half new.
    EndOnSignalsBetweenRuns();
    // The preview page's browser shares its graphics context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qtMessages = qInstallMessageHandler(EndWhereNoDisplayAnswers);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessages);
    // Qt has taken its own options out of argv, but for the preview browser's switches, which follow
    // --webEngineArgs and are read when the browser starts. What else is left the wizard has no use
    // for; opened as if nothing were given, it would leave a misspelt option or a file named there
    // unnoticed.
    if (argc > 1 && std::strcmp(argv[1], "--webEngineArgs") != 0) {
        if (argc == 2 && IsQtOptionWithValue(argv[1])) {
            std::fprintf(stderr, "vornetad: \"%s\" needs a value after it\n", argv[1]);
        } else {
            std::fprintf(stderr,
                         "vornetad: \"%s\" is no option of the wizard, which takes no other arguments; "
                         "vornetad --help lists what it takes\n",
                         argv[1]);
        }
        return 2;
    }
    QGuiApplication::setDesktopFileName(QStringLiteral(VORNET_APP_ID));

    Banner::PinTextAntialiasing();
    ApplyDialogLook();

    // A program built without its texts could write no page; it says so instead of starting.
    if (const Result<CodeTexts> loaded = CodeTexts::LoadTextResources(); !loaded.Ok()) {
        QMessageBox::critical(
            nullptr, QStringLiteral("Vornet Ad Wizard"),
            QStringLiteral("The program is incomplete and cannot start.\n\n%1: %2").arg(loaded.subject, loaded.error));
        return 1;
    }

    DialogPickers pickers;
    WizardDialog wizard(pickers);
    QApplication::setWindowIcon(wizard.windowIcon());
    StartupProbe probe(wizard);
    wizard.exec();
    return 0;
}
