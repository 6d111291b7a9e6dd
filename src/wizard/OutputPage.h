#pragma once

#include "output/OutputRuns.h"
#include "wizard/WizardPage.h"

#include <QByteArrayList>

#include <optional>

class GradientListBox;
class Pickers;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// Step 5: a new file (folder and name), a list of pages to modify, or the same list of pages to take
// the advert out of; below them, after a run, what a Content-Security-Policy must allow for its block.
//
// The modes share the page's space; switching shows one group and hides the other but keeps both
// groups' contents. The page checks only that the current mode has something to work on, and a
// new file's name and folder (see ValidateOutput): whether folders and pages exist, or a page is
// listed twice, is the generate run's business.
class OutputPage final : public WizardPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OutputPage)

public:
    explicit OutputPage(Pickers& pickers, QWidget* parent = nullptr);

    // True when generating may go ahead; otherwise moves the focus to the field to fix and, where
    // the field is not merely empty, says why: a file URL whose name is not valid UTF-8 text, a
    // relative folder without a current folder to take it from, a file name holding a folder, the
    // name of the advert's own image or style sheet. A file to create or modify that is not a web
    // page by its name goes ahead only once the user confirms it. Stores the controls into the
    // fields first, which Target() then reports.
    bool ValidateOutput();
    // Where a new file is to be made: why the folder's or the file's field names no path (a file URL
    // whose name is not valid UTF-8 text), and that field in `where`; empty otherwise.
    QString FieldProblem(QLineEdit** where = nullptr) const;
    // The mode, the folder and file name, and the listed pages in list order, as the page shows them.
    // The folder and the file name are taken as FieldPath takes a path (a line break at an end left
    // out, a file URL as its path, or as given where it names no path), and a folder typed relative
    // (or from "~/") is made a whole path; the fields then show what is taken. A file or folder
    // dropped on either field gives its path.
    OutputTarget Target();
    // Shows `target`: its mode, folder and file name, and its pages as the list.
    void SetTarget(const OutputTarget& target);
    // Shows what a Content-Security-Policy must allow for the block a run just wrote (one line per
    // directive, see BuiltCode::cspSources) with a button that copies it; nothing for none.
    void ShowCspSources(const QByteArrayList& sources);

protected:
    void changeEvent(QEvent* event) override;

private:
    // Whether the advert may go into `files`: at once when each is a web page by its name, or
    // when the user confirms the others; never (said why, unasked) when one bears the name of the
    // advert's own image or style sheet, which the run writes there.
    bool ConfirmNonPages(const QStringList& files);
    void StoreControls();
    void LoadControls();
    void Layout();
    void ShowMode();

    void OnBrowseOutputFolder();
    void AddPage(const QString& path);
    void OnAddFile();
    void OnAddFolder();
    void OnRemoveSelected();
    void OnClearAll();
    // A folder chosen by the user, always ending in "/"; nothing when the browser was cancelled
    // or the folder cannot be used.
    std::optional<QString> BrowseForFolder(const QString& title);
    // Whether a picked path names the file on disk it seems to; if not, says so in a message.
    bool Usable(const QString& picked);

    Pickers& pickers;
    bool createNew = true;
    QString outputFolder;
    QString fileName;

    QRadioButton* createButton = nullptr;
    QRadioButton* modifyButton = nullptr;
    QRadioButton* removeAdvertButton = nullptr;
    QLabel* folderLabel = nullptr;
    QLineEdit* folderEdit = nullptr;
    QPushButton* browseButton = nullptr;
    QLabel* fileLabel = nullptr;
    QLineEdit* fileEdit = nullptr;
    QLabel* listLabel = nullptr;
    GradientListBox* pageList = nullptr;
    QPushButton* addFileButton = nullptr;
    QPushButton* addFolderButton = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* clearButton = nullptr;
    QLabel* cspLabel = nullptr;
    QPlainTextEdit* cspSourcesView = nullptr;
    QPushButton* copyButton = nullptr;
};
