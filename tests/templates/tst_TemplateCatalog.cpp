#include "DataFolder.h"
#include "GifEncoding.h"
#include "TemplateCatalog.h"
#include "TemplateImage.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

// What a test GIF holds. Indexes are below 4; the pixel data is LZW with a clear code before every
// second pixel, so the code width stays at 3 bits and no string table is ever built: valid for
// every decoder, and simple enough to write here.
struct Gif {
    int width = 2;
    int height = 2;
    QByteArray pixels = QByteArray(4, '\0');
    int screenWidth = -1;  // -1: the image's size
    int screenHeight = -1;
    int left = 0;
    int top = 0;
    int transparent = -1;
    int background = 0;
    int globalBits = 2;  // 2^globalBits entries; 0: no global table
    bool localTable = false;
    bool interlaced = false;
    int codeSize = 2;

    QByteArray Bytes() const;
};

void PutWord(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

// Red, green, blue, white, and four greys for tables of eight entries.
void PutTable(QByteArray& out, int bits) {
    static const unsigned char kColors[24] = {0xFF, 0,    0,    0,    0xFF, 0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF,
                                              0x20, 0x20, 0x20, 0x40, 0x40, 0x40, 0x60, 0x60, 0x60, 0x80, 0x80, 0x80};
    out.append(reinterpret_cast<const char*>(kColors), 3 << bits);
}

QByteArray Gif::Bytes() const {
    QByteArray gif("GIF89a");
    PutWord(gif, screenWidth < 0 ? width : screenWidth);
    PutWord(gif, screenHeight < 0 ? height : screenHeight);
    gif.append(char(globalBits > 0 ? 0xF0 | (globalBits - 1) : 0x70));
    gif.append(char(background));
    gif.append('\0');
    if (globalBits > 0) {
        PutTable(gif, globalBits);
    }
    if (transparent >= 0) {
        gif.append("\x21\xF9\x04\x01\x00\x00", 6);
        gif.append(char(transparent));
        gif.append('\0');
    }
    gif.append(',');
    PutWord(gif, left);
    PutWord(gif, top);
    PutWord(gif, width);
    PutWord(gif, height);
    gif.append(char((localTable ? 0x81 : 0) | (interlaced ? 0x40 : 0)));
    if (localTable) {
        PutTable(gif, 2);
    }
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
    gif.append(char(codeSize));
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
    return Gif().Bytes();
}

// A gif with one change to the defaults.
template <typename Change>
QByteArray GifWith(Change change) {
    Gif gif;
    change(gif);
    return gif.Bytes();
}

// A shipped template's pixels written interlaced by our own encoder, so that LZW strings run across
// rows that the four passes put apart.
QByteArray Interlaced(const QByteArray& shipped) {
    const QImage image = DecodeTemplate(shipped).image;
    QByteArray indices;
    for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
        for (int y = start; y < image.height(); y += step) {
            indices.append(reinterpret_cast<const char*>(image.constScanLine(y)), image.width());
        }
    }
    QByteArray gif = EncodeIndexedGif(image.width(), image.height(), image.colorTable(),
                                      reinterpret_cast<const uchar*>(indices.constData()));
    gif[gif.indexOf("\x21\xF9\x04") + 8 + 9] = 0x40;  // the image descriptor's flags
    return gif;
}

QImage QtDecoded(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "gif");
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Each entry's file name, followed by its companion's in brackets when it has one.
QStringList NamesOf(const TemplateCatalog& catalog) {
    QStringList names;
    for (int i = 0; i < catalog.Count(); ++i) {
        const QString companion = catalog.CompanionPathAt(i);
        names.append(QFileInfo(catalog.PathAt(i)).fileName() +
                     (companion.isEmpty() ? QString() : u" [" + QFileInfo(companion).fileName() + u']'));
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
        QTest::newRow("companions at 2x hidden, each offered with its template")
            << QStringList{u"a.gif"_qs,    u"a@2x.gif"_qs, u"b@2x.gif"_qs, u"c.GIF"_qs,
                           u"c@2x.GIF"_qs, u"d.gif"_qs,    u"d@2x.GIF"_qs, u"e@2X.gif"_qs}
            << QStringList{u"a.gif [a@2x.gif]"_qs, u"c.GIF [c@2x.GIF]"_qs, u"d.gif"_qs, u"e@2X.gif"_qs};
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

    // The shipped folder first, then the user's, each under the same rules (sorted, shadowless
    // variants and 2x companions hidden, refused files kept without an image). Without user
    // templates the catalog is the shipped folder's alone. Names: "s/" shipped, "u/" the user's;
    // a name after "!" holds no GIF.
    void scan_shippedThenUserTemplates_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected");
        const QStringList shipped{u"s/z.gif"_qs, u"s/m.gif"_qs, u"s/mb.gif"_qs, u"s/m@2x.gif"_qs};
        const QStringList shippedOnly{u"s/m.gif"_qs, u"s/z.gif"_qs};
        QTest::newRow("no user folder") << shipped << shippedOnly;
        QTest::newRow("user folder without templates") << shipped + QStringList{u"u/notes.txt"_qs} << shippedOnly;
        QTest::newRow("user's after the shipped ones, each sorted")
            << shipped + QStringList{u"u/mine.gif"_qs, u"u/a.gif"_qs}
            << shippedOnly + QStringList{u"u/a.gif"_qs, u"u/mine.gif"_qs};
        QTest::newRow("user's hidden names")
            << shipped + QStringList{u"u/x.gif"_qs, u"u/xb.gif"_qs, u"u/x@2x.gif"_qs, u"u/xb@2x.gif"_qs}
            << shippedOnly + QStringList{u"u/x.gif"_qs};
        QTest::newRow("refused file in the user folder")
            << shipped + QStringList{u"u/!broken.gif"_qs, u"u/ok.gif"_qs}
            << shippedOnly + QStringList{u"u/!broken.gif"_qs, u"u/ok.gif"_qs};
        QTest::newRow("no shipped templates") << QStringList{u"u/a.gif"_qs} << QStringList{u"u/a.gif"_qs};
    }
    void scan_shippedThenUserTemplates() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"s"_qs));
        for (const QString& file : files) {
            QDir(dir.path()).mkpath(file.section(u'/', 0, 0));
            WriteFile(dir.filePath(QString(file).remove(u'!')), file.contains(u'!') ? "text" : RedGif());
        }
        TemplateCatalog catalog;
        QCOMPARE(catalog.Scan(TemplateSources{dir.filePath(u"s/"_qs), dir.filePath(u"u"_qs)}), expected.size());
        for (int i = 0; i < catalog.Count(); ++i) {
            QCOMPARE(catalog.PathAt(i), dir.filePath(QString(expected[i]).remove(u'!')));
            QCOMPARE(catalog.BitmapAt(i).isNull(), expected[i].contains(u'!'));
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
        QTest::newRow("companions alone empty it") << QStringList{u"z@2x.gif"_qs} << 0 << QStringList{};
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

    // Entries the decoder refuses stay in the catalog without an image; a pipe is never opened.
    void undecodableEntries_keepTheirPathWithoutImage_data() {
        QTest::addColumn<QByteArray>("content");  // "<folder>", "<fifo>" or the file's bytes
        QTest::newRow("text file") << QByteArray("not an image at all");
        QTest::newRow("folder named x.gif") << QByteArray("<folder>");
        QTest::newRow("pipe named x.gif") << QByteArray("<fifo>");
        QTest::newRow("header claims 4097 wide") << GifWith([](Gif& g) { g.screenWidth = 4097; });
    }
    void undecodableEntries_keepTheirPathWithoutImage() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"x.gif"_qs);
        WriteFile(dir.filePath(u"a.gif"_qs), RedGif());
        if (content == "<folder>") {
            QVERIFY(QDir(dir.path()).mkdir(u"x.gif"_qs));
        } else if (content == "<fifo>") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            WriteFile(path, content);
        }
        WriteFile(dir.filePath(u"z.gif"_qs), RedGif());
        TemplateCatalog catalog;
        QCOMPARE(catalog.Scan(dir.path()), 3);
        QCOMPARE(catalog.PathAt(1), path);
        QVERIFY(catalog.BitmapAt(1).isNull());
        QVERIFY(!catalog.BitmapAt(0).isNull());
        QVERIFY(!catalog.BitmapAt(2).isNull());
    }

    void transparentPixels_comeOutInKeyColour() {
        QTemporaryDir dir;
        // Row 0: red, transparent (index 3), blue; row 1: green, red, transparent.
        WriteFile(dir.filePath(u"t.gif"_qs), GifWith([](Gif& g) {
                      g.width = 3;
                      g.pixels = QByteArray("\x00\x03\x02\x01\x00\x03", 6);
                      g.transparent = 3;
                  }));
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

    // What the templates looked like when Qt's reader decoded them, they still look like: every
    // shipped template and each shape a first image can take, pixel for pixel (transparent ones
    // included, colour and all).
    void decoder_givesQtsPixels_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QDir shipped(QStringLiteral(VORNET_SOURCE_DIR "/data/vornets"));
        const QStringList names = shipped.entryList({u"*.gif"_qs});
        QVERIFY(names.size() >= 10);
        QByteArray template0;
        for (const QString& name : names) {
            QFile file(shipped.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QTest::newRow(qPrintable(name)) << bytes;
            template0 = template0.isEmpty() ? bytes : template0;
        }
        QTest::newRow("interlaced, strings across rows") << Interlaced(template0);
        const QByteArray varied("\x00\x01\x02\x03\x01\x02\x03\x00\x02\x03\x00\x01\x03\x00\x01\x02\x00\x02", 18);
        QTest::newRow("transparent index") << GifWith([](Gif& g) {
            g.width = 3;
            g.pixels = QByteArray("\x00\x03\x02\x01\x00\x03", 6);
            g.transparent = 3;
        });
        // More than one read of the file takes.
        QTest::newRow("larger than 64 KiB") << GifWith([&](Gif& g) {
            g.width = 400;
            g.height = 400;
            g.pixels = varied.repeated(9000).left(160000);
        });
        QTest::newRow("interlaced") << GifWith([&](Gif& g) {
            g.height = 9;
            g.pixels = varied;
            g.interlaced = true;
        });
        QTest::newRow("inside a larger screen, transparent around") << GifWith([](Gif& g) {
            g.screenWidth = 5;
            g.screenHeight = 6;
            g.left = 1;
            g.top = 2;
            g.transparent = 1;
        });
        QTest::newRow("inside a larger screen, background around") << GifWith([](Gif& g) {
            g.screenWidth = 4;
            g.screenHeight = 3;
            g.left = 2;
            g.background = 2;
        });
        QTest::newRow("past the screen's edge") << GifWith([&](Gif& g) {
            g.width = 3;
            g.height = 6;
            g.pixels = varied;
            g.screenWidth = 2;
            g.screenHeight = 4;
            g.top = 1;
        });
        QTest::newRow("local table, black around") << GifWith([](Gif& g) {
            g.globalBits = 0;
            g.localTable = true;
            g.screenWidth = 3;
        });
        QTest::newRow("screen of no size") << GifWith([](Gif& g) {
            g.screenWidth = 0;
            g.screenHeight = 0;
            g.left = 1;
        });
        QTest::newRow("index past a two-colour table") << GifWith([](Gif& g) {
            g.globalBits = 1;
            g.pixels = QByteArray("\x00\x01\x02\x03", 4);
        });
        QTest::newRow("index past the table, transparency on") << GifWith([](Gif& g) {
            g.globalBits = 1;
            g.pixels = QByteArray("\x00\x01\x02\x03", 4);
            g.transparent = 0;
        });
    }
    void decoder_givesQtsPixels() {
        QFETCH(QByteArray, bytes);
        const TemplateImage decoded = DecodeTemplate(bytes);
        QVERIFY2(decoded.status.ok(), qPrintable(decoded.status.error));
        const QImage ours = decoded.image.convertToFormat(QImage::Format_ARGB32);
        const QImage qt = QtDecoded(bytes);
        QCOMPARE(ours.size(), qt.size());
        for (int y = 0; y < qt.height(); ++y) {
            for (int x = 0; x < qt.width(); ++x) {
                if (ours.pixel(x, y) != qt.pixel(x, y)) {
                    QFAIL(qPrintable(QStringLiteral("(%1, %2): %3, Qt %4")
                                         .arg(x)
                                         .arg(y)
                                         .arg(ours.pixel(x, y), 8, 16)
                                         .arg(qt.pixel(x, y), 8, 16)));
                }
            }
        }
        // Read from a file, the same image.
        QTemporaryDir dir;
        WriteFile(dir.filePath(u"t.gif"_qs), bytes);
        QCOMPARE(LoadTemplateImage(dir.filePath(u"t.gif"_qs)).image, decoded.image);
    }

    // Anything but one complete, sound first image within 4096 x 4096 pixels is refused, with why.
    void decoder_refusesAllButOneSoundGif_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray red = RedGif();
        // Every cut before the end of the image's data (the trailer after it is not needed).
        for (qsizetype size = 0; size < red.size() - 1; ++size) {
            QTest::addRow("cut to %d bytes", int(size)) << red.left(size) << u"truncated"_qs;
        }
        QTest::newRow("text") << QByteArray("plain text, not an image") << u"not a GIF image"_qs;
        QTest::newRow("no image") << red.left(25) + ';' << u"holds no image"_qs;
        QTest::newRow("no colour table") << GifWith([](Gif& g) { g.globalBits = 0; }) << u"no colour table"_qs;
        QTest::newRow("screen 4097 wide") << GifWith([](Gif& g) { g.screenWidth = 4097; })
                                          << u"screen of 4097 x 2 pixels is larger than 4096 x 4096"_qs;
        QTest::newRow("screen 65535 high") << GifWith([](Gif& g) { g.screenHeight = 65535; }) << u"screen of"_qs;
        QTest::newRow("image 4097 wide") << GifWith([](Gif& g) {
            g.screenWidth = 2;
            g.width = 4097;
        }) << u"image of 4097 x 2 pixels"_qs;
        QTest::newRow("no screen size, image reaching past 4096") << GifWith([](Gif& g) {
            g.screenWidth = 0;
            g.left = 4095;
        }) << u"screen of 4097 x 2 pixels"_qs;
        QTest::newRow("image of no pixels") << GifWith([](Gif& g) {
            g.width = 0;
            g.screenWidth = 2;
        }) << u"no pixels"_qs;
        QTest::newRow("pixels missing") << GifWith([](Gif& g) { g.pixels.chop(1); }) << u"ends before its image"_qs;
        QTest::newRow("first code a string") << GifWith([](Gif& g) { g.pixels[0] = 6; }) << u"LZW error"_qs;
        QTest::newRow("code past the table") << GifWith([](Gif& g) { g.pixels[1] = 7; }) << u"LZW error"_qs;
        QTest::newRow("code size 0") << GifWith([](Gif& g) { g.codeSize = 0; }) << u"LZW error"_qs;
        QTest::newRow("code size 9") << GifWith([](Gif& g) { g.codeSize = 9; }) << u"damaged"_qs;
    }
    void decoder_refusesAllButOneSoundGif() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const TemplateImage decoded = DecodeTemplate(bytes);
        QVERIFY(decoded.image.isNull());
        QVERIFY2(decoded.status.error.contains(reason), qPrintable(decoded.status.error));
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
