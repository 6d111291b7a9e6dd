#include "DataFolder.h"
#include "DataTable.h"
#include "TemplateCatalog.h"
#include "TemplateImage.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

// A file of the hand-made GIFs in gifs/ (see gifs/refused.txt).
QString Gif(const QString& name) {
    return QFINDTESTDATA("gifs/") + name;
}

}  // namespace

class tst_TemplateCatalog : public QObject {
    Q_OBJECT

private slots:
    // Which files become entries, in which order, with which companion and image (scans.txt);
    // outside the entries every accessor gives nothing.
    void scan_data() { AddTableRows(QFINDTESTDATA("scans.txt")); }
    void scan() {
        QFETCH(QStringList, row);
        QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(root.mkdir(u"s"_qs));
        for (const QString& file : row[0].split(u' ')) {
            const QString path = dir.filePath(file.section(u':', 0, 0));
            const QString kind = file.section(u':', 1);
            QVERIFY(root.mkpath(file.section(u'/', 0, 0)));
            if (kind == u"folder") {
                QVERIFY(root.mkdir(path));
            } else if (kind == u"pipe") {
                QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            } else if (!file.endsWith(u'/')) {
                QVERIFY(WriteAll(path, kind == u"text" ? "text" : ReadAll(Gif(u"red.gif"_qs))));
            }
        }
        TemplateCatalog catalog;
        int count = catalog.Scan(TemplateSources{dir.filePath(u"s/"_qs), dir.filePath(u"u"_qs)});
        if (row[1] != u"-") {
            count = catalog.Scan(dir.filePath(row[1]));
        }
        QStringList entries;
        for (int i = 0; i < catalog.Count(); ++i) {
            QVERIFY(catalog.PathAt(i).startsWith(dir.path() + u'/'));
            const QString companion = QFileInfo(catalog.CompanionPathAt(i)).fileName();
            const QImage image = catalog.BitmapAt(i);
            entries << catalog.PathAt(i).mid(dir.path().size() + 1) +
                           (companion.isEmpty() ? u""_qs : u'+' + companion) + (image.isNull() ? u"!"_qs : u""_qs);
            QCOMPARE(image.size(), image.isNull() ? QSize(0, 0) : QSize(2, 2));
        }
        QCOMPARE(entries.isEmpty() ? u"-"_qs : entries.join(u' '), row[2]);
        QCOMPARE(QString::number(count), row[3]);
        for (const int outside : {-1, catalog.Count(), 1000000}) {
            QVERIFY(!catalog.IsValidIndex(outside));
            QVERIFY(catalog.PathAt(outside).isEmpty() && catalog.CompanionPathAt(outside).isEmpty());
            QVERIFY(catalog.BitmapAt(outside).isNull());
        }
    }

    // The grid draws the key colour see-through, so transparent pixels come out in it.
    void transparentPixels_comeOutInKeyColour() {
        TemplateCatalog catalog;
        QVERIFY(catalog.Scan(Gif(u"like-qt"_qs)) > 0);
        QList<QRgb> pixels;
        for (int i = 0; i < catalog.Count(); ++i) {
            if (catalog.PathAt(i).endsWith(u"/transparent-index.gif")) {
                const QImage image = catalog.BitmapAt(i);
                QVERIFY(!image.hasAlphaChannel());
                for (int p = 0; p < 6; ++p) {
                    pixels << image.pixel(p % 3, p / 3);
                }
            }
        }
        // Red, transparent, blue; green, red, transparent.
        const QList<QRgb> expected{qRgb(255, 0, 0), TemplateKeyColor, qRgb(0, 0, 255),
                                   qRgb(0, 255, 0), qRgb(255, 0, 0),  TemplateKeyColor};
        QCOMPARE(pixels, expected);
    }

    // What the templates looked like when Qt's reader decoded them, they still look like: every
    // shipped template and each shape a first image can take (gifs/like-qt), pixel for pixel,
    // transparent ones included, colour and all; from memory and from the file alike.
    void decoder_givesQtsPixels_data() {
        QTest::addColumn<QString>("path");
        for (const QString& folder : {QStringLiteral(VORNET_SOURCE_DIR "/data/vornets"), Gif(u"like-qt"_qs)}) {
            for (const QFileInfo& file : QDir(folder).entryInfoList({u"*.gif"_qs}, QDir::Files)) {
                QTest::newRow(qPrintable(file.fileName())) << file.filePath();
            }
        }
    }
    void decoder_givesQtsPixels() {
        QFETCH(QString, path);
        const TemplateImage decoded = DecodeTemplate(ReadAll(path));
        QVERIFY2(decoded.status.Ok(), qPrintable(decoded.status.error));
        QCOMPARE(decoded.image.convertToFormat(QImage::Format_ARGB32),
                 QImage::fromData(ReadAll(path), "GIF").convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(LoadTemplateImage(path).image, decoded.image);
    }

    // Every cut before the end of the image's data is refused too (the trailer is not needed).
    void decoder_refusesAllButOneSoundGif_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray red = ReadAll(Gif(u"red.gif"_qs));
        for (qsizetype size = 0; size < red.size() - 1; ++size) {
            QTest::addRow("cut to %d bytes", int(size)) << red.left(size) << u"truncated"_qs;
        }
        for (const QStringList& row : TableRows(Gif(u"refused.txt"_qs))) {
            QTest::newRow(qPrintable(row[0])) << ReadAll(Gif(u"refused/"_qs + row[0])) << row[1];
        }
    }
    void decoder_refusesAllButOneSoundGif() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QVERIFY(!bytes.isEmpty() || reason == u"truncated");
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
        QVERIFY(QDir(folder).entryList({u"*.gif"_qs}).size() > catalog.Count());
    }

    void dataFolder_fallsBackToTheInstalledData() {
        QCOMPARE(DataFolder(u"no-such-data"_qs),
                 QDir::cleanPath(QCoreApplication::applicationDirPath() + u"/../share/vornetad/no-such-data"_qs) +
                     u'/');
    }
};

QTEST_GUILESS_MAIN(tst_TemplateCatalog)
#include "tst_TemplateCatalog.moc"
