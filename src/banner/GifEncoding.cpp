#include "GifEncoding.h"

#include <gif_lib.h>

#include <memory>
#include <vector>

namespace {

constexpr int kTransparentIndex = 0;
constexpr int kMaxGifSide = 65535;

int AppendToBuffer(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

}  // namespace

QByteArray EncodeIndexedGif(int width, int height, const QList<QRgb>& palette, const uchar* pixels) {
    if (width < 1 || height < 1 || width > kMaxGifSide || height > kMaxGifSide || palette.size() > 256) {
        return {};
    }
    const int bits = GifBitSize(static_cast<int>(palette.size()));
    std::vector<GifColorType> colors(size_t{1} << bits, GifColorType{0, 0, 0});
    for (qsizetype i = 0; i < palette.size(); ++i) {
        colors[static_cast<size_t>(i)] =
            GifColorType{static_cast<GifByteType>(qRed(palette[i])), static_cast<GifByteType>(qGreen(palette[i])),
                         static_cast<GifByteType>(qBlue(palette[i]))};
    }
    const std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(1 << bits, colors.data()));
    if (!map) {
        return {};
    }

    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendToBuffer, &error);
    if (!gif) {
        return {};
    }
    EGifSetGifVersion(gif, true);

    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.UserInputFlag = false;
    control.DelayTime = 0;
    control.TransparentColor = kTransparentIndex;
    GifByteType extension[4];
    const size_t extensionLength = EGifGCBToExtension(&control, extension);

    bool ok =
        EGifPutScreenDesc(gif, width, height, bits, kTransparentIndex, map.get()) != GIF_ERROR &&
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extensionLength), extension) != GIF_ERROR &&
        EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) != GIF_ERROR;
    // giflib drops the bits of an index above the table's size; it takes the row as writable but
    // changes a copy.
    std::vector<GifPixelType> row(static_cast<size_t>(width));
    for (int y = 0; ok && y < height; ++y) {
        const uchar* from = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
        row.assign(from, from + width);
        ok = EGifPutLine(gif, row.data(), width) != GIF_ERROR;
    }
    // Closing frees the encoder whatever happened before.
    ok = EGifCloseFile(gif, &error) != GIF_ERROR && ok;
    return ok ? out : QByteArray();
}
