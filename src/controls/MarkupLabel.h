#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWidget>

class Pickers;

// A line or paragraph of markup (see Markup.h) on white that opens a fixed link when clicked
// anywhere, or from the keyboard as a link does (Tab reaches it; Space or Enter opens it). The text
// starts black in the widget's font, which stands for the desktop's system font: the application's
// default unless someone sets another.
class MarkupLabel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MarkupLabel)

public:
    // `markup` is UTF-8 text; an empty `link` makes clicks do nothing. A click opens the link
    // through `pickers`, which must outlive the label.
    MarkupLabel(Pickers& pickers, const QByteArray& markup, const QUrl& link, QWidget* parent = nullptr);

    QByteArray Markup() const { return markup; }
    QUrl Link() const { return link; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Pickers& pickers;
    QByteArray markup;
    QUrl link;
};
