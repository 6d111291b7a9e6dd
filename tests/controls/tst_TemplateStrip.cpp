#include "DataTable.h"
#include "TestGif.h"
#include "controls/GradientFill.h"
#include "controls/TemplateStrip.h"
#include "templates/TemplateCatalog.h"

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

namespace {

const QColor kWhite(Qt::white);

// Template i is a solid colour of its own, far from white and the selection's.
QColor ColorOf(int i) {
    return QColor(20 + i * 6, 200 - i * 5, 40 + i * 3);
}

// A template of strip-thumbnails.txt, or template `kind`'s solid colour for a number.
QImage Drawn(const QString& kind) {
    QImage image = kind.front().isDigit()
                       ? SolidTemplate(ColorOf(kind.toInt()))
                       : SolidTemplate(kind == u"framed" ? Qt::blue : Qt::red, kind == u"small"            ? 40
                                                                               : kind.startsWith(u"large") ? 1100
                                                                                                           : 100);
    if (kind == u"wide") {
        image = QImage(300, 100, QImage::Format_ARGB32);
        image.fill(Qt::blue);
    }
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(0, 10, kind == u"wide" ? 300 : 0, 79, Qt::red);
    painter.fillRect(0, 0, kind == u"half" ? 50 : 0, 100, Qt::transparent);
    if (kind == u"framed") {
        painter.fillRect(10, 10, 80, 80, Qt::green);
        painter.fillRect(45, 10, 10, 80, QColor(0, 0, 0x21));
    }
    painter.end();
    return image;
}

// A created strip in a host window over a folder of templates t00.gif, t01.gif, ... (`templates` as
// strip-actions.txt writes them; each drawn as `kind`, or in its own colour), with every reported
// path by file name ("-" for an empty one).
struct Strip {
    QTemporaryDir dir;
    TemplateCatalog catalog;
    int count = 0;
    int bad = -1;
    QWidget host;
    TemplateStrip* strip = nullptr;
    QStringList reported;

    explicit Strip(const QString& templates, const QString& kind = {})
        : count(templates.section(u' ', 0, 0).toInt())
        , bad(templates.contains(u"bad") ? templates.section(u' ', 2).toInt() : -1) {
        for (int i = 0; i < count; ++i) {
            const QString path = dir.filePath(u"t%1.gif"_qs.arg(i, 2, 10, QLatin1Char('0')));
            QByteArray bytes =
                i == bad ? "not a picture" : EncodeTestGif(Drawn(kind.isEmpty() ? QString::number(i) : kind));
            // "large0": its header claims a screen of 0, which leaves the image's extent to decoding.
            if (kind == u"large0") {
                bytes.replace(6, 4, QByteArray(4, '\0'));
            }
            if (!WriteAll(path, bytes)) {
                qFatal("cannot write %s", qPrintable(path));
            }
        }
        catalog.Scan(dir.path() + u'/');
        host.resize(400, 400);
        strip = new TemplateStrip(templates == u"none" ? nullptr : &catalog, &host);
        QObject::connect(strip, &TemplateStrip::templateSelected, [this](const QString& path) {
            reported << (path.isEmpty() ? u"-"_qs : QFileInfo(path).baseName());
        });
        strip->Create(QRect(0, 0, 356, 354));
        host.show();
    }

    // Runs the steps of strip-actions.txt; the scroll position after each.
    QString Run(const QString& steps) {
        // The bar's steps, in the order of QAbstractSlider::SliderAction.
        const QStringList bar{u"none"_qs, u"+1"_qs, u"-1"_qs, u"+page"_qs, u"-page"_qs, u"top"_qs, u"end"_qs};
        QStringList positions;
        for (const QString& step : steps.split(u' ')) {
            const int n = QString(step).remove(QRegularExpression(u"^[a-z]+"_qs)).section(u',', 0, 0).toInt();
            if (bar.contains(step)) {
                strip->ScrollBar()->triggerAction(QAbstractSlider::SliderAction(bar.indexOf(step)));
            } else if (step.startsWith(u'w')) {
                QWheelEvent event({50, 50}, {}, {}, {0, n}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
                QApplication::sendEvent(strip, &event);
            } else if (step.startsWith(u"drag")) {
                strip->ScrollBar()->setSliderPosition(n);
            } else if (step.startsWith(u'k')) {
                const QStringList keys{u"kLeft"_qs, u"kRight"_qs, u"kUp"_qs,   u"kDown"_qs,
                                       u"kPgUp"_qs, u"kPgDn"_qs,  u"kHome"_qs, u"kEnd"_qs};
                const Qt::Key codes[] = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,   Qt::Key_Down,
                                         Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
                QTest::keyClick(strip, codes[keys.indexOf(step)]);
            } else if (step.startsWith(u"sel")) {
                strip->Select(n);
            } else if (step.startsWith(u"track")) {
                strip->OnVScroll(TemplateStrip::ThumbTrack, n);
            } else {
                QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(n, step.section(u',', 1).toInt()));
            }
            positions << QString::number(strip->ScrollPos());
        }
        return positions.join(u' ');
    }

    // The cells drawn selected, and those (none, if all is well) whose centre does not show the
    // template that belongs there: a cell's selection is 3 pixels round it, its gradient
    // then a white line; the bar's strip is white.
    std::pair<QString, QString> Shown() const {
        const QImage image = strip->grab().toImage();
        QStringList selected;
        QStringList wrong;
        for (int i = 0; i < 16; ++i) {
            const QPoint origin(3 + 84 * (i % 4), 3 + 91 * (i / 4));
            const int index = strip->ScrollPos() * 4 + i;
            const QColor expected = index < count && index != bad ? ColorOf(index) : kWhite;
            if (image.pixelColor(origin + QPoint(39, 39)) != expected) {
                wrong << QString::number(i);
            }
            if (image.pixelColor(origin - QPoint(3, 3)) == kSelectionTop &&
                image.pixelColor(origin + QPoint(-2, 40)) != kWhite &&
                image.pixelColor(origin + QPoint(-1, 40)) == kWhite) {
                selected << QString::number(i);
            }
        }
        return {selected.isEmpty() ? u"-"_qs : selected.join(u' '),
                image.pixelColor(337, 10) == kWhite ? wrong.join(u' ') : u"bar"_qs};
    }
};

}  // namespace

class tst_TemplateStrip : public QObject {
    Q_OBJECT

private slots:
    void actions_scrollSelectAndReport_data() { AddTableRows(QFINDTESTDATA("strip-actions.txt")); }
    void actions_scrollSelectAndReport() {
        QFETCH(QStringList, row);
        Strip s(row[0]);
        QCOMPARE(s.Run(row[1]), row[2]);
        const QScrollBar& bar = *s.strip->ScrollBar();
        QCOMPARE(QString::asprintf("%s %d %d %d", bar.isEnabled() ? "on" : "off", bar.maximum(), bar.pageStep(),
                                   bar.value()),
                 row[3]);
        QCOMPARE(bar.geometry(), QRect(338, 0, 18, 354));
        QCOMPARE(s.strip->SelectedIndex(), row[4].toInt());
        QCOMPARE(s.reported.join(u' '), row[5]);
        QCOMPARE(s.Shown(), std::pair(row[6], QString()));
    }

    void thumbnails_middleSquareItsOwnSeeThrough_data() { AddTableRows(QFINDTESTDATA("strip-thumbnails.txt")); }
    void thumbnails_middleSquareItsOwnSeeThrough() {
        QFETCH(QStringList, row);
        Strip s(u"2"_qs, row[0]);
        QImage image = s.strip->grab().toImage();
        const QPoint at(row[1].section(u',', 0, 0).toInt(), row[1].section(u',', 1).toInt());
        if (row[2].startsWith(u"later ")) {
            // Drawn at once without the picture, which the event loop brings. The wait's limit is
            // only there to end a test that would hang.
            QCOMPARE(image.pixelColor(at), kWhite);
            QTRY_COMPARE_WITH_TIMEOUT(s.strip->grab().toImage().pixelColor(at), QColor(row[2].mid(6)), 300000);
            image = s.strip->grab().toImage();
            row[2] = row[2].mid(6);
        }
        // The gradient has one colour a row; the selection left of the first cell shows it.
        const QColor selection = image.pixelColor(1, at.y());
        QVERIFY(selection != kWhite);
        QCOMPARE(image.pixelColor(at), row[2] == u"selection" ? selection : QColor(row[2]));
    }
};

QTEST_MAIN(tst_TemplateStrip)
#include "tst_TemplateStrip.moc"
