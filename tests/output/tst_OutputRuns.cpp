#include "OutputRuns.h"
#include "PageInjection.h"
#include "TestFiles.h"
#include "files/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QImage SomeBanner() {
    QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setPixel(59, 0, qRgb(200, 0, 0));
    return image;
}

CodeTexts LoadedTexts() {
    CodeTexts texts;
    if (!texts.LoadTextResources().Ok()) {
        qFatal("the built-in texts are missing");
    }
    return texts;
}

const QByteArray kPage = "<html><body><p>page</p>\n</body></html>\n";

// A folder tree for one test: pages are made in sub-folders on demand.
class Tree {
public:
    QString Page(const QString& relative, const QByteArray& content = kPage) {
        const QString path = m_dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        WriteAll(path, content);
        return path;
    }
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    // The report's files relative to the tree, each marked "!" when it failed.
    QStringList Attempts(const RunReport& report) const {
        QStringList out;
        for (const FileResult& f : report.files) {
            out.append(QDir(m_dir.path()).relativeFilePath(f.path) + (f.Ok() ? QString() : QStringLiteral("!")));
        }
        return out;
    }

private:
    QTemporaryDir m_dir;
};

}  // namespace

class TestOutputRuns : public QObject {
    Q_OBJECT

private slots:
    void modifyMode_sharedFilesOncePerRunOfFolder_data() {
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<bool>("hidpi");
        QTest::addColumn<QStringList>("attempts");
        const QString gifA = QStringLiteral("A/VornetAdMap.gif"), cssA = QStringLiteral("A/VornetAdStyle.css");
        const QString gifB = QStringLiteral("B/VornetAdMap.gif"), cssB = QStringLiteral("B/VornetAdStyle.css");
        const QString gif2xA = QStringLiteral("A/VornetAdMap@2x.gif"), gif2xB = QStringLiteral("B/VornetAdMap@2x.gif");
        const QString a1 = QStringLiteral("A/1.html"), a2 = QStringLiteral("A/2.html"), b1 = QStringLiteral("B/1.html");
        QTest::newRow("A A B") << QStringList{a1, a2, b1} << false << QStringList{gifA, cssA, a1, a2, gifB, cssB, b1};
        QTest::newRow("A B A") << QStringList{a1, b1, a2} << false
                               << QStringList{gifA, cssA, a1, gifB, cssB, b1, gifA, cssA, a2};
        QTest::newRow("same page twice") << QStringList{a1, a1} << false << QStringList{gifA, cssA, a1, a1};
        QTest::newRow("one page") << QStringList{b1} << false << QStringList{gifB, cssB, b1};
        QTest::newRow("A A B, 2x image beside each")
            << QStringList{a1, a2, b1} << true << QStringList{gifA, gif2xA, cssA, a1, a2, gifB, gif2xB, cssB, b1};
    }

    void modifyMode_sharedFilesOncePerRunOfFolder() {
        QFETCH(QStringList, pages);
        QFETCH(bool, hidpi);
        QFETCH(QStringList, attempts);
        Tree tree;
        OutputTarget target;
        target.createNew = false;
        for (const QString& page : pages) {
            target.pages.append(tree.Page(page));
        }
        CodeTexts texts = LoadedTexts();
        AdSettings settings;
        settings.options.hidpi = hidpi;
        const RunReport report = Generate(texts, SomeBanner(), target, settings, SomeBanner().scaled(120, 120));
        QCOMPARE(tree.Attempts(report), attempts);
        QVERIFY(report.Ok());
        for (const QString& page : pages) {
            QCOMPARE(ReadAll(tree.Path(page)), InjectCode(kPage, texts.codeBlock));
        }
        QCOMPARE(ReadAll(tree.Path(attempts[hidpi ? 2 : 1])), texts.styleSheet);
        QVERIFY(texts.codeBlock.contains("url(VornetAdStyle.css)"));
        QVERIFY(texts.codeBlock.contains("src='VornetAdMap.gif'"));
    }

    // A refused page gets no image or style sheet, and does not count as their run: a good page
    // after it in the same folder still gets both.
    void failingPages_areReportedAndTheRunGoesOn() {
        Tree tree;
        const QByteArray utf16("<\0b\0>\0", 6);
        OutputTarget target;
        target.createNew = false;
        target.pages = {tree.Page(QStringLiteral("A/utf16.html"), utf16), tree.Page(QStringLiteral("A/good1.html")),
                        tree.Path(QStringLiteral("missing/page.html")), tree.Page(QStringLiteral("A/good2.html"))};
        CodeTexts texts = LoadedTexts();
        const RunReport report = Generate(texts, SomeBanner(), target, AdSettings());
        const QStringList expected = {QStringLiteral("A/utf16.html!"),       QStringLiteral("A/VornetAdMap.gif"),
                                      QStringLiteral("A/VornetAdStyle.css"), QStringLiteral("A/good1.html"),
                                      QStringLiteral("missing/page.html!"),  QStringLiteral("A/VornetAdMap.gif"),
                                      QStringLiteral("A/VornetAdStyle.css"), QStringLiteral("A/good2.html")};
        QCOMPARE(tree.Attempts(report), expected);
        QVERIFY(!report.Ok());
        QCOMPARE(ReadAll(tree.Path(QStringLiteral("A/utf16.html"))), utf16);
        QVERIFY(!QFileInfo::exists(tree.Path(QStringLiteral("missing"))));
        QCOMPARE(ReadAll(tree.Path(QStringLiteral("A/good2.html"))), InjectCode(kPage, texts.codeBlock));
        QVERIFY(report.Failures()[0].error.contains(QStringLiteral("zero byte")));
        QVERIFY(report.Failures()[1].error.contains(QStringLiteral("folder does not exist")));
    }

    void createMode_writesThreeFilesIntoTheFolder_data() {
        QTest::addColumn<bool>("trailingSeparator");
        QTest::addColumn<bool>("pageExists");
        QTest::newRow("new page") << true << false;
        QTest::newRow("folder typed without separator") << false << false;
        QTest::newRow("existing page is modified, not replaced") << true << true;
    }

    void createMode_writesThreeFilesIntoTheFolder() {
        QFETCH(bool, trailingSeparator);
        QFETCH(bool, pageExists);
        Tree tree;
        const QByteArray old = "<html><body>mine<!--VornetAdBegin-->old<!--VornetAdEnd-->old custom\n</body></html>";
        if (pageExists) {
            tree.Page(QStringLiteral("out/VornetAdCode.html"), old);
        } else {
            QDir().mkpath(tree.Path(QStringLiteral("out")));
        }
        OutputTarget target;
        target.outputFolder = tree.Path(QStringLiteral("out")) + (trailingSeparator ? QStringLiteral("/") : QString());
        CodeTexts texts = LoadedTexts();
        const RunReport report = Generate(texts, SomeBanner(), target, AdSettings());
        QCOMPARE(tree.Attempts(report),
                 (QStringList{QStringLiteral("out/VornetAdMap.gif"), QStringLiteral("out/VornetAdStyle.css"),
                              QStringLiteral("out/VornetAdCode.html")}));
        const QByteArray page = ReadAll(tree.Path(QStringLiteral("out/VornetAdCode.html")));
        if (pageExists) {
            QCOMPARE(page, "<html><body>mine" + texts.codeBlock + "</body></html>");
        } else {
            QCOMPARE(page, InjectCode(texts.samplePage, texts.codeBlock));
            QVERIFY(page.endsWith(QByteArray(texts.codeBlock + "</body>\r\n</html>\r\n")));
        }
    }

    void generate_writesEveryFile() {
        Tree tree;
        OutputTarget target;
        target.outputFolder = tree.Path(QStringLiteral("."));
        CodeTexts texts = LoadedTexts();
        AdSettings settings;
        settings.options.hidpi = true;
        const RunReport report = Generate(texts, SomeBanner(), target, settings, SomeBanner().scaled(120, 120));
        QVERIFY2(report.Ok(), qPrintable(report.Failures().value(0).error));
        QImage gif;
        QVERIFY(gif.load(tree.Path(QStringLiteral("VornetAdMap.gif")), "GIF"));
        QCOMPARE(gif.size(), QSize(60, 60));
        QVERIFY(gif.load(tree.Path(QStringLiteral("VornetAdMap@2x.gif")), "GIF"));
        QCOMPARE(gif.size(), QSize(120, 120));
    }

    // A bare file name has the empty folder; it must still receive the image and the style sheet.
    void modifyMode_pageWithoutFolder_receivesSharedFiles() {
        Tree tree;
        tree.Page(QStringLiteral("here/p.html"));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tree.Path(QStringLiteral("here"))));
        OutputTarget target;
        target.createNew = false;
        target.pages = {QStringLiteral("p.html")};
        CodeTexts texts = LoadedTexts();
        const RunReport report = Generate(texts, SomeBanner(), target, AdSettings());
        QDir::setCurrent(before);
        QCOMPARE(tree.Attempts(report).size(), 3);
        QCOMPARE(ReadAll(tree.Path(QStringLiteral("here/VornetAdStyle.css"))), texts.styleSheet);
    }

    void preview_twiceGivesOneBlock() {
        Tree tree;
        QDir().mkpath(tree.Path(QStringLiteral("pv")));
        const QString folder = tree.Path(QStringLiteral("pv"));  // no trailing separator
        CodeTexts texts = LoadedTexts();
        AdSettings settings;
        const RunReport first = WritePreview(texts, SomeBanner(), settings, folder);
        settings.side = BannerSide::Left;
        settings.options.hidpi = true;
        const RunReport second = WritePreview(texts, SomeBanner(), settings, folder, SomeBanner());
        const QStringList files = {QStringLiteral("pv/adPreview.gif"), QStringLiteral("pv/adPreview.css"),
                                   QStringLiteral("pv/adPreview.html")};
        QCOMPARE(tree.Attempts(first), files);
        QCOMPARE(tree.Attempts(second),
                 (QStringList{files[0], QStringLiteral("pv/adPreview@2x.gif"), files[1], files[2]}));
        QCOMPARE(second.previewPage, tree.Path(QStringLiteral("pv/adPreview.html")));
        const QByteArray page = ReadAll(second.previewPage);
        QCOMPARE(page, InjectCode(texts.samplePage, texts.codeBlock));
        QVERIFY(texts.codeBlock.contains("url(adPreview.css)"));
        QVERIFY(texts.codeBlock.contains("src='adPreview.gif' srcset='adPreview.gif 1x, adPreview@2x.gif 2x'"));
        QCOMPARE(ReadAll(tree.Path(QStringLiteral("pv/adPreview.css"))), texts.styleSheet);
    }

    void preview_failedPage_givesNoPath() {
        Tree tree;
        CodeTexts texts = LoadedTexts();
        const RunReport report = WritePreview(texts, SomeBanner(), AdSettings(), tree.Path(QStringLiteral("nowhere")));
        QVERIFY(!report.Ok());
        QVERIFY(report.previewPage.isEmpty());
    }

    // A temporary location that cannot be used is passed over for /tmp; a relative folder never.
    void previewFolder_withoutUsableTemp_isUnderTmp_data() {
        QTest::addColumn<QByteArray>("tmpdir");
        QTest::newRow("missing") << QByteArray("/no/such/folder");
        QTest::newRow("relative") << QByteArray("relative/folder");
        QTest::newRow("a file") << QByteArray("/etc/passwd");
        QTest::newRow("not valid text") << QByteArray("/tmp/\xff");
        QTest::newRow("empty") << QByteArray();
    }

    void previewFolder_withoutUsableTemp_isUnderTmp() {
        QFETCH(QByteArray, tmpdir);
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmpdir);
        CodeTexts texts = LoadedTexts();
        const RunReport report = WritePreview(texts, SomeBanner(), AdSettings());
        qputenv("TMPDIR", oldTemp);
        QVERIFY2(report.Ok(), qPrintable(report.Failures().value(0).error));
        QVERIFY2(report.previewPage.startsWith(QStringLiteral("/tmp/vornetad-")), qPrintable(report.previewPage));
        QVERIFY(QFileInfo(report.previewPage).isFile());
    }

    // What may already stand at the private folder's name under a shared temporary location.
    void privateFolder_onlyEverOurOwn_data() {
        QTest::addColumn<QString>("squatter");
        QTest::addColumn<bool>("stableUsed");
        QTest::newRow("nothing") << QString() << true;
        QTest::newRow("our own private folder") << QStringLiteral("own") << true;
        QTest::newRow("our folder, open to others") << QStringLiteral("open") << false;
        QTest::newRow("link to another folder") << QStringLiteral("link") << false;
        QTest::newRow("a file") << QStringLiteral("file") << false;
        QTest::newRow("another user's folder") << QStringLiteral("foreign") << false;
    }

    void privateFolder_onlyEverOurOwn() {
        QFETCH(QString, squatter);
        QFETCH(bool, stableUsed);
        Tree tree;
        const QString temp = tree.Path(QStringLiteral("tmp"));
        QDir().mkpath(temp);
        const QString stable = temp + QStringLiteral("/vornetad-%1").arg(::geteuid());
        const QString elsewhere = tree.Path(QStringLiteral("elsewhere"));
        QDir().mkpath(elsewhere);
        if (squatter == QLatin1String("own") || squatter == QLatin1String("open") ||
            squatter == QLatin1String("foreign")) {
            QCOMPARE(::mkdir(QFile::encodeName(stable).constData(), squatter == QLatin1String("open") ? 0777 : 0700),
                     0);
            ::chmod(QFile::encodeName(stable).constData(), squatter == QLatin1String("open") ? 0777 : 0700);
            if (squatter == QLatin1String("foreign")) {
                if (::geteuid() != 0) {
                    QSKIP("only the superuser can make a folder for another user");
                }
                QCOMPARE(::chown(QFile::encodeName(stable).constData(), 65534, 65534), 0);
            }
        } else if (squatter == QLatin1String("link")) {
            QVERIFY(QFile::link(elsewhere, stable));
        } else if (squatter == QLatin1String("file")) {
            QVERIFY(WriteAll(stable, "x"));
        }

        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp));
        const FileResult first = PrivatePreviewFolder();
        CodeTexts texts = LoadedTexts();
        const RunReport report = WritePreview(texts, SomeBanner(), AdSettings());
        const FileResult second = PrivatePreviewFolder();
        qputenv("TMPDIR", oldTemp);

        QVERIFY2(first.Ok(), qPrintable(first.error));
        QCOMPARE(second.path, first.path);
        QCOMPARE(first.path == stable, stableUsed);
        QVERIFY(first.path.startsWith(temp + QLatin1Char('/')));
        struct stat info {};
        QCOMPARE(::lstat(QFile::encodeName(first.path).constData(), &info), 0);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
        QCOMPARE(info.st_uid, ::geteuid());
        QCOMPARE(report.previewPage, JoinPath(first.path, QStringLiteral("adPreview.html")));
        QVERIFY(QDir(elsewhere).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOutputRuns)
#include "tst_OutputRuns.moc"
