// Saves a picture of each wizard step, as the offscreen platform draws it:
// wizard-screenshots OUTPUT-FOLDER  (writes step1-templates.png ... step5-output.png)
#include "DialogLook.h"
#include "Pickers.h"
#include "WizardDialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>

#include <cstdio>

namespace {

// Lets pending paints and page loads run for a while.
void Settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: wizard-screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    ApplyDialogLook();

    DialogPickers pickers;
    WizardDialog wizard(pickers);
    wizard.show();
    const char* names[] = {"templates", "editor", "options", "preview", "output"};
    bool ok = true;
    for (int step = 1; step <= WizardDialog::kStepCount; ++step) {
        if (step > 1) {
            wizard.OnNext();
        }
        Settle(step == 4 ? 3000 : 300);
        const QString path =
            QDir(folder).filePath(QStringLiteral("step%1-%2.png").arg(step).arg(QLatin1String(names[step - 1])));
        ok &= wizard.grab().save(path);
    }
    return ok ? 0 : 1;
}
