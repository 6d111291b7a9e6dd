#include "WizardDialog.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    WizardDialog wizard;
    wizard.exec();
    return 0;
}
