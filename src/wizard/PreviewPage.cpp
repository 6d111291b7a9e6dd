#include "wizard/PreviewPage.h"

#include "controls/DialogUnits.h"
#include "wizard/HtmlCtrl.h"

#include <QHideEvent>
#include <QLabel>
#include <QShowEvent>

#include <unistd.h>
#include <utility>

namespace {

const QRect kBrowserRect = DluRect(2, 3, 379, 239);

}  // namespace

PreviewPage::PreviewPage(Pickers& pickers, QWidget* parent)
    : WizardPage(parent)
    , pickers(pickers)
    , notice(new QLabel(this)) {
    notice->setObjectName(QStringLiteral("noPreview"));
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    // The path it may give is there to be copied into a browser, with the keys too.
    notice->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    notice->setFocusPolicy(Qt::StrongFocus);  // which Qt gives only a label of links
    notice->setGeometry(kBrowserRect);
    notice->hide();
}

bool PreviewPage::BrowserMayStart() {
    return ::geteuid() != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX");
}

void PreviewPage::Navigate(const QString& path) {
    if (!isVisible()) {
        pending = path;
        return;
    }
    pending.clear();
    if (!BrowserMayStart()) {
        notice->setText(QStringLiteral("No preview while the wizard runs as the superuser: its browser runs only in a "
                                       "sandbox, which refuses the superuser, and the page may hold code from a "
                                       "design of someone else's. The preview page is\n%1")
                            .arg(path));
        notice->show();
        return;
    }
    if (browserCtrl == nullptr) {
        browserCtrl = new HtmlCtrl(pickers, this);
        browserCtrl->setGeometry(kBrowserRect);
        browserCtrl->setAccessibleName(QStringLiteral("Preview of the page"));
    }
    notice->hide();
    browserCtrl->show();
    browserCtrl->Navigate(path);
}

void PreviewPage::hideEvent(QHideEvent* event) {
    // A minimised window hides its pages too, and comes back to the same preview.
    if (!event->spontaneous() && browserCtrl != nullptr) {
        browserCtrl->Clear();
    }
    WizardPage::hideEvent(event);
}

void PreviewPage::showEvent(QShowEvent* event) {
    WizardPage::showEvent(event);
    if (!pending.isEmpty()) {
        Navigate(std::exchange(pending, QString()));
    }
}

void PreviewPage::ShowNoPreview(const QString& why) {
    pending.clear();
    if (browserCtrl != nullptr) {
        browserCtrl->hide();
    }
    notice->setText(QStringLiteral("No preview.\n\n%1").arg(why));
    notice->show();
}
