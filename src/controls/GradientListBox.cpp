#include "controls/GradientListBox.h"

#include "controls/GradientFill.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Draws a row from its selection state alone; hover, focus and the style's own item look are
// ignored, so every style shows the same rows.
class GradientItemDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        QRect textRect = option.rect;
        if (option.state.testFlag(QStyle::State_Selected)) {
            DrawSelection(*painter, option.rect);
            textRect.adjust(5, 4, -5, -4);
        } else {
            painter->fillRect(option.rect, Qt::white);
        }
        // Text in the view's own font, black as the white rows and the light selection are fixed (a
        // style sheet's light text would vanish on them), cut at the rectangle. Every "&" is shown:
        // the rows are paths, and a folder named "R&D" must not show as "RD".
        painter->setFont(option.font);
        painter->setPen(Qt::black);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

    // The width is kept minimal so that a row never widens the view: each row spans the viewport.
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {1, GradientListBox::kItemHeight};
    }
};

}  // namespace

GradientListBox::GradientListBox(QWidget* parent)
    : QListWidget(parent) {
    setItemDelegate(new GradientItemDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    QPalette colors = palette();
    colors.setColor(QPalette::Base, Qt::white);
    colors.setColor(QPalette::Text, Qt::black);
    setPalette(colors);
}
