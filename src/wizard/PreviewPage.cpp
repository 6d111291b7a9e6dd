#include "wizard/PreviewPage.h"

#include "controls/DialogUnits.h"
#include "wizard/HtmlCtrl.h"

#include <QLabel>

namespace {

const QRect kBrowserRect = DluRect(2, 3, 379, 239);

}  // namespace

PreviewPage::PreviewPage(Pickers& pickers, QWidget* parent)
    : WizardPage(parent)
    , pickers(pickers)
    , notice(new QLabel(QStringLiteral("No preview: its files could not be written."), this)) {
    notice->setObjectName(QStringLiteral("noPreview"));
    notice->setAlignment(Qt::AlignCenter);
    notice->setGeometry(kBrowserRect);
    notice->hide();
}

void PreviewPage::Navigate(const QString& path) {
    if (browserCtrl == nullptr) {
        browserCtrl = new HtmlCtrl(pickers, this);
        browserCtrl->setGeometry(kBrowserRect);
    }
    notice->hide();
    browserCtrl->show();
    browserCtrl->Navigate(path);
}

void PreviewPage::ShowNoPreview() {
    if (browserCtrl != nullptr) {
        browserCtrl->hide();
    }
    notice->show();
}
