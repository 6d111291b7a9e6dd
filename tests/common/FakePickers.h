#pragma once

#include "controls/Pickers.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

// Answers the program's pickers from queues that a test fills; an empty queue answers "cancelled".
// Records every message box so tests can check what the user would have seen.
class FakePickers final : public Pickers {
public:
    struct Message {
        QString caption, text;
        MessageIcon icon;
        bool looked = false;  // what `look` gave while it showed
    };
    std::function<bool()> look;  // asked as each message shows

    std::deque<std::optional<QColor>> colors;
    std::deque<std::optional<QFont>> fonts;
    std::deque<std::optional<QString>> files, folders, texts;  // files: for opening and saving alike
    QList<Message> messages;
    std::deque<std::optional<bool>> confirms;  // answers to Confirm; an empty queue answers Cancel
    QStringList questions;                     // what Confirm asked
    int beeps = 0;
    QList<QUrl> opened;  // by OpenExternally

    QString lastInitialText;  // what PromptText offered
    int colorRequests = 0, fontRequests = 0;

    std::optional<QColor> PickColor(QWidget*) override {
        ++colorRequests;
        return Take(colors);
    }
    std::optional<QFont> PickFont(QWidget*) override {
        ++fontRequests;
        return Take(fonts);
    }
    std::optional<QString> PickOpenFile(QWidget*, const QString&, const QString&) override { return Take(files); }
    std::optional<QString> PickSaveFile(QWidget*, const QString&, const QString&) override { return Take(files); }
    std::optional<QString> PickFolder(QWidget*, const QString&, const QString&) override { return Take(folders); }
    std::optional<QString> PromptText(QWidget*, const QString&, const QString&, const QString& initial) override {
        lastInitialText = initial;
        return Take(texts);
    }
    void ShowMessage(QWidget*, const QString& caption, const QString& text, MessageIcon icon) override {
        messages.append({caption, text, icon, look && look()});
    }
    bool Confirm(QWidget*, const QString&, const QString& text, const QString&) override {
        questions.append(text);
        return Take(confirms).value_or(false);
    }
    void Beep() override { ++beeps; }
    void OpenExternally(const QUrl& url) override { opened.append(url); }

private:
    template <typename T>
    static std::optional<T> Take(std::deque<std::optional<T>>& queue) {
        std::optional<T> answer;
        if (!queue.empty()) {
            answer.swap(queue.front());
            queue.pop_front();
        }
        return answer;
    }
};
