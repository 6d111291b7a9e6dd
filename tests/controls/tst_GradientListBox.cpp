#include "DataTable.h"
#include "TestPixels.h"
#include "controls/GradientFill.h"
#include "controls/GradientListBox.h"

#include <QPainter>
#include <QTest>

class tst_GradientListBox : public QObject {
    Q_OBJECT

private slots:
    void selectionLook_gradientTopToBottomWithFrameTwoPixelsInside_data() {
        QTest::addColumn<QRect>("rect");
        QTest::newRow("item row") << QRect(0, 0, 40, 26);
        QTest::newRow("offset in the image") << QRect(5, 7, 9, 12);
        QTest::newRow("thin") << QRect(2, 3, 4, 2);
    }
    void selectionLook_gradientTopToBottomWithFrameTwoPixelsInside() {
        QFETCH(QRect, rect);
        QImage image(48, 48, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        DrawSelection(painter, rect);
        painter.end();
        const QRect frame = rect.adjusted(2, 2, -2, -2);
        for (int i = 0; i < 48 * 48; ++i) {
            // Outside untouched; the frame white; the gradient one colour a row, darkening downwards.
            const int x = i % 48;
            const int y = i / 48;
            const QRgb gradient = image.pixel(rect.left(), y);
            const QRgb expected = !rect.contains(x, y)                                                   ? 0xff000000
                                  : frame.contains(x, y) && !frame.adjusted(1, 1, -1, -1).contains(x, y) ? 0xffffffff
                                                                                                         : gradient;
            QVERIFY2(image.pixel(x, y) == expected, qPrintable(u"%1,%2"_qs.arg(x).arg(y)));
            QVERIFY(y == rect.top() || expected != gradient ||
                    qBlue(gradient) <= qBlue(image.pixel(rect.left(), y - 1)));
        }
        QCOMPARE(QColor(image.pixel(rect.topLeft())), kSelectionTop);
        QCOMPARE(QColor(image.pixel(rect.bottomRight())), kSelectionBottom);
    }

    void row_drawsItsTextLikeAPlainLabel_data() { AddTableRows(QFINDTESTDATA("list-rows.txt")); }
    void row_drawsItsTextLikeAPlainLabel() {
        QFETCH(QStringList, row);
        for (QString& text : row) {
            text = text.startsWith(u"W*") ? QString(text.mid(2).toInt(), u'W') : text;
        }
        const bool selected = row[1] == u"yes";
        GradientListBox list;
        if (row[4] != u"-") {
            QFont font = list.font();
            font.setPixelSize(row[4].toInt());
            list.setFont(font);
        }
        list.resize(300, 200);
        list.addItem(row[0]);
        list.setCurrentRow(selected ? 0 : -1);
        list.show();
        const QImage image = Shot(list);
        QCOMPARE(list.visualItemRect(list.item(0)), QRect(0, 0, list.viewport()->width(), 26));
        const QRect box = list.visualItemRect(list.item(0)).translated(list.viewport()->pos());
        QCOMPARE(QColor(image.pixel(box.topLeft())), selected ? kSelectionTop : QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(box.bottomRight())), selected ? kSelectionBottom : QColor(Qt::white));

        QImage reference(box.size(), QImage::Format_RGB32);
        reference.fill(Qt::white);
        QPainter painter(&reference);
        painter.setFont(list.font());
        if (selected) {
            DrawSelection(painter, reference.rect());
        }
        painter.drawText(selected ? reference.rect().adjusted(5, 4, -5, -4) : reference.rect(), Qt::AlignVCenter,
                         row[2]);
        painter.end();
        const QRect upper(0, 0, box.width(), 12);
        QCOMPARE(InkIn(image, upper.translated(box.topLeft())).translated(-box.topLeft()), InkIn(reference, upper));
        const QRect drawn = InkIn(image, box).translated(-box.topLeft());
        const QRect expected = InkIn(reference, reference.rect());
        QCOMPARE(drawn.adjusted(0, 0, 0, expected.bottom() - drawn.bottom()), expected);
        QCOMPARE(drawn.bottom() > expected.bottom(), row[3] == u"yes");
    }
};

QTEST_MAIN(tst_GradientListBox)
#include "tst_GradientListBox.moc"
