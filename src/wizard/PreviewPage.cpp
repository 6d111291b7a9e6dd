#include "PreviewPage.h"

PreviewPage::PreviewPage(Pickers& pickers, QWidget* parent)
    : QWidget(parent)
    , pickers(pickers)
{
}

void PreviewPage::Navigate(const QString&) {}
