#include "DataTable.h"
#include "TestFiles.h"
#include "TestGif.h"
#include "design/DesignFile.h"
#include "design/WriteOver.h"
#include "templates/TemplateCatalog.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>

using Edit = std::function<void(Design&)>;
Q_DECLARE_METATYPE(Edit)

class tst_Design : public QObject {
    Q_OBJECT

private slots:
    // A file as the program writes it (golden/: the defaults, every setting changed, custom code
    // that is not UTF-8, paths inside its own folder, a square cut at the template's very corner,
    // whose offset of 0 is no default once a size is given) reads back as a design that is written
    // again byte for byte in its place, so no setting is lost or changed on the way, files saved
    // earlier still read, and paths read from the file's folder go back as they came.
    void goldenFiles_readAndWrittenAgainByteForByte_data() { AddPathRows({QFINDTESTDATA("golden")}); }
    void goldenFiles_readAndWrittenAgainByteForByte() {
        QFETCH(QString, path);
        QTemporaryDir dir;
        const QString copy = dir.filePath(u"d.vornetad"_qs);
        QVERIFY(QFile::copy(path, copy));
        const DesignRead read = ReadDesign(copy);
        QVERIFY2(read.status.Ok(), qPrintable(read.status.error));
        QVERIFY(read.design.pages.isEmpty() || QDir::isAbsolutePath(read.design.pages[0]));
        QVERIFY(WriteDesign(read.design, copy).Ok());
        QCOMPARE(ReadAll(copy), ReadAll(path));
    }

    // What could not be read back as it is is not saved at all; what a reading takes is saved.
    void save_refusesWhatWouldNotReadBack_data() {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("error");
        QTest::newRow("custom code with a zero byte")
            << Edit([](Design& d) { d.customCode = QByteArray("a\0b", 3); }) << u"customCode: cannot hold"_qs;
        QTest::newRow("text that is not Unicode")
            << Edit([](Design& d) { d.lines[0].text = QString(QChar(0xd800)); }) << u"lines[0].text"_qs;
        QTest::newRow("size out of range") << Edit([](Design& d) { d.size = 49; }) << u"size: must be"_qs;
        // Each control character is written as six: 800 KB of them is over the file's limit.
        QTest::newRow("larger than a design file may be")
            << Edit([](Design& d) { d.adTitle = QString(800000, QChar(1)); }) << u"larger than 4 MiB"_qs;
        // Indented, so many pages would be; written compactly, they are not.
        QTest::newRow("many pages") << Edit([](Design& d) { d.pages = QStringList(200000, u"/s/p.html"_qs); })
                                    << QString();
        QTest::newRow("too many pages, named as the cause")
            << Edit([](Design& d) { d.pages = QStringList(20000, u'/' + QString(250, u'd') + u"/p.html"); })
            << u"larger than 4 MiB, more than a design file may hold: the names of its 20000 pages take most"_qs;
        // Each control character is written as six.
        QTest::newRow("pages whose written names fill it")
            << Edit([](Design& d) { d.pages = QStringList(4000, u"/p" + QString(200, QChar(1)) + u".html"); })
            << u"the names of its 4000 pages take most"_qs;
    }
    void save_refusesWhatWouldNotReadBack() {
        QFETCH(Edit, edit);
        QFETCH(QString, error);
        Design design;
        edit(design);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"d.vornetad"_qs);
        const FileResult saved = WriteDesign(design, path);
        QVERIFY2(saved.error.contains(error) && saved.Ok() == error.isEmpty(), qPrintable(saved.error));
        QCOMPARE(ReadDesign(path).design.pages, error.isEmpty() ? design.pages : QStringList());
    }

    // A design is saved over a design or an empty file only, however far into the file what it holds
    // begins.
    void save_overADesignOrNothingElse_data() {
        QTest::addColumn<QByteArray>("held");
        QTest::addColumn<bool>("replaced");
        const QByteArray blanks(kMaxDesignFileBytes, ' ');
        QTest::newRow("a design") << DesignFile({}) << true;
        QTest::newRow("blanks") << QByteArray(" \n") << true;
        QTest::newRow("a note") << QByteArray("my notes\n") << false;
        QTest::newRow("a note after the blanks read") << blanks + " my notes\n" << false;
        QTest::newRow("a design, then a note after the blanks read") << DesignFile({}) + blanks + "my notes" << false;
    }
    void save_overADesignOrNothingElse() {
        QFETCH(QByteArray, held);
        QFETCH(bool, replaced);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"d.vornetad"_qs);
        QVERIFY(WriteAll(path, held));
        QCOMPARE(CheckWriteOver(path, Writes::Design).Ok(), replaced);
    }

    // A page inside the design's folder ($F, where the system puts the file saved as `saveAs` from
    // $D, in which "in" leads to $F/sub) is written from there, one that steps out of it or lies
    // elsewhere whole; read back, even through a link in another folder, each names the page it
    // named.
    void save_pathsFromItsFolder_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("saveAs");
        QTest::newRow("inside") << u"$F/shop/cart.html"_qs << u"shop/cart.html"_qs << u"site/d.vornetad"_qs;
        // Not through the design's folder, which may be renamed.
        QTest::newRow("stepping out") << u"$F/../other/x.html"_qs << u"$D/other/x.html"_qs << u"site/d.vornetad"_qs;
        QTest::newRow("stepping out twice") << u"$F/sub/../../x.html"_qs << u"$D/x.html"_qs << u"site/d.vornetad"_qs;
        QTest::newRow("stepping out and back") << u"$F/sub/../x.html"_qs << u"x.html"_qs << u"site/d.vornetad"_qs;
        QTest::newRow("back, then a doubled slash") << u"$F/sub/..//x.html"_qs << u"x.html"_qs << u"site/d.vornetad"_qs;
        QTest::newRow("up and into its own folder") << u"$F/../site/x.html"_qs << u"x.html"_qs << u"site/d.vornetad"_qs;
        QTest::newRow("elsewhere") << u"/srv/x.html"_qs << u"/srv/x.html"_qs << u"site/d.vornetad"_qs;
        // Qt takes a name that starts with ':' for a resource of the program's own.
        QTest::newRow("a name Qt takes for its own") << u"$F/:p.html"_qs << u":p.html"_qs << u"site/d.vornetad"_qs;
        QTest::newRow("saved through a link and ..") << u"$D/x.html"_qs << u"$D/x.html"_qs << u"in/../d.vornetad"_qs;
        // A folder is the template's; the user's own stay in the home when a design saved there moves.
        QTest::newRow("own templates") << u"$F/vornetad/vornets/"_qs << u"$F/vornetad/vornets/"_qs
                                       << u"site/d.vornetad"_qs;
        QTest::newRow("templates beside") << u"$F/mine/"_qs << u"mine/"_qs << u"site/d.vornetad"_qs;
    }
    void save_pathsFromItsFolder() {
        QFETCH(QString, page);
        QFETCH(QString, written);
        QFETCH(QString, saveAs);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"site"_qs);
        QVERIFY(QDir().mkpath(folder + u"/sub"_qs));
        QVERIFY(QFile::link(folder + u"/sub"_qs, dir.filePath(u"in"_qs)));
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder + u'/'));  // as a user may write it
        Design design;
        design.mode = OutputMode::Modify;
        page.replace(u"$F"_qs, folder).replace(u"$D"_qs, dir.path());
        (page.endsWith(u'/') ? design.templateFolder : design.pages.emplace_back()) = page;
        written.replace(u"$F"_qs, folder).replace(u"$D"_qs, dir.path());
        QVERIFY(WriteDesign(design, dir.filePath(saveAs)).Ok());
        QVERIFY(ReadAll(folder + u"/d.vornetad"_qs).contains(QByteArray('"' + written.toUtf8() + '"')));
        QVERIFY(QFile::link(folder + u"/d.vornetad"_qs, dir.filePath(u"link.vornetad"_qs)));
        const Design back = ReadDesign(dir.filePath(u"link.vornetad"_qs)).design;
        QCOMPARE(QDir::cleanPath(back.pages.value(0)), QDir::cleanPath(design.pages.value(0)));
        QCOMPARE(back.templateFolder, design.templateFolder);
    }

    void parse_takesWhatIsGiven_data() { AddTableRows(QFINDTESTDATA("parsed.txt")); }
    void parse_takesWhatIsGiven() {
        QFETCH(QStringList, row);
        const DesignRead read = ParseDesign(DesignFile(row[0].toUtf8()), u"/base"_qs);
        const DesignRead same = ParseDesign(DesignFile(row[1].toUtf8()));
        QVERIFY2(read.status.Ok() && same.status.Ok(), qPrintable(read.status.error + same.status.error));
        QCOMPARE(read.design, same.design);
    }

    // A file is taken whole or refused with the field named (refused.txt), custom code of a byte
    // over 1 MiB included.
    void parse_refusesTheWholeFile_data() {
        AddTableRows(QFINDTESTDATA("refused.txt"));
        QTest::newRow("code over 1 MiB") << QStringList{u"\"customCode\": \"" + QString((1 << 20) + 1, u'x') + u'"',
                                                        u"customCode: is larger than 1 MiB"_qs};
    }
    void parse_refusesTheWholeFile() {
        QFETCH(QStringList, row);
        const QByteArray text = row[0].toUtf8();
        const DesignRead read = ParseDesign(text.startsWith('{') || text.startsWith('[') ? text : DesignFile(text));
        QVERIFY2(read.status.error.startsWith(row[1]), qPrintable(read.status.error));
    }

    void composeInto_data() { AddTableRows(QFINDTESTDATA("compose.txt")); }
    void composeInto() {
        QFETCH(QStringList, row);
        Banner banner;
        banner.SetTemplate(SolidTemplate(Qt::gray, 1000));
        banner.SetBannerSize(123);
        Design design;
        design.size = row[1] == u"-" ? std::nullopt : std::optional(row[1].toInt());
        design.cropOffset = row[2] == u"-" ? std::nullopt : std::optional(row[2].toInt());
        const QSize size(row[0].section(u'x', 0, 0).toInt(), row[0].section(u'x', -1).toInt());
        design.ComposeInto(banner, SolidTemplate(Qt::gray, size.width()).copy(QRect(QPoint(), size)));
        QCOMPARE(QString::number(banner.Size()), row[3]);
        const QPoint crop = banner.CropOffset();
        QCOMPARE(crop.y() == crop.x() ? QString::number(crop.x()) : u"%1,%2"_qs.arg(crop.x()).arg(crop.y()), row[4]);
        QCOMPARE(banner.TemplateSize(), size);
        QCOMPARE(banner.Composed().size(), QSize(banner.Size(), banner.Size()));
    }

    // A design names a shipped template without its folder, so it travels with the program.
    void templatePath_shippedFolderLeftOut() {
        Design design;
        design.SetTemplatePath(DefaultTemplatesFolder() + u"a.gif"_qs);
        QCOMPARE(design.templateFolder, QString());
        QCOMPARE(design.TemplatePath(), DefaultTemplatesFolder() + u"a.gif"_qs);
        design.SetTemplatePath(u"/srv/t/b.gif"_qs);
        QCOMPARE(design.templateFolder, u"/srv/t/"_qs);
        QCOMPARE(design.TemplatePath(), u"/srv/t/b.gif"_qs);
    }
};

QTEST_MAIN(tst_Design)
#include "tst_Design.moc"
