// One keystroke in a line's text field, through recomposition, to the repainted banner view: a
// 500-pixel banner with all three lines on. The editor recomposes on every keystroke, so this
// should stay within one frame (16 ms).
#include "banner/GifWriter.h"
#include "controls/BannerView.h"
#include "controls/Pickers.h"
#include "wizard/EditorPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

// Counts the paints a widget receives, to make sure each keystroke really repaints the view.
class PaintCounter final : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

// Nothing in this run opens a picker.
class NoPickers final : public Pickers {
public:
    std::optional<QColor> PickColor(QWidget*) override { return std::nullopt; }
    std::optional<QFont> PickFont(QWidget*) override { return std::nullopt; }
    std::optional<QString> PickOpenFile(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> PickSaveFile(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> PickFolder(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> PromptText(QWidget*, const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    void ShowMessage(QWidget*, const QString&, const QString&, MessageIcon) override {}
    bool Confirm(QWidget*, const QString&, const QString&, const QString&) override { return false; }
    void Beep() override {}
    void OpenExternally(const QUrl&) override {}
};

void BM_KeystrokeToRepaintedView(benchmark::State& state) {
    QTemporaryDir dir;
    QImage image(600, 600, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
        }
    }
    // Templates are GIFs: anything else would be refused and leave the banner without pixels.
    const QString templatePath = dir.filePath(u"template.gif"_s);
    if (!SaveAsGif(image, templatePath).Ok()) {
        state.SkipWithError("the template could not be written");
        return;
    }

    NoPickers pickers;
    EditorPage page(pickers);
    page.show();
    // Until the window is exposed a repaint draws nothing.
    if (!QTest::qWaitForWindowExposed(&page)) {
        state.SkipWithError("the editor's window was not exposed");
        return;
    }
    if (!page.LoadTemplate(templatePath).Ok()) {
        state.SkipWithError("the template was refused");
        return;
    }
    auto* sizeEdit = page.findChild<QLineEdit*>(u"bannerSizeEdit"_s);
    sizeEdit->setText(u"500"_s);
    page.BannerSize();
    page.findChild<QCheckBox*>(u"lineCheck2"_s)->click();
    page.findChild<QCheckBox*>(u"lineCheck3"_s)->click();
    auto* text = page.findChild<QLineEdit*>(u"lineText2"_s);
    text->setFocus();
    const QImage before = page.View().Model().Composed();
    PaintCounter paints;
    page.View().installEventFilter(&paints);
    QTest::keyClick(text, Qt::Key_W);
    QTest::keyClick(text, Qt::Key_Backspace);
    page.View().removeEventFilter(&paints);
    if (page.View().Model().Composed().width() != 500 || page.View().Model().EnabledLineCount() != 3 ||
        page.View().Model().Line(1).text != u"Line 2"_s ||
        page.View().Model().Composed().constBits() == before.constBits() || paints.count != 2) {
        state.SkipWithError("keystrokes did not recompose and repaint a 500-pixel banner of three lines");
        return;
    }

    // Alternate typing a letter and deleting it, so the text stays the same length.
    bool typeLetter = true;
    for (auto _ : state) {
        QTest::keyClick(text, typeLetter ? Qt::Key_W : Qt::Key_Backspace);
        typeLetter = !typeLetter;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeystrokeToRepaintedView)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
