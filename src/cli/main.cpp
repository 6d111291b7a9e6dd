// vornetad-cli needs nothing but the C library (see MainModule.h): it prints the help and the
// version itself, and hands every other command line to its main module; around both it guards the
// standard streams and checks that what was printed reached standard output.
#include "cli/MainModule.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What `vornetad-cli --help` prints, as the main module's option tables give it.
constexpr char kHelpText[] =
#include "cli/HelpText.inc"
    ;

// Why the first line printed failed: an errno value, 0 when none did.
int outputError = 0;

void Print(const char* text, size_t size) {
    if (std::fwrite(text, 1, size, stdout) != size && outputError == 0) {
        outputError = errno;
    }
}

// The program's own path, as the kernel's link to it names it; where there is none (no /proc, in a
// chroot or a small container), by the name it was started by, looked up on PATH as the shell did.
bool ProgramPath(const char* startedAs, char (&path)[PATH_MAX]) {
    if (::realpath("/proc/self/exe", path) != nullptr) {
        return true;
    }
    if (std::strchr(startedAs, '/') != nullptr) {
        return ::realpath(startedAs, path) != nullptr;
    }
    const char* folders = std::getenv("PATH");
    for (const char* folder = folders != nullptr ? folders : ""; *folder != '\0';) {
        const char* end = std::strchr(folder, ':');
        const int length = int(end != nullptr ? end - folder : std::strlen(folder));
        char candidate[PATH_MAX];
        // An empty entry is the current folder. A folder of the name is no program, and the shell
        // passes over it as it does over a file that may not be run.
        struct stat node {};
        if (std::snprintf(candidate, sizeof candidate, "%.*s/%s", length > 0 ? length : 1, length > 0 ? folder : ".",
                          startedAs) < int(sizeof candidate) &&
            ::stat(candidate, &node) == 0 && S_ISREG(node.st_mode) && ::access(candidate, X_OK) == 0) {
            return ::realpath(candidate, path) != nullptr;
        }
        folder += length + (end != nullptr ? 1 : 0);
    }
    errno = ENOENT;
    return false;
}

// The main module's path: its place relative to the program (`relative`, "../" steps first), from
// the folder of `program`, the program's own path.
bool MainModulePath(const char* program, const char* relative, char (&path)[PATH_MAX]) {
    char folder[PATH_MAX];
    std::snprintf(folder, sizeof folder, "%s", program);
    char* folderEnd = std::strrchr(folder, '/');
    while (std::strncmp(relative, "../", 3) == 0 && folderEnd != folder) {
        *folderEnd = '\0';
        folderEnd = std::strrchr(folder, '/');
        relative += 3;
    }
    *folderEnd = '\0';
    return std::snprintf(path, sizeof path, "%s/%s", folder, relative) < int(sizeof path);
}

// Runs the command line in the main module, installed at the same place relative to the program in
// the build tree and on the system. The module is given the program's own path for the name it was
// started by: it finds the program's data from there, where there is no /proc to ask.
int RunInMainModule(int argc, char* argv[]) {
    static char program[PATH_MAX];
    char path[PATH_MAX];
    if (!ProgramPath(argv[0], program) || !MainModulePath(program, VORNET_MAIN_PATH, path)) {
        std::fprintf(stderr,
                     "vornetad-cli: its own folder cannot be found (there is no /proc/self/exe, and the name it was "
                     "started by leads to no file: %s), so this command cannot run\n",
                     std::strerror(errno));
        return 1;
    }
    // A missing module would be reported by the loader under another name it tried.
    struct stat node {};
    if (::stat(path, &node) != 0 && errno == ENOENT) {
        std::fprintf(stderr,
                     "vornetad-cli: its main module \"%s\" is missing, so this command cannot run; the installation is "
                     "incomplete\n",
                     path);
        return 1;
    }
    void* module = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    const auto entry = module != nullptr ? reinterpret_cast<MainEntry>(::dlsym(module, kMainEntry)) : nullptr;
    if (entry == nullptr) {
        std::fprintf(stderr, "vornetad-cli: its main module cannot be loaded: %s\n", ::dlerror());
        return 1;
    }
    argv[0] = program;
    return entry(argc, argv, VORNET_VERSION, &outputError);
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
    // A line that failed before the end took its reason along; the last flush knows its own.
    const char* reason = stdoutClosed       ? "it is closed"
                         : outputError != 0 ? std::strerror(outputError)
                         : flushed          ? nullptr
                                            : std::strerror(error);
    std::fprintf(stderr, "vornetad-cli: what this run printed could not be written to standard output%s%s\n",
                 reason != nullptr ? ": " : "", reason != nullptr ? reason : "");
    return status == 0 ? 1 : status;
}

int Run(int argc, char* argv[]) {
    // As the main module's parser takes them: the help or the version asked first, whatever follows.
    const char* first = argc > 1 ? argv[1] : "";
    if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0) {
        Print(kHelpText, sizeof kHelpText - 1);
        return 0;
    }
    if (std::strcmp(first, "--version") == 0) {
        static constexpr char version[] = "vornetad-cli " VORNET_VERSION "\n";
        Print(version, sizeof version - 1);
        return 0;
    }
    return RunInMainModule(argc, argv);
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
