#pragma once

#include "WizardPage.h"

class HtmlCtrl;
class Pickers;

// Step 4: the preview page in an embedded browser that fills the page. The browser is created on
// the first Navigate, so the wizard starts without paying for the browser engine.
class PreviewPage final : public WizardPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewPage)

public:
    PreviewPage(Pickers& pickers, QWidget* parent = nullptr);

    // Loads the local file afresh; ignored when there is no browser.
    void Navigate(const QString& path);

    // The browser, or null before the first Navigate.
    HtmlCtrl* browser() const { return browserCtrl; }

private:
    Pickers& pickers;
    HtmlCtrl* browserCtrl = nullptr;
};
