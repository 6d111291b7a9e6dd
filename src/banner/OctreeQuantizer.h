#pragma once

#include <QList>
#include <QRgb>

#include <array>
#include <cstdint>
#include <vector>

class QImage;

// Reduces 24-bit colours to a palette of at most maxColors entries with an octree that is pruned
// while it grows: after every colour, while there are more leaves than maxColors, the interior
// node of the lowest level with the fewest pixels (of equal counts, the one that reached that count
// first) is merged into a leaf. Bit 0 of each channel never splits, so colours differing only there
// share a leaf. The result depends only on the sequence of colours added.
//
// Use: AddColor() or AddPixels() for every pixel in order, then BuildPalette() once, then IndexOf()
// or MapPixels() for every pixel.
// A quantizer serves one image; it is not thread-safe.
class OctreeQuantizer final {
public:
    static constexpr int kMinColors = 8;
    static constexpr int kMaxColors = 256;

    static constexpr bool IsValidLimit(int maxColors) { return maxColors >= kMinColors && maxColors <= kMaxColors; }

    // maxColors outside kMinColors..kMaxColors is clamped into that range; callers that must
    // refuse such a limit check IsValidLimit() first.
    explicit OctreeQuantizer(int maxColors);

    // Adds one colour, 0x..RRGGBB (the top byte is ignored), and prunes the tree back to maxColors
    // leaves.
    void AddColor(uint32_t rgb) {
        const QRgb pixel = rgb;
        AddPixels(&pixel, 1);
    }

    // AddColor() for each of `count` pixels (0xAARRGGBB) in order, skipping those whose alpha is
    // below minAlpha. Colours that reach a recently used leaf are counted there and entered into the
    // tree later (see Evict()); the tree and the reducible list end up exactly as with one walk per
    // colour.
    void AddPixels(const QRgb* pixels, qsizetype count, int minAlpha = 0);

    // The number of leaves, which is the palette size BuildPalette() will give.
    int LeafCount() const { return static_cast<int>(m_leafCount); }

    // Numbers the leaves depth-first from the root, child slots 0 to 7, and returns their colours
    // (the truncated averages of the colours that reached them, all opaque) in that order.
    // Call once, after the last AddColor().
    QList<QRgb> BuildPalette();

    // The palette index of a colour that was added before BuildPalette(). A colour that was never
    // added gives the index of the leaf its path reaches, or 0 when the path ends before a leaf.
    int IndexOf(uint32_t rgb) const {
        const uint16_t entry = m_mapTable[MapKey(rgb)];
        if (entry & kMapResolved) {
            return entry & 0xFF;
        }
        return IndexOfSlow(rgb);
    }

    // For each of `count` pixels (0xAARRGGBB): `skipped` when its alpha is below minAlpha, otherwise
    // IndexOf() plus `shift`.
    void MapPixels(const QRgb* pixels, qsizetype count, uchar* indices, int minAlpha = 0, int shift = 0,
                   uchar skipped = 0) const;

private:
    // Nodes live in one pool and refer to each other by index; index 0 stands for "none". The
    // fields the list walk reads come first, and a node fills one cache line.
    struct alignas(64) Node {
        uint8_t level = 0;
        bool isLeaf = false;
        uint8_t users = 0;        // recent leaves whose path passes here
        uint32_t pixelCount = 0;  // after BuildPalette(), a leaf's palette index
        uint32_t next = 0;        // the reducible list (interior nodes only)
        uint32_t prev = 0;
        uint32_t owed = 0;  // colours counted by recent leaves that are gone, not yet in pixelCount
        std::array<uint32_t, 8> children{};
        uint32_t sumRed = 0;  // leaves only
        uint32_t sumGreen = 0;
        uint32_t sumBlue = 0;
    };

    static constexpr uint32_t kNone = 0;
    static constexpr uint32_t kListHead = 1;
    static constexpr uint32_t kRoot = 2;

    void AddColorSlow(uint32_t rgb);
    void AddColorOne(uint32_t rgb);
    void Evict(int slot);
    void EvictAll();
    void ReduceToLimit();
    void Reduce(uint32_t node);
    void Reposition(uint32_t node);
    void Unlink(uint32_t node);
    void InsertBefore(uint32_t node, uint32_t before);
    uint32_t NewNode(uint8_t level);
    void NumberLeaves(uint32_t node, uint32_t red, uint32_t green, uint32_t blue, QList<QRgb>& palette);
    void FillMap(uint32_t red, uint32_t green, uint32_t blue, unsigned level, uint16_t entry);
    int IndexOfSlow(uint32_t rgb) const;

    // Bits 7..level+1 of each channel choose the path to a node of the given level, so this mask
    // tells whether a colour reaches that node.
    static constexpr uint32_t PathMask(unsigned level) { return ((0xFFu << (level + 1)) & 0xFFu) * 0x010101u; }

    static constexpr uint32_t kNoLeafKey = 0xFF000000u;  // never equals a masked 24-bit colour

    std::vector<Node> m_nodes;
    std::vector<uint32_t> m_freeNodes;
    uint32_t m_leafCount = 0;
    uint32_t m_maxColors = 0;

    // Recently reached leaves, each with the colours counted there since it came (their number, their
    // sums, the ordinal of the last) and its path from the root. A free slot has lastUse 0.
    static constexpr int kRecentLeaves = 4;
    std::array<uint32_t, kRecentLeaves> m_recentMask{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    std::array<uint32_t, kRecentLeaves> m_recentKey{kNoLeafKey, kNoLeafKey, kNoLeafKey, kNoLeafKey};
    std::array<uint32_t, kRecentLeaves> m_recentCount{};
    std::array<uint32_t, kRecentLeaves> m_recentRed{};
    std::array<uint32_t, kRecentLeaves> m_recentGreen{};
    std::array<uint32_t, kRecentLeaves> m_recentBlue{};
    std::array<uint32_t, kRecentLeaves> m_recentLastUse{};
    std::array<int, kRecentLeaves> m_recentDepth{};
    std::array<std::array<uint32_t, 8>, kRecentLeaves> m_recentPath{};
    uint32_t m_added = 1;  // ordinal of the next colour; 0 marks a free slot

    // IndexOf() by the top five bits of each channel, which decide the path down to level 2, filled
    // by BuildPalette(): kMapResolved plus the palette index where that path ends in a leaf, the node
    // of level 2 where it goes on, or 0 where no colour went.
    static constexpr uint16_t kMapResolved = 0x8000;
    static constexpr uint32_t MapKey(uint32_t rgb) {
        return ((rgb >> 9) & 0x7C00u) | ((rgb >> 6) & 0x3E0u) | ((rgb >> 3) & 0x1Fu);
    }
    std::vector<uint16_t> m_mapTable = std::vector<uint16_t>(1u << 15);
};

// Quantizes a 24-bit RGB image (QImage::Format_RGB888) into an indexed destination
// (QImage::Format_Indexed8) of the same size: sets the destination's colour table, whose entry 0
// has alpha 0 and every other entry alpha 255, and writes every pixel's palette index. Fails without
// touching the destination when maxColors is outside 8..256, the source is null or not RGB888, or
// the destination is not Indexed8 of the source's size.
bool Quantize(const QImage& source, QImage& destination, int maxColors);
