#include "DataTable.h"
#include "FakePickers.h"
#include "TestGif.h"
#include "TestPixels.h"
#include "banner/TemplateImage.h"
#include "controls/BannerView.h"
#include "design/Design.h"
#include "wizard/DialogLook.h"
#include "wizard/EditorPage.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <string_view>

using namespace Qt::StringLiterals;

namespace {

constexpr QRgb kBlue = 0xff000064;   // RGB(0, 0, 100), line 1
constexpr QRgb kGreen = 0xff006400;  // RGB(0, 100, 0), line 2
constexpr QRgb kRed = 0xff640000;    // RGB(100, 0, 0), line 3

// How many of the banner's pixels are near `color`, and how many of those lie outside the right
// corner's text band (along the top-left to bottom-right diagonal on its top-right side, with room
// for glyphs that reach past the line's box).
std::pair<int, int> Find(const QImage& banner, QRgb color) {
    std::pair<int, int> found;
    const QImage image = banner.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(color)) <= 40 && std::abs(qGreen(p) - qGreen(color)) <= 40 &&
                std::abs(qBlue(p) - qBlue(color)) <= 40) {
                const double distance = (x - y) / std::sqrt(2.0);
                found = {found.first + 1, found.second + (distance < -5.0 || distance > 45.0)};
            }
        }
    }
    return found;
}

// An editor page, shown, with a light 600-pixel template loaded as after the first step.
struct Fixture {
    Fixture()
        : page(pickers) {
        WriteTestGif(dir.filePath(u"template.gif"_s), SolidTemplate(QColor(230, 230, 200), 600));
        page.show();
        QVERIFY(page.LoadTemplate(dir.filePath(u"template.gif"_s)).Ok());
    }
    template <typename T = QWidget>
    T* get(const QString& name) {
        return ChildNamed<T>(page, name);
    }
    const BannerLine& line(int n) { return page.View().Model().Line(n); }
    const QImage& composed() { return page.View().Model().Composed(); }
    int count(QRgb color) { return Find(composed(), color).first; }

    // Drops the list down and clicks the item, as a user choosing with the mouse does.
    void Choose(const QString& list, const QString& item) {
        auto* combo = get<QComboBox>(list);
        const QModelIndex index = combo->model()->index(combo->findText(item), 0);
        combo->showPopup();
        combo->view()->scrollTo(index);
        const QRect at = combo->view()->visualRect(index);
        QTest::mouseClick(combo->view()->viewport(), Qt::LeftButton, {}, QPoint(at.left() + 4, at.center().y()));
        QVERIFY(!combo->view()->isVisible());
    }

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

    // The banner-size row reads as one line: its texts end on the same pixel row.
    void sizeRow_readsAsOneLine() {
        Fixture f;
        const QImage page = f.page.grab().toImage();
        const QRect band = f.get(u"bannerSizeEdit"_s)->geometry().adjusted(0, 3, 0, -3);
        QSet<int> baselines;
        for (const QString& name :
             {u"bannerSizeLabel"_s, u"bannerSizeEdit"_s, u"bannerByLabel"_s, u"bannerHeightEdit"_s}) {
            const QRect across = f.get(name)->geometry().adjusted(3, 0, -3, 0);
            baselines.insert(InkIn(page, QRect(across.left(), band.top(), across.width(), band.height())).bottom());
        }
        QCOMPARE(baselines.size(), 1);
    }

    // Line 3 can only be on while line 2 is: turning line 2 off takes line 3 with it, and line 2
    // back on leaves line 3 off until its own box is checked.
    void lines2And3_followTheirCheckBoxes_data() { AddTableRows(QFINDTESTDATA("editor-lines.txt")); }
    void lines2And3_followTheirCheckBoxes() {
        QFETCH(QStringList, row);
        const int lines = row[1].toInt();
        Fixture f;
        for (const QString& n : QString(row[0]).remove(u'-').split(u' ', Qt::SkipEmptyParts)) {
            QTest::mouseClick(f.get(u"lineCheck"_s + n), Qt::LeftButton);
        }
        QCOMPARE(f.page.View().Model().EnabledLineCount(), lines);
        QCOMPARE(f.get<QCheckBox>(u"lineCheck3"_s)->isChecked(), lines == 3);
        QCOMPARE(f.get(u"lineCheck3"_s)->isEnabled(), row[2] == u"yes");
        for (const char* control : {"lineText", "sizeList", "colorSwatch", "fontButton", "offsetList"}) {
            QCOMPARE(f.get(QLatin1String(control) + u'2')->isEnabled(), lines >= 2);
            QCOMPARE(f.get(QLatin1String(control) + u'3')->isEnabled(), lines == 3);
        }
        QVERIFY(f.count(kBlue) > 100);
        QCOMPARE(f.count(kGreen) > 20, lines >= 2);
        QCOMPARE(f.count(kRed) > 20, lines == 3);
    }

    // Each size of editor-sizes.txt typed, then applied by Resize, by Enter in the field, or by
    // the size query the saved banner is made with; on a template of the row's and then another.
    void size_data() { AddTableRows(QFINDTESTDATA("editor-sizes.txt")); }
    void size() {
        QFETCH(QStringList, row);
        const QString typed = row[0].mid(1, row[0].size() - 2);
        const bool refused = row[1] == u"refused";
        const int applied = refused ? 300 : row[1].toInt();
        const QStringList templates = row[2] == u"-" ? QStringList() : row[2].split(u" then "_s);
        const auto load = [&templates](Fixture& f, int n, const QColor& color) {
            const QString size = templates[n], path = f.dir.filePath(u"%1.gif"_s.arg(n));
            const int width = size.section(u'x', 0, 0).toInt(), height = size.section(u'x', 1).toInt();
            QVERIFY(WriteTestGif(path, SolidTemplate(color, width).copy(0, 0, width, height)));
            QVERIFY(f.page.LoadTemplate(path).Ok());
        };
        for (const char* by : {"Resize", "Enter", "query"}) {
            Fixture f;
            if (!templates.isEmpty()) {
                load(f, 0, QColor(230, 230, 200));
            }
            auto* resize = f.get<QPushButton>(u"resizeButton"_s);
            QVERIFY(!resize->isEnabled());
            f.get<QLineEdit>(u"bannerSizeEdit"_s)->selectAll();
            QTest::keyClick(f.get(u"bannerSizeEdit"_s), Qt::Key_Delete);
            for (const QChar c : typed) {  // as typed on any keyboard
                QTest::sendKeyEvent(QTest::Click, f.get(u"bannerSizeEdit"_s), Qt::Key_unknown, QString(c), {});
            }
            QVERIFY(resize->isEnabled());
            QCOMPARE(f.composed().width(), 300);
            if (by == std::string_view("Resize")) {
                QTest::mouseClick(resize, Qt::LeftButton);
            } else if (by == std::string_view("Enter")) {
                QTest::keyClick(f.get(u"bannerSizeEdit"_s), Qt::Key_Return);
            }
            QCOMPARE(f.page.BannerSize(), applied);
            QCOMPARE(resize->isEnabled(), refused);
            QCOMPARE(f.page.SizeProblem().isEmpty(), !refused);
            // Only Resize and Enter answer the user at once; the wizard says why for the query.
            QCOMPARE(f.pickers.messages.size(), refused && by != std::string_view("query") ? 1 : 0);
            QCOMPARE(f.get<QLineEdit>(u"bannerSizeEdit"_s)->text(), refused ? typed : QString::number(applied));
            QCOMPARE(f.get<QLineEdit>(u"bannerHeightEdit"_s)->text(), QString::number(applied));
            QCOMPARE(f.composed().size(), QSize(applied, applied));
            QVERIFY(f.count(kBlue) > 50);
            if (templates.isEmpty()) {
                continue;
            }
            // The square carried to the next template holds its picture, and the design saved from
            // the page composes the very banner shown.
            const QColor next(200, 230, 230);
            load(f, 1, next);
            QCOMPARE(f.composed().pixelColor(2, applied - 3), next);
            Design design;
            f.page.StoreDesign(design);
            Banner fromDesign;
            design.ComposeInto(fromDesign, LoadTemplateImage(f.dir.filePath(u"1.gif"_s)).image);
            QCOMPARE(fromDesign.Composed(), f.composed());
        }
    }

    void lists_applyAtOnce_data() { AddTableRows(QFINDTESTDATA("editor-lists.txt")); }
    void lists_applyAtOnce() {
        QFETCH(QStringList, row);
        const QString list = row[0];
        const int value = row[2].toInt();
        Fixture f;
        auto* combo = f.get<QComboBox>(list);
        const QImage untouched = f.composed();
        for (const QString& choice : row[1].split(u' ')) {
            if (choice == u"wheel") {
                const QPointF at(combo->rect().center());
                QWheelEvent notch(at, combo->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, {}, Qt::NoScrollPhase,
                                  false);
                QApplication::sendEvent(combo, &notch);
            } else if (choice == u"key") {
                QTest::keyClick(combo, Qt::Key_Down);
            } else {
                f.Choose(list, choice);
            }
        }
        QCOMPARE(list.startsWith(u"size") ? f.line(0).font.height : f.line(0).offset, value);
        QCOMPARE(f.composed() == untouched, value == 0);
    }

    // The 2x image is cut from the companion as it was read with its template: one replaced since
    // (a new drawing made under the same name) cannot pair another picture with the banner.
    void at2x_takesTheCompanionReadWithTheTemplateOrSaysWhyNot() {
        Fixture f;
        const QString companion = f.dir.filePath(u"template@2x.gif"_s);
        QVERIFY(WriteTestGif(companion, SolidTemplate(QColor(0, 160, 0), 1200)));
        QVERIFY(f.page.LoadTemplate(f.dir.filePath(u"template.gif"_s)).Ok());
        QVERIFY(WriteTestGif(companion, SolidTemplate(QColor(160, 0, 0), 1200)));
        const QImage at2x = f.page.ComposedAt2x();
        QVERIFY(Find(at2x, qRgb(0, 160, 0)).first > 0);
        QCOMPARE(Find(at2x, qRgb(160, 0, 0)).first, 0);
        QCOMPARE(f.page.CompanionNote(), QString());
        // One that is no sound template is not used, and the run's report will say which and why.
        QVERIFY(WriteAll(companion, "GIF89a"));
        QVERIFY(f.page.LoadTemplate(f.dir.filePath(u"template.gif"_s)).Ok());
        QVERIFY2(f.page.CompanionNote().startsWith(companion + u": not used for the 2x image"_s),
                 qPrintable(f.page.CompanionNote()));
        QVERIFY(WriteTestGif(companion, SolidTemplate(QColor(0, 160, 0), 1000)));
        QVERIFY(f.page.LoadTemplate(f.dir.filePath(u"template.gif"_s)).Ok());
        QVERIFY2(
            f.page.CompanionNote().endsWith(u"it is 1000 x 1000 pixels, where twice the template is 1200 x 1200"_s),
            qPrintable(f.page.CompanionNote()));
    }

    // A picked font keeps the size its line's list shows; a picked colour goes to that line alone. Typing and the
    // corner recompose at once.
    void edits_reachTheLineAtOnce() {
        Fixture f;
        f.pickers.colors.push_back(QColor(200, 0, 0));
        f.pickers.fonts.push_back(QFont(u"Liberation Sans"_s, 36, QFont::Bold, true));
        f.Choose(u"sizeList1"_s, u"14"_s);
        QTest::mouseClick(f.get(u"fontButton1"_s), Qt::LeftButton);
        QCOMPARE(f.line(0).font, (BannerFont{u"Liberation Sans"_s, 14, 700, true, false, false}));
        QTest::mouseClick(f.get(u"colorSwatch1"_s), Qt::LeftButton);
        QCOMPARE(f.line(0).color, qRgb(200, 0, 0));
        QCOMPARE(f.line(1).color, kGreen);
        QCOMPARE(f.count(kBlue), 0);
        const int before = f.count(qRgb(200, 0, 0));
        QVERIFY(before > 50);

        QTest::keyClicks(f.get(u"lineText1"_s), u" WWW"_s);
        QCOMPARE(f.line(0).text, u"Line 1 WWW"_s);
        QVERIFY(f.count(qRgb(200, 0, 0)) > before);
        QTest::mouseClick(f.get(u"leftButton"_s), Qt::LeftButton);
        QVERIFY(f.page.IsLeftSide() && Find(f.composed(), qRgb(200, 0, 0)).second > 0);
        QTest::mouseClick(f.get(u"rightButton"_s), Qt::LeftButton);
        QVERIFY(!f.page.IsLeftSide() && Find(f.composed(), qRgb(200, 0, 0)).second == 0);
    }
};

QTEST_MAIN(tst_EditorPage)
#include "tst_EditorPage.moc"
