#include "TemplateCatalog.h"
#include "TemplateStrip.h"
#include "TestGif.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <memory>

namespace {

const QRect kStripRect(0, 0, 356, 354);
const QColor kWhite(Qt::white);

// Template i is a solid colour of its own, far from white and from the selection colours.
QColor ColorOf(int i) {
    return QColor(20 + i * 9, 120 - i * 5, 40 + i * 3);
}

// A folder of `count` solid templates t00.gif, t01.gif, ... scanned into a catalog.
struct Templates {
    QTemporaryDir dir;
    TemplateCatalog catalog;

    explicit Templates(int count, const std::function<QImage(int)>& make = {}) {
        for (int i = 0; i < count; ++i) {
            const QImage image = make ? make(i) : SolidTemplate(ColorOf(i));
            if (!image.isNull()) {
                WriteTestGif(Path(i), image);
            }
        }
        catalog.Scan(dir.path() + u'/');
    }
    QString Path(int i) const { return dir.filePath(QStringLiteral("t%1.gif").arg(i, 2, 10, QLatin1Char('0'))); }
};

// A created strip in a host window, with every reported path.
struct Strip {
    QWidget host;
    TemplateStrip* strip = nullptr;
    QStringList reported;

    explicit Strip(const TemplateCatalog* catalog) {
        host.resize(400, 400);
        strip = new TemplateStrip(catalog, &host);
        QObject::connect(strip, &TemplateStrip::templateSelected, [this](const QString& path) { reported << path; });
        strip->Create(kStripRect);
        host.show();
    }
    QImage Grab() const { return strip->grab().toImage(); }
    QColor At(const QPoint& p) const { return Grab().pixelColor(p); }
    QPoint CellCentre(int row, int column) const {
        return strip->CellOrigin(row, column) + QPoint(strip->CellSize() / 2, strip->CellSize() / 2);
    }
    void Wheel(int delta) {
        const QPointF at(50, 50);
        QWheelEvent event(at, strip->mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(strip, &event);
    }
    void LineDown(int times) {
        for (int i = 0; i < times; ++i) {
            strip->ScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        }
    }
};

}  // namespace

class tst_TemplateStrip : public QObject {
    Q_OBJECT

private slots:
    void geometry() {
        Templates templates(16);
        Strip s(&templates.catalog);
        QCOMPARE(s.strip->CellSize(), 79);
        QCOMPARE(s.strip->VGap(), 12);
        QCOMPARE(s.strip->HGap(), 5);
        const int xs[] = {3, 87, 171, 255};
        const int ys[] = {3, 94, 185, 276};
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                QCOMPARE(s.strip->CellOrigin(row, column), QPoint(xs[column], ys[row]));
            }
        }
        QCOMPARE(s.strip->ScrollBar()->geometry(), QRect(338, 0, 18, 354));

        // Each cell shows its own template, from its first pixel to its last.
        const QImage image = s.Grab();
        for (int i = 0; i < 16; ++i) {
            const QPoint origin = s.strip->CellOrigin(i / 4, i % 4);
            QCOMPARE(image.pixelColor(origin), ColorOf(i));
            // The bottom row loses its last 3 pixel rows to the strip's edge.
            QCOMPARE(image.pixelColor(origin + QPoint(78, i < 12 ? 78 : 74)), ColorOf(i));
            QCOMPARE(image.pixelColor(origin + QPoint(79, 40)), kWhite);
        }
        QCOMPARE(image.pixelColor(337, 10), kWhite);  // the gap before the bar
    }

    void clickSelects_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("scroll");
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<int>("index");
        QTest::newRow("row 1, column 1") << 20 << 0 << QPoint(100, 100) << 5;
        QTest::newRow("two rows down") << 20 << 2 << QPoint(100, 100) << 13;
        QTest::newRow("two rows down, too few templates") << 13 << 2 << QPoint(100, 100) << -1;
        QTest::newRow("the gaps right and below belong to the cell") << 20 << 0 << QPoint(83, 90) << 0;
        QTest::newRow("first pixel of the next area") << 20 << 0 << QPoint(84, 91) << 5;
        QTest::newRow("margin belongs to the first cell") << 20 << 0 << QPoint(1, 2) << 0;
        QTest::newRow("column 4: between the grid and the bar") << 20 << 0 << QPoint(336, 10) << -1;
        QTest::newRow("bottom row") << 20 << 0 << QPoint(300, 353) << 15;
    }
    void clickSelects() {
        QFETCH(int, count);
        QFETCH(int, scroll);
        QFETCH(QPoint, click);
        QFETCH(int, index);
        Templates templates(count);
        Strip s(&templates.catalog);
        s.LineDown(scroll);
        QCOMPARE(s.strip->ScrollPos(), scroll);
        QTest::mouseClick(s.strip, Qt::LeftButton, {}, click);
        if (index < 0) {
            QCOMPARE(s.strip->SelectedIndex(), 0);
            QCOMPARE(s.reported, QStringList{templates.Path(0)});
        } else {
            QCOMPARE(s.strip->SelectedIndex(), index);
            QCOMPARE(s.reported, (QStringList{templates.Path(0), templates.Path(index)}));
        }
    }

    void scrollLimits_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("maxScrollPos");
        QTest::addColumn<bool>("barEnabled");
        QTest::addColumn<int>("barMaximum");
        QTest::newRow("empty") << 0 << -1 << false << 0;
        QTest::newRow("one") << 1 << 0 << false << 0;
        QTest::newRow("sixteen") << 16 << 3 << false << 0;
        QTest::newRow("seventeen") << 17 << 4 << true << 1;
        QTest::newRow("thirty-three") << 33 << 8 << true << 5;
    }
    void scrollLimits() {
        QFETCH(int, count);
        QFETCH(int, maxScrollPos);
        QFETCH(bool, barEnabled);
        QFETCH(int, barMaximum);
        Templates templates(count);
        Strip s(&templates.catalog);
        QCOMPARE(s.strip->MaxScrollPos(), maxScrollPos);
        QCOMPARE(s.strip->ScrollBar()->isEnabled(), barEnabled);
        QCOMPARE(s.strip->ScrollBar()->maximum(), barMaximum);
        QCOMPARE(s.strip->ScrollBar()->pageStep(), 4);
        // The wheel scrolls only where the bar does.
        s.Wheel(-120);
        QCOMPARE(s.strip->ScrollPos(), barEnabled ? 1 : 0);
    }

    void arrowsScrollPastTheThumbsEnd() {
        Templates templates(17);
        Strip s(&templates.catalog);
        s.LineDown(4);
        QCOMPARE(s.strip->ScrollPos(), 4);
        QCOMPARE(s.strip->ScrollBar()->value(), 1);
        const QImage image = s.Grab();
        QCOMPARE(image.pixelColor(s.CellCentre(0, 0)), ColorOf(16));
        QCOMPARE(image.pixelColor(s.CellCentre(0, 1)), kWhite);
        QCOMPARE(image.pixelColor(s.CellCentre(1, 0)), kWhite);
        QCOMPARE(image.pixelColor(s.CellCentre(3, 3)), kWhite);

        s.LineDown(1);
        QCOMPARE(s.strip->ScrollPos(), 4);
        // Line up counts down from the strip's own position, not from the thumb's.
        s.strip->ScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(s.strip->ScrollPos(), 3);
        QCOMPARE(s.At(s.CellCentre(1, 0)), ColorOf(16));
    }

    void scrollCodes_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("expected");
        QTest::newRow("page down from 1") << 1 << int(QAbstractSlider::SliderPageStepAdd) << 4;
        QTest::newRow("page down from 0") << 0 << int(QAbstractSlider::SliderPageStepAdd) << 4;
        QTest::newRow("page up from 2") << 2 << int(QAbstractSlider::SliderPageStepSub) << 0;
        QTest::newRow("page up from 4") << 4 << int(QAbstractSlider::SliderPageStepSub) << 0;
        QTest::newRow("line up at the top") << 0 << int(QAbstractSlider::SliderSingleStepSub) << 0;
        QTest::newRow("to the bottom") << 0 << int(QAbstractSlider::SliderToMaximum) << 4;
        QTest::newRow("to the top") << 3 << int(QAbstractSlider::SliderToMinimum) << 0;
    }
    void scrollCodes() {
        QFETCH(int, start);
        QFETCH(int, action);
        QFETCH(int, expected);
        Templates templates(17);
        Strip s(&templates.catalog);
        s.LineDown(start);
        s.strip->ScrollBar()->triggerAction(QAbstractSlider::SliderAction(action));
        QCOMPARE(s.strip->ScrollPos(), expected);
        QCOMPARE(s.strip->ScrollBar()->value(), std::min(expected, 1));
    }

    void thumbAndWheel() {
        Templates templates(33);
        Strip s(&templates.catalog);
        s.strip->ScrollBar()->setSliderPosition(3);  // dragging the thumb
        QCOMPARE(s.strip->ScrollPos(), 3);
        s.strip->OnVScroll(TemplateStrip::ThumbTrack, 99);
        QCOMPARE(s.strip->ScrollPos(), 8);

        s.strip->OnVScroll(TemplateStrip::Top);
        s.Wheel(-120);
        QCOMPARE(s.strip->ScrollPos(), 1);
        s.Wheel(-60);  // half a notch waits for the other half
        QCOMPARE(s.strip->ScrollPos(), 1);
        s.Wheel(-60);
        QCOMPARE(s.strip->ScrollPos(), 2);
        s.Wheel(240);
        QCOMPARE(s.strip->ScrollPos(), 0);
    }

    void highlightFollowsTheSelectionThroughScrolling() {
        Templates templates(20);
        Strip s(&templates.catalog);
        QTest::mouseClick(s.strip, Qt::LeftButton, {}, QPoint(100, 10));  // index 1
        const QPoint origin = s.strip->CellOrigin(0, 1);
        auto highlighted = [&](const QImage& image) {
            const QColor band = image.pixelColor(origin + QPoint(-2, 40));
            return band.blue() > band.red() + 40 && band != kWhite &&
                   image.pixelColor(origin + QPoint(-1, 40)) == kWhite &&
                   image.pixelColor(origin + QPoint(-3, -3)) == QColor(200, 200, 250);
        };
        QVERIFY(highlighted(s.Grab()));
        QCOMPARE(s.Grab().pixelColor(s.strip->CellOrigin(0, 0) + QPoint(-2, 40)), kWhite);

        s.LineDown(1);
        QCOMPARE(s.strip->SelectedIndex(), 1);
        QVERIFY(!highlighted(s.Grab()));
        s.strip->ScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QVERIFY(highlighted(s.Grab()));
        QCOMPARE(s.reported.size(), 2);  // scrolling reports nothing
    }

    void thumbnailsAreTheMiddleSquareWithTheKeySeeThrough() {
        // 0: left half transparent; 1: a 10-pixel blue border round green, opaque key colour in
        // its middle; 2: 40 pixels, smaller than a cell.
        Templates templates(3, [](int i) {
            if (i == 0) {
                QImage image = SolidTemplate(Qt::red);
                for (int y = 0; y < 100; ++y) {
                    for (int x = 0; x < 50; ++x) {
                        image.setPixelColor(x, y, Qt::transparent);
                    }
                }
                return image;
            }
            if (i == 1) {
                QImage image = SolidTemplate(Qt::blue);
                for (int y = 10; y < 90; ++y) {
                    for (int x = 10; x < 90; ++x) {
                        image.setPixelColor(x, y, 45 <= x && x < 55 ? QColor::fromRgb(TemplateKeyColor) : Qt::green);
                    }
                }
                return image;
            }
            return SolidTemplate(Qt::red, 40);
        });
        Strip s(&templates.catalog);
        const QImage image = s.Grab();

        // The selected template's transparent half shows the gradient; its red half is red.
        const QPoint first = s.strip->CellOrigin(0, 0);
        const QColor under = image.pixelColor(first + QPoint(20, 40));
        QVERIFY2(under.blue() > under.red() && under != kWhite, qPrintable(under.name()));
        QCOMPARE(image.pixelColor(first + QPoint(60, 40)), QColor(Qt::red));

        // Offset (100 - 79) / 2 = 10 on both axes: the blue border is cut off all round.
        const QPoint second = s.strip->CellOrigin(0, 1);
        for (const QPoint p : {QPoint(0, 0), QPoint(78, 78), QPoint(0, 78), QPoint(78, 0)}) {
            QCOMPARE(image.pixelColor(second + p), QColor(Qt::green));
        }
        // Source x 45..54 is opaque key colour: see-through, white on an unselected cell.
        QCOMPARE(image.pixelColor(second + QPoint(35, 40)), kWhite);
        QCOMPARE(image.pixelColor(second + QPoint(44, 40)), kWhite);
        QCOMPARE(image.pixelColor(second + QPoint(45, 40)), QColor(Qt::green));

        // A template smaller than a cell sits centred: (79 - 40) / 2 = 19 on each side.
        const QPoint third = s.strip->CellOrigin(0, 2);
        QCOMPARE(image.pixelColor(third + QPoint(18, 18)), kWhite);
        QCOMPARE(image.pixelColor(third + QPoint(19, 19)), QColor(Qt::red));
        QCOMPARE(image.pixelColor(third + QPoint(58, 58)), QColor(Qt::red));
        QCOMPARE(image.pixelColor(third + QPoint(59, 40)), kWhite);
    }

    void undecodableEntryIsWhiteButSelectable() {
        Templates templates(2);
        QFile bad(templates.dir.filePath(QStringLiteral("t02.gif")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a picture");
        bad.close();
        templates.catalog.Scan(templates.dir.path() + u'/');
        QCOMPARE(templates.catalog.Count(), 3);

        Strip s(&templates.catalog);
        QCOMPARE(s.At(s.CellCentre(0, 2)), kWhite);
        QTest::mouseClick(s.strip, Qt::LeftButton, {}, s.CellCentre(0, 2));
        QCOMPARE(s.strip->SelectedIndex(), 2);
        QCOMPARE(s.reported.last(), templates.Path(2));
        QCOMPARE(s.At(s.CellCentre(0, 2)), kWhite);  // no highlight without a picture
    }

    void emptyCatalog() {
        TemplateCatalog empty;
        const TemplateCatalog* const catalogs[] = {&empty, nullptr};
        for (const TemplateCatalog* catalog : catalogs) {
            Strip s(catalog);
            QCOMPARE(s.reported, QStringList{QString()});
            QVERIFY(!s.strip->ScrollBar()->isEnabled());
            const QImage image = s.Grab();
            for (int y = 0; y < 354; y += 7) {
                for (int x = 0; x < 338; x += 7) {
                    QCOMPARE(image.pixelColor(x, y), kWhite);
                }
            }
            QTest::mouseClick(s.strip, Qt::LeftButton, {}, QPoint(10, 10));
            s.strip->OnVScroll(TemplateStrip::LineDown);
            s.strip->OnVScroll(TemplateStrip::Bottom);
            QCOMPARE(s.strip->ScrollPos(), 0);
            QCOMPARE(s.reported.size(), 1);
        }
    }
};

QTEST_MAIN(tst_TemplateStrip)
#include "tst_TemplateStrip.moc"
