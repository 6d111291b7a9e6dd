#pragma once

#include <QImage>
#include <QWidget>

// The box on the templates page that shows the selected template unscaled, cut from its middle,
// or the "Click on template" prompt before the first selection.
class TemplatePreview final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplatePreview)

public:
    explicit TemplatePreview(QWidget* parent = nullptr);

    // Decodes `path` anew and repaints at once. A file that cannot be loaded (the empty path
    // included) leaves the box plain white; the prompt does not come back.
    void ShowTemplate(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image;
    bool templateShown = false;
};
