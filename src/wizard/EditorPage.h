#pragma once

#include "banner/TemplateImage.h"
#include "files/FileResult.h"
#include "wizard/WizardPage.h"

#include <QImage>
#include <QRgb>
#include <QString>

#include <array>
#include <optional>

class BannerView;
struct BannerLine;
struct Design;
class ColorSwatch;
class FontButton;
class Pickers;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Step 2: the banner view and the controls of the three lines (text, font, colour, size, offset),
// the banner size with its Resize button, and the corner. Every change goes straight to the view's
// setters, which recompose the banner at once. Lines 2 and 3 are switched on by
// their check boxes; line 3 can only be on while line 2 is, so the drawn lines stay a prefix.
class EditorPage final : public WizardPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditorPage)

public:
    // Identifiers that a line's swatch and font button hand to OnColorChanged and OnFontChanged.
    static constexpr int kFirstLineId = 101;

    // `pickers` must outlive the page; the swatches and font buttons open them.
    explicit EditorPage(Pickers& pickers, QWidget* parent = nullptr);

    // Decodes the template at `path` into the banner. A refused file still replaces the template,
    // as one without pixels; the result says which file and why, for the caller to tell the user.
    [[nodiscard]] FileResult LoadTemplate(const QString& path);
    // The edge length of the banner that will be saved: a size typed but not yet applied is
    // applied first, exactly as Resize would, unless it is the size the banner has; one that is no
    // size is left in the field, unapplied (SizeProblem says why).
    int BannerSize();
    // Fills every control from `design` and composes its banner on `templateImage`, the template
    // at `templatePath`. A size in points that the size list lacks is added to it.
    void ApplyDesign(const Design& design, const QImage& templateImage, const QString& templatePath);
    // Writes the banner as the page shows it into `design` (after BannerSize()), whose template
    // must already be the one the templates step has selected.
    void StoreDesign(Design& design);
    bool IsLeftSide() const;
    // Whether a size was typed and not yet applied that would change the design (BannerSize would
    // apply it, or refuse it as no size).
    bool SizeTyped() const;
    // Why the size typed and not yet applied is no size (a slip such as "250px"), for the user to
    // mend before anything is made of it; empty where it is one, or where nothing was typed.
    QString SizeProblem() const;
    BannerView& View() { return *bannerView; }
    // The banner composed at twice its size, for the 2x image: on the companion read together with
    // the template, so a file replaced since cannot pair one drawing with another.
    QImage ComposedAt2x() const;
    // What the user is told of the template's companion when it is there but refused (the 2x image
    // is then the template scaled up); empty otherwise.
    QString CompanionNote() const;

public slots:
    // `id` is 101 to 103 for lines 1 to 3; any other id is ignored.
    void OnColorChanged(int id, QRgb color);
    // Copies the face and style of the line's font button, then re-applies its size list's value.
    void OnFontChanged(int id);

private:
    // The size Resize would apply: the field's number within the limits; none where the field holds
    // no number.
    std::optional<int> SizeToApply() const;
    // The controls of one text line. Line 1 has no check box.
    struct LineControls {
        QCheckBox* check = nullptr;
        FontButton* fontButton = nullptr;
        ColorSwatch* swatch = nullptr;
        QComboBox* sizeList = nullptr;
        QLineEdit* text = nullptr;
        QLabel* offsetLabel = nullptr;
        QComboBox* offsetList = nullptr;
    };

    void CreateLine(int index, const BannerLine& defaults);
    void EnableLine(int index, bool on);
    void EnableGroup(int index, bool on);
    void OnLine2Toggled();
    void OnLine3Toggled();
    void OnResize();
    void OnLineSizeChosen(int index);
    void OnLineOffsetChosen(int index);
    void OnLineTextChanged(int index);
    void ShowAppliedSize(int size);

    Pickers& pickers;
    BannerView* bannerView = nullptr;
    QLineEdit* sizeEdit = nullptr;
    QLineEdit* heightEdit = nullptr;
    QPushButton* resizeButton = nullptr;
    QRadioButton* leftButton = nullptr;
    QRadioButton* rightButton = nullptr;
    std::array<LineControls, 3> lineControls;
    // Set while the page writes its own controls, whose change notifications are then ignored.
    bool filling = false;
    // Whether the banner's size was applied by Resize, which centres the crop square.
    bool resized = false;
    // The template the banner was last given, and its companion read at the same time.
    QString loadedTemplate;
    TemplateImage loadedCompanion;
};
