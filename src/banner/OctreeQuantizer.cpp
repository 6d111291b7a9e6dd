#include "OctreeQuantizer.h"

#include <QImage>

#include <algorithm>
#include <bit>

namespace {

// The child slot at a node of the given level: one bit of each channel, red the highest.
inline unsigned ChildSlot(uint32_t rgb, unsigned level) {
    return (((rgb >> (16 + level)) & 1u) << 2) | (((rgb >> (8 + level)) & 1u) << 1) | ((rgb >> level) & 1u);
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

// Enters the colours that the nodes of the path from depth `keep` on are owed, and shortens the
// path to `keep` nodes. Entering them late gives the same list as entering each colour at once:
// a node moves only among the nodes of its own level, and each path holds one node per level; while
// a node waits on the path no other node of its level is counted, moved or reduced (the path is
// emptied before a colour adds nodes), so raising its count by the total and repositioning once puts
// it where step-by-step repositioning would have, behind every node of its level whose count is not
// greater than the final one.
void OctreeQuantizer::FlushPath(int keep) {
    for (int i = m_pathDepth - 1; i >= keep; --i) {
        const uint32_t index = m_path[static_cast<size_t>(i)];
        Node& node = m_nodes[index];
        node.pixelCount += m_added - m_joined[static_cast<size_t>(i)];
        if (node.isLeaf) {
            node.sumRed += m_leafRed;
            node.sumGreen += m_leafGreen;
            node.sumBlue += m_leafBlue;
            m_leafRed = m_leafGreen = m_leafBlue = 0;
            m_leafMask = 0xFFFFFFFFu;
            m_leafKey = kNoLeafKey;
        } else if (node.next != kNone) {
            Reposition(index);
        }
    }
    m_pathDepth = std::min(m_pathDepth, keep);
}

void OctreeQuantizer::AddColorSlow(uint32_t rgb) {
    // Keep the nodes the new colour shares with the last one: down to the level of the highest bit
    // in which the two differ.
    int depth = 0;
    if (m_pathDepth > 0) {
        const uint32_t diff = rgb ^ m_leafColour;
        const unsigned highBit = std::bit_width((diff | diff >> 8 | diff >> 16) & 0xFEu) - 1;
        depth = 8 - static_cast<int>(highBit);
        FlushPath(depth);
    } else {
        m_path[0] = kRoot;
        m_joined[0] = m_added;
        m_pathDepth = depth = 1;
    }

    uint32_t current = m_path[static_cast<size_t>(depth - 1)];
    while (!m_nodes[current].isLeaf) {
        const uint32_t child = m_nodes[current].children[ChildSlot(rgb, m_nodes[current].level)];
        if (child == kNone) {
            FlushPath(0);
            AddColorOne(rgb);
            ReduceToLimit();
            return;
        }
        current = child;
        m_path[static_cast<size_t>(depth)] = current;
        m_joined[static_cast<size_t>(depth)] = m_added;
        ++depth;
    }
    m_pathDepth = depth;
    m_leafColour = rgb;
    m_leafMask = PathMask(m_nodes[current].level);
    m_leafKey = rgb & m_leafMask;
    ++m_added;
    m_leafRed = rgb >> 16;
    m_leafGreen = (rgb >> 8) & 0xFFu;
    m_leafBlue = rgb & 0xFFu;
}

void OctreeQuantizer::AddPixels(const QRgb* pixels, qsizetype count, int minAlpha) {
    // The loop keeps the leaf's state in registers and hands it back around the slow path.
    uint32_t mask = m_leafMask;
    uint32_t key = m_leafKey;
    uint32_t added = m_added;
    uint32_t red = m_leafRed;
    uint32_t green = m_leafGreen;
    uint32_t blue = m_leafBlue;
    for (qsizetype i = 0; i < count; ++i) {
        const QRgb pixel = pixels[i];
        if (qAlpha(pixel) < minAlpha) {
            continue;
        }
        const uint32_t rgb = pixel & 0xFFFFFFu;
        if ((rgb & mask) == key) {
            ++added;
            red += rgb >> 16;
            green += (rgb >> 8) & 0xFFu;
            blue += rgb & 0xFFu;
            continue;
        }
        m_added = added;
        m_leafRed = red;
        m_leafGreen = green;
        m_leafBlue = blue;
        AddColorSlow(rgb);
        mask = m_leafMask;
        key = m_leafKey;
        added = m_added;
        red = m_leafRed;
        green = m_leafGreen;
        blue = m_leafBlue;
    }
    m_added = added;
    m_leafRed = red;
    m_leafGreen = green;
    m_leafBlue = blue;
}

void OctreeQuantizer::NumberLeaves(uint32_t node, QList<QRgb>& palette) {
    Node& n = m_nodes[node];
    if (n.isLeaf) {
        const uint32_t count = n.pixelCount;
        palette.append(qRgb(static_cast<int>((n.sumRed / count) & 0xFFu),
                            static_cast<int>((n.sumGreen / count) & 0xFFu),
                            static_cast<int>((n.sumBlue / count) & 0xFFu)));
        n.pixelCount = static_cast<uint32_t>(palette.size() - 1);
        return;
    }
    for (const uint32_t child : n.children) {
        if (child != kNone) {
            NumberLeaves(child, palette);
        }
    }
}

QList<QRgb> OctreeQuantizer::BuildPalette() {
    FlushPath(0);
    QList<QRgb> palette;
    palette.reserve(static_cast<qsizetype>(m_leafCount));
    NumberLeaves(kRoot, palette);
    return palette;
}

int OctreeQuantizer::IndexOfSlow(uint32_t rgb) {
    uint16_t& entry = m_mapTable[MapKey(rgb)];
    uint32_t current = entry != 0 ? entry : kRoot;
    while (!m_nodes[current].isLeaf) {
        const uint32_t child = m_nodes[current].children[ChildSlot(rgb, m_nodes[current].level)];
        if (child == kNone) {
            return 0;
        }
        current = child;
        if (m_nodes[current].level >= 2) {
            entry = static_cast<uint16_t>(current);
        }
    }
    const Node& leaf = m_nodes[current];
    if (leaf.level >= 2) {
        entry = static_cast<uint16_t>(kMapResolved | leaf.pixelCount);
    }
    return static_cast<int>(leaf.pixelCount);
}

void OctreeQuantizer::MapPixels(const QRgb* pixels, qsizetype count, uchar* indices, int minAlpha, int shift,
                                uchar skipped) {
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
