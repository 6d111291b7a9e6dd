#include "DataFolder.h"
#include "TemplateCatalog.h"
#include "TemplateImage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void PutWord(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

// A GIF89a with a four-colour palette. The pixel data is LZW with a clear code before every
// second pixel, so the code width stays at 3 bits and no string table is ever built: valid for
// every decoder, and simple enough to write here. `claimedWidth` and `claimedHeight` go into the
// headers in place of the real size when given.
QByteArray TinyGif(int width, int height, const QByteArray& pixels, int transparentIndex = -1, int claimedWidth = 0,
                   int claimedHeight = 0) {
    const int screenWidth = claimedWidth > 0 ? claimedWidth : width;
    const int screenHeight = claimedHeight > 0 ? claimedHeight : height;
    QByteArray gif("GIF89a");
    PutWord(gif, screenWidth);
    PutWord(gif, screenHeight);
    gif.append(char(0xF1));  // global palette of 4 entries
    gif.append('\0');
    gif.append('\0');
    const unsigned char palette[12] = {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    gif.append(reinterpret_cast<const char*>(palette), 12);
    if (transparentIndex >= 0) {
        gif.append("\x21\xF9\x04\x01\x00\x00", 6);
        gif.append(char(transparentIndex));
        gif.append('\0');
    }
    gif.append(',');
    PutWord(gif, 0);
    PutWord(gif, 0);
    PutWord(gif, screenWidth);
    PutWord(gif, screenHeight);
    gif.append('\0');

    QByteArray codes;
    quint32 bits = 0;
    int count = 0;
    const auto put = [&](int code) {
        bits |= quint32(code) << count;
        count += 3;
        while (count >= 8) {
            codes.append(char(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    for (qsizetype i = 0; i < pixels.size(); ++i) {
        if (i % 2 == 0) {
            put(4);
        }
        put(pixels[i]);
    }
    put(5);
    if (count > 0) {
        codes.append(char(bits & 0xFF));
    }
    gif.append(char(2));  // minimum code size
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        gif.append(char(block.size()));
        gif.append(block);
    }
    gif.append('\0');
    gif.append(';');
    return gif;
}

QByteArray RedGif() {
    return TinyGif(2, 2, QByteArray(4, '\0'));
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList NamesOf(const TemplateCatalog& catalog) {
    QStringList names;
    for (int i = 0; i < catalog.Count(); ++i) {
        names.append(QFileInfo(catalog.PathAt(i)).fileName());
    }
    return names;
}

}  // namespace

class TemplateCatalogTest : public QObject {
    Q_OBJECT

private slots:
    void scan_takesGifsExceptBVariants_sortedByBytes_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("b-variants and other files")
            << QStringList{u"a.gif"_qs, u"ab.gif"_qs, u"aB.gif"_qs, u"b.gif"_qs, u"notes.txt"_qs}
            << QStringList{u"a.gif"_qs, u"aB.gif"_qs};
        QTest::newRow("extension in upper case") << QStringList{u"A.GIF"_qs} << QStringList{u"A.GIF"_qs};
        QTest::newRow("b-variant rule ignores the extension's case")
            << QStringList{u"starb.GIF"_qs, u"star.Gif"_qs} << QStringList{u"star.Gif"_qs};
        QTest::newRow("names shorter than five are never skipped")
            << QStringList{u".gif"_qs} << QStringList{u".gif"_qs};
        QTest::newRow("only a real .gif ending")
            << QStringList{u"a.gifx"_qs, u"gif"_qs, u"a_gif"_qs, u"c.gif"_qs} << QStringList{u"c.gif"_qs};
        QTest::newRow("byte order, upper case first")
            << QStringList{u"c.gif"_qs, u"B.gif"_qs, u"a.gif"_qs, u"a1.gif"_qs}
            << QStringList{u"B.gif"_qs, u"a.gif"_qs, u"a1.gif"_qs, u"c.gif"_qs};
    }
    void scan_takesGifsExceptBVariants_sortedByBytes() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        for (const QString& name : files) {
            WriteFile(dir.filePath(name), RedGif());
        }
        TemplateCatalog catalog;
        QCOMPARE(catalog.Scan(dir.path() + u'/'), expected.size());
        QCOMPARE(NamesOf(catalog), expected);
        for (int i = 0; i < catalog.Count(); ++i) {
            QCOMPARE(catalog.BitmapAt(i).size(), QSize(2, 2));
        }
    }

    void scan_joinsFolderAndNameWithOneSeparator_data() {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("no trailing separator") << QString();
        QTest::newRow("trailing separator") << u"/"_qs;
    }
    void scan_joinsFolderAndNameWithOneSeparator() {
        QFETCH(QString, suffix);
        QTemporaryDir dir;
        WriteFile(dir.filePath(u"a.gif"_qs), RedGif());
        TemplateCatalog catalog;
        catalog.Scan(dir.path() + suffix);
        QCOMPARE(catalog.PathAt(0), dir.path() + u"/a.gif"_qs);
        QVERIFY(QFileInfo::exists(catalog.PathAt(0)));
    }

    void rescan_keepsOrReplacesEntries_data() {
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<int>("added");
        QTest::addColumn<QStringList>("after");
        const QStringList first{u"a.gif"_qs, u"c.gif"_qs};
        QTest::newRow("missing folder keeps") << QStringList{u"<missing>"_qs} << 0 << first;
        QTest::newRow("empty folder keeps") << QStringList{} << 0 << first;
        QTest::newRow("no gif keeps") << QStringList{u"notes.txt"_qs, u"x.png"_qs} << 0 << first;
        QTest::newRow("other gifs replace") << QStringList{u"z.gif"_qs} << 1 << QStringList{u"z.gif"_qs};
        QTest::newRow("b-variants alone empty it") << QStringList{u"zb.gif"_qs} << 0 << QStringList{};
    }
    void rescan_keepsOrReplacesEntries() {
        QFETCH(QStringList, second);
        QFETCH(int, added);
        QFETCH(QStringList, after);
        QTemporaryDir one;
        QTemporaryDir two;
        WriteFile(one.filePath(u"a.gif"_qs), RedGif());
        WriteFile(one.filePath(u"c.gif"_qs), RedGif());
        QString secondFolder = two.path() + u'/';
        for (const QString& name : second) {
            if (name == u"<missing>") {
                secondFolder = two.filePath(u"missing/"_qs);
            } else {
                WriteFile(two.filePath(name), RedGif());
            }
        }
        TemplateCatalog catalog;
        QCOMPARE(catalog.Scan(one.path() + u'/'), 2);
        QCOMPARE(catalog.Scan(secondFolder), added);
        QCOMPARE(NamesOf(catalog), after);
        QCOMPARE(int(catalog.Count()), int(after.size()));
    }

    void accessors_outsideTheEntries_giveNothing_data() {
        QTest::addColumn<int>("filled");
        QTest::addColumn<int>("index");
        QTest::newRow("empty catalog, 0") << 0 << 0;
        QTest::newRow("-1") << 2 << -1;
        QTest::newRow("Count") << 2 << 2;
        QTest::newRow("far past the end") << 2 << 1000000;
    }
    void accessors_outsideTheEntries_giveNothing() {
        QFETCH(int, filled);
        QFETCH(int, index);
        QTemporaryDir dir;
        for (int i = 0; i < filled; ++i) {
            WriteFile(dir.filePath(QStringLiteral("t%1.gif").arg(i)), RedGif());
        }
        TemplateCatalog catalog;
        catalog.Scan(dir.path());
        QCOMPARE(catalog.Count(), filled);
        QVERIFY(!catalog.IsValidIndex(index));
        QVERIFY(catalog.PathAt(index).isEmpty());
        QVERIFY(catalog.BitmapAt(index).isNull());
        if (filled > 0) {
            QVERIFY(catalog.IsValidIndex(filled - 1));
            QVERIFY(!catalog.BitmapAt(filled - 1).isNull());
        }
    }

    void undecodableEntries_keepTheirPathWithoutImage_data() {
        QTest::addColumn<QByteArray>("content");  // empty: a folder of that name
        QTest::newRow("text file") << QByteArray("not an image at all");
        QTest::newRow("truncated gif") << RedGif().left(20);
        QTest::newRow("folder named x.gif") << QByteArray();
        QTest::newRow("header claims 60000 x 60000") << TinyGif(1, 1, QByteArray(1, '\0'), -1, 60000, 60000);
        QTest::newRow("header claims 4097 wide") << TinyGif(1, 1, QByteArray(1, '\0'), -1, 4097, 1);
    }
    void undecodableEntries_keepTheirPathWithoutImage() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        WriteFile(dir.filePath(u"a.gif"_qs), RedGif());
        if (content.isEmpty()) {
            QVERIFY(QDir(dir.path()).mkdir(u"x.gif"_qs));
        } else {
            WriteFile(dir.filePath(u"x.gif"_qs), content);
        }
        WriteFile(dir.filePath(u"z.gif"_qs), RedGif());
        TemplateCatalog catalog;
        QCOMPARE(catalog.Scan(dir.path()), 3);
        QCOMPARE(catalog.PathAt(1), dir.filePath(u"x.gif"_qs));
        QVERIFY(catalog.BitmapAt(1).isNull());
        QVERIFY(!catalog.BitmapAt(0).isNull());
        QVERIFY(!catalog.BitmapAt(2).isNull());
    }

    void transparentPixels_comeOutInKeyColour() {
        QTemporaryDir dir;
        // Row 0: red, transparent (index 3), blue; row 1: green, red, transparent.
        WriteFile(dir.filePath(u"t.gif"_qs), TinyGif(3, 2, QByteArray("\x00\x03\x02\x01\x00\x03", 6), 3));
        TemplateCatalog catalog;
        QCOMPARE(catalog.Scan(dir.path()), 1);
        const QImage image = catalog.BitmapAt(0);
        QVERIFY(!image.hasAlphaChannel());
        QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(1, 0), TemplateKeyColor);
        QCOMPARE(image.pixel(2, 0), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(0, 1), qRgb(0, 255, 0));
        QCOMPARE(image.pixel(2, 1), TemplateKeyColor);
    }

    void loadTemplateImage_keepsTransparency() {
        QTemporaryDir dir;
        WriteFile(dir.filePath(u"t.gif"_qs), TinyGif(2, 1, QByteArray("\x03\x00", 2), 3));
        const QImage image = LoadTemplateImage(dir.filePath(u"t.gif"_qs));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(image.pixel(1, 0), qRgb(255, 0, 0));
    }

    void defaultFolder_holdsTheShippedTemplates() {
        const QString folder = DefaultTemplatesFolder();
        QCOMPARE(folder, QCoreApplication::applicationDirPath() + u"/vornets/"_qs);
        TemplateCatalog catalog;
        QVERIFY(catalog.Scan(folder) >= 10);
        for (int i = 0; i < catalog.Count(); ++i) {
            const QImage image = catalog.BitmapAt(i);
            QCOMPARE(image.size(), QSize(500, 500));
            // Transparent below the diagonal, opaque on it: every design frames the text band.
            QCOMPARE(image.pixel(5, 495), TemplateKeyColor);
            QVERIFY2(image.pixel(250, 240) != TemplateKeyColor, qPrintable(catalog.PathAt(i)));
        }
        // The b-variants ship too, and stay out of the catalog.
        const QStringList all = QDir(folder).entryList({u"*.gif"_qs});
        QVERIFY(all.size() > catalog.Count());
    }

    void dataFolder_fallsBackToTheInstalledData() {
        const QString folder = DataFolder(u"no-such-data"_qs);
        QVERIFY(folder.endsWith(u"/share/vornetad/no-such-data/"_qs));
        QCOMPARE(folder,
                 QDir::cleanPath(QCoreApplication::applicationDirPath() + u"/../share/vornetad/no-such-data"_qs) +
                     u'/');
    }
};

QTEST_GUILESS_MAIN(TemplateCatalogTest)
#include "tst_TemplateCatalog.moc"
