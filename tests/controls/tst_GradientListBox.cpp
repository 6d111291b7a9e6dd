#include "GradientFill.h"
#include "GradientListBox.h"

#include <QPainter>
#include <QTest>

namespace {

constexpr QRgb kSentinel = 0xff123456;
constexpr QRgb kWhite = 0xffffffff;

// The bounding box of the dark (text) pixels of `image` within `area`; invalid when there are none.
QRect InkIn(const QImage& image, const QRect& area) {
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 110) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    return ink;
}

}  // namespace

class tst_GradientListBox : public QObject {
    Q_OBJECT

    GradientListBox list;

    // Shows `texts` with `selectedRow` selected (-1: none); returns the widget's pixels.
    QImage Show(const QStringList& texts, int selectedRow) {
        list.clear();
        list.addItems(texts);
        list.setCurrentRow(selectedRow);
        return list.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    QRect Row(int row) { return list.visualItemRect(list.item(row)).translated(list.viewport()->pos()); }

private slots:
    void initTestCase() {
        list.resize(300, 200);
        list.show();
    }

    void selectionLook_gradientTopToBottomWithFrameTwoPixelsInside_data() {
        QTest::addColumn<QRect>("rect");
        QTest::newRow("item row") << QRect(0, 0, 40, 26);
        QTest::newRow("offset in the image") << QRect(5, 7, 9, 12);
        QTest::newRow("thin") << QRect(2, 3, 4, 2);
    }
    void selectionLook_gradientTopToBottomWithFrameTwoPixelsInside() {
        QFETCH(QRect, rect);
        QImage image(48, 48, QImage::Format_RGB32);
        image.fill(kSentinel);
        {
            QPainter painter(&image);
            DrawSelection(painter, rect);
        }
        const QRect frame = rect.adjusted(2, 2, -2, -2);
        int previousBlue = 256;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                const QString where = QStringLiteral("%1,%2").arg(x).arg(y);
                if (!rect.contains(x, y)) {
                    QVERIFY2(pixel == kSentinel, qPrintable(where));
                } else if (frame.contains(x, y) && !frame.adjusted(1, 1, -1, -1).contains(x, y)) {
                    QVERIFY2(pixel == kWhite, qPrintable(where));
                } else {
                    // Gradient: every row one colour, no lighter than the row above.
                    QVERIFY2(pixel == image.pixel(rect.left(), y), qPrintable(where));
                    QVERIFY2(qBlue(pixel) <= previousBlue, qPrintable(where));
                }
            }
            if (rect.contains(rect.left(), y)) {
                previousBlue = qBlue(image.pixel(rect.left(), y));
            }
        }
        QCOMPARE(QColor(image.pixel(rect.left(), rect.top())), kSelectionTop);
        QCOMPARE(QColor(image.pixel(rect.right(), rect.bottom())), kSelectionBottom);
    }

    void rows_are26PixelsHighAndSpanTheBoxWhateverTheFont_data() {
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("small") << 8;
        QTest::newRow("taller than a row") << 40;
    }
    void rows_are26PixelsHighAndSpanTheBoxWhateverTheFont() {
        QFETCH(int, pixelSize);
        GradientListBox box;
        QFont font = box.font();
        font.setPixelSize(pixelSize);
        box.setFont(font);
        box.resize(300, 200);
        box.addItems({QStringLiteral("one"), QString(300, QLatin1Char('x'))});
        box.show();
        for (int row = 0; row < box.count(); ++row) {
            QCOMPARE(box.visualItemRect(box.item(row)), QRect(0, row * 26, box.viewport()->width(), 26));
        }
    }

    void grab_selectedRowOnGradientWithInsetTextOthersPlain() {
        const QString text = QStringLiteral("Hello");
        const QImage image = Show({text, text, text}, 1);
        const QRect selected = Row(1);
        QCOMPARE(QColor(image.pixel(selected.topLeft())), kSelectionTop);
        QCOMPARE(QColor(image.pixel(selected.bottomRight())), kSelectionBottom);
        QCOMPARE(image.pixel(selected.left() + 2, selected.center().y()), kWhite);
        QCOMPARE(image.pixel(selected.right() - 2, selected.top() + 2), kWhite);
        for (int row : {0, 2}) {
            QCOMPARE(image.pixel(Row(row).topLeft()), kWhite);
            QCOMPARE(image.pixel(Row(row).bottomRight()), kWhite);
        }
        // The selected text sits 5 pixels further right, at the same height (centred either way).
        const QRect plainInk = InkIn(image, Row(0)).translated(-Row(0).topLeft());
        const QRect selectedInk = InkIn(image, selected).translated(-selected.topLeft());
        QCOMPARE(selectedInk, plainInk.translated(5, 0));

        list.clearSelection();
        const QImage deselected = list.grab().toImage();
        QCOMPARE(InkIn(deselected, selected).translated(-selected.topLeft()), plainInk);
    }

    void longText_isCutAtTheTextRectangleWithoutEllipsis_data() {
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<int>("inset");
        QTest::newRow("plain") << -1 << 0;
        QTest::newRow("selected") << 0 << 5;
    }
    void longText_isCutAtTheTextRectangleWithoutEllipsis() {
        QFETCH(int, selectedRow);
        QFETCH(int, inset);
        const QImage image = Show({QString(200, QLatin1Char('W'))}, selectedRow);
        const int textRight = Row(0).right() - inset;
        const int inkRight = InkIn(image, Row(0)).right();
        QVERIFY(inkRight <= textRight && inkRight >= textRight - 2);
        // A "W" reaches the last columns above the middle; an ellipsis would put only dots there.
        QVERIFY(InkIn(image, QRect(textRight - 8, Row(0).top(), 9, 12)).isValid());
    }

    void ampersands_hideOneUnderliningTheNextAndShowTheDoubledOne_data() {
        QTest::addColumn<QString>("itemText");
        QTest::addColumn<QString>("shownText");
        QTest::addColumn<bool>("underlined");
        QTest::newRow("none") << QStringLiteral("ab") << QStringLiteral("ab") << false;
        QTest::newRow("single") << QStringLiteral("a&b") << QStringLiteral("ab") << true;
        QTest::newRow("double") << QStringLiteral("/x/R&&D.html") << QStringLiteral("/x/R&D.html") << false;
    }
    void ampersands_hideOneUnderliningTheNextAndShowTheDoubledOne() {
        QFETCH(QString, itemText);
        QFETCH(QString, shownText);
        QFETCH(bool, underlined);
        const QRect drawn = InkIn(Show({itemText}, -1), Row(0)).translated(-Row(0).topLeft());

        QImage reference(Row(0).size(), QImage::Format_RGB32);
        reference.fill(Qt::white);
        {
            QPainter painter(&reference);
            painter.setFont(list.font());
            painter.drawText(reference.rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText);
        }
        const QRect expected = InkIn(reference, reference.rect());
        QCOMPARE(drawn.left(), expected.left());
        QCOMPARE(drawn.right(), expected.right());
        QCOMPARE(drawn.top(), expected.top());
        QCOMPARE(drawn.bottom() > expected.bottom(), underlined);
    }
};

QTEST_MAIN(tst_GradientListBox)
#include "tst_GradientListBox.moc"
