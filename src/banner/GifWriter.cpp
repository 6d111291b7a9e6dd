#include "GifWriter.h"

#include "OctreeQuantizer.h"
#include "files/ReplaceFile.h"

#include <QByteArray>
#include <QImage>

#include <gif_lib.h>

#include <memory>
#include <vector>

namespace {

// Entry 0 of the GIF palette is the transparent one; the quantizer's entries follow it.
constexpr int kTransparentIndex = 0;
constexpr int kQuantizedColors = 255;
constexpr int kOpaqueAlpha = 128;  // pixels below it are left transparent
constexpr int kMaxGifSide = 65535;

int AppendToBuffer(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

QString GifError(const char* step, int code) {
    const char* text = GifErrorString(code);
    return QStringLiteral("GIF encoding failed (%1): %2")
        .arg(QLatin1String(step), text ? QString::fromLatin1(text) : QString::number(code));
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

// Encodes one frame with the given palette (at most 256 entries) and pixels, entry 0 transparent.
// Returns an empty string on success, otherwise the reason.
QString EncodeGif(int width, int height, const QList<QRgb>& palette, const std::vector<GifPixelType>& pixels,
                  QByteArray& out) {
    const int bits = GifBitSize(static_cast<int>(palette.size()));
    std::vector<GifColorType> colors(size_t{1} << bits, GifColorType{0, 0, 0});
    for (qsizetype i = 0; i < palette.size(); ++i) {
        colors[static_cast<size_t>(i)] =
            GifColorType{static_cast<GifByteType>(qRed(palette[i])), static_cast<GifByteType>(qGreen(palette[i])),
                         static_cast<GifByteType>(qBlue(palette[i]))};
    }
    const std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(1 << bits, colors.data()));
    if (!map) {
        return QStringLiteral("out of memory for the GIF palette");
    }

    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendToBuffer, &error);
    if (!gif) {
        return GifError("open", error);
    }
    EGifSetGifVersion(gif, true);

    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.UserInputFlag = false;
    control.DelayTime = 0;
    control.TransparentColor = kTransparentIndex;
    GifByteType extension[4];
    const size_t extensionLength = EGifGCBToExtension(&control, extension);

    QString failure;
    if (EGifPutScreenDesc(gif, width, height, bits, kTransparentIndex, map.get()) == GIF_ERROR) {
        failure = GifError("screen descriptor", gif->Error);
    } else if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extensionLength), extension) ==
               GIF_ERROR) {
        failure = GifError("graphics control", gif->Error);
    } else if (EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_ERROR) {
        failure = GifError("image descriptor", gif->Error);
    } else {
        for (int y = 0; y < height && failure.isEmpty(); ++y) {
            // giflib takes the line as writable but only reads it.
            auto* line = const_cast<GifPixelType*>(pixels.data()) + static_cast<size_t>(y) * static_cast<size_t>(width);
            if (EGifPutLine(gif, line, width) == GIF_ERROR) {
                failure = GifError("image data", gif->Error);
            }
        }
    }
    // Closing frees the encoder whatever happened before.
    if (EGifCloseFile(gif, &error) == GIF_ERROR && failure.isEmpty()) {
        failure = GifError("close", error);
    }
    return failure;
}

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

    std::vector<GifPixelType> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        quantizer.MapPixels(reinterpret_cast<const QRgb*>(image.constScanLine(y)), width,
                            pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width), kOpaqueAlpha, 1,
                            kTransparentIndex);
    }

    return EncodeIndexedGif(width, height, palette, pixels, error);
}

QByteArray EncodeIndexedGif(int width, int height, const QList<QRgb>& palette, const std::vector<quint8>& pixels,
                            QString* error) {
    const auto fail = [error](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return QByteArray();
    };
    if (width <= 0 || height <= 0 || width > kMaxGifSide || height > kMaxGifSide ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return fail(QStringLiteral("an image of %1 x %2 pixels cannot be written as a GIF").arg(width).arg(height));
    }
    if (palette.isEmpty() || palette.size() > 256) {
        return fail(QStringLiteral("a GIF palette holds 1 to 256 colours, not %1").arg(palette.size()));
    }
    QByteArray data;
    const QString encodeError = EncodeGif(width, height, palette, pixels, data);
    if (!encodeError.isEmpty()) {
        return fail(encodeError);
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
