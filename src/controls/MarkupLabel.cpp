#include "controls/MarkupLabel.h"

#include "controls/Pickers.h"
#include "markup/Markup.h"

#include <QMouseEvent>
#include <QPainter>

MarkupLabel::MarkupLabel(Pickers& pickers, const QByteArray& markup, const QUrl& link, QWidget* parent)
    : QWidget(parent)
    , pickers(pickers)
    , markup(markup)
    , link(link) {
    setCursor(Qt::ArrowCursor);
}

void MarkupLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setFont(font());
    painter.setPen(Qt::black);
    DrawMarkup(painter, markup, rect());
}

void MarkupLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !link.isEmpty()) {
        pickers.OpenExternally(link);
    }
    QWidget::mousePressEvent(event);
}
