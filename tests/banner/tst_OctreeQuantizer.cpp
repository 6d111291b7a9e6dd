#include "banner/OctreeQuantizer.h"

#include <QImage>
#include <QRandomGenerator>
#include <QTest>

#include <map>
#include <set>
#include <tuple>
#include <valarray>
#include <vector>

namespace {

// The child slots from the root down, three bits a level: bit 7 of red, green and blue, then bit 6
// of each, and so on. A node of level l is known by the bits of its path, 3 * (7 - l) from the top;
// ordered by those bits, the leaves are in depth-first order.
uint32_t Path(uint32_t rgb, int level) {
    uint32_t code = 0;
    for (int bit = 7; bit >= 0; --bit) {
        code = code << 3 | (rgb >> (16 + bit) & 1) << 2 | (rgb >> (8 + bit) & 1) << 1 | (rgb >> bit & 1);
    }
    return code & ~0u << 3 * (level + 1);
}

// The octree in its plainest form: every node on a colour's path counts it, and while there are too
// many leaves, the interior node of the lowest level with the fewest pixels (of equal counts, the one
// that reached its count first) becomes a leaf holding its children's sums. The quantizer under test,
// which counts far less and keeps no such list, must give the same palette and indices.
struct ReferenceOctree {
    explicit ReferenceOctree(int maxColors)
        : maxColors(maxColors) {}

    void Add(uint32_t rgb) {
        ++added;
        for (int level = 6; level >= 0; --level) {  // the root, level 7, is never a leaf
            const auto [at, made] = nodes.try_emplace({Path(rgb, level), level}, Node{level == 0});
            reducible.erase(Key(*at));
            at->second.count++;
            at->second.last = added;
            leafCount += made && level == 0;
            if (at->second.leaf) {
                at->second.sum += {uint64_t(qRed(rgb)), uint64_t(qGreen(rgb)), uint64_t(qBlue(rgb))};
                break;
            }
            reducible.insert(Key(*at));
        }
        while (leafCount > maxColors && !reducible.empty()) {
            const auto [level, count, last, path] = *reducible.begin();
            reducible.erase(reducible.begin());
            Node& merged = nodes[{path, level}];
            for (uint32_t slot = 0; slot < 8; ++slot) {
                if (const auto child = nodes.find({path | slot << 3 * level, level - 1}); child != nodes.end()) {
                    merged.sum += child->second.sum;
                    nodes.erase(child);
                    --leafCount;
                }
            }
            merged.leaf = true;
            ++leafCount;
        }
    }

    // The leaves' truncated average colours, numbered in depth-first order, child slots 0 to 7.
    QList<QRgb> Palette() {
        QList<QRgb> palette;
        for (auto& [id, node] : nodes) {
            if (node.leaf) {
                node.index = int(palette.size());
                const std::valarray<uint64_t> average = node.sum / uint64_t(node.count);
                palette.append(qRgb(int(average[0]), int(average[1]), int(average[2])));
            }
        }
        return palette;
    }

    int Index(uint32_t rgb) const {
        int level = 6;
        while (!nodes.at({Path(rgb, level), level}).leaf) {
            --level;
        }
        return nodes.at({Path(rgb, level), level}).index;
    }

    struct Node {
        bool leaf = false;
        uint32_t count = 0;
        uint32_t last = 0;  // the ordinal of the last colour counted
        std::valarray<uint64_t> sum = std::valarray<uint64_t>(3);
        int index = 0;
    };

    static std::tuple<int, uint32_t, uint32_t, uint32_t> Key(const auto& node) {
        return {node.first.second, node.second.count, node.second.last, node.first.first};
    }

    int maxColors;
    int leafCount = 0;
    uint32_t added = 0;
    std::map<std::pair<uint32_t, int>, Node> nodes;                     // by path and level
    std::set<std::tuple<int, uint32_t, uint32_t, uint32_t>> reducible;  // by level, count, last and path
};

// Colour sequences that exercise different parts of the tree: unrelated colours (constant
// reduction), a small set (little reduction), runs of one colour, runs of neighbouring colours
// that share coarse leaves, colours hopping among a handful of leaves (more than are kept as recent
// ones), and a smooth noisy field like a photo.
const char* const kKinds[] = {"noise", "few colours", "runs", "near runs", "alternating", "gradient"};

std::vector<uint32_t> MakeColours(int kind, size_t count, quint32 seed) {
    QRandomGenerator rng(seed);
    std::vector<uint32_t> set(300);  // the few colours
    std::generate(set.begin(), set.end(), [&] { return rng.generate() & 0xFFFFFF; });
    std::vector<uint32_t> colours;
    while (colours.size() < count) {
        const uint32_t base = rng.bounded(4) == 0 ? rng.generate() : set[rng.bounded(40)];
        const quint32 few = 2 + rng.bounded(6);
        const quint32 burst = kind == 2 || kind == 3 ? 1 + rng.bounded(60) : kind == 4 ? 200 : 1;
        for (quint32 k = 0; k < burst; ++k) {
            const uint32_t random = rng.generate();
            const int x = int(colours.size() % 200);
            const int y = int(colours.size() / 200);
            // The gradient: each channel a smooth function of the position, give or take 3.
            const QRgb smooth = qRgb(x + y / 2 + 3, 248 - x, y + 3) + (random & 0x070707) - 0x030303;
            const uint32_t colour[] = {random,
                                       set[random % 300],
                                       base,
                                       base ^ (random & 0x070707),
                                       set[(uint32_t(y) * 7 + random % few) % 24] ^ (random & 0x030303),
                                       smooth};
            colours.push_back(colour[kind]);
        }
    }
    colours.resize(count);
    return colours;
}

}  // namespace

class tst_OctreeQuantizer : public QObject {
    Q_OBJECT

private slots:
    void sameResultAsPlainOctree_neverMoreLeavesThanTheLimit_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("maxColors");
        for (int kind = 0; kind < 6; ++kind) {
            for (const int maxColors : {8, 9, 64, 255, 256}) {
                QTest::addRow("%s, %d colours", kKinds[kind], maxColors) << kind << maxColors;
            }
        }
    }
    void sameResultAsPlainOctree_neverMoreLeavesThanTheLimit() {
        QFETCH(int, kind);
        QFETCH(int, maxColors);
        for (quint32 seed = 1; seed <= 8; ++seed) {
            const std::vector<uint32_t> colours = MakeColours(kind, 12000, seed);
            ReferenceOctree reference(maxColors);
            OctreeQuantizer quantizer(maxColors);
            for (const uint32_t c : colours) {
                reference.Add(c);
                quantizer.AddColor(c);
                QVERIFY(quantizer.LeafCount() <= maxColors);
            }
            QCOMPARE(quantizer.LeafCount(), reference.leafCount);
            // The palette comes from the colours as they are mapped, where the reference sums them in
            // its leaves as they are added.
            quantizer.BuildMap();
            std::vector<uchar> indices(colours.size());
            OctreeQuantizer::ColourSums sums;
            quantizer.MapPixels(colours.data(), qsizetype(colours.size()), indices.data(), sums);
            QCOMPARE(quantizer.Palette(sums), reference.Palette());
            for (size_t i = 0; i < colours.size(); ++i) {
                QCOMPARE(indices[i], uchar(reference.Index(colours[i])));
            }
        }
    }

    // The image wrapper gives the tree's palette with entry 0 transparent (the GIF's transparent
    // entry, which the first leaf's colour shares), and the index of every pixel; it takes the
    // limits 8 to 256 and nothing else, and what it refuses leaves the destination untouched.
    void quantize_givesTheTreesPaletteOrRefuses_data() {
        QTest::addColumn<QImage>("source");
        QTest::addColumn<QImage>("destination");
        QTest::addColumn<int>("maxColors");
        QTest::addColumn<bool>("taken");
        // Bit 0 of each channel never splits a leaf, and averages truncate: 200 and 201 give 200.
        const uchar pixels[] = {200, 10, 10, 201, 11, 11, 0, 0, 255, 10,  200, 10,
                                200, 10, 10, 201, 11, 11, 0, 0, 255, 201, 11,  11};
        const QImage rgb = QImage(pixels, 4, 2, 12, QImage::Format_RGB888).copy();
        QImage indexed(rgb.size(), QImage::Format_Indexed8);
        indexed.setColorTable({qRgb(1, 2, 3), qRgb(4, 5, 6)});
        indexed.fill(1);
        for (const int limit : {-1, 7, 8, 256, 257}) {
            QTest::addRow("limit %d", limit) << rgb << indexed << limit << (limit == 8 || limit == 256);
        }
        QTest::newRow("source not 24-bit") << rgb.convertToFormat(QImage::Format_ARGB32) << indexed << 8 << false;
        QTest::newRow("null source") << QImage() << indexed << 8 << false;
        QTest::newRow("destination not indexed") << rgb << indexed.convertToFormat(QImage::Format_RGB32) << 8 << false;
        QTest::newRow("destination of another size") << rgb << indexed.copy(0, 0, 4, 3) << 8 << false;
    }
    void quantize_givesTheTreesPaletteOrRefuses() {
        QFETCH(QImage, source);
        QFETCH(QImage, destination);
        QFETCH(int, maxColors);
        QFETCH(bool, taken);
        const QImage before = destination.copy();
        QCOMPARE(Quantize(source, destination, maxColors), taken);
        QCOMPARE(destination == before, !taken);
        if (taken) {
            QCOMPARE(destination.colorTable(),
                     (QList<QRgb>{qRgba(0, 0, 255, 0), qRgb(10, 200, 10), qRgb(200, 10, 10)}));
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(destination.constBits()), 8),
                     QByteArray("\2\2\0\1\2\2\0\2", 8));
        }
    }
};

QTEST_GUILESS_MAIN(tst_OctreeQuantizer)
#include "tst_OctreeQuantizer.moc"
