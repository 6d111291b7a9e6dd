#pragma once

#include <QWidget>

class Pickers;

// Step 4: the preview page in an embedded browser.
class PreviewPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewPage)

public:
    PreviewPage(Pickers& pickers, QWidget* parent = nullptr);

    // Loads the local file afresh; ignored when there is no browser.
    void Navigate(const QString& path);

private:
    Pickers& pickers;
};
