#include "wizard/OutputPage.h"

#include "controls/DialogUnits.h"
#include "controls/GradientListBox.h"
#include "controls/KeyboardFocus.h"
#include "controls/PathFields.h"
#include "controls/Pickers.h"
#include "design/Design.h"
#include "files/FileNames.h"
#include "files/ReplaceFile.h"
#include "files/SystemErrors.h"
#include "output/OutputRuns.h"
#include "wizard/PageLayout.h"

#include <QClipboard>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <initializer_list>

namespace {

QPushButton* MakeButton(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // Enter belongs to no button on a page.
    button->setAutoDefault(false);
    return button;
}

// The picker's patterns of a page by its name (Design::IsPageName): "*.html *.htm ...".
QString PageFilePatterns() {
    QStringList patterns;
    for (const QLatin1StringView extension : Design::kPageExtensions) {
        patterns.append(QStringLiteral("*.") + extension);
    }
    return patterns.join(u' ');
}

// The pages of a folder: regular files (or links to them) that are web pages by their names
// (Design::IsPageName), not descending into subfolders, sorted by name, ignoring case first (the file system lists them
// in no particular order). Names that no path can carry are counted in `unusable` instead, with one of them for the
// message. Hidden files are passed over, as the command line's walk of a site passes them over: a
// draft kept out of sight, or the companion a Mac writes beside each file on a shared disk
// ("._index.html"), which is no page.
struct FolderPages {
    FileResult status;
    QStringList names;
    qsizetype unusable = 0;
    QByteArray example;
    bool hidden = false;  // a hidden page was passed over
    // Pages that could not be looked at (a folder that may be listed but not entered, a link into
    // one), the first by name, and why that one could not.
    qsizetype unlooked = 0;
    QString unlookedExample;
    QString unlookedWhy;
};

bool TypedFromHome(const QString& folder) {
    return folder == u'~' || folder.startsWith(QLatin1String("~/"));
}

// A folder typed as "~" or "~/...", as the home folder's. Where the user has none, it stays as typed
// for ValidateOutput to refuse: Qt takes an unset home for the root, and a relative one for the
// current folder's, and the advert would be written there.
QString FromHome(const QString& folder) {
    const QString home = TypedFromHome(folder) ? UserHome() : QString();
    return home.isEmpty() ? folder : home + folder.mid(1);
}

FolderPages PagesIn(const QString& folder) {
    const FolderListing listing = ListFolder(folder);
    FolderPages pages;
    pages.status = listing.status;
    for (const FolderEntry& entry : listing.entries) {
        if (entry.isFile && Design::IsPageName(entry.name)) {
            const bool hidden = entry.name.startsWith(u'.');
            pages.hidden = pages.hidden || hidden;
            if (!hidden) {
                pages.names.append(entry.name);
            }
        } else if (entry.lookError != 0 && !entry.name.startsWith(u'.') && Design::IsPageName(entry.name)) {
            if (pages.unlooked++ == 0 || entry.name < pages.unlookedExample) {
                pages.unlookedExample = entry.name;
                pages.unlookedWhy = StatFailure(entry.lookError);
            }
        }
    }
    for (const FolderEntry& entry : listing.unrepresentable) {
        if ((entry.isFile || entry.lookError != 0) && !entry.raw.startsWith('.') &&
            Design::IsPageName(QString::fromLatin1(entry.raw))) {
            pages.example = entry.raw;
            ++pages.unusable;
        }
    }
    std::sort(pages.names.begin(), pages.names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return pages;
}

}  // namespace

OutputPage::OutputPage(Pickers& pickers, QWidget* parent)
    : WizardPage(parent)
    , pickers(pickers)
    , createButton(new QRadioButton(QStringLiteral("Create new file"), this))
    , modifyButton(new QRadioButton(QStringLiteral("Modify exist file(s)"), this))
    , removeAdvertButton(new QRadioButton(QStringLiteral("Remove the advert from file(s)"), this))
    , folderLabel(new QLabel(QStringLiteral("Output directory:"), this))
    , folderEdit(new QLineEdit(this))
    , browseButton(MakeButton(QStringLiteral("..."), QStringLiteral("browse"), this))
    , fileLabel(new QLabel(QStringLiteral("HTML file to create:"), this))
    , fileEdit(new QLineEdit(this))
    , listLabel(new QLabel(QStringLiteral("HTML files to modify:"), this))
    , pageList(new GradientListBox(this))
    , addFileButton(MakeButton(QStringLiteral("Add file"), QStringLiteral("addFile"), this))
    , addFolderButton(MakeButton(QStringLiteral("Add dir"), QStringLiteral("addDir"), this))
    , removeButton(MakeButton(QStringLiteral("Remove selected"), QStringLiteral("removeSelected"), this))
    , clearButton(MakeButton(QStringLiteral("Clear all"), QStringLiteral("clearAll"), this))
    , cspLabel(new QLabel(QStringLiteral("For a Content-Security-Policy, the block of the last run needs:"), this))
    , cspSourcesView(new QPlainTextEdit(this))
    , copyButton(MakeButton(QStringLiteral("Copy"), QStringLiteral("copyCspSources"), this)) {
    createButton->setObjectName(QStringLiteral("createNew"));
    modifyButton->setObjectName(QStringLiteral("modifyExisting"));
    removeAdvertButton->setObjectName(QStringLiteral("removeAdvert"));
    folderEdit->setObjectName(QStringLiteral("outputFolder"));
    fileEdit->setObjectName(QStringLiteral("fileName"));
    folderLabel->setBuddy(folderEdit);
    fileLabel->setBuddy(fileEdit);
    TakePathDrops(*folderEdit);
    TakePathDrops(*fileEdit);
    cspLabel->setBuddy(cspSourcesView);
    browseButton->setAccessibleName(QStringLiteral("Choose the output directory"));
    listLabel->setObjectName(QStringLiteral("listLabel"));
    pageList->setObjectName(QStringLiteral("pageList"));
    cspSourcesView->setObjectName(QStringLiteral("cspSources"));
    cspSourcesView->setReadOnly(true);
    cspSourcesView->setLineWrapMode(QPlainTextEdit::NoWrap);
    cspSourcesView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    cspSourcesView->setTabChangesFocus(true);

    resize(DluX(386), DluY(244));
    ShowCspSources({});
    SetTarget(OutputTarget());
    connect(createButton, &QRadioButton::toggled, this, [this] { ShowMode(); });
    connect(removeAdvertButton, &QRadioButton::toggled, this, [this] { ShowMode(); });
    TabToTheChosen({createButton, modifyButton, removeAdvertButton});
    connect(browseButton, &QPushButton::clicked, this, &OutputPage::OnBrowseOutputFolder);
    connect(addFileButton, &QPushButton::clicked, this, &OutputPage::OnAddFile);
    connect(addFolderButton, &QPushButton::clicked, this, &OutputPage::OnAddFolder);
    connect(removeButton, &QPushButton::clicked, this, &OutputPage::OnRemoveSelected);
    connect(clearButton, &QPushButton::clicked, this, &OutputPage::OnClearAll);
    connect(copyButton, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(cspSourcesView->toPlainText()); });
}

QString OutputPage::FieldProblem(QLineEdit** where) const {
    for (QLineEdit* field : {folderEdit, fileEdit}) {
        // The file's name is one in the folder typed, where a page of that name may be there; a
        // design saved checks before the fields are stored.
        const QDir folder = field == fileEdit ? QDir(FromHome(FieldPath(folderEdit->text()).path)) : QDir();
        if (const FileResult given = FieldPath(field->text(), folder); createNew && !given.Ok()) {
            if (where != nullptr) {
                *where = field;
            }
            return QStringLiteral("\"%1\" cannot be used: %2.").arg(PrintableText(given.path), given.error);
        }
    }
    return {};
}

bool OutputPage::ValidateOutput() {
    StoreControls();
    if (createNew) {
        const auto fix = [this](QLineEdit* field, const QString& why) {
            if (!why.isEmpty()) {
                pickers.ShowMessage(this, window()->windowTitle(), why, Pickers::MessageIcon::Warning);
            }
            field->setFocus();
            return false;
        };
        QLineEdit* unusable = nullptr;
        if (const QString problem = FieldProblem(&unusable); !problem.isEmpty()) {
            return fix(unusable, problem);
        }
        if (outputFolder.isEmpty()) {
            return fix(folderEdit, {});
        }
        if (TypedFromHome(outputFolder)) {
            return fix(
                folderEdit,
                QStringLiteral("The folder \"%1\" is taken from the home folder, but none is set "
                               "(HOME is unset, relative, the root or not valid text). Please give the whole path.")
                    .arg(outputFolder));
        }
        if (!outputFolder.startsWith(u'/')) {
            return fix(folderEdit, QStringLiteral("The folder \"%1\" is taken from the current folder, but %2. "
                                                  "Please give the whole path.")
                                       .arg(outputFolder, CurrentFolderProblem()));
        }
        if (fileName.isEmpty()) {
            return fix(fileEdit, {});
        }
        // The block names the image and the style sheet without a folder: they must stand beside it.
        if (!Design::IsPlainFileName(fileName)) {
            return fix(fileEdit, QStringLiteral("The HTML file to create needs a file name without a folder, "
                                                "not \"%1\". Put the folder in the field above.")
                                     .arg(fileName));
        }
        // Asked of the file the page goes into, which a link of that name in the folder may lead away from.
        return ConfirmNonPages({JoinPath(outputFolder, fileName)}) || fix(fileEdit, {});
    }
    if (pageList->count() == 0) {
        addFileButton->setFocus();
        return false;
    }
    if (removeAdvertButton->isChecked()) {
        return true;
    }
    if (!ConfirmNonPages(Target().pages)) {
        pageList->setFocus();
        return false;
    }
    return true;
}

bool OutputPage::ConfirmNonPages(const QStringList& files) {
    // A path of thousands of letters would make the message taller than the screen: its end,
    // with the file's name, tells it apart.
    constexpr qsizetype kLongest = 100;
    const auto shortened = [](const QString& line) -> QString {
        if (line.size() <= kLongest) {
            return line;
        }
        return u'\u2026' + line.right(kLongest - 1);
    };
    // The run writes the advert's own image or style sheet under that name, beside the page: no
    // answer could make it a page.
    for (const QString& file : files) {
        if (const QString kind = AdvertFileKind(QFileInfo(file).fileName()); !kind.isEmpty()) {
            pickers.ShowMessage(this, window()->windowTitle(),
                                QStringLiteral("\"%1\" is where the advert's %2 goes, not a page, so the advert cannot "
                                               "be put into it. Choose another file.")
                                    .arg(shortened(file), kind),
                                Pickers::MessageIcon::Warning);
            return false;
        }
    }
    // Such a file came from an opened design (which anyone may have written) or was typed into the
    // file picker; either way the advert's code and any custom code go into it.
    QStringList others;
    for (const QString& file : files) {
        if (!Design::TakenUnasked(file)) {
            // A link named like a page is shown with where it leads. Quoted, a name that ends in a
            // blank ("index.html ") shows why it is asked about.
            others.append(Design::IsPageName(file) ? QStringLiteral("\"%1\" (a link to \"%2\")")
                                                         .arg(shortened(file), shortened(PrintableWriteTarget(file)))
                                                   : QStringLiteral("\"%1\"").arg(shortened(file)));
        }
    }
    if (others.isEmpty()) {
        return true;
    }
    const qsizetype shown = std::min<qsizetype>(others.size(), 10);
    QString list = others.mid(0, shown).join(u'\n');
    if (others.size() > shown) {
        list += QStringLiteral("\nand %1 more").arg(others.size() - shown);
    }
    const bool one = others.size() == 1;
    const QString extensions = Design::PageExtensionsText();
    const QString which =
        one ? QStringLiteral("This file is not a web page by its name (ending in %1), or is a link to a file that "
                             "is not")
                  .arg(extensions)
            : QStringLiteral("These %1 files are not web pages by their names (ending in %2), or are links to files "
                             "that are not")
                  .arg(QString::number(others.size()), extensions);
    return pickers.Confirm(this, window()->windowTitle(),
                           QStringLiteral("%1, and would get the advert's code:\n\n%2\n\nPut the advert into %3 all "
                                          "the same?")
                               .arg(which, list, one ? QStringLiteral("it") : QStringLiteral("them")),
                           QStringLiteral("Put In"));
}

OutputTarget OutputPage::Target() {
    StoreControls();
    OutputTarget target;
    target.createNew = createNew;
    target.removeAdvert = removeAdvertButton->isChecked();
    target.outputFolder = outputFolder;
    // Outside create mode the field is neither shown nor used: a slip left in it (a path pasted
    // before the mode was changed, a name cleared) would keep the run's design from being kept for
    // the next start, which then could not take its custom HTML out of the pages, or saved.
    target.fileName = createNew || Design::IsPlainFileName(fileName) ? fileName : OutputTarget().fileName;
    for (int row = 0; row < pageList->count(); ++row) {
        target.pages.append(pageList->item(row)->text());
    }
    return target;
}

void OutputPage::SetTarget(const OutputTarget& target) {
    outputFolder = target.outputFolder;
    fileName = target.fileName;
    LoadControls();
    pageList->clear();
    for (const QString& page : target.pages) {
        AddPage(page);
    }
    (target.createNew ? createButton : target.removeAdvert ? removeAdvertButton : modifyButton)->setChecked(true);
    ShowMode();
}

void OutputPage::ShowCspSources(const QByteArrayList& sources) {
    cspSourcesView->setPlainText(QString::fromLatin1(sources.join('\n')));
    for (QWidget* control : std::initializer_list<QWidget*>{cspLabel, cspSourcesView, copyButton}) {
        control->setVisible(!sources.isEmpty());
    }
    // The list makes room for them.
    Layout();
}

void OutputPage::StoreControls() {
    const FileResult folder = FieldPath(folderEdit->text());
    outputFolder = folder.path;
    fileName = FieldPath(fileEdit->text()).path;
    // A folder typed as a relative path is the current folder's, and kept as a whole path: a kept
    // or saved design reads a relative path as its own folder's. The field shows what is used. A
    // file URL that gives no path stays as given, for ValidateOutput to refuse: taken as a relative
    // path, it would name another folder.
    outputFolder = FromHome(outputFolder);
    if (folder.Ok() && !outputFolder.isEmpty() && !outputFolder.startsWith(u'/') && !TypedFromHome(outputFolder) &&
        CurrentFolderProblem().isEmpty()) {
        outputFolder = QDir::cleanPath(FromCurrentFolder(outputFolder));
        if (!outputFolder.endsWith(QLatin1Char('/'))) {
            outputFolder += QLatin1Char('/');
        }
    }
    if (outputFolder != folderEdit->text()) {
        folderEdit->setText(outputFolder);
    }
    if (fileName != fileEdit->text()) {
        fileEdit->setText(fileName);
    }
}

void OutputPage::LoadControls() {
    folderEdit->setText(outputFolder);
    fileEdit->setText(fileName);
}

void OutputPage::Layout() {
    // The row of modes is centred over the page; the third one made it wider.
    PlaceButton(createButton, {59, 16, 63, 10});
    PlaceButton(modifyButton, {134, 16, 71, 10});
    PlaceButton(removeAdvertButton, {218, 16, 110, 10});

    PlaceLabel(folderLabel, {54, 33, 53, 8});
    folderEdit->setGeometry(DluRect(111, 32, 195, 14));
    browseButton->setGeometry(DluRect(308, 32, 16, 14));
    PlaceLabel(fileLabel, {44, 51, 64, 8});
    fileEdit->setGeometry(DluRect(111, 50, 195, 14));

    // The policy's sources, when shown, take the page's foot, from the labels' left edge to the
    // list's right one: a line holds a whole hash.
    const int listEnd = cspSourcesView->isHidden() ? 216 : 176;
    PlaceLabel(listLabel, {41, 33, 67, 8});
    pageList->setGeometry(DluRect(111, 32, 212, listEnd - 32));
    addFileButton->setGeometry(DluRect(112, listEnd + 3, 38, 14));
    addFolderButton->setGeometry(DluRect(153, listEnd + 3, 41, 14));
    removeButton->setGeometry(DluRect(207, listEnd + 3, 67, 14));
    clearButton->setGeometry(DluRect(278, listEnd + 3, 45, 14));

    PlaceLabel(cspLabel, {41, 202, 230, 8});
    copyButton->setGeometry(DluRect(278, 199, 45, 14));
    cspSourcesView->setGeometry(DluRect(41, 215, 282, 24));
}

void OutputPage::ShowMode() {
    createNew = createButton->isChecked();
    using Controls = std::initializer_list<QWidget*>;
    for (QWidget* control : Controls{folderLabel, folderEdit, browseButton, fileLabel, fileEdit}) {
        control->setVisible(createNew);
    }
    for (QWidget* control : Controls{listLabel, pageList, addFileButton, addFolderButton, removeButton, clearButton}) {
        control->setVisible(!createNew);
    }
    listLabel->setText(removeAdvertButton->isChecked() ? QStringLiteral("Take the advert out of:")
                                                       : QStringLiteral("HTML files to modify:"));
    // A list takes no label's name for a screen reader; it is given the label's words.
    pageList->setAccessibleName(listLabel->text().chopped(1));
    // The label is sized to its text.
    Layout();
}

std::optional<QString> OutputPage::BrowseForFolder(const QString& title) {
    std::optional<QString> folder = pickers.PickFolder(this, title, QDir::currentPath());
    // An answer without a path is no choice: it must not turn into the file system's root.
    if (!folder || folder->isEmpty() || !Usable(*folder)) {
        return std::nullopt;
    }
    QString path = QDir::fromNativeSeparators(*folder);
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return path;
}

bool OutputPage::Usable(const QString& picked) {
    const FileResult check = CheckRepresentable(picked);
    if (!check.Ok()) {
        pickers.ShowMessage(this, window()->windowTitle(),
                            QStringLiteral("\"%1\" cannot be used: %2.").arg(picked, check.error),
                            Pickers::MessageIcon::Warning);
    }
    return check.Ok();
}

void OutputPage::OnBrowseOutputFolder() {
    if (const std::optional<QString> folder = BrowseForFolder(QStringLiteral("Select output folder"))) {
        StoreControls();
        outputFolder = *folder;
        LoadControls();
    }
}

void OutputPage::AddPage(const QString& path) {
    pageList->addItem(path);
    // A long path is cut at the list's edge, where pages of one deep folder look alike.
    pageList->item(pageList->count() - 1)->setToolTip(path);
}

void OutputPage::OnAddFile() {
    const std::optional<QString> file =
        pickers.PickOpenFile(this, QStringLiteral("html files (%1)").arg(PageFilePatterns()), QStringLiteral("html"));
    if (file && !file->isEmpty() && Usable(*file)) {
        AddPage(QDir::fromNativeSeparators(*file));
    }
}

void OutputPage::OnAddFolder() {
    const std::optional<QString> folder = BrowseForFolder(QStringLiteral("Select folder with HTML files"));
    if (!folder) {
        return;
    }
    const FolderPages pages = PagesIn(*folder);
    for (const QString& name : pages.names) {
        AddPage(*folder + name);
    }
    if (!pages.status.Ok()) {
        pickers.ShowMessage(
            this, window()->windowTitle(),
            QStringLiteral("The pages of \"%1\" cannot all be added: %2.").arg(*folder, pages.status.error),
            Pickers::MessageIcon::Warning);
    } else if (pages.names.isEmpty() && pages.unusable == 0 && pages.unlooked == 0) {
        // A site's root often holds its pages in subfolders only, which the list does not take:
        // without a word, the click would seem to have done nothing.
        pickers.ShowMessage(this, window()->windowTitle(),
                            QStringLiteral("No web pages (%1) stand in \"%2\" itself%3. Pages in its subfolders are "
                                           "added a folder at a time; vornetad-cli generate --site takes a whole "
                                           "tree.")
                                .arg(Design::PageExtensionsText(), *folder,
                                     pages.hidden ? QStringLiteral(" but hidden ones (names starting with a dot), "
                                                                   "which are passed over; add those with Add file")
                                                  : QString()),
                            Pickers::MessageIcon::Information);
    }
    if (pages.unlooked > 0) {
        const QString first = PrintableText(pages.unlookedExample);
        const QString text =
            pages.unlooked == 1
                ? QStringLiteral("A page was not added from \"%1\": \"%2\" %3.").arg(*folder, first, pages.unlookedWhy)
                : QStringLiteral("%1 pages were not added from \"%2\", such as \"%3\", which %4.")
                      .arg(QString::number(pages.unlooked), *folder, first, pages.unlookedWhy);
        pickers.ShowMessage(this, window()->windowTitle(), text, Pickers::MessageIcon::Warning);
    }
    if (pages.unusable > 0) {
        const QString what =
            pages.unusable == 1 ? QStringLiteral("A page was") : QStringLiteral("%1 pages were").arg(pages.unusable);
        pickers.ShowMessage(this, window()->windowTitle(),
                            QStringLiteral("%1 not added from \"%2\": names that are not valid UTF-8 text "
                                           "cannot be used, such as \"%3\".")
                                .arg(what, *folder, PrintableName(pages.example)),
                            Pickers::MessageIcon::Warning);
    }
}

void OutputPage::OnRemoveSelected() {
    const QList<QListWidgetItem*> selected = pageList->selectedItems();
    if (!selected.isEmpty()) {
        delete pageList->takeItem(pageList->row(selected.constFirst()));
        // The view hands the selection on to a neighbour; a second press must not remove that one.
        pageList->clearSelection();
    }
}

void OutputPage::OnClearAll() {
    pageList->clear();
}

void OutputPage::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        Layout();
    }
}
