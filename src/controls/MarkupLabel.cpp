#include "MarkupLabel.h"

MarkupLabel::MarkupLabel(QWidget* parent)
    : QWidget(parent)
{
}
