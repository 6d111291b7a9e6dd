// Saves a picture of each wizard step, as the offscreen platform draws it, at a whole number of
// device pixels per unit: wizard-screenshots OUTPUT-FOLDER [SCALE]
// (writes step1-templates.png ... step5-output.png and new-template.png, the "New template" dialog,
// or step1-templates@2x.png ... for SCALE 2)
#include "DialogLook.h"
#include "NewTemplateDialog.h"
#include "Pickers.h"
#include "TemplatesPage.h"
#include "WizardDialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPixmap>
#include <QTemporaryDir>

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
        Settle(step == 4 ? 3000 : 300);
        const QString path = QDir(folder).filePath(
            QStringLiteral("step%1-%2%3.png").arg(step).arg(QLatin1String(names[step - 1]), suffix));
        ok &= wizard.grab().save(path);
        if (step == 1) {
            ok &=
                SaveNewTemplateDialog(wizard, QDir(folder).filePath(QStringLiteral("new-template%1.png").arg(suffix)));
        }
    }
    return ok ? 0 : 1;
}
