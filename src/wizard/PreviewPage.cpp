#include "PreviewPage.h"

#include "DialogUnits.h"
#include "HtmlCtrl.h"

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
    // Enter and Escape inside the page neither close nor hide the wizard.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
