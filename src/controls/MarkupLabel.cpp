#include "controls/MarkupLabel.h"

#include "markup/Markup.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>

MarkupLabel::MarkupLabel(const QByteArray& markup, const QUrl& link, QWidget* parent)
    : QWidget(parent)
    , markup(markup)
    , link(link)
    , openLink([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
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
    if (event->button() == Qt::LeftButton && !link.isEmpty() && openLink) {
        openLink(link);
    }
    QWidget::mousePressEvent(event);
}
