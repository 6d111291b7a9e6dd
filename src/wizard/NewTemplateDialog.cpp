#include "wizard/NewTemplateDialog.h"

#include "controls/ColorSwatch.h"
#include "controls/KeyboardFocus.h"
#include "controls/Pickers.h"
#include "templates/UserTemplates.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kPreviewEdge = 200;
constexpr int kMaxColors = 3;

// A small square of `color` with a grey frame, sharp at the screen's pixel ratio.
QIcon Swatch(QRgb color, qreal ratio) {
    QPixmap pixmap(QSize(16, 16) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(120, 120, 120));
    painter.setBrush(QColor(color));
    painter.drawRect(QRectF(0.5, 0.5, 15.0, 15.0));
    return QIcon(pixmap);
}

}  // namespace

NewTemplateDialog::NewTemplateDialog(Pickers& pickers, const QString& folder, QWidget* parent)
    : QDialog(parent)
    , pickers(pickers)
    , folder(folder) {
    setWindowTitle(tr("New template"));

    styleList = new QListWidget(this);
    for (const TemplateStyle& style : TemplateStyles()) {
        styleList->addItem(style.name);
    }
    styleList->setFixedWidth(150);
    styleList->setAccessibleName(tr("Style"));  // a list takes no label's name
    description = new QLabel(this);
    description->setWordWrap(true);

    auto* colorBox = new QVBoxLayout;
    for (int i = 0; i < kMaxColors; ++i) {
        auto* button = new QPushButton(this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] { OnPickColor(i); });
        colorButtons.append(button);
        colorBox->addWidget(button);
    }
    colorBox->addStretch();

    preview = new QLabel(this);
    // A thin frame shows where the square ends on the page.
    preview->setFrameShape(QFrame::Box);
    preview->setStyleSheet(QStringLiteral("color: #a0a0a0"));
    preview->setFixedSize(kPreviewEdge + 2, kPreviewEdge + 2);
    preview->setAccessibleName(tr("Preview"));

    nameEdit = new QLineEdit(this);
    connect(nameEdit, &QLineEdit::textEdited, this, [this] { nameTyped = true; });

    auto* buttons = new QDialogButtonBox(this);
    saveButton = buttons->addButton(tr("Save"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &NewTemplateDialog::OnSave);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Style:"), this), 0, 0);
    grid->addWidget(new QLabel(tr("Colours:"), this), 0, 1);
    grid->addWidget(new QLabel(tr("Preview:"), this), 0, 2);
    grid->addWidget(styleList, 1, 0, 2, 1);
    grid->addLayout(colorBox, 1, 1);
    grid->addWidget(preview, 1, 2);
    grid->addWidget(description, 2, 1, 1, 2);
    auto* nameLabel = new QLabel(tr("&Name:"), this);
    nameLabel->setBuddy(nameEdit);
    grid->addWidget(nameLabel, 3, 0);
    grid->addWidget(nameEdit, 3, 1, 1, 2);
    grid->addWidget(buttons, 4, 0, 1, 3);

    connect(styleList, &QListWidget::currentRowChanged, this, &NewTemplateDialog::OnStyleChanged);
    styleList->setCurrentRow(0);
}

const TemplateStyle& NewTemplateDialog::Style() const {
    return TemplateStyles().at(size_t(std::max(styleList->currentRow(), 0)));
}

void NewTemplateDialog::OnStyleChanged() {
    const TemplateStyle& style = Style();
    colors = style.defaultColors;
    description->setText(style.description.left(1).toUpper() + style.description.mid(1) + u'.');
    if (!nameTyped) {
        nameEdit->setText(FreeName());
    }
    ShowColors();
}

void NewTemplateDialog::OnPickColor(int index) {
    if (index >= colors.size()) {
        return;
    }
    if (const std::optional<QColor> picked = pickers.PickColor(this)) {
        colors[index] = picked->rgb();
        ShowColors();
    }
}

void NewTemplateDialog::ShowColors() {
    const TemplateStyle& style = Style();
    for (qsizetype i = 0; i < colorButtons.size(); ++i) {
        QPushButton* button = colorButtons[i];
        button->setVisible(i < style.colorNames.size());
        if (i < style.colorNames.size()) {
            button->setText(style.colorNames[i]);
            button->setIcon(Swatch(colors[i], devicePixelRatioF()));
            DescribeColor(*button, colors[i]);
        }
    }
    // Drawn at the template's own size and scaled down, so the preview shows the design whole.
    const qreal ratio = devicePixelRatioF();
    QImage image =
        DrawTemplate(style, colors)
            .scaled(QSize(kPreviewEdge, kPreviewEdge) * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage onWhite(image.size(), QImage::Format_RGB32);
    onWhite.fill(Qt::white);
    QPainter(&onWhite).drawImage(0, 0, image);
    onWhite.setDevicePixelRatio(ratio);
    preview->setPixmap(QPixmap::fromImage(onWhite));
}

QString NewTemplateDialog::FreeName() const {
    const QString stem = QStringLiteral("my-") + Style().name;
    // Free by the rule the save goes by: no file of the name's family, its ".gif" in any letter case.
    const QSet<QString> taken = GifStemsIn(folder);
    const auto free = [&taken](const QString& name) {
        return std::none_of(std::begin(kTemplateFamily), std::end(kTemplateFamily),
                            [&](const char* suffix) { return taken.contains(name + QLatin1String(suffix)); });
    };
    QString name = stem;
    for (int n = 2; !free(name); ++n) {
        name = stem + u'-' + QString::number(n);
    }
    return name;
}

void NewTemplateDialog::OnSave() {
    const QString name = TemplateName(nameEdit->text());
    const auto askAgain = [this](const QString& why) {
        pickers.ShowMessage(this, windowTitle(), why, Pickers::MessageIcon::Warning);
        nameEdit->setFocus();
        nameEdit->selectAll();
    };
    if (const QString problem = TemplateNameProblem(name); !problem.isEmpty()) {
        askAgain(problem);
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const Result<std::vector<TemplateFile>> files = MakeTemplateFiles(Style(), colors);
    const FileResult saved =
        files.Ok() ? SaveNewTemplate(folder, name, files.value) : FileResult::Failure(folder, files.error);
    QGuiApplication::restoreOverrideCursor();
    if (!saved.Ok()) {
        askAgain(tr("The template was not saved.\n\n%1: %2.").arg(saved.path, saved.error));
        return;
    }
    savedPath = saved.path;
    accept();
}

void NewTemplateDialog::keyPressEvent(QKeyEvent* event) {
    // Enter on a button presses it (a colour button picks its colour), as in the wizard, and a held
    // one nothing more; elsewhere it saves.
    if (PressFocusedButton(*event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
