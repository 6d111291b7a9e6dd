#include "BannerView.h"
#include "ColorSwatch.h"
#include "EditorPage.h"
#include "FakePickers.h"
#include "FontButton.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr QRgb kTemplateColor = 0xffe6e6c8;  // light, far from every text colour used here
constexpr QRgb kBlue = 0xff000064;           // RGB(0, 0, 100)
constexpr QRgb kGreen = 0xff006400;          // RGB(0, 100, 0)
constexpr QRgb kRed = 0xff640000;            // RGB(100, 0, 0)

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 40 && std::abs(qGreen(a) - qGreen(b)) <= 40 &&
           std::abs(qBlue(a) - qBlue(b)) <= 40;
}

// Pixels of the composed banner close to `color`, and how many of them lie outside the band of
// either corner: along the top-left to bottom-right diagonal on its top-right side for the right
// corner, along the other diagonal on its top-left side for the left corner. The bands are given
// room for glyphs that reach past the line's box.
struct TextPixels {
    int count = 0;
    int outsideRightBand = 0;
    int outsideLeftBand = 0;
    // Positive when the pixels run from top-left to bottom-right, negative for bottom-left to top-right.
    double trend = 0.0;
};

TextPixels Find(const QImage& banner, QRgb color) {
    TextPixels found;
    const QImage image = banner.convertToFormat(QImage::Format_ARGB32);
    double sumX = 0, sumY = 0, sumXY = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (Near(image.pixel(x, y), color)) {
                ++found.count;
                const double right = (x - y) / std::sqrt(2.0);
                found.outsideRightBand += right < -5.0 || right > 45.0;
                const double left = (image.width() - x - y) / std::sqrt(2.0);
                found.outsideLeftBand += left < -5.0 || left > 50.0;
                sumX += x;
                sumY += y;
                sumXY += double(x) * y;
            }
        }
    }
    if (found.count > 0) {
        found.trend = sumXY / found.count - (sumX / found.count) * (sumY / found.count);
    }
    return found;
}

// Drops the list down and clicks the item, as a user choosing with the mouse does.
void Choose(QComboBox* list, const QString& item) {
    const int index = list->findText(item);
    QVERIFY(index >= 0);
    list->showPopup();
    QAbstractItemView* view = list->view();
    QVERIFY(view->isVisible());
    view->scrollTo(view->model()->index(index, 0));
    const QRect at = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(at.left() + 4, at.center().y()));
    QVERIFY(!view->isVisible());
    QCOMPARE(list->currentIndex(), index);
}

// An editor page on a shown window with a 600-pixel template loaded, as after step 1.
class Fixture {
public:
    Fixture()
        : page(pickers) {
        QImage image(600, 600, QImage::Format_RGB32);
        image.fill(kTemplateColor);
        templatePath = dir.filePath(u"template.png"_s);
        image.save(templatePath);
        page.show();
        page.LoadTemplate(templatePath);
    }

    template <typename T>
    T* Find(const QString& name) {
        T* child = page.findChild<T*>(name);
        if (!child) {
            qFatal("no control %s", qPrintable(name));
        }
        return child;
    }
    const Banner& banner() { return page.view().model(); }
    const QImage& composed() { return page.view().model().Composed(); }

    FakePickers pickers;
    QTemporaryDir dir;
    QString templatePath;
    EditorPage page;
};

}  // namespace

class tst_EditorPage : public QObject {
    Q_OBJECT

private slots:
    void afterLoad_oneBlueLineOnTheRightAt300();
    void lines2And3_followTheirCheckBoxes();
    void size_data();
    void size();
    void offsetList_data();
    void offsetList();
    void autoOffset_drawsAsNoChoice();
    void keyboardOnClosedList_waitsForCloseUp_data();
    void keyboardOnClosedList_waitsForCloseUp();
    void fontPick_keepsTheListSize();
    void colourPick_recolorsTheLine();
    void disabledLine_swatchAndFontButtonTakeNoClicks();
    void typing_recomposesAtOnce();
    void leftCorner_movesTheText();
};

void tst_EditorPage::afterLoad_oneBlueLineOnTheRightAt300() {
    Fixture f;
    const Banner& banner = f.banner();
    QCOMPARE(banner.EnabledLineCount(), 1);
    const BannerLine& line = banner.lines[0];
    QCOMPARE(line.text, u"Line 1"_s);
    QCOMPARE(line.font, (BannerFont{u"Times New Roman"_s, 18, 0, false, false, false}));
    QCOMPARE(line.color, kBlue);
    QCOMPARE(banner.lines[1].font.height, 12);
    QCOMPARE(banner.lines[2].font.height, 10);
    QCOMPARE(banner.side, BannerSide::Right);
    QVERIFY(!f.page.IsLeftSide());
    QCOMPARE(banner.size, 300);
    QCOMPARE(f.Find<QLineEdit>(u"bannerSizeEdit"_s)->text(), u"300"_s);
    QCOMPARE(f.Find<QLineEdit>(u"bannerHeightEdit"_s)->text(), u"300"_s);
    QVERIFY(!f.Find<QPushButton>(u"resizeButton"_s)->isEnabled());

    QCOMPARE(f.composed().size(), QSize(300, 300));
    const TextPixels blue = Find(f.composed(), kBlue);
    QVERIFY2(blue.count > 100, qPrintable(QString::number(blue.count)));
    QCOMPARE(blue.outsideRightBand, 0);
    QVERIFY(blue.trend > 0);
    QCOMPARE(Find(f.composed(), kGreen).count, 0);
    QCOMPARE(Find(f.composed(), kRed).count, 0);
}

void tst_EditorPage::lines2And3_followTheirCheckBoxes() {
    Fixture f;
    auto* check2 = f.Find<QCheckBox>(u"lineCheck2"_s);
    auto* check3 = f.Find<QCheckBox>(u"lineCheck3"_s);
    auto* text2 = f.Find<QLineEdit>(u"lineText2"_s);
    auto* text3 = f.Find<QLineEdit>(u"lineText3"_s);
    QVERIFY(!check2->isChecked());
    QVERIFY(!check3->isEnabled());
    QVERIFY(!text2->isEnabled());
    QVERIFY(!text3->isEnabled());

    QTest::mouseClick(check2, Qt::LeftButton);
    QVERIFY(f.banner().lines[1].enabled);
    QVERIFY(text2->isEnabled());
    QVERIFY(f.Find<QComboBox>(u"sizeList2"_s)->isEnabled());
    QVERIFY(check3->isEnabled());
    QVERIFY(!text3->isEnabled());
    QVERIFY(Find(f.composed(), kGreen).count > 20);
    QCOMPARE(Find(f.composed(), kRed).count, 0);

    QTest::mouseClick(check3, Qt::LeftButton);
    QVERIFY(f.banner().lines[2].enabled);
    QVERIFY(text3->isEnabled());
    QVERIFY(Find(f.composed(), kRed).count > 20);

    // Turning line 2 off takes line 3 with it, check box included.
    QTest::mouseClick(check2, Qt::LeftButton);
    QCOMPARE(f.banner().EnabledLineCount(), 1);
    QVERIFY(!check3->isChecked());
    QVERIFY(!check3->isEnabled());
    QVERIFY(!text2->isEnabled());
    QVERIFY(!text3->isEnabled());
    QVERIFY(!f.Find<ColorSwatch>(u"colorSwatch3"_s)->isEnabled());
    QCOMPARE(Find(f.composed(), kGreen).count, 0);
    QCOMPARE(Find(f.composed(), kRed).count, 0);
    QVERIFY(Find(f.composed(), kBlue).count > 100);

    // Line 2 back on: line 3 stays off until its own box is checked.
    QTest::mouseClick(check2, Qt::LeftButton);
    QVERIFY(check3->isEnabled());
    QVERIFY(!check3->isChecked());
    QVERIFY(!text3->isEnabled());
    QCOMPARE(f.banner().EnabledLineCount(), 2);
    QVERIFY(!f.banner().lines[2].enabled);
}

void tst_EditorPage::size_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byQuery");
    QTest::addColumn<int>("applied");

    const struct {
        const char* name;
        QString typed;
        int applied;
    } rows[] = {
        {"600 capped to 500", u"600"_s, 500},
        {"20 raised to 50", u"20"_s, 50},
        {"zero raised to 50", u"0"_s, 50},
        {"negative raised to 50", u"-7"_s, 50},
        {"in range", u"250"_s, 250},
        {"limits kept", u"500"_s, 500},
        {"surrounding blanks", u" 120 "_s, 120},
        {"not a number keeps the applied size", u"abc"_s, 300},
        {"empty keeps the applied size", QString(), 300},
        {"beyond any integer keeps the applied size", u"99999999999999999999"_s, 300},
    };
    for (const auto& row : rows) {
        QTest::addRow("Resize: %s", row.name) << row.typed << false << row.applied;
        QTest::addRow("size query: %s", row.name) << row.typed << true << row.applied;
    }
}

void tst_EditorPage::size() {
    QFETCH(QString, typed);
    QFETCH(bool, byQuery);
    QFETCH(int, applied);

    Fixture f;
    auto* sizeEdit = f.Find<QLineEdit>(u"bannerSizeEdit"_s);
    auto* resize = f.Find<QPushButton>(u"resizeButton"_s);
    sizeEdit->selectAll();
    QTest::keyClick(sizeEdit, Qt::Key_Delete);
    QTest::keyClicks(sizeEdit, typed);
    QVERIFY(resize->isEnabled());
    // Typed but not applied: the banner keeps its size.
    QCOMPARE(f.composed().width(), 300);

    if (byQuery) {
        QCOMPARE(f.page.BannerSize(), applied);
    } else {
        QTest::mouseClick(resize, Qt::LeftButton);
        QCOMPARE(f.page.BannerSize(), applied);
    }
    QVERIFY(!resize->isEnabled());
    QCOMPARE(sizeEdit->text(), QString::number(applied));
    QCOMPARE(f.Find<QLineEdit>(u"bannerHeightEdit"_s)->text(), QString::number(applied));
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
    QTest::mouseClick(f.Find<QCheckBox>(u"lineCheck2"_s), Qt::LeftButton);
    for (const QString& choice : choices) {
        Choose(f.Find<QComboBox>(u"offsetList2"_s), choice);
    }
    QCOMPARE(f.banner().lines[1].offset, offset);
    QCOMPARE(f.banner().lines[0].offset, 0);
}

void tst_EditorPage::autoOffset_drawsAsNoChoice() {
    Fixture f;
    const QImage untouched = f.composed();
    auto* offset = f.Find<QComboBox>(u"offsetList1"_s);
    Choose(offset, u"4"_s);
    QVERIFY(f.composed() != untouched);
    Choose(offset, u"auto"_s);
    QCOMPARE(f.composed(), untouched);
}

void tst_EditorPage::keyboardOnClosedList_waitsForCloseUp_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");

    QTest::newRow("size") << u"sizeList1"_s << 18 << 20;
    QTest::newRow("offset") << u"offsetList1"_s << 0 << 1;
}

void tst_EditorPage::keyboardOnClosedList_waitsForCloseUp() {
    QFETCH(QString, list);
    QFETCH(int, before);
    QFETCH(int, after);

    Fixture f;
    auto* combo = f.Find<QComboBox>(list);
    const auto value = [&] {
        const BannerLine& line = f.banner().lines[0];
        return list.startsWith(u"size"_s) ? line.font.height : line.offset;
    };
    const QImage untouched = f.composed();

    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QVERIFY(!combo->view()->isVisible());
    QCOMPARE(combo->currentText().toInt(), after);
    QCoreApplication::processEvents();
    QCOMPARE(value(), before);
    QCOMPARE(f.composed(), untouched);

    // Dropped down and closed without a choice: what the keyboard selected now counts.
    combo->showPopup();
    combo->hidePopup();
    QTRY_COMPARE(value(), after);
    QVERIFY(f.composed() != untouched);
}

void tst_EditorPage::fontPick_keepsTheListSize() {
    Fixture f;
    Choose(f.Find<QComboBox>(u"sizeList1"_s), u"14"_s);
    QCOMPARE(f.banner().lines[0].font.height, 14);

    QFont picked(u"Liberation Sans"_s, 36, QFont::Bold, true);
    f.pickers.fonts.push_back(picked);
    QTest::mouseClick(f.Find<FontButton>(u"fontButton1"_s), Qt::LeftButton);

    QCOMPARE(f.banner().lines[0].font, (BannerFont{u"Liberation Sans"_s, 14, 700, true, false, false}));
    QVERIFY(Find(f.composed(), kBlue).count > 50);
}

void tst_EditorPage::colourPick_recolorsTheLine() {
    Fixture f;
    f.pickers.colors.push_back(QColor(200, 0, 0));
    QTest::mouseClick(f.Find<ColorSwatch>(u"colorSwatch1"_s), Qt::LeftButton);

    QCOMPARE(f.banner().lines[0].color, qRgb(200, 0, 0));
    QCOMPARE(Find(f.composed(), kBlue).count, 0);
    const TextPixels red = Find(f.composed(), qRgb(200, 0, 0));
    QVERIFY(red.count > 100);
    QCOMPARE(red.outsideRightBand, 0);
}

void tst_EditorPage::disabledLine_swatchAndFontButtonTakeNoClicks() {
    Fixture f;
    f.pickers.colors.push_back(QColor(200, 0, 0));
    f.pickers.fonts.push_back(QFont(u"Liberation Sans"_s));
    QTest::mouseClick(f.Find<ColorSwatch>(u"colorSwatch2"_s), Qt::LeftButton);
    QTest::mouseClick(f.Find<FontButton>(u"fontButton2"_s), Qt::LeftButton);

    QCOMPARE(f.pickers.colorRequests, 0);
    QCOMPARE(f.pickers.fontRequests, 0);
    QCOMPARE(f.banner().lines[1].color, kGreen);
    QCOMPARE(f.banner().lines[1].font.faceName, u"Times New Roman"_s);
}

void tst_EditorPage::typing_recomposesAtOnce() {
    Fixture f;
    const QImage before = f.composed();
    const int blueBefore = Find(before, kBlue).count;
    QTest::keyClicks(f.Find<QLineEdit>(u"lineText1"_s), u" WWW"_s);

    QCOMPARE(f.banner().lines[0].text, u"Line 1 WWW"_s);
    QVERIFY(Find(f.composed(), kBlue).count > blueBefore);
    // The page's own writes to its fields are not edits of the size.
    QVERIFY(!f.Find<QPushButton>(u"resizeButton"_s)->isEnabled());
}

void tst_EditorPage::leftCorner_movesTheText() {
    Fixture f;
    QTest::mouseClick(f.Find<QRadioButton>(u"leftButton"_s), Qt::LeftButton);
    QVERIFY(f.page.IsLeftSide());
    QCOMPARE(f.banner().side, BannerSide::Left);
    const TextPixels blue = Find(f.composed(), kBlue);
    QVERIFY(blue.count > 100);
    QCOMPARE(blue.outsideLeftBand, 0);
    QVERIFY(blue.trend < 0);

    QTest::mouseClick(f.Find<QRadioButton>(u"rightButton"_s), Qt::LeftButton);
    QVERIFY(!f.page.IsLeftSide());
    QCOMPARE(Find(f.composed(), kBlue).outsideRightBand, 0);
    QVERIFY(Find(f.composed(), kBlue).trend > 0);
}

QTEST_MAIN(tst_EditorPage)
#include "tst_EditorPage.moc"
