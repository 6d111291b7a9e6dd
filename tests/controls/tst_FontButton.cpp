#include "DataTable.h"
#include "FakePickers.h"
#include "TestPixels.h"
#include "controls/ColorSwatch.h"
#include "controls/FontButton.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A swatch and the font button of line 103, shown as the editor places them.
struct Fixture {
    explicit Fixture(QRgb color)
        : swatch(pickers, color, 103, &parent)
        , button(pickers, u"Liberation Serif"_qs, 18, swatch, 103, &parent) {
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
    void pick_storesFaceAndStyleAndTellsTheLine_data() { AddTableRows(QFINDTESTDATA("font-picks.txt")); }
    void pick_storesFaceAndStyleAndTellsTheLine() {
        QFETCH(QStringList, row);
        Fixture f(qRgb(0, 0, 100));
        if (row[0] != u"cancelled") {
            const QString face = row[0].section(u' ', 0, -3);
            const QString flags = row[0].section(u' ', -1);
            QFont font;
            font.setFamilies(face.isEmpty() ? QStringList() : QStringList{face});
            font.setPointSize(36);
            font.setWeight(QFont::Weight(row[0].section(u' ', -2, -2).toInt()));
            font.setItalic(flags.contains(u'i'));
            font.setUnderline(flags.contains(u'u'));
            font.setStrikeOut(flags.contains(u's'));
            f.pickers.fonts.push_back(font);
        }
        QSignalSpy changed(&f.button, &FontButton::fontChanged);
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        if (QByteArray(QTest::currentDataTag()).startsWith("key")) {
            f.button.setFocus();
            QTest::keyClick(&f.button, Qt::Key_Space);
        } else {
            QTest::mouseClick(&f.button, Qt::LeftButton);
        }
        QCOMPARE(f.pickers.fontRequests, 1);
        const BannerFont& s = f.button.LogFont();
        const QString flags =
            (s.italic ? u"i"_qs : u""_qs) + (s.underline ? u"u"_qs : u""_qs) + (s.strikeOut ? u"s"_qs : u""_qs);
        QCOMPARE(u"%1 %2 %3 %4"_qs.arg(s.faceName).arg(s.height).arg(s.weight).arg(flags.isEmpty() ? u"-"_qs : flags),
                 row[1]);
        QCOMPARE(QList<QVariantList>(changed), s.height == 0 ? QList<QVariantList>{{103}} : QList<QVariantList>());
        QVERIFY2(row[2] == u"-" ? f.button.toolTip().isEmpty() : f.button.toolTip().startsWith(row[2]),
                 qPrintable(f.button.toolTip()));
    }

    void text_inTheSwatchColour_data() { AddTableRows(QFINDTESTDATA("font-text.txt")); }
    void text_inTheSwatchColour() {
        QFETCH(QStringList, row);
        const bool enabled = row[1] == u"yes";
        Fixture f(qRgb(0, 0, 0) | row[0].toUInt(nullptr, 16));
        f.button.setEnabled(enabled);
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        // Glyph interiors are drawn in exactly the pen's colour; the frame is left out.
        const QImage text = f.button.grab(f.button.rect().adjusted(1, 1, -1, -1)).toImage();
        QVERIFY(CountOf(text, row[2].toUInt(nullptr, 16)) > 40);
        QVERIFY(enabled || CountOf(text, row[0].toUInt(nullptr, 16)) == 0);
        QTest::mouseClick(&f.button, Qt::LeftButton);
        QCOMPARE(f.pickers.fontRequests, enabled ? 1 : 0);
    }
};

QTEST_MAIN(tst_FontButton)
#include "tst_FontButton.moc"
