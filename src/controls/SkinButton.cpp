#include "SkinButton.h"

SkinButton::SkinButton(QWidget* parent)
    : QPushButton(parent)
{
}
