#include "TemplatePreview.h"
#include "TestGif.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every pixel tells where it came from, within 15 pixels either way (a GIF holds 255 colours):
// red and green carry x and y modulo 15. Never white, so a white pixel in the box is background.
constexpr int kCycle = 15;

QImage PositionImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(16 * (x % kCycle), 16 * (y % kCycle), 64));
        }
    }
    return image;
}

QPoint SourceOf(QRgb pixel) {
    return {qRed(pixel) / 16, qGreen(pixel) / 16};
}

QImage Shown(TemplatePreview& box) {
    return box.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool AllWhite(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

class TemplatePreviewTest : public QObject {
    Q_OBJECT

private slots:
    void beforeAnySelection_showsFramedPrompt() {
        TemplatePreview box;
        box.resize(192, 150);
        const QImage shown = Shown(box);
        const QRgb black = qRgb(0, 0, 0);
        for (int x = 0; x < 192; x += 7) {
            QCOMPARE(shown.pixel(x, 0), black);
            QCOMPARE(shown.pixel(x, 149), black);
        }
        for (int y = 0; y < 150; y += 7) {
            QCOMPARE(shown.pixel(0, y), black);
            QCOMPARE(shown.pixel(191, y), black);
        }
        QCOMPARE(shown.pixel(5, 5), qRgb(255, 255, 255));
        // The text sits in the middle band and is centred left to right.
        int left = 192;
        int right = -1;
        for (int y = 1; y < 149; ++y) {
            for (int x = 1; x < 191; ++x) {
                if (qGray(shown.pixel(x, y)) < 128) {
                    QVERIFY2(y > 55 && y < 95, "prompt text outside the middle");
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        QVERIFY(right > left + 40);
        QVERIFY(qAbs(left - (191 - right)) <= 3);
    }

    void template_isShownUnscaledFromItsCropOffset_data() {
        QTest::addColumn<QSize>("imageSize");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QPoint>("expected");  // (-1, -1): white background
        QTest::newRow("300 px: offset 54, top left") << QSize(300, 300) << QPoint(0, 0) << QPoint(54, 54);
        QTest::newRow("300 px: bottom right") << QSize(300, 300) << QPoint(191, 149) << QPoint(245, 203);
        QTest::newRow("wider than tall: width's offset on both axes")
            << QSize(400, 300) << QPoint(0, 0) << QPoint(104, 104);
        QTest::newRow("offset runs below a short image") << QSize(400, 200) << QPoint(10, 96) << QPoint(-1, -1);
        QTest::newRow("narrow: centred across") << QSize(100, 300) << QPoint(46, 0) << QPoint(0, 75);
        QTest::newRow("narrow: white beside") << QSize(100, 300) << QPoint(45, 0) << QPoint(-1, -1);
        QTest::newRow("small: centred both ways, first pixel") << QSize(100, 60) << QPoint(46, 45) << QPoint(0, 0);
        QTest::newRow("small: last pixel") << QSize(100, 60) << QPoint(145, 104) << QPoint(99, 59);
        QTest::newRow("small: white after it") << QSize(100, 60) << QPoint(146, 104) << QPoint(-1, -1);
        QTest::newRow("box size exactly") << QSize(192, 150) << QPoint(0, 0) << QPoint(0, 0);
    }
    void template_isShownUnscaledFromItsCropOffset() {
        QFETCH(QSize, imageSize);
        QFETCH(QPoint, at);
        QFETCH(QPoint, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"t.gif"_qs);
        QVERIFY(WriteTestGif(path, PositionImage(imageSize.width(), imageSize.height())));
        TemplatePreview box;
        box.resize(192, 150);
        box.ShowTemplate(path);
        const QRgb pixel = Shown(box).pixel(at);
        if (expected == QPoint(-1, -1)) {
            QCOMPARE(pixel, qRgb(255, 255, 255));
        } else {
            QCOMPARE(SourceOf(pixel), QPoint(expected.x() % kCycle, expected.y() % kCycle));
        }
    }

    void transparentPixels_showWhite() {
        QTemporaryDir dir;
        QImage image(300, 300, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        image.setPixel(54, 54, qRgb(0, 0, 0x21));
        const QString path = dir.filePath(u"t.gif"_qs);
        QVERIFY(WriteTestGif(path, image));
        TemplatePreview box;
        box.resize(192, 150);
        box.ShowTemplate(path);
        const QImage shown = Shown(box);
        QCOMPARE(shown.pixel(0, 0), qRgb(0, 0, 0x21));
        QCOMPARE(shown.pixel(1, 0), qRgb(255, 255, 255));
        QCOMPARE(shown.pixel(100, 100), qRgb(255, 255, 255));
    }

    void unloadableTemplate_leavesPlainWhite_data() {
        QTest::addColumn<QString>("name");  // created as a text file unless empty
        QTest::newRow("empty path") << QString();
        QTest::newRow("missing file") << u"missing.gif"_qs;
        QTest::newRow("not an image") << u"bad.gif"_qs;
    }
    void unloadableTemplate_leavesPlainWhite() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QString path;
        if (!name.isEmpty()) {
            path = dir.filePath(name);
            if (name == u"bad.gif") {
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("plain text");
            }
        }
        TemplatePreview box;
        box.resize(192, 150);
        box.ShowTemplate(path);
        QVERIFY(AllWhite(Shown(box)));

        // Also after a good template: the old picture goes, the prompt does not come back.
        const QString good = dir.filePath(u"good.gif"_qs);
        QVERIFY(WriteTestGif(good, PositionImage(300, 300)));
        box.ShowTemplate(good);
        QVERIFY(!AllWhite(Shown(box)));
        box.ShowTemplate(path);
        QVERIFY(AllWhite(Shown(box)));
    }
};

QTEST_MAIN(TemplatePreviewTest)
#include "tst_TemplatePreview.moc"
