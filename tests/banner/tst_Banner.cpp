#include "DataTable.h"
#include "TestFiles.h"
#include "TestPixels.h"
#include "banner/Banner.h"
#include "banner/DiagonalBand.h"
#include "banner/GifWriter.h"
#include "banner/TemplateImage.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A template of "WxH" pixels at a scale, every pixel opaque and telling where it came from.
QImage Template(const QString& size, int scale = 1) {
    return Painted(QSize(size.section(u'x', 0, 0).toInt(), size.section(u'x', 1).toInt()) * scale,
                   [](int x, int y) { return qRgb(x % 256, y % 256, 16 * (x / 256) + y / 256); });
}

// A line in `face`, "sans-serif" standing for the generic sans-serif face.
BannerLine Line(const QString& text, const QString& face, int points, QRgb color = qRgb(0, 0, 100)) {
    QFont generic(face);
    generic.setStyleHint(QFont::SansSerif);
    return {text, {face == u"sans-serif" ? QFontInfo(generic).family() : face, points}, color, true};
}

// A banner whose template cannot be decoded: only the text has pixels.
Banner TextOnly(const std::array<BannerLine, 3>& lines) {
    Banner banner;
    banner.SetLines(lines);
    banner.LoadTemplate(u":/no/such/template.gif"_qs);
    return banner;
}

}  // namespace

class tst_Banner : public QObject {
    Q_OBJECT

private slots:
    // The wizard's dialog font; the banner's text must not depend on it.
    void initTestCase() {
        QFont dialog(u"Liberation Sans"_qs);
        dialog.setStyleHint(QFont::SansSerif);
        QGuiApplication::setFont(dialog);
    }

    // A new banner is the wizard's first, 300 pixels square; without a template nothing is
    // composed and resizing has nothing to centre on.
    void noTemplate_nothingComposed() {
        Banner banner;
        QCOMPARE(banner.Size(), 300);
        banner.SetBannerSize(200);
        QCOMPARE(std::pair(banner.CropOffset(), banner.Composed().isNull()), std::pair(QPoint(), true));
    }

    void crop_copiesTheSquarePixelForPixel_data() { AddTableRows(QFINDTESTDATA("crop.txt")); }
    void crop_copiesTheSquarePixelForPixel() {
        QFETCH(QStringList, row);
        const QPoint offset(row[5].section(u',', 0, 0).toInt(), row[5].section(u',', -1).toInt());
        const int scale = row[6].toInt();
        Banner banner;
        banner.SetSide(row[3] == u"left" ? BannerSide::Left : BannerSide::Right);
        banner.SetTemplate(Template(row[0]));
        if (row[1] != u"-") {
            banner.SetBannerSize(row[1].toInt());
        }
        if (row[2] != u"-") {
            banner.SetTemplate(Template(row[2]));
        }
        const QImage source = Template(row[row[2] == u"-" ? 0 : 2], scale);
        banner.SetScale(scale, source);
        QCOMPARE(QString::number(banner.Size()), row[4]);
        QCOMPARE(banner.CropOffset(), offset);
        // Composed again on the same square, as a keystroke does, from the copy kept for it.
        banner.SetSide(row[3] == u"left" ? BannerSide::Right : BannerSide::Left);
        banner.SetSide(row[3] == u"left" ? BannerSide::Left : BannerSide::Right);
        const QImage& composed = banner.Composed();
        QCOMPARE(composed.dotsPerMeterY(), 3780 * scale);
        // QImage::copy makes what lies outside the template transparent.
        const QImage square = source.copy(QRect(offset * scale, QSize(banner.Size(), banner.Size()) * scale));
        QCOMPARE(composed, square.mirrored(row[3] == u"left", false).convertToFormat(composed.format()));
        QCOMPARE(composed.format(), QImage::Format_ARGB32_Premultiplied);
    }

    void lineTops_centreTheBlockWithTruncation_data() { AddTableRows(QFINDTESTDATA("line-tops.txt")); }
    void lineTops_centreTheBlockWithTruncation() {
        QFETCH(QStringList, row);
        const auto three = [](const QString& cell) {
            return std::array<int, 3>{cell.section(u' ', 0, 0).toInt(), cell.section(u' ', 1, 1).toInt(),
                                      cell.section(u' ', 2, 2).toInt()};
        };
        const std::array<int, 3> tops = Banner::LineTops(30, row[0].toInt(), three(row[1]), three(row[2]));
        QCOMPARE(u"%1 %2 %3"_qs.arg(tops[0]).arg(tops[1]).arg(tops[2]), row[3]);
    }

    void lineStep_isLineSpacingMinusFourTruncated_data() { AddTableRows(QFINDTESTDATA("line-steps.txt")); }
    void lineStep_isLineSpacingMinusFourTruncated() {
        QFETCH(QStringList, row);
        const Banner banner = TextOnly({Line(u"x"_qs, row[0], row[1].toInt())});
        QCOMPARE(QString::number(banner.LineStep(0)), row[2]);
    }

    void line_isPlacedInItsBoxAlongTheDiagonal_data() { AddTableRows(QFINDTESTDATA("line-placement.txt")); }
    void line_isPlacedInItsBoxAlongTheDiagonal() {
        QFETCH(QStringList, row);
        BannerLine line = Line(u"HHH"_qs, u"Times New Roman"_qs, row[2].toInt());
        line.offset = row[3].toInt();
        Banner banner = TextOnly({line});
        banner.SetBannerSize(row[1].toInt());
        banner.SetSide(row[0] == u"left" ? BannerSide::Left : BannerSide::Right);
        banner.SetScale(row[4].toInt());
        const QImage& image = banner.Composed();
        const QRect ink = InkIn(image, image.rect(), [](QRgb p) { return qAlpha(p) >= 128; });
        QCOMPARE(u"%1,%2 %3x%4"_qs.arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height()), row[5]);
    }

    // whole-rows.txt: a line is drawn as one whole row, however long, whatever its letters reach.
    void line_isOneWholeRow_data() { AddTableRows(QFINDTESTDATA("whole-rows.txt")); }
    void line_isOneWholeRow() {
        QFETCH(QStringList, row);
        // Where the line's ink lies across the diagonal: nearest the middle of the square and nearest
        // its corner (x - y grows toward the right corner).
        const auto drawn = [&](const QString& text) {
            Banner banner = TextOnly({Line(text, u"Times New Roman"_qs, row[2].toInt())});
            banner.SetBannerSize(row[3].toInt());
            const QImage image = banner.Composed();
            int nearest = image.width();
            int furthest = -image.width();
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (qAlpha(image.pixel(x, y)) >= 128) {
                        nearest = std::min(nearest, x - y);
                        furthest = std::max(furthest, x - y);
                    }
                }
            }
            return std::pair{image, std::pair{nearest, furthest}};
        };
        const auto [line, across] = drawn(row[0]);
        const auto [against, acrossAgainst] = drawn(row[1]);
        const QString extent = u"across %1..%2"_qs.arg(across.first).arg(across.second);
        QCOMPARE(row[4] == u"same"        ? (line == against ? row[4] : u"other pixels"_qs)
                 : row[4] == u"across as" ? (across == acrossAgainst ? row[4] : extent)
                                          : extent,
                 row[4]);
    }

    void textPixels_onlyWeight700IsBold_missingFacesAreSans_data() { AddTableRows(QFINDTESTDATA("text-pixels.txt")); }
    void textPixels_onlyWeight700IsBold_missingFacesAreSans() {
        QFETCH(QStringList, row);
        const QString text = u"Agile Text 42"_qs;
        BannerLine line = Line(row[2].contains(u'n') ? u"Agile\nText\u202842"_qs : text, row[0], 20);
        line.font = {line.font.faceName,   20, row[1].toInt(), row[2].contains(u'i'), row[2].contains(u'u'),
                     row[2].contains(u's')};
        QFont named(row[3].mid(3));
        named.setResolveMask(QFont::AllPropertiesResolved);  // not the test's sans-serif program font
        const QString face = row[3].startsWith(u"as "_qs) ? QFontInfo(named).family() : row[3];
        BannerLine against = Line(text, face, 20);
        against.font.weight = 400;
        QCOMPARE(TextOnly({line}).Composed() == TextOnly({against}).Composed(), row[4] == u"same");
    }

    // The first n records are drawn, whichever are enabled; colours without an alpha byte are opaque.
    void lines_firstNRecordsAreDrawn() {
        std::array<BannerLine, 3> lines;
        for (size_t i = 0; i < 3; ++i) {
            lines[i] = Line(u"MMMM"_qs, u"Liberation Sans"_qs, 14, 0xff << 8 * i);
        }
        lines[1].enabled = false;
        const QImage firstTwo = TextOnly(lines).Composed();
        for (size_t i = 0; i < 3; ++i) {
            QCOMPARE(CountOf(firstTwo, lines[i].color) > 0, i < 2);
        }
        std::swap(lines[1].enabled, lines[2].enabled);
        QCOMPARE(TextOnly(lines).Composed(), firstTwo);
        lines[2].enabled = true;
        QVERIFY(TextOnly(lines).Composed() != firstTwo);
    }

    void drawnBand_holdsEveryPixelKept_data() { AddTableRows(QFINDTESTDATA("drawn-band.txt")); }
    void drawnBand_holdsEveryPixelKept() {
        QFETCH(QStringList, row);
        const int edge = row[0].toInt();
        const QStringList at = row[1].split(u',');
        const QImage image = Painted({edge, edge}, [&](int x, int y) {
            const bool drawn = at.size() == 2 && x == at[0].toInt() && y == at[1].toInt();
            return drawn ? qRgba(200, 0, 0, row[2].toInt()) : qRgba(0, 0, 0, 0);
        });
        const DiagonalBand band = DrawnBand(image, 100, row[3] == u"left" ? BannerSide::Left : BannerSide::Right);
        QCOMPARE(u"%1,%2"_qs.arg(band.lo).arg(band.hi), row[4]);
    }

    void composeAt2x_cutFromTheCompanionOnlyWhenItFits_data() { AddTableRows(QFINDTESTDATA("companions.txt")); }
    void composeAt2x_cutFromTheCompanionOnlyWhenItFits() {
        QFETCH(QStringList, row);
        // Templates whose left half is transparent.
        const auto halfSolid = [](QRgb color, int edge) {
            QImage image(edge, edge, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            QPainter(&image).fillRect(edge / 2, 0, edge - edge / 2, edge, QColor(color));
            return image;
        };
        const QTemporaryDir folder;
        const QString path = folder.filePath(u"t.gif"_qs);
        const QString edge = row[0].section(u' ', 0, 0);
        const QString ending = row[0].section(u' ', 1);
        const QString companion = folder.filePath(u"t@2x."_qs + (ending.isEmpty() ? u"gif"_qs : ending));
        QVERIFY(SaveAsGif(halfSolid(qRgb(200, 0, 0), 100), path).Ok());
        QVERIFY(edge == u"-" ||
                (edge == u"text" ? WriteAll(companion, "GIF89a, but no more")
                                 : SaveAsGif(halfSolid(qRgb(0, 200, 0), edge.toInt()), companion).Ok()));
        Banner banner;
        banner.LoadTemplate(path);
        banner.SetBannerSize(80);
        const QImage at2x = ComposeAt2x(banner, LoadCompanion(path).image);
        QCOMPARE(at2x.size(), QSize(160, 160));
        QCOMPARE(at2x.pixel(120, 80), row[1] == u"companion" ? qRgb(0, 200, 0) : qRgb(200, 0, 0));
        QCOMPARE(qAlpha(at2x.pixel(10, 80)), 0);
        const auto* pixels = reinterpret_cast<const QRgb*>(at2x.constBits());
        QVERIFY(std::all_of(pixels, pixels + 160 * 160, [](QRgb p) { return qAlpha(p) == 0 || qAlpha(p) == 255; }));
        QCOMPARE(banner.Composed().size(), QSize(80, 80));
    }
};

QTEST_MAIN(tst_Banner)
#include "tst_Banner.moc"
