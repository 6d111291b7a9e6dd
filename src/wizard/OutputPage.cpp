#include "OutputPage.h"

OutputPage::OutputPage(Pickers& pickers, QWidget* parent)
    : QWidget(parent)
    , pickers(pickers)
{
}

bool OutputPage::ValidateOutput()
{
    return false;
}

OutputTarget OutputPage::Target() const
{
    return {};
}
