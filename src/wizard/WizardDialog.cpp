#include "WizardDialog.h"

WizardDialog::WizardDialog(QWidget* parent)
    : QDialog(parent)
{
}
