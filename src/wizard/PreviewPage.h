#pragma once

#include "wizard/WizardPage.h"

class HtmlCtrl;
class Pickers;
class QLabel;

// Step 4: the preview page in an embedded browser that fills the page. The browser is created on
// the first Navigate, so the wizard starts without paying for the browser engine.
class PreviewPage final : public WizardPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewPage)

public:
    explicit PreviewPage(Pickers& pickers, QWidget* parent = nullptr);

    // Loads the local file afresh and shows the browser.
    void Navigate(const QString& path);
    // For a preview that could not be written: the browser, which may hold an older preview, is
    // hidden behind a short note until the next Navigate.
    void ShowNoPreview();

    // The browser, or null before the first Navigate.
    HtmlCtrl* Browser() const { return browserCtrl; }

private:
    Pickers& pickers;
    HtmlCtrl* browserCtrl = nullptr;
    QLabel* notice = nullptr;
};
