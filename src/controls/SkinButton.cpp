#include "controls/SkinButton.h"

#include "controls/KeyboardFocus.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>

SkinButton::SkinButton(QWidget* parent)
    : QPushButton(parent)
    , textColor(palette().color(QPalette::Active, QPalette::ButtonText)) {
    // Hover starts with the first move over the button, as it does after a press.
    setMouseTracking(true);
    // A wizard button is never the dialog's default: Enter must not click it.
    setAutoDefault(false);
}

void SkinButton::SetBitmaps(const QString& normal, const QString& pressed, const QString& hover,
                            const QString& disabled) {
    normalImage = Artwork(normal);
    pressedImage = Artwork(pressed);
    hoverImage = Artwork(hover);
    disabledImage = Artwork(disabled);
    update();
}

void SkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Between 1 and 2 device pixels per unit the doubled image is shrunk: smoothly.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect area = rect();
    const auto drawFace = [&](const Artwork& image) {
        if (image.IsNull()) {
            painter.fillRect(area, palette().color(QPalette::Active, QPalette::Button));
        } else {
            painter.drawPixmap(0, 0, image.For(devicePixelRatioF()));
        }
    };

    // Caption position: centred by the average character width, as the button face was laid out.
    const QString caption = text();
    const QFontMetrics metrics(font());
    const int x = (area.width() - int(caption.size()) * metrics.averageCharWidth()) / 2;
    const int y = (area.height() - metrics.height()) / 2 + metrics.ascent();
    painter.setClipRect(area);
    painter.setFont(font());

    if (!isEnabled()) {
        drawFace(disabledImage);
        if (!caption.isEmpty()) {
            painter.setPen(palette().color(QPalette::Active, QPalette::Light));
            painter.drawText(x + 1, y + 1, caption);
            painter.setPen(palette().color(QPalette::Disabled, QPalette::ButtonText));
            painter.drawText(x, y, caption);
        }
        return;
    }
    if (isDown()) {
        drawFace(pressedImage);
    } else if (normalImage.IsNull()) {
        drawFace(normalImage);
    } else {
        drawFace(hover && !hoverImage.IsNull() ? hoverImage : normalImage);
    }
    if (!caption.isEmpty()) {
        painter.setPen(textColor);
        painter.drawText(x, y, caption);
    }
    if (ShowsKeyboardFocus(*this)) {
        DrawFocusFrame(painter, *this, area.adjusted(4, 4, -4, -4));
    }
}

void SkinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        SetHover(false);
        pressTracking = true;
    }
    QPushButton::mousePressEvent(event);
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !pressTracking) {
        // The press was cancelled by a focus change: this release must not click.
        setDown(false);
        event->ignore();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        pressTracking = false;
    }
    QPushButton::mouseReleaseEvent(event);
}

void SkinButton::mouseMoveEvent(QMouseEvent* event) {
    if (pressTracking) {
        // The base class moves the pressed state with the pointer.
        QPushButton::mouseMoveEvent(event);
        return;
    }
    if ((event->buttons() & Qt::LeftButton) == 0 && rect().contains(event->position().toPoint())) {
        SetHover(true);
    }
    // A press cancelled by a focus change stays cancelled when the pointer comes back.
    event->ignore();
}

void SkinButton::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void SkinButton::focusOutEvent(QFocusEvent* event) {
    if (pressTracking) {
        pressTracking = false;
        setDown(false);
    }
    QPushButton::focusOutEvent(event);
}

void SkinButton::enterEvent(QEnterEvent* event) {
    if (!pressTracking) {
        SetHover(true);
    }
    QPushButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
    SetHover(false);
    QPushButton::leaveEvent(event);
}

void SkinButton::SetHover(bool on) {
    if (hover != on) {
        hover = on;
        update();
    }
}
