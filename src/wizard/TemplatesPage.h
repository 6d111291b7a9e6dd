#pragma once

#include <QString>
#include <QWidget>

class TemplateCatalog;

// Step 1: the template grid, the preview box and the footer line.
class TemplatesPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplatesPage)

public:
    // `catalog` is the wizard's, scanned before the page is built; not owned.
    explicit TemplatesPage(const TemplateCatalog* catalog, QWidget* parent = nullptr);

    void OnTemplateSelected(const QString& path);
    QString GetSelectedTemplatePath() const { return selectedTemplatePath; }

private:
    const TemplateCatalog* catalog = nullptr;
    QString selectedTemplatePath;
};
