#pragma once

#include "WizardPage.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

class MarkupLabel;
class TemplateCatalog;
class TemplatePreview;
class TemplateStrip;

// Step 1: the template grid on the left, the "Preview:" box on the right and the footer line that
// links to the help page. The grid selects its first template while the page is built, so the
// preview and GetSelectedTemplatePath are filled before the page is first shown.
class TemplatesPage final : public WizardPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplatesPage)

public:
    // `catalog` is the wizard's, scanned before the page is built; not owned, never changed after.
    explicit TemplatesPage(const TemplateCatalog* catalog, QWidget* parent = nullptr);

    // Shows `path` in the preview box and keeps it as the selection (empty for an empty catalog).
    void OnTemplateSelected(const QString& path);
    // Selects `path` as a click on its cell would; a template from outside the catalog is selected
    // with no cell marked.
    void SelectTemplate(const QString& path);
    QString GetSelectedTemplatePath() const { return selectedTemplatePath; }

    TemplateStrip* Strip() const { return strip; }
    TemplatePreview* Preview() const { return preview; }
    MarkupLabel* FooterLabel() const { return footerLabel; }

private:
    MarkupLabel* footerLabel = nullptr;
    const TemplateCatalog* catalog = nullptr;
    TemplatePreview* preview = nullptr;
    QString selectedTemplatePath;
    TemplateStrip* strip = nullptr;
};

// The footer's markup and the help page it opens ("index.html" in the help data folder; an empty
// address when the page isn't installed, so a click does nothing).
QByteArray TemplatesFooterMarkup();
QUrl TemplatesHelpAddress();
