#include "OptionsPage.h"

OptionsPage::OptionsPage(QWidget* parent)
    : QWidget(parent)
{
}

void OptionsPage::StoreControls() {}
