#pragma once

// Pixel helpers of the suites that look at what is drawn.

#include <QImage>
#include <QRect>

#include <algorithm>
#include <functional>

// What a widget shows, as opaque 32-bit pixels.
template <typename Widget>  // a template, so that suites without widgets need not include them
QImage Shot(Widget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// An image of `size` whose pixel at (x, y) is colour(x, y).
inline QImage Painted(QSize size, const std::function<QRgb(int, int)>& colour) {
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, colour(x, y));
        }
    }
    return image;
}

// How many pixels of `image` have the colour `rgb`.
inline int CountOf(const QImage& image, QRgb rgb) {
    const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
    const auto* pixels = reinterpret_cast<const QRgb*>(opaque.constBits());
    return int(std::count(pixels, pixels + opaque.width() * opaque.height(), rgb | 0xff000000u));
}

// The bounding box of the dark (text) pixels of `image` within `area`, or of those `isInk` picks;
// invalid when there are none.
inline QRect InkIn(
    const QImage& image, const QRect& area, bool (*isInk)(QRgb) = [](QRgb p) { return qGray(p) < 110; }) {
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isInk(image.pixel(x, y))) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    return ink;
}
