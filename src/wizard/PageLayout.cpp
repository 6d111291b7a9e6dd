#include "PageLayout.h"

#include "DialogUnits.h"

#include <QAbstractButton>
#include <QLabel>

#include <algorithm>

namespace {

// `rect` grown to at least `size`: horizontally to the left or right, vertically about its middle.
QRect GrowToFit(QRect rect, const QSize& size, bool growLeft) {
    if (size.width() > rect.width()) {
        if (growLeft) {
            rect.setLeft(rect.right() + 1 - size.width());
        } else {
            rect.setWidth(size.width());
        }
    }
    if (size.height() > rect.height()) {
        const int extra = size.height() - rect.height();
        rect.adjust(0, -(extra / 2), 0, extra - extra / 2);
    }
    return rect;
}

QRect Pixels(const QRect& dlu) {
    return DluRect(dlu.x(), dlu.y(), dlu.width(), dlu.height());
}

}  // namespace

void PlaceLabel(QLabel* label, const QRect& dluRect) {
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(GrowToFit(Pixels(dluRect), label->sizeHint(), true));
}

void PlaceButton(QAbstractButton* button, const QRect& dluRect) {
    button->setGeometry(GrowToFit(Pixels(dluRect), button->sizeHint(), false));
}
