#include "ColorSwatch.h"
#include "FakePickers.h"
#include "FontButton.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QFont Font(const QString& family, QFont::Weight weight, bool italic = false, bool underline = false,
           bool strikeOut = false) {
    QFont font(family, 36, weight, italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikeOut);
    return font;
}

// A swatch and its font button, shown, as the editor places them.
struct Fixture {
    explicit Fixture(QRgb color)
        : swatch(pickers, color, 103, &parent)
        , button(pickers, u"Liberation Serif"_s, 18, swatch, 103, &parent) {
        parent.resize(220, 60);
        swatch.setGeometry(180, 10, 20, 20);
        button.setGeometry(5, 5, 166, 21);
        parent.show();
    }

    FakePickers pickers;
    QWidget parent;
    ColorSwatch swatch;
    FontButton button;
};

}  // namespace

class tst_FontButton : public QObject {
    Q_OBJECT

private slots:
    void pick_data();
    void pick();
    void textColour_data();
    void textColour();
};

void tst_FontButton::pick_data() {
    QTest::addColumn<std::optional<QFont>>("picked");
    QTest::addColumn<BannerFont>("stored");

    const QString sans = u"Liberation Sans"_s;
    const BannerFont unchanged{u"Liberation Serif"_s, 18, 0, false, false, false};
    QTest::newRow("bold italic: face, bold, italic, no height")
        << std::optional(Font(sans, QFont::Bold, true)) << BannerFont{sans, 0, 700, true, false, false};
    QTest::newRow("semi-bold is regular")
        << std::optional(Font(sans, QFont::DemiBold)) << BannerFont{sans, 0, 400, false, false, false};
    QTest::newRow("heavy is regular") << std::optional(Font(sans, QFont::Black))
                                      << BannerFont{sans, 0, 400, false, false, false};
    QTest::newRow("underline and strike-out")
        << std::optional(Font(sans, QFont::Normal, false, true, true)) << BannerFont{sans, 0, 400, false, true, true};
    QTest::newRow("a face the system lacks is still stored")
        << std::optional(Font(u"No Such Face"_s, QFont::Normal))
        << BannerFont{u"No Such Face"_s, 0, 400, false, false, false};
    QFont noFace;
    noFace.setFamilies({});
    QTest::newRow("empty face stores nothing") << std::optional(noFace) << unchanged;
    QTest::newRow("cancelled keeps the creation values") << std::optional<QFont>() << unchanged;
}

void tst_FontButton::pick() {
    QFETCH(std::optional<QFont>, picked);
    QFETCH(BannerFont, stored);

    Fixture f(qRgb(0, 0, 100));
    f.pickers.fonts.push_back(picked);
    QSignalSpy spy(&f.button, &FontButton::fontChanged);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));

    QTest::mouseClick(&f.button, Qt::LeftButton);

    QCOMPARE(f.pickers.fontRequests, 1);
    QCOMPARE(f.button.LogFont(), stored);
    QCOMPARE(spy.count(), stored.height == 0 ? 1 : 0);
    if (!spy.isEmpty()) {
        QCOMPARE(spy.at(0).at(0).toInt(), 103);
    }
}

void tst_FontButton::textColour_data() {
    QTest::addColumn<QRgb>("swatch");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QRgb>("written");

    QTest::newRow("swatch colour") << qRgb(0, 100, 0) << true << qRgb(0, 100, 0);
    QTest::newRow("white shown dark grey") << qRgb(255, 255, 255) << true << qRgb(100, 100, 100);
    QTest::newRow("near-white kept") << qRgb(254, 255, 255) << true << qRgb(254, 255, 255);
    QTest::newRow("disabled: grey, no picker") << qRgb(0, 100, 0) << false << qRgb(200, 200, 200);
}

void tst_FontButton::textColour() {
    QFETCH(QRgb, swatch);
    QFETCH(bool, enabled);
    QFETCH(QRgb, written);

    Fixture f(swatch);
    f.button.setEnabled(enabled);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));

    // Glyph interiors are drawn in exactly the pen's colour; the frame is left out.
    const QImage image = f.button.grab(f.button.rect().adjusted(1, 1, -1, -1)).toImage();
    int pen = 0;
    int swatchColoured = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            pen += image.pixel(x, y) == written;
            swatchColoured += image.pixel(x, y) == swatch;
        }
    }
    QVERIFY(pen > 40);
    if (!enabled) {
        QCOMPARE(swatchColoured, 0);
    }

    QTest::mouseClick(&f.button, Qt::LeftButton);
    QCOMPARE(f.pickers.fontRequests, enabled ? 1 : 0);
}

QTEST_MAIN(tst_FontButton)
#include "tst_FontButton.moc"
