#include "BannerView.h"
#include "TestGif.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QRgb kRed = qRgb(200, 0, 0);
const QRgb kBlue = qRgb(0, 0, 200);
const QRgb kGreen = qRgb(0, 160, 0);
const QRgb kYellow = qRgb(220, 220, 0);

// Quadrants red, blue (top right), green (bottom left), yellow.
QImage Quadrants(int size) {
    QImage image(size, size, QImage::Format_RGB32);
    const int half = size / 2;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            image.setPixel(x, y, y < half ? (x < half ? kRed : kBlue) : (x < half ? kGreen : kYellow));
        }
    }
    return image;
}

bool AllPixels(const QImage& image, QRgb color) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != color) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

class TestBannerView : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString SaveTemplate(const QImage& image) {
        const QString path = dir.filePath(QStringLiteral("template.gif"));
        if (!WriteTestGif(path, image)) {
            qFatal("cannot write the test template");
        }
        return path;
    }

    static QImage Grab(BannerView& view) { return view.grab().toImage().convertToFormat(QImage::Format_RGB32); }

private slots:
    void beforeTemplate_onlyWhite() {
        BannerView view;
        view.resize(120, 140);
        view.SetLine(0, {QStringLiteral("Line 1"), {}, qRgb(0, 0, 0), true});
        QVERIFY(AllPixels(Grab(view), qRgb(255, 255, 255)));
    }

    // The banner fills the whole widget whatever its size or shape; transparent parts show white.
    void banner_isScaledIntoTheWholeWidget_data() {
        QTest::addColumn<QSize>("widget");
        QTest::addColumn<int>("bannerSize");
        QTest::addColumn<bool>("left");

        QTest::newRow("300 shown in 318 x 345") << QSize(318, 345) << 0 << false;
        QTest::newRow("500 shown smaller") << QSize(160, 120) << 500 << false;
        QTest::newRow("left corner mirrors") << QSize(200, 200) << 0 << true;
    }

    void banner_isScaledIntoTheWholeWidget() {
        QFETCH(QSize, widget);
        QFETCH(int, bannerSize);
        QFETCH(bool, left);

        BannerView view;
        view.resize(widget);
        view.LoadTemplate(SaveTemplate(Quadrants(bannerSize == 0 ? 300 : bannerSize)));
        if (bannerSize != 0) {
            view.SetBannerSize(bannerSize);
        }
        view.SetSide(left ? BannerSide::Left : BannerSide::Right);
        const QImage shown = Grab(view);
        QCOMPARE(shown.size(), widget);
        const int w = widget.width();
        const int h = widget.height();
        QCOMPARE(shown.pixel(w / 4, h / 4), left ? kBlue : kRed);
        QCOMPARE(shown.pixel(3 * w / 4, h / 4), left ? kRed : kBlue);
        QCOMPARE(shown.pixel(w / 4, 3 * h / 4), left ? kYellow : kGreen);
        QCOMPARE(shown.pixel(3 * w / 4, 3 * h / 4), left ? kGreen : kYellow);
        QCOMPARE(shown.pixel(0, 0), left ? kBlue : kRed);
        QCOMPARE(shown.pixel(w - 1, h - 1), left ? kGreen : kYellow);
    }

    void changes_areShownAtOnce() {
        BannerView view;
        view.resize(100, 100);
        view.LoadTemplate(SaveTemplate(Quadrants(100)));  // 100 wide: the default 300 square is offset
        view.SetBannerSize(300);
        QImage shown = Grab(view);
        QCOMPARE(shown.pixel(40, 40), kRed);                 // banner (120, 120): template (20, 20)
        QCOMPARE(shown.pixel(60, 60), kYellow);              // banner (180, 180): template (80, 80)
        QCOMPARE(shown.pixel(5, 5), qRgb(255, 255, 255));    // before the template
        QCOMPARE(shown.pixel(75, 75), qRgb(255, 255, 255));  // beyond it

        view.SetSide(BannerSide::Left);
        shown = Grab(view);
        QCOMPARE(shown.pixel(60, 40), kRed);
        QCOMPARE(shown.pixel(40, 40), kBlue);

        view.LoadTemplate(dir.filePath(QStringLiteral("no such file")));
        QVERIFY(AllPixels(Grab(view), qRgb(255, 255, 255)));
    }
};

QTEST_MAIN(TestBannerView)
#include "tst_BannerView.moc"
