// Saves a picture of each wizard step, as the offscreen platform draws it, at a whole number of
// device pixels per unit: wizard-screenshots OUTPUT-FOLDER [SCALE]
// (writes step1-templates.png ... step5-output.png and new-template.png, the "New template" dialog,
// or step1-templates@2x.png ... for SCALE 2; at SCALE 2 also banner-1x-2x.png, one banner in the
// browser without and with its 2x image)
#include "banner/Banner.h"
#include "banner/GifWriter.h"
#include "banner/TemplateImage.h"
#include "controls/Pickers.h"
#include "design/Design.h"
#include "output/CodeTexts.h"
#include "wizard/DialogLook.h"
#include "wizard/NewTemplateDialog.h"
#include "wizard/OutputPage.h"
#include "wizard/TemplatesPage.h"
#include "wizard/WizardDialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPixmap>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>

namespace {

// Lets pending paints and page loads run for a while.
void Settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// One banner in the browser on this screen: on the left the 1x image, which a screen of two device
// pixels a pixel scales up, on the right the image the 2x option adds.
bool SaveBannerComparison(const QString& path) {
    constexpr int kSize = 200;
    Design design;
    design.SetTemplatePath(DefaultTemplatesFolder() + QStringLiteral("ribbon-red.gif"));
    design.size = kSize;
    design.lines[0].text = QStringLiteral("Sharp at 2x");
    design.lines[0].font = {QStringLiteral("Liberation Sans"), 16, BannerFont::kBold, false, false, false};
    design.lines[0].color = qRgb(255, 255, 255);
    Banner banner;
    design.ComposeInto(banner, LoadTemplateImage(design.TemplatePath()).image);

    QTemporaryDir folder;
    const QString page = folder.filePath(QStringLiteral("banners.html"));
    QFile file(page);
    const QByteArray size = QByteArray::number(kSize);
    const QByteArray html = "<html><body style='margin:0;font:13px sans-serif;color:#333'><table cellspacing='16'><tr>"
                            "<td><img src='b.gif' width='" +
                            size + "' height='" + size +
                            "'><br>1x image</td>"
                            "<td><img src='b.gif' srcset='b.gif 1x, b@2x.gif 2x' width='" +
                            size + "' height='" + size + "'><br>2x image (--hidpi)</td></tr></table></body></html>";
    const QImage at2x = ComposeAt2x(banner, LoadCompanion(design.TemplatePath()).image);
    if (!SaveAsGif(banner.Composed(), folder.filePath(QStringLiteral("b.gif"))).Ok() ||
        !SaveAsGif(at2x, folder.filePath(QStringLiteral("b@2x.gif"))).Ok() || !file.open(QIODevice::WriteOnly) ||
        file.write(html) != html.size()) {
        return false;
    }
    file.close();

    QWebEngineView view;
    view.resize(2 * kSize + 64, kSize + 56);
    view.show();
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    view.load(QUrl::fromLocalFile(page));
    for (int i = 0; i < 100 && !loaded; ++i) {
        Settle(100);
    }
    Settle(1500);
    return loaded && view.grab().save(path);
}

// The "New template" dialog over the templates step, a ribbon in the brand colours of an example.
bool SaveNewTemplateDialog(WizardDialog& wizard, const QString& path) {
    wizard.Templates().OnNewTemplate();
    auto* dialog = wizard.findChild<NewTemplateDialog*>();
    if (dialog == nullptr) {
        return false;
    }
    dialog->StyleList()->setCurrentRow(5);
    Settle(300);
    const bool saved = dialog->grab().save(path);
    dialog->reject();
    return saved;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int scale = argc == 3 ? std::atoi(argv[2]) : 1;
    if (argc < 2 || argc > 3 || scale < 1 || scale > 4) {
        std::fprintf(stderr, "usage: wizard-screenshots OUTPUT-FOLDER [SCALE 1-4]\n");
        return 2;
    }
    // The whole window, text and artwork included, as a screen of that pixel ratio shows it.
    qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    ApplyDialogLook();

    DialogPickers pickers;
    // The first start's look, whatever this user's last design and own templates are.
    const QTemporaryDir userTemplates;
    WizardDialog wizard(pickers, TemplateSources{DefaultTemplatesFolder(), userTemplates.path()}, QString());
    wizard.show();
    const char* names[] = {"templates", "editor", "options", "preview", "output"};
    const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
    bool ok = true;
    for (int step = 1; step <= WizardDialog::kStepCount; ++step) {
        if (step > 1) {
            wizard.OnNext();
        }
        if (step == WizardDialog::kStepCount) {
            // As after a run with the defaults, which shows what a policy must allow for the block.
            const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
            if (!texts.Ok()) {
                qFatal("the built-in texts are missing");
            }
            wizard.Output().ShowCspSources(
                texts.value.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", Design().Advert()).cspSources);
        }
        Settle(step == 4 ? 3000 : 300);
        const QString path = QDir(folder).filePath(
            QStringLiteral("step%1-%2%3.png").arg(step).arg(QLatin1String(names[step - 1]), suffix));
        ok &= wizard.grab().save(path);
        if (step == 1) {
            ok &=
                SaveNewTemplateDialog(wizard, QDir(folder).filePath(QStringLiteral("new-template%1.png").arg(suffix)));
        }
    }
    if (scale == 2) {
        ok &= SaveBannerComparison(QDir(folder).filePath(QStringLiteral("banner-1x-2x.png")));
    }
    return ok ? 0 : 1;
}
