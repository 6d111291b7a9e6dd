#include "DataTable.h"
#include "TestGif.h"
#include "TestPixels.h"
#include "banner/TemplateImage.h"
#include "controls/BannerView.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const std::map<QChar, QRgb> kColors{{u'R', qRgb(200, 0, 0)},
                                    {u'B', qRgb(0, 0, 200)},
                                    {u'G', qRgb(0, 160, 0)},
                                    {u'Y', qRgb(220, 220, 0)},
                                    {u'W', qRgb(255, 255, 255)}};

// Quadrants red, blue (top right), green (bottom left) and yellow.
QImage Quadrants(int size) {
    return Painted({size, size}, [size](int x, int y) {
        return kColors.at(QStringView(u"RBGY")[2 * (2 * y >= size) + (2 * x >= size)]);
    });
}

}  // namespace

class tst_BannerView : public QObject {
    Q_OBJECT

private slots:
    void banner_isScaledIntoTheWholeWidget_data() { AddTableRows(QFINDTESTDATA("view-pixels.txt")); }
    void banner_isScaledIntoTheWholeWidget() {
        QFETCH(QStringList, row);
        QTemporaryDir dir;
        BannerView view;
        view.resize(row[0].section(u'x', 0, 0).toInt(), row[0].section(u'x', 1).toInt());
        if (row[1] == u"none") {
            view.SetLine(0, {u"Line 1"_qs, {}, qRgb(0, 0, 0), true});
        } else {
            const QString path = dir.filePath(u"t.gif"_qs);
            QVERIFY(WriteTestGif(path, Quadrants(row[1] == u"missing" ? 100 : row[1].toInt())));
            view.SetTemplate(LoadTemplateImage(path).image);
            Shot(view);
            if (row[1] == u"missing") {
                view.SetTemplate(LoadTemplateImage(dir.filePath(u"missing.gif"_qs)).image);
            }
        }
        if (row[2] != u"-") {
            view.SetBannerSize(row[2].toInt());
        }
        view.SetSide(row[3] == u"left" ? BannerSide::Left : BannerSide::Right);
        const QImage shown = Shot(view);
        if (row[4] == u"all W") {
            QCOMPARE(CountOf(shown, kColors.at(u'W')), view.width() * view.height());
            return;
        }
        const QStringList probes = row[4].split(u' ');
        for (qsizetype i = 0; i < probes.size(); i += 2) {
            const QPoint at(probes[i].section(u',', 0, 0).toInt(), probes[i].section(u',', 1).toInt());
            QVERIFY2(shown.pixel(at) == kColors.at(probes[i + 1][0]), qPrintable(probes[i]));
        }
    }
};

QTEST_MAIN(tst_BannerView)
#include "tst_BannerView.moc"
