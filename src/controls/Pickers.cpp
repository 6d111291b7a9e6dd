#include "controls/Pickers.h"

#include "controls/PathFields.h"
#include "files/FileNames.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

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

QString BoxText(const QString& text) {
    // A box wraps its text at about this many characters, and this many rows of them fit on the
    // smallest screen with the box's buttons.
    constexpr qsizetype kRowChars = 60;
    constexpr qsizetype kRows = 16;
    // The first line is the box's own sentence, which a cut would rob of its reason: it may take half
    // the rows. A line after it names a file first and says what became of it last, and is cut in
    // its middle.
    const auto longest = [](qsizetype index) {
        return index == 0 ? kRows / 2 * kRowChars : 3 * kRowChars;
    };
    const auto rowsOf = [](const QString& line) {
        return std::max<qsizetype>(1, (line.size() + kRowChars - 1) / kRowChars);
    };
    const QStringList lines = text.split(u'\n');
    qsizetype rows = 0;
    bool fits = true;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        rows += rowsOf(lines[i]);
        fits = fits && lines[i].size() <= longest(i) && rows <= kRows;
    }
    if (fits) {
        return text;
    }
    // One row stays for saying what more there is.
    QStringList shown;
    rows = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        QString part = line;
        if (line.size() > longest(i)) {
            // Never between the two halves of a character outside the basic plane (an emoji).
            QStringView head = QStringView(line).first(kRowChars);
            QStringView tail = QStringView(line).last(longest(i) - kRowChars - 1);
            head.chop(head.back().isHighSurrogate() ? 1 : 0);
            tail = tail.sliced(tail.front().isLowSurrogate() ? 1 : 0);
            part = head + u'\u2026' + tail;
        }
        if ((rows += rowsOf(part)) > kRows - 1) {
            break;
        }
        shown.append(part);
    }
    const qsizetype more = lines.size() - shown.size();
    return shown.join(u'\n') + (more == 0 ? QStringLiteral("\n\u2026 the whole text: see Show Details.")
                                : more == 1
                                    ? QStringLiteral("\n\u2026 and 1 line more: see Show Details.")
                                    : QStringLiteral("\n\u2026 and %1 lines more: see Show Details.").arg(more));
}

namespace {

// The toolkit's own file dialog, where the desktop offers none, takes its name field's text as a
// name in the folder shown: a file dropped there from a file manager, its URL pasted, or a path
// pasted from a terminal with its line break, named no file. The name field takes them as the
// wizard's own path fields do. A desktop's dialog has no such field, and takes them itself.
class PathDialog final : public QFileDialog {
    Q_DISABLE_COPY_MOVE(PathDialog)

public:
    explicit PathDialog(QWidget* parent)
        : QFileDialog(parent) {}

    void accept() override {
        if (QLineEdit* name = NameField()) {
            const FileResult given = FieldPath(name->text(), directory());
            if (!given.Ok()) {
                // The dialog would take the text as a name in the folder shown.
                DialogPickers().ShowMessage(
                    this, windowTitle(),
                    QStringLiteral("\"%1\" cannot be used: %2.").arg(PrintableText(given.path), given.error),
                    Pickers::MessageIcon::Warning);
                return;
            }
            name->setText(given.path);
        }
        QFileDialog::accept();
    }

protected:
    void showEvent(QShowEvent* event) override {
        // The dialog makes its fields when it is shown without the desktop's.
        if (QLineEdit* name = NameField(); name != nullptr && !dropsTaken) {
            TakePathDrops(*name);
            dropsTaken = true;
        }
        QFileDialog::showEvent(event);
    }

private:
    QLineEdit* NameField() const { return findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

    bool dropsTaken = false;
};

std::optional<QString> PickFile(QWidget* parent, QFileDialog::AcceptMode mode, const QString& filter,
                                const QString& defaultSuffix) {
    PathDialog dialog(parent);
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
    PathDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setDirectory(startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().value(0).isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
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

void SetTextWithin(QMessageBox& box, const QString& text) {
    // Messages name the user's files and templates, whose names may read as markup ("<u>Sale").
    box.setTextFormat(Qt::PlainText);
    const QString shown = BoxText(text);
    box.setText(shown);
    if (shown != text) {
        box.setDetailedText(text);
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
    // Without the desktop's opener (a bare system lacks xdg-utils) a click would do nothing at all.
    if (!QDesktopServices::openUrl(url)) {
        QWidget* window = QApplication::activeWindow();
        ShowMessage(window, window != nullptr ? window->windowTitle() : QString(),
                    QStringLiteral("No program here opens %1; copy it into a browser instead.")
                        .arg(url.toString(QUrl::PrettyDecoded)),
                    MessageIcon::Information);
    }
}
