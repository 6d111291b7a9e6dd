// Saves a picture of each wizard step, as the offscreen platform draws it, at a whole number of
// device pixels per unit: wizard-screenshots OUTPUT-FOLDER [SCALE]
// (writes step1-templates.png ... step5-output.png, or step1-templates@2x.png ... for SCALE 2)
#include "DialogLook.h"
#include "Pickers.h"
#include "WizardDialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>

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
    // The first start's look, whatever this user's last design was.
    WizardDialog wizard(pickers, DefaultTemplatesFolder(), QString());
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
    }
    return ok ? 0 : 1;
}
