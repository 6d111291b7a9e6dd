#include "GifEncoding.h"

#include <QtEndian>

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kLastCode = 4095;  // codes are at most 12 bits wide
constexpr int kHashBits = 15;         // eight times the codes, so probe runs stay short
constexpr uint32_t kHashSize = 1u << kHashBits;
constexpr int kSubBlock = 255;

// The smallest number of bits, at least 1, whose power of two holds `colours` table entries.
int TableBits(qsizetype colours) {
    int bits = 1;
    while (bits < 8 && (qsizetype{1} << bits) < colours) {
        ++bits;
    }
    return bits;
}

// LZW with a dictionary that starts over, announced by a clear code, when its next code would be
// the last one; a code's width grows once the next code to be assigned no longer fits, checked
// after each code is written (one code later than strictly needed, as decoders expect). Returns the
// codes packed least significant bit first, the last byte padded with zero bits.
//
// The state lives in locals so that it stays in registers: the loop's time goes into the chain of
// dictionary look-ups, one per pixel.
std::vector<uint8_t> Compress(const uchar* pixels, size_t count, int codeSize) {
    const uint32_t clearCode = 1u << codeSize;
    const uint32_t endCode = clearCode + 1;
    const uint32_t mask = clearCode - 1;
    uint32_t nextCode = endCode + 1;
    unsigned width = codeSize + 1;
    uint32_t widthLimit = 1u << width;

    std::vector<uint8_t> bytes(count / 2 + 64);
    uint8_t* out = bytes.data();
    size_t capacity = bytes.size();
    size_t length = 0;
    uint64_t pending = 0;  // at most 7 bits between codes
    unsigned pendingBits = 0;
    const auto put = [&](uint32_t code) {
        if (length + sizeof(uint64_t) > capacity) {
            bytes.resize(capacity * 2);
            out = bytes.data();
            capacity = bytes.size();
        }
        pending |= uint64_t{code} << pendingBits;
        pendingBits += width;
        // Stores eight bytes and keeps the whole ones.
        const uint64_t little = qToLittleEndian(pending);
        std::memcpy(out + length, &little, sizeof little);
        const unsigned whole = pendingBits / 8;
        length += whole;
        pending >>= whole * 8;
        pendingBits -= whole * 8;
        if (nextCode >= widthLimit) {
            ++width;
            widthLimit <<= 1;
        }
    };

    // Open addressing: a slot holds the code of a string, 0 when free (no string has code 0), and
    // the string's prefix code and last pixel are kept by code. Slots of 16 bits keep the table
    // small enough for the fastest cache.
    std::vector<uint16_t> codeSlots(kHashSize, 0);
    uint16_t* const table = codeSlots.data();
    std::vector<uint32_t> stringKeys(kLastCode + 1);
    uint32_t* const keyOf = stringKeys.data();

    put(clearCode);
    uint32_t prefix = pixels[0] & mask;
    for (size_t i = 1; i < count; ++i) {
        const uint32_t pixel = pixels[i] & mask;
        const uint32_t key = prefix << 8 | pixel;
        // The prefix, which the previous look-up gave, is only shifted; the pixel, known early, is
        // scrambled. Consecutive prefixes with one pixel land eight slots apart.
        uint32_t slot = ((prefix << (kHashBits - 12)) + ((pixel * 0x9E3779B1u) >> (32 - kHashBits))) & (kHashSize - 1);
        uint32_t code = table[slot];
        while (code != 0 && keyOf[code] != key) {
            slot = (slot + 1) & (kHashSize - 1);
            code = table[slot];
        }
        if (code != 0) {
            prefix = code;
            continue;
        }
        put(prefix);
        prefix = pixel;
        if (nextCode >= kLastCode) {
            put(clearCode);
            nextCode = endCode + 1;
            width = codeSize + 1;
            widthLimit = 1u << width;
            std::fill_n(table, kHashSize, uint16_t{0});
        } else {
            table[slot] = static_cast<uint16_t>(nextCode);
            keyOf[nextCode++] = key;
        }
    }
    put(prefix);
    put(endCode);
    if (pendingBits > 0) {
        ++length;  // the pending bits were stored with the last code
    }
    bytes.resize(length);
    return bytes;
}

void AppendWord(QByteArray& out, int value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace

QByteArray EncodeIndexedGif(int width, int height, const QList<QRgb>& palette, const uchar* pixels) {
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) {
        return {};
    }
    const int bits = TableBits(palette.size());
    const int codeSize = bits < 2 ? 2 : bits;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    const std::vector<uint8_t> codes = Compress(pixels, count, codeSize);
    const size_t codeLength = codes.size();
    const uint8_t* const codeBytes = codes.data();

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
