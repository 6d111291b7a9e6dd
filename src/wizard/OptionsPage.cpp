#include "wizard/OptionsPage.h"

#include "controls/DialogUnits.h"
#include "controls/KeyboardFocus.h"
#include "design/Design.h"
#include "design/DesignFile.h"
#include "files/FileNames.h"
#include "wizard/PageLayout.h"

#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextDocument>

namespace {

// The page options' check boxes, top to bottom.
constexpr PageOptionText kPageOptionTexts[] = {
    {&PageOptions::clickThrough, "Clicks pass through outside the strip"},
    {&PageOptions::hidpi, "Sharp on high-resolution screens (2x image)"},
    {&PageOptions::fixed, "Fixed in the corner while the page scrolls"},
    {&PageOptions::noPrint, "Hidden when the page is printed"},
    {&PageOptions::staticMarkup, "No script, for pages with a Content-Security-Policy"},
};
static_assert(InPageOptionOrder(kPageOptionTexts));

// Whether code ends its lines in CR LF, judged by its first line end.
bool EndsLinesInCrLf(const QByteArray& code) {
    const qsizetype lineFeed = code.indexOf('\n');
    return lineFeed > 0 && code[lineFeed - 1] == '\r';
}

}  // namespace

OptionsPage::OptionsPage(QWidget* parent)
    : WizardPage(parent)
    , titleLabel(new QLabel(QStringLiteral("Ad title:"), this))
    , titleEdit(new QLineEdit(this))
    , linkLabel(new QLabel(QStringLiteral("Link url:"), this))
    , linkEdit(new QLineEdit(this))
    , targetLabel(new QLabel(QStringLiteral("Open link :"), this))
    , sameWindowButton(new QRadioButton(QStringLiteral(" in the same window"), this))
    , newWindowButton(new QRadioButton(QStringLiteral(" in the new window"), this))
    , customCodeBox(new QCheckBox(QStringLiteral("Add custom HTML code"), this))
    , codeLabel(new QLabel(QStringLiteral("Code to place in HTML file:"), this))
    , codeEdit(new QPlainTextEdit(this))
    , pageOptionsLabel(new QLabel(QStringLiteral("On the page:"), this)) {
    for (size_t i = 0; i < pageOptionBoxes.size(); ++i) {
        pageOptionBoxes[i] = new QCheckBox(QString::fromLatin1(kPageOptionTexts[i].text), this);
        pageOptionBoxes[i]->setObjectName(QLatin1String(kPageOptions[i].key));
    }
    titleEdit->setObjectName(QStringLiteral("adTitle"));
    linkEdit->setObjectName(QStringLiteral("linkUrl"));
    titleLabel->setBuddy(titleEdit);
    linkLabel->setBuddy(linkEdit);
    codeLabel->setBuddy(codeEdit);
    // A field cuts its text at 32,767 letters unless told otherwise; a design's text comes back whole.
    titleEdit->setMaxLength(int(kMaxDesignFileBytes));
    linkEdit->setMaxLength(int(kMaxDesignFileBytes));
    sameWindowButton->setObjectName(QStringLiteral("sameWindow"));
    newWindowButton->setObjectName(QStringLiteral("newWindow"));
    customCodeBox->setObjectName(QStringLiteral("customCodeBox"));
    codeLabel->setObjectName(QStringLiteral("customCodeLabel"));
    codeEdit->setObjectName(QStringLiteral("customCode"));

    // The code is a block of HTML: lines as typed, never wrapped; Tab moves on like in the other fields.
    codeEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    codeEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    codeEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    codeEdit->setTabChangesFocus(true);
    codeEdit->installEventFilter(this);

    resize(DluX(386), DluY(244));
    Layout();

    connect(newWindowButton, &QRadioButton::toggled, this, [this](bool checked) { newWindow = checked; });
    TabToTheChosen({sameWindowButton, newWindowButton});
    connect(customCodeBox, &QCheckBox::toggled, this, [this] { ApplyCustomCodeBox(); });
    ApplyDesign(Design());
}

void OptionsPage::ApplyDesign(const Design& design) {
    adTitle = design.adTitle;
    linkUrl = design.linkUrl;
    const std::optional<QString> utf8 = Utf8Text(design.customCode);
    appliedCodeLatin1 = !utf8;
    customCode = utf8 ? *utf8 : QString::fromLatin1(design.customCode);
    appliedCode = design.customCode;
    appliedCodeCrLf = EndsLinesInCrLf(appliedCode);
    LoadControls();
    appliedCodeText = CodeText();
    (design.newWindow ? newWindowButton : sameWindowButton)->setChecked(true);
    customCodeBox->setChecked(design.customCodeEnabled);
    ApplyCustomCodeBox();
    for (size_t i = 0; i < pageOptionBoxes.size(); ++i) {
        pageOptionBoxes[i]->setChecked(design.options.*kPageOptions[i].member);
    }
}

namespace {

// Code shown as Latin-1 written back as Latin-1, a letter Latin-1 lacks (typed since) as a character
// reference: as UTF-8, the whole code would turn every Latin-1 letter of it into two letters.
QByteArray Latin1Code(const QString& code) {
    QByteArray bytes;
    for (const char32_t c : code.toUcs4()) {
        bytes += c <= 0xFF ? QByteArray(1, char(c)) : QByteArray("&#") + QByteArray::number(uint(c)) + ';';
    }
    return bytes;
}

}  // namespace

void OptionsPage::StoreDesign(Design& design) {
    StoreControls();
    design.adTitle = adTitle;
    design.linkUrl = linkUrl;
    design.newWindow = newWindow;
    design.customCodeEnabled = customCodeEnabled;
    design.customCode = customCode == appliedCodeText ? appliedCode
                        : appliedCodeLatin1           ? Latin1Code(customCode)
                                                      : customCode.toUtf8();
    for (size_t i = 0; i < pageOptionBoxes.size(); ++i) {
        design.options.*kPageOptions[i].member = pageOptionBoxes[i]->isChecked();
    }
}

void OptionsPage::StoreControls() {
    adTitle = titleEdit->text();
    linkUrl = linkEdit->text();
    customCode = CodeText();
}

QString OptionsPage::CodeText() const {
    // The plain text would turn a no-break space into a space and a line separator into a line
    // feed, which ends a script's string. The raw text keeps every letter and shows each line break
    // as a paragraph separator. One the user pasted became a line break in the box as well, and
    // the two cannot be told apart: both are line ends here.
    QString text = codeEdit->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, appliedCodeCrLf ? QStringLiteral("\r\n") : QStringLiteral("\n"));
    return text;
}

void OptionsPage::LoadControls() {
    titleEdit->setText(adTitle);
    linkEdit->setText(linkUrl);
    codeEdit->setPlainText(customCode);
}

void OptionsPage::Layout() {
    PlaceLabel(titleLabel, {97, 10, 24, 8});
    titleEdit->setGeometry(DluRect(127, 9, 183, 14));
    PlaceLabel(linkLabel, {97, 31, 26, 8});
    linkEdit->setGeometry(DluRect(127, 30, 183, 14));
    PlaceLabel(targetLabel, {89, 50, 35, 8});
    PlaceButton(sameWindowButton, {127, 50, 80, 10});
    PlaceButton(newWindowButton, {232, 50, 77, 10});
    PlaceButton(customCodeBox, {127, 69, 93, 10});
    PlaceLabel(codeLabel, {35, 85, 87, 8});
    // The code keeps most of the page; the page options take the room below it, lined up with
    // the custom-code box.
    codeEdit->setGeometry(DluRect(125, 84, 197, 77));
    PlaceLabel(pageOptionsLabel, {81, 167, 43, 8});
    for (size_t i = 0; i < pageOptionBoxes.size(); ++i) {
        PlaceButton(pageOptionBoxes[i], {127, 167 + 13 * int(i), 190, 10});
    }
}

void OptionsPage::ApplyCustomCodeBox() {
    customCodeEnabled = customCodeBox->isChecked();
    codeLabel->setVisible(customCodeEnabled);
    codeEdit->setVisible(customCodeEnabled);
}

bool OptionsPage::eventFilter(QObject* watched, QEvent* event) {
    // Shift+Return would put a line separator in the box, which shows as a new line but goes into
    // the code as that letter: the user asked for a new line.
    if (watched == codeEdit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::InsertLineSeparator)) {
        codeEdit->insertPlainText(QStringLiteral("\n"));
        return true;
    }
    return WizardPage::eventFilter(watched, event);
}

void OptionsPage::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        Layout();
    }
}
