#include "GradientFill.h"
#include "GradientListBox.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

namespace {

constexpr QRgb kSentinel = 0xff123456;

bool IsDark(QRgb pixel) {
    return qGray(pixel) < 110;
}

// Columns and rows of `image` within `area` that hold a dark (text) pixel.
struct Ink {
    int left = -1;
    int right = -1;
    int top = -1;
    int bottom = -1;
    bool any() const { return left >= 0; }
};

Ink InkIn(const QImage& image, const QRect& area) {
    Ink ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!IsDark(image.pixel(x, y))) {
                continue;
            }
            ink.left = ink.left < 0 ? x : std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = ink.top < 0 ? y : std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
        }
    }
    return ink;
}

}  // namespace

class tst_GradientListBox : public QObject {
    Q_OBJECT

    // A shown list of 300 by 200 pixels holding `texts`, with `selectedRow` selected (-1: none).
    std::unique_ptr<GradientListBox> MakeList(const QStringList& texts, int selectedRow) {
        auto list = std::make_unique<GradientListBox>();
        list->resize(300, 200);
        list->addItems(texts);
        list->setCurrentRow(selectedRow);
        list->show();
        return list;
    }

    // The widget's pixels and the rectangle of `row` in them.
    static QImage Grab(GradientListBox& list) { return list.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    static QRect RowRect(GradientListBox& list, int row) {
        return list.visualItemRect(list.item(row)).translated(list.viewport()->pos());
    }

private slots:
    void gradient_runsFromTopColourOnFirstRowToBottomColourOnLast_data() {
        QTest::addColumn<QRect>("rect");
        QTest::newRow("item row") << QRect(0, 0, 40, 26);
        QTest::newRow("offset in the image") << QRect(5, 7, 9, 12);
        QTest::newRow("two rows") << QRect(2, 3, 4, 2);
        QTest::newRow("one row") << QRect(10, 10, 20, 1);
    }
    void gradient_runsFromTopColourOnFirstRowToBottomColourOnLast() {
        QFETCH(QRect, rect);
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(kSentinel);
        {
            QPainter painter(&image);
            FillVerticalGradient(painter, rect, kSelectionTop, kSelectionBottom);
        }
        QCOMPARE(QColor(image.pixel(rect.left(), rect.top())), kSelectionTop);
        QCOMPARE(QColor(image.pixel(rect.right(), rect.top())), kSelectionTop);
        if (rect.height() > 1) {
            QCOMPARE(QColor(image.pixel(rect.left(), rect.bottom())), kSelectionBottom);
            QCOMPARE(QColor(image.pixel(rect.right(), rect.bottom())), kSelectionBottom);
        }
        // Every row one colour, each row no lighter than the one above it.
        int previousBlue = 256;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            const QRgb rowColour = image.pixel(rect.left(), y);
            for (int x = rect.left(); x <= rect.right(); ++x) {
                QCOMPARE(image.pixel(x, y), rowColour);
            }
            QVERIFY(qBlue(rowColour) <= previousBlue);
            previousBlue = qBlue(rowColour);
        }
        // Nothing outside the rectangle.
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (!rect.contains(x, y)) {
                    QCOMPARE(image.pixel(x, y), kSentinel);
                }
            }
        }
    }

    void gradient_emptyRectangleLeavesPixels() {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(kSentinel);
        {
            QPainter painter(&image);
            FillVerticalGradient(painter, QRect(1, 1, 0, 5), kSelectionTop, kSelectionBottom);
            FillVerticalGradient(painter, QRect(1, 1, 5, 0), kSelectionTop, kSelectionBottom);
        }
        QImage untouched(8, 8, QImage::Format_RGB32);
        untouched.fill(kSentinel);
        QCOMPARE(image, untouched);
    }

    void selection_whiteFrameTwoPixelsInsideWithGradientBandOutside() {
        const QRect rect(3, 4, 30, 26);
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(kSentinel);
        {
            QPainter painter(&image);
            DrawSelection(painter, rect);
        }
        const QRect frame = rect.adjusted(2, 2, -2, -2);
        const QRgb white = qRgb(255, 255, 255);
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const bool onFrame = frame.contains(x, y) && !frame.adjusted(1, 1, -1, -1).contains(x, y);
                QVERIFY2((image.pixel(x, y) == white) == onFrame, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        }
        QCOMPARE(QColor(image.pixel(rect.left(), rect.top())), kSelectionTop);
        QCOMPARE(QColor(image.pixel(rect.right(), rect.bottom())), kSelectionBottom);
        QCOMPARE(image.pixel(rect.left() - 1, rect.top()), kSentinel);
        QCOMPARE(image.pixel(rect.right() + 1, rect.bottom() + 1), kSentinel);
    }

    void items_are26PixelsHighWhateverTheFont_data() {
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("small") << 8;
        QTest::newRow("default") << 0;
        QTest::newRow("taller than the item") << 40;
    }
    void items_are26PixelsHighWhateverTheFont() {
        QFETCH(int, pixelSize);
        auto list = MakeList({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}, -1);
        if (pixelSize > 0) {
            QFont font = list->font();
            font.setPixelSize(pixelSize);
            list->setFont(font);
        }
        for (int row = 0; row < list->count(); ++row) {
            const QRect rect = list->visualItemRect(list->item(row));
            QCOMPARE(rect.height(), GradientListBox::kItemHeight);
            QCOMPARE(rect.top(), row * GradientListBox::kItemHeight);
            // Every row spans the box, so nothing scrolls sideways.
            QCOMPARE(rect.width(), list->viewport()->width());
        }
    }

    void selectedRow_drawsSelectionLookAndUnselectedRowsPlainWhite() {
        auto list = MakeList({QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third")}, 1);
        const QImage image = Grab(*list);
        const QRect selected = RowRect(*list, 1);
        QCOMPARE(QColor(image.pixel(selected.left(), selected.top())), kSelectionTop);
        QCOMPARE(QColor(image.pixel(selected.right(), selected.top())), kSelectionTop);
        QCOMPARE(QColor(image.pixel(selected.left(), selected.bottom())), kSelectionBottom);
        QCOMPARE(QColor(image.pixel(selected.left() + 1, selected.center().y())).blue(),
                 QColor(image.pixel(selected.right() - 1, selected.center().y())).blue());
        const QRgb white = qRgb(255, 255, 255);
        QCOMPARE(image.pixel(selected.left() + 2, selected.center().y()), white);
        QCOMPARE(image.pixel(selected.right() - 2, selected.center().y()), white);
        QCOMPARE(image.pixel(selected.center().x(), selected.top() + 2), white);
        QCOMPARE(image.pixel(selected.center().x(), selected.bottom() - 2), white);
        QVERIFY(image.pixel(selected.left() + 3, selected.top() + 3) != white);

        for (int row : {0, 2}) {
            const QRect plain = RowRect(*list, row);
            for (int x = plain.left(); x <= plain.right(); ++x) {
                QCOMPARE(image.pixel(x, plain.top()), white);
                QCOMPARE(image.pixel(x, plain.bottom()), white);
            }
        }
    }

    void selecting_movesTextFivePixelsRightAndKeepsItCentred() {
        const QString text = QStringLiteral("Hello");
        auto list = MakeList({text, text}, 1);
        const QImage image = Grab(*list);
        const QRect plainRow = RowRect(*list, 0);
        const QRect selectedRow = RowRect(*list, 1);
        const Ink plain = InkIn(image, plainRow);
        const Ink selected = InkIn(image, selectedRow);
        QVERIFY(plain.any() && selected.any());
        QCOMPARE(selected.left - selectedRow.left(), plain.left - plainRow.left() + 5);
        QCOMPARE(selected.top - selectedRow.top(), plain.top - plainRow.top());
        QCOMPARE(selected.bottom - selectedRow.top(), plain.bottom - plainRow.top());

        // Deselecting brings back the plain look.
        list->clearSelection();
        const QImage after = Grab(*list);
        QCOMPARE(InkIn(after, selectedRow).left - selectedRow.left(), plain.left - plainRow.left());
        QCOMPARE(QColor(after.pixel(selectedRow.left(), selectedRow.top())), QColor(Qt::white));
    }

    void longText_isCutAtTheTextRectangleWithoutEllipsis_data() {
        QTest::addColumn<bool>("selected");
        QTest::newRow("plain") << false;
        QTest::newRow("selected") << true;
    }
    void longText_isCutAtTheTextRectangleWithoutEllipsis() {
        QFETCH(bool, selected);
        auto list = MakeList({QString(200, QLatin1Char('W'))}, selected ? 0 : -1);
        const QImage image = Grab(*list);
        const QRect row = RowRect(*list, 0);
        const QRect textRect = selected ? row.adjusted(5, 4, -5, -4) : row;
        const Ink ink = InkIn(image, row);
        QVERIFY(ink.any());
        QVERIFY(ink.right <= textRect.right());
        // A "W" reaches the last few columns at full height; an ellipsis would only put dots there.
        const Ink tail = InkIn(image, QRect(textRect.right() - 8, row.top(), 9, row.center().y() - row.top() - 1));
        QVERIFY(tail.any());
    }

    void ampersands_hideOneAndShowTheDoubledOne_data() {
        QTest::addColumn<QString>("itemText");
        QTest::addColumn<QString>("shownText");
        QTest::addColumn<bool>("underlined");
        QTest::newRow("no ampersand") << QStringLiteral("ab") << QStringLiteral("ab") << false;
        QTest::newRow("single: hidden, next underlined") << QStringLiteral("a&b") << QStringLiteral("ab") << true;
        QTest::newRow("double: one shown") << QStringLiteral("a&&b") << QStringLiteral("a&b") << false;
        QTest::newRow("path") << QStringLiteral("/x/R&&D.html") << QStringLiteral("/x/R&D.html") << false;
    }
    void ampersands_hideOneAndShowTheDoubledOne() {
        QFETCH(QString, itemText);
        QFETCH(QString, shownText);
        QFETCH(bool, underlined);
        auto list = MakeList({itemText}, -1);
        const QRect row = RowRect(*list, 0);
        const Ink drawn = InkIn(Grab(*list), row);

        // The shown text drawn literally, with the same font, in a row of the same size.
        QImage reference(row.size(), QImage::Format_RGB32);
        reference.fill(Qt::white);
        {
            QPainter painter(&reference);
            painter.setFont(list->font());
            painter.setPen(Qt::black);
            painter.drawText(reference.rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText);
        }
        const Ink expected = InkIn(reference, reference.rect());
        QCOMPARE(drawn.left - row.left(), expected.left);
        QCOMPARE(drawn.right - row.left(), expected.right);
        QCOMPARE(drawn.top - row.top(), expected.top);
        QCOMPARE(drawn.bottom - row.top() > expected.bottom, underlined);
    }

    void manyItems_showVerticalScrollBarOnly() {
        QStringList texts;
        for (int i = 0; i < 20; ++i) {
            texts.append(QStringLiteral("/pages/page%1.html").arg(i));
        }
        auto list = MakeList(texts, -1);
        QVERIFY(list->verticalScrollBar()->isVisible());
        QVERIFY(!list->horizontalScrollBar()->isVisible());
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    }
};

QTEST_MAIN(tst_GradientListBox)
#include "tst_GradientListBox.moc"
