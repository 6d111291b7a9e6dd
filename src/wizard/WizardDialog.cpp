#include "WizardDialog.h"

#include "BannerView.h"
#include "DialogUnits.h"
#include "EditorPage.h"
#include "OptionsPage.h"
#include "OutputPage.h"
#include "OutputRuns.h"
#include "Pickers.h"
#include "PreviewPage.h"
#include "SkinButton.h"
#include "TemplatesPage.h"

#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

const QColor kBackground(150, 150, 170);
const QRect kPlaceholder = DluRect(3, 27, 386, 244);
constexpr int kPanelGrowth = 7;
constexpr int kCornerPiece = 7;

// Step names as the tab images carry them, in step order.
constexpr std::array<const char*, WizardDialog::kStepCount> kStepNames = {"templates", "editor", "options", "preview",
                                                                          "output"};
constexpr std::array<int, WizardDialog::kStepCount> kTabX = {6, 79, 152, 225, 298};

QString Art(const QString& name) {
    return QStringLiteral(":/wizard/") + name + QStringLiteral(".png");
}

// A tab's picture at its natural size, drawn for the pixel ratio of the screen it is on. Clicks go
// through it to the dialog, which tests the other-step tabs' rectangles.
class TabImage final : public QWidget {
public:
    TabImage(const QString& path, QWidget* parent)
        : QWidget(parent)
        , image(path) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    QSize NaturalSize() const {
        const QPixmap& pixmap = image.For(1);
        return pixmap.isNull() ? DluRect(0, 0, 73, 18).size() : pixmap.deviceIndependentSize().toSize();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(0, 0, image.For(devicePixelRatioF()));
    }

private:
    Artwork image;
};

// `heading`, then each file that could not be written with the reason.
QString FailureList(const QString& heading, const RunReport& report) {
    QString text = heading + u'\n';
    const QList<FileResult> failures = report.Failures();
    for (const FileResult& failure : failures) {
        text += QStringLiteral("\n%1: %2").arg(failure.path, failure.error);
    }
    return text;
}

}  // namespace

WizardDialog::WizardDialog(Pickers& pickers, const QString& templatesFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , pickers(pickers) {
    setWindowTitle(QStringLiteral("Vornet Ad Wizard"));
    QIcon icon(Art(QStringLiteral("vornetad")));
    icon.addFile(Art(QStringLiteral("vornetad@2x")));
    setWindowIcon(icon);
    setFixedSize(DluX(392), DluY(299));

    texts.LoadTextResources();
    catalog.Scan(templatesFolder);

    nextButton = new SkinButton(this);
    generateButton = new SkinButton(this);
    backButton = new SkinButton(this);
    nextButton->setGeometry(DluRect(269, 277, 54, 19));
    backButton->setGeometry(DluRect(213, 277, 53, 19));
    generateButton->setGeometry(DluRect(325, 277, 61, 19));
    // Keyboard order follows the row on screen.
    setTabOrder(backButton, nextButton);
    setTabOrder(nextButton, generateButton);
    connect(backButton, &QAbstractButton::clicked, this, &WizardDialog::OnBack);
    connect(nextButton, &QAbstractButton::clicked, this, &WizardDialog::OnNext);
    connect(generateButton, &QAbstractButton::clicked, this, &WizardDialog::OnGenerate);

    for (int i = 0; i < kStepCount; ++i) {
        const QString name = QString::fromLatin1(kStepNames[size_t(i)]);
        const QPoint place = DluRect(kTabX[size_t(i)], 4, 73, 18).topLeft();
        for (const bool current : {true, false}) {
            auto* tab = new TabImage(Art(QStringLiteral("tab-%1-%2").arg(name, current ? u"current" : u"other")), this);
            tab->setGeometry(QRect(place, tab->NaturalSize()));
            tab->hide();
            (current ? currentTabs : otherTabs)[size_t(i)] = tab;
        }
    }

    templatesPage = std::make_unique<TemplatesPage>(&catalog, this);
    editorPage = std::make_unique<EditorPage>(pickers, this);
    optionsPage = std::make_unique<OptionsPage>(this);
    previewPage = std::make_unique<PreviewPage>(pickers, this);
    outputPage = std::make_unique<OutputPage>(pickers, this);
    for (int n = 1; n <= kStepCount; ++n) {
        QWidget* page = PageOfStep(n);
        page->setGeometry(kPlaceholder);
        page->hide();
    }

    nextButton->SetBitmaps(Art(QStringLiteral("next-normal")), Art(QStringLiteral("next-pressed")),
                           Art(QStringLiteral("next-pressed")), Art(QStringLiteral("next-disabled")));
    backButton->SetBitmaps(Art(QStringLiteral("back-normal")), Art(QStringLiteral("back-pressed")),
                           Art(QStringLiteral("back-pressed")), Art(QStringLiteral("back-disabled")));
    generateButton->SetBitmaps(Art(QStringLiteral("generate-normal")), Art(QStringLiteral("generate-pressed")),
                               Art(QStringLiteral("generate-pressed")), Art(QStringLiteral("generate-disabled")));
    cornerImage = Artwork(Art(QStringLiteral("corner")));

    step = 1;
    ShowStep();
}

WizardDialog::~WizardDialog() = default;

QWidget* WizardDialog::PageOfStep(int n) const {
    switch (n) {
    case 1:
        return templatesPage.get();
    case 2:
        return editorPage.get();
    case 3:
        return optionsPage.get();
    case 4:
        return previewPage.get();
    case 5:
        return outputPage.get();
    default:
        return nullptr;
    }
}

void WizardDialog::ShowStep() {
    if (step < 1 || step > kStepCount) {
        return;
    }
    backButton->setEnabled(step > 1);
    nextButton->setEnabled(step < kStepCount);
    generateButton->setEnabled(step == kStepCount);
    for (int n = 1; n <= kStepCount; ++n) {
        CurrentTab(n).setVisible(n == step);
        OtherTab(n).setVisible(n != step);
    }
    for (int n = 1; n <= kStepCount; ++n) {
        PageOfStep(n)->setVisible(n == step);
    }
}

void WizardDialog::LeaveStep() {
    if (step == 1) {
        editorPage->LoadTemplate(templatesPage->GetSelectedTemplatePath());
    } else if (step == 3) {
        // The settings first: reading the banner size applies a typed size to the banner.
        const AdSettings settings = GatherSettings();
        if (!CustomCodeUsable(settings)) {
            return;
        }
        const RunReport report = WritePreview(texts, editorPage->view().model().Composed(), settings, previewFolder);
        if (report.ok()) {
            previewPage->Navigate(report.previewPage);
        } else {
            // A page beside an older image or style sheet, or an older page, would pass for this
            // preview: none is shown, and the user learns which file failed and why.
            previewPage->ShowNoPreview();
            pickers.ShowMessage(this, windowTitle(),
                                FailureList(QStringLiteral("The preview could not be written:"), report),
                                Pickers::MessageIcon::Warning);
        }
    }
}

void WizardDialog::GoToStep(int n) {
    LeaveStep();
    step = std::clamp(n, 1, kStepCount);
    ShowStep();
}

void WizardDialog::OnNext() {
    LeaveStep();
    step = std::min(step + 1, kStepCount);
    ShowStep();
}

void WizardDialog::OnBack() {
    if (step <= 1) {
        return;
    }
    --step;
    ShowStep();
}

AdSettings WizardDialog::GatherSettings() {
    AdSettings settings;
    optionsPage->StoreControls();
    settings.linkUrl = optionsPage->linkUrl;
    settings.adTitle = optionsPage->adTitle;
    settings.newWindow = optionsPage->newWindow;
    settings.customCodeEnabled = optionsPage->customCodeEnabled;
    settings.customCode = optionsPage->customCode.toUtf8();
    settings.bannerSize = editorPage->BannerSize();
    settings.side = editorPage->IsLeftSide() ? BannerSide::Left : BannerSide::Right;
    return settings;
}

bool WizardDialog::CustomCodeUsable(const AdSettings& settings) {
    // A page holding a zero byte is refused by every later run, so such code never goes in.
    if (!settings.customCodeEnabled || !settings.customCode.contains('\0')) {
        return true;
    }
    pickers.ShowMessage(this, windowTitle(),
                        QStringLiteral("The custom HTML code holds a zero character, which a page cannot carry. "
                                       "Remove it, then try again."),
                        Pickers::MessageIcon::Warning);
    return false;
}

void WizardDialog::OnGenerate() {
    if (!outputPage->ValidateOutput()) {
        return;
    }
    const OutputTarget target = outputPage->Target();
    const AdSettings settings = GatherSettings();
    if (!CustomCodeUsable(settings)) {
        return;
    }
    const RunReport report =
        target.removeAdvert
            ? RemoveAdvert(target.pages, settings.customCodeEnabled ? settings.customCode : QByteArray())
            : Generate(texts, editorPage->view().model().Composed(), target, settings);
    if (report.ok()) {
        pickers.ShowMessage(this, windowTitle(), QStringLiteral("Done!"), Pickers::MessageIcon::Information);
    } else {
        pickers.ShowMessage(this, windowTitle(),
                            FailureList(QStringLiteral("Some files could not be written:"), report),
                            Pickers::MessageIcon::Warning);
    }
    step = 1;
    ShowStep();
}

void WizardDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const QRect panel = kPlaceholder.adjusted(0, -kPanelGrowth, 0, kPanelGrowth);
    painter.fillRect(panel, Qt::white);
    if (cornerImage.isNull()) {
        return;
    }
    // The corner image is a disc; its four quarters round the panel (the middle row and column
    // are not used). Source rectangles count the image's own pixels, twice as many in a doubled one.
    const QPixmap& disc = cornerImage.For(devicePixelRatioF());
    const qreal scale = disc.devicePixelRatio();
    const int right = panel.x() + panel.width();
    const int bottom = panel.y() + panel.height();
    const int far = int(disc.deviceIndependentSize().width()) - kCornerPiece;
    const auto piece = [&](int x, int y, int sourceX, int sourceY) {
        painter.drawPixmap(QRectF(x, y, kCornerPiece, kCornerPiece), disc,
                           QRectF(sourceX * scale, sourceY * scale, kCornerPiece * scale, kCornerPiece * scale));
    };
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    piece(panel.x(), panel.y(), 0, 0);
    piece(right - kCornerPiece, panel.y(), far, 0);
    piece(panel.x(), bottom - kCornerPiece, 0, far);
    piece(right - kCornerPiece, bottom - kCornerPiece, far, far);
}

void WizardDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint point = event->position().toPoint();
        for (int n = 1; n <= kStepCount; ++n) {
            // Hidden or not: each other-step tab lies where the step's current tab lies.
            if (OtherTab(n).geometry().contains(point)) {
                GoToStep(n);
                event->accept();
                return;
            }
        }
    }
    QDialog::mousePressEvent(event);
}

void WizardDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    case Qt::Key_Escape: {
        event->accept();
        const QWidget* focus = focusWidget();
        for (int n = 1; n <= kStepCount; ++n) {
            if (focus != nullptr && PageOfStep(n)->isAncestorOf(focus)) {
                return;
            }
        }
        reject();
        return;
    }
    default:
        QDialog::keyPressEvent(event);
    }
}
