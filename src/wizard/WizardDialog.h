#pragma once

#include "controls/Artwork.h"
#include "controls/Pickers.h"
#include "output/AdSettings.h"
#include "output/CodeTexts.h"
#include "templates/TemplateCatalog.h"

#include <QByteArray>
#include <QDialog>
#include <QSet>

#include <array>
#include <memory>
#include <optional>

struct Design;
class EditorPage;
class OptionsPage;
class OutputPage;
class PreviewPage;
class SkinButton;
class TemplatesPage;

// Where the wizard keeps the last design: "last.vornetad" in the user's configuration folder; empty
// when the user has none.
QString LastDesignFile();

// The program's only window: five steps shown one at a time on a white panel under a row of
// tabs, with back, next and generate buttons. Leaving the templates step (by next or a tab) loads
// the chosen template into the banner; leaving the options step the same way writes the preview
// files and shows them (or, when one cannot be written, no preview and a message naming the file
// and the reason); so does reaching the preview step from any other step, by a tab or by back, so
// that it never shows an older banner. Back never loads the template; the tab of the step shown
// does nothing. Enter does nothing; Esc (outside the pages) and the close box end the dialog,
// asking first when settings changed. Owns the code texts, the template catalog, the pages and the
// buttons; `pickers` must outlive the dialog.
//
// The settings of every generate run that wrote all its files are kept as a design in
// `lastDesignFile` and restored from it at the next start; a file there that cannot be read is
// renamed aside (never deleted), and the wizard starts from the defaults and says so once. Empty:
// nothing is kept or restored. "Open design…" and "Save design…" read and write design files.
class WizardDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WizardDialog)

public:
    static constexpr int kStepCount = 5;

    // The catalog lists the templates of `templates`: the shipped ones, then the user's own, where
    // the templates step also puts those the user makes or adds.
    explicit WizardDialog(Pickers& pickers, const TemplateSources& templates = DefaultTemplateSources(),
                          const QString& lastDesignFile = LastDesignFile(), QWidget* parent = nullptr);
    ~WizardDialog() override;

    // Makes buttons, tabs and pages match `step`.
    void ShowStep();
    // Leaves the step shown (templates: load the template; options: preview); false when the step
    // must stay shown, after telling the user why.
    bool LeaveStep();
    // Leaves the step shown for step `n`, as a click on its tab does; nothing for the step shown.
    void GoToStep(int n);
    void OnNext();
    void OnBack();
    // Checks the output page, writes every file, reports the outcome and returns to step 1.
    void OnGenerate();
    // Every setting as the pages show them now (a size typed in the editor is applied first).
    Design GatherDesign();
    // Shows `design` on every page and composes its banner. A template that cannot be used is
    // replaced by the catalog's first, with a message naming it and why.
    void ApplyDesign(const Design& design);
    void OnOpenDesign();
    // Writes the design to the file the user picks, unless that file is of another kind (a page, a
    // note; see CheckWriteOver): it is then left as it is, and a message names it and why.
    void OnSaveDesign();
    // Why `design` cannot go into pages, once the user has been told, or empty when it can: its
    // custom code holds a zero byte, or no design file can hold it (DesignFileText), so that it could
    // not be kept for a later run to take its custom code out of the pages again.
    QString DesignProblem(const Design& design);
    // Whether the banner may go out: its text draws no boxes, or the user says it may all the same.
    bool BoxesAccepted();

    // Where the preview files go; empty (the default) is the program's private temporary folder.
    void SetPreviewFolder(const QString& folder) { previewFolder = folder; }

    // The OK action never closes the wizard.
    void accept() override {}
    // Esc and the close box: with settings changed since the wizard started, or since the last
    // run, save or open, the user is asked first; the answer Cancel keeps the wizard open.
    void reject() override;

    int Step() const { return step; }
    TemplatesPage& Templates() { return *templatesPage; }
    EditorPage& Editor() { return *editorPage; }
    OptionsPage& Options() { return *optionsPage; }
    PreviewPage& Preview() { return *previewPage; }
    OutputPage& Output() { return *outputPage; }
    SkinButton& BackButton() { return *backButton; }
    SkinButton& NextButton() { return *nextButton; }
    SkinButton& GenerateButton() { return *generateButton; }
    SkinButton& OpenDesignButton() { return *openDesignButton; }
    SkinButton& SaveDesignButton() { return *saveDesignButton; }
    // Tab images of step n (1 to 5): as the current step and as another step.
    QWidget& CurrentTab(int n) { return *currentTabs.at(size_t(n - 1)); }
    QWidget& OtherTab(int n) { return *otherTabs.at(size_t(n - 1)); }
    const TemplateCatalog& Catalog() const { return catalog; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The background and the white panel, in the window's own coordinates, on a device of
    // `pixelRatio`.
    void PaintBackground(QPainter& painter, qreal pixelRatio) const;
    // Goes to the step whose tab lies at `point`; false where none does.
    bool PressTab(const QPoint& point);
    // Where the window would reach past the screen's edge (a large scale on a small screen), its
    // Back, Next and Generate out of sight and reach, it is made as small as the screen and what it
    // shows is put in a scroll area (`canvas`), which follows the keyboard's focus.
    void FitScreen();
    QWidget* PageOfStep(int n) const;
    // Writes the preview files and shows them, or says which could not be written.
    void ShowPreview();
    void RestoreLastDesign();
    // The kept design, or nothing where there is none or it cannot be read: such a file is moved
    // aside, and the user told so and what became of it (`outcome`).
    std::optional<Design> ReadKeptDesign(const QString& outcome);
    // Whether `design` is now kept for the next start.
    bool KeepDesign(const Design& design);
    // Notes the custom code of a run that wrote pages with `design` (see codeRuns).
    void NoteCustomCodeRun(const Design& design);
    // Notes the runs kept in the runs folder beside the kept design, as above, and gives their files;
    // read before each run, as the kept design is. The kept design names only the last run that did
    // it all; these are every run whose custom code may still follow blocks in some of its pages,
    // however long ago, and whether it did it all or not.
    QStringList NoteKeptRuns();
    // Where they are kept; empty where the kept design is not kept.
    QString RunsFolder() const;
    // After a run that wrote `written` (files as PageFile names them): keeps `run`, the run's design
    // with the pages it wrote, where its custom code went into them; then of the kept runs `noted`
    // before it, those whose pages it wrote every one of, and so took their code out of, go, and so
    // does one of the run's code and pages. Safe on the run's own thread. Why the run could not be
    // kept, where it could not.
    FileResult KeepRuns(const std::optional<Design>& run, const QSet<QByteArray>& written,
                        const QStringList& noted) const;
    // A message box; before the window is shown it waits until it is, so that it appears over it.
    void Tell(const QString& text, Pickers::MessageIcon icon);
    // Whether `path`, from a file dialog, names the file it seems to; if not, says so.
    bool Usable(const QString& path);
    // Whether the settings in the window may be replaced or dropped: yes where they are kept (by a
    // run, a save or an open), else as the user answers `question`.
    bool ChangesMayGo(const QString& question, const QString& button);

    Pickers& pickers;
    const CodeTexts texts;
    TemplateCatalog catalog;
    // Declared after the catalog so the templates page, which reads it, goes first.
    std::unique_ptr<TemplatesPage> templatesPage;
    std::unique_ptr<EditorPage> editorPage;
    std::unique_ptr<OptionsPage> optionsPage;
    std::unique_ptr<PreviewPage> previewPage;
    std::unique_ptr<OutputPage> outputPage;
    int step = 0;
    SkinButton* nextButton = nullptr;
    SkinButton* generateButton = nullptr;
    SkinButton* backButton = nullptr;
    SkinButton* openDesignButton = nullptr;
    SkinButton* saveDesignButton = nullptr;
    QWidget* canvas = nullptr;  // what the window shows, where it is in a scroll area (FitScreen)
    std::array<QWidget*, kStepCount> currentTabs{};
    std::array<QWidget*, kStepCount> otherTabs{};
    Artwork cornerImage;
    QString previewFolder;
    QString lastDesign;
    // Off when a last design that could not be read could not be moved aside either: it is not
    // replaced then.
    bool keepLastDesign = true;
    // The runs that put custom code after their blocks, most recent first: the kept design's, then
    // this session's runs', whether they wrote every page or not. A run takes the code of each that
    // reached one of its pages out of them too, so that custom code changed since is not left
    // behind; after a block on another site the same HTML is the page's own.
    QList<Design> codeRuns;
    // The designs opened in this session that hold custom code: theirs is taken out as an earlier
    // run's only by a run that reaches a page the design lists, as the kept design's is, since after
    // a block on another site the same HTML is the page's own.
    QList<Design> openedDesigns;
    // The settings as last started from, opened, saved or run (as a design file holds them).
    QByteArray designAsKept;
    // A generate or remove run is going on (RunWithProgress): no second one, and no closing.
    bool running = false;
};
