#include "OutputRuns.h"
#include "PageInjection.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kGoldenPages = QStringLiteral(VORNET_SOURCE_DIR "/tests/output/golden/pages");

// A case's settings: one "key=value" per line over the defaults below; a value runs to the line end.
AdSettings ReadSettings(const QString& path) {
    AdSettings s;
    s.linkUrl = QStringLiteral("http://www.example.com/");
    s.adTitle = QStringLiteral("Corner offer");
    for (const QByteArray& line : ReadAll(path).split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0) {
            continue;
        }
        const QByteArray key = line.left(eq);
        const QByteArray bytes = line.mid(eq + 1);
        const QString value = QString::fromUtf8(bytes);
        if (key == "side") {
            s.side = value == QLatin1String("left") ? BannerSide::Left : BannerSide::Right;
        } else if (key == "size") {
            s.bannerSize = value.toInt();
        } else if (key == "window") {
            s.newWindow = value != QLatin1String("same");
        } else if (key == "link") {
            s.linkUrl = value;
        } else if (key == "title") {
            s.adTitle = value;
        } else if (key == "static") {
            s.options.staticMarkup = value == QLatin1String("1");
        } else if (key == "custom" || key == "custom-disabled") {
            s.customCodeEnabled = key == "custom";
            s.customCode = bytes;
        } else {
            qFatal("unknown setting %s in %s", key.constData(), qPrintable(path));
        }
    }
    return s;
}

CodeTexts TextsFor(const AdSettings& settings) {
    CodeTexts texts;
    if (!texts.LoadTextResources().Ok()) {
        qFatal("the built-in texts are missing");
    }
    texts.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", settings);
    return texts;
}

QImage SomeBanner() {
    QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

}  // namespace

class TestPageInjection : public QObject {
    Q_OBJECT

private slots:
    // Each folder under golden/pages holds settings.txt, expected.html and, unless the page is to be
    // made new, input.html. VORNET_UPDATE_GOLDEN=1 rewrites expected.html (review the diff!).
    void goldenPages_data() {
        QTest::addColumn<QString>("folder");
        const QStringList cases = QDir(kGoldenPages).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QVERIFY(cases.size() >= 20);
        for (const QString& name : cases) {
            QTest::newRow(qPrintable(name)) << JoinPath(kGoldenPages, name);
        }
    }

    void goldenPages() {
        QFETCH(QString, folder);
        const AdSettings settings = ReadSettings(folder + QStringLiteral("/settings.txt"));
        const CodeTexts texts = TextsFor(settings);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString page = dir.filePath(QStringLiteral("page.html"));
        const QString input = folder + QStringLiteral("/input.html");
        if (QFile::exists(input)) {
            QVERIFY(QFile::copy(input, page));
        }

        const BannerGif gif(SomeBanner());
        const QList<FileResult> first = WritePage(texts, {{&gif, dir.filePath(QStringLiteral("a.gif"))}},
                                                  dir.filePath(QStringLiteral("a.css")), page, true);
        QCOMPARE(first.size(), 1);
        QVERIFY2(first[0].Ok(), qPrintable(first[0].error));
        const QByteArray once = ReadAll(page);
        const QString expectedPath = folder + QStringLiteral("/expected.html");
        if (qEnvironmentVariableIntValue("VORNET_UPDATE_GOLDEN") == 1) {
            QVERIFY(WriteAll(expectedPath, once));
        }
        QCOMPARE(once, ReadAll(expectedPath));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("a.gif"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("a.css"))));

        WritePage(texts, {}, {}, page, true);
        QCOMPARE(ReadAll(page), once);

        // The remove run leaves the page as it was before the first run: only what runs wrote goes.
        const QByteArray customCode = settings.customCodeEnabled ? settings.customCode : QByteArray();
        const QByteArray before = QFile::exists(input) ? ReadAll(input) : texts.samplePage;
        QVERIFY(RemoveAdvert({page}, customCode).Ok());
        QCOMPARE(ReadAll(page), RemoveOldBlocks(before, customCode).page);
    }

    void insertionPoint_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<qsizetype>("bodyEnd");
        QTest::addColumn<qsizetype>("insertAt");
        QTest::newRow("lower case") << QByteArray("<p></body>") << qsizetype(3) << qsizetype(3);
        QTest::newRow("upper case") << QByteArray("<p></BODY>") << qsizetype(3) << qsizetype(3);
        QTest::newRow("last of several") << QByteArray("</body></BODY></Body>x") << qsizetype(14) << qsizetype(14);
        QTest::newRow("blank before >") << QByteArray("x</body\r\n>") << qsizetype(1) << qsizetype(1);
        QTest::newRow("attributes") << QByteArray("x</body a='>'>") << qsizetype(1) << qsizetype(1);
        QTest::newRow("longer name") << QByteArray("x</bodyx></html>") << qsizetype(-1) << qsizetype(9);
        QTest::newRow("in comment, script, attribute")
            << QByteArray("</body><!--</body>--><script>'</body>'</script><a t='</body>'>") << qsizetype(0)
            << qsizetype(0);
        QTest::newRow("html end only") << QByteArray("<html>x</HTML>\n") << qsizetype(-1) << qsizetype(7);
        QTest::newRow("neither") << QByteArray("text") << qsizetype(-1) << qsizetype(4);
        QTest::newRow("empty") << QByteArray() << qsizetype(-1) << qsizetype(0);
        // Where the block would not be read as HTML, it goes before what holds that point.
        QTest::newRow("inside svg") << QByteArray("<p><svg><g></body>") << qsizetype(11) << qsizetype(3);
        QTest::newRow("text ends in a tag") << QByteArray("x</body") << qsizetype(-1) << qsizetype(1);
        QTest::newRow("text ends in a value") << QByteArray("x<a b='>") << qsizetype(-1) << qsizetype(1);
        QTest::newRow("text ends in a script") << QByteArray("x<script>y") << qsizetype(-1) << qsizetype(1);
        QTest::newRow("lone <") << QByteArray("x<") << qsizetype(-1) << qsizetype(2);
    }

    void insertionPoint() {
        QFETCH(QByteArray, page);
        QFETCH(qsizetype, bodyEnd);
        QFETCH(qsizetype, insertAt);
        QCOMPARE(FindBodyEnd(page), bodyEnd);
        QCOMPARE(InsertionPoint(page), insertAt);
    }

    void paths_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("joined");  // the folder joined with "f.gif"
        QTest::newRow("absolute") << QStringLiteral("/a/b/page.html") << QStringLiteral("/a/b/")
                                  << QStringLiteral("/a/b/f.gif");
        QTest::newRow("relative") << QStringLiteral("a/page.html") << QStringLiteral("a/") << QStringLiteral("a/f.gif");
        QTest::newRow("bare name") << QStringLiteral("page.html") << QString() << QStringLiteral("f.gif");
        QTest::newRow("root") << QStringLiteral("/page.html") << QStringLiteral("/") << QStringLiteral("/f.gif");
        QTest::newRow("trailing separator")
            << QStringLiteral("/a/b/") << QStringLiteral("/a/b/") << QStringLiteral("/a/b/f.gif");
    }

    void paths() {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(QString, joined);
        QCOMPARE(FolderOf(path), folder);
        QCOMPARE(JoinPath(folder, QStringLiteral("f.gif")), joined);
        // A folder typed without its trailing separator still receives the file inside it.
        if (folder.size() > 1) {
            QCOMPARE(JoinPath(folder.chopped(1), QStringLiteral("f.gif")), joined);
        }
    }
};

QTEST_GUILESS_MAIN(TestPageInjection)
#include "tst_PageInjection.moc"
