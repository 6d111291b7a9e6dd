#include "OctreeQuantizer.h"

#include <QImage>

#include <algorithm>

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

void OctreeQuantizer::FreeNode(uint32_t node) {
    m_freeNodes.push_back(node);
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
        FreeNode(slot);
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

// Enters the gathered colours in one walk. While they were gathered nothing else touched the
// tree, and a node only moves among the nodes of its own level, which no other node of the path
// belongs to; so raising each count by the run length and repositioning once puts every node where
// one walk per colour would have: behind every node of its level whose count is not greater than
// the final count. No leaf appears, so no reduction is due.
void OctreeQuantizer::FlushRun() {
    if (m_runLength == 0) {
        return;
    }
    for (int i = 0; i < m_runDepth; ++i) {
        const uint32_t node = m_runPath[static_cast<size_t>(i)];
        m_nodes[node].pixelCount += m_runLength;
        if (m_nodes[node].next != kNone) {
            Reposition(node);
        }
    }
    Node& leaf = m_nodes[m_runPath[static_cast<size_t>(m_runDepth - 1)]];
    leaf.sumRed += m_runRed;
    leaf.sumGreen += m_runGreen;
    leaf.sumBlue += m_runBlue;
    m_runLength = 0;
    m_runMask = 0xFFFFFFFFu;
    m_runKey = kNoRunKey;
}

void OctreeQuantizer::AddColorSlow(uint32_t rgb) {
    FlushRun();

    // A colour that reaches an existing leaf starts a new run; any other adds nodes.
    uint32_t current = kRoot;
    int depth = 0;
    m_runPath[static_cast<size_t>(depth++)] = current;
    while (!m_nodes[current].isLeaf) {
        const uint32_t child = m_nodes[current].children[ChildSlot(rgb, m_nodes[current].level)];
        if (child == kNone) {
            break;
        }
        current = child;
        m_runPath[static_cast<size_t>(depth++)] = current;
    }
    if (m_nodes[current].isLeaf) {
        m_runDepth = depth;
        m_runLength = 1;
        m_runRed = rgb >> 16;
        m_runGreen = (rgb >> 8) & 0xFFu;
        m_runBlue = rgb & 0xFFu;
        m_runMask = PathMask(m_nodes[current].level);
        m_runKey = rgb & m_runMask;
        return;
    }
    AddColorOne(rgb);
    ReduceToLimit();
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
    FlushRun();
    QList<QRgb> palette;
    palette.reserve(static_cast<qsizetype>(m_leafCount));
    NumberLeaves(kRoot, palette);
    return palette;
}

int OctreeQuantizer::IndexOfSlow(uint32_t rgb) {
    uint32_t current = kRoot;
    while (!m_nodes[current].isLeaf) {
        const uint32_t child = m_nodes[current].children[ChildSlot(rgb, m_nodes[current].level)];
        if (child == kNone) {
            return 0;
        }
        current = child;
    }
    const Node& leaf = m_nodes[current];
    m_mapMask = PathMask(leaf.level);
    m_mapKey = rgb & m_mapMask;
    m_mapIndex = static_cast<int>(leaf.pixelCount);
    return m_mapIndex;
}

bool Quantize(const QImage& source, QImage& destination, int maxColors) {
    if (!OctreeQuantizer::IsValidLimit(maxColors) || source.isNull() || source.format() != QImage::Format_RGB888 ||
        destination.format() != QImage::Format_Indexed8 || destination.size() != source.size()) {
        return false;
    }
    const int width = source.width();
    const int height = source.height();
    const auto pixel = [](const uchar* p) {
        return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    };

    OctreeQuantizer quantizer(maxColors);
    for (int y = 0; y < height; ++y) {
        const uchar* row = source.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            quantizer.AddColor(pixel(row + 3 * x));
        }
    }
    QList<QRgb> palette = quantizer.BuildPalette();
    if (!palette.isEmpty()) {
        palette[0] &= 0x00FFFFFFu;
    }
    destination.setColorTable(palette);
    for (int y = 0; y < height; ++y) {
        const uchar* row = source.constScanLine(y);
        uchar* out = destination.scanLine(y);
        for (int x = 0; x < width; ++x) {
            out[x] = static_cast<uchar>(quantizer.IndexOf(pixel(row + 3 * x)));
        }
    }
    return true;
}
