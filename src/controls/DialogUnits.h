#pragma once

#include <QRect>

#include <cmath>

// The dialog layouts are given in dialog units of an 8-point dialog font whose average character
// is 6 by 13 pixels: a horizontal unit is a quarter of the width, a vertical unit an eighth of
// the height.
inline int DluX(int dlu) {
    return int(std::lround(dlu * 6.0 / 4.0));
}
inline int DluY(int dlu) {
    return int(std::lround(dlu * 13.0 / 8.0));
}

// A rectangle of a layout (x, y, width, height in dialog units) in pixels. Position and size are
// converted separately, as the dialog manager does: a 237 x 218 unit control is 356 x 354 pixels
// wherever it stands.
inline QRect DluRect(int x, int y, int width, int height) {
    return {DluX(x), DluY(y), DluX(width), DluY(height)};
}
