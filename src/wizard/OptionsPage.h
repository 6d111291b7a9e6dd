#pragma once

#include "output/AdSettings.h"
#include "wizard/WizardPage.h"

#include <QByteArray>
#include <QString>

#include <array>

struct Design;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

// Step 3: title, link, target window, the optional custom code, and the options for today's pages
// (clicks through, 2x image, fixed, not printed, no script), each a check box below the code.
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
    // Shows the design's title, link, window, custom code and page options.
    void ApplyDesign(const Design& design);
    // The same, as the page shows them now. Custom code that was not edited since ApplyDesign
    // keeps its bytes, which the code box may not carry exactly (mixed line ends, a lone CR).
    // Edited code keeps every letter the box shows, no-break spaces and line separators included,
    // and ends its lines in CR LF where the design's code ended its first line so; a paragraph
    // separator (U+2029) in it is a line break in the box, and so becomes a line end. Code that is not
    // UTF-8 (read from a file by the command line) is shown as Latin-1, which the new page it makes
    // is labelled as, and stays Latin-1 through edits, so its bytes are never lost; a letter typed
    // that Latin-1 lacks goes in as a character reference.
    void StoreDesign(Design& design);

    bool newWindow = true;
    bool customCodeEnabled = false;
    QString adTitle;
    QString linkUrl;
    QString customCode;

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadControls();
    // The code box's text with its line breaks as the code's line ends.
    QString CodeText() const;
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
    QLabel* pageOptionsLabel = nullptr;
    // The check box of each page option, in kPageOptions order.
    std::array<QCheckBox*, std::size(kPageOptions)> pageOptionBoxes{};
    // The custom code as a design gave it, and how the code box shows it.
    QByteArray appliedCode;
    QString appliedCodeText;
    bool appliedCodeLatin1 = false;
    // Lines end in CR LF in the code the design gave, and so in the code the box gives back.
    bool appliedCodeCrLf = false;
};
