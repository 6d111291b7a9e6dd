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

    // Loads the local file afresh and shows the browser; while the step is not shown, only once it
    // is. For the superuser it shows a note with the file's path instead (see BrowserMayStart).
    void Navigate(const QString& path);
    // Whether the embedded browser may start: for the superuser its sandbox refuses to, and the
    // browser then ends the whole program, typed settings and all. Only where the sandbox was
    // turned off on purpose (QTWEBENGINE_DISABLE_SANDBOX) does it run for the superuser.
    static bool BrowserMayStart();
    // For a preview that could not be written, or was not tried: the browser, which may hold an
    // older preview, is hidden behind a note saying `why` until the next Navigate.
    void ShowNoPreview(const QString& why);

    // The browser, or null before the first Navigate.
    HtmlCtrl* Browser() const { return browserCtrl; }

protected:
    // Leaving the step drops the page shown: its scripts (custom code's) would go on running, a
    // core and memory with them, for a page no one sees. Every visit shows a new one.
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Pickers& pickers;
    // Given while the step was not shown (the options step left for another step than this one):
    // loaded in a hidden browser, its custom code would run unseen, and go on running.
    QString pending;
    HtmlCtrl* browserCtrl = nullptr;
    QLabel* notice = nullptr;
};
