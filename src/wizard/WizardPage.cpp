#include "wizard/WizardPage.h"

#include "controls/KeyboardFocus.h"

#include <QKeyEvent>

void WizardPage::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        PressFocusedButton(*event);
        event->accept();
        return;
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
