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
// Use: AddColor() or AddPixels() for every pixel in order, then BuildMap() once, then MapPixels()
// for every pixel added, which sums the colours each palette entry stands for, and Palette() of
// those sums. IndexOf() gives one colour's entry.
//
// The palette's colours are the averages of the colours that reached each leaf. Every colour added
// reaches, once all are in, the leaf its path ends in, since leaves only ever merge upwards; so those
// sums are made while mapping, which may run beside other work, and not while the tree grows.
// A quantizer serves one image. Adding is not thread-safe; mapping is, each thread into sums of
// its own.
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
    // below minAlpha.
    void AddPixels(const QRgb* pixels, qsizetype count, int minAlpha = 0);

    // The number of leaves, which is the palette's size.
    int LeafCount() const { return static_cast<int>(m_leafCount); }

    // Numbers the leaves depth-first from the root, child slots 0 to 7: their palette indices.
    // Call once, after the last AddColor().
    void BuildMap();

    // The palette index of a colour that was added before BuildMap(). A colour that was never
    // added gives the index of the leaf its path reaches, or 0 when the path ends before a leaf.
    int IndexOf(uint32_t rgb) const {
        const uint32_t entry = m_mapTable[MapKey(rgb)];
        return entry & kMapResolved ? entry & 0xFFu : m_leafMap[entry * kLeafMapSize + LeafMapKey(rgb)];
    }

    // Per palette index, the sums of the colours mapped to it and their number. Sums of different
    // runs of pixels add up. They are exact while an index holds fewer than 2^24 pixels, as a
    // 32-bit sum of one channel is.
    class ColourSums {
    public:
        void Add(uint32_t index, uint32_t rgb, unsigned lane) {
            Entry& entry = m_entries[lane][index];
            entry.redBlue += uint64_t{rgb & 0xFF0000u} << 16 | (rgb & 0xFFu);
            entry.greenPixels += uint64_t{1} << 32 | (rgb >> 8 & 0xFFu);
        }
        ColourSums& operator+=(const ColourSums& other);
        // The red, green and blue sums and the number of pixels of an index.
        std::array<uint32_t, 4> Of(uint32_t index) const;

    private:
        // Two additions a pixel: red in the high half of one word and blue in its low half, the
        // number of pixels in the high half of another and green in its low half. Neighbouring
        // pixels, of one index in a flat area, add to two copies in turn, so that no addition
        // waits on the one before.
        struct Entry {
            uint64_t redBlue = 0;
            uint64_t greenPixels = 0;
        };
        std::array<std::array<Entry, kMaxColors>, 2> m_entries{};
    };

    // For each of `count` pixels (0xAARRGGBB): `skipped` when its alpha is below minAlpha, otherwise
    // IndexOf() plus `shift`; the colour of each pixel not skipped is added to `sums`.
    void MapPixels(const QRgb* pixels, qsizetype count, uchar* indices, ColourSums& sums, int minAlpha = 0,
                   int shift = 0, uchar skipped = 0) const;

    // The leaves' colours in palette order, all opaque: the truncated averages of the colours that
    // reached them, from the sums of mapping every pixel that was added.
    QList<QRgb> Palette(const ColourSums& sums) const;

private:
    // The reducible list of the classic algorithm is never built. Its order is that of (level, pixel
    // count, ordinal of the last pixel through the node): a node whose count grows goes behind every
    // node of its level whose count is not greater, and those reached their count earlier. A node's
    // count is the sum of its children's counts and its last pixel the latest of theirs. So a pixel
    // is counted at its leaf's parent only (no leaf's count is ever asked for), and an interior node
    // holds the count and last pixel of its leaf children, which are its own once all its children
    // are leaves. The first node of the list is always one of the lowest level, whose children are
    // all leaves; it is looked for only when a leaf too many appears.
    //
    // Nodes live in one pool and refer to each other by index; index 0 stands for "none". A node fills
    // one cache line. Colours are not summed here: see ColourSums.
    struct alignas(64) Node {
        uint32_t pathMask = 0;        // bits 7..level+1 of each channel
        uint32_t pathKey = kFreeKey;  // those bits of every colour that reaches the node
        uint32_t pixelCount = 0;      // interior nodes, see above; after BuildMap(), a leaf's palette index
        uint32_t lastPixel = 0;       // interior nodes: the ordinal of the last pixel counted
        uint32_t levelSlot = 0;       // interior nodes: the position in m_interior[level]
        uint8_t level = 0;
        bool isLeaf = false;
        uint16_t parent = 0;
        std::array<uint16_t, 8> children{};
    };

    static constexpr uint32_t kNone = 0;
    static constexpr uint32_t kRoot = 1;
    static constexpr int kRootLevel = 7;
    static constexpr uint32_t kFreeKey = 0xFF000000u;  // never equals a masked 24-bit colour

    // Counts `pixels` pixels at the leaf's parent.
    static void Count(Node* nodes, const Node& leaf, uint32_t pixels, uint32_t lastOrdinal);
    void AddColorSlow(uint32_t rgb, uint32_t ordinal);
    void ReduceToLimit();
    void Reduce(uint32_t node);
    uint32_t NewNode(uint32_t parent, uint32_t rgb);
    void NumberLeaves(uint32_t node, uint32_t red, uint32_t green, uint32_t blue, uint32_t& next);
    void FillMap(uint32_t red, uint32_t green, uint32_t blue, unsigned level, uint16_t entry);
    void FillLeafMap(uint32_t red, uint32_t green, uint32_t blue, unsigned level, uint8_t index);

    // Bits 7..level+1 of each channel choose the path to a node of the given level.
    static constexpr uint32_t PathMask(unsigned level) { return ((0xFFu << (level + 1)) & 0xFFu) * 0x010101u; }

    std::vector<Node> m_nodes;
    std::vector<uint16_t> m_freeNodes;  // the first m_freeCount are free
    uint32_t m_freeCount = 0;
    std::array<std::vector<uint16_t>, kRootLevel> m_interior;  // interior nodes by level, the root left out
    uint32_t m_leafCount = 0;
    uint32_t m_maxColors = 0;
    uint32_t m_added = 1;  // ordinal of the next pixel

    // Keyed by the top five bits of each channel, which decide the path down to level 2. While
    // colours are added: a hint, checked against the node's path before use, to the node of level 2
    // or more where a colour with that key ended or went on below (a leaf above level 2 is entered
    // for every key under it). After BuildMap(): kMapResolved plus the palette index where that
    // path ends in a leaf, else the leaf map that decides below.
    static constexpr uint16_t kMapResolved = 0x8000;
    static constexpr uint32_t MapKey(uint32_t rgb) {
        return ((rgb >> 9) & 0x7C00u) | ((rgb >> 6) & 0x3E0u) | ((rgb >> 3) & 0x1Fu);
    }
    std::vector<uint16_t> m_mapTable = std::vector<uint16_t>(1u << 15);

    // Leaf maps, filled by BuildMap(): palette indices keyed by bits 2 and 1 of each channel, which
    // decide the path below level 2. One for each node of level 2 that is not a leaf, and map 0 of
    // zeros for paths no colour took.
    static constexpr uint32_t kLeafMapSize = 64;
    static constexpr uint32_t LeafMapKey(uint32_t rgb) {
        const uint32_t bits = (rgb >> 1) & 0x030303u;
        return (bits | bits >> 6 | bits >> 12) & 0x3Fu;
    }
    std::vector<uint8_t> m_leafMap;
};

// Quantizes a 24-bit RGB image (QImage::Format_RGB888) into an indexed destination
// (QImage::Format_Indexed8) of the same size: sets the destination's colour table, whose entry 0
// has alpha 0 and every other entry alpha 255, and writes every pixel's palette index. Fails without
// touching the destination when maxColors is outside 8..256, the source is null or not RGB888, or
// the destination is not Indexed8 of the source's size.
bool Quantize(const QImage& source, QImage& destination, int maxColors);
