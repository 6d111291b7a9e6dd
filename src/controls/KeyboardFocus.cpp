#include "controls/KeyboardFocus.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWidget>

bool ShowsKeyboardFocus(const QWidget& widget) {
    return widget.hasFocus() && widget.window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void DrawFocusFrame(QPainter& painter, const QWidget& widget, const QRect& area) {
    QStyleOptionFocusRect option;
    option.initFrom(&widget);
    option.rect = area;
    widget.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, &widget);
}

bool PressesControl(const QKeyEvent& event) {
    const int key = event.key();
    // A held key repeats; the picker it opened must not open again each time it closes.
    return !event.isAutoRepeat() && (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
           (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter);
}
