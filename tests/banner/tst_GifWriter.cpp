#include "DataTable.h"
#include "PhotoLikeBanner.h"
#include "TestFiles.h"
#include "TestPixels.h"
#include "banner/GifWriter.h"
#include "banner/TemplateImage.h"

#include <QCryptographicHash>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

class tst_GifWriter : public QObject {
    Q_OBJECT

private slots:
    void smallImages_readBackAsDrawn_data() { AddTableRows(QFINDTESTDATA("readback.txt")); }
    void smallImages_readBackAsDrawn() {
        QFETCH(QStringList, row);
        const QStringList drawn = row[0].split(u' ');
        // Two rows alike.
        const QImage banner = Painted({int(drawn.size()), 2}, [&](int x, int) { return drawn[x].toUInt(nullptr, 16); });
        QTemporaryDir dir;
        const QString path = dir.filePath(u"b.gif"_qs);
        const FileResult result = SaveAsGif(banner.convertToFormat(QImage::Format_ARGB32_Premultiplied), path);
        QVERIFY2(result.Ok(), qPrintable(result.error));
        const QImage read = QImage(path).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(read.size(), banner.size());
        QStringList back;
        for (int i = 0; i < banner.width() * 2; ++i) {
            const QRgb pixel = read.pixel(i % banner.width(), i / banner.width());
            back << QString::number(qAlpha(pixel) == 0 ? 0 : pixel, 16).rightJustified(8, u'0');
        }
        QCOMPARE(back.join(u' '), row[1] + u' ' + row[1]);
    }

    // The exact bytes written for the shipped templates, the benchmarks' banners, and noise that
    // gives every palette width, single pixels, long runs and a full code table many times over.
    void goldenInputs_giveTheRecordedBytes_data() { AddTableRows(QFINDTESTDATA("golden/gif-hashes.txt")); }
    void goldenInputs_giveTheRecordedBytes() {
        QFETCH(QStringList, row);
        const QStringList input = QString::fromUtf8(QTest::currentDataTag()).split(u' ');
        QImage banner;
        if (input[0] == u"template") {
            banner = LoadTemplateImage(QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/") + input[1]).image;
        } else if (input[0] == u"photo") {
            banner = PhotoLikeBanner(input[1].toInt());
        } else {
            // Pixels drawn at random from a number of random colours, every fifth with a random alpha.
            QRandomGenerator rng(input[4].toUInt());
            QList<QRgb> palette(input[3].toInt());
            for (qsizetype i = 0; i < palette.size(); ++i) {
                palette[i] = rng.generate() | (i % 5 == 4 ? 0u : 0xFF000000u);
            }
            banner = Painted({input[1].toInt(), input[2].toInt()},
                             [&](int, int) { return palette[rng.bounded(int(palette.size()))]; });
        }
        QVERIFY(!banner.isNull());
        QCOMPARE(QCryptographicHash::hash(EncodeBannerGif(banner).value, QCryptographicHash::Sha256).toHex(),
                 row[0].toLatin1());
    }

    // What the encoder cannot write (no pixels; a side over 65535) is refused before the file is
    // touched; the files layer's own refusals are tested with it.
    void failure_reportsPathAndReason_keepsOldFile() {
        QTemporaryDir dir;
        const QString old = dir.filePath(u"old.gif"_qs);
        QVERIFY(WriteAll(old, "previous contents"));
        for (const auto& [banner, reason] :
             {std::pair(QImage(), u"could not be drawn"_qs),
              std::pair(QImage(70000, 1, QImage::Format_ARGB32_Premultiplied), u"larger"_qs)}) {
            const FileResult result = SaveAsGif(banner, old);
            QCOMPARE(result.path, old);
            QVERIFY2(!result.Ok() && result.error.contains(reason), qPrintable(result.error));
            QCOMPARE(ReadAll(old), QByteArray("previous contents"));
        }
    }
};

QTEST_GUILESS_MAIN(tst_GifWriter)
#include "tst_GifWriter.moc"
