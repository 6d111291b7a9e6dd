#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QUrl>

#include <optional>

class QWidget;

// The modal pickers and message boxes the program opens, and the two things it asks of the desktop
// (a beep, opening an address in the user's browser). The wizard gets one at construction and hands
// it to the pages and controls that need it, so tests can answer without opening dialogs or
// reaching the desktop.
class Pickers {
public:
    enum class MessageIcon { Information, Warning, Question };

    virtual ~Pickers() = default;

    // The colour picker, opened without a current colour; nothing when cancelled.
    virtual std::optional<QColor> PickColor(QWidget* parent) = 0;
    // The font picker, opened without a current font; the font's family, weight, italic,
    // underline and strike-out are what callers use.
    virtual std::optional<QFont> PickFont(QWidget* parent) = 0;
    // One existing file to open; `filter` in Qt's "description (patterns)" form. The default
    // suffix is added when the typed name has none.
    virtual std::optional<QString> PickOpenFile(QWidget* parent, const QString& filter,
                                                const QString& defaultSuffix) = 0;
    // A file to save to, new or existing (the dialog asks before an existing one is replaced);
    // the same filter and suffix as PickOpenFile.
    virtual std::optional<QString> PickSaveFile(QWidget* parent, const QString& filter,
                                                const QString& defaultSuffix) = 0;
    // A folder, starting in `startFolder`.
    virtual std::optional<QString> PickFolder(QWidget* parent, const QString& title, const QString& startFolder) = 0;
    // A line of text, asked for in a small box with `label` above the field, which starts as
    // `initial`; nothing when cancelled.
    virtual std::optional<QString> PromptText(QWidget* parent, const QString& caption, const QString& label,
                                              const QString& initial) = 0;
    // A modal message box with one OK button.
    virtual void ShowMessage(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) = 0;
    // A question with two buttons, `action` and Cancel (the default); whether `action` was chosen.
    virtual bool Confirm(QWidget* parent, const QString& caption, const QString& text, const QString& action) = 0;
    // The desktop's alert sound.
    virtual void Beep() = 0;
    // Opens `url` with the desktop's handler for it (a web address: the user's browser).
    virtual void OpenExternally(const QUrl& url) = 0;
};

// What a message box shows of `text` so that it stays within any screen, its buttons in sight: the
// text itself where it fits, else its start, a line too long cut short, and how much more there is
// (the box then holds the whole text in its details, which scroll). Lines wrap in the box, so a long
// one (a deep path) counts for the rows it takes.
QString BoxText(const QString& text);

// The desktop's real dialogs.
class DialogPickers final : public Pickers {
public:
    std::optional<QColor> PickColor(QWidget* parent) override;
    std::optional<QFont> PickFont(QWidget* parent) override;
    std::optional<QString> PickOpenFile(QWidget* parent, const QString& filter, const QString& defaultSuffix) override;
    std::optional<QString> PickSaveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix) override;
    std::optional<QString> PickFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
    std::optional<QString> PromptText(QWidget* parent, const QString& caption, const QString& label,
                                      const QString& initial) override;
    void ShowMessage(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) override;
    bool Confirm(QWidget* parent, const QString& caption, const QString& text, const QString& action) override;
    void Beep() override;
    void OpenExternally(const QUrl& url) override;
};
