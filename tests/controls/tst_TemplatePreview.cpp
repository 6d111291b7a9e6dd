#include "DataTable.h"
#include "TestGif.h"
#include "TestPixels.h"
#include "controls/TemplatePreview.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// Red and green carry x and y modulo 15 (a GIF holds 255 colours); never white.
QImage PositionImage(const QSize& size) {
    return Painted(
        size, [](int x, int y) { return x % 15 == 7 && y % 15 == 7 ? 0 : qRgb(16 * (x % 15), 16 * (y % 15), 64); });
}

}  // namespace

class tst_TemplatePreview : public QObject {
    Q_OBJECT

private slots:
    void beforeAnyTemplate_framedPromptInTheMiddle() {
        TemplatePreview box;
        box.resize(192, 150);
        const QImage shown = Shot(box);
        const QRect inside(1, 1, 190, 148);
        QCOMPARE(CountOf(shown, qRgb(0, 0, 0)) - CountOf(shown.copy(inside), qRgb(0, 0, 0)), 2 * 192 + 2 * 148);
        const QRect ink = InkIn(shown, inside);
        QVERIFY2(ink.top() > 55 && ink.bottom() < 95 && ink.width() > 40, "prompt text outside the middle");
        QVERIFY(qAbs(ink.left() - (191 - ink.right())) <= 3);
    }

    void template_isShownUnscaledFromItsCropOffset_data() { AddTableRows(QFINDTESTDATA("preview-pixels.txt")); }
    void template_isShownUnscaledFromItsCropOffset() {
        QFETCH(QStringList, row);
        QTemporaryDir dir;
        const QString path = row[0] == u"none" ? QString() : dir.filePath(u"t.gif"_qs);
        // The one shown first is the same file, where there is one, written anew or taken away.
        const QString first = path.isEmpty() ? dir.filePath(u"first.gif"_qs) : path;
        QVERIFY(WriteTestGif(first, PositionImage({300, 300})));
        TemplatePreview box;
        box.resize(192, 150);
        box.ShowTemplate(first);
        QVERIFY(row[0] != u"missing" || QFile::remove(path));
        if (row[0] == u"text") {
            QVERIFY(WriteAll(path, "plain text"));
        } else if (row[0].contains(u'x')) {
            const QStringList size = row[0].split(u'x');
            QVERIFY(WriteTestGif(path, PositionImage({size[0].toInt(), size[1].toInt()})));
        }
        box.ShowTemplate(path);
        const QImage shown = Shot(box);
        if (row[1] == u"all") {
            QCOMPARE(CountOf(shown, qRgb(255, 255, 255)), 192 * 150);
            return;
        }
        const QRgb pixel = shown.pixel(row[1].section(u',', 0, 0).toInt(), row[1].section(u',', 1).toInt());
        const QString source =
            u"%1,%2"_qs.arg(row[2].section(u',', 0, 0).toInt() % 15).arg(row[2].section(u',', 1).toInt() % 15);
        QCOMPARE(pixel == qRgb(255, 255, 255) ? u"white"_qs : u"%1,%2"_qs.arg(qRed(pixel) / 16).arg(qGreen(pixel) / 16),
                 row[2] == u"white" ? row[2] : source);
    }
};

QTEST_MAIN(tst_TemplatePreview)
#include "tst_TemplatePreview.moc"
