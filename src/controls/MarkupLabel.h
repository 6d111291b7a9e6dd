#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWidget>

#include <functional>

// A line or paragraph of markup (see Markup.h) on white that opens a fixed link when clicked
// anywhere. The text starts black in the widget's font, which stands for the desktop's system
// font: the application's default unless someone sets another.
class MarkupLabel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MarkupLabel)

public:
    // How a click opens the link; the desktop's default handler unless a test substitutes one.
    using LinkOpener = std::function<void(const QUrl&)>;

    // `markup` is UTF-8 text; an empty `link` makes clicks do nothing.
    MarkupLabel(const QByteArray& markup, const QUrl& link, QWidget* parent = nullptr);

    QByteArray Markup() const { return markup; }
    QUrl Link() const { return link; }
    void SetLinkOpener(LinkOpener opener) { openLink = std::move(opener); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QByteArray markup;
    QUrl link;
    LinkOpener openLink;
};
