#include "Pickers.h"
#include "StartupProbe.h"
#include "WizardDialog.h"

#include <QApplication>
#include <QPalette>

int main(int argc, char* argv[]) {
    // The preview page's browser shares its graphics context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("vornetad"));

    // Every dialog of the program is white with black text.
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Text, Qt::black);
    QApplication::setPalette(palette);

    DialogPickers pickers;
    WizardDialog wizard(pickers);
    QApplication::setWindowIcon(wizard.windowIcon());
    StartupProbe probe(wizard);
    wizard.exec();
    return 0;
}
