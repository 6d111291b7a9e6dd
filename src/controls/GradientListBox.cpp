#include "GradientListBox.h"

GradientListBox::GradientListBox(QWidget* parent)
    : QListWidget(parent)
{
}
