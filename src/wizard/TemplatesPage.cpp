#include "TemplatesPage.h"

#include "TemplateCatalog.h"

TemplatesPage::TemplatesPage(const TemplateCatalog* catalog, QWidget* parent)
    : QWidget(parent)
    , catalog(catalog)
{
    // Placeholder until the grid lands: select the first template as the grid would.
    OnTemplateSelected(catalog != nullptr ? catalog->PathAt(0) : QString());
}

void TemplatesPage::OnTemplateSelected(const QString& path)
{
    selectedTemplatePath = path;
}
