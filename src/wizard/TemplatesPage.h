#pragma once

#include "templates/TemplateCatalog.h"
#include "wizard/WizardPage.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

class MarkupLabel;
class Pickers;
class QLabel;
class QPushButton;
class TemplatePreview;
class TemplateStrip;

// Step 1: the template grid on the left, the "Preview:" box on the right with the "New template…"
// and "Add template…" buttons below it, and the footer line that links to the help page. The grid
// selects its first template while the page is built, so the preview and GetSelectedTemplatePath are
// filled before the page is first shown.
//
// A template made or added goes into the user's folder of `sources`; the catalog is then scanned
// anew and the template selected at once. "Add template…" takes a GIF the strict decoder accepts as
// it is and converts a PNG or JPEG (saying so); the name is asked for, and asked again while it is
// taken or refused. Nothing is ever written over.
class TemplatesPage final : public WizardPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplatesPage)

public:
    // `catalog` is the wizard's, scanned from `sources` before the page is built; not owned, scanned
    // anew only when a template is added. `pickers` must outlive the page.
    TemplatesPage(TemplateCatalog* catalog, Pickers& pickers, const TemplateSources& sources,
                  QWidget* parent = nullptr);

    // Shows `path` in the preview box and keeps it as the selection (empty for an empty catalog).
    void OnTemplateSelected(const QString& path);
    // Selects `path` as a click on its cell would; a template from outside the catalog is selected
    // with no cell marked.
    void SelectTemplate(const QString& path);
    QString GetSelectedTemplatePath() const { return selectedTemplatePath; }

    // "New template…": opens the dialog (window-modal, so the call returns at once).
    void OnNewTemplate();
    // "Add template…": picks a picture and adds it under a name the user gives.
    void OnAddTemplate();

    TemplateStrip* Strip() const { return strip; }
    TemplatePreview* Preview() const { return preview; }
    MarkupLabel* FooterLabel() const { return footerLabel; }
    QPushButton* NewTemplateButton() const { return newTemplateButton; }
    QPushButton* AddTemplateButton() const { return addTemplateButton; }

private:
    // Scans the catalog anew and selects the template at `path`.
    void TemplateAdded(const QString& path);
    // Says where templates were looked for while there is none, where the grid would stay empty
    // without a word.
    void ShowWhetherEmpty();

    MarkupLabel* footerLabel = nullptr;
    QLabel* emptyNote = nullptr;
    TemplateCatalog* catalog = nullptr;
    Pickers& pickers;
    TemplateSources sources;
    QPushButton* newTemplateButton = nullptr;
    QPushButton* addTemplateButton = nullptr;
    TemplatePreview* preview = nullptr;
    QString selectedTemplatePath;
    TemplateStrip* strip = nullptr;
};

// The footer's markup and the help page it opens ("index.html" in the help data folder; an empty
// address when the page isn't installed, so a click does nothing).
QByteArray TemplatesFooterMarkup();
QUrl TemplatesHelpAddress();
