#include "GifWriter.h"
#include "OctreeQuantizer.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage ReadBack(const QString& path) {
    QImageReader reader(path);
    const QImage image = reader.read();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A noisy colour field with a transparent corner and a half-transparent band, like a banner
// whose template does not cover the whole square.
QImage PhotoLikeBanner(int width, int height) {
    QRandomGenerator rng(7);
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int alpha = x + y < width / 3 ? 0 : (y % 20 < 3 ? static_cast<int>(rng.bounded(256)) : 255);
            image.setPixel(x, y,
                           qRgba((x * 255 / width + static_cast<int>(rng.bounded(9))) & 0xFF,
                                 (y * 255 / height) ^ static_cast<int>(rng.bounded(16)), (x * y) & 0xFF, alpha));
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

class TestGifWriter : public QObject {
    Q_OBJECT

private slots:
    void smallImages_readBackAsDrawn_data() {
        QTest::addColumn<QList<QRgb>>("pixels");  // unpremultiplied ARGB
        QTest::addColumn<QList<QRgb>>("expected");
        QTest::newRow("opaque black stays opaque") << QList<QRgb>{qRgb(0, 0, 0)} << QList<QRgb>{qRgb(0, 0, 0)};
        QTest::newRow("black beside transparency") << QList<QRgb>{qRgba(0, 0, 0, 0), qRgb(0, 0, 0), qRgb(255, 255, 255)}
                                                   << QList<QRgb>{0, qRgb(0, 0, 0), qRgb(255, 255, 255)};
        QTest::newRow("alpha 127 is transparent, 128 flattened onto black")
            << QList<QRgb>{qRgba(255, 0, 0, 127), qRgba(255, 255, 255, 128), qRgba(200, 100, 50, 255)}
            << QList<QRgb>{0, qRgb(128, 128, 128), qRgb(200, 100, 50)};
        QTest::newRow("nothing opaque") << QList<QRgb>{qRgba(9, 9, 9, 0), qRgba(0, 0, 0, 0)} << QList<QRgb>{0, 0};
        QTest::newRow("only entry 0 of the octree is opaque too")
            << QList<QRgb>{qRgb(3, 3, 3), qRgb(250, 250, 250), qRgba(0, 0, 0, 0)}
            << QList<QRgb>{qRgb(3, 3, 3), qRgb(250, 250, 250), 0};
    }

    void smallImages_readBackAsDrawn() {
        QFETCH(QList<QRgb>, pixels);
        QFETCH(QList<QRgb>, expected);
        QImage banner(static_cast<int>(pixels.size()), 2, QImage::Format_ARGB32);
        for (int x = 0; x < banner.width(); ++x) {
            banner.setPixel(x, 0, pixels[x]);
            banner.setPixel(x, 1, pixels[x]);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("b.gif"));
        const FileResult result = SaveAsGif(banner.convertToFormat(QImage::Format_ARGB32_Premultiplied), path);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.path, path);
        QVERIFY(ReadAll(path).startsWith("GIF89a"));
        const QImage read = ReadBack(path);
        QCOMPARE(read.size(), banner.size());
        for (int x = 0; x < read.width(); ++x) {
            for (int y = 0; y < 2; ++y) {
                if (qAlpha(expected[x]) == 0) {
                    QCOMPARE(qAlpha(read.pixel(x, y)), 0);
                } else {
                    QCOMPARE(read.pixel(x, y), expected[x]);
                }
            }
        }
    }

    // Every opaque pixel shows the colour of its octree leaf; the rest are see-through.
    void manyColours_matchTheQuantizerShiftedByOne() {
        const QImage banner = PhotoLikeBanner(240, 180);
        OctreeQuantizer quantizer(255);
        for (int y = 0; y < banner.height(); ++y) {
            for (int x = 0; x < banner.width(); ++x) {
                if (qAlpha(banner.pixel(x, y)) >= 128) {
                    quantizer.AddColor(reinterpret_cast<const QRgb*>(banner.constScanLine(y))[x]);
                }
            }
        }
        QVERIFY(quantizer.LeafCount() > 200);
        const QList<QRgb> palette = quantizer.BuildPalette();

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("many.gif"));
        const FileResult result = SaveAsGif(banner, path);
        QVERIFY2(result.ok(), qPrintable(result.error));
        const QImage read = ReadBack(path);
        QCOMPARE(read.size(), banner.size());
        for (int y = 0; y < banner.height(); ++y) {
            for (int x = 0; x < banner.width(); ++x) {
                const QRgb flat = reinterpret_cast<const QRgb*>(banner.constScanLine(y))[x];
                if (qAlpha(flat) < 128) {
                    QCOMPARE(qAlpha(read.pixel(x, y)), 0);
                } else {
                    QCOMPARE(read.pixel(x, y), palette[quantizer.IndexOf(flat)]);
                }
            }
        }
    }

    // What the encoder cannot write is refused before the file is touched; the files layer's own
    // refusals are tested with it.
    void failure_reportsPathAndReason_keepsOldFile_data() {
        QTest::addColumn<QImage>("banner");
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("null image") << QImage() << QStringLiteral("empty");
        QTest::newRow("too wide for a GIF")
            << QImage(70000, 1, QImage::Format_ARGB32_Premultiplied) << QStringLiteral("larger");
    }

    void failure_reportsPathAndReason_keepsOldFile() {
        QFETCH(QImage, banner);
        QFETCH(QString, reasonPart);
        QTemporaryDir dir;
        const QString old = dir.filePath(QStringLiteral("old.gif"));
        QVERIFY(WriteAll(old, "previous contents"));
        const FileResult result = SaveAsGif(banner, old);
        QVERIFY(!result.ok());
        QCOMPARE(result.path, old);
        QVERIFY2(result.error.contains(reasonPart), qPrintable(result.error));
        QCOMPARE(ReadAll(old), QByteArray("previous contents"));
    }
};

QTEST_GUILESS_MAIN(TestGifWriter)
#include "tst_GifWriter.moc"
