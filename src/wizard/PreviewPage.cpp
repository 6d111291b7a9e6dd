#include "PreviewPage.h"

#include "DialogUnits.h"
#include "HtmlCtrl.h"
#include "PageLayout.h"

#include <QKeyEvent>

PreviewPage::PreviewPage(Pickers& pickers, QWidget* parent)
    : QWidget(parent)
    , pickers(pickers) {}

void PreviewPage::Navigate(const QString& path) {
    if (browserCtrl == nullptr) {
        browserCtrl = new HtmlCtrl(pickers, this);
        browserCtrl->setGeometry(DluRect(2, 3, 379, 239));
        browserCtrl->show();
    }
    browserCtrl->Navigate(path);
}

void PreviewPage::keyPressEvent(QKeyEvent* event) {
    if (!SwallowDialogKey(event)) {
        QWidget::keyPressEvent(event);
    }
}
