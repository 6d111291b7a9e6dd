// The main module of vornetad-cli (MainModule.h): parses the command line and runs it, here where it
// needs Qt Core alone, in the engine where it draws or reads images.
#include "cli/MainModule.h"

#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/Engine.h"
#include "cli/FontSetup.h"
#include "files/FileNames.h"
#include "templates/DataFolder.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Why the first line the engine module printed failed, which it reports back (see EngineEntry).
int engineOutputError = 0;

// Standard error carries the program's own failure lines only, so scripts can read them; Qt's
// notes about its environment are shown only on request. Its runtime folder's, a failure to make one
// included, are notes too: Qt looks that folder up as any application starts, and no run uses it
// (XDG_RUNTIME_DIR left behind by `su` names another user's).
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    static const bool verbose = qEnvironmentVariableIsSet("VORNETAD_CLI_DEBUG");
    const bool note = type != QtCriticalMsg || message.startsWith(QLatin1String("QStandardPaths: "));
    if (verbose || type == QtFatalMsg || !note) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
    }
}

// Runs a request in the engine module, which lies beside this one in the build tree and on the
// system. Found from this module's own path, which the program gave the loader: the program's
// folder is not known to Qt where there is no /proc. Kept in bytes: a folder whose name is not
// valid text would be another as text.
int RunInEngine(const CliRequest& request, char* program) {
    Dl_info self{};
    ::dladdr(reinterpret_cast<void*>(&RunInEngine), &self);
    const QByteArray own = self.dli_fname != nullptr ? QByteArray(self.dli_fname) : QByteArray();
    const qsizetype slash = own.lastIndexOf('/');
    const QByteArray path =
        (slash >= 0 ? own.left(slash + 1) : QByteArray("./")) + "vornetad-cli-engine" VORNET_MODULE_SUFFIX;
    // A missing module would be reported by the loader under another name it tried ("lib…").
    struct stat node {};
    if (::stat(path.constData(), &node) != 0 && errno == ENOENT) {
        std::fprintf(stderr,
                     "vornetad-cli: its engine \"%s\" is missing, so this command cannot run; the "
                     "installation is incomplete\n",
                     qUtf8Printable(PrintableName(path)));
        return 1;
    }
    void* engine = ::dlopen(path.constData(), RTLD_LAZY | RTLD_LOCAL);
    const auto entry = engine != nullptr ? reinterpret_cast<EngineEntry>(::dlsym(engine, kEngineEntry)) : nullptr;
    if (entry == nullptr) {
        std::fprintf(stderr, "vornetad-cli: its engine cannot be loaded: %s\n", ::dlerror());
        return 1;
    }
    return entry(&request, sizeof request, VORNET_VERSION, program, &engineOutputError);
}

// Whether the process may open `count` more files at once. Short of a few, the font library
// passes over configuration and cache files it cannot open, and "Times New Roman" turns into
// another face without a word, or the platform plugin cannot be loaded, or the engine aborts; a
// drawing run was seen to take up to four at once beside the standard streams.
bool SpareFiles(int count) {
    std::vector<int> taken;
    while (int(taken.size()) < count) {
        const int file = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (file < 0) {
            break;
        }
        taken.push_back(file);
    }
    for (const int file : taken) {
        ::close(file);
    }
    return int(taken.size()) == count;
}

// Refuses a run that draws where too few more files may be opened; see SpareFiles.
bool RefusedForFiles() {
    constexpr int kSpareFiles = 5;
    if (SpareFiles(kSpareFiles)) {
        return false;
    }
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    std::fprintf(stderr,
                 "vornetad-cli: fewer than %d more files may be open at once (the limit is %llu; see ulimit -n), too "
                 "few to draw: fonts and libraries could be passed over without a word; nothing was written\n",
                 kSpareFiles, static_cast<unsigned long long>(files.rlim_cur));
    return true;
}

int Run(int argc, char* argv[]) {
    // The arguments are ours alone, as the bytes the system gave: Qt sees only the program name, so
    // it neither takes a value such as "-reverse" for one of its own options nor converts a name.
    QByteArrayList args;
    for (int i = 1; i < argc; ++i) {
        args.append(QByteArray(argv[i]));
    }
    qInstallMessageHandler(QuietQtMessages);
    SetProgramPath(QFile::decodeName(argv[0]));
    // Its folder's name as text names no folder there (see ExecutableFolder): the runs that need
    // its templates fail, and say so of a folder that does not seem missing.
    if (!DecodedName(argv[0])) {
        const QByteArray program(argv[0]);
        std::fprintf(stderr,
                     "vornetad-cli: its folder \"%s\" has a name that is not valid UTF-8 text, so its own templates "
                     "cannot be found there\n",
                     qUtf8Printable(PrintableName(program.left(program.lastIndexOf('/')))));
    }
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
        if (RefusedForFiles()) {
            return 1;
        }
        StartFontSetup();
        CliRequest drawing = request;
        drawing.awaitFonts = AwaitFontSetup;
        const int status = RunInEngine(drawing, argv[0]);
        AwaitFontSetup();
        return status;
    }
    case CliRequest::Command::MakeTemplate:
        return RefusedForFiles() ? 1 : RunInEngine(request, argv[0]);
    default:
        return RunInEngine(request, argv[0]);
    }
}

}  // namespace

extern "C" Q_DECL_EXPORT int VornetadCliMain(int argc, char* argv[], const char* version, int* outputError) {
    if (std::strcmp(version, VORNET_VERSION) != 0) {
        std::fprintf(stderr, "vornetad-cli: its main module is version %s, the program %s; install them again\n",
                     VORNET_VERSION, version);
        return 1;
    }
    const int status = Run(argc, argv);
    *outputError = FirstOutputError() != 0 ? FirstOutputError() : engineOutputError;
    return status;
}
