#include "DialogLook.h"
#include "Pickers.h"
#include "StartupProbe.h"
#include "WizardDialog.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // The preview page's browser shares its graphics context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("vornetad"));

    ApplyDialogLook();

    DialogPickers pickers;
    WizardDialog wizard(pickers);
    QApplication::setWindowIcon(wizard.windowIcon());
    StartupProbe probe(wizard);
    wizard.exec();
    return 0;
}
