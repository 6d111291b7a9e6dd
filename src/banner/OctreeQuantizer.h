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
// Use: AddColor() for every pixel in order, then BuildPalette() once, then IndexOf() for every pixel.
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
    // leaves. Consecutive colours that end in the same leaf are gathered and entered in one walk,
    // which leaves the tree and the reducible list exactly as one walk per colour would.
    void AddColor(uint32_t rgb) {
        rgb &= 0xFFFFFFu;
        if ((rgb & m_runMask) == m_runKey) {
            ++m_runLength;
            m_runRed += rgb >> 16;
            m_runGreen += (rgb >> 8) & 0xFFu;
            m_runBlue += rgb & 0xFFu;
            return;
        }
        AddColorSlow(rgb);
    }

    // The number of leaves, which is the palette size BuildPalette() will give.
    int LeafCount() const { return static_cast<int>(m_leafCount); }

    // Numbers the leaves depth-first from the root, child slots 0 to 7, and returns their colours
    // (the truncated averages of the colours that reached them, all opaque) in that order.
    // Call once, after the last AddColor().
    QList<QRgb> BuildPalette();

    // The palette index of a colour that was added before BuildPalette(). A colour that was never
    // added gives the index of the deepest node its path reaches, or 0.
    int IndexOf(uint32_t rgb) {
        rgb &= 0xFFFFFFu;
        if ((rgb & m_mapMask) == m_mapKey) {
            return m_mapIndex;
        }
        return IndexOfSlow(rgb);
    }

private:
    // Nodes live in one pool and refer to each other by index; index 0 stands for "none".
    struct Node {
        std::array<uint32_t, 8> children{};
        uint32_t pixelCount = 0;  // after BuildPalette(), a leaf's palette index
        uint32_t next = 0;        // the reducible list (interior nodes only)
        uint32_t prev = 0;
        uint32_t sumRed = 0;  // leaves only
        uint32_t sumGreen = 0;
        uint32_t sumBlue = 0;
        uint8_t level = 0;
        bool isLeaf = false;
    };

    static constexpr uint32_t kNone = 0;
    static constexpr uint32_t kListHead = 1;
    static constexpr uint32_t kRoot = 2;

    void AddColorSlow(uint32_t rgb);
    void AddColorOne(uint32_t rgb);
    void FlushRun();
    void ReduceToLimit();
    void Reduce(uint32_t node);
    void Reposition(uint32_t node);
    void Unlink(uint32_t node);
    void InsertBefore(uint32_t node, uint32_t before);
    uint32_t NewNode(uint8_t level);
    void FreeNode(uint32_t node);
    void NumberLeaves(uint32_t node, QList<QRgb>& palette);
    int IndexOfSlow(uint32_t rgb);

    // Bits 7..level+1 of each channel choose the path to a node of the given level, so this mask
    // tells whether a colour reaches that node.
    static constexpr uint32_t PathMask(unsigned level) { return ((0xFFu << (level + 1)) & 0xFFu) * 0x010101u; }

    static constexpr uint32_t kNoRunKey = 0xFF000000u;  // never equals a masked 24-bit colour

    std::vector<Node> m_nodes;
    std::vector<uint32_t> m_freeNodes;
    uint32_t m_leafCount = 0;
    uint32_t m_maxColors = 0;

    // Colours waiting to be entered along m_runPath, which ends in the leaf they all reach.
    uint32_t m_runMask = 0xFFFFFFFFu;
    uint32_t m_runKey = kNoRunKey;
    uint32_t m_runLength = 0;
    uint32_t m_runRed = 0;
    uint32_t m_runGreen = 0;
    uint32_t m_runBlue = 0;
    std::array<uint32_t, 9> m_runPath{};
    int m_runDepth = 0;

    // The last leaf IndexOf() found.
    uint32_t m_mapMask = 0xFFFFFFFFu;
    uint32_t m_mapKey = kNoRunKey;
    int m_mapIndex = 0;
};

// Quantizes a 24-bit RGB image (QImage::Format_RGB888) into an indexed destination
// (QImage::Format_Indexed8) of the same size: sets the destination's colour table, whose entry 0
// has alpha 0 and every other entry alpha 255, and writes every pixel's palette index. Fails without
// touching the destination when maxColors is outside 8..256, the source is null or not RGB888, or
// the destination is not Indexed8 of the source's size.
bool Quantize(const QImage& source, QImage& destination, int maxColors);
