#include "Banner.h"

#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

// Every pixel of a test template is opaque and tells where it came from.
QRgb TemplatePixel(int x, int y) {
    return qRgb(x % 256, y % 256, 16 * (x / 256) + y / 256);
}

QImage TemplateImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, TemplatePixel(x, y));
        }
    }
    return image;
}

// The first pixel where the banner differs from the template square at (offset, offset), mirrored
// for the left corner, with transparency outside the template; empty when all agree.
QString FirstCropMismatch(const QImage& banner, int templateWidth, int templateHeight, int offset, bool mirror) {
    const int s = banner.width();
    for (int y = 0; y < s; ++y) {
        for (int x = 0; x < s; ++x) {
            const int tx = offset + (mirror ? s - 1 - x : x);
            const int ty = offset + y;
            const bool inside = tx >= 0 && tx < templateWidth && ty >= 0 && ty < templateHeight;
            const QRgb expected = inside ? TemplatePixel(tx, ty) : 0u;
            const QRgb actual = banner.pixel(x, y);
            if (actual != expected) {
                return QStringLiteral("(%1, %2): %3 instead of %4")
                    .arg(x)
                    .arg(y)
                    .arg(actual, 8, 16, QLatin1Char('0'))
                    .arg(expected, 8, 16, QLatin1Char('0'));
            }
        }
    }
    return {};
}

// The bounding box, in text space, of the banner's pixels that are at least half covered.
QRectF InkInTextSpace(const QImage& banner, const QTransform& textToBanner) {
    const QTransform toText = textToBanner.inverted();
    QRectF box;
    for (int y = 0; y < banner.height(); ++y) {
        for (int x = 0; x < banner.width(); ++x) {
            if (qAlpha(banner.pixel(x, y)) >= 128) {
                const QPointF p = toText.map(QPointF(x + 0.5, y + 0.5));
                box |= QRectF(p, QSizeF(1e-9, 1e-9));
            }
        }
    }
    return box;
}

BannerLine Line(const QString& text, const QString& face, int points, QRgb color = qRgb(0, 0, 100)) {
    BannerLine line;
    line.text = text;
    line.font.faceName = face;
    line.font.height = points;
    line.color = color;
    line.enabled = true;
    return line;
}

}  // namespace

class TestBanner : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString SaveTemplate(const QImage& image, const QString& name) {
        const QString path = dir.filePath(name);
        if (!image.save(path, "PNG")) {
            qFatal("cannot write the test template %s", qPrintable(path));
        }
        return path;
    }

    // A banner on a template that cannot be decoded: only the text has pixels.
    Banner TextOnly(const BannerLine& line) {
        Banner banner;
        banner.lines[0] = line;
        banner.LoadTemplate(dir.filePath(QStringLiteral("missing.png")));
        return banner;
    }

private slots:
    void freshModel_hasTheDefaultsAndNoBanner() {
        Banner banner;
        QCOMPARE(banner.size, 300);
        QCOMPARE(banner.bandWidth, 30);
        QCOMPARE(banner.cropOffset, 0);
        QCOMPARE(banner.side, BannerSide::Right);
        QVERIFY(std::abs(banner.diagonal - 424.264) < 1e-3);
        QCOMPARE(banner.EnabledLineCount(), 0);
        QVERIFY(!banner.HasTemplate());
        banner.Compose();
        QVERIFY(banner.Composed().isNull());

        // Without a template there is no width to centre on: the size changes, the crop stays.
        banner.SetBannerSize(200);
        QCOMPARE(banner.size, 200);
        QVERIFY(std::abs(banner.diagonal - std::sqrt(2.0) * 200) < 1e-9);
        QCOMPARE(banner.cropOffset, 0);
        QVERIFY(banner.Composed().isNull());
    }

    void crop_copiesTheSquarePixelForPixel_data() {
        QTest::addColumn<QSize>("first");
        QTest::addColumn<int>("resize");    // 0: keep the default size
        QTest::addColumn<QSize>("second");  // empty: no second template
        QTest::addColumn<bool>("left");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("offset");

        const QSize none;
        QTest::newRow("larger template, no resize: top-left square")
            << QSize(420, 420) << 0 << none << false << 300 << 0;
        QTest::newRow("200 on 300: central square") << QSize(300, 300) << 200 << none << false << 200 << 50;
        QTest::newRow("odd spare rounds down") << QSize(301, 301) << 200 << none << false << 200 << 50;
        QTest::newRow("offset from the width only, rows beyond transparent")
            << QSize(400, 200) << 200 << none << false << 200 << 100;
        QTest::newRow("narrower template, surroundings transparent")
            << QSize(100, 120) << 300 << none << false << 300 << -100;
        QTest::newRow("narrower by an odd amount rounds down") << QSize(99, 99) << 300 << none << false << 300 << -101;
        QTest::newRow("second template keeps the first one's offset")
            << QSize(300, 300) << 200 << QSize(500, 500) << false << 200 << 50;
        QTest::newRow("size above the limit is clamped") << QSize(600, 600) << 1000 << none << false << 500 << 50;
        QTest::newRow("size below the limit is clamped") << QSize(100, 100) << -7 << none << false << 50 << 25;
        QTest::newRow("left corner mirrors the square") << QSize(400, 300) << 200 << none << true << 200 << 100;
        QTest::newRow("left corner, narrower template") << QSize(150, 150) << 250 << none << true << 250 << -50;
    }

    void crop_copiesTheSquarePixelForPixel() {
        QFETCH(QSize, first);
        QFETCH(int, resize);
        QFETCH(QSize, second);
        QFETCH(bool, left);
        QFETCH(int, size);
        QFETCH(int, offset);

        Banner banner;
        banner.SetSide(left ? BannerSide::Left : BannerSide::Right);
        banner.LoadTemplate(SaveTemplate(TemplateImage(first.width(), first.height()), QStringLiteral("first.png")));
        if (resize != 0) {
            banner.SetBannerSize(resize);
        }
        QSize current = first;
        if (second.isValid()) {
            banner.LoadTemplate(
                SaveTemplate(TemplateImage(second.width(), second.height()), QStringLiteral("second.png")));
            current = second;
        }
        QCOMPARE(banner.size, size);
        QCOMPARE(banner.cropOffset, offset);
        const QImage& composed = banner.Composed();
        QCOMPARE(composed.size(), QSize(size, size));
        QCOMPARE(composed.format(), QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(composed.dotsPerMeterX(), 3780);
        QCOMPARE(composed.dotsPerMeterY(), 3780);
        const QString mismatch = FirstCropMismatch(composed, current.width(), current.height(), offset, left);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    void undecodableTemplate_givesTextOnTransparent_data() {
        QTest::addColumn<QByteArray>("content");  // empty: no file at all
        QTest::newRow("not an image") << QByteArray("GIF89a but not really");
        QTest::newRow("no file") << QByteArray();
    }

    void undecodableTemplate_givesTextOnTransparent() {
        QFETCH(QByteArray, content);
        const QString path = dir.filePath(QStringLiteral("broken.gif"));
        QFile::remove(path);
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        Banner banner;
        banner.lines[0] = Line(QStringLiteral("Line 1"), QStringLiteral("Times New Roman"), 18);
        banner.LoadTemplate(path);
        QVERIFY(banner.HasTemplate());
        banner.SetBannerSize(240);
        QCOMPARE(banner.Composed().size(), QSize(240, 240));
        QCOMPARE(banner.Composed().pixel(0, 239), 0u);
        QVERIFY(!InkInTextSpace(banner.Composed(), banner.TextTransform()).isEmpty());
    }

    void textTransform_mapsTextSpaceOntoTheCorner_data() {
        QTest::addColumn<bool>("left");
        QTest::addColumn<int>("size");
        QTest::addColumn<QPointF>("textPoint");

        for (const bool left : {false, true}) {
            const char* side = left ? "left" : "right";
            for (const int size : {300, 500, 50}) {
                for (const QPointF p :
                     {QPointF(0, 0), QPointF(0, 30), QPointF(100, 0), QPointF(212.5, 17.25), QPointF(-3, 40)}) {
                    QTest::addRow("%s S=%d (%g, %g)", side, size, p.x(), p.y()) << left << size << p;
                }
            }
        }
    }

    void textTransform_mapsTextSpaceOntoTheCorner() {
        QFETCH(bool, left);
        QFETCH(int, size);
        QFETCH(QPointF, textPoint);

        Banner banner;
        banner.SetBannerSize(size);
        banner.SetSide(left ? BannerSide::Left : BannerSide::Right);
        const double c = std::sqrt(0.5);
        const double b = banner.bandWidth;
        const double x = textPoint.x();
        const double y = textPoint.y();
        const QPointF expected =
            left ? QPointF(x * c + y * c, size - 1.5 * b - x * c + y * c) : QPointF((x - y + b) * c, (x + y - b) * c);
        const QPointF actual = banner.TextTransform().map(textPoint);
        QVERIFY2(std::abs(actual.x() - expected.x()) < 1e-4 && std::abs(actual.y() - expected.y()) < 1e-4,
                 qPrintable(QStringLiteral("(%1, %2) instead of (%3, %4)")
                                .arg(actual.x())
                                .arg(actual.y())
                                .arg(expected.x())
                                .arg(expected.y())));
    }

    void textTransform_cornersAreNotMirrorImages() {
        Banner banner;
        banner.SetSide(BannerSide::Left);
        const QPointF origin = banner.TextTransform().map(QPointF(0, 0));
        QVERIFY(std::abs(origin.x()) < 1e-9);
        QVERIFY(std::abs(origin.y() - 255.0) < 1e-9);
        banner.SetSide(BannerSide::Right);
        const QPointF diagonalStart = banner.TextTransform().map(QPointF(0, 30));
        QVERIFY(diagonalStart.manhattanLength() < 1e-9);
    }

    void lineTops_centreTheBlockWithTruncation_data() {
        using Ints = std::array<int, 3>;
        QTest::addColumn<int>("count");
        QTest::addColumn<Ints>("steps");
        QTest::addColumn<Ints>("offsets");
        QTest::addColumn<Ints>("tops");

        QTest::newRow("no line") << 0 << Ints{23, 23, 23} << Ints{5, 5, 5} << Ints{0, 0, 0};
        QTest::newRow("step 23 in 30") << 1 << Ints{23, 0, 0} << Ints{0, 0, 0} << Ints{3, 0, 0};
        QTest::newRow("step 35 truncates towards zero") << 1 << Ints{35, 0, 0} << Ints{0, 0, 0} << Ints{-2, 0, 0};
        QTest::newRow("step 31: -0.5 truncates to 0") << 1 << Ints{31, 0, 0} << Ints{0, 0, 0} << Ints{0, 0, 0};
        QTest::newRow("offset of line 1 moves it") << 1 << Ints{23, 0, 0} << Ints{-5, 0, 0} << Ints{-2, 0, 0};
        QTest::newRow("two lines, offsets 0 and 2") << 2 << Ints{23, 12, 0} << Ints{0, 2, 0} << Ints{-2, 23, 0};
        QTest::newRow("two lines, odd excess") << 2 << Ints{23, 10, 0} << Ints{0, 0, 0} << Ints{-1, 22, 0};
        QTest::newRow("three lines, each offset") << 3 << Ints{23, 13, 11} << Ints{1, -2, 4} << Ints{-7, 14, 31};
        QTest::newRow("steps of lines past the count are ignored")
            << 1 << Ints{20, 100, 100} << Ints{0, 9, 9} << Ints{5, 0, 0};
    }

    void lineTops_centreTheBlockWithTruncation() {
        using Ints = std::array<int, 3>;
        QFETCH(int, count);
        QFETCH(Ints, steps);
        QFETCH(Ints, offsets);
        QFETCH(Ints, tops);
        QCOMPARE(Banner::LineTops(30, count, steps, offsets), tops);
    }

    void lineStep_isLineSpacingMinusFourTruncated_data() {
        QTest::addColumn<QString>("face");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("step");

        // Line spacing at 96 dpi: 1.1499 em for the serif, 1.1504 em for the sans.
        QTest::newRow("Times New Roman 18: 27.59 px") << QStringLiteral("Times New Roman") << 18 << 23;
        QTest::newRow("Times New Roman 26: 39.86 px") << QStringLiteral("Times New Roman") << 26 << 35;
        QTest::newRow("Times New Roman 8: 12.27 px") << QStringLiteral("Times New Roman") << 8 << 8;
        QTest::newRow("Arial 10: 15.34 px") << QStringLiteral("Arial") << 10 << 11;
        QTest::newRow("no size: no font") << QStringLiteral("Times New Roman") << 0 << -4;
    }

    void lineStep_isLineSpacingMinusFourTruncated() {
        QFETCH(QString, face);
        QFETCH(int, points);
        QFETCH(int, step);

        Banner banner = TextOnly(Line(QStringLiteral("x"), face, points));
        QImage image = banner.Composed();
        QPainter painter(&image);
        QCOMPARE(banner.LineStep(painter, 0), step);
    }

    void line_isCentredInItsBoxAlongTheDiagonal_data() {
        QTest::addColumn<bool>("left");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("top");

        QTest::newRow("right, 18 pt") << false << 300 << 18 << 0 << 3;
        QTest::newRow("right, 26 pt, above the band") << false << 300 << 26 << 0 << -2;
        QTest::newRow("right, offset 4, 400 px") << false << 400 << 18 << 4 << 7;
        QTest::newRow("left, 18 pt") << true << 300 << 18 << 0 << 3;
        QTest::newRow("left, offset -5, 200 px") << true << 200 << 18 << -5 << -2;
    }

    // The ink of "HHH" runs from cap height above the baseline down to the baseline, and the
    // baseline lies one ascent below the top of the line's box.
    void line_isCentredInItsBoxAlongTheDiagonal() {
        QFETCH(bool, left);
        QFETCH(int, size);
        QFETCH(int, points);
        QFETCH(int, offset);
        QFETCH(int, top);

        BannerLine line = Line(QStringLiteral("HHH"), QStringLiteral("Times New Roman"), points);
        line.offset = offset;
        Banner banner = TextOnly(line);
        banner.SetBannerSize(size);
        banner.SetSide(left ? BannerSide::Left : BannerSide::Right);

        QFont font(QStringLiteral("Liberation Serif"));
        font.setPointSize(points);
        const QFontMetricsF metrics(font, &banner.Composed());
        const double baseline = top + metrics.ascent();
        const QRectF ink = InkInTextSpace(banner.Composed(), banner.TextTransform());
        QVERIFY2(std::abs(ink.bottom() - baseline) < 1.0, qPrintable(QString::number(ink.bottom())));
        QVERIFY2(std::abs(ink.top() - (baseline - metrics.capHeight())) < 1.0, qPrintable(QString::number(ink.top())));
        QVERIFY2(std::abs(ink.center().x() - banner.diagonal / 2) < 1.0, qPrintable(QString::number(ink.center().x())));
    }

    void style_onlyWeight700IsBold_data() {
        QTest::addColumn<int>("weight");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<bool>("underline");
        QTest::addColumn<bool>("strikeOut");
        QTest::addColumn<bool>("differs");

        QTest::newRow("weight 0") << 0 << false << false << false << false;
        QTest::newRow("weight 600") << 600 << false << false << false << false;
        QTest::newRow("weight 800") << 800 << false << false << false << false;
        QTest::newRow("weight 700") << 700 << false << false << false << true;
        QTest::newRow("italic") << 400 << true << false << false << true;
        QTest::newRow("underline") << 400 << false << true << false << true;
        QTest::newRow("strike-out") << 400 << false << false << true << true;
    }

    void style_onlyWeight700IsBold() {
        QFETCH(int, weight);
        QFETCH(bool, italic);
        QFETCH(bool, underline);
        QFETCH(bool, strikeOut);
        QFETCH(bool, differs);

        BannerLine line = Line(QStringLiteral("Banner"), QStringLiteral("Times New Roman"), 18);
        line.font.weight = 400;
        const QImage regular = TextOnly(line).Composed();
        line.font.weight = weight;
        line.font.italic = italic;
        line.font.underline = underline;
        line.font.strikeOut = strikeOut;
        QCOMPARE(TextOnly(line).Composed() != regular, differs);
    }

    void face_missingFallsBackToSansSerif_data() {
        QFont generic(QStringLiteral("sans-serif"));
        generic.setStyleHint(QFont::SansSerif);
        const QString sans = QFontInfo(generic).family();

        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("drawnAs");
        QTest::addColumn<bool>("sameAsSans");

        QTest::newRow("missing face") << QStringLiteral("NoSuchFace123") << sans << true;
        QTest::newRow("empty face") << QString() << sans << true;
        QTest::newRow("substituted face is kept")
            << QStringLiteral("Times New Roman") << QStringLiteral("Liberation Serif") << false;
        QTest::newRow("installed face") << QStringLiteral("Liberation Mono") << QStringLiteral("Liberation Mono")
                                        << false;
    }

    void face_missingFallsBackToSansSerif() {
        QFont generic(QStringLiteral("sans-serif"));
        generic.setStyleHint(QFont::SansSerif);
        const QString sans = QFontInfo(generic).family();

        QFETCH(QString, face);
        QFETCH(QString, drawnAs);
        QFETCH(bool, sameAsSans);

        const QString text = QStringLiteral("Agile Text 42");
        const QImage actual = TextOnly(Line(text, face, 20)).Composed();
        QCOMPARE(actual, TextOnly(Line(text, drawnAs, 20)).Composed());
        QCOMPARE(actual == TextOnly(Line(text, sans, 20)).Composed(), sameAsSans);
    }

    // The first n records are drawn, whichever records are enabled; colours are always opaque.
    void lines_firstNRecordsAreDrawn() {
        const QString path = dir.filePath(QStringLiteral("none.gif"));
        const QString face = QStringLiteral("Liberation Sans");
        const QRgb green = 0x0000ff00;  // no alpha byte, as in a colour reference
        const QRgb red = 0x00ff0000;
        auto compose = [&](bool second, bool third) {
            Banner banner;
            banner.lines = {Line(QStringLiteral("MMMM"), face, 14, 0x000000ff),
                            Line(QStringLiteral("MMMM"), face, 14, green), Line(QStringLiteral("MMMM"), face, 14, red)};
            banner.lines[1].enabled = second;
            banner.lines[2].enabled = third;
            banner.LoadTemplate(path);
            return banner.Composed();
        };
        auto hasOpaque = [](const QImage& image, QRgb color) {
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (image.pixel(x, y) == (color | 0xff000000u)) {
                        return true;
                    }
                }
            }
            return false;
        };

        const QImage firstAndThird = compose(false, true);
        QCOMPARE(firstAndThird, compose(true, false));
        QVERIFY(hasOpaque(firstAndThird, 0x000000ff));
        QVERIFY(hasOpaque(firstAndThird, green));
        QVERIFY(!hasOpaque(firstAndThird, red));
        QVERIFY(hasOpaque(compose(true, true), red));
    }
};

QTEST_MAIN(TestBanner)
#include "tst_Banner.moc"
