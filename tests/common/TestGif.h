#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <gif_lib.h>

#include <algorithm>
#include <vector>

// Writes `image` as a GIF with palette entry 0 transparent, for tests that need template files
// (Qt reads GIFs but cannot write them). Pixels with alpha below 128 become transparent; at most
// 255 other colours. Returns false when the file cannot be written.
inline bool WriteTestGif(const QString& path, const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    std::vector<QRgb> colors;
    std::vector<GifByteType> pixels(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = image.pixel(x, y);
            GifByteType index = 0;
            if (qAlpha(pixel) >= 128) {
                const QRgb rgb = pixel | 0xFF000000;
                auto found = std::find(colors.begin(), colors.end(), rgb);
                if (found == colors.end()) {
                    if (colors.size() >= 255) {
                        return false;
                    }
                    colors.push_back(rgb);
                    found = colors.end() - 1;
                }
                index = GifByteType(1 + (found - colors.begin()));
            }
            pixels[size_t(y) * size_t(width) + size_t(x)] = index;
        }
    }
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    for (size_t i = 0; i < colors.size(); ++i) {
        map->Colors[i + 1] = {GifByteType(qRed(colors[i])), GifByteType(qGreen(colors[i])),
                              GifByteType(qBlue(colors[i]))};
    }
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.toLocal8Bit().constData(), false, &error);
    if (gif == nullptr) {
        GifFreeMapObject(map);
        return false;
    }
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.TransparentColor = 0;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < height; ++y) {
        ok = EGifPutLine(gif, pixels.data() + size_t(y) * size_t(width), width) == GIF_OK;
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok;
}

// A solid square template.
inline QImage SolidTemplate(const QColor& color, int edge = 100) {
    QImage image(edge, edge, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}
