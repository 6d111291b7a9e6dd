#include "wizard/TemplatesPage.h"

#include "controls/DialogUnits.h"
#include "controls/MarkupLabel.h"
#include "controls/Pickers.h"
#include "controls/TemplatePreview.h"
#include "controls/TemplateStrip.h"
#include "files/FileNames.h"
#include "templates/DataFolder.h"
#include "templates/TemplateCatalog.h"
#include "templates/UserTemplates.h"
#include "wizard/NewTemplateDialog.h"
#include "wizard/RunProgress.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

QByteArray TemplatesFooterMarkup() {
    return QByteArrayLiteral("<font color='969696'> For more internet marketing tools and tips, check out </font>"
                             "<font color='0000FF'>VornetAd tips</font>");
}

QUrl TemplatesHelpAddress() {
    const QString page = DataFolder(QStringLiteral("help")) + QStringLiteral("index.html");
    return QFileInfo::exists(page) ? QUrl::fromLocalFile(page) : QUrl();
}

TemplatesPage::TemplatesPage(TemplateCatalog* catalog, Pickers& pickers, const TemplateSources& sources,
                             QWidget* parent)
    : WizardPage(parent)
    , catalog(catalog)
    , pickers(pickers)
    , sources(sources) {
    resize(DluRect(0, 0, 386, 244).size());

    auto* previewFrame = new QGroupBox(tr("Preview:"), this);
    previewFrame->setGeometry(DluRect(245, 0, 140, 140));
    preview = new TemplatePreview(this);
    preview->setGeometry(DluRect(251, 9, 128, 128));
    preview->raise();

    strip = new TemplateStrip(catalog, this);
    connect(strip, &TemplateStrip::templateSelected, this, &TemplatesPage::OnTemplateSelected);
    strip->Create(DluRect(4, 2, 237, 218));

    newTemplateButton = new QPushButton(tr("New template\u2026"), this);
    newTemplateButton->setObjectName(QStringLiteral("newTemplateButton"));
    newTemplateButton->setGeometry(DluRect(245, 146, 140, 15));
    addTemplateButton = new QPushButton(tr("Add template\u2026"), this);
    addTemplateButton->setGeometry(DluRect(245, 165, 140, 15));
    for (QPushButton* button : {newTemplateButton, addTemplateButton}) {
        // Enter belongs to no button on a page.
        button->setAutoDefault(false);
        // Without a folder of the user's own there is nowhere to put a template.
        button->setEnabled(!sources.user.isEmpty());
    }
    connect(newTemplateButton, &QPushButton::clicked, this, &TemplatesPage::OnNewTemplate);
    connect(addTemplateButton, &QPushButton::clicked, this, &TemplatesPage::OnAddTemplate);

    footerLabel = new MarkupLabel(pickers, TemplatesFooterMarkup(), TemplatesHelpAddress(), this);
    footerLabel->setGeometry(DluRect(8, 225, 373, 19));

    emptyNote = new QLabel(this);
    emptyNote->setObjectName(QStringLiteral("noTemplates"));
    emptyNote->setGeometry(DluRect(251, 9, 128, 128));
    emptyNote->setWordWrap(true);
    emptyNote->setTextFormat(Qt::PlainText);
    // The folders it names are there to be copied, with the keys too.
    emptyNote->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    emptyNote->setFocusPolicy(Qt::StrongFocus);  // which Qt gives only a label of links
    ShowWhetherEmpty();
}

void TemplatesPage::ShowWhetherEmpty() {
    const bool empty = catalog == nullptr || catalog->Count() == 0;
    emptyNote->setText(
        sources.user.isEmpty()
            ? tr("No templates were found in \"%1\". The banner is then its text alone.").arg(sources.shipped)
            : tr("No templates were found in \"%1\" or \"%2\". Make one with \"New template\u2026\", or the banner "
                 "is its text alone.")
                  .arg(sources.shipped, sources.user));
    emptyNote->setVisible(empty);
    emptyNote->raise();
}

void TemplatesPage::OnNewTemplate() {
    auto* dialog = new NewTemplateDialog(pickers, sources.user, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { TemplateAdded(dialog->SavedPath()); });
    dialog->open();
}

void TemplatesPage::OnAddTemplate() {
    const QString caption = tr("Add template");
    const std::optional<QString> picked = pickers.PickOpenFile(
        this, tr("Pictures (*.gif *.GIF *.png *.PNG *.jpg *.JPG *.jpeg *.JPEG)"), QStringLiteral("gif"));
    if (!picked) {
        return;
    }
    const FileResult named = CheckRepresentable(*picked);
    ImportedTemplate imported{named, {}, false};
    if (named.Ok()) {
        // A photo takes seconds to convert, which the window must not spend frozen.
        RunAside(window(), tr("Making a template of \"%1\"\u2026").arg(QFileInfo(*picked).fileName()),
                 [&] { imported = ImportTemplate(*picked); });
    }
    if (!imported.status.Ok()) {
        pickers.ShowMessage(this, caption,
                            tr("\"%1\" cannot be a template: %2.").arg(imported.status.path, imported.status.error),
                            Pickers::MessageIcon::Warning);
        return;
    }
    QString typed = TemplateName(QFileInfo(*picked).completeBaseName());
    for (;;) {
        const std::optional<QString> answer = pickers.PromptText(this, caption, tr("Name of the new template:"), typed);
        if (!answer) {
            return;
        }
        typed = *answer;
        const QString name = TemplateName(typed);
        const QString problem = TemplateNameProblem(name);
        const FileResult saved = problem.isEmpty()
                                     ? SaveNewTemplate(sources.user, name, {TemplateFile{QString(), imported.bytes}})
                                     : FileResult::Failure(QString(), problem);
        if (saved.Ok()) {
            if (imported.converted) {
                pickers.ShowMessage(this, caption,
                                    tr("\"%1\" was converted to a GIF template of %2 x %2 pixels, \"%3\", cut "
                                       "square from the middle of the picture.")
                                        .arg(QFileInfo(*picked).fileName(), QString::number(kTemplateEdge), name),
                                    Pickers::MessageIcon::Information);
            }
            TemplateAdded(saved.path);
            return;
        }
        pickers.ShowMessage(
            this, caption,
            problem.isEmpty() ? tr("The template was not added.\n\n%1: %2.").arg(saved.path, saved.error) : problem,
            Pickers::MessageIcon::Warning);
    }
}

void TemplatesPage::TemplateAdded(const QString& path) {
    catalog->Scan(sources);
    strip->Reload();
    ShowWhetherEmpty();
    SelectTemplate(path);
}

void TemplatesPage::SelectTemplate(const QString& path) {
    int index = -1;
    for (int i = 0; catalog != nullptr && i < catalog->Count() && index < 0; ++i) {
        index = QDir::cleanPath(catalog->PathAt(i)) == QDir::cleanPath(path) ? i : -1;
    }
    strip->Select(index);
    OnTemplateSelected(path);
}

void TemplatesPage::OnTemplateSelected(const QString& path) {
    preview->ShowTemplate(path);
    selectedTemplatePath = path;
}
