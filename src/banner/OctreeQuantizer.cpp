#include "banner/OctreeQuantizer.h"

#include <QImage>

#include <algorithm>

namespace {

// The child slot at a node of the given level: one bit of each channel, red the highest.
inline unsigned ChildSlot(uint32_t rgb, unsigned level) {
    const uint32_t bits = (rgb >> level) & 0x010101u;
    return (bits >> 14 | bits >> 7 | bits) & 7u;
}

}  // namespace

inline void OctreeQuantizer::Count(Node* nodes, const Node& leaf, uint32_t pixels, uint32_t lastOrdinal) {
    Node& parent = nodes[leaf.parent];
    parent.pixelCount += pixels;
    parent.lastPixel = lastOrdinal;
}

OctreeQuantizer::OctreeQuantizer(int maxColors)
    : m_maxColors(static_cast<uint32_t>(std::clamp(maxColors, kMinColors, kMaxColors))) {
    // Live leaves never exceed maxColors + 1, and every interior node has a child, so each of the
    // seven interior levels holds at most that many nodes; reserving keeps the pool from moving and
    // its indices within 16 bits.
    m_nodes.reserve(8 * (m_maxColors + 1) + 2);
    m_nodes.resize(2);
    m_freeNodes.resize(m_nodes.capacity() + 1);  // room for one write past the last free node
    m_nodes[kRoot].level = kRootLevel;
    m_nodes[kRoot].pathKey = 0;
}

uint32_t OctreeQuantizer::NewNode(uint32_t parent, uint32_t rgb) {
    const unsigned level = m_nodes[parent].level - 1u;
    uint32_t index;
    if (m_freeCount == 0) {
        index = static_cast<uint32_t>(m_nodes.size());
        m_nodes.emplace_back();
    } else {
        index = m_freeNodes[--m_freeCount];
        m_nodes[index] = Node{};
    }
    Node& node = m_nodes[index];
    node.level = static_cast<uint8_t>(level);
    node.isLeaf = level == 0;
    node.parent = static_cast<uint16_t>(parent);
    node.pathMask = PathMask(level);
    node.pathKey = rgb & node.pathMask;
    if (!node.isLeaf) {
        std::vector<uint16_t>& peers = m_interior[level];
        node.levelSlot = static_cast<uint32_t>(peers.size());
        peers.push_back(static_cast<uint16_t>(index));
    }
    return index;
}

// Merges the node's children, all leaves, into it; its count and last pixel already are theirs.
void OctreeQuantizer::Reduce(uint32_t node) {
    Node& n = m_nodes[node];
    // A hint may lead to a child of level 2 or more, which must then no longer match any colour's
    // path. An empty slot names node 0, whose path key is the free one already: no branch on which
    // slots are taken.
    if (n.level > 2) {
        for (const uint16_t slot : n.children) {
            m_nodes[slot].pathKey = kFreeKey;
        }
    }
    for (uint16_t& slot : n.children) {
        const bool taken = slot != kNone;
        m_freeNodes[m_freeCount] = slot;
        m_freeCount += taken;
        m_leafCount -= taken;
        slot = kNone;
    }
    n.isLeaf = true;
    ++m_leafCount;
    Node& parent = m_nodes[n.parent];
    parent.pixelCount += n.pixelCount;
    parent.lastPixel = std::max(parent.lastPixel, n.lastPixel);

    std::vector<uint16_t>& peers = m_interior[n.level];
    const uint16_t moved = peers.back();
    peers[n.levelSlot] = moved;
    m_nodes[moved].levelSlot = n.levelSlot;
    peers.pop_back();
}

void OctreeQuantizer::ReduceToLimit() {
    while (m_leafCount > m_maxColors) {
        unsigned level = 1;
        while (level < kRootLevel && m_interior[level].empty()) {
            ++level;
        }
        if (level == kRootLevel) {
            return;  // only the root is left
        }
        // The first in the list: the fewest pixels, of equal counts the one whose last pixel came first.
        // One key per node keeps the comparison free of unpredictable branches.
        uint64_t chosenKey = UINT64_MAX;
        uint32_t chosen = kNone;
        for (const uint16_t index : m_interior[level]) {
            const Node& n = m_nodes[index];
            const uint64_t key = uint64_t{n.pixelCount} << 32 | n.lastPixel;
            const uint32_t smaller = 0u - static_cast<uint32_t>(key < chosenKey);
            chosen = (index & smaller) | (chosen & ~smaller);
            chosenKey = std::min(key, chosenKey);
        }
        Reduce(chosen);
    }
}

// One walk from the root that creates what is missing, then the pruning a new leaf calls for.
void OctreeQuantizer::AddColorSlow(uint32_t rgb, uint32_t ordinal) {
    uint32_t current = kRoot;
    uint32_t hint = kRoot;
    bool newLeaf = false;
    while (!m_nodes[current].isLeaf) {
        const unsigned level = m_nodes[current].level;
        const unsigned slot = ChildSlot(rgb, level);
        uint32_t child = m_nodes[current].children[slot];
        if (child == kNone) {
            child = NewNode(current, rgb);
            m_nodes[current].children[slot] = static_cast<uint16_t>(child);
            newLeaf = m_nodes[child].isLeaf;
        }
        current = child;
        if (level - 1 >= 2) {
            hint = current;
        }
    }
    Count(m_nodes.data(), m_nodes[current], 1, ordinal);
    const unsigned level = m_nodes[current].level;
    if (level > 2) {
        // Every key under the leaf leads to it: the first colour of a key nearby needs no walk.
        const unsigned shift = level + 1;
        FillMap((rgb >> 16) >> shift, ((rgb >> 8) & 0xFFu) >> shift, (rgb & 0xFFu) >> shift, level,
                static_cast<uint16_t>(current));
    } else {
        m_mapTable[MapKey(rgb)] = static_cast<uint16_t>(hint);
    }
    if (newLeaf) {
        ++m_leafCount;
        ReduceToLimit();
    }
}

void OctreeQuantizer::AddPixels(const QRgb* pixels, qsizetype count, int minAlpha) {
    Node* const nodes = m_nodes.data();  // reserved, so it never moves
    const uint16_t* const hints = m_mapTable.data();
    uint32_t ordinal = m_added;
    // A run of one colour, common in templates, is counted once it ends; the tree does not change
    // meanwhile. Bit 0 of each channel never decides a path, so it is dropped: neighbours that differ
    // only there make one run.
    uint32_t runColour = kFreeKey;
    Node* runLeaf = nodes;
    uint32_t runLength = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const QRgb pixel = pixels[i];
        if (qAlpha(pixel) < minAlpha) {
            continue;
        }
        const uint32_t rgb = pixel & 0xFEFEFEu;
        if (rgb == runColour) {
            ++runLength;
            ++ordinal;
            continue;
        }
        if (runLength > 0) {
            Count(nodes, *runLeaf, runLength, ordinal - 1);
        }
        // Most colours reach a leaf at or below the node their key last led to.
        Node* node = nodes + hints[MapKey(rgb)];
        if ((rgb & node->pathMask) == node->pathKey) {
            while (!node->isLeaf) {
                const uint16_t child = node->children[ChildSlot(rgb, node->level)];
                if (child == kNone) {
                    break;
                }
                node = nodes + child;
            }
            if (node->isLeaf) {
                runColour = rgb;
                runLeaf = node;
                runLength = 1;
                ++ordinal;
                continue;
            }
        }
        runColour = kFreeKey;
        runLength = 0;
        AddColorSlow(rgb, ordinal++);
    }
    if (runLength > 0) {
        Count(nodes, *runLeaf, runLength, ordinal - 1);
    }
    m_added = ordinal;
}

// red, green and blue hold the bits of the path to the node: bits 7..level+1 of each channel.
void OctreeQuantizer::NumberLeaves(uint32_t node, uint32_t red, uint32_t green, uint32_t blue, uint32_t& next) {
    Node& n = m_nodes[node];
    const unsigned level = n.level;
    if (n.isLeaf) {
        n.pixelCount = next++;
        if (level >= 2) {
            FillMap(red, green, blue, level, static_cast<uint16_t>(kMapResolved | n.pixelCount));
        } else {
            FillLeafMap(red, green, blue, level, static_cast<uint8_t>(n.pixelCount));
        }
        return;
    }
    if (level == 2) {
        const auto map = static_cast<uint16_t>(m_leafMap.size() / kLeafMapSize);
        m_leafMap.resize(m_leafMap.size() + kLeafMapSize);
        FillMap(red, green, blue, level, map);
    }
    for (unsigned slot = 0; slot < 8; ++slot) {
        if (const uint32_t child = n.children[slot]; child != kNone) {
            NumberLeaves(child, red << 1 | (slot >> 2), green << 1 | ((slot >> 1) & 1u), blue << 1 | (slot & 1u), next);
        }
    }
}

// Sets the map entries of every colour whose path passes the node of the given level (2 or more)
// that red, green and blue lead to.
void OctreeQuantizer::FillMap(uint32_t red, uint32_t green, uint32_t blue, unsigned level, uint16_t entry) {
    const unsigned free = level - 2;
    const uint32_t span = 1u << free;
    for (uint32_t r = red << free; r < (red + 1) << free; ++r) {
        for (uint32_t g = green << free; g < (green + 1) << free; ++g) {
            const uint32_t base = r << 10 | g << 5 | blue << free;
            std::fill_n(m_mapTable.begin() + base, span, entry);
        }
    }
}

// Sets the entries of the newest leaf map, that of the leaf's ancestor of level 2, for the colours
// reaching a leaf of level 1 or 0: bits 2..level+1 of each channel are known, those below up to bit 1
// vary freely.
void OctreeQuantizer::FillLeafMap(uint32_t red, uint32_t green, uint32_t blue, unsigned level, uint8_t index) {
    uint8_t* const map = m_leafMap.data() + m_leafMap.size() - kLeafMapSize;
    const unsigned free = level;
    const uint32_t known = 2 - level;
    const uint32_t r = (red & ((1u << known) - 1)) << free;
    const uint32_t g = (green & ((1u << known) - 1)) << free;
    const uint32_t b = (blue & ((1u << known) - 1)) << free;
    for (uint32_t dr = 0; dr < 1u << free; ++dr) {
        for (uint32_t dg = 0; dg < 1u << free; ++dg) {
            for (uint32_t db = 0; db < 1u << free; ++db) {
                map[(r | dr) << 4 | (g | dg) << 2 | (b | db)] = index;
            }
        }
    }
}

void OctreeQuantizer::BuildMap() {
    std::fill(m_mapTable.begin(), m_mapTable.end(), uint16_t{0});
    m_leafMap.assign(kLeafMapSize, 0);
    uint32_t next = 0;
    NumberLeaves(kRoot, 0, 0, 0, next);
}

void OctreeQuantizer::MapPixels(const QRgb* pixels, qsizetype count, uchar* indices, ColourSums& sums, int minAlpha,
                                int shift, uchar skipped) const {
    for (qsizetype i = 0; i < count; ++i) {
        const QRgb pixel = pixels[i];
        if (qAlpha(pixel) < minAlpha) {
            indices[i] = skipped;
            continue;
        }
        const auto index = static_cast<uint32_t>(IndexOf(pixel));
        indices[i] = static_cast<uchar>(index + shift);
        sums.Add(index, pixel, static_cast<unsigned>(i & 1));
    }
}

OctreeQuantizer::ColourSums& OctreeQuantizer::ColourSums::operator+=(const ColourSums& other) {
    for (size_t lane = 0; lane < m_entries.size(); ++lane) {
        for (size_t i = 0; i < kMaxColors; ++i) {
            m_entries[lane][i].redBlue += other.m_entries[lane][i].redBlue;
            m_entries[lane][i].greenPixels += other.m_entries[lane][i].greenPixels;
        }
    }
    return *this;
}

std::array<uint32_t, 4> OctreeQuantizer::ColourSums::Of(uint32_t index) const {
    const uint64_t redBlue = m_entries[0][index].redBlue + m_entries[1][index].redBlue;
    const uint64_t greenPixels = m_entries[0][index].greenPixels + m_entries[1][index].greenPixels;
    return {static_cast<uint32_t>(redBlue >> 32), static_cast<uint32_t>(greenPixels), static_cast<uint32_t>(redBlue),
            static_cast<uint32_t>(greenPixels >> 32)};
}

QList<QRgb> OctreeQuantizer::Palette(const ColourSums& sums) const {
    QList<QRgb> palette;
    palette.reserve(static_cast<qsizetype>(m_leafCount));
    for (uint32_t i = 0; i < m_leafCount; ++i) {
        const auto [red, green, blue, pixels] = sums.Of(i);
        // Every leaf has a pixel when every pixel added was mapped.
        const uint32_t count = std::max(pixels, 1u);
        palette.append(qRgb(static_cast<int>((red / count) & 0xFFu), static_cast<int>((green / count) & 0xFFu),
                            static_cast<int>((blue / count) & 0xFFu)));
    }
    return palette;
}

bool Quantize(const QImage& source, QImage& destination, int maxColors) {
    if (!OctreeQuantizer::IsValidLimit(maxColors) || source.isNull() || source.format() != QImage::Format_RGB888 ||
        destination.format() != QImage::Format_Indexed8 || destination.size() != source.size()) {
        return false;
    }
    const int width = source.width();
    const int height = source.height();
    std::vector<QRgb> row(static_cast<size_t>(width));
    const auto readRow = [&](int y) {
        const uchar* p = source.constScanLine(y);
        for (QRgb& pixel : row) {
            pixel = qRgb(p[0], p[1], p[2]);
            p += 3;
        }
    };

    OctreeQuantizer quantizer(maxColors);
    for (int y = 0; y < height; ++y) {
        readRow(y);
        quantizer.AddPixels(row.data(), width);
    }
    quantizer.BuildMap();
    OctreeQuantizer::ColourSums sums;
    for (int y = 0; y < height; ++y) {
        readRow(y);
        quantizer.MapPixels(row.data(), width, destination.scanLine(y), sums);
    }
    QList<QRgb> palette = quantizer.Palette(sums);
    if (!palette.isEmpty()) {
        palette[0] &= 0x00FFFFFFu;
    }
    destination.setColorTable(palette);
    return true;
}
