#include "TemplateStrip.h"

TemplateStrip::TemplateStrip(QWidget* parent)
    : QWidget(parent)
{
}
