#include "TemplatesPage.h"

#include "DataFolder.h"
#include "DialogUnits.h"
#include "MarkupLabel.h"
#include "TemplateCatalog.h"
#include "TemplatePreview.h"
#include "TemplateStrip.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QUrl>

QByteArray TemplatesFooterMarkup() {
    return QByteArrayLiteral("<font color='969696'> For more internet marketing tools and tips, check out </font>"
                             "<font color='0000FF'>VornetAd tips</font>");
}

QUrl TemplatesHelpAddress() {
    const QString page = DataFolder(QStringLiteral("help")) + QStringLiteral("index.html");
    return QFileInfo::exists(page) ? QUrl::fromLocalFile(page) : QUrl();
}

TemplatesPage::TemplatesPage(const TemplateCatalog* catalog, QWidget* parent)
    : WizardPage(parent)
    , catalog(catalog) {
    resize(DluRect(0, 0, 386, 244).size());

    auto* previewFrame = new QGroupBox(tr("Preview:"), this);
    previewFrame->setGeometry(DluRect(245, 0, 140, 140));
    preview = new TemplatePreview(this);
    preview->setGeometry(DluRect(251, 9, 128, 128));
    preview->raise();

    strip = new TemplateStrip(catalog, this);
    connect(strip, &TemplateStrip::TemplateSelected, this, &TemplatesPage::OnTemplateSelected);
    strip->Create(DluRect(4, 2, 237, 218));

    footerLabel = new MarkupLabel(TemplatesFooterMarkup(), TemplatesHelpAddress(), this);
    footerLabel->setGeometry(DluRect(8, 225, 373, 19));
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
