#pragma once

#include <QColor>
#include <QRect>

class QPainter;

// The program's one selection look, shared by the file list and the template grid: a top-to-bottom
// gradient with a 1-pixel white frame 2 pixels inside it.
inline const QColor kSelectionTop{200, 200, 250};
inline const QColor kSelectionBottom{150, 150, 220};

// Fills `rect` (inclusive of its right and bottom edges as a device rectangle: QRect's width and
// height) with a vertical gradient: every row one colour, `top` on the first row and `bottom` on
// the last.
void FillVerticalGradient(QPainter& painter, const QRect& rect, const QColor& top, const QColor& bottom);

// The gradient over `rect` and the white frame 2 pixels inside it.
void DrawSelection(QPainter& painter, const QRect& rect);
