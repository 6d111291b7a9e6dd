#include "PreviewPage.h"

#include "DialogUnits.h"
#include "HtmlCtrl.h"

PreviewPage::PreviewPage(Pickers& pickers, QWidget* parent)
    : WizardPage(parent)
    , pickers(pickers) {}

void PreviewPage::Navigate(const QString& path) {
    if (browserCtrl == nullptr) {
        browserCtrl = new HtmlCtrl(pickers, this);
        browserCtrl->setGeometry(DluRect(2, 3, 379, 239));
        browserCtrl->show();
    }
    browserCtrl->Navigate(path);
}
