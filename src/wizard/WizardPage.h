#pragma once

#include <QWidget>

// A step page of the wizard. A page is a part of the wizard's window, not a dialog of its own:
// Enter and Escape inside it neither click a button nor close the wizard.
class WizardPage : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WizardPage)

public:
    explicit WizardPage(QWidget* parent = nullptr)
        : QWidget(parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
