#include "OctreeQuantizer.h"

#include <QImage>

#include <algorithm>
#include <bit>

namespace {

// The child slot at a node of the given level: one bit of each channel, red the highest.
inline unsigned ChildSlot(uint32_t rgb, unsigned level) {
    const uint32_t bits = (rgb >> level) & 0x010101u;
    return (bits >> 14 | bits >> 7 | bits) & 7u;
}

}  // namespace

OctreeQuantizer::OctreeQuantizer(int maxColors)
    : m_maxColors(static_cast<uint32_t>(std::clamp(maxColors, kMinColors, kMaxColors))) {
    // Live leaves never exceed maxColors + 1, and every interior node has a child, so each of the
    // seven interior levels holds at most that many nodes; reserving keeps the pool from moving.
    m_nodes.reserve(8 * (m_maxColors + 1) + 3);
    m_nodes.resize(3);
    m_nodes[kRoot].level = 7;
    m_nodes[kListHead].next = kRoot;
    m_nodes[kRoot].prev = kListHead;
}

uint32_t OctreeQuantizer::NewNode(uint8_t level) {
    uint32_t index;
    if (m_freeNodes.empty()) {
        index = static_cast<uint32_t>(m_nodes.size());
        m_nodes.emplace_back();
    } else {
        index = m_freeNodes.back();
        m_freeNodes.pop_back();
        m_nodes[index] = Node{};
    }
    Node& node = m_nodes[index];
    node.level = level;
    node.isLeaf = level == 0;
    return index;
}

void OctreeQuantizer::Unlink(uint32_t node) {
    Node& n = m_nodes[node];
    m_nodes[n.prev].next = n.next;
    if (n.next != kNone) {
        m_nodes[n.next].prev = n.prev;
    }
    n.next = kNone;
    n.prev = kNone;
}

void OctreeQuantizer::InsertBefore(uint32_t node, uint32_t before) {
    Node& n = m_nodes[node];
    Node& b = m_nodes[before];
    n.next = before;
    n.prev = b.prev;
    m_nodes[b.prev].next = node;
    b.prev = node;
}

// Counts only grow, so a node only moves towards the end, behind every node of its level whose
// count is not greater. The root, level 7 and last, stops every walk.
void OctreeQuantizer::Reposition(uint32_t node) {
    const Node& n = m_nodes[node];
    uint32_t q = n.next;
    for (;;) {
        const Node& candidate = m_nodes[q];
        if (candidate.level > n.level || (candidate.level == n.level && candidate.pixelCount > n.pixelCount)) {
            break;
        }
        q = candidate.next;
    }
    if (q != n.next) {
        Unlink(node);
        InsertBefore(node, q);
    }
}

void OctreeQuantizer::Reduce(uint32_t node) {
    uint32_t red = 0;
    uint32_t green = 0;
    uint32_t blue = 0;
    for (uint32_t& slot : m_nodes[node].children) {
        if (slot == kNone) {
            continue;
        }
        const Node& child = m_nodes[slot];
        red += child.sumRed;
        green += child.sumGreen;
        blue += child.sumBlue;
        m_freeNodes.push_back(slot);
        slot = kNone;
        --m_leafCount;
    }
    Node& n = m_nodes[node];
    n.sumRed = red;
    n.sumGreen = green;
    n.sumBlue = blue;
    n.isLeaf = true;
    ++m_leafCount;
}

void OctreeQuantizer::ReduceToLimit() {
    while (m_leafCount > m_maxColors) {
        const uint32_t first = m_nodes[kListHead].next;
        if (first == kRoot) {
            break;
        }
        Unlink(first);
        Reduce(first);
    }
}

// One colour, one walk from the root, creating what is missing.
void OctreeQuantizer::AddColorOne(uint32_t rgb) {
    uint32_t current = kRoot;
    ++m_nodes[current].pixelCount;
    while (!m_nodes[current].isLeaf) {
        if (m_nodes[current].next != kNone) {
            Reposition(current);
        }
        const unsigned level = m_nodes[current].level;
        const unsigned slot = ChildSlot(rgb, level);
        uint32_t child = m_nodes[current].children[slot];
        if (child == kNone) {
            child = NewNode(static_cast<uint8_t>(level - 1));
            m_nodes[current].children[slot] = child;
            if (m_nodes[child].isLeaf) {
                ++m_leafCount;
            } else {
                InsertBefore(child, m_nodes[kListHead].next);
                Reposition(child);
            }
        }
        current = child;
        ++m_nodes[current].pixelCount;
    }
    Node& leaf = m_nodes[current];
    leaf.sumRed += rgb >> 16;
    leaf.sumGreen += (rgb >> 8) & 0xFFu;
    leaf.sumBlue += rgb & 0xFFu;
}

// Enters what a recent leaf counted into the nodes of its path and frees its slot.
//
// Entering counts late gives the same list as entering each colour at once. The list is ordered by
// level, then count, then the ordinal of the colour that last passed the node: a counted node goes
// behind every node of its level whose count is not greater, and those reached their count earlier.
// Reposition() keeps that order as long as, at each level, nodes are raised in the order of their
// last colour. Slots are freed least recently used first, and a node is raised only when the last
// recent leaf below it goes, so its last colour is that leaf's last one, later than that of every node
// raised before it and earlier than that of every node still waiting. The tree changes only after
// every slot is freed (EvictAll()), so the paths stay valid.
void OctreeQuantizer::Evict(int slot) {
    const auto s = static_cast<size_t>(slot);
    const uint32_t count = m_recentCount[s];
    for (int i = m_recentDepth[s] - 1; i >= 0; --i) {
        const uint32_t index = m_recentPath[s][static_cast<size_t>(i)];
        Node& node = m_nodes[index];
        if (--node.users > 0) {
            node.owed += count;
            continue;
        }
        node.pixelCount += node.owed + count;
        node.owed = 0;
        if (node.isLeaf) {
            node.sumRed += m_recentRed[s];
            node.sumGreen += m_recentGreen[s];
            node.sumBlue += m_recentBlue[s];
        } else if (node.next != kNone) {
            // Most counts stay below the next node's; then the node stays where it is.
            const Node& next = m_nodes[node.next];
            if (next.level == node.level && next.pixelCount <= node.pixelCount) {
                Reposition(index);
            }
        }
    }
    m_recentMask[s] = 0xFFFFFFFFu;
    m_recentKey[s] = kNoLeafKey;
    m_recentDepth[s] = 0;
    m_recentLastUse[s] = 0;
}

void OctreeQuantizer::EvictAll() {
    for (;;) {
        int oldest = -1;
        for (int slot = 0; slot < kRecentLeaves; ++slot) {
            const uint32_t lastUse = m_recentLastUse[static_cast<size_t>(slot)];
            if (lastUse != 0 && (oldest < 0 || lastUse < m_recentLastUse[static_cast<size_t>(oldest)])) {
                oldest = slot;
            }
        }
        if (oldest < 0) {
            return;
        }
        Evict(oldest);
    }
}

void OctreeQuantizer::AddColorSlow(uint32_t rgb) {
    std::array<uint32_t, 8> path{};
    int depth = 0;
    uint32_t current = kRoot;
    path[static_cast<size_t>(depth++)] = current;
    while (!m_nodes[current].isLeaf) {
        const uint32_t child = m_nodes[current].children[ChildSlot(rgb, m_nodes[current].level)];
        if (child == kNone) {
            EvictAll();
            AddColorOne(rgb);
            ReduceToLimit();
            return;
        }
        current = child;
        path[static_cast<size_t>(depth++)] = current;
    }

    // An existing leaf that is not among the recent ones takes the place of the least recently used.
    int slot = 0;
    for (int i = 1; i < kRecentLeaves; ++i) {
        if (m_recentLastUse[static_cast<size_t>(i)] < m_recentLastUse[static_cast<size_t>(slot)]) {
            slot = i;
        }
    }
    Evict(slot);
    const auto s = static_cast<size_t>(slot);
    for (int i = 0; i < depth; ++i) {
        ++m_nodes[path[static_cast<size_t>(i)]].users;
    }
    m_recentPath[s] = path;
    m_recentDepth[s] = depth;
    m_recentMask[s] = PathMask(m_nodes[current].level);
    m_recentKey[s] = rgb & m_recentMask[s];
    m_recentCount[s] = 1;
    m_recentRed[s] = rgb >> 16;
    m_recentGreen[s] = (rgb >> 8) & 0xFFu;
    m_recentBlue[s] = rgb & 0xFFu;
    m_recentLastUse[s] = m_added++;
}

void OctreeQuantizer::AddPixels(const QRgb* pixels, qsizetype count, int minAlpha) {
    uint32_t added = m_added;  // in a register rather than memory
    for (qsizetype i = 0; i < count; ++i) {
        const QRgb pixel = pixels[i];
        if (qAlpha(pixel) < minAlpha) {
            continue;
        }
        const uint32_t rgb = pixel & 0xFFFFFFu;
        unsigned hits = 0;
        for (int slot = 0; slot < kRecentLeaves; ++slot) {
            const auto s = static_cast<size_t>(slot);
            hits |= static_cast<unsigned>((rgb & m_recentMask[s]) == m_recentKey[s]) << slot;
        }
        if (hits == 0) {
            m_added = added;
            AddColorSlow(rgb);
            added = m_added;
            continue;
        }
        const auto s = static_cast<size_t>(std::countr_zero(hits));
        ++m_recentCount[s];
        m_recentRed[s] += rgb >> 16;
        m_recentGreen[s] += (rgb >> 8) & 0xFFu;
        m_recentBlue[s] += rgb & 0xFFu;
        m_recentLastUse[s] = added++;
    }
    m_added = added;
}

// red, green and blue hold the bits of the path to the node: bits 7..level+1 of each channel.
void OctreeQuantizer::NumberLeaves(uint32_t node, uint32_t red, uint32_t green, uint32_t blue, QList<QRgb>& palette) {
    Node& n = m_nodes[node];
    const unsigned level = n.level;
    if (n.isLeaf) {
        const uint32_t count = n.pixelCount;
        palette.append(qRgb(static_cast<int>((n.sumRed / count) & 0xFFu),
                            static_cast<int>((n.sumGreen / count) & 0xFFu),
                            static_cast<int>((n.sumBlue / count) & 0xFFu)));
        n.pixelCount = static_cast<uint32_t>(palette.size() - 1);
        if (level >= 2) {
            FillMap(red, green, blue, level, static_cast<uint16_t>(kMapResolved | n.pixelCount));
        }
        return;
    }
    if (level == 2) {
        FillMap(red, green, blue, level, static_cast<uint16_t>(node));
    }
    for (unsigned slot = 0; slot < 8; ++slot) {
        if (const uint32_t child = n.children[slot]; child != kNone) {
            NumberLeaves(child, red << 1 | (slot >> 2), green << 1 | ((slot >> 1) & 1u), blue << 1 | (slot & 1u),
                         palette);
        }
    }
}

// Sets the look-up entries of every colour whose path passes the node of the given level (2 or more)
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

QList<QRgb> OctreeQuantizer::BuildPalette() {
    EvictAll();
    QList<QRgb> palette;
    palette.reserve(static_cast<qsizetype>(m_leafCount));
    NumberLeaves(kRoot, 0, 0, 0, palette);
    return palette;
}

// Colours whose path goes below level 2.
int OctreeQuantizer::IndexOfSlow(uint32_t rgb) const {
    uint32_t current = m_mapTable[MapKey(rgb)];
    if (current == kNone) {
        return 0;
    }
    while (!m_nodes[current].isLeaf) {
        current = m_nodes[current].children[ChildSlot(rgb, m_nodes[current].level)];
        if (current == kNone) {
            return 0;
        }
    }
    return static_cast<int>(m_nodes[current].pixelCount);
}

void OctreeQuantizer::MapPixels(const QRgb* pixels, qsizetype count, uchar* indices, int minAlpha, int shift,
                                uchar skipped) const {
    for (qsizetype i = 0; i < count; ++i) {
        const QRgb pixel = pixels[i];
        indices[i] = qAlpha(pixel) < minAlpha ? skipped : static_cast<uchar>(IndexOf(pixel) + shift);
    }
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
    QList<QRgb> palette = quantizer.BuildPalette();
    if (!palette.isEmpty()) {
        palette[0] &= 0x00FFFFFFu;
    }
    destination.setColorTable(palette);
    for (int y = 0; y < height; ++y) {
        readRow(y);
        quantizer.MapPixels(row.data(), width, destination.scanLine(y));
    }
    return true;
}
