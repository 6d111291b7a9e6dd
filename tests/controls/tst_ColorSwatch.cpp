#include "DataTable.h"
#include "FakePickers.h"
#include "controls/ColorSwatch.h"

#include <QAccessible>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cstdlib>

class tst_ColorSwatch : public QObject {
    Q_OBJECT

private slots:
    void click_storesPaintsAndTellsThePick_data() { AddTableRows(QFINDTESTDATA("swatch-clicks.txt")); }
    void click_storesPaintsAndTellsThePick() {
        QFETCH(QStringList, row);
        const bool enabled = row[0] == u"yes";
        const QRgb stored = qRgb(0, 0, 0) | row[2].toUInt(nullptr, 16);
        FakePickers pickers;
        pickers.colors.push_back(row[1] == u"cancelled" ? std::nullopt : std::optional(QColor::fromString(row[1])));
        QWidget parent;
        ColorSwatch swatch(pickers, qRgb(0, 0, 100), 102, &parent);
        swatch.setGeometry(10, 10, 20, 20);
        swatch.setEnabled(enabled);
        QSignalSpy changed(&swatch, &ColorSwatch::colorChanged);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        if (const QByteArray how = QTest::currentDataTag(); how.startsWith("key")) {
            swatch.setFocus();
            QTest::keyClick(&swatch, how.contains("Enter") ? Qt::Key_Return : Qt::Key_Space);
        } else if (how.startsWith("screen reader")) {
            QAccessible::queryAccessibleInterface(&swatch)->actionInterface()->doAction(
                QAccessibleActionInterface::pressAction());
            QCoreApplication::sendPostedEvents(&swatch);
        } else {
            QTest::mouseClick(&swatch, Qt::LeftButton);
        }
        QCOMPARE(pickers.colorRequests, enabled ? 1 : 0);
        QCOMPARE(swatch.GetColor(), stored);
        QCOMPARE(swatch.grab().toImage().pixel(10, 10), qRgb(0, 0, 0) | row[3].toUInt(nullptr, 16));
        const bool told = enabled && row[1] != u"cancelled";
        QCOMPARE(QList<QVariantList>(changed), (told ? QList<QVariantList>{{102, stored}} : QList<QVariantList>()));
    }

    // With the focus from the keyboard, the swatch shows where it is whatever colour it holds: the
    // style's frame in the highlight colour could not be seen on the navy a line starts with.
    void keyboardFocus_showsOnAnyColor() {
        for (const QRgb color : {qRgb(0, 0, 100), qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(48, 140, 198)}) {
            FakePickers pickers;
            QWidget parent;
            ColorSwatch swatch(pickers, color, 102, &parent);
            swatch.setGeometry(10, 10, 20, 20);
            parent.show();
            QVERIFY(QTest::qWaitForWindowActive(&parent));
            parent.setAttribute(Qt::WA_KeyboardFocusChange);
            swatch.setFocus();
            const QImage shown = swatch.grab().toImage();
            int most = 0;
            for (int x = 0; x < 4; ++x) {
                const QRgb seen = shown.pixel(x, 10);
                most = std::max({most, std::abs(qRed(seen) - qRed(color)), std::abs(qGreen(seen) - qGreen(color)),
                                 std::abs(qBlue(seen) - qBlue(color))});
            }
            QVERIFY2(most >= 128, qPrintable(QString::number(color, 16)));
        }
    }
};

QTEST_MAIN(tst_ColorSwatch)
#include "tst_ColorSwatch.moc"
