#include "controls/GradientFill.h"

#include <QPainter>

#include <cmath>

void FillVerticalGradient(QPainter& painter, const QRect& rect, const QColor& top, const QColor& bottom) {
    const int rows = rect.height();
    if (rows <= 0 || rect.width() <= 0) {
        return;
    }
    // One solid line per row, so every row is exactly one colour whatever the painter's hints.
    for (int row = 0; row < rows; ++row) {
        const double t = rows == 1 ? 0.0 : double(row) / double(rows - 1);
        const QColor color(int(std::lround(top.red() + (bottom.red() - top.red()) * t)),
                           int(std::lround(top.green() + (bottom.green() - top.green()) * t)),
                           int(std::lround(top.blue() + (bottom.blue() - top.blue()) * t)));
        painter.fillRect(QRect(rect.left(), rect.top() + row, rect.width(), 1), color);
    }
}

void DrawSelection(QPainter& painter, const QRect& rect) {
    FillVerticalGradient(painter, rect, kSelectionTop, kSelectionBottom);
    const QRect frame = rect.adjusted(2, 2, -2, -2);
    if (frame.width() <= 0 || frame.height() <= 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::NoBrush);
    // QPainter::drawRect with a 1-pixel pen covers width+1 pixels; take one off to stay inside.
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.restore();
}
