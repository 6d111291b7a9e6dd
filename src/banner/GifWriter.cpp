#include "GifWriter.h"

#include "GifEncoding.h"
#include "OctreeQuantizer.h"
#include "files/ReplaceFile.h"

#include <QByteArray>
#include <QImage>

#include <memory>
#include <vector>

namespace {

// Entry 0 of the GIF palette is the transparent one; the quantizer's entries follow it.
constexpr int kTransparentIndex = 0;
constexpr int kQuantizedColors = 255;
constexpr int kOpaqueAlpha = 128;  // pixels below it are left transparent
constexpr int kMaxGifSide = 65535;

}  // namespace

QByteArray EncodeBannerGif(const QImage& banner, QString* error) {
    const auto fail = [error](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return QByteArray();
    };
    if (banner.isNull() || banner.width() <= 0 || banner.height() <= 0) {
        return fail(QStringLiteral("the banner image is empty"));
    }
    if (banner.width() > kMaxGifSide || banner.height() > kMaxGifSide) {
        return fail(QStringLiteral("the banner is larger than a GIF can hold (%1 x %2 pixels)")
                        .arg(banner.width())
                        .arg(banner.height()));
    }
    // Premultiplied pixels already hold the colour drawn over black.
    const QImage image = banner.format() == QImage::Format_ARGB32_Premultiplied
                             ? banner
                             : banner.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return fail(QStringLiteral("out of memory while converting the banner"));
    }
    const int width = image.width();
    const int height = image.height();

    OctreeQuantizer quantizer(kQuantizedColors);
    for (int y = 0; y < height; ++y) {
        quantizer.AddPixels(reinterpret_cast<const QRgb*>(image.constScanLine(y)), width, kOpaqueAlpha);
    }
    QList<QRgb> palette = quantizer.BuildPalette();
    palette.prepend(qRgb(0, 0, 0));

    std::vector<uchar> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        quantizer.MapPixels(reinterpret_cast<const QRgb*>(image.constScanLine(y)), width,
                            pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width), kOpaqueAlpha, 1,
                            kTransparentIndex);
    }

    const QByteArray data = EncodeIndexedGif(width, height, palette, pixels.data());
    if (data.isEmpty()) {
        return fail(QStringLiteral("GIF encoding failed"));
    }
    return data;
}

FileResult SaveAsGif(const QImage& banner, const QString& path) {
    QString error;
    const QByteArray data = EncodeBannerGif(banner, &error);
    if (data.isEmpty()) {
        return FileResult::Failure(path, error);
    }
    return ReplaceFile(data, path);
}
