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
#include "TestGif.h"
#include "UserTemplates.h"
#include "files/FileNames.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "files/SiteWalk.h"
#include "files/SystemErrors.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <ftw.h>
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
        const auto remove = [](const char* path, const struct stat*, int, FTW*) {
            return ::remove(path);
        };
        ::nftw(QFile::encodeName(dir.path()).constData(), remove, 16, FTW_DEPTH | FTW_PHYS);
    }
    Q_DISABLE_COPY_MOVE(Scene)

    QString Path(const QString& relative) const { return dir.filePath(relative); }

    // Makes the nodes that `words` name under the folder `under`, with the folders above each:
    // "a/b" a file holding `content`, "a/b:444" one with these permissions, "a/" a folder, "a>t" a
    // link to t, "a|" a FIFO, "a=" a socket, "a#" a character device. A word is percent-encoded
    // bytes ("%FF"). Run by the superuser, a file with permissions given belongs to another user
    // (only the superuser can hand a file over); permissions do not stop the superuser, so a file it
    // could not read skips the case, and one it could not write is made read-only by a bind mount.
    void Make(const QString& under, const QByteArray& words, const QByteArray& content = {}) {
        const QByteArray root = QFile::encodeName(Path(under));
        for (const QByteArray& word : words.split(' ')) {
            QByteArray name = root + '/' + QByteArray::fromPercentEncoding(word);
            QByteArray target;
            mode_t mode = 0;  // none given
            char kind = word.isEmpty() ? ' ' : word.back();
            if (const qsizetype at = name.indexOf('>', root.size()); at >= 0) {
                target = name.mid(at + 1);
                kind = '>';
                name.truncate(at);
            } else if (const qsizetype colon = name.indexOf(':', root.size()); colon >= 0) {
                mode = mode_t(name.mid(colon + 1).toUInt(nullptr, 8));
                name.truncate(colon);
            } else if (QByteArrayView("/|=#").contains(kind)) {
                name.chop(1);
            }
            for (qsizetype at = name.indexOf('/', root.size()); at >= 0; at = name.indexOf('/', at + 1)) {
                ::mkdir(name.left(at).constData(), 0755);
            }
            if (kind == ' ') {
                continue;
            } else if (kind == '/') {
                QCOMPARE(::mkdir(name.constData(), 0755), 0);
            } else if (kind == '>') {
                QCOMPARE(::symlink(target.constData(), name.constData()), 0);
            } else if (kind == '|') {
                QCOMPARE(::mkfifo(name.constData(), 0644), 0);
            } else if (kind == '=') {
                sockaddr_un address{};
                address.sun_family = AF_UNIX;
                QVERIFY(size_t(name.size()) < sizeof address.sun_path);
                std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
                const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
                ::close(fd);
            } else if (kind == '#' && ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
                skip = QStringLiteral("cannot make a device node here (needs root)");
            } else if (kind != '#') {
                FILE* out = std::fopen(name.constData(), "wb");
                QVERIFY(out != nullptr);
                std::fwrite(content.constData(), 1, size_t(content.size()), out);
                std::fclose(out);
                if (mode != 0 && ::geteuid() == 0) {
                    QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
                }
                mode = mode != 0 ? mode : 0644;
                QCOMPARE(::chmod(name.constData(), mode), 0);
                if (::geteuid() == 0 && !(mode & S_IRUSR)) {
                    skip = QStringLiteral("permissions do not stop the superuser");
                } else if (::geteuid() == 0 && !(mode & S_IWUSR)) {
                    mount = name;
                    if (::mount(name.constData(), name.constData(), nullptr, MS_BIND, nullptr) != 0 ||
                        ::mount(nullptr, name.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
                        skip = QStringLiteral("cannot make a read-only bind mount here");
                    }
                }
            }
        }
    }
};

enum Operation { Image, Style, Page, ReadPageOp, CustomCode, Template, Scan, Remove, Create, Import, OperationCount };
const char* const kOperationNames[] = {"replace image",    "replace style sheet", "write page",     "read page",
                                       "read custom code", "load template",       "scan templates", "remove advert",
                                       "create new file",  "add template"};

QImage SomeBanner() {
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(qRgb(200, 30, 30));
    return image;
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
        QVERIFY(m_texts.LoadTextResources().Ok());
        m_texts.codeBlock = "<!--VornetAdBegin-->block<!--VornetAdEnd-->";
        m_texts.styleSheet = kStyle;
    }

    // nodes.tsv: every kind of node against every operation.
    void nodeKinds_data() {
        QTest::addColumn<QByteArray>("tree");
        QTest::addColumn<int>("operation");
        QTest::addColumn<char>("outcome");
        QTest::addColumn<QString>("reason");
        for (const QByteArrayList& kind : DataRows(QFINDTESTDATA("nodes.tsv"))) {
            for (int op = 0; op < OperationCount; ++op) {
                QTest::addRow("%s: %s", kind[0].constData(), kOperationNames[op])
                    << kind[1] << op << kind[2].at(op) << QString::fromUtf8(kind.value(3));
            }
        }
    }

    void nodeKinds() {
        QFETCH(QByteArray, tree);
        QFETCH(int, operation);
        QFETCH(char, outcome);
        QFETCH(QString, reason);
        Scene scene;
        const QByteArray content = operation == Template || operation == Scan || operation == Import
                                       ? EncodeTestGif(SomeBanner())
                                   : operation == Remove ? InjectCode(kPage, m_texts.codeBlock)
                                                         : kPage;
        scene.Make({}, tree, content);
        if (!scene.skip.isEmpty()) {
            QSKIP(qPrintable(scene.skip));
        }
        const auto before = Snapshot(scene.dir.path());
        // What a caller gets for the name: for bytes that are not valid text, Qt's altered text,
        // which the edges (the command line, the file dialogs) check before anything else.
        const QString path =
            scene.Path(QFile::decodeName(tree.contains("%FF") ? "site/node\xff.gif" : "site/node.gif"));
        const FileResult edge = CheckRepresentable(path);
        // What a write goes to: the node, or the file its link leads to; and what a page starts as.
        const QString written = QFileInfo(path).isSymLink() ? QFileInfo(path).symLinkTarget() : path;
        const QByteArray oldPage = QFileInfo(written).isFile() ? content : m_texts.samplePage;

        QString error;
        char scanned = 0;
        if (!edge.Ok() && operation != Scan) {
            error = edge.error;
        } else if (operation == Image) {
            error = SaveAsGif(SomeBanner(), path).error;
        } else if (operation == Style) {
            error = ReplaceFile(kStyle, path).error;
        } else if (operation == Page) {
            const BannerGif gif(SomeBanner());
            for (const FileResult& result : WritePage(m_texts, {{&gif, scene.Path(u"site/VornetAdMap.gif"_qs)}},
                                                      scene.Path(u"site/VornetAdStyle.css"_qs), path, false)) {
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
            catalog.Scan(scene.Path(u"site"_qs));
            scanned = catalog.Count() != 1 ? '-' : catalog.BitmapAt(0).isNull() ? 'e' : 'r';
        }

        const auto after = Snapshot(scene.dir.path());
        if (operation == Scan) {
            QCOMPARE(scanned, outcome);
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
            QCOMPARE(ReadAll(scene.Path(u"site/VornetAdStyle.css"_qs)), kStyle);
        }
        // A replaced file keeps its permissions and owner; a new one gets what a plain create gives.
        const QString name = QDir(scene.dir.path()).relativeFilePath(written);
        const QByteArrayList created = {"100644",
                                        QByteArray::number(::geteuid()) + ':' + QByteArray::number(::getegid())};
        QCOMPARE(after.at(name).split(' ').mid(0, 2),
                 before.count(name) ? before.at(name).split(' ').mid(0, 2) : created);
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
    // no temporary file left behind.
    void failedWrite_leavesOldFileWhole_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<bool>("existing");
        for (const qint64 size : {qint64(1), qint64(15) << 10, qint64(17) << 10, qint64(1) << 20}) {
            for (const bool existing : {false, true}) {
                const char* what = existing ? "over a file" : "new file";
                QTest::addRow("full disk, %lld bytes, %s", size, what) << size << true << existing;
                QTest::addRow("size limit, %lld bytes, %s", size, what) << size << false << existing;
            }
        }
    }

    void failedWrite_leavesOldFileWhole() {
        QFETCH(qint64, size);
        QFETCH(bool, fullDisk);
        QFETCH(bool, existing);
        Scene scene;
        const QString folder = scene.Path(u"disk"_qs);
        scene.Make({}, "disk/");
        if (fullDisk) {
            scene.mount = QFile::encodeName(folder);
            if (::mount("tmpfs", scene.mount.constData(), "tmpfs", 0, "size=256k") != 0) {
                QSKIP("cannot mount a tmpfs here (needs root in a namespace that allows it)");
            }
        }
        scene.Make(u"disk"_qs, existing ? "page.html" : "", "old page");
        if (fullDisk) {
            QFile filler(folder + u"/filler"_qs);
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        rlimit previous{};
        ::getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit limit{fullDisk ? previous.rlim_cur : rlim_t(size / 2), previous.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        const auto before = Snapshot(folder);
        const QString path = folder + u"/page.html"_qs;
        const FileResult result = ReplaceFile(QByteArray(size, 'p'), path);
        ::setrlimit(RLIMIT_FSIZE, &previous);

        QVERIFY(!result.Ok());
        QCOMPARE(result.path, path);
        QVERIFY2(result.error.contains(ErrorText(fullDisk ? ENOSPC : EFBIG)), qPrintable(result.error));
        QVERIFY(Snapshot(folder) == before);
    }

    // Reads stop at the cap, on both sides of it, whatever the file claims.
    void read_isCapped() {
        Scene scene;
        for (const int size : {0, 1024, 1025}) {
            scene.Make({}, QByteArray::number(size), QByteArray(size, 'c'));
            const FileBytes read = ReadRegularFile(scene.Path(QString::number(size)), 1024);
            QCOMPARE(read.bytes.size(), size <= 1024 ? size : 0);
            QVERIFY2(size <= 1024 ? read.status.Ok() : read.status.error.contains(u"larger than 1 KiB"),
                     qPrintable(read.status.error));
        }
    }

    // sites.tsv: which nodes of a site's tree are its pages, in which order, and which are reported.
    void siteWalk_data() {
        QTest::addColumn<QByteArray>("tree");
        QTest::addColumn<QString>("match");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<int>("reported");
        for (const QByteArrayList& row : DataRows(QFINDTESTDATA("sites.tsv"))) {
            QTest::newRow(row[0].constData())
                << row[1] << QString::fromUtf8(row[2]) << QString::fromUtf8(row[3]).split(u' ') << row[4].toInt();
        }
    }

    void siteWalk() {
        QFETCH(QByteArray, tree);
        QFETCH(QString, match);
        QFETCH(QStringList, pages);
        QFETCH(int, reported);
        Scene scene;
        scene.Make(u"site"_qs, tree);
        const QDir site(scene.Path(u"site"_qs));
        SitePages walked =
            WalkSite(site.path(), PagePatterns::Parse(match.isEmpty() ? QLatin1String(PagePatterns::kDefault) : match));
        QVERIFY2(walked.status.Ok(), qPrintable(walked.status.error));
        QCOMPARE(walked.pages.replaceInStrings(site.path() + u'/', QString()), pages);
        QCOMPARE(walked.problems.size(), reported);
        for (const FileResult& problem : walked.problems) {
            QVERIFY2(problem.error.contains(u"not valid text"), qPrintable(problem.error));
        }
    }

private:
    CodeTexts m_texts;
};

QTEST_GUILESS_MAIN(tst_Files)
#include "tst_Files.moc"
