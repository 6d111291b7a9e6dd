#include "GifWriter.h"
#include "PhotoLikeBanner.h"
#include "TemplateImage.h"
#include "TestFiles.h"

#include <QCryptographicHash>
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

// Pixels drawn at random from `colours` random colours, every fifth of them with a random alpha.
QImage Noise(int width, int height, int colours, quint32 seed) {
    QRandomGenerator rng(seed);
    QList<QRgb> palette;
    for (int i = 0; i < colours; ++i) {
        palette.append(rng.generate() | (i % 5 == 4 ? 0u : 0xFF000000u));
    }
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, palette[rng.bounded(colours)]);
        }
    }
    return image;
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

    // The exact bytes written for the shipped templates, the benchmarks' banners, and noise that
    // gives every palette width, single pixels, long runs and a full code table many times over.
    void goldenInputs_giveTheRecordedBytes_data() {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QByteArray>("sha256");
        QFile file(QStringLiteral(VORNET_SOURCE_DIR "/tests/banner/golden/gif-hashes.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.isEmpty() && !line.startsWith('#')) {
                const QString input = QString::fromUtf8(line.mid(65));
                QTest::newRow(qPrintable(input)) << input.split(u' ') << line.left(64);
            }
        }
    }

    void goldenInputs_giveTheRecordedBytes() {
        QFETCH(QStringList, input);
        QFETCH(QByteArray, sha256);
        QImage banner;
        if (input[0] == u"template") {
            banner = LoadTemplateImage(QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/") + input[1]).image;
        } else if (input[0] == u"photo") {
            banner = PhotoLikeBanner(input[1].toInt());
        } else if (input[0] == u"noise") {
            banner = Noise(input[1].toInt(), input[2].toInt(), input[3].toInt(), input[4].toUInt());
        }
        QVERIFY(!banner.isNull());
        QCOMPARE(QCryptographicHash::hash(EncodeBannerGif(banner), QCryptographicHash::Sha256).toHex(), sha256);
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
