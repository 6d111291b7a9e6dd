#include "banner/GifEncoding.h"

#include <algorithm>

namespace {

constexpr int kSubBlock = 255;

// The smallest number of bits, at least 1, whose power of two holds `colours` table entries.
int TableBits(qsizetype colours) {
    int bits = 1;
    while (bits < 8 && (qsizetype{1} << bits) < colours) {
        ++bits;
    }
    return bits;
}

void AppendWord(QByteArray& out, int value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace

QByteArray EncodeIndexedGif(int width, int height, const QList<QRgb>& palette, const uchar* pixels) {
    if (!GifDetail::ValidSides(width, height)) {
        return {};
    }
    const std::span<const uchar> all(pixels, static_cast<size_t>(width) * static_cast<size_t>(height));
    return EncodeIndexedGif(
        width, height, palette.size(), [all] { return all; }, [&palette] { return palette; });
}

namespace GifDetail {

bool ValidSides(int width, int height) {
    return width > 0 && height > 0 && width <= 0xFFFF && height <= 0xFFFF;
}

int CodeSize(qsizetype colours) {
    return std::max(TableBits(colours), 2);
}

QByteArray Assemble(int width, int height, const QList<QRgb>& palette, const LzwCodes& codes) {
    const int bits = TableBits(palette.size());
    const int codeSize = CodeSize(palette.size());
    const size_t codeLength = codes.length;
    const uint8_t* const codeBytes = codes.bytes.get();

    QByteArray gif;
    gif.reserve(static_cast<qsizetype>(13 + 3 * (1 << bits) + 8 + 10 + 1 + codeLength + codeLength / kSubBlock + 3));
    gif.append("GIF89a");
    AppendWord(gif, width);
    AppendWord(gif, height);
    // A global table whose colour resolution is stated as its own size; background 0, square pixels.
    gif.append(static_cast<char>(0x80 | (bits - 1) << 4 | (bits - 1)));
    gif.append('\0');
    gif.append('\0');
    for (int i = 0; i < 1 << bits; ++i) {
        const QRgb colour = i < palette.size() ? palette[i] : 0;
        gif.append(static_cast<char>(qRed(colour)));
        gif.append(static_cast<char>(qGreen(colour)));
        gif.append(static_cast<char>(qBlue(colour)));
    }
    // Graphics control: no disposal, no delay, entry 0 transparent.
    gif.append("\x21\xF9\x04\x01\x00\x00\x00\x00", 8);
    gif.append('\x2C');
    AppendWord(gif, 0);
    AppendWord(gif, 0);
    AppendWord(gif, width);
    AppendWord(gif, height);
    gif.append('\0');  // no local table, not interlaced
    gif.append(static_cast<char>(codeSize));
    for (size_t done = 0; done < codeLength; done += kSubBlock) {
        const size_t length = std::min<size_t>(kSubBlock, codeLength - done);
        gif.append(static_cast<char>(length));
        gif.append(reinterpret_cast<const char*>(codeBytes + done), static_cast<qsizetype>(length));
    }
    gif.append('\0');
    gif.append('\x3B');
    return gif;
}

}  // namespace GifDetail
