#include "wizard/WizardDialog.h"

#include "banner/Banner.h"
#include "banner/TemplateImage.h"
#include "controls/BannerView.h"
#include "controls/DialogUnits.h"
#include "controls/KeyboardFocus.h"
#include "controls/Pickers.h"
#include "controls/SkinButton.h"
#include "controls/TemplateStrip.h"
#include "design/DesignFile.h"
#include "design/WriteOver.h"
#include "files/FileNames.h"
#include "files/PrivateFolder.h"
#include "files/ReplaceFile.h"
#include "files/SiteWalk.h"
#include "files/SystemErrors.h"
#include "output/OutputRuns.h"
#include "wizard/DialogLook.h"
#include "wizard/EditorPage.h"
#include "wizard/OptionsPage.h"
#include "wizard/OutputPage.h"
#include "wizard/PreviewPage.h"
#include "wizard/RunProgress.h"
#include "wizard/TemplatesPage.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>
#include <QScrollArea>
#include <QSet>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace {

const QColor kBackground(150, 150, 170);
const QRect kPlaceholder = DluRect(3, 27, 386, 244);
constexpr int kPanelGrowth = 7;
constexpr int kCornerPiece = 7;

// Whether two runs' targets reach the same pages, as their settings tell without a look at each.
bool SamePages(const OutputTarget& one, const OutputTarget& other) {
    return one.createNew == other.createNew &&
           (one.createNew ? one.outputFolder == other.outputFolder && one.fileName == other.fileName
                          : !one.pages.isEmpty() && one.pages == other.pages);
}

// Step names as the tab images carry them, in step order.
constexpr std::array<const char*, WizardDialog::kStepCount> kStepNames = {"templates", "editor", "options", "preview",
                                                                          "output"};
constexpr std::array<int, WizardDialog::kStepCount> kTabX = {6, 79, 152, 225, 298};

// main() refuses to start without the built-in texts, so here they are always there.
CodeTexts LoadedTexts() {
    Result<CodeTexts> loaded = CodeTexts::LoadTextResources();
    if (!loaded.Ok()) {
        qFatal("%s: %s", qUtf8Printable(loaded.subject), qUtf8Printable(loaded.error));
    }
    return std::move(loaded.value);
}

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
        text += failure.path.isEmpty() ? u'\n' + failure.error
                                       : QStringLiteral("\n%1: %2").arg(failure.path, failure.error);
    }
    return text;
}

// `text` and then the run's notes, each on its line: a page written that may not show the advert
// is named whether or not other files failed; after failures, under a heading of their own, so
// that none reads as one more failure.
QString WithNotes(const QString& text, const QStringList& notes, bool afterFailures) {
    return notes.isEmpty()
               ? text
               : text + (afterFailures ? QStringLiteral("\n\nOf note, not failures:\n") : QStringLiteral("\n\n")) +
                     notes.join(u'\n');
}

const QString kDesignFilter = QStringLiteral("VornetAd designs (*.vornetad)");
const QString kDesignSuffix = QStringLiteral("vornetad");

// Moves the file `from` to `to`, or where a file has that name already (one moved aside in the same
// second, or before the clock was set back), to `to` with "-2", "-3"... after it: never over
// another. Returns the name it took; empty where it was not moved, and then `error` says why. Not
// QFile::rename, which copies where it cannot rename, and so gives no reason of the rename's own.
QString MoveToNewName(const QString& from, const QString& to, int& error) {
    for (int n = 1; n <= 100; ++n) {
        const QString name = n == 1 ? to : to + u'-' + QString::number(n);
        error = RenameWithoutReplacing(QFile::encodeName(from), QFile::encodeName(name));
        if (error != EEXIST) {
            return error == 0 ? name : QString();
        }
    }
    return {};
}

}  // namespace

QString LastDesignFile() {
    // Without a settings folder of the user's own no design is kept.
    const QString folder = AppConfigFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/last.vornetad");
}

WizardDialog::WizardDialog(Pickers& pickers, const TemplateSources& templates, const QString& lastDesignFile,
                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , pickers(pickers)
    , texts(LoadedTexts())
    , lastDesign(lastDesignFile) {
    setWindowTitle(QStringLiteral("Vornet Ad Wizard"));
    QIcon icon(Art(QStringLiteral("vornetad")));
    icon.addFile(Art(QStringLiteral("vornetad@2x")));
    setWindowIcon(icon);
    setFixedSize(DluX(392), DluY(299));
    setFont(DialogFont());

    catalog.Scan(templates);
    if (const QList<FileResult> unlisted = TemplateCatalog::Unlisted(templates); !unlisted.isEmpty()) {
        QString text = QStringLiteral("Some templates cannot be shown.\n");
        for (const FileResult& each : unlisted) {
            text += QStringLiteral("\n%1: %2").arg(each.path, each.error);
        }
        Tell(text, Pickers::MessageIcon::Warning);
    }

    openDesignButton = new SkinButton(this);
    saveDesignButton = new SkinButton(this);
    nextButton = new SkinButton(this);
    generateButton = new SkinButton(this);
    backButton = new SkinButton(this);
    openDesignButton->setGeometry(DluRect(4, 277, 85, 19));
    saveDesignButton->setGeometry(DluRect(92, 277, 85, 19));
    nextButton->setGeometry(DluRect(269, 277, 54, 19));
    backButton->setGeometry(DluRect(213, 277, 53, 19));
    generateButton->setGeometry(DluRect(325, 277, 61, 19));
    // The pictures carry the words; a caption would be drawn over them.
    openDesignButton->setAccessibleName(QStringLiteral("Open design\u2026"));
    saveDesignButton->setAccessibleName(QStringLiteral("Save design\u2026"));
    backButton->setAccessibleName(QStringLiteral("Back"));
    nextButton->setAccessibleName(QStringLiteral("Next"));
    generateButton->setAccessibleName(QStringLiteral("Generate"));
    // Keyboard order follows the row on screen.
    setTabOrder(openDesignButton, saveDesignButton);
    setTabOrder(saveDesignButton, backButton);
    setTabOrder(backButton, nextButton);
    setTabOrder(nextButton, generateButton);
    connect(openDesignButton, &QAbstractButton::clicked, this, &WizardDialog::OnOpenDesign);
    connect(saveDesignButton, &QAbstractButton::clicked, this, &WizardDialog::OnSaveDesign);
    connect(backButton, &QAbstractButton::clicked, this, &WizardDialog::OnBack);
    connect(nextButton, &QAbstractButton::clicked, this, &WizardDialog::OnNext);
    connect(generateButton, &QAbstractButton::clicked, this, &WizardDialog::OnGenerate);

    for (int i = 0; i < kStepCount; ++i) {
        const QString name = QString::fromLatin1(kStepNames[size_t(i)]);
        const QPoint place = DluRect(kTabX[size_t(i)], 4, 73, 18).topLeft();
        for (const bool current : {true, false}) {
            auto* tab = new TabImage(Art(QStringLiteral("tab-%1-%2").arg(name, current ? u"current" : u"other")), this);
            tab->setGeometry(QRect(place, tab->NaturalSize()));
            // The pictures carry the words; a screen reader reading the window gets them here.
            tab->setAccessibleName(
                QStringLiteral("Step %1, %2%3")
                    .arg(QString::number(i + 1), name, current ? QStringLiteral(", shown") : QString()));
            tab->hide();
            (current ? currentTabs : otherTabs)[size_t(i)] = tab;
        }
    }

    templatesPage = std::make_unique<TemplatesPage>(&catalog, pickers, templates, this);
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
    for (auto [button, name] :
         {std::pair{openDesignButton, u"open-design"}, std::pair{saveDesignButton, u"save-design"}}) {
        const QString normal = Art(QString::fromUtf16(name) + QStringLiteral("-normal"));
        const QString pressed = Art(QString::fromUtf16(name) + QStringLiteral("-pressed"));
        button->SetBitmaps(normal, pressed, pressed, normal);
    }
    cornerImage = Artwork(Art(QStringLiteral("corner")));

    step = 1;
    ShowStep();
    RestoreLastDesign();
    designAsKept = DesignJson(GatherDesign());
    // The first thing to do is pick a template: the focus starts in the grid, not on Open design,
    // the first in the tab order (a window too tall for the screen opened scrolled to it).
    templatesPage->Strip()->setFocus();
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
    // Generate first: a button that loses its use while it has the focus hands it on along the tab
    // order, so Next pressed into the last step leaves it on Generate, not back at Open design.
    generateButton->setEnabled(step == kStepCount);
    backButton->setEnabled(step > 1);
    nextButton->setEnabled(step < kStepCount);
    for (int n = 1; n <= kStepCount; ++n) {
        CurrentTab(n).setVisible(n == step);
        OtherTab(n).setVisible(n != step);
    }
    for (int n = 1; n <= kStepCount; ++n) {
        PageOfStep(n)->setVisible(n == step);
    }
}

bool WizardDialog::LeaveStep() {
    if (step == 1) {
        // A template that cannot be decoded would give a banner of bare text: the user picks another.
        const QString path = templatesPage->GetSelectedTemplatePath();
        if (const FileResult loaded = editorPage->LoadTemplate(path); !loaded.Ok() && !path.isEmpty()) {
            pickers.ShowMessage(this, windowTitle(),
                                QStringLiteral("The template \"%1\" cannot be used: %2. Please choose another one.")
                                    .arg(QDir::toNativeSeparators(path), loaded.error),
                                Pickers::MessageIcon::Warning);
            return false;
        }
    } else if (step == 2) {
        // A slip in the size field would otherwise go unseen until the banner came out another size.
        if (const QString problem = editorPage->SizeProblem(); !problem.isEmpty()) {
            pickers.ShowMessage(this, windowTitle(), problem, Pickers::MessageIcon::Warning);
            return false;
        }
    } else if (step == 3) {
        ShowPreview();
    }
    return true;
}

void WizardDialog::ShowPreview() {
    // The settings first: reading the banner size applies a typed size to the banner.
    const Design design = GatherDesign();
    if (const QString problem = DesignProblem(design); !problem.isEmpty()) {
        // An older preview would pass for this one; and since nothing was tried, the step says why
        // rather than blaming files.
        previewPage->ShowNoPreview(problem);
        return;
    }
    const AdSettings settings = design.Advert();
    // Not the folder every preview of the user's shares: another window, or a script's preview,
    // would write its own banner there under the same names while this one is shown.
    const FileResult folder = previewFolder.isEmpty() ? ProcessPreviewFolder() : FileResult::Success(previewFolder);
    RunReport report;
    if (folder.Ok()) {
        report = WritePreview(texts, editorPage->View().Model().Composed(), settings, folder.path,
                              settings.options.hidpi ? editorPage->ComposedAt2x() : QImage(), design.TemplatePath());
    } else {
        report.files.append(folder);
    }
    if (report.Ok()) {
        previewPage->Navigate(report.previewPage);
    } else {
        // A page beside an older image or style sheet, or an older page, would pass for this
        // preview: none is shown, and the user learns which file failed and why.
        const QString failures = FailureList(QStringLiteral("The preview could not be written:"), report);
        previewPage->ShowNoPreview(failures);
        pickers.ShowMessage(this, windowTitle(), failures, Pickers::MessageIcon::Warning);
    }
}

void WizardDialog::GoToStep(int n) {
    // The tab of the step shown leads nowhere: a step that is not left has nothing to check (a
    // broken template would be named though nothing moved) and nothing to bring up to date.
    const int to = std::clamp(n, 1, kStepCount);
    if (to == step || !LeaveStep()) {
        return;
    }
    const int from = std::exchange(step, to);
    ShowStep();
    // Reached from another step than the options, the preview would show the banner as it was when
    // the options were last left, before any change made on the way.
    if (step == 4 && from != 3) {
        ShowPreview();
    }
}

void WizardDialog::OnNext() {
    if (!LeaveStep()) {
        return;
    }
    step = std::min(step + 1, kStepCount);
    ShowStep();
}

void WizardDialog::OnBack() {
    if (step <= 1) {
        return;
    }
    --step;
    ShowStep();
    if (step == 4) {
        ShowPreview();
    }
}

Design WizardDialog::GatherDesign() {
    Design design;
    design.SetTemplatePath(templatesPage->GetSelectedTemplatePath());
    editorPage->StoreDesign(design);
    optionsPage->StoreDesign(design);
    design.SetTarget(outputPage->Target());
    return design;
}

void WizardDialog::ApplyDesign(const Design& design) {
    const QString named = design.TemplatePath();
    QString path = named.isEmpty() ? catalog.PathAt(0) : named;
    TemplateImage loaded = LoadTemplateImage(path);
    QString failures;
    if (!named.isEmpty() && !loaded.status.Ok()) {
        failures = QStringLiteral("\n\n%1: %2").arg(named, loaded.status.error);
        path = catalog.PathAt(0);
        loaded = LoadTemplateImage(path);
    }
    // The first template may fail too, and the banner would be bare text; the step where a template
    // is chosen refuses such a one, and is where the user goes.
    const bool firstFails = !path.isEmpty() && !loaded.status.Ok();
    if (firstFails && path != named) {
        failures += QStringLiteral("\n\n%1: %2").arg(path, loaded.status.error);
    }
    if (!failures.isEmpty()) {
        const QString what = named.isEmpty() ? QStringLiteral("The design names no template, and the first template "
                                                              "cannot be used either; choose another one.")
                             : firstFails    ? QStringLiteral("The design's template cannot be used, nor can the first "
                                                                 "template; choose another one.")
                             : path.isEmpty()
                                 ? QStringLiteral("The design's template cannot be used, and there is no other.")
                                 : QStringLiteral("The design's template cannot be used, so the first template is "
                                                  "used instead.");
        Tell(what + failures, Pickers::MessageIcon::Warning);
    }
    templatesPage->SelectTemplate(path);
    editorPage->ApplyDesign(design, loaded.image, path);
    optionsPage->ApplyDesign(design);
    outputPage->SetTarget(design.Target());
    if (firstFails && step != 1) {
        step = 1;
        ShowStep();
    } else if (step == 4) {
        ShowPreview();
    }
}

void WizardDialog::OnOpenDesign() {
    const std::optional<QString> path = pickers.PickOpenFile(this, kDesignFilter, kDesignSuffix);
    if (!path || path->isEmpty() || !Usable(*path)) {
        return;
    }
    const DesignRead read = ReadDesign(*path);
    if (!read.status.Ok()) {
        Tell(QStringLiteral("The design could not be opened; nothing was changed.\n\n%1: %2")
                 .arg(*path, read.status.error),
             Pickers::MessageIcon::Warning);
        return;
    }
    if (!ChangesMayGo(QStringLiteral("Open the design? The changes made since the last run, save or open are not "
                                     "kept."),
                      QStringLiteral("Open"))) {
        return;
    }
    ApplyDesign(read.design);
    // The custom code of a design kept with its site is in the pages its runs reached, as a kept
    // run's is: a run with changed code replaces it there, on this machine or another. Turned off
    // in the design, it may have been on for those runs.
    if (!read.design.customCode.isEmpty()) {
        openedDesigns.removeAll(read.design);  // opened again
        openedDesigns.append(read.design);
    }
    designAsKept = DesignJson(GatherDesign());
}

void WizardDialog::OnSaveDesign() {
    // Saved, the design would hold the size from before the slip, or a file URL as a folder of its
    // own, read at the next opening as one inside the design's folder.
    QString problem = editorPage->SizeProblem();
    if (problem.isEmpty()) {
        problem = outputPage->FieldProblem();
    }
    if (!problem.isEmpty()) {
        pickers.ShowMessage(this, windowTitle(), problem, Pickers::MessageIcon::Warning);
        return;
    }
    const std::optional<QString> path = pickers.PickSaveFile(this, kDesignFilter, kDesignSuffix);
    if (!path || path->isEmpty() || !Usable(*path)) {
        return;
    }
    // The file dialog's "replace it?" is asked of any file; a page or a note named by mistake stays whole.
    const Design design = GatherDesign();
    const FileResult check = CheckWriteOver(*path, Writes::Design);
    const FileResult saved = check.Ok() ? WriteDesign(design, *path) : check;
    if (saved.Ok()) {
        designAsKept = DesignJson(design);
    } else {
        Tell(QStringLiteral("The design could not be saved.\n\n%1: %2").arg(saved.path, saved.error),
             Pickers::MessageIcon::Warning);
    }
}

void WizardDialog::RestoreLastDesign() {
    if (lastDesign.isEmpty()) {
        return;
    }
    if (const std::optional<Design> kept = ReadKeptDesign(QStringLiteral("and the wizard starts from the defaults"))) {
        ApplyDesign(*kept);
        NoteCustomCodeRun(*kept);
    }
}

std::optional<Design> WizardDialog::ReadKeptDesign(const QString& outcome) {
    const DesignRead read = ReadDesign(lastDesign);
    if (read.status.Ok()) {
        return read.design;
    }
    if (read.missing) {
        return std::nullopt;
    }
    // Where its folder cannot be looked at (another user's home after su, a file on the way), no
    // file is known to be there, and none can be kept there either.
    if (!SomethingAt(lastDesign)) {
        keepLastDesign = false;
        Tell(QStringLiteral("The settings of the last run cannot be looked at, %1; the settings of this session's "
                            "runs are not kept for the next start.\n\n%2: %3")
                 .arg(outcome, lastDesign, read.status.error),
             Pickers::MessageIcon::Warning);
        return std::nullopt;
    }
    // Kept under a name of its own for the user to look into; the next run's settings take its place.
    int error = 0;
    const QString aside = MoveToNewName(lastDesign,
                                        lastDesign + QStringLiteral(".bad-") +
                                            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
                                        error);
    // Gone meanwhile (another window of the wizard moved it aside first), it is no file to keep safe.
    keepLastDesign = error == 0 || error == ENOENT;
    // The path on a line of its own: a long one is cut in the box, never the sentence.
    const QString what =
        error == 0 ? QStringLiteral("The settings of the last run could not be read, %1. The file was moved to:\n%2")
                         .arg(outcome, aside)
        : error == ENOENT
            ? QStringLiteral("The settings of the last run could not be read, %1; the file is no longer there.")
                  .arg(outcome)
            : QStringLiteral("The settings of the last run could not be read, nor the file moved aside (%1): it is "
                             "left as it is, %2; the settings of this session's runs are not kept for the next start.")
                  .arg(ErrorText(error), outcome);
    Tell(what + QStringLiteral("\n\n%1: %2").arg(lastDesign, read.status.error), Pickers::MessageIcon::Warning);
    return std::nullopt;
}

void WizardDialog::NoteCustomCodeRun(const Design& design) {
    // Most recent first: a page the latest run did not reach may still carry an older run's.
    if (design.customCodeEnabled && !design.customCode.isEmpty()) {
        const OutputTarget target = design.Target();
        codeRuns.removeIf(
            [&](const Design& run) { return run.customCode == design.customCode && SamePages(run.Target(), target); });
        codeRuns.prepend(design);
    }
}

bool WizardDialog::KeepDesign(const Design& design) {
    if (lastDesign.isEmpty() || !keepLastDesign) {
        return false;
    }
    const FileResult folder = MakeFolders(QFileInfo(lastDesign).absolutePath());
    const FileResult kept = folder.Ok() ? WriteDesign(design, lastDesign) : folder;
    if (!kept.Ok()) {
        Tell(QStringLiteral("The settings could not be kept for the next start.\n\n%1: %2").arg(kept.path, kept.error),
             Pickers::MessageIcon::Warning);
    }
    return kept.Ok();
}

void WizardDialog::Tell(const QString& text, Pickers::MessageIcon icon) {
    if (isVisible()) {
        pickers.ShowMessage(this, windowTitle(), text, icon);
    } else {
        QTimer::singleShot(0, this, [this, text, icon] { pickers.ShowMessage(this, windowTitle(), text, icon); });
    }
}

bool WizardDialog::Usable(const QString& path) {
    const FileResult check = CheckRepresentable(path);
    if (!check.Ok()) {
        Tell(QStringLiteral("\"%1\" cannot be used: %2.").arg(path, check.error), Pickers::MessageIcon::Warning);
    }
    return check.Ok();
}

QString WizardDialog::DesignProblem(const Design& design) {
    // The size field's slip was left unapplied: `design` holds the size from before.
    QString problem = editorPage->SizeProblem();
    // A page holding a zero byte is refused by every later run, so such code never goes in. The next
    // start and the command line learn the custom code a run put into pages from the design kept of
    // it; code in a design no file can hold (a zero character pasted into the title, say) would stay
    // in the pages for good. Only code that goes in counts: a run that takes the advert out, or
    // leaves its code out, keeps nothing of it in a page, and settings unkept for another reason are
    // told of after the run.
    const bool codeGoesIn =
        design.customCodeEnabled && design.mode != OutputMode::Remove && !design.customCode.isEmpty();
    if (problem.isEmpty() && codeGoesIn && design.customCode.contains('\0')) {
        problem = QStringLiteral("The custom HTML code holds a zero character, which a page cannot carry. Remove it, "
                                 "then try again.");
    } else if (const QString code = Design::CustomCodeProblem(design.customCode);
               problem.isEmpty() && codeGoesIn && !code.isEmpty()) {
        problem = QStringLiteral("The custom HTML code %1, and so cannot be kept in a design, which a later run "
                                 "needs to take it out of the pages again.\n\nNothing was written; shorten it, then "
                                 "try again.")
                      .arg(code);
    } else if (problem.isEmpty() && codeGoesIn) {
        if (const Result<QByteArray> kept = DesignFileText(design); !kept.Ok()) {
            problem = QStringLiteral("The settings cannot be kept in a design (%1), which a later run needs to take "
                                     "the custom HTML code out of the pages again.\n\nNothing was written; change "
                                     "them, then try again.")
                          .arg(kept.error);
        }
    }
    if (!problem.isEmpty()) {
        pickers.ShowMessage(this, windowTitle(), problem, Pickers::MessageIcon::Warning);
    }
    return problem;
}

bool WizardDialog::BoxesAccepted() {
    const std::optional<Banner::Box> box = editorPage->View().Model().FirstBox();
    if (!box) {
        return true;
    }
    // A letter no font has is named by its code point alone: this box is drawn with the same fonts,
    // where it would be a box too, and would take the quote and blanks around it with it.
    const QString boxes =
        box->letter.isEmpty()
            ? QStringLiteral("No fonts are installed here, so every letter of the banner would be drawn as a box.")
        : box->colour ? QStringLiteral("Line %1 holds \"%2\" (%3), a colour emoji, which cannot be drawn along the "
                                       "diagonal: the banner would show it upright or not at all.")
                            .arg(box->line + 1)
                            .arg(box->letter, box->CodePoint())
                      : QStringLiteral("Line %1 holds the letter %2, which no installed font has: it would be drawn "
                                       "as a box in the banner.")
                            .arg(box->line + 1)
                            .arg(box->CodePoint());
    return pickers.Confirm(this, windowTitle(), boxes + QStringLiteral("\n\nGenerate all the same?"),
                           QStringLiteral("Generate"));
}

namespace {

// A page by the file it is (FileIdentity; a run writes a page by the letters its folder holds it
// by, which a design may not list it by), or else by its real path, or where it has none yet, by its
// whole path.
QByteArray PageFile(const QString& page) {
    if (const QByteArray file = FileIdentity(page); !file.isEmpty()) {
        return file;
    }
    const QFileInfo info(page);
    const QByteArray real = info.exists() ? RealPathBytes(page) : QByteArray();
    return real.isEmpty() ? QFile::encodeName(info.absoluteFilePath()) : real;
}

// The pages a run's target names.
QStringList TargetPages(const OutputTarget& target) {
    return target.createNew ? QStringList{JoinPath(target.outputFolder, target.fileName)} : target.pages;
}

// The files a run's target reaches: two runs' targets share a page where these meet.
QSet<QByteArray> PageFiles(const OutputTarget& target) {
    QSet<QByteArray> files;
    for (const QString& page : TargetPages(target)) {
        files.insert(PageFile(page));
    }
    return files;
}

// The runs kept in `folder` that can be read, by file, the oldest first: only files of the names
// KeepRuns gives, so that no other file there is ever taken for one and removed. One that cannot be
// read (a newer program's, a slip of a hand edit) is left as it is.
QList<std::pair<QString, Design>> KeptRuns(const QString& folder) {
    QList<std::pair<QString, Design>> runs;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("run-*.vornetad")}, QDir::Files, QDir::Name)) {
        const DesignRead read = ReadDesign(dir.filePath(name));
        if (read.status.Ok()) {
            runs.append({dir.filePath(name), read.design});
        }
    }
    return runs;
}

// A run's design with the pages it wrote alone, which are those that hold its code: a page it
// never wrote (write-protected, or after a stop) would have a later run take the user's own HTML
// out of it, and keep a kept run for good.
Design WithPagesWritten(const Design& design, const QSet<QByteArray>& written) {
    Design run = design;
    run.pages.removeIf([&](const QString& page) { return !written.contains(PageFile(page)); });
    return run;
}

QSet<QByteArray> FilesWritten(const RunReport& report) {
    QSet<QByteArray> written;
    for (const QString& file : report.Written()) {
        written.insert(PageFile(file));
    }
    return written;
}

}  // namespace

QString WizardDialog::RunsFolder() const {
    return lastDesign.isEmpty() || !keepLastDesign ? QString()
                                                   : QFileInfo(lastDesign).absolutePath() + QStringLiteral("/runs");
}

namespace {

// A link there may lead into a folder of the user's own designs, which is no place to remove files
// in: runs are kept in a folder of their own alone.
bool RunsFolderIsLink(const QString& folder) {
    return QFileInfo(folder).isSymLink();
}

}  // namespace

QStringList WizardDialog::NoteKeptRuns() {
    QStringList noted;
    if (const QString folder = RunsFolder(); !folder.isEmpty() && !RunsFolderIsLink(folder)) {
        for (const auto& [path, run] : KeptRuns(folder)) {
            NoteCustomCodeRun(run);
            noted.append(path);
        }
    }
    return noted;
}

FileResult WizardDialog::KeepRuns(const std::optional<Design>& run, const QSet<QByteArray>& written,
                                  const QStringList& noted) const {
    const QString folder = RunsFolder();
    if (folder.isEmpty() || written.isEmpty()) {
        return FileResult::Success(folder);
    }
    if (RunsFolderIsLink(folder)) {
        return run ? FileResult::Failure(folder, QStringLiteral("it is a link, and runs are kept in a folder of "
                                                                "their own only, never where a link leads"))
                   : FileResult::Success(folder);
    }
    // Kept before any other goes, so that a failure loses no run's code.
    if (run) {
        // Named by the time, so that the oldest is read first, and a number no other window picks.
        const QString name =
            QStringLiteral("%1/run-%2-%3.vornetad")
                .arg(folder, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const FileResult made = MakeFolders(folder);
        if (const FileResult kept = made.Ok() ? WriteDesign(*run, name) : made; !kept.Ok()) {
            return kept;
        }
    }
    // Only those this run knew of: one that another window kept meanwhile had its code left in.
    for (const auto& [path, kept] : KeptRuns(folder)) {
        if (!noted.contains(path)) {
            continue;
        }
        // A page that is gone holds no code, and would keep the run for good.
        const QStringList pages = TargetPages(kept.Target());
        const bool done = std::all_of(pages.begin(), pages.end(), [&](const QString& page) {
            return written.contains(PageFile(page)) || !QFileInfo(page).exists();
        });
        if (done || (run && kept.customCode == run->customCode && SamePages(kept.Target(), run->Target()))) {
            QFile::remove(path);
        }
    }
    return FileResult::Success(folder);
}

void WizardDialog::OnGenerate() {
    if (running || !outputPage->ValidateOutput()) {
        return;
    }
    const Design design = GatherDesign();
    if (!DesignProblem(design).isEmpty()) {
        return;
    }
    const OutputTarget now = design.Target();
    // Another window of the wizard, or another session, may have kept a run since this one started
    // or last ran: its custom code is in the pages that run reached. One that cannot be read (a newer
    // program's, a slip of a hand edit) is set aside as at the start, never written over.
    QStringList keptRuns;
    if (!lastDesign.isEmpty() && keepLastDesign) {
        if (const std::optional<Design> kept = ReadKeptDesign(
                QStringLiteral("so custom HTML its run put into pages cannot be told from the pages' own"))) {
            NoteCustomCodeRun(*kept);
        }
        keptRuns = NoteKeptRuns();
    }
    // An earlier code is taken out only of the pages its run, or a design opened, reached: after a
    // block elsewhere, the same HTML is the page's own, and nothing after a block is taken out on a
    // guess. A run again over the same list, the most common, reaches every page of this one, and
    // needs no look at each; a code taken from every page already is not looked for again.
    AdSettings settings = design.Advert();
    // Looked up once, and only where an earlier run's code is to be matched against it: a long list
    // of pages is a look at each on the window's thread.
    std::optional<QSet<QByteArray>> runFiles;
    QHash<QByteArray, QByteArrayList> codesByPage;
    const auto takeOut = [&](const Design& earlier) {
        const QByteArray& code = earlier.customCode;
        if (code.isEmpty() || settings.earlierCustomCodes.contains(code)) {
            return;
        }
        const OutputTarget then = earlier.Target();
        if (SamePages(then, now)) {
            settings.earlierCustomCodes.append(code);
            return;
        }
        if (!runFiles) {
            runFiles = PageFiles(now);
        }
        for (const QByteArray& file : PageFiles(then)) {
            if (runFiles->contains(file) && !codesByPage[file].contains(code)) {
                codesByPage[file].append(code);
            }
        }
    };
    for (const Design& earlier : std::as_const(codeRuns)) {
        takeOut(earlier);
    }
    for (const Design& opened : std::as_const(openedDesigns)) {
        takeOut(opened);
    }
    if (!codesByPage.isEmpty()) {
        settings.earlierCustomCodesOf = [codesByPage](const QString& page) {
            return codesByPage.value(PageFile(page));
        };
    }
    OutputTarget target = now;
    target.templatePath = design.TemplatePath();
    // The editor shows the boxes; the run would hand them out as the banner.
    if (!target.removeAdvert && !BoxesAccepted()) {
        return;
    }
    // A page added twice (by itself, then with its folder) is written once.
    const PagesOnce once = EachPageOnce(target.pages);
    target.pages = once.pages;
    const QStringList pages =
        target.createNew ? QStringList{JoinPath(target.outputFolder, target.fileName)} : target.pages;
    // The run has its own copies, since it goes on while the window draws.
    const QImage banner = editorPage->View().Model().Composed();
    const QImage banner2x = !target.removeAdvert && (settings.options.hidpi || KeepsImageTwin(target))
                                ? editorPage->ComposedAt2x()
                                : QImage();
    const QByteArray customCode = settings.customCodeEnabled ? settings.customCode : QByteArray();
    // The progress dialog keeps input from the window; this keeps out what may come another way
    // (a close from the desktop, a queued click) while the run goes on.
    running = true;
    FileResult runKept;
    std::optional<Design> ran;  // with the pages the run wrote, where its custom code went in
    RunReport report = RunWithProgress(this, pages, [&](const FileDone& done) {
        RunReport report = target.removeAdvert ? RemoveAdvert(target.pages, customCode, settings.earlierCustomCodes,
                                                              done, false, settings.earlierCustomCodesOf)
                                               : Generate(texts, banner, target, settings, banner2x, done);
        // Here, before a signal that stopped the run ends the wizard: the pages it reached hold its
        // code all the same.
        const QSet<QByteArray> written = FilesWritten(report);
        if (!target.removeAdvert && !customCode.isEmpty() && !written.isEmpty()) {
            ran = WithPagesWritten(design, written);
        }
        runKept = KeepRuns(ran, written, keptRuns);
        return report;
    });
    running = false;
    report.notes += NamesLeftOutNotes(report, once.leftOut);
    // A run that stopped or failed part way has put its custom code into the pages it wrote all the same.
    if (ran) {
        NoteCustomCodeRun(*ran);
    }
    if (!runKept.Ok()) {
        Tell(QStringLiteral("The custom HTML code of this run could not be kept for the next start, which may then "
                            "leave it in the pages when the code is changed.\n\n%1: %2")
                 .arg(runKept.path, runKept.error),
             Pickers::MessageIcon::Warning);
    }
    // Kept before the end is shown, which a logout may cut short: a next start that did not know the
    // run's custom code would leave it in the pages when it takes the advert out.
    if (!report.interrupted && report.Ok() && KeepDesign(design)) {
        designAsKept = DesignJson(design);
    }
    outputPage->ShowCspSources(target.removeAdvert || report.Written().isEmpty() ? QByteArrayList()
                                                                                 : report.cspSources);
    if (report.interrupted) {
        const QString stopped = QStringLiteral("Stopped before every page was done: each page is either done or "
                                               "as it was. Generate again to do them all.");
        const QString failed = stopped + QStringLiteral("\n\nSome files could not be written:");
        pickers.ShowMessage(this, windowTitle(),
                            WithNotes(report.Ok() ? stopped : FailureList(failed, report), report.notes, !report.Ok()),
                            Pickers::MessageIcon::Warning);
    } else if (report.Ok()) {
        // Files looked at and left as they were on purpose (a page without an advert, the images
        // other pages may use) are named, so the user knows what the run did not change; pages
        // whose <base href> sends browsers elsewhere for the advert's files; and a companion that
        // was not used, so that a blurred 2x image is explained.
        QStringList notes = report.notes;
        if (const QString note = editorPage->CompanionNote(); !banner2x.isNull() && !note.isEmpty()) {
            notes.prepend(note);
        }
        pickers.ShowMessage(this, windowTitle(), WithNotes(QStringLiteral("Done!"), notes, false),
                            Pickers::MessageIcon::Information);
    } else {
        pickers.ShowMessage(
            this, windowTitle(),
            WithNotes(FailureList(QStringLiteral("Some files could not be written:"), report), report.notes, true),
            Pickers::MessageIcon::Warning);
    }
    // After a failure or a stop the user mends what the message named, or simply wants the rest
    // done, and generates again from here; only a run that did it all starts the next design.
    if (!report.interrupted && report.Ok()) {
        step = 1;
        ShowStep();
    }
}

void WizardDialog::reject() {
    if (running) {
        return;
    }
    if (!ChangesMayGo(QStringLiteral("Close the wizard? The changes made since the last run, save or open are not "
                                     "kept."),
                      QStringLiteral("Close"))) {
        return;
    }
    QDialog::reject();
}

bool WizardDialog::ChangesMayGo(const QString& question, const QString& button) {
    // What the user typed lives only in the window until a run or a save keeps it. A size typed and
    // not applied is such a change; gathering the design would apply it, though the user may stay.
    const bool kept = !editorPage->SizeTyped() && DesignJson(GatherDesign()) == designAsKept;
    return kept || pickers.Confirm(this, windowTitle(), question, button);
}

void WizardDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (canvas == nullptr) {
        FitScreen();
    }
}

void WizardDialog::FitScreen() {
    const QScreen* shown = screen();
    if (shown == nullptr) {
        return;
    }
    // The frame's title bar takes its part of the screen too.
    const QSize room =
        shown->availableGeometry().size() - QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
    const QSize whole = size();
    if (whole.width() <= room.width() && whole.height() <= room.height()) {
        return;
    }
    auto* area = new QScrollArea(this);
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus);
    canvas = new QWidget;
    canvas->setFixedSize(whole);
    area->setWidget(canvas);
    canvas->installEventFilter(this);
    // Moved within the one window, the widgets keep their places and their order for the keyboard.
    const QObjectList owned = children();
    for (QObject* child : owned) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget == nullptr || widget == area || widget->isWindow()) {
            continue;
        }
        const bool hidden = widget->isHidden();
        widget->setParent(canvas);
        widget->setHidden(hidden);
    }
    // A bar to scroll down with takes its width beside the steps, where the screen has it.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    setFixedSize(QSize(whole.width() + (whole.height() > room.height() ? bar : 0),
                       whole.height() + (whole.width() > room.width() ? bar : 0))
                     .boundedTo(room));
    area->setGeometry(rect());
    area->show();
    // Tab brings what it reaches into sight; so must the wizard's own moves of the focus (to a field
    // to fill in, say).
    connect(qApp, &QApplication::focusChanged, area, [this, area](QWidget*, QWidget* now) {
        if (now != nullptr && canvas->isAncestorOf(now)) {
            area->ensureWidgetVisible(now);
        }
    });
}

bool WizardDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == canvas && event->type() == QEvent::Paint) {
        QPainter painter(canvas);
        PaintBackground(painter, canvas->devicePixelRatioF());
        return true;
    }
    if (watched == canvas && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        return press->button() == Qt::LeftButton && PressTab(press->position().toPoint());
    }
    return QDialog::eventFilter(watched, event);
}

void WizardDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintBackground(painter, devicePixelRatioF());
}

void WizardDialog::PaintBackground(QPainter& painter, qreal pixelRatio) const {
    painter.fillRect(QRect(QPoint(0, 0), canvas != nullptr ? canvas->size() : size()), kBackground);
    const QRect panel = kPlaceholder.adjusted(0, -kPanelGrowth, 0, kPanelGrowth);
    painter.fillRect(panel, Qt::white);
    if (cornerImage.IsNull()) {
        return;
    }
    // The corner image is a disc; its four quarters round the panel (the middle row and column
    // are not used). Source rectangles count the image's own pixels, twice as many in a doubled one.
    const QPixmap& disc = cornerImage.For(pixelRatio);
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
    if (event->button() == Qt::LeftButton && PressTab(event->position().toPoint())) {
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

bool WizardDialog::PressTab(const QPoint& point) {
    for (int n = 1; n <= kStepCount; ++n) {
        // Hidden or not: each other-step tab lies where the step's current tab lies.
        if (OtherTab(n).geometry().contains(point)) {
            GoToStep(n);
            return true;
        }
    }
    return false;
}

void WizardDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        PressFocusedButton(*event);
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
