#include "ColorSwatch.h"

ColorSwatch::ColorSwatch(QWidget* parent)
    : QWidget(parent)
{
}
