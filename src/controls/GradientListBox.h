#pragma once

#include <QListWidget>

// The output page's list of pages to modify: one string per 26-pixel row, plain text on white,
// the selected row in the program's selection look (GradientFill.h) with its text inset 5 pixels
// left and right and 4 pixels top and bottom. Single selection, a vertical scroll bar when the rows
// outgrow the box, no horizontal scrolling: a long path is cut at the right edge of its row.
class GradientListBox final : public QListWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GradientListBox)

public:
    static constexpr int kItemHeight = 26;

    explicit GradientListBox(QWidget* parent = nullptr);
};
