#include "TemplatePreview.h"

TemplatePreview::TemplatePreview(QWidget* parent)
    : QWidget(parent)
{
}

void TemplatePreview::ShowTemplate(const QString&) {}

void TemplatePreview::paintEvent(QPaintEvent*) {}
