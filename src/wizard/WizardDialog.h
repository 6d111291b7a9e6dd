#pragma once

#include <QDialog>

// The wizard's top-level window (filled in with the wizard).
class WizardDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WizardDialog)

public:
    explicit WizardDialog(QWidget* parent = nullptr);
};
