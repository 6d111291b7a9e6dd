#include "Banner.h"
#include "GifWriter.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

using Ints = std::array<int, 3>;

// Every pixel of a test template is opaque and tells where it came from.
QRgb TemplatePixel(int x, int y) {
    return qRgb(x % 256, y % 256, 16 * (x / 256) + y / 256);
}

// The first pixel that is not the template square at (offset, offset), mirrored for the left
// corner, transparent outside the template; "" when there is none.
QString CropMismatch(const QImage& banner, QSize source, int offset, bool mirror) {
    const int s = banner.width();
    for (int y = 0; y < s; ++y) {
        for (int x = 0; x < s; ++x) {
            const QPoint t(offset + (mirror ? s - 1 - x : x), offset + y);
            const QRgb expected = QRect(QPoint(), source).contains(t) ? TemplatePixel(t.x(), t.y()) : 0u;
            if (banner.pixel(x, y) != expected) {
                return QStringLiteral("(%1, %2): %3").arg(x).arg(y).arg(banner.pixel(x, y), 0, 16);
            }
        }
    }
    return {};
}

// The bounding box, in text space, of the banner's pixels that are at least half covered; at a
// scale above 1, in the text space of the 1x banner with the same settings, scaled up.
QRectF InkInTextSpace(const Banner& banner) {
    Banner unscaled = banner;
    unscaled.SetScale(1);
    const QTransform toText =
        (unscaled.TextTransform() * QTransform::fromScale(banner.Scale(), banner.Scale())).inverted();
    const QImage& image = banner.Composed();
    QRectF box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) >= 128) {
                box |= QRectF(toText.map(QPointF(x + 0.5, y + 0.5)), QSizeF(1e-9, 1e-9));
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

// A banner whose template cannot be decoded: only the text has pixels.
Banner TextOnly(const std::array<BannerLine, 3>& lines) {
    Banner banner;
    banner.lines = lines;
    banner.LoadTemplate(QStringLiteral(":/no/such/template.gif"));
    return banner;
}

Banner TextOnly(const BannerLine& line) {
    return TextOnly({line, BannerLine(), BannerLine()});
}

// A square template whose left half is transparent.
QImage HalfSolid(QRgb color, int edge) {
    QImage image(edge, edge, QImage::Format_ARGB32);
    image.fill(color);
    for (int y = 0; y < edge; ++y) {
        std::fill_n(reinterpret_cast<QRgb*>(image.scanLine(y)), edge / 2, 0u);
    }
    return image;
}

QString SansSerifFamily() {
    QFont generic(QStringLiteral("sans-serif"));
    generic.setStyleHint(QFont::SansSerif);
    return QFontInfo(generic).family();
}

}  // namespace

class TestBanner : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static QImage Template(QSize size) {
        QImage image(size, QImage::Format_ARGB32);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                image.setPixel(x, y, TemplatePixel(x, y));
            }
        }
        return image;
    }

private slots:
    void freshModel_hasTheDefaultsAndNoBanner() {
        Banner banner;
        QCOMPARE(banner.size, 300);
        QCOMPARE(banner.bandWidth, 30);
        QCOMPARE(banner.cropOffset, 0);
        QCOMPARE(banner.side, BannerSide::Right);
        QVERIFY(std::abs(banner.diagonal - 424.264) < 1e-3);
        banner.lines[0].enabled = true;
        banner.SetBannerSize(200);  // no template: nothing to centre on
        QCOMPARE(banner.cropOffset, 0);
        QVERIFY(std::abs(banner.diagonal - 200 * std::sqrt(2.0)) < 1e-9);
        QVERIFY(banner.Composed().isNull());
    }

    void crop_copiesTheSquarePixelForPixel_data() {
        QTest::addColumn<QSize>("first");
        QTest::addColumn<int>("resize");    // 0: keep the default size
        QTest::addColumn<QSize>("second");  // invalid: no second template
        QTest::addColumn<bool>("left");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("scale");  // above 1: cut from a companion drawn at that scale

        const QSize none;
        QTest::newRow("no resize: top-left square") << QSize(420, 420) << 0 << none << false << 300 << 0 << 1;
        QTest::newRow("200 on 300: central square") << QSize(300, 300) << 200 << none << false << 200 << 50 << 1;
        QTest::newRow("odd spare rounds down") << QSize(301, 301) << 200 << none << false << 200 << 50 << 1;
        QTest::newRow("offset from the width only") << QSize(400, 200) << 200 << none << false << 200 << 100 << 1;
        QTest::newRow("narrower template") << QSize(100, 120) << 300 << none << false << 300 << -100 << 1;
        QTest::newRow("narrower by an odd amount") << QSize(99, 99) << 300 << none << false << 300 << -101 << 1;
        QTest::newRow("second template keeps the offset")
            << QSize(300, 300) << 200 << QSize(500, 500) << false << 200 << 50 << 1;
        QTest::newRow("size clamped to 500") << QSize(600, 600) << 1000 << none << false << 500 << 50 << 1;
        QTest::newRow("size clamped to 50") << QSize(100, 100) << -7 << none << false << 50 << 25 << 1;
        QTest::newRow("left corner mirrors") << QSize(400, 300) << 200 << none << true << 200 << 100 << 1;
        QTest::newRow("left corner, narrower") << QSize(150, 150) << 250 << none << true << 250 << -50 << 1;
        QTest::newRow("2x on a companion") << QSize(300, 300) << 200 << none << false << 200 << 50 << 2;
        QTest::newRow("2x, left, narrower") << QSize(150, 150) << 250 << none << true << 250 << -50 << 2;
    }

    void crop_copiesTheSquarePixelForPixel() {
        QFETCH(QSize, first);
        QFETCH(int, resize);
        QFETCH(QSize, second);
        QFETCH(bool, left);
        QFETCH(int, size);
        QFETCH(int, offset);
        QFETCH(int, scale);

        Banner banner;
        banner.SetSide(left ? BannerSide::Left : BannerSide::Right);
        banner.SetTemplate(Template(first));
        if (resize != 0) {
            banner.SetBannerSize(resize);
        }
        if (second.isValid()) {
            banner.SetTemplate(Template(second));
        }
        const QSize source = (second.isValid() ? second : first) * scale;
        banner.SetScale(scale, Template(source));
        QCOMPARE(banner.size, size);
        QCOMPARE(banner.cropOffset, offset);
        const QImage& composed = banner.Composed();
        QCOMPARE(composed.size(), QSize(size, size) * scale);
        QCOMPARE(composed.format(), QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(composed.dotsPerMeterY(), 3780 * scale);
        const QString mismatch = CropMismatch(composed, source, offset * scale, left);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    void textTransform_mapsTextSpaceOntoTheCorner_data() {
        QTest::addColumn<bool>("left");
        QTest::addColumn<int>("size");
        QTest::addColumn<QPointF>("textPoint");

        for (const bool left : {false, true}) {
            for (const int size : {300, 500, 50}) {
                for (const QPointF p : {QPointF(0, 0), QPointF(0, 30), QPointF(100, 0), QPointF(212.5, 17.25)}) {
                    QTest::addRow("%s S=%d (%g, %g)", left ? "left" : "right", size, p.x(), p.y()) << left << size << p;
                }
            }
        }
    }

    // On the left corner the origin lands at (0, S - 1.5 B), not where mirroring the right corner's
    // layout would put it.
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
        QVERIFY2((actual - expected).manhattanLength() < 1e-4,
                 qPrintable(QStringLiteral("(%1, %2)").arg(actual.x()).arg(actual.y())));
    }

    void lineTops_centreTheBlockWithTruncation_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<Ints>("steps");
        QTest::addColumn<Ints>("offsets");
        QTest::addColumn<Ints>("tops");

        QTest::newRow("no line") << 0 << Ints{23, 23, 23} << Ints{5, 5, 5} << Ints{0, 0, 0};
        QTest::newRow("step 23 in 30") << 1 << Ints{23, 0, 0} << Ints{0, 0, 0} << Ints{3, 0, 0};
        QTest::newRow("step 35 truncates towards zero") << 1 << Ints{35, 0, 0} << Ints{0, 0, 0} << Ints{-2, 0, 0};
        QTest::newRow("step 31: -0.5 truncates to 0") << 1 << Ints{31, 0, 0} << Ints{0, 0, 0} << Ints{0, 0, 0};
        QTest::newRow("offset of line 1") << 1 << Ints{23, 0, 0} << Ints{-5, 0, 0} << Ints{-2, 0, 0};
        QTest::newRow("two lines, offsets 0 and 2") << 2 << Ints{23, 12, 0} << Ints{0, 2, 0} << Ints{-2, 23, 0};
        QTest::newRow("three lines, each offset") << 3 << Ints{23, 13, 11} << Ints{1, -2, 4} << Ints{-7, 14, 31};
        QTest::newRow("steps past the count ignored") << 1 << Ints{20, 100, 100} << Ints{0, 9, 9} << Ints{5, 0, 0};
    }

    void lineTops_centreTheBlockWithTruncation() {
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

        // Line spacing at 96 dpi is 1.1499 em for the serif, 1.1504 em for the sans; fractional
        // pixel sizes (10 pt is 13.33 px) must not be rounded.
        QTest::newRow("18 pt: 27.59 px") << QStringLiteral("Times New Roman") << 18 << 23;
        QTest::newRow("26 pt: 39.86 px") << QStringLiteral("Times New Roman") << 26 << 35;
        QTest::newRow("Arial 10 pt: 15.34 px") << QStringLiteral("Arial") << 10 << 11;
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
        QTest::addColumn<int>("scale");

        QTest::newRow("right, 18 pt") << false << 300 << 18 << 0 << 3 << 1;
        QTest::newRow("right, 26 pt, above the band") << false << 300 << 26 << 0 << -2 << 1;
        QTest::newRow("right, offset 4, 400 px") << false << 400 << 18 << 4 << 7 << 1;
        QTest::newRow("left, 18 pt") << true << 300 << 18 << 0 << 3 << 1;
        QTest::newRow("left, offset -5, 200 px") << true << 200 << 18 << -5 << -2 << 1;
        QTest::newRow("2x: right, 26 pt") << false << 300 << 26 << 0 << -2 << 2;
        QTest::newRow("2x: left, offset -5, 200 px") << true << 200 << 18 << -5 << -2 << 2;
    }

    // The ink of "HHH" runs from cap height above the baseline down to the baseline, which lies
    // one ascent below the top of the line's box, and is centred along the diagonal. At 2x it lies
    // within a pixel of the 1x layout doubled.
    void line_isCentredInItsBoxAlongTheDiagonal() {
        QFETCH(bool, left);
        QFETCH(int, size);
        QFETCH(int, points);
        QFETCH(int, offset);
        QFETCH(int, top);
        QFETCH(int, scale);

        BannerLine line = Line(QStringLiteral("HHH"), QStringLiteral("Times New Roman"), points);
        line.offset = offset;
        Banner banner = TextOnly(line);
        banner.SetBannerSize(size);
        banner.SetSide(left ? BannerSide::Left : BannerSide::Right);
        banner.SetScale(scale);

        // Metrics of 100 times the size: whole pixels, so none are rounded away.
        QFont font(QStringLiteral("Liberation Serif"));
        font.setPixelSize(points * 96 * 100 / 72);
        const QFontMetricsF metrics(font);
        const double baseline = top + metrics.ascent() / 100;
        // Text space counts 1x pixels.
        const QRectF ink = InkInTextSpace(banner);
        const double pixel = 1.0 / scale;
        QVERIFY2(std::abs(ink.bottom() - baseline) < pixel, qPrintable(QString::number(ink.bottom())));
        QVERIFY2(std::abs(ink.top() - (baseline - metrics.capHeight() / 100)) < pixel,
                 qPrintable(QString::number(ink.top())));
        QVERIFY2(std::abs(ink.center().x() - banner.diagonal / 2) < pixel,
                 qPrintable(QString::number(ink.center().x())));
    }

    // The 2x banner is cut from the template's companion, "NAME@2x.gif" beside it, only when that
    // is a sound template of twice the size; otherwise from the template scaled up, whose pixels
    // stay opaque or transparent like a GIF's (half-transparent edges would turn black in a GIF).
    void composeAt2x_cutFromTheCompanionOnlyWhenItFits_data() {
        QTest::addColumn<int>("companionEdge");  // 0: none; -1: a file that is not a GIF
        QTest::addColumn<bool>("fromCompanion");
        QTest::newRow("companion of twice the size") << 200 << true;
        QTest::newRow("no companion") << 0 << false;
        QTest::newRow("companion of another size") << 150 << false;
        QTest::newRow("companion that is no GIF") << -1 << false;
    }

    void composeAt2x_cutFromTheCompanionOnlyWhenItFits() {
        QFETCH(int, companionEdge);
        QFETCH(bool, fromCompanion);
        const QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("t.gif"));
        const QString companion = folder.filePath(QStringLiteral("t@2x.gif"));
        QVERIFY(SaveAsGif(HalfSolid(qRgb(200, 0, 0), 100), path).ok());
        if (companionEdge > 0) {
            QVERIFY(SaveAsGif(HalfSolid(qRgb(0, 200, 0), companionEdge), companion).ok());
        } else if (companionEdge < 0) {
            QFile file(companion);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("GIF89a, but no more") > 0);
        }
        Banner banner;
        banner.LoadTemplate(path);
        banner.SetBannerSize(80);
        const QImage at2x = ComposeAt2x(banner, path);
        QCOMPARE(at2x.size(), QSize(160, 160));
        QCOMPARE(at2x.pixel(120, 80), fromCompanion ? qRgb(0, 200, 0) : qRgb(200, 0, 0));
        for (int y = 0; y < at2x.height(); ++y) {
            for (int x = 0; x < at2x.width(); ++x) {
                QVERIFY(qAlpha(at2x.pixel(x, y)) == 0 || qAlpha(at2x.pixel(x, y)) == 255);
            }
        }
        QCOMPARE(banner.Composed().size(), QSize(80, 80));
    }

    void style_onlyWeight700IsBold_data() {
        QTest::addColumn<int>("weight");
        QTest::addColumn<int>("flag");  // 1 italic, 2 underline, 4 strike-out
        QTest::addColumn<bool>("differs");

        QTest::newRow("weight 0") << 0 << 0 << false;
        QTest::newRow("weight 600") << 600 << 0 << false;
        QTest::newRow("weight 800") << 800 << 0 << false;
        QTest::newRow("weight 700") << 700 << 0 << true;
        QTest::newRow("italic") << 400 << 1 << true;
        QTest::newRow("underline") << 400 << 2 << true;
        QTest::newRow("strike-out") << 400 << 4 << true;
    }

    void style_onlyWeight700IsBold() {
        QFETCH(int, weight);
        QFETCH(int, flag);
        QFETCH(bool, differs);

        BannerLine line = Line(QStringLiteral("Banner"), QStringLiteral("Times New Roman"), 18);
        line.font.weight = 400;
        const QImage regular = TextOnly(line).Composed();
        line.font.weight = weight;
        line.font.italic = flag & 1;
        line.font.underline = flag & 2;
        line.font.strikeOut = flag & 4;
        QCOMPARE(TextOnly(line).Composed() != regular, differs);
    }

    void face_missingFallsBackToSansSerif_data() {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("drawnAs");

        QTest::newRow("missing face") << QStringLiteral("NoSuchFace123") << SansSerifFamily();
        QTest::newRow("empty face") << QString() << SansSerifFamily();
        QTest::newRow("substituted face is kept")
            << QStringLiteral("Times New Roman") << QStringLiteral("Liberation Serif");
        QTest::newRow("installed face") << QStringLiteral("Liberation Mono") << QStringLiteral("Liberation Mono");
    }

    void face_missingFallsBackToSansSerif() {
        QFETCH(QString, face);
        QFETCH(QString, drawnAs);

        const QString text = QStringLiteral("Agile Text 42");
        const QImage actual = TextOnly(Line(text, face, 20)).Composed();
        QCOMPARE(actual, TextOnly(Line(text, drawnAs, 20)).Composed());
        QCOMPARE(actual == TextOnly(Line(text, SansSerifFamily(), 20)).Composed(), drawnAs == SansSerifFamily());
    }

    // The first n records are drawn, whichever are enabled; colours without an alpha byte are opaque.
    void lines_firstNRecordsAreDrawn() {
        const QString face = QStringLiteral("Liberation Sans");
        const QRgb colors[3] = {0x0000ff, 0x00ff00, 0xff0000};
        auto compose = [&](bool second, bool third) {
            std::array<BannerLine, 3> lines;
            for (size_t i = 0; i < 3; ++i) {
                lines[i] = Line(QStringLiteral("MMMM"), face, 14, colors[i]);
            }
            lines[1].enabled = second;
            lines[2].enabled = third;
            return TextOnly(lines).Composed();
        };
        auto opaque = [](const QImage& image, QRgb color) {
            const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
            return std::count(pixels, pixels + image.width() * image.height(), color | 0xff000000u) > 0;
        };

        const QImage firstAndThird = compose(false, true);
        QCOMPARE(firstAndThird, compose(true, false));
        QVERIFY(opaque(firstAndThird, colors[0]) && opaque(firstAndThird, colors[1]));
        QVERIFY(!opaque(firstAndThird, colors[2]));
        QVERIFY(opaque(compose(true, true), colors[2]));
    }
};

QTEST_MAIN(TestBanner)
#include "tst_Banner.moc"
