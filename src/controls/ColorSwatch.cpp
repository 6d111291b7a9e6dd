#include "controls/ColorSwatch.h"

#include "controls/KeyboardFocus.h"
#include "controls/Pickers.h"
#include "design/Design.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

void DescribeColor(QWidget& control, QRgb color) {
    control.setAccessibleDescription(QColor(color).name());
}

ColorSwatch::ColorSwatch(Pickers& pickers, QRgb color, int id, QWidget* parent)
    : QWidget(parent)
    , pickers(pickers)
    , id(id) {
    setFocusPolicy(Qt::StrongFocus);
    SetColor(color);
    GiveDrawnControlsTheirRoles();
}

void ColorSwatch::SetColor(QRgb c) {
    color = qRgb(qRed(c), qGreen(c), qBlue(c));
    DescribeColor(*this, color);
    update();
}

void ColorSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgb(isEnabled() ? color : kDisabledColor));
    if (ShowsKeyboardFocus(*this)) {
        // Not the style's frame, which is drawn in the highlight colour over the swatch's own: on a
        // dark one (the navy a line starts with) it could not be seen. Black beside white shows on
        // any colour.
        painter.setPen(Qt::white);
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
        painter.setPen(Qt::black);
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void ColorSwatch::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    Pick();
    event->accept();
}

void ColorSwatch::keyPressEvent(QKeyEvent* event) {
    if (!PressesControl(*event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    Pick();
    event->accept();
}

void ColorSwatch::Pick() {
    // The picker is opened without the current colour, so it starts on its own default.
    const std::optional<QColor> picked = pickers.PickColor(this);
    if (picked && picked->isValid()) {
        SetColor(Design::LineColor(picked->rgb()));
        repaint();
        emit colorChanged(id, color);
    }
}
