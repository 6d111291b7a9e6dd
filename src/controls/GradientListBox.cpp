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
        // Text in the view's own font and text colour, whatever the selection; "&" marks the next
        // character as a mnemonic and "&&" stands for one "&"; the text is cut at the rectangle.
        painter->setFont(option.font);
        painter->setPen(option.palette.color(QPalette::Active, QPalette::Text));
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
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
