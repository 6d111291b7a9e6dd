// Users' files under every kind of node and every way a write can fail: each operation that reads
// or writes a user's file either does its whole job or refuses with the reason and leaves every
// node exactly as it was. Nothing may block: a test that hangs here is a failure.
#include "DataTable.h"
#include "TestGif.h"
#include "banner/GifWriter.h"
#include "banner/TemplateImage.h"
#include "files/FileNames.h"
#include "files/Interruption.h"
#include "files/PrivateFolder.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "files/SiteWalk.h"
#include "files/SystemErrors.h"
#include "output/CodeTexts.h"
#include "output/OutputRuns.h"
#include "output/PageInjection.h"
#include "templates/TemplateCatalog.h"
#include "templates/UserTemplates.h"

#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <atomic>
#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <ftw.h>
#include <functional>
#include <linux/filter.h>
#include <linux/fs.h>
#include <linux/seccomp.h>
#include <numeric>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace {

const QByteArray kPage = "<html><body>mine</body></html>\n";
const QByteArray kStyle = "a { color: red }\n";
// An access list as the system stores it (version 2, then tag, permissions and id of each entry):
// the owner may read and write, the web server's user (33) may read, the group and others nothing.
// The mode shows the list's mask as the group's bits: 0640.
constexpr std::array<quint8, 44> kWebServerReads = {2, 0,  0,   0,   1,   0,   6,  0, 255, 255, 255, 255, 2,   0,  4,
                                                    0, 33, 0,   0,   0,   4,   0,  0, 0,   255, 255, 255, 255, 16, 0,
                                                    4, 0,  255, 255, 255, 255, 32, 0, 0,   0,   255, 255, 255, 255};

// Sets or clears an attribute flag of the file at `path` (append-only, immutable), as the superuser
// may; false where that cannot be done here.
bool SetFlag(const char* path, int flag, bool on) {
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    int flags = 0;
    const bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags = on ? flags | flag : flags & ~flag, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0) {
        ::close(fd);
    }
    return done;
}

// One case's folder. Its mount, if it made one, is taken down first; then everything is removed by
// the names on disk, which QTemporaryDir's clean-up cannot do for names that are not valid text.
struct Scene {
    QTemporaryDir dir;
    QByteArray mount;
    QString skip;  // why the case means nothing here

    Scene() = default;
    ~Scene() {
        if (!mount.isEmpty()) {
            ::umount2(mount.constData(), MNT_DETACH);
        }
        ::nftw(
            QFile::encodeName(dir.path()).constData(),
            [](const char* path, const struct stat*, int, FTW*) {
                const QByteArray folder = QByteArray(path).left(QByteArray(path).lastIndexOf('/'));
                const bool freed = SetFlag(path, FS_APPEND_FL | FS_IMMUTABLE_FL, false) |
                                   SetFlag(folder.constData(), FS_APPEND_FL | FS_IMMUTABLE_FL, false);
                return ::remove(path) == 0 || !freed ? 0 : ::remove(path);
            },
            16, FTW_DEPTH | FTW_PHYS);
    }
    Q_DISABLE_COPY_MOVE(Scene)

    QString Path(const QString& relative) const { return dir.filePath(relative); }

    // Makes the nodes that `words` name under the folder `under`, with the folders above each:
    // "a/b" a file holding `content`, "a/b:444" one with these permissions ("a/:644" a folder), "a/b+" one with an
    // attribute and an access list, "a/b!a" an append-only one ("!i" immutable, "!d" not dumped; "a/!a" a folder), "a/"
    // a folder, "a>t" a link to t ("a>>t" another user's, as a file with permissions given), "a|" a FIFO, "a=" a
    // socket, "a#" a character device, "a@" a file with another (holding `content` too) bound onto it, as a container
    // mounts one. A word is percent-encoded bytes ("%FF"); "[deep]" in one stands for folders that bring the path up to
    // it, the case's folder's included, to 4,075 bytes. Run by the superuser, a file with permissions given belongs
    // to another user (only the superuser can hand a file over); permissions do not stop the superuser from reading, so
    // a file it could not read skips the case.
    void Make(const QString& under, const QByteArray& words, const QByteArray& content = {}) {
        const QByteArray root = QFile::encodeName(Path(under));
        QByteArray deep;
        while (root.size() + 1 + deep.size() < 4075) {
            deep += QByteArray(std::min<qsizetype>(250, 4075 - root.size() - 1 - deep.size()), 'd') + '/';
        }
        deep.chop(1);
        for (QByteArray word : words.split(' ')) {
            word.replace("[deep]", deep);
            const QRegularExpressionMatch parts =
                QRegularExpression(u"^([^>:!]*?)(>.*|:[0-7]+|![aid]|[/|=#+@])?$"_qs).match(QString::fromLatin1(word));
            const QByteArray name = root + '/' + QByteArray::fromPercentEncoding(parts.captured(1).toLatin1());
            const QString tail = parts.captured(2);  // what follows the name, which says what node it is
            const char kind = word.isEmpty() ? ' ' : tail.isEmpty() ? 'f' : tail.front().toLatin1();
            const mode_t mode = kind == ':' ? mode_t(tail.mid(1).toUInt(nullptr, 8)) : 0644;
            for (qsizetype at = name.indexOf('/', root.size()); at >= 0; at = name.indexOf('/', at + 1)) {
                ::mkdir(name.left(at).constData(), 0755);
            }
            if (kind == ':' && name.endsWith('/')) {
                QCOMPARE(::chmod(name.constData(), mode), 0);
            } else if (kind == '!' && name.endsWith('/')) {
                if (!SetFlag(name.constData(), FS_APPEND_FL, true)) {
                    skip = QStringLiteral("cannot set a folder's attribute flags here (needs root)");
                }
            } else if (kind == ' ' || kind == '/') {
                QCOMPARE(kind == ' ' ? 0 : ::mkdir(name.constData(), 0755), 0);
            } else if (kind == '>') {
                const bool others = tail.startsWith(u">>");
                const QByteArray target = QByteArray::fromPercentEncoding(tail.mid(others ? 2 : 1).toLatin1());
                QCOMPARE(::symlink(target.constData(), name.constData()), 0);
                if (others && ::lchown(name.constData(), 65534, 65534) != 0) {
                    skip = QStringLiteral("only the superuser can hand a link over");
                }
            } else if (const mode_t node = kind == '|' ? S_IFIFO : kind == '=' ? S_IFSOCK : kind == '#' ? S_IFCHR : 0) {
                // Only the superuser may make a device node.
                if (::mknod(name.constData(), node | 0666, kind == '#' ? makedev(1, 3) : 0) != 0) {
                    QVERIFY(kind == '#');
                    skip = QStringLiteral("cannot make a device node here (needs root)");
                }
            } else {
                FILE* out = std::fopen(name.constData(), "wb");
                QVERIFY(out &&
                        std::fwrite(content.constData(), 1, size_t(content.size()), out) == size_t(content.size()) &&
                        std::fclose(out) == 0);
                QCOMPARE(kind == ':' && ::geteuid() == 0 ? ::chown(name.constData(), 65534, 65534) : 0, 0);
                QCOMPARE(::chmod(name.constData(), mode), 0);
                if (kind == '+' && (::setxattr(name.constData(), "user.origin", "mine", 4, 0) != 0 ||
                                    ::setxattr(name.constData(), "system.posix_acl_access", kWebServerReads.data(),
                                               kWebServerReads.size(), 0) != 0)) {
                    skip = QStringLiteral("the file system here keeps no access lists");
                }
                const int flag = tail == u"!a" ? FS_APPEND_FL : tail == u"!i" ? FS_IMMUTABLE_FL : FS_NODUMP_FL;
                if (kind == '!' && !SetFlag(name.constData(), flag, true)) {
                    skip = QStringLiteral("cannot set a file's attribute flags here (needs root)");
                }
                const QByteArray source = name + ".bound";
                if (kind == '@' && (::rename(name.constData(), source.constData()) != 0 ||
                                    ::close(::open(name.constData(), O_CREAT | O_WRONLY, 0644)) != 0 ||
                                    ::mount(source.constData(), name.constData(), nullptr, MS_BIND, nullptr) != 0)) {
                    skip = QStringLiteral("cannot bind a file onto another here (needs root)");
                }
                mount = kind == '@' && skip.isEmpty() ? name : mount;
                if (::geteuid() == 0 && !(mode & S_IRUSR)) {
                    skip = QStringLiteral("permissions do not stop the superuser");
                }
            }
        }
    }
};

enum Operation { Image, Style, Page, ReadPageOp, CustomCode, Template, Scan, Remove, Create, Import, OperationCount };
const char* const kOperationNames[] = {"replace image",    "replace style sheet", "write page",     "read page",
                                       "read custom code", "load template",       "scan templates", "remove advert",
                                       "create new file",  "add template"};

const QImage kBanner = SolidTemplate(QColor(200, 30, 30), 40);

// Runs `body` in a child process, which then ends with status 0 unless `body` ended it, and
// returns the child's wait status.
int InChild(const std::function<void()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child ? status : -1;
}

#ifndef SYS_rename
#define SYS_rename SYS_renameat  // a system without the old call (arm64)
#endif

// Runs `body` on a thread of its own whose `nth` call to rename a file fails with EIO, as on a
// failing disk; false where the system lets no filter hold such calls for this process to answer.
bool WithFailingRename(int nth, const std::function<void()>& body) {
    std::atomic<int> listener = -2;
    std::thread worker([&] {
        sock_filter code[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_rename, 3, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_renameat, 2, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_renameat2, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
        };
        const sock_fprog program{std::size(code), code};
        listener =
            ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0
                ? -1
                : int(::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &program));
        listener.notify_one();
        if (listener >= 0) {
            body();
        }
    });
    listener.wait(-2);
    // The listener hangs up when the thread, the filter's only user, has ended.
    for (int calls = 0; listener >= 0;) {
        pollfd held{listener, POLLIN, 0};
        seccomp_notif call{};
        if (::poll(&held, 1, -1) != 1 || (held.revents & POLLIN) == 0) {
            break;
        }
        if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &call) == 0) {
            const bool fail = ++calls == nth;
            seccomp_notif_resp answer{call.id, 0, fail ? -EIO : 0, fail ? 0u : __u32(SECCOMP_USER_NOTIF_FLAG_CONTINUE)};
            ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &answer);
        }
    }
    worker.join();
    return listener >= 0 && ::close(listener) == 0;
}

}  // namespace

class tst_Files : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A write beyond the file size limit fails with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        // New files get 0644, whatever the shell that started the suite sets.
        ::umask(022);
        const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
        QVERIFY(texts.Ok());
        // The nodes are named like an image, in which only a block as runs write it is one.
        m_code.codeBlock = "<!--VornetAdBegin--><script type='text/javascript'>ad()</script><!--VornetAdEnd-->";
        m_code.styleSheet = kStyle;
        m_code.newPage = texts.value.samplePage;
    }

    // nodes.tsv: every kind of node against every operation.
    void nodeKinds_data() {
        QTest::addColumn<QByteArray>("tree");
        QTest::addColumn<int>("operation");
        QTest::addColumn<char>("outcome");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("user");
        for (const QByteArrayList& kind : DataRows(QFINDTESTDATA("nodes.tsv"))) {
            for (int op = 0; op < OperationCount; ++op) {
                QTest::addRow("%s: %s", kind[0].constData(), kOperationNames[op])
                    << kind[1] << op << kind[2].at(op) << QString::fromUtf8(kind.value(3))
                    << kind.value(4, "-1").toInt();
            }
        }
    }

    void nodeKinds() {
        QFETCH(QByteArray, tree);
        QFETCH(int, operation);
        QFETCH(char, outcome);
        QFETCH(QString, reason);
        QFETCH(int, user);
        Scene scene;
        const QByteArray content = operation == Template || operation == Scan || operation == Import
                                       ? EncodeTestGif(kBanner)
                                   : operation == Remove ? InjectCode(kPage, m_code.codeBlock)
                                                         : kPage;
        scene.Make({}, tree, content);
        if (user >= 0 && ::geteuid() != 0) {
            scene.skip = QStringLiteral("only the superuser can run a case as another user");
        }
        if (!scene.skip.isEmpty()) {
            QSKIP(qPrintable(scene.skip));
        }
        QCOMPARE(user >= 0 ? ::chmod(QFile::encodeName(scene.dir.path()).constData(), 0755) : 0, 0);
        // Reading a page (and checking that it can be written back, as a dry run does) leaves even its
        // folder's time stamps as they were.
        const auto before = Snapshot(scene.dir.path(), operation == ReadPageOp);
        // What a caller gets for the name: for bytes that are not valid text, Qt's altered text,
        // which the edges (the command line, the file dialogs) check before anything else.
        const QString path =
            scene.Path(QFile::decodeName(tree.contains("%FF") ? "site/node\xff.gif" : "site/node.gif"));
        const FileResult edge = CheckRepresentable(path);
        // What a write goes to: the node, or the file its link leads to; and what a page starts as.
        const QString written = QFileInfo(path).isSymLink() ? QFileInfo(path).symLinkTarget() : path;
        const QByteArray oldPage = QFileInfo(written).isFile() ? content : m_code.newPage;

        const BannerGif gif(kBanner);
        const auto writePage = [&] {
            SharedFiles shared(m_code, {{&gif, scene.Path(u"site/VornetAdMap.gif"_qs)}},
                               scene.Path(u"site/VornetAdStyle.css"_qs));
            const QList<FileResult> results = shared.WritePage(path);
            return std::accumulate(results.begin(), results.end(), QString(),
                                   [](const QString& all, const FileResult& r) { return all + r.error; });
        };
        // As a run reads a page that its changes are to be written back to.
        const auto readPage = [&path] {
            const PageRead read = ReadPage(path);
            return read.Ok() ? CheckReplaceable(path).error : read.error;
        };
        TemplateCatalog catalog;
        QCOMPARE(user >= 0 ? ::seteuid(uid_t(user)) : 0, 0);
        const QString error = !edge.Ok() && operation != Scan ? edge.error
                              : operation == Image            ? SaveAsGif(kBanner, path).error
                              : operation == Style            ? ReplaceFile(kStyle, path).error
                              : operation == Page             ? writePage()
                              : operation == ReadPageOp       ? readPage()
                              : operation == CustomCode       ? ReadRegularFile(path, 1 << 20).status.error
                              : operation == Template         ? LoadTemplateImage(path).status.error
                              : operation == Remove           ? RemoveAdvert({path}, {}).Failures().value(0).error
                              : operation == Create           ? CreateNewFile(kStyle, path).error
                              : operation == Import           ? ImportTemplate(path).status.error
                                                              : QString::number(catalog.Scan(scene.Path(u"site"_qs)));
        QCOMPARE(user >= 0 ? ::seteuid(0) : 0, 0);
        const char scanned = catalog.Count() != 1 ? '-' : catalog.BitmapAt(0).isNull() ? 'e' : 'r';

        const auto after = Snapshot(scene.dir.path(), operation == ReadPageOp);
        QCOMPARE(operation == Scan ? scanned : error.isEmpty() ? (outcome == 'x' ? 'w' : outcome) : 'x', outcome);
        QVERIFY2(outcome != 'x' || error.contains(reason) || (operation == Create && error.contains(u"already there")),
                 qPrintable(error));
        if (outcome != 'w') {
            QVERIFY2(after == before, "a node changed");
            return;
        }
        // Written: the node, or the file its link leads to, holds the new bytes, the link stays a
        // link, and nothing else changed but the page's image and style sheet.
        QCOMPARE(QFileInfo(path).isSymLink(), written != path);
        const QByteArray bytes = ReadAll(written);
        const QByteArray expected = operation == Style || operation == Create ? kStyle
                                    : operation == Remove                     ? kPage
                                                                              : InjectCode(oldPage, m_code.codeBlock);
        QVERIFY(operation == Image ? QImage::fromData(bytes, "GIF").size() == QSize(40, 40) : bytes == expected);
        QVERIFY(operation != Page || ReadAll(scene.Path(u"site/VornetAdStyle.css"_qs)) == kStyle);
        // A replaced file keeps its permissions, owner and attributes (its access list among them); a
        // new one gets what a plain create gives.
        const QString name = QDir(scene.dir.path()).relativeFilePath(written);
        const QByteArrayList created = {"100644",
                                        QByteArray::number(::geteuid()) + ':' + QByteArray::number(::getegid())};
        QCOMPARE(after.at(name).split(' ').mid(0, before.count(name) ? 3 : 2),
                 before.count(name) ? before.at(name).split(' ').mid(0, 3) : created);
        auto rest = after;
        auto was = before;
        for (const QString& made : {name, u"site/VornetAdMap.gif"_qs, u"site/VornetAdStyle.css"_qs}) {
            QCOMPARE(rest.erase(made), size_t(made == name || operation == Page));
            was.erase(made);
        }
        QVERIFY2(rest == was, "another node changed");
    }

    // A write that fails part-way, on a full disk or at the process's file size limit, for sizes on
    // both sides of the usual 16 KiB buffers: reported with the system's reason, the old file whole,
    // no temporary file left behind. Written in a set after a small file (ReplaceFiles), which is
    // written ready beside its old one first (one page of the full disk is left for it), the small
    // one is not replaced either, and says why. Where not even the new file can be made (no
    // descriptor is left), a file alone says so, and what became of the old one; with one left, a
    // set is written all the same, as one file at a time was. Ended by the limit's signal instead, as
    // a hard kill ends a run, the process leaves no file of its own either. Where the disk fails the
    // page's rename, after the small file's, the small one is put back as it was.
    void failedWrite_leavesOldFileWhole_data() {
        QTest::addColumn<qint64>("size");
        // bits: 1 a full disk (else the size limit), 2 over a file, 4 in a set, 8 no descriptor left,
        // 16 the process ended by the limit's signal, 32 one descriptor left, 64 the second rename fails
        QTest::addColumn<int>("how");
        for (const qint64 size : {qint64(1), qint64(15) << 10, qint64(17) << 10, qint64(1) << 20}) {
            for (const int how : {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 18, 22, 38, 68, 70}) {
                QTest::addRow("%s, %lld bytes, %s%s",
                              how & 64   ? "failed rename"
                              : how & 32 ? "one descriptor left"
                              : how & 16 ? "ended at the size limit"
                              : how & 8  ? "no descriptor left"
                              : how & 1  ? "full disk"
                                         : "size limit",
                              size, how & 2 ? "over a file" : "new file", how & 4 ? ", in a set" : "")
                    << size << how;
            }
        }
    }

    void failedWrite_leavesOldFileWhole() {
        QFETCH(qint64, size);
        QFETCH(int, how);
        const bool fullDisk = how & 1, existing = how & 2, inSet = how & 4, noDescriptor = how & 8, ended = how & 16,
                   oneDescriptor = how & 32, failedRename = how & 64;
        Scene scene;
        const QString folder = scene.Path(u"disk"_qs);
        scene.Make({}, "disk/");
        scene.mount = fullDisk ? QFile::encodeName(folder) : QByteArray();
        if (fullDisk && ::mount("tmpfs", scene.mount.constData(), "tmpfs", 0, "size=256k") != 0) {
            QSKIP("cannot mount a tmpfs here (needs root in a namespace that allows it)");
        }
        scene.Make(u"disk"_qs, existing ? "page.html" : "", "old page");
        scene.Make(u"disk"_qs, "small.gif", "old small");
        if (fullDisk) {
            scene.Make(u"disk"_qs, "spare", QByteArray(4096, 's'));
            QFile filler(folder + u"/filler"_qs);
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
            }
            // Closed first: what the filler still holds would take the page left.
            filler.close();
            QVERIFY(!inSet || QFile::remove(folder + u"/spare"_qs));
        }
        rlimit previous{};
        ::getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit limit{fullDisk || noDescriptor || oneDescriptor || failedRename ? previous.rlim_cur
                                                                                     : rlim_t(size / 2),
                           previous.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        const auto before = Snapshot(folder);
        const QString path = folder + u"/page.html"_qs;
        const QByteArray bytes(size, 'p');
        // Every descriptor below the lowest free one is taken; a limit there leaves none.
        rlimit files{};
        ::getrlimit(RLIMIT_NOFILE, &files);
        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        const rlimit noneLeft{rlim_t(lowestFree), files.rlim_max};
        const rlimit oneLeft{rlim_t(lowestFree + 1), files.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, noDescriptor ? &noneLeft : oneDescriptor ? &oneLeft : &files), 0);
        const auto write = [&] {
            return inSet ? ReplaceFiles({{"s", folder + u"/small.gif"_qs, {}}, {bytes, path, {}}})
                         : QList<FileResult>{ReplaceFile(bytes, path)};
        };
        const int status = ended ? InChild([&] {
            std::signal(SIGXFSZ, SIG_DFL);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            static_cast<void>(write());
        })
                                 : 0;
        QList<FileResult> results;
        if (failedRename && !WithFailingRename(2, [&] { results = write(); })) {
            QSKIP("cannot have the system's calls held for this process here");
        }
        results = ended || failedRename ? results : write();
        ::setrlimit(RLIMIT_NOFILE, &files);
        ::setrlimit(RLIMIT_FSIZE, &previous);
        if (ended) {
            QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
            QVERIFY(Snapshot(folder) == before);
            return;
        }

        QCOMPARE(results.constLast().path, path);
        if (oneDescriptor) {
            QVERIFY(std::all_of(results.begin(), results.end(), [](const FileResult& r) { return r.Ok(); }));
            QVERIFY(ReadAll(path) == bytes && ReadAll(folder + u"/small.gif"_qs) == "s");
            return;
        }
        int causes = 0;
        for (const FileResult& result : results) {
            QVERIFY(!result.Ok());
            const bool cause = result.error.contains(ErrorText(noDescriptor   ? EMFILE
                                                               : fullDisk     ? ENOSPC
                                                               : failedRename ? EIO
                                                                              : EFBIG));
            causes += cause;
            QVERIFY2(cause || result.error.startsWith(QLatin1String(kLeftForAnother)), qPrintable(result.error));
        }
        QCOMPARE(causes, 1);
        const bool smallReady = fullDisk || size > 1;
        QVERIFY(!inSet || !smallReady || results[0].error.endsWith(u"page.html could not be written"_qs));
        QVERIFY2(inSet || results[0].error.endsWith(existing ? u"; the old file is unchanged"_qs
                                                             : u"; nothing was written"_qs),
                 qPrintable(results[0].error));
        QVERIFY(Snapshot(folder) == before);
    }

    // A rewrite made from what was read never lands over a change made meanwhile, such as an
    // editor saving the page in place or as a new file: the change stays, no temporary file is left,
    // and the reason says what happened (a page deleted is not to be made again by a second run). A
    // change to exactly the bytes of the rewrite (another run's, with the same design) loses nothing.
    void rewrite_keepsAChangeMadeMeanwhile_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("reason");
        for (const auto& [change, reason] : {std::pair{"none", ""},
                                             {"edited in place", "was changed while"},
                                             {"edited in the tick of whole-second times", "was changed while"},
                                             {"saved as a new file", "was changed"},
                                             {"saved as what the rewrite holds", ""},
                                             {"made", "was changed"},
                                             {"deleted", "was deleted while it was being rewritten; not made anew"}}) {
            QTest::newRow(change) << QString::fromLatin1(change) << QString::fromLatin1(reason);
        }
    }
    void rewrite_keepsAChangeMadeMeanwhile() {
        QFETCH(QString, change);
        QFETCH(QString, reason);
        Scene scene;
        const QString page = scene.Path(u"page.html"_qs);
        scene.Make({}, change == u"made" ? "" : "page.html", "old");
        FileStamp readAs = StampOf(page);
        if (change.endsWith(u"whole-second times")) {
            // FAT and exFAT keep the times of a save in the same second, and its change time with
            // them: the stamp after the edit is the one read.
            const timespec second[2] = {{0, UTIME_OMIT}, {1000, 0}};
            QVERIFY(WriteAll(page, "new") && ::utimensat(AT_FDCWD, QFile::encodeName(page), second, 0) == 0);
            readAs = StampOf(page);
        } else if (change == u"edited in place") {
            // The same size; the time stamp moved, since an edit this quick might leave it as it was.
            const timespec times[2] = {{0, UTIME_OMIT}, {1, 1}};
            QVERIFY(WriteAll(page, "new") && ::utimensat(AT_FDCWD, QFile::encodeName(page), times, 0) == 0);
        } else if (change.startsWith(u"saved as")) {
            QVERIFY(WriteAll(page + u".new"_qs, change.endsWith(u"holds") ? "ours" : "new") &&
                    ::rename(QFile::encodeName(page + u".new"_qs), QFile::encodeName(page)) == 0);
        } else if (change != u"none") {
            QVERIFY(change == u"made" ? WriteAll(page, "new") : QFile::remove(page));
        }
        const auto before = Snapshot(scene.Path({}));
        const FileResult result = ReplaceFiles({{"ours", page, readAs, std::nullopt, "old"}}).constFirst();
        QCOMPARE(result.Ok(), reason.isEmpty());
        QVERIFY2(reason.isEmpty() || result.error.startsWith(reason), qPrintable(result.error));
        QVERIFY(change == u"none" ? ReadAll(page) == "ours" : Snapshot(scene.Path({})) == before);
    }

    // A signal that ends the process waits while a hold stands (a set half renamed, a file made and
    // not yet named), then ends it as the signal does and removes the temporary files named.
    void signalHold_theEndWaitsForIt() {
        QTemporaryDir dir;
        const QByteArray made = QFile::encodeName(dir.filePath(u".page.html.made"_qs));
        const QByteArray done = QFile::encodeName(dir.filePath(u"done"_qs));
        const int status = InChild([&] {
            StopOnSignals();
            ::raise(SIGTERM);  // asks for a stop between two files
            const SignalHold hold;
            ::close(::open(made.constData(), O_CREAT | O_WRONLY, 0600));
            NoteTemporaryFile(made);
            ::raise(SIGTERM);  // would end the process at once
            ::close(::open(done.constData(), O_CREAT | O_WRONLY, 0600));
        });
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        QVERIFY(QFile::exists(QFile::decodeName(done)));
        QVERIFY(!QFile::exists(QFile::decodeName(made)));
    }

    // A window ends on a signal at once between its runs, as it would have; during a run the signal
    // stops the run between two files, and once it is over the process ends as asked; the Stop
    // button ends nothing, and a signal the process was started to ignore stays ignored.
    void endOnSignalsBetweenRuns() {
        QTemporaryDir dir;
        const QByteArray afterSignal = QFile::encodeName(dir.filePath(u"after"_qs));
        for (const bool inRun : {false, true}) {
            const int status = InChild([&] {
                std::signal(SIGHUP, SIG_IGN);
                EndOnSignalsBetweenRuns();
                RequestStop();
                EndForStopSignal();
                ClearStopRequest();
                {
                    std::optional<RunGoing> run;
                    if (inRun) {
                        run.emplace();
                    }
                    ::raise(SIGHUP);
                    ::raise(SIGTERM);
                    ::close(::open(afterSignal.constData(), O_CREAT | O_WRONLY, 0600));
                }
                EndForStopSignal();
            });
            QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM, qPrintable(QString::number(status)));
            QCOMPARE(QFile::exists(QFile::decodeName(afterSignal)), inRun);
        }
    }

    // A preview that must show its process's files alone gets a folder of its own beside what the
    // command line's previews share, which goes with the process's exit; one a process killed left
    // behind goes when the next is made.
    void processPreviewFolder_goesWithItsProcess() {
        QTemporaryDir dir;
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
        const QString shared = PrivatePreviewFolder().path;
        qputenv("TMPDIR", oldTemp);
        const pid_t killed = ::fork();
        if (killed == 0) {
            ::pause();
            ::_exit(0);
        }
        ::kill(killed, SIGKILL);
        ::waitpid(killed, nullptr, 0);
        const QString left = shared + u'/' + QString::number(killed);
        QVERIFY(QDir().mkpath(left) && WriteAll(left + u"/adPreview.html", "x") &&
                WriteAll(shared + u"/adPreview.html", "the command line's"));
        const QString made = dir.filePath(u"made"_qs);
        // Ended by its exit or by a signal (a logout's), between runs. Its status is not looked at:
        // under the leak checker an exit() ends in a report of the toolkit's own allocations.
        for (const bool bySignal : {false, true}) {
            InChild([&] {
                EndOnSignalsBetweenRuns();
                qputenv("TMPDIR", QFile::encodeName(dir.path()));
                const FileResult own = ProcessPreviewFolder();
                const bool fine = own.path == shared + u'/' + QString::number(::getpid()) &&
                                  WriteAll(own.path + u"/adPreview.html", "y") &&
                                  WriteAll(own.path + u"/.adPreview.gif.part", "z") && !QFileInfo::exists(left);
                static_cast<void>(WriteAll(made, fine ? own.path.toUtf8() : QByteArray()));
                static_cast<void>(bySignal ? ::raise(SIGTERM) : 0);
                std::exit(0);
            });
            const QString own = QString::fromUtf8(ReadAll(made));
            QVERIFY(!own.isEmpty());
            QVERIFY2(!QFileInfo::exists(own), bySignal ? "by a signal" : "by its exit");
        }
        QVERIFY(!QFileInfo::exists(left));
        QCOMPARE(ReadAll(shared + u"/adPreview.html"), QByteArray("the command line's"));

        // A cleaner of old files takes the shared folder meanwhile, and another user puts a link in
        // its place to a folder of the user's site that holds one named as the process: its exit
        // empties none of it.
        const QString site = dir.filePath(u"site"_qs);
        InChild([&] {
            qputenv("TMPDIR", QFile::encodeName(dir.path()));
            const QString pid = QString::number(::getpid());
            const bool fine = ProcessPreviewFolder().Ok() && QDir(shared).removeRecursively() &&
                              QDir().mkpath(site + u'/' + pid) &&
                              WriteAll(site + u'/' + pid + u"/index.html", pid.toUtf8()) && QFile::link(site, shared);
            static_cast<void>(WriteAll(made, fine ? pid.toUtf8() : QByteArray()));
            std::exit(0);
        });
        const QByteArray pid = ReadAll(made);
        QVERIFY(!pid.isEmpty());
        QCOMPARE(ReadAll(site + u'/' + QString::fromUtf8(pid) + u"/index.html"), pid);
    }

    // Under a umask that takes the owner's own bits, every folder the program makes or finds of its
    // own is one the user may use: the preview's, made now or by such a run before (which broke
    // every later preview), and those on the way to a template saved, ~/.local among them.
    void foldersMade_theOwnerMayUse() {
        for (const mode_t mask : {mode_t(0177), mode_t(0777)}) {
            QTemporaryDir dir;
            const QByteArray left = QFile::encodeName(dir.path()) + "/vornetad-" + QByteArray::number(::geteuid());
            QCOMPARE(::mkdir(left.constData(), 0), 0);
            const QString made = dir.filePath(u"made"_qs);
            InChild([&] {
                ::umask(mask);
                qputenv("TMPDIR", QFile::encodeName(dir.path()));
                const FileResult own = ProcessPreviewFolder();
                const FileResult folders = MakeFolders(dir.filePath(u"home/.local/share/vornetad"_qs));
                static_cast<void>(WriteAll(made, (own.error + folders.error).toUtf8()));
                std::exit(0);
            });
            QCOMPARE(ReadAll(made), QByteArray());
            for (const QString& path :
                 {QFile::decodeName(left), dir.filePath(u"home"_qs), dir.filePath(u"home/.local/share/vornetad"_qs)}) {
                struct stat info {};
                QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
                QVERIFY2((info.st_mode & S_IRWXU) == S_IRWXU, qPrintable(path));
            }
        }
    }

    // A window's toolkit ends the process with exit() when its display goes, while a run writes on
    // its own thread: the file in progress is let finish before exit() goes on, and no temporary
    // file is left.
    void exitDuringRun_letsTheFileFinish() {
        QTemporaryDir dir;
        const QByteArray made = QFile::encodeName(dir.filePath(u".page.html.made"_qs));
        const QByteArray page = QFile::encodeName(dir.filePath(u"page.html"_qs));
        InChild([&] {
            EndOnSignalsBetweenRuns();
            std::atomic<bool> writing = false;
            std::thread([&] {
                const RunGoing run;
                ::close(::open(made.constData(), O_CREAT | O_WRONLY, 0600));
                NoteTemporaryFile(made);
                writing = true;
                while (!StopRequested()) {
                    ::usleep(1000);
                }
                ::usleep(100'000);
                ::rename(made.constData(), page.constData());
                ForgetTemporaryFile();
            }).detach();
            while (!writing) {
                ::usleep(1000);
            }
            EndRunsBeforeExit();
            std::exit(0);
        });
        QVERIFY(QFile::exists(QFile::decodeName(page)));
        QVERIFY(!QFile::exists(QFile::decodeName(made)));
    }

    // The user's data and settings folders follow the XDG variables, except a relative one, which
    // would make them depend on the folder the program was started from.
    void userFolders_passOverARelativeVariable() {
        const QByteArray home = qgetenv("HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", home);
            qunsetenv("XDG_DATA_HOME");
            qunsetenv("XDG_CONFIG_HOME");
        });
        // A relative home is passed over too, and then the user has no folder of their own; so is an
        // unset or empty one, which Qt takes for the root, and the root itself (a container's user),
        // however it is spelt.
        for (const QByteArray& own : {QByteArray("/h"), QByteArray("rel-home"), QByteArray(), QByteArray("/"),
                                      QByteArray("/.."), QByteArray("unset")}) {
            if (own == "unset") {
                qunsetenv("HOME");
            } else {
                qputenv("HOME", own);
            }
            for (const QByteArray& set : {QByteArray("/x"), QByteArray("rel")}) {
                qputenv("XDG_DATA_HOME", set + "/data");
                qputenv("XDG_CONFIG_HOME", set + "/config");
                const bool absolute = set.startsWith('/');
                const bool none = !absolute && own != "/h";
                QCOMPARE(UserDataFolder(), none ? QString() : absolute ? u"/x/data"_qs : u"/h/.local/share"_qs);
                // Whatever the program's file is called.
                QCOMPARE(AppConfigFolder(), none       ? QString()
                                            : absolute ? u"/x/config/vornetad"_qs
                                                       : u"/h/.config/vornetad"_qs);
            }
        }
    }

    // Reads stop at their cap, on both sides of it, for a cap of 1 KiB and one of the usual 16 KiB
    // buffers: a file up to the cap is read whole, a larger one is refused with the cap in the reason.
    void read_isCapped() {
        Scene scene;
        for (const int kib : {1, 16}) {
            const qint64 cap = qint64(kib) << 10;
            for (const qint64 size : {qint64(0), cap, cap + 1, qint64(1) << 20}) {
                const QString path = scene.Path(u"%1-%2"_qs.arg(kib).arg(size));
                QVERIFY(WriteAll(path, QByteArray(size, 'r')));
                const FileBytes read = ReadRegularFile(path, cap);
                QCOMPARE(read.bytes.size(), size <= cap ? size : 0);
                QVERIFY2(size <= cap ? read.status.Ok() : read.status.error.endsWith(u"larger than %1 KiB"_qs.arg(kib)),
                         qPrintable(read.status.error));
            }
        }
    }

    // sites.tsv: which nodes of a site's tree are its pages, in which order, and which are reported.
    // Columns: the nodes, the name patterns, the pages, how many reported, the patterns passed over.
    void siteWalk_data() { AddTsvRows(QFINDTESTDATA("sites.tsv")); }

    void siteWalk() {
        QFETCH(QByteArrayList, row);
        Scene scene;
        scene.Make(u"site"_qs, row[0]);
        const QDir site(scene.Path(u"site"_qs));
        const QString match = row[1].isEmpty() ? QLatin1String(PagePatterns::kDefault) : QString::fromUtf8(row[1]);
        // Permissions do not stop the superuser, so a walk past them goes as another user.
        const bool asOther = ::geteuid() == 0 && row[0].contains("/:");
        QCOMPARE(asOther ? ::chmod(QFile::encodeName(scene.Path({})).constData(), 0755) : 0, 0);
        QCOMPARE(asOther ? ::seteuid(65534) : 0, 0);
        const PagePatterns excluded = PagePatterns::Parse(QString::fromUtf8(row.value(4)));
        SitePages walked = WalkSite(site.path(), PagePatterns::Parse(match), SiteKinds::Pages, excluded);
        // A removal takes the files passed over for their kind too.
        const SitePages any = WalkSite(site.path(), PagePatterns::Parse(match), SiteKinds::AnyMatching, excluded);
        QCOMPARE(asOther ? ::seteuid(0) : 0, 0);
        QCOMPARE(any.pages.size() + any.problems.size(),
                 walked.pages.size() + walked.passedOver + walked.problems.size());
        QVERIFY2(walked.status.Ok(), qPrintable(walked.status.error));
        QCOMPARE(walked.pages.replaceInStrings(site.path() + u'/', QString()).join(u' '), QString::fromUtf8(row[2]));
        QCOMPARE(walked.problems.size(), row[3].toInt());
        QVERIFY(!walked.excludedBy.contains(false));
        QVERIFY(std::all_of(walked.problems.begin(), walked.problems.end(),
                            [](const FileResult& problem) { return problem.error.endsWith(u"; skipped"); }));
        QVERIFY(std::is_sorted(walked.problems.begin(), walked.problems.end(),
                               [](const FileResult& a, const FileResult& b) { return a.path < b.path; }));
    }

    // A generator's source is known by its configuration beside a folder of layouts, and only so: a
    // folder with the configuration alone (a hosted theme's pages) is a folder of pages.
    void generatorSource_data() {
        QTest::addColumn<QByteArray>("nodes");
        QTest::addColumn<QString>("found");
        QTest::newRow("Jekyll") << QByteArray("_config.yml _layouts/ index.html") << u"_config.yml and _layouts/"_qs;
        QTest::newRow("Hugo") << QByteArray("hugo.toml layouts/ content/a.md") << u"hugo.toml and layouts/"_qs;
        QTest::newRow("Eleventy") << QByteArray(".eleventy.js _includes/") << u".eleventy.js and _includes/"_qs;
        QTest::newRow("configuration alone") << QByteArray("_config.yml index.html") << QString();
        QTest::newRow("names taken by folders and files") << QByteArray("_config.yml/ _layouts") << QString();
    }

    void generatorSource() {
        QFETCH(QByteArray, nodes);
        QFETCH(QString, found);
        Scene scene;
        scene.Make(u"site"_qs, nodes);
        QCOMPARE(GeneratorSourceOf(scene.Path(u"site"_qs)), found);
    }

private:
    BuiltCode m_code;
};

QTEST_GUILESS_MAIN(tst_Files)
#include "tst_Files.moc"
