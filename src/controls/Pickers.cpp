#include "controls/Pickers.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

std::optional<QColor> DialogPickers::PickColor(QWidget* parent) {
    const QColor color = QColorDialog::getColor(Qt::black, parent);
    if (!color.isValid()) {
        return std::nullopt;
    }
    return color;
}

std::optional<QFont> DialogPickers::PickFont(QWidget* parent) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, QFont(), parent);
    if (!ok) {
        return std::nullopt;
    }
    return font;
}

namespace {

std::optional<QString> PickFile(QWidget* parent, QFileDialog::AcceptMode mode, const QString& filter,
                                const QString& defaultSuffix) {
    QFileDialog dialog(parent);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setAcceptMode(mode);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace

std::optional<QString> DialogPickers::PickOpenFile(QWidget* parent, const QString& filter,
                                                   const QString& defaultSuffix) {
    return PickFile(parent, QFileDialog::AcceptOpen, filter, defaultSuffix);
}

std::optional<QString> DialogPickers::PickSaveFile(QWidget* parent, const QString& filter,
                                                   const QString& defaultSuffix) {
    return PickFile(parent, QFileDialog::AcceptSave, filter, defaultSuffix);
}

std::optional<QString> DialogPickers::PickFolder(QWidget* parent, const QString& title, const QString& startFolder) {
    const QString folder = QFileDialog::getExistingDirectory(parent, title, startFolder);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return folder;
}

std::optional<QString> DialogPickers::PromptText(QWidget* parent, const QString& caption, const QString& label,
                                                 const QString& initial) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, initial, &ok);
    if (!ok) {
        return std::nullopt;
    }
    return text;
}

namespace {

// A box taller than the screen would hide its buttons: a long list of files goes whole into the
// details, which scroll, and only its start into the box.
void SetTextWithin(QMessageBox& box, const QString& text) {
    // Messages name the user's files and templates, whose names may read as markup ("<u>Sale").
    box.setTextFormat(Qt::PlainText);
    constexpr qsizetype kShownLines = 16;
    const QStringList lines = text.split(u'\n');
    if (lines.size() > kShownLines) {
        box.setText(lines.first(kShownLines).join(u'\n') +
                    QStringLiteral("\n\u2026 and %1 lines more: see Show Details.").arg(lines.size() - kShownLines));
        box.setDetailedText(text);
    } else {
        box.setText(text);
    }
}

}  // namespace

void DialogPickers::ShowMessage(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    SetTextWithin(box, text);
    switch (icon) {
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool DialogPickers::Confirm(QWidget* parent, const QString& caption, const QString& text, const QString& action) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    SetTextWithin(box, text);
    box.setIcon(QMessageBox::Question);
    QPushButton* chosen = box.addButton(action, QMessageBox::DestructiveRole);
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    box.exec();
    return box.clickedButton() == chosen;
}

void DialogPickers::Beep() {
    QApplication::beep();
}

void DialogPickers::OpenExternally(const QUrl& url) {
    QDesktopServices::openUrl(url);
}
