#include "FontButton.h"

FontButton::FontButton(QWidget* parent)
    : QWidget(parent)
{
}
