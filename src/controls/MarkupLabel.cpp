#include "controls/MarkupLabel.h"

#include "controls/KeyboardFocus.h"
#include "controls/Pickers.h"
#include "markup/Markup.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// What a screen reader reads out: the words, without the tags.
QString PlainText(const QByteArray& markup) {
    QByteArray words;
    qsizetype position = 0;
    bool pendingSpace = false;
    for (MarkupToken token = NextMarkupToken(markup, position, pendingSpace); token.kind != kMarkupEnd;
         token = NextMarkupToken(markup, position, pendingSpace)) {
        if (token.kind == kMarkupText) {
            // Words joined by a tag ("VornetAd<b>tips</b>") are one word, as they are drawn.
            words += (pendingSpace && !words.isEmpty() ? " " : "") + markup.mid(token.start, token.length);
            pendingSpace = false;
        }
    }
    return QString::fromUtf8(words);
}

}  // namespace

MarkupLabel::MarkupLabel(Pickers& pickers, const QByteArray& markup, const QUrl& link, QWidget* parent)
    : QWidget(parent)
    , pickers(pickers)
    , markup(markup)
    , link(link) {
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(link.isEmpty() ? Qt::NoFocus : Qt::TabFocus);
    GiveDrawnControlsTheirRoles();
    setAccessibleName(PlainText(markup));
}

void MarkupLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setFont(font());
    painter.setPen(Qt::black);
    DrawMarkup(painter, markup, rect());
    if (ShowsKeyboardFocus(*this)) {
        DrawFocusFrame(painter, *this, rect());
    }
}

void MarkupLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !link.isEmpty()) {
        pickers.OpenExternally(link);
    }
    QWidget::mousePressEvent(event);
}

void MarkupLabel::keyPressEvent(QKeyEvent* event) {
    if (PressesControl(*event) && !link.isEmpty()) {
        pickers.OpenExternally(link);
        return;
    }
    QWidget::keyPressEvent(event);
}
