#include "wizard/PageLayout.h"

#include "controls/DialogUnits.h"

#include <QAbstractButton>
#include <QLabel>

#include <algorithm>

namespace {

// `rect` grown evenly up and down to at least `height`.
QRect GrowToHeight(QRect rect, int height) {
    if (height > rect.height()) {
        const int extra = height - rect.height();
        rect.adjust(0, -(extra / 2), 0, extra - extra / 2);
    }
    return rect;
}

QRect Pixels(const QRect& dlu) {
    return DluRect(dlu.x(), dlu.y(), dlu.width(), dlu.height());
}

}  // namespace

void PlaceLabel(QLabel* label, const QRect& dluRect, int room) {
    QRect rect = Pixels(dluRect);
    const QSize text = label->sizeHint();
    // How far the text may reach from the rectangle's left edge.
    const int reach = rect.width() + room;
    if (text.width() <= reach) {
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        rect.setWidth(std::max(rect.width(), text.width()));
    } else {
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        const int right = rect.x() + std::min(reach, rect.width());
        rect.setRect(right - text.width(), rect.y(), text.width(), rect.height());
    }
    label->setGeometry(GrowToHeight(rect, text.height()));
}

void PlaceButton(QAbstractButton* button, const QRect& dluRect) {
    QRect rect = Pixels(dluRect);
    rect.setWidth(std::max(rect.width(), button->sizeHint().width()));
    button->setGeometry(GrowToHeight(rect, button->sizeHint().height()));
}
