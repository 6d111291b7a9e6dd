#pragma once

#include <QByteArray>
#include <QList>
#include <QRgb>
#include <QtEndian>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <type_traits>

// The bytes of a GIF89a holding one image of `width` x `height` palette indices, row by row from
// the top: the palette (at most 256 colours, alpha ignored) as the global colour table, padded
// with black to a power of two of at least two entries; a graphics control extension that makes
// entry 0 transparent; the image, LZW-compressed. Indices must lie below the padded table's size;
// higher bits are dropped. Sides outside 1..65535 give an empty array.
//
// The bytes are those every banner has been saved with: the code width grows one code late, the
// table is cleared when code 4095 would be assigned, and data sub-blocks hold 255 bytes.
QByteArray EncodeIndexedGif(int width, int height, const QList<QRgb>& palette, const uchar* pixels);

// The same bytes, with the indices asked for a run of pixels at a time as the compressor reaches
// them: `nextIndices()` gives the indices of one or more of the following pixels, in order, and is
// called only while some are left; it must not give more than are left. It may make them there and
// then, so that no image of indices is stored, or hand on those that work beside the compressor has
// made so far. The palette, of `colours` entries, is asked for once the last indices are in, so
// that what makes the indices may make the palette on the way; one of another size gives an empty
// array.
template <typename NextIndices, typename MakePalette>
requires std::is_invocable_r_v<std::span<const uchar>, NextIndices&>&& std::is_invocable_r_v<QList<QRgb>, MakePalette&>
    QByteArray EncodeIndexedGif(int width, int height, qsizetype colours, NextIndices nextIndices,
                                MakePalette makePalette);

namespace GifDetail {

// LZW codes packed least significant bit first.
struct LzwCodes {
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;
};

bool ValidSides(int width, int height);
// The code size of the image data for a palette of that many colours.
int CodeSize(qsizetype colours);
// The GIF around the image's LZW codes.
QByteArray Assemble(int width, int height, const QList<QRgb>& palette, const LzwCodes& codes);

// Codes packed least significant bit first into a buffer that is large enough for every code the
// image can give, so that writing one never checks for room.
class CodeWriter final {
public:
    explicit CodeWriter(uint8_t* out)
        : m_out(out) {}

    void Put(uint32_t code, unsigned width) {
        m_pending |= uint64_t{code} << m_pendingBits;
        m_pendingBits += width;
        // Stores eight bytes and keeps the whole ones.
        const uint64_t little = qToLittleEndian(m_pending);
        std::memcpy(m_out, &little, sizeof little);
        const unsigned whole = m_pendingBits / 8;
        m_out += whole;
        m_pending >>= whole * 8;
        m_pendingBits -= whole * 8;
    }

    // Past the last byte written; the last one is padded with zero bits.
    uint8_t* End() const { return m_out + (m_pendingBits > 0 ? 1 : 0); }

private:
    uint8_t* m_out;
    uint64_t m_pending = 0;  // at most 7 bits between codes
    unsigned m_pendingBits = 0;
};

constexpr uint32_t kLastCode = 4095;  // codes are at most 12 bits wide
constexpr int kHashBits = 15;         // eight times the codes, so probe runs stay short
constexpr uint32_t kHashSize = 1u << kHashBits;
constexpr int kCodeShift = kHashBits - 12;

// LZW with a dictionary that starts over, announced by a clear code, when its next code would be
// the last one; a code's width grows once the next code to be assigned no longer fits, checked
// after each code is written (one code later than strictly needed, as decoders expect).
//
// The loop's time goes into the chain of dictionary look-ups, one a pixel, each waiting on the one
// before; the rest of its state is kept few enough to stay in registers.
template <typename NextIndices>
LzwCodes Compress(NextIndices& nextIndices, size_t count, int codeSize) {
    const uint32_t clearCode = 1u << codeSize;
    const uint32_t endCode = clearCode + 1;
    const uint32_t mask = clearCode - 1;
    const uint32_t firstCode = endCode + 1;
    const unsigned firstWidth = codeSize + 1;

    // At most one code a pixel, a clear code for every kLastCode - firstCode of them, the first
    // clear code and the end code, each at most 12 bits wide; then room for the last store.
    const size_t maxCodes = count + count / (kLastCode - firstCode) + 3;
    LzwCodes codes{std::make_unique_for_overwrite<uint8_t[]>(maxCodes * 12 / 8 + 1 + sizeof(uint64_t)), 0};
    CodeWriter writer(codes.bytes.get());

    // Open addressing: a slot holds the code of a string shifted left by kCodeShift, 0 when free (no
    // string has code 0), and the string's prefix code and last pixel are kept by code. Slots of 16
    // bits keep the table small. The shifted code is the next look-up's prefix as it is, so the chain
    // from one pixel's look-up to the next is a load and an exclusive or.
    const auto table = std::make_unique<uint16_t[]>(kHashSize);
    const auto keyOf = std::make_unique_for_overwrite<uint32_t[]>(kLastCode + 1);

    uint32_t nextCode = firstCode;
    unsigned width = firstWidth;
    writer.Put(clearCode, width);
    // The inner loop runs over plain bytes, with nothing but the look-up between one pixel and the
    // next.
    std::span<const uchar> indices = nextIndices();
    Q_ASSERT(!indices.empty() && indices.size() <= count);
    uint32_t prefix = (indices.front() & mask) << kCodeShift;  // shifted, as the table holds it
    indices = indices.subspan(1);
    for (size_t left = count - 1;;) {
        for (const uchar index : indices) {
            const uint32_t pixel = index & mask;
            const uint32_t key = prefix << 8 | pixel;
            // Both terms lie below kHashSize, so their exclusive or does too. Consecutive prefixes with
            // one pixel land eight slots apart.
            uint32_t slot = prefix ^ ((pixel * 0x9E3779B1u) >> (32 - kHashBits));
            uint32_t code = table[slot];
            if (code != 0 && keyOf[code >> kCodeShift] == key) [[likely]] {
                prefix = code;
                continue;
            }
            while (code != 0 && keyOf[code >> kCodeShift] != key) {
                slot = (slot + 1) & (kHashSize - 1);
                code = table[slot];
            }
            if (code != 0) {
                prefix = code;
                continue;
            }
            writer.Put(prefix >> kCodeShift, width);
            prefix = pixel << kCodeShift;
            if (nextCode >= kLastCode) {
                writer.Put(clearCode, width);
                nextCode = firstCode;
                width = firstWidth;
                std::fill_n(table.get(), kHashSize, uint16_t{0});
                continue;
            }
            // nextCode passes each power of two on its way up, so this adds 0 or 1.
            width += nextCode >> width;
            table[slot] = static_cast<uint16_t>(nextCode << kCodeShift);
            keyOf[nextCode++] = key;
        }
        left -= indices.size();
        if (left == 0) {
            break;
        }
        indices = nextIndices();
        Q_ASSERT(!indices.empty() && indices.size() <= left);
    }
    prefix >>= kCodeShift;
    writer.Put(prefix, width);
    width += nextCode >> width;
    writer.Put(endCode, width);
    codes.length = static_cast<size_t>(writer.End() - codes.bytes.get());
    return codes;
}

}  // namespace GifDetail

template <typename NextIndices, typename MakePalette>
requires std::is_invocable_r_v<std::span<const uchar>, NextIndices&>&& std::is_invocable_r_v<QList<QRgb>, MakePalette&>
    QByteArray EncodeIndexedGif(int width, int height, qsizetype colours, NextIndices nextIndices,
                                MakePalette makePalette) {
    if (!GifDetail::ValidSides(width, height)) {
        return {};
    }
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    const GifDetail::LzwCodes codes = GifDetail::Compress(nextIndices, count, GifDetail::CodeSize(colours));
    const QList<QRgb> palette = makePalette();
    if (palette.size() != colours) {
        return {};
    }
    return GifDetail::Assemble(width, height, palette, codes);
}
