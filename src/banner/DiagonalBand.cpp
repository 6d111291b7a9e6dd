#include "banner/DiagonalBand.h"

#include "banner/GifWriter.h"

#include <QImage>

#include <algorithm>
#include <cmath>

DiagonalBand DrawnBand(const QImage& image, int boxSize, BannerSide side, DiagonalBand band) {
    const int width = image.width();
    if (image.isNull() || boxSize <= 0 || width <= 0) {
        return band;
    }
    // Only alpha is read, which premultiplying leaves as it is: the composed banner is read in place.
    const QImage pixels =
        image.format() == QImage::Format_ARGB32_Premultiplied ? image : image.convertToFormat(QImage::Format_ARGB32);
    // In the image's own pixels: pixel (x, y) spans offsets x - y - 1 to x - y + 1.
    int lowest = width;
    int highest = -width;
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(line[x]) >= kGifOpaqueAlpha) {
                const int d = (side == BannerSide::Left ? width - 1 - x : x) - y;
                lowest = std::min(lowest, d - 1);
                highest = std::max(highest, d + 1);
            }
        }
    }
    if (lowest > highest) {
        return band;
    }
    const double scale = double(boxSize) / width;
    band.lo = std::min(band.lo, std::max(-boxSize, int(std::floor(lowest * scale))));
    band.hi = std::max(band.hi, std::min(boxSize, int(std::ceil(highest * scale))));
    return band;
}
