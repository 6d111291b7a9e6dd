#include "wizard/EditorPage.h"

#include "banner/TemplateImage.h"
#include "controls/BannerView.h"
#include "controls/ColorSwatch.h"
#include "controls/DialogUnits.h"
#include "controls/FontButton.h"
#include "controls/KeyboardFocus.h"
#include "controls/Pickers.h"
#include "design/Design.h"
#include "design/DesignFile.h"
#include "wizard/PageLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

// A drop-down list of `items` showing item `current`.
QComboBox* MakeList(const QStringList& items, int current, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->addItems(items);
    list->setCurrentIndex(current);
    return list;
}

struct Dlu {
    int x, y, width, height;
    QRect px() const { return DluRect(x, y, width, height); }
};

// Where one line's controls sit, in dialog units. The drop-down lists' height is the closed box.
struct LineLayout {
    Dlu title;  // the label of line 1, the check box of lines 2 and 3
    Dlu fontButton;
    Dlu swatchFrame;
    Dlu sizeList;
    Dlu text;
    Dlu offsetLabel;
    Dlu offsetList;
};

constexpr int kListHeight = 13;

constexpr std::array<LineLayout, 3> kLineLayouts{{
    {{221, 20, 46, 8},
     {220, 32, 111, 13},
     {333, 32, 13, 13},
     {350, 32, 31, kListHeight},
     {219, 47, 162, 14},
     {220, 66, 42, 8},
     {264, 64, 47, kListHeight}},
    {{221, 85, 61, 10},
     {221, 96, 111, 13},
     {334, 96, 13, 13},
     {350, 96, 31, kListHeight},
     {220, 111, 162, 14},
     {220, 130, 42, 8},
     {265, 128, 47, kListHeight}},
    {{222, 150, 61, 10},
     {221, 162, 111, 13},
     {335, 162, 13, 13},
     {351, 162, 31, kListHeight},
     {219, 177, 162, 14},
     {220, 197, 42, 8},
     {266, 195, 47, kListHeight}},
}};

QStringList SizeItems() {
    return {u"8"_s, u"10"_s, u"12"_s, u"14"_s, u"16"_s, u"18"_s, u"20"_s};
}

// Every offset a line may have, 0 shown as "auto".
QStringList OffsetItems() {
    QStringList items;
    for (int offset = Design::kMinOffset; offset <= Design::kMaxOffset; ++offset) {
        items.append(offset == 0 ? u"auto"_s : QString::number(offset));
    }
    return items;
}

int OffsetItem(int offset) {
    return offset - Design::kMinOffset;
}

// Shows `points` in a size list, adding it in its place among the numbers when the list lacks it.
void ShowPoints(QComboBox* list, int points) {
    const QString text = QString::number(points);
    int index = list->findText(text);
    if (index < 0) {
        index = 0;
        while (index < list->count() && list->itemText(index).toInt() < points) {
            ++index;
        }
        list->insertItem(index, text);
    }
    list->setCurrentIndex(index);
}

QLabel* MakeLabel(const QString& text, const Dlu& at, QWidget* parent, int room = 2) {
    auto* label = new QLabel(text, parent);
    PlaceLabel(label, {at.x, at.y, at.width, at.height}, room);
    return label;
}

// Moves the text of `widget` (a label, or a field without a frame) up or down inside its
// rectangle until it is centred where the text of `field` is: on the middle of its rectangle.
// The rectangle itself stays where the layout puts it.
void CentreTextOn(QWidget* widget, const QWidget& field) {
    // Twice the distance down, in pixels; a margin of that many pixels moves the middle by half.
    const int down = (2 * field.y() + field.height()) - (2 * widget->y() + widget->height());
    widget->setContentsMargins(0, std::max(down, 0), 0, std::max(-down, 0));
}

// Changes one of the banner's lines and recomposes it once.
template <typename Change>
void ChangeLine(BannerView& view, int index, Change change) {
    BannerLine line = view.Model().Line(index);
    change(line);
    view.SetLine(index, line);
}

}  // namespace

EditorPage::EditorPage(Pickers& pickers, QWidget* parent)
    : WizardPage(parent)
    , pickers(pickers)
    , bannerView(new BannerView(this)) {
    filling = true;
    resize(DluX(386), DluY(244));
    bannerView->setGeometry(DluRect(2, 17, 212, 212));

    // The size field starts where this label's rectangle ends; the text stops short of it.
    QLabel* sizeLabel = MakeLabel(u"Banner size:"_s, {5, 5, 40, 8}, this, -3);
    sizeLabel->setObjectName(u"bannerSizeLabel"_s);
    sizeEdit = new QLineEdit(QString::number(bannerView->Model().Size()), this);
    sizeEdit->setObjectName(u"bannerSizeEdit"_s);
    sizeEdit->setGeometry(DluRect(45, 3, 16, 12));
    QLabel* byLabel = MakeLabel(u"x"_s, {63, 5, 8, 8}, this);
    byLabel->setObjectName(u"bannerByLabel"_s);
    heightEdit = new QLineEdit(QString::number(bannerView->Model().Size()), this);
    heightEdit->setObjectName(u"bannerHeightEdit"_s);
    heightEdit->setGeometry(DluRect(70, 5, 14, 12));
    heightEdit->setReadOnly(true);
    sizeLabel->setBuddy(sizeEdit);
    heightEdit->setAccessibleName(u"Banner height"_s);
    heightEdit->setFrame(false);
    QLabel* pixelsLabel = MakeLabel(u"pixels"_s, {86, 5, 18, 8}, this);
    // The row reads as one line of text: each text is centred on the framed size field's middle.
    for (QWidget* item : std::initializer_list<QWidget*>{sizeLabel, byLabel, heightEdit, pixelsLabel}) {
        CentreTextOn(item, *sizeEdit);
    }
    resizeButton = new QPushButton(u"Resize"_s, this);
    resizeButton->setObjectName(u"resizeButton"_s);
    resizeButton->setGeometry(DluRect(106, 2, 50, 14));
    resizeButton->setEnabled(false);
    connect(sizeEdit, &QLineEdit::textChanged, this, [this] {
        if (!filling) {
            resizeButton->setEnabled(true);
        }
    });
    connect(resizeButton, &QPushButton::clicked, this, &EditorPage::OnResize);
    // Enter in the field applies the size as Resize does; the page keeps Enter from the wizard.
    connect(sizeEdit, &QLineEdit::returnPressed, this, [this] {
        if (resizeButton->isEnabled()) {
            OnResize();
        }
    });

    MakeLabel(u"Banner appear on the "_s, {4, 232, 72, 8}, this);
    leftButton = new QRadioButton(u"left"_s, this);
    leftButton->setObjectName(u"leftButton"_s);
    leftButton->setGeometry(DluRect(82, 232, 25, 10));
    rightButton = new QRadioButton(u"right"_s, this);
    rightButton->setObjectName(u"rightButton"_s);
    rightButton->setGeometry(DluRect(112, 232, 29, 10));
    rightButton->setChecked(true);
    TabToTheChosen({leftButton, rightButton});
    connect(leftButton, &QRadioButton::clicked, this, [this] { bannerView->SetSide(BannerSide::Left); });
    connect(rightButton, &QRadioButton::clicked, this, [this] { bannerView->SetSide(BannerSide::Right); });

    const Design defaults;
    for (int i = 0; i < 3; ++i) {
        CreateLine(i, defaults.lines[size_t(i)]);
    }

    connect(lineControls[1].check, &QCheckBox::clicked, this, &EditorPage::OnLine2Toggled);
    connect(lineControls[2].check, &QCheckBox::clicked, this, &EditorPage::OnLine3Toggled);
    filling = false;

    // Lines 2 and 3 start off, and their groups disabled with them.
    OnLine2Toggled();
}

void EditorPage::CreateLine(int index, const BannerLine& defaults) {
    const LineLayout& at = kLineLayouts[index];
    LineControls& line = lineControls[index];
    const int id = kFirstLineId + index;
    const QString number = QString::number(index + 1);
    const QString title = u"Text on line "_s + number + u':';

    if (index == 0) {
        MakeLabel(title, at.title, this);
    } else {
        line.check = new QCheckBox(title, this);
        line.check->setObjectName(u"lineCheck"_s + number);
        line.check->setGeometry(at.title.px());
    }

    line.sizeList = MakeList(SizeItems(), 0, this);
    ShowPoints(line.sizeList, defaults.font.height);

    // The swatch sits inside an etched frame, one pixel in from it on every side.
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(at.swatchFrame.px());
    line.swatch = new ColorSwatch(pickers, defaults.color, id, this);
    line.swatch->setObjectName(u"colorSwatch"_s + number);
    line.swatch->setGeometry(at.swatchFrame.px().adjusted(1, 1, -1, -1));

    line.fontButton = new FontButton(pickers, defaults.font.faceName, defaults.font.height, *line.swatch, id, this);
    line.fontButton->setObjectName(u"fontButton"_s + number);
    line.fontButton->setGeometry(at.fontButton.px());

    line.sizeList->setObjectName(u"sizeList"_s + number);
    line.sizeList->setGeometry(at.sizeList.px());

    line.text = new QLineEdit(defaults.text, this);
    line.text->setMaxLength(int(kMaxDesignFileBytes));  // not 32,767 letters: a design's line comes back whole
    line.text->setObjectName(u"lineText"_s + number);
    line.text->setGeometry(at.text.px());

    line.offsetLabel = MakeLabel(u"Line "_s + number + u" offset:"_s, at.offsetLabel, this);
    line.offsetList = MakeList(OffsetItems(), OffsetItem(defaults.offset), this);
    line.offsetList->setObjectName(u"offsetList"_s + number);
    line.offsetList->setGeometry(at.offsetList.px());
    // A screen reader names each control of the row by its line; the labels on screen name only
    // the text and the offset, and the face, colour and size speak for themselves by sight.
    line.fontButton->setAccessibleName(u"Font of line "_s + number);
    line.swatch->setAccessibleName(u"Colour of line "_s + number);
    line.text->setAccessibleName(u"Text of line "_s + number);
    // A list's own name is its value on Linux ("18"); only a label tied to it names it there. The
    // label is never shown: the row has no room for it.
    auto* sizeName = new QLabel(u"Size of line "_s + number, this);
    sizeName->setBuddy(line.sizeList);
    sizeName->hide();
    line.offsetLabel->setBuddy(line.offsetList);
    // Tab follows the row on screen: the face, its colour, its size, then the text and its offset.
    setTabOrder(line.fontButton, line.swatch);
    setTabOrder(line.swatch, line.sizeList);
    setTabOrder(line.sizeList, line.text);
    setTabOrder(line.text, line.offsetList);

    bannerView->SetLine(index, defaults);

    // Whatever commits a list's choice (the popup, the wheel or the keys on the closed list) applies
    // it at once, so the banner always uses what the list shows.
    connect(line.sizeList, &QComboBox::currentIndexChanged, this, [this, index] { OnLineSizeChosen(index); });
    connect(line.offsetList, &QComboBox::currentIndexChanged, this, [this, index] { OnLineOffsetChosen(index); });
    connect(line.text, &QLineEdit::textChanged, this, [this, index] { OnLineTextChanged(index); });
    connect(line.swatch, &ColorSwatch::colorChanged, this, &EditorPage::OnColorChanged);
    connect(line.fontButton, &FontButton::fontChanged, this, &EditorPage::OnFontChanged);
}

FileResult EditorPage::LoadTemplate(const QString& path) {
    loadedTemplate = path;
    TemplateImage loaded = LoadKeptTemplateImage(path);
    loadedCompanion = LoadCompanion(path);
    bannerView->SetTemplate(loaded.image);
    return loaded.status;
}

QImage EditorPage::ComposedAt2x() const {
    return ComposeAt2x(bannerView->Model(), loadedCompanion.image);
}

QString EditorPage::CompanionNote() const {
    return CompanionNotUsed(bannerView->Model(), loadedCompanion);
}

void EditorPage::ApplyDesign(const Design& design, const QImage& templateImage, const QString& templatePath) {
    filling = true;
    for (size_t i = 0; i < lineControls.size(); ++i) {
        const LineControls& controls = lineControls[i];
        const BannerLine& line = design.lines[i];
        controls.text->setText(line.text);
        controls.swatch->SetColor(line.color);
        controls.fontButton->SetLogFont(line.font);
        ShowPoints(controls.sizeList, line.font.height);
        controls.offsetList->setCurrentIndex(OffsetItem(line.offset));
        if (controls.check != nullptr) {
            controls.check->setChecked(line.enabled);
        }
    }
    lineControls[2].check->setEnabled(design.lines[1].enabled);
    for (int i = 1; i < 3; ++i) {
        EnableGroup(i, design.lines[size_t(i)].enabled);
    }
    (design.side == BannerSide::Left ? leftButton : rightButton)->setChecked(true);
    resized = design.size.has_value();
    resizeButton->setEnabled(false);
    filling = false;

    loadedTemplate = templatePath;
    loadedCompanion = LoadCompanion(templatePath);
    Banner banner;
    design.ComposeInto(banner, templateImage);
    bannerView->SetModel(std::move(banner));
    ShowAppliedSize(bannerView->Model().Size());
    update();
}

void EditorPage::StoreDesign(Design& design) {
    BannerSize();
    const Banner& banner = bannerView->Model();
    design.lines = banner.Lines();
    design.side = IsLeftSide() ? BannerSide::Left : BannerSide::Right;
    design.size = resized ? std::optional(banner.Size()) : std::nullopt;
    design.cropOffset.reset();
    // The square keeps the left offset Resize gave it when another template is loaded, where it
    // fits across, so it may lie elsewhere than the design's own rule puts it on the selected
    // template; and a design opened may place it anywhere, sized or not.
    const bool sameTemplate = QDir::cleanPath(loadedTemplate) == QDir::cleanPath(design.TemplatePath());
    if ((resized && !sameTemplate) || banner.CropOffset() != design.CropOffsetFor(banner.TemplateSize())) {
        design.cropOffset = banner.CropOffset().x();
    }
}

int EditorPage::BannerSize() {
    // The size it has, typed again, is no change: applied, it would put the square back in the
    // middle, where the user or an opened design placed it elsewhere, and a mere check of what
    // changed (closing, opening a design) would move it.
    if (SizeTyped() && SizeProblem().isEmpty()) {
        OnResize();
    }
    return bannerView->Model().Size();
}

bool EditorPage::SizeTyped() const {
    // Applied, the first size makes the design's size its own, whatever it is.
    return resizeButton->isEnabled() && (!resized || SizeToApply() != bannerView->Model().Size());
}

QString EditorPage::SizeProblem() const {
    if (!resizeButton->isEnabled() || SizeToApply()) {
        return {};
    }
    const QString typed = sizeEdit->text().trimmed();
    return (typed.isEmpty() ? QStringLiteral("No banner size is typed.")
                            : QStringLiteral("The banner size \"%1\" is not a whole number of pixels.").arg(typed)) +
           QStringLiteral(" Type a number from %1 to %2.").arg(Banner::kMinSize).arg(Banner::kMaxSize);
}

bool EditorPage::IsLeftSide() const {
    return leftButton->isChecked();
}

void EditorPage::EnableGroup(int index, bool on) {
    const LineControls& line = lineControls[index];
    for (QWidget* control : std::initializer_list<QWidget*>{line.offsetLabel, line.offsetList, line.text, line.swatch,
                                                            line.fontButton, line.sizeList}) {
        control->setEnabled(on);
    }
}

void EditorPage::EnableLine(int index, bool on) {
    EnableGroup(index, on);
    ChangeLine(*bannerView, index, [on](BannerLine& line) { line.enabled = on; });
}

void EditorPage::OnLine2Toggled() {
    QCheckBox* line3 = lineControls[2].check;
    if (lineControls[1].check->isChecked()) {
        // Line 3 stays off until its own box is checked again.
        line3->setEnabled(true);
        EnableLine(1, true);
    } else {
        line3->setChecked(false);
        line3->setEnabled(false);
        EnableLine(1, false);
        EnableLine(2, false);
    }
    update();
}

void EditorPage::OnLine3Toggled() {
    EnableLine(2, lineControls[2].check->isChecked());
    update();
}

std::optional<int> EditorPage::SizeToApply() const {
    // Digits count in any script: a Persian or an Arabic keyboard types its own. Anything else in
    // the field ("250px", "25O", "2 50", "250.5") is a slip, which a size read from part of it, or the
    // size kept from before, would pass over without a word.
    QString text = sizeEdit->text().trimmed();
    for (QChar& c : text) {
        if (c.category() == QChar::Number_DecimalDigit) {
            c = QChar(u'0' + c.digitValue());
        }
    }
    const bool negative = text.startsWith(u'-');
    const QStringView digits = QStringView(text).mid(negative || text.startsWith(u'+') ? 1 : 0);
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); })) {
        return std::nullopt;
    }
    // A number too long for any integer is still far beyond a limit.
    bool ok = false;
    const qlonglong typed = text.toLongLong(&ok);
    const qlonglong size = ok ? typed : negative ? Banner::kMinSize : Banner::kMaxSize;
    return int(std::clamp<qlonglong>(size, Banner::kMinSize, Banner::kMaxSize));
}

void EditorPage::OnResize() {
    if (const QString problem = SizeProblem(); !problem.isEmpty()) {
        // Left in the field as typed, to be mended.
        pickers.ShowMessage(this, window()->windowTitle(), problem, Pickers::MessageIcon::Warning);
        sizeEdit->setFocus();
        return;
    }
    resizeButton->setEnabled(false);
    const int size = *SizeToApply();
    bannerView->SetBannerSize(size);
    resized = true;
    ShowAppliedSize(size);
}

void EditorPage::ShowAppliedSize(int size) {
    filling = true;
    sizeEdit->setText(QString::number(size));
    heightEdit->setText(QString::number(size));
    filling = false;
}

void EditorPage::OnLineSizeChosen(int index) {
    if (filling) {
        return;
    }
    // Not a number gives 0, as the list only ever holds numbers.
    const int height = lineControls[index].sizeList->currentText().toInt();
    ChangeLine(*bannerView, index, [height](BannerLine& line) { line.font.height = height; });
}

void EditorPage::OnLineOffsetChosen(int index) {
    if (filling) {
        return;
    }
    const QString text = lineControls[index].offsetList->currentText();
    ChangeLine(*bannerView, index, [&text](BannerLine& line) { line.offset = text == u"auto"_s ? 0 : text.toInt(); });
}

void EditorPage::OnLineTextChanged(int index) {
    if (filling) {
        return;
    }
    ChangeLine(*bannerView, index, [this, index](BannerLine& line) { line.text = lineControls[index].text->text(); });
}

void EditorPage::OnColorChanged(int id, QRgb color) {
    const int index = id - kFirstLineId;
    if (index < 0 || index >= int(lineControls.size())) {
        return;
    }
    ChangeLine(*bannerView, index, [color](BannerLine& line) { line.color = color; });
    update();
}

void EditorPage::OnFontChanged(int id) {
    const int index = id - kFirstLineId;
    if (index < 0 || index >= int(lineControls.size())) {
        return;
    }
    const LineControls& controls = lineControls[index];
    ChangeLine(*bannerView, index, [&controls](BannerLine& line) {
        line.font = controls.fontButton->LogFont();
        // The size list's value stays the line's size, as OnLineSizeChosen reads it.
        line.font.height = controls.sizeList->currentText().toInt();
    });
    update();
}
