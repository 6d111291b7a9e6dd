#include "banner/GifWriter.h"

#include "banner/GifEncoding.h"
#include "banner/OctreeQuantizer.h"
#include "files/ReplaceFile.h"

#include <QByteArray>
#include <QImage>

namespace {

// Entry 0 of the GIF palette is the transparent one; the quantizer's entries follow it.
constexpr int kTransparentIndex = 0;
constexpr int kQuantizedColors = 255;
constexpr int kOpaqueAlpha = 128;  // pixels below it are left transparent
constexpr int kMaxGifSide = 65535;

}  // namespace

Result<QByteArray> EncodeBannerGif(const QImage& banner) {
    const auto fail = [](const QString& reason) {
        return Result<QByteArray>::Failure({}, reason);
    };
    if (banner.isNull() || banner.width() <= 0 || banner.height() <= 0) {
        return fail(QStringLiteral("the banner image is empty"));
    }
    if (banner.width() > kMaxGifSide || banner.height() > kMaxGifSide) {
        return fail(QStringLiteral("the banner is larger than a GIF can hold (%1 x %2 pixels)")
                        .arg(banner.width())
                        .arg(banner.height()));
    }
    // Premultiplied pixels already hold the colour drawn over black. The rows are read as one run
    // of pixels, so an image whose rows are apart is copied first.
    QImage image = banner.format() == QImage::Format_ARGB32_Premultiplied
                       ? banner
                       : banner.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!image.isNull() && image.bytesPerLine() != qsizetype{image.width()} * qsizetype{sizeof(QRgb)}) {
        image = image.copy();
    }
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

    // Each pixel is mapped to its entry as the compressor takes it.
    const QRgb* next = reinterpret_cast<const QRgb*>(image.constBits());
    QByteArray bytes = EncodeIndexedGif(width, height, palette, [&quantizer, next]() mutable {
        const QRgb pixel = *next++;
        return qAlpha(pixel) < kOpaqueAlpha ? kTransparentIndex : quantizer.IndexOf(pixel) + 1;
    });
    if (bytes.isEmpty()) {
        return fail(QStringLiteral("the GIF encoder failed on a banner of %1 x %2 pixels").arg(width).arg(height));
    }
    return Result<QByteArray>::Success(std::move(bytes));
}

FileResult SaveAsGif(const QImage& banner, const QString& path) {
    const Result<QByteArray> encoded = EncodeBannerGif(banner);
    if (!encoded.Ok()) {
        return FileResult::Failure(path, encoded.error);
    }
    return ReplaceFile(encoded.value, path);
}
