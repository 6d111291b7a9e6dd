#pragma once

#include <QRect>

#include <cmath>

// The dialog layouts are given in dialog units of an 8-point dialog font whose average character
// is 6 by 13 pixels: a horizontal unit is a quarter of the width, a vertical unit an eighth of
// the height.
inline int DluX(int dlu) { return int(std::lround(dlu * 6.0 / 4.0)); }
inline int DluY(int dlu) { return int(std::lround(dlu * 13.0 / 8.0)); }

// A rectangle of a layout (x, y, width, height in dialog units) in pixels; the edges are
// converted, so adjacent controls stay adjacent.
inline QRect DluRect(int x, int y, int width, int height)
{
    const int left = DluX(x);
    const int top = DluY(y);
    return {left, top, DluX(x + width) - left, DluY(y + height) - top};
}
