// Users' files under every kind of node and every way a write can fail: each operation that reads
// or writes a user's file either does its whole job or refuses with the reason and leaves every
// node exactly as it was. Nothing may block: a test that hangs here is a failure.
#include "CodeTexts.h"
#include "GifWriter.h"
#include "OutputRuns.h"
#include "PageInjection.h"
#include "TemplateCatalog.h"
#include "TemplateImage.h"
#include "TestFiles.h"
#include "UserTemplates.h"
#include "files/FileNames.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "files/SiteWalk.h"
#include "files/SystemErrors.h"

#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <dirent.h>
#include <functional>
#include <map>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QByteArray kPage = "<html><body>mine</body></html>\n";
const QByteArray kStyle = "a { color: red }\n";

QByteArray Name(const QString& path) {
    return QFile::encodeName(path);
}

// Every node under `root` by its name on disk, without following links or opening anything but
// regular files: type, permissions, owner, and the content or the link's target.
std::map<QByteArray, QByteArray> Nodes(const QByteArray& root, const QByteArray& prefix = {}) {
    std::map<QByteArray, QByteArray> nodes;
    DIR* dir = ::opendir(root.constData());
    if (dir == nullptr) {
        return nodes;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        const QByteArray path = root + '/' + name;
        struct stat info {};
        ::lstat(path.constData(), &info);
        QByteArray& node = nodes[prefix + name];
        node = QByteArray::number(info.st_mode, 8) + ' ' + QByteArray::number(info.st_uid) + ':' +
               QByteArray::number(info.st_gid) + ' ';
        if (S_ISLNK(info.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink(path.constData(), target, sizeof target);
            node += QByteArray(target, std::max<ssize_t>(n, 0));
        } else if (S_ISREG(info.st_mode)) {
            node += ReadAll(QFile::decodeName(path));
        } else if (S_ISDIR(info.st_mode)) {
            nodes.merge(Nodes(path, prefix + name + '/'));
        }
    }
    ::closedir(dir);
    return nodes;
}

// A mount taken down when the case ends.
struct Mount {
    QByteArray target;
    ~Mount() {
        if (!target.isEmpty()) {
            ::umount2(target.constData(), MNT_DETACH);
        }
    }
};

// One case's folder: the node under test is "node.gif" in "site/".
struct Scene {
    QTemporaryDir dir;
    QString skip;
    Mount mount;
    QByteArray rawFile;  // a file whose name Qt cannot carry, so cannot remove either

    Scene() = default;
    ~Scene() {
        if (!rawFile.isEmpty()) {
            ::unlink(rawFile.constData());
        }
    }
    Q_DISABLE_COPY_MOVE(Scene)

    QString Path(const char* relative) const { return dir.filePath(QLatin1String(relative)); }
    QByteArray Raw(const char* relative) const { return Name(Path(relative)); }
};

using Setup = std::function<void(Scene&, const QByteArray& content)>;

void MakeFile(const QString& path, const QByteArray& content, mode_t mode = 0644) {
    QVERIFY(WriteAll(path, content));
    QCOMPARE(::chmod(Name(path).constData(), mode), 0);
}

void Link(const char* target, const QString& at) {
    QCOMPARE(::symlink(target, Name(at).constData()), 0);
}

struct Kind {
    const char* name;
    Setup setup;
    // One mark per operation (image, style, page, read page, custom code, template, scan, remove,
    // new file, added template): 'w' written, 'r' read, 'x' refused, 'e' scanned as an entry
    // without image, '-' not scanned.
    const char* outcome;
    const char* reason;  // in every refusal, but a new file's for a name that is taken
};

QList<Kind> Kinds() {
    const auto file = [](Scene& s, const QByteArray& content) {
        MakeFile(s.Path("site/node.gif"), content);
    };
    return {
        {"regular file", file, "wwwrrrrwxr", ""},
        {"link to a regular file",
         [](Scene& s, const QByteArray& content) {
             MakeFile(s.Path("real/file.gif"), content);
             Link("../real/file.gif", s.Path("site/node.gif"));
         },
         "wwwrrrrwxr", ""},
        {"link to nothing, in a folder that exists",
         [](Scene& s, const QByteArray&) { Link("../real/new.gif", s.Path("site/node.gif")); }, "wwwrxxexxx",
         "does not exist"},
        {"link into a folder that does not exist",
         [](Scene& s, const QByteArray&) { Link("../missing/new.gif", s.Path("site/node.gif")); }, "xxxxxxexxx",
         "does not exist"},
        {"loop of links",
         [](Scene& s, const QByteArray&) {
             Link("other", s.Path("site/node.gif"));
             Link("node.gif", s.Path("site/other"));
         },
         "xxxxxxexxx", "loop of symbolic links"},
        {"link to a FIFO",
         [](Scene& s, const QByteArray&) {
             QCOMPARE(::mkfifo(s.Raw("real/fifo").constData(), 0644), 0);
             Link("../real/fifo", s.Path("site/node.gif"));
         },
         "xxxxxxexxx", "named pipe (FIFO)"},
        {"FIFO", [](Scene& s, const QByteArray&) { QCOMPARE(::mkfifo(s.Raw("site/node.gif").constData(), 0644), 0); },
         "xxxxxxexxx", "named pipe (FIFO)"},
        {"socket",
         [](Scene& s, const QByteArray&) {
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             const QByteArray path = s.Raw("site/node.gif");
             QVERIFY(size_t(path.size()) < sizeof address.sun_path);
             std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
             const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
             ::close(fd);
         },
         "xxxxxxexxx", "socket"},
        {"character device",
         [](Scene& s, const QByteArray&) {
             if (::mknod(s.Raw("site/node.gif").constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
                 s.skip = QStringLiteral("cannot make a device node here (needs root)");
             }
         },
         "xxxxxxexxx", "character device"},
        {"link to a device", [](Scene& s, const QByteArray&) { Link("/dev/null", s.Path("site/node.gif")); },
         "xxxxxxexxx", "character device"},
        {"folder", [](Scene& s, const QByteArray&) { QVERIFY(QDir().mkpath(s.Path("site/node.gif"))); }, "xxxxxxexxx",
         "folder"},
        {"file without read permission",
         [](Scene& s, const QByteArray& content) {
             MakeFile(s.Path("site/node.gif"), content, 0200);
             if (::geteuid() == 0) {
                 s.skip = QStringLiteral("permissions do not stop the superuser");
             }
         },
         "wwxxxxexxx", "Permission denied"},
        {"write-protected file",
         [](Scene& s, const QByteArray& content) {
             MakeFile(s.Path("site/node.gif"), content, 0444);
             if (::geteuid() != 0) {
                 return;
             }
             // Permission bits do not stop the superuser; a read-only bind mount does.
             const QByteArray path = s.Raw("site/node.gif");
             if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0) {
                 s.skip = QStringLiteral("bind mounts are not permitted here");
                 return;
             }
             s.mount.target = path;
             if (::mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
                 s.skip = QStringLiteral("cannot remount read-only here");
             }
         },
         "xxxxrrrxxr", "cannot write"},
        {"nothing there", [](Scene&, const QByteArray&) {}, "wwwrxx-xwx", "does not exist"},
        {"folder that does not exist",
         [](Scene& s, const QByteArray&) { QVERIFY(QDir(s.Path("site")).removeRecursively()); }, "xxxxxx-xxx",
         "does not exist"},
        // Qt's text for this name is "node\uFFFD.gif": a different name, which must never be written.
        {"name that is not valid text",
         [](Scene& s, const QByteArray& content) {
             const QByteArray raw = s.Raw("site") + "/node\xff.gif";
             s.rawFile = raw;
             FILE* out = std::fopen(raw.constData(), "wb");
             QVERIFY(out != nullptr);
             std::fwrite(content.constData(), 1, size_t(content.size()), out);
             std::fclose(out);
         },
         "xxxxxx-xxx", "not valid text"},
    };
}

enum Operation { Image, Style, Page, ReadPageOp, CustomCode, Template, Scan, Remove, Create, Import, OperationCount };
const char* const kOperationNames[] = {"replace image",    "replace style sheet", "write page",     "read page",
                                       "read custom code", "load template",       "scan templates", "remove advert",
                                       "create new file",  "add template"};

QImage SomeBanner() {
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(qRgb(200, 30, 30));
    return image;
}

QByteArray SomeGif() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.gif"));
    return SaveAsGif(SomeBanner(), path).ok() ? ReadAll(path) : QByteArray();
}

}  // namespace

Q_DECLARE_METATYPE(Setup)

class tst_Files : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A write beyond the file size limit fails with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        m_texts.LoadTextResources();
        m_texts.codeBlock = "<!--VornetAdBegin-->block<!--VornetAdEnd-->";
        m_texts.styleSheet = kStyle;
    }

    void nodeKinds_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("operation");
        QTest::addColumn<char>("outcome");
        QTest::addColumn<QString>("reason");
        for (const Kind& kind : Kinds()) {
            for (int op = 0; op < OperationCount; ++op) {
                QTest::addRow("%s: %s", kind.name, kOperationNames[op])
                    << kind.setup << op << kind.outcome[op] << QString::fromUtf8(kind.reason);
            }
        }
    }

    void nodeKinds() {
        QFETCH(Setup, setup);
        QFETCH(int, operation);
        QFETCH(char, outcome);
        QFETCH(QString, reason);
        Scene scene;
        QVERIFY(QDir().mkpath(scene.Path("site")) && QDir().mkpath(scene.Path("real")));
        const QByteArray content = operation == Template || operation == Scan || operation == Import ? SomeGif()
                                   : operation == Remove ? InjectCode(kPage, m_texts.codeBlock)
                                                         : kPage;
        setup(scene, content);
        if (!scene.skip.isEmpty()) {
            QSKIP(qPrintable(scene.skip));
        }
        const QByteArray root = Name(scene.dir.path());
        const auto before = Nodes(root);
        // What a caller gets for the name: for bytes that are not valid text, Qt's altered text,
        // which the edges (the command line, the file dialogs) check before anything else.
        const QString path = before.count("site/node\xff.gif") ? QFile::decodeName(root + "/site/node\xff.gif")
                                                               : scene.Path("site/node.gif");
        const FileResult edge = CheckRepresentable(path);
        // What a write goes to: the node, or the file its link leads to; and what a page starts as.
        QString written = path;
        if (const QFileInfo info(path); info.isSymLink()) {
            written = QDir::cleanPath(QDir(scene.Path("site")).absoluteFilePath(info.symLinkTarget()));
        }
        const QByteArray oldPage = QFileInfo(written).isFile() ? content : m_texts.samplePage;

        QString error;
        bool entryWithoutImage = false;
        bool scanned = false;
        if (!edge.ok() && operation != Scan) {
            error = edge.error;
        } else if (operation == Image) {
            error = SaveAsGif(SomeBanner(), path).error;
        } else if (operation == Style) {
            error = ReplaceFile(kStyle, path).error;
        } else if (operation == Page) {
            const BannerGif gif(SomeBanner());
            const QList<FileResult> results = WritePage(m_texts, {{&gif, scene.Path("site/VornetAdMap.gif")}},
                                                        scene.Path("site/VornetAdStyle.css"), path, false);
            for (const FileResult& result : results) {
                error += result.error;
            }
        } else if (operation == ReadPageOp) {
            error = ReadPage(path).error;
        } else if (operation == CustomCode) {
            error = ReadRegularFile(path, 1 << 20).status.error;
        } else if (operation == Template) {
            error = LoadTemplateImage(path).status.error;
        } else if (operation == Remove) {
            error = RemoveAdvert({path}, {}).Failures().value(0).error;
        } else if (operation == Create) {
            error = CreateNewFile(kStyle, path).error;
        } else if (operation == Import) {
            error = ImportTemplate(path).status.error;
        } else {
            TemplateCatalog catalog;
            catalog.Scan(scene.Path("site"));
            scanned = catalog.Count() == 1;
            entryWithoutImage = scanned && catalog.BitmapAt(0).isNull();
        }

        const auto after = Nodes(root);
        if (operation == Scan) {
            QCOMPARE(scanned, outcome != '-');
            QCOMPARE(entryWithoutImage, outcome == 'e');
        } else if (outcome == 'x') {
            QVERIFY2(!error.isEmpty(), "not refused");
            QVERIFY2(error.contains(reason) || (operation == Create && error.contains(u"already there")),
                     qPrintable(error));
        } else {
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
        if (outcome != 'w') {
            QVERIFY2(after == before, "a node changed");
            return;
        }
        // Written: the node, or the file its link leads to, holds the new bytes, the link stays a
        // link, and nothing else changed but the page's image and style sheet.
        QCOMPARE(QFileInfo(path).isSymLink(), written != path);
        const QByteArray bytes = ReadAll(written);
        if (operation == Image) {
            QCOMPARE(QImage::fromData(bytes, "GIF").size(), QSize(40, 40));
        } else if (operation == Style || operation == Create) {
            QCOMPARE(bytes, kStyle);
        } else if (operation == Remove) {
            QCOMPARE(bytes, kPage);
        } else {
            QCOMPARE(bytes, InjectCode(oldPage, m_texts.codeBlock));
            QCOMPARE(ReadAll(scene.Path("site/VornetAdStyle.css")), kStyle);
        }
        std::map<QByteArray, QByteArray> changed;
        for (const auto& [name, node] : after) {
            if (!before.count(name) || before.at(name) != node) {
                changed[name] = node;
            }
        }
        for (const auto& [name, node] : before) {
            QVERIFY2(after.count(name), qPrintable(QString::fromUtf8(name + " went")));
        }
        QStringList expected = {QDir(scene.dir.path()).relativeFilePath(written)};
        if (operation == Page) {
            expected << QStringLiteral("site/VornetAdMap.gif") << QStringLiteral("site/VornetAdStyle.css");
        }
        QStringList names;
        for (const auto& [name, node] : changed) {
            names.append(QString::fromUtf8(name));
        }
        expected.sort();
        QCOMPARE(names, expected);
    }

    // A write that fails part-way, on a full disk or at the process's file size limit, for sizes on
    // both sides of the usual 16 KiB buffers: reported with the system's reason, the old file whole,
    // no temporary file left behind.
    void failedWrite_leavesOldFileWhole_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QString>("reason");
        for (const qint64 size : {qint64(1), qint64(15) << 10, qint64(17) << 10, qint64(1) << 20}) {
            for (const bool existing : {false, true}) {
                const char* what = existing ? "over a file" : "new file";
                QTest::addRow("full disk, %lld bytes, %s", size, what) << size << true << existing << ErrorText(ENOSPC);
                QTest::addRow("size limit, %lld bytes, %s", size, what)
                    << size << false << existing << ErrorText(EFBIG);
            }
        }
    }

    void failedWrite_leavesOldFileWhole() {
        QFETCH(qint64, size);
        QFETCH(bool, fullDisk);
        QFETCH(bool, existing);
        QFETCH(QString, reason);
        Scene scene;
        const QString folder = scene.Path("disk");
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/page.html");
        if (fullDisk) {
            const QByteArray target = Name(folder);
            if (::mount("tmpfs", target.constData(), "tmpfs", 0, "size=256k") != 0) {
                QSKIP("cannot mount a tmpfs here (needs root in a namespace that allows it)");
            }
            scene.mount.target = target;
        }
        if (existing) {
            MakeFile(path, "old page");
        }
        if (fullDisk) {
            QFile filler(folder + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        rlimit previous{};
        ::getrlimit(RLIMIT_FSIZE, &previous);
        if (!fullDisk) {
            const rlimit limit{rlim_t(size / 2), previous.rlim_max};
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        }
        const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        const FileResult result = ReplaceFile(QByteArray(size, 'p'), path);
        ::setrlimit(RLIMIT_FSIZE, &previous);

        QVERIFY(!result.ok());
        QCOMPARE(result.path, path);
        QVERIFY2(result.error.contains(reason), qPrintable(result.error));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        QCOMPARE(QFileInfo::exists(path), existing);
        if (existing) {
            QCOMPARE(ReadAll(path), QByteArray("old page"));
        }
    }

    // A replaced file keeps its permission bits and, as far as the process may set them, its owner
    // and group; a new file gets what a plain create gives.
    void replace_keepsOwnerGroupAndMode_data() {
        QTest::addColumn<int>("mode");  // -1: no file before
        QTest::newRow("web server's group may read") << 0640;
        QTest::newRow("read-only for others") << 0604;
        QTest::newRow("executable") << 0750;
        QTest::newRow("new file") << -1;
    }

    void replace_keepsOwnerGroupAndMode() {
        QFETCH(int, mode);
        Scene scene;
        const QString path = scene.Path("page.html");
        uid_t owner = ::geteuid();
        gid_t group = ::getegid();
        if (mode >= 0) {
            MakeFile(path, "old", mode_t(mode));
            // Only the superuser can hand a file to someone else.
            if (::geteuid() == 0) {
                owner = 65534;
                group = 65534;
                QCOMPARE(::chown(Name(path).constData(), owner, group), 0);
                QCOMPARE(::chmod(Name(path).constData(), mode_t(mode)), 0);
            }
        }
        const mode_t mask = ::umask(022);
        const FileResult result = ReplaceFile("new", path);
        ::umask(mask);
        QVERIFY2(result.ok(), qPrintable(result.error));
        struct stat info {};
        QCOMPARE(::stat(Name(path).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), mode >= 0 ? mode : 0644);
        QCOMPARE(info.st_uid, owner);
        QCOMPARE(info.st_gid, group);
        QCOMPARE(ReadAll(path), QByteArray("new"));
    }

    // Reads stop at the cap, on both sides of it, whatever the file claims.
    void read_isCapped_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << 0;
        QTest::newRow("at the cap") << 1024;
        QTest::newRow("one byte over") << 1025;
    }

    void read_isCapped() {
        QFETCH(int, size);
        Scene scene;
        const QString path = scene.Path("f");
        MakeFile(path, QByteArray(size, 'c'));
        const FileBytes read = ReadRegularFile(path, 1024);
        const bool taken = size <= 1024;
        QCOMPARE(read.status.ok(), taken);
        QCOMPARE(read.bytes.size(), taken ? size : 0);
        QVERIFY2(taken || read.status.error.contains(QStringLiteral("larger than 1 KiB")),
                 qPrintable(read.status.error));
    }

    // The pages of a site's tree, made of entries by their names on disk: "a/b" a file (and its
    // folders), "a/" a folder, "a>t" a link to t, "a|" a FIFO. Pages are listed relative to the tree.
    void siteWalk_data() {
        QTest::addColumn<QByteArrayList>("tree");
        QTest::addColumn<QString>("match");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<int>("reported");
        const QString html = QLatin1String(PagePatterns::kDefault);
        QTest::newRow("any letter case; folder by folder, in byte order")
            << QByteArrayList{"b.HTM", "a/z.html", "A.Html", "a.txt", "a/b/c.html", "a-b/x.htm", "a/y.htm"} << html
            << QStringList{u"A.Html"_qs, u"b.HTM"_qs, u"a-b/x.htm"_qs, u"a/y.htm"_qs, u"a/z.html"_qs, u"a/b/c.html"_qs}
            << 0;
        QTest::newRow("hidden folders and files") << QByteArrayList{".git/a.html", ".b.html", "c/.d/e.html", "c/f.html"}
                                                  << html << QStringList{u"c/f.html"_qs} << 0;
        QTest::newRow("linked folders, one a loop")
            << QByteArrayList{"s/p.html", "s/up>..", "t>s", "u>/"} << html << QStringList{u"s/p.html"_qs} << 0;
        QTest::newRow("linked page; FIFO, folder and dangling link named like pages")
            << QByteArrayList{"real.txt", "l.html>real.txt", "x.html|", "d.html/", "gone.html>none"} << html
            << QStringList{u"l.html"_qs} << 0;
        QTest::newRow("names that are not valid text")
            << QByteArrayList{"caf\xe9.html", "\xff/p.html", "ok.html", "\xfe.txt"} << html
            << QStringList{u"ok.html"_qs} << 2;
        QTest::newRow("patterns") << QByteArrayList{"a.php", "index.txt", "b.html", "x/INDEX.PHP"}
                                  << u"*.PHP,index.*"_qs << QStringList{u"a.php"_qs, u"index.txt"_qs, u"x/INDEX.PHP"_qs}
                                  << 0;
    }

    void siteWalk() {
        QFETCH(QByteArrayList, tree);
        QFETCH(QString, match);
        QFETCH(QStringList, pages);
        QFETCH(int, reported);
        Scene scene;
        // Names Qt cannot carry are beyond QTemporaryDir's clean-up.
        const auto cleanUp = qScopeGuard([&scene] { QProcess::execute(u"rm"_qs, {u"-rf"_qs, scene.Path("site")}); });
        const QByteArray root = scene.Raw("site") + '/';
        for (QByteArray entry : tree) {
            entry = root + entry;
            const qsizetype link = entry.indexOf('>');
            const QByteArray path = link < 0 ? entry.chopped(entry.endsWith('|') ? 1 : 0) : entry.left(link);
            for (qsizetype at = root.size() - 1; at >= 0; at = path.indexOf('/', at + 1)) {
                ::mkdir(path.left(at).constData(), 0755);
            }
            if (link >= 0) {
                QCOMPARE(::symlink(entry.mid(link + 1).constData(), path.constData()), 0);
            } else if (entry.endsWith('|')) {
                QCOMPARE(::mkfifo(path.constData(), 0644), 0);
            } else if (!entry.endsWith('/')) {
                FILE* out = std::fopen(path.constData(), "wb");
                QVERIFY(out != nullptr);
                std::fclose(out);
            }
        }
        const SitePages site = WalkSite(scene.Path("site"), PagePatterns::Parse(match));
        QVERIFY2(site.status.ok(), qPrintable(site.status.error));
        QStringList found;
        for (const QString& page : site.pages) {
            found.append(QDir(scene.Path("site")).relativeFilePath(page));
        }
        QCOMPARE(found, pages);
        QCOMPARE(site.problems.size(), reported);
        for (const FileResult& problem : site.problems) {
            QVERIFY2(problem.error.contains(u"not valid text"), qPrintable(problem.error));
        }
    }

private:
    CodeTexts m_texts;
};

QTEST_GUILESS_MAIN(tst_Files)
#include "tst_Files.moc"
