#pragma once

#include "WizardPage.h"

#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

// Step 3: title, link, target window and the optional custom code.
//
// The target buttons and the custom-code box update their fields as soon as they change; the three
// text fields reach the public fields only through StoreControls(), which the wizard calls right
// before it reads them. Unticking the custom-code box hides the code but keeps its text.
class OptionsPage final : public WizardPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptionsPage)

public:
    explicit OptionsPage(QWidget* parent = nullptr);

    // Copies the edit fields into the public fields below (they are read right after).
    void StoreControls();

    bool newWindow = true;
    bool customCodeEnabled = false;
    QString adTitle = QStringLiteral("ad title here");
    QString linkUrl = QStringLiteral("link URL here");
    QString customCode;

protected:
    void changeEvent(QEvent* event) override;

private:
    void LoadControls();
    void Layout();
    // Shows or hides the code and its label from the check box, and records the choice.
    void ApplyCustomCodeBox();

    QLabel* titleLabel = nullptr;
    QLineEdit* titleEdit = nullptr;
    QLabel* linkLabel = nullptr;
    QLineEdit* linkEdit = nullptr;
    QLabel* targetLabel = nullptr;
    QRadioButton* sameWindowButton = nullptr;
    QRadioButton* newWindowButton = nullptr;
    QCheckBox* customCodeBox = nullptr;
    QLabel* codeLabel = nullptr;
    QPlainTextEdit* codeEdit = nullptr;
};
