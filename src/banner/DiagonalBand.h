#pragma once

#include "banner/BannerLine.h"

class QImage;

// A band along the banner's diagonal, the one that cuts off the banner's corner (from the top corner
// opposite the banner's side to the bottom corner on its side), as the offsets d of its two edges in
// pixels of the box: on the right a point (x, y) lies in it when lo <= x - y <= hi, on the left when
// lo <= (size - x) - y <= hi. Positive offsets lie toward the banner's corner.
struct DiagonalBand {
    // The strip of the image map: from the diagonal 45 pixels toward the corner.
    static constexpr int kStripWidth = 45;

    int lo = 0;
    int hi = kStripWidth;

    bool operator==(const DiagonalBand&) const = default;
};

// The smallest band that holds `band` and every pixel of `image` that the GIF keeps (alpha of
// kGifOpaqueAlpha or more) whole, with `image` drawn over a box of `boxSize` pixels: the 2x image
// counts at half its pixels. Limited to the box. A null image adds nothing.
DiagonalBand DrawnBand(const QImage& image, int boxSize, BannerSide side, DiagonalBand band = {});
