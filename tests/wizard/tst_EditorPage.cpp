#include "BannerView.h"
#include "ColorSwatch.h"
#include "DialogLook.h"
#include "EditorPage.h"
#include "FakePickers.h"
#include "FontButton.h"
#include "TestGif.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr QRgb kBlue = 0xff000064;   // RGB(0, 0, 100)
constexpr QRgb kGreen = 0xff006400;  // RGB(0, 100, 0)
constexpr QRgb kRed = 0xff640000;    // RGB(100, 0, 0)

// The banner's pixels near `color`, and how many of them lie outside the right corner's text band
// (along the top-left to bottom-right diagonal on its top-right side, with room for glyphs that
// reach past the line's box).
struct TextPixels {
    int count = 0;
    int outsideBand = 0;
};

TextPixels Find(const QImage& banner, QRgb color) {
    TextPixels found;
    const QImage image = banner.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(color)) <= 40 && std::abs(qGreen(p) - qGreen(color)) <= 40 &&
                std::abs(qBlue(p) - qBlue(color)) <= 40) {
                ++found.count;
                const double distance = (x - y) / std::sqrt(2.0);
                found.outsideBand += distance < -5.0 || distance > 45.0;
            }
        }
    }
    return found;
}

// Drops the list down and clicks the item, as a user choosing with the mouse does.
void Choose(QComboBox* list, const QString& item) {
    const int index = list->findText(item);
    list->showPopup();
    QAbstractItemView* view = list->view();
    view->scrollTo(view->model()->index(index, 0));
    const QRect at = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(at.left() + 4, at.center().y()));
    QVERIFY(!view->isVisible());
    QCOMPARE(list->currentIndex(), index);
}

// An editor page, shown, with a light 600-pixel template loaded as after the first step.
struct Fixture {
    Fixture()
        : page(pickers) {
        QImage image(600, 600, QImage::Format_RGB32);
        image.fill(qRgb(230, 230, 200));
        WriteTestGif(dir.filePath(u"template.gif"_s), image);
        page.show();
        page.LoadTemplate(dir.filePath(u"template.gif"_s));
    }

    template <typename T>
    T* get(const QString& name) {
        T* child = page.findChild<T*>(name);
        if (!child) {
            qFatal("no control %s", qPrintable(name));
        }
        return child;
    }
    const Banner& banner() { return page.View().Model(); }
    const QImage& composed() { return page.View().Model().Composed(); }

    FakePickers pickers;
    QTemporaryDir dir;
    EditorPage page;
};

}  // namespace

class tst_EditorPage : public QObject {
    Q_OBJECT

private slots:
    // The program's font, which the page's layout is measured in.
    void initTestCase() { ApplyDialogLook(); }
    void afterLoad_oneBlueLineOnTheRightAt300();
    void lines2And3_followTheirCheckBoxes();
    void size_data();
    void size();
    void offsetList_data();
    void offsetList();
    void closedList_wheelAndKeysApplyAtOnce_data();
    void closedList_wheelAndKeysApplyAtOnce();
    void picks_reachTheLine();
    void typingAndCorner_recomposeAtOnce();
};

void tst_EditorPage::afterLoad_oneBlueLineOnTheRightAt300() {
    Fixture f;
    QCOMPARE(f.banner().EnabledLineCount(), 1);
    const BannerLine& line = f.banner().Lines()[0];
    QCOMPARE(line.text, u"Line 1"_s);
    QCOMPARE(line.font, (BannerFont{u"Times New Roman"_s, 18, 0, false, false, false}));
    QCOMPARE(line.color, kBlue);
    // Lines 2 and 3 start at the sizes their lists show.
    QCOMPARE(f.banner().Lines()[1].font.height, 12);
    QCOMPARE(f.banner().Lines()[2].font.height, 10);
    QVERIFY(!f.page.IsLeftSide());
    QCOMPARE(f.get<QLineEdit>(u"bannerHeightEdit"_s)->text(), u"300"_s);
    QVERIFY(!f.get<QPushButton>(u"resizeButton"_s)->isEnabled());

    // The banner-size row reads as one line: its texts end on the same pixel row.
    const QImage page = f.page.grab().toImage();
    const QRect band = f.get<QLineEdit>(u"bannerSizeEdit"_s)->geometry().adjusted(0, 3, 0, -3);
    QSet<int> baselines;
    for (const QString& name : {u"bannerSizeLabel"_s, u"bannerSizeEdit"_s, u"bannerByLabel"_s, u"bannerHeightEdit"_s}) {
        const QRect across = f.get<QWidget>(name)->geometry().adjusted(3, 0, -3, 0);
        int lowest = -1;
        for (int y = band.top(); y <= band.bottom(); ++y) {
            for (int x = across.left(); x <= across.right(); ++x) {
                lowest = qGray(page.pixel(x, y)) < 128 ? y : lowest;
            }
        }
        baselines.insert(lowest);
    }
    QCOMPARE(baselines.size(), 1);

    QCOMPARE(f.composed().size(), QSize(300, 300));
    const TextPixels blue = Find(f.composed(), kBlue);
    QVERIFY(blue.count > 100);
    QCOMPARE(blue.outsideBand, 0);
    QCOMPARE(Find(f.composed(), kGreen).count + Find(f.composed(), kRed).count, 0);
}

void tst_EditorPage::lines2And3_followTheirCheckBoxes() {
    Fixture f;
    auto* check2 = f.get<QCheckBox>(u"lineCheck2"_s);
    auto* check3 = f.get<QCheckBox>(u"lineCheck3"_s);
    auto* text3 = f.get<QLineEdit>(u"lineText3"_s);
    QVERIFY(!check3->isEnabled());
    QVERIFY(!f.get<QLineEdit>(u"lineText2"_s)->isEnabled());

    QTest::mouseClick(check2, Qt::LeftButton);
    QVERIFY(f.get<QComboBox>(u"sizeList2"_s)->isEnabled());
    QVERIFY(check3->isEnabled());
    QVERIFY(!text3->isEnabled());
    QVERIFY(Find(f.composed(), kGreen).count > 20);
    QTest::mouseClick(check3, Qt::LeftButton);
    QVERIFY(text3->isEnabled());
    QVERIFY(Find(f.composed(), kRed).count > 20);

    // Turning line 2 off takes line 3 with it, check box included.
    QTest::mouseClick(check2, Qt::LeftButton);
    QCOMPARE(f.banner().EnabledLineCount(), 1);
    QVERIFY(!check3->isChecked());
    QVERIFY(!check3->isEnabled());
    QVERIFY(!f.get<ColorSwatch>(u"colorSwatch3"_s)->isEnabled());
    QCOMPARE(Find(f.composed(), kGreen).count + Find(f.composed(), kRed).count, 0);

    // Line 2 back on: line 3 stays off until its own box is checked.
    QTest::mouseClick(check2, Qt::LeftButton);
    QVERIFY(check3->isEnabled() && !check3->isChecked() && !text3->isEnabled());
    QCOMPARE(f.banner().EnabledLineCount(), 2);
}

void tst_EditorPage::size_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byQuery");
    QTest::addColumn<int>("applied");

    const std::pair<QString, int> rows[] = {
        {u"600"_s, 500},
        {u"20"_s, 50},
        {u"-7"_s, 50},
        {u" 250 "_s, 250},
        {u"abc"_s, 300},
        {QString(), 300},
        {u"99999999999999999999"_s, 300},
    };
    for (const auto& [typed, applied] : rows) {
        QTest::addRow("Resize '%s'", qPrintable(typed)) << typed << false << applied;
        QTest::addRow("size query '%s'", qPrintable(typed)) << typed << true << applied;
    }
}

void tst_EditorPage::size() {
    QFETCH(QString, typed);
    QFETCH(bool, byQuery);
    QFETCH(int, applied);

    Fixture f;
    auto* sizeEdit = f.get<QLineEdit>(u"bannerSizeEdit"_s);
    auto* resize = f.get<QPushButton>(u"resizeButton"_s);
    sizeEdit->selectAll();
    QTest::keyClick(sizeEdit, Qt::Key_Delete);
    QTest::keyClicks(sizeEdit, typed);
    QVERIFY(resize->isEnabled());
    QCOMPARE(f.composed().width(), 300);

    // The size query applies a typed size as Resize would, so the saved banner has that size.
    if (!byQuery) {
        QTest::mouseClick(resize, Qt::LeftButton);
    }
    QCOMPARE(f.page.BannerSize(), applied);
    QVERIFY(!resize->isEnabled());
    QCOMPARE(sizeEdit->text(), QString::number(applied));
    QCOMPARE(f.get<QLineEdit>(u"bannerHeightEdit"_s)->text(), QString::number(applied));
    QCOMPARE(f.composed().size(), QSize(applied, applied));
    QVERIFY(Find(f.composed(), kBlue).count > 50);
}

void tst_EditorPage::offsetList_data() {
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<int>("offset");

    QTest::newRow("auto") << QStringList{u"auto"_s} << 0;
    QTest::newRow("lowest") << QStringList{u"-5"_s} << -5;
    QTest::newRow("highest") << QStringList{u"5"_s} << 5;
    QTest::newRow("back to auto") << QStringList{u"3"_s, u"auto"_s} << 0;
}

void tst_EditorPage::offsetList() {
    QFETCH(QStringList, choices);
    QFETCH(int, offset);

    Fixture f;
    const QImage untouched = f.composed();
    for (const QString& choice : choices) {
        Choose(f.get<QComboBox>(u"offsetList1"_s), choice);
    }
    QCOMPARE(f.banner().Lines()[0].offset, offset);
    // "auto" draws exactly as no choice at all.
    QCOMPARE(f.composed() == untouched, offset == 0);
}

// What a closed list shows after a wheel notch or a key is what the banner uses, at once.
void tst_EditorPage::closedList_wheelAndKeysApplyAtOnce_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("wheel");
    QTest::addColumn<int>("after");

    QTest::newRow("size, wheel") << u"sizeList1"_s << true << 20;
    QTest::newRow("size, key") << u"sizeList1"_s << false << 20;
    QTest::newRow("offset, wheel") << u"offsetList1"_s << true << 1;
    QTest::newRow("offset, key") << u"offsetList1"_s << false << 1;
}

void tst_EditorPage::closedList_wheelAndKeysApplyAtOnce() {
    QFETCH(QString, list);
    QFETCH(bool, wheel);
    QFETCH(int, after);

    Fixture f;
    auto* combo = f.get<QComboBox>(list);
    const QImage untouched = f.composed();
    if (wheel) {
        const QPointF at(combo->rect().center());
        QWheelEvent notch(at, combo->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &notch);
    } else {
        QTest::keyClick(combo, Qt::Key_Down);
    }
    QCOMPARE(combo->currentText().toInt(), after);
    const BannerLine& line = f.banner().Lines()[0];
    QCOMPARE(list.startsWith(u"size"_s) ? line.font.height : line.offset, after);
    QVERIFY(f.composed() != untouched);
}

void tst_EditorPage::picks_reachTheLine() {
    Fixture f;
    // A disabled line's swatch and font button open nothing.
    f.pickers.colors.push_back(QColor(200, 0, 0));
    f.pickers.fonts.push_back(QFont(u"Liberation Sans"_s, 36, QFont::Bold, true));
    QTest::mouseClick(f.get<ColorSwatch>(u"colorSwatch2"_s), Qt::LeftButton);
    QTest::mouseClick(f.get<FontButton>(u"fontButton2"_s), Qt::LeftButton);
    QCOMPARE(f.pickers.colorRequests + f.pickers.fontRequests, 0);

    // A picked font keeps the size the line's list shows.
    Choose(f.get<QComboBox>(u"sizeList1"_s), u"14"_s);
    QTest::mouseClick(f.get<FontButton>(u"fontButton1"_s), Qt::LeftButton);
    QCOMPARE(f.banner().Lines()[0].font, (BannerFont{u"Liberation Sans"_s, 14, 700, true, false, false}));

    QTest::mouseClick(f.get<ColorSwatch>(u"colorSwatch1"_s), Qt::LeftButton);
    QCOMPARE(f.banner().Lines()[0].color, qRgb(200, 0, 0));
    QCOMPARE(Find(f.composed(), kBlue).count, 0);
    QVERIFY(Find(f.composed(), qRgb(200, 0, 0)).count > 50);
    QCOMPARE(f.banner().Lines()[1].color, kGreen);
}

void tst_EditorPage::typingAndCorner_recomposeAtOnce() {
    Fixture f;
    const int blueBefore = Find(f.composed(), kBlue).count;
    QTest::keyClicks(f.get<QLineEdit>(u"lineText1"_s), u" WWW"_s);
    QCOMPARE(f.banner().Lines()[0].text, u"Line 1 WWW"_s);
    QVERIFY(Find(f.composed(), kBlue).count > blueBefore);

    QTest::mouseClick(f.get<QRadioButton>(u"leftButton"_s), Qt::LeftButton);
    QVERIFY(f.page.IsLeftSide());
    QVERIFY(Find(f.composed(), kBlue).outsideBand > 0);
    QTest::mouseClick(f.get<QRadioButton>(u"rightButton"_s), Qt::LeftButton);
    QVERIFY(!f.page.IsLeftSide());
    QCOMPARE(Find(f.composed(), kBlue).outsideBand, 0);
}

QTEST_MAIN(tst_EditorPage)
#include "tst_EditorPage.moc"
