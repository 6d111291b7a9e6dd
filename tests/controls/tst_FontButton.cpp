#include "ColorSwatch.h"
#include "FakePickers.h"
#include "FontButton.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// How many pixels of the button are exactly `color`; glyph interiors are drawn in the pen's colour.
int CountPixels(QWidget& widget, QRgb color) {
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += (image.pixel(x, y) & 0xffffff) == (color & 0xffffff);
        }
    }
    return count;
}

QFont Font(const QString& family, int points, QFont::Weight weight, bool italic = false, bool underline = false,
           bool strikeOut = false) {
    QFont font(family, points, weight, italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikeOut);
    return font;
}

// A swatch and its font button on a shown parent, as the editor places them.
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
    void beforeAnyPick_keepsCreationValues();
    void pick_data();
    void pick();
    void textColour_data();
    void textColour();
    void disabled_opensNoPicker();
};

void tst_FontButton::beforeAnyPick_keepsCreationValues() {
    Fixture f(qRgb(0, 0, 100));
    const BannerFont expected{u"Liberation Serif"_s, 18, 0, false, false, false};
    QCOMPARE(f.button.logFont(), expected);
}

void tst_FontButton::pick_data() {
    QTest::addColumn<std::optional<QFont>>("picked");
    QTest::addColumn<BannerFont>("stored");
    QTest::addColumn<bool>("notified");

    const BannerFont unchanged{u"Liberation Serif"_s, 18, 0, false, false, false};
    QTest::newRow("bold italic 36 pt: face, bold, italic, no height")
        << std::optional(Font(u"Liberation Sans"_s, 36, QFont::Bold, true))
        << BannerFont{u"Liberation Sans"_s, 0, 700, true, false, false} << true;
    QTest::newRow("semi-bold is regular") << std::optional(Font(u"Liberation Sans"_s, 12, QFont::DemiBold))
                                          << BannerFont{u"Liberation Sans"_s, 0, 400, false, false, false} << true;
    QTest::newRow("heavy is regular") << std::optional(Font(u"Liberation Mono"_s, 12, QFont::Black))
                                      << BannerFont{u"Liberation Mono"_s, 0, 400, false, false, false} << true;
    QTest::newRow("light is regular") << std::optional(Font(u"Liberation Mono"_s, 12, QFont::Light))
                                      << BannerFont{u"Liberation Mono"_s, 0, 400, false, false, false} << true;
    QTest::newRow("underline and strike-out")
        << std::optional(Font(u"Liberation Serif"_s, 10, QFont::Normal, false, true, true))
        << BannerFont{u"Liberation Serif"_s, 0, 400, false, true, true} << true;
    QTest::newRow("a face the system lacks is still stored")
        << std::optional(Font(u"No Such Face"_s, 10, QFont::Normal))
        << BannerFont{u"No Such Face"_s, 0, 400, false, false, false} << true;
    QFont noFace;
    noFace.setFamilies({});
    QTest::newRow("empty face stores nothing") << std::optional(noFace) << unchanged << false;
    QTest::newRow("cancelled") << std::optional<QFont>() << unchanged << false;
}

void tst_FontButton::pick() {
    QFETCH(std::optional<QFont>, picked);
    QFETCH(BannerFont, stored);
    QFETCH(bool, notified);

    Fixture f(qRgb(0, 0, 100));
    f.pickers.fonts.push_back(picked);
    QSignalSpy spy(&f.button, &FontButton::fontChanged);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));

    QTest::mouseClick(&f.button, Qt::LeftButton);

    QCOMPARE(f.pickers.fontRequests, 1);
    QCOMPARE(f.button.logFont(), stored);
    QCOMPARE(spy.count(), notified ? 1 : 0);
    if (notified) {
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
    QTest::newRow("disabled grey") << qRgb(0, 100, 0) << false << qRgb(200, 200, 200);
}

void tst_FontButton::textColour() {
    QFETCH(QRgb, swatch);
    QFETCH(bool, enabled);
    QFETCH(QRgb, written);

    Fixture f(swatch);
    f.button.setEnabled(enabled);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));

    QVERIFY(CountPixels(f.button, written) > 40);
    if (!enabled) {
        QCOMPARE(CountPixels(f.button, swatch), 0);
    }
}

void tst_FontButton::disabled_opensNoPicker() {
    Fixture f(qRgb(0, 0, 100));
    f.pickers.fonts.push_back(Font(u"Liberation Sans"_s, 12, QFont::Bold));
    f.button.setEnabled(false);
    QSignalSpy spy(&f.button, &FontButton::fontChanged);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));

    QTest::mouseClick(&f.button, Qt::LeftButton);

    QCOMPARE(f.pickers.fontRequests, 0);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(f.button.logFont().faceName, u"Liberation Serif"_s);
}

QTEST_MAIN(tst_FontButton)
#include "tst_FontButton.moc"
