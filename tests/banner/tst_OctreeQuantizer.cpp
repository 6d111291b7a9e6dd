#include "OctreeQuantizer.h"

#include <QImage>
#include <QRandomGenerator>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// The octree in its plainest form: one allocation per node, one walk per colour, the reducible
// list kept by linear walks. The quantizer under test must give the same palette and indices.
class ReferenceOctree {
public:
    explicit ReferenceOctree(uint32_t maxColors)
        : maxColors(maxColors) {
        root.level = 7;
        head.next = &root;
        root.prev = &head;
    }

    void Add(uint32_t rgb) {
        const uint32_t c[3] = {(rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF};
        Node* n = &root;
        ++n->pixelCount;
        while (!n->isLeaf) {
            if (n->next) {
                Reposition(n);
            }
            const unsigned l = n->level;
            const unsigned slot = ((c[0] >> l) & 1) * 4 + ((c[1] >> l) & 1) * 2 + ((c[2] >> l) & 1);
            if (!n->children[slot]) {
                n->children[slot] = std::make_unique<Node>();
                Node* child = n->children[slot].get();
                child->level = l - 1;
                child->isLeaf = child->level == 0;
                if (child->isLeaf) {
                    ++leafCount;
                } else {
                    child->prev = &head;
                    child->next = head.next;
                    head.next->prev = child;
                    head.next = child;
                    Reposition(child);
                }
            }
            n = n->children[slot].get();
            ++n->pixelCount;
        }
        for (int i = 0; i < 3; ++i) {
            n->sum[i] += c[i];
        }
        while (leafCount > maxColors && head.next != &root) {
            Node* first = head.next;
            Unlink(first);
            for (auto& child : first->children) {
                if (child) {
                    for (int i = 0; i < 3; ++i) {
                        first->sum[i] += child->sum[i];
                    }
                    child.reset();
                    --leafCount;
                }
            }
            first->isLeaf = true;
            ++leafCount;
        }
    }

    QList<QRgb> Palette() {
        QList<QRgb> palette;
        Number(&root, palette);
        return palette;
    }

    int Index(uint32_t rgb) const {
        const Node* n = &root;
        while (!n->isLeaf) {
            const unsigned l = n->level;
            n = n->children[((rgb >> (16 + l)) & 1) * 4 + ((rgb >> (8 + l)) & 1) * 2 + ((rgb >> l) & 1)].get();
        }
        return static_cast<int>(n->pixelCount);
    }

    uint32_t leafCount = 0;

private:
    struct Node {
        bool isLeaf = false;
        uint32_t level = 0;
        std::unique_ptr<Node> children[8];
        uint32_t pixelCount = 0;
        Node* next = nullptr;
        Node* prev = nullptr;
        uint32_t sum[3] = {};
    };

    static void Unlink(Node* n) {
        n->prev->next = n->next;
        n->next->prev = n->prev;
        n->next = n->prev = nullptr;
    }

    static void Reposition(Node* n) {
        Node* q = n->next;
        while (!(q->level > n->level || (q->level == n->level && q->pixelCount > n->pixelCount))) {
            q = q->next;
        }
        if (q != n->next) {
            Unlink(n);
            n->next = q;
            n->prev = q->prev;
            q->prev->next = n;
            q->prev = n;
        }
    }

    static void Number(Node* n, QList<QRgb>& palette) {
        if (n->isLeaf) {
            const uint32_t k = n->pixelCount;
            palette.append(qRgb(n->sum[0] / k & 0xFF, n->sum[1] / k & 0xFF, n->sum[2] / k & 0xFF));
            n->pixelCount = static_cast<uint32_t>(palette.size() - 1);
            return;
        }
        for (auto& child : n->children) {
            if (child) {
                Number(child.get(), palette);
            }
        }
    }

    uint32_t maxColors;
    Node root;
    Node head;
};

enum class Kind { Noise, FewColours, Runs, NearRuns, Alternating, Gradient };

// Colour sequences that exercise different parts of the tree: unrelated colours (constant
// reduction), a small set (little reduction), runs of one colour, runs of neighbouring colours
// that share coarse leaves, colours hopping among a handful of leaves (more than are kept as recent
// ones), and a smooth noisy field like a photo.
std::vector<uint32_t> MakeColours(Kind kind, int count, quint32 seed) {
    QRandomGenerator rng(seed);
    std::vector<uint32_t> colours;
    colours.reserve(static_cast<size_t>(count));
    std::vector<uint32_t> set(300);
    for (auto& c : set) {
        c = rng.generate() & 0xFFFFFF;
    }
    while (static_cast<int>(colours.size()) < count) {
        switch (kind) {
        case Kind::Noise:
            colours.push_back(rng.generate());
            break;
        case Kind::FewColours:
            colours.push_back(set[rng.bounded(static_cast<quint32>(set.size()))]);
            break;
        case Kind::Runs:
        case Kind::NearRuns: {
            const uint32_t base = rng.bounded(4) == 0 ? rng.generate() : set[rng.bounded(40)];
            const int length = 1 + static_cast<int>(rng.bounded(60));
            for (int i = 0; i < length; ++i) {
                colours.push_back(kind == Kind::Runs ? base : base ^ (rng.generate() & 0x070707));
            }
            break;
        }
        case Kind::Alternating: {
            std::vector<uint32_t> few(2 + rng.bounded(6));
            for (auto& c : few) {
                c = set[rng.bounded(24)];
            }
            for (int i = 0; i < 200; ++i) {
                colours.push_back(few[rng.bounded(static_cast<quint32>(few.size()))] ^ (rng.generate() & 0x030303));
            }
            break;
        }
        case Kind::Gradient: {
            const int i = static_cast<int>(colours.size());
            const int x = i % 200;
            const int y = i / 200;
            const auto channel = [&](int v) {
                return static_cast<uint32_t>(qBound(0, v + int(rng.bounded(7)) - 3, 255));
            };
            colours.push_back(channel(x + y / 2) << 16 | channel(255 - x) << 8 | channel(y));
            break;
        }
        }
    }
    colours.resize(static_cast<size_t>(count));
    return colours;
}

QImage Rgb888(const std::vector<QRgb>& pixels, int width) {
    QImage image(width, static_cast<int>(pixels.size()) / width, QImage::Format_RGB888);
    for (int i = 0; i < static_cast<int>(pixels.size()); ++i) {
        image.setPixel(i % width, i / width, pixels[static_cast<size_t>(i)]);
    }
    return image;
}

}  // namespace

class TestOctreeQuantizer : public QObject {
    Q_OBJECT

private slots:
    void sameResultAsPlainOctree_neverMoreLeavesThanTheLimit_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("maxColors");
        const std::pair<const char*, Kind> kinds[] = {
            {"noise", Kind::Noise},        {"few colours", Kind::FewColours},  {"runs", Kind::Runs},
            {"near runs", Kind::NearRuns}, {"alternating", Kind::Alternating}, {"gradient", Kind::Gradient}};
        for (const auto& [name, kind] : kinds) {
            for (const int maxColors : {8, 9, 64, 255, 256}) {
                QTest::addRow("%s, %d colours", name, maxColors) << int(kind) << maxColors;
            }
        }
    }

    void sameResultAsPlainOctree_neverMoreLeavesThanTheLimit() {
        QFETCH(int, kind);
        QFETCH(int, maxColors);
        for (quint32 seed = 1; seed <= 8; ++seed) {
            const std::vector<uint32_t> colours = MakeColours(Kind(kind), 12000, seed);
            ReferenceOctree reference(static_cast<uint32_t>(maxColors));
            OctreeQuantizer quantizer(maxColors);
            for (const uint32_t c : colours) {
                reference.Add(c);
                quantizer.AddColor(c);
                QVERIFY(quantizer.LeafCount() <= maxColors);
            }
            QCOMPARE(quantizer.LeafCount(), int(reference.leafCount));
            const QList<QRgb> expected = reference.Palette();
            QCOMPARE(quantizer.BuildPalette(), expected);
            for (const uint32_t c : colours) {
                QCOMPARE(quantizer.IndexOf(c), reference.Index(c));
            }
        }
    }

    void quantize_givesHandComputedPalette_data() {
        QTest::addColumn<std::vector<QRgb>>("pixels");
        QTest::addColumn<int>("maxColors");
        QTest::addColumn<QList<QRgb>>("palette");
        QTest::addColumn<QList<int>>("indices");

        QTest::newRow("bit 0 shares a leaf, averages truncate")
            << std::vector<QRgb>{qRgb(200, 10, 10), qRgb(201, 11, 11), qRgb(201, 11, 11),
                                 qRgb(0, 0, 255),   qRgb(10, 200, 10), qRgb(0, 0, 0)}
            << 256 << QList<QRgb>{qRgba(0, 0, 0, 0), qRgb(0, 0, 255), qRgb(10, 200, 10), qRgb(200, 10, 10)}
            << QList<int>{3, 3, 3, 1, 2, 0};
        QTest::newRow("one colour is one transparent entry")
            << std::vector<QRgb>(4, qRgb(90, 40, 20)) << 8 << QList<QRgb>{qRgba(90, 40, 20, 0)}
            << QList<int>{0, 0, 0, 0};
        QTest::newRow("slots interleave red, green, blue bits below bit 7")
            << std::vector<QRgb>{qRgb(0, 64, 0), qRgb(64, 0, 0), qRgb(0, 0, 64), qRgb(255, 255, 255)} << 8
            << QList<QRgb>{qRgba(0, 0, 64, 0), qRgb(0, 64, 0), qRgb(64, 0, 0), qRgb(255, 255, 255)}
            << QList<int>{1, 2, 0, 3};

        // Nine leaves with room for eight: the newest node (one pixel) is merged first without gain,
        // then of the two nodes with two pixels the one that reached two first.
        const QRgb p0 = qRgb(64, 64, 64), p1 = qRgb(64, 64, 67), q0 = qRgb(64, 64, 128), q1 = qRgb(64, 64, 130);
        const std::vector<QRgb> s{qRgb(128, 64, 64), qRgb(130, 64, 64), qRgb(128, 66, 64), qRgb(130, 66, 64)};
        const QRgb t = qRgb(200, 200, 200);
        const QList<QRgb> sPalette{qRgb(128, 64, 64), qRgb(128, 66, 64), qRgb(130, 64, 64), qRgb(130, 66, 64), t};
        std::vector<QRgb> qFirst{p0, q0, q1, p1};
        qFirst.insert(qFirst.end(), s.begin(), s.end());
        qFirst.push_back(t);
        std::vector<QRgb> pFirst{p0, q0, p1, q1};
        pFirst.insert(pFirst.end(), s.begin(), s.end());
        pFirst.push_back(t);
        QTest::newRow("equal counts: first to reach the count is merged (q)")
            << qFirst << 8 << (QList<QRgb>{qRgba(64, 64, 64, 0), p1, qRgb(64, 64, 129)} + sPalette)
            << QList<int>{0, 2, 2, 1, 3, 5, 4, 6, 7};
        QTest::newRow("equal counts: first to reach the count is merged (p)")
            << pFirst << 8 << (QList<QRgb>{qRgba(64, 64, 65, 0), q0, q1} + sPalette)
            << QList<int>{0, 1, 0, 2, 3, 5, 4, 6, 7};

        // The same race decided by colours that only revisit leaves: after the leaves exist, group a
        // (leaves a0, a1) and group b (b0, b1) both hold two pixels, a first; then a0 and b0 among
        // others revisit theirs, so a reaches three before b, and t, a ninth leaf, makes a the one merged.
        const QRgb a0 = qRgb(64, 64, 64), a1 = qRgb(64, 64, 67), b0 = qRgb(64, 64, 128), b1 = qRgb(64, 64, 130);
        const QRgb c = qRgb(128, 64, 64), d = qRgb(128, 128, 64), e = qRgb(0, 200, 0), f = qRgb(200, 0, 200);
        const QList<QRgb> revisitPalette{qRgba(64, 64, 65, 0), b0, b1, e, c, f, d, t};
        const std::pair<const char*, std::vector<QRgb>> revisitOrders[] = {{"c d a0 b0 e", {c, d, a0, b0, e}},
                                                                           {"c d e a0 b0", {c, d, e, a0, b0}}};
        for (const auto& [name, order] : revisitOrders) {
            std::vector<QRgb> pixels;
            for (const QRgb colour : {f, c, d, e}) {
                pixels.insert(pixels.end(), 4, colour);
            }
            pixels.insert(pixels.end(), {a0, a1, b0, b1});
            pixels.insert(pixels.end(), order.begin(), order.end());
            pixels.push_back(t);
            QList<int> indices;  // a0 and a1 share the merged entry 0; every other colour has its own
            for (const QRgb colour : pixels) {
                indices.append(colour == a0 || colour == a1 ? 0 : static_cast<int>(revisitPalette.indexOf(colour)));
            }
            QTest::addRow("equal counts reached by revisits (%s): first to reach the count is merged", name)
                << pixels << 8 << revisitPalette << indices;
        }
    }

    void quantize_givesHandComputedPalette() {
        QFETCH(std::vector<QRgb>, pixels);
        QFETCH(int, maxColors);
        QFETCH(QList<QRgb>, palette);
        QFETCH(QList<int>, indices);
        const QImage source = Rgb888(pixels, static_cast<int>(pixels.size()));
        QImage destination(source.size(), QImage::Format_Indexed8);
        QVERIFY(Quantize(source, destination, maxColors));
        QCOMPARE(destination.colorTable(), palette);
        QList<int> actual;
        for (int x = 0; x < destination.width(); ++x) {
            actual.append(destination.pixelIndex(x, 0));
        }
        QCOMPARE(actual, indices);
    }

    void quantize_refusesBadArguments_data() {
        QTest::addColumn<QImage>("source");
        QTest::addColumn<int>("destinationFormat");
        QTest::addColumn<QSize>("destinationSize");
        QTest::addColumn<int>("maxColors");
        QTest::addColumn<bool>("accepted");
        QImage rgb(6, 4, QImage::Format_RGB888);
        rgb.fill(qRgb(10, 20, 30));
        const int indexed = QImage::Format_Indexed8;
        QTest::newRow("limit 7") << rgb << indexed << rgb.size() << 7 << false;
        QTest::newRow("limit 8") << rgb << indexed << rgb.size() << 8 << true;
        QTest::newRow("limit 256") << rgb << indexed << rgb.size() << 256 << true;
        QTest::newRow("limit 257") << rgb << indexed << rgb.size() << 257 << false;
        QTest::newRow("limit -1") << rgb << indexed << rgb.size() << -1 << false;
        QTest::newRow("source not 24-bit")
            << rgb.convertToFormat(QImage::Format_ARGB32) << indexed << rgb.size() << 8 << false;
        QTest::newRow("null source") << QImage() << indexed << QSize(1, 1) << 8 << false;
        QTest::newRow("destination not indexed") << rgb << int(QImage::Format_RGB32) << rgb.size() << 8 << false;
        QTest::newRow("destination of another size") << rgb << indexed << QSize(6, 5) << 8 << false;
    }

    void quantize_refusesBadArguments() {
        QFETCH(QImage, source);
        QFETCH(int, destinationFormat);
        QFETCH(QSize, destinationSize);
        QFETCH(int, maxColors);
        QFETCH(bool, accepted);
        QImage destination(destinationSize, QImage::Format(destinationFormat));
        if (destination.format() == QImage::Format_Indexed8) {
            destination.setColorTable({qRgb(1, 2, 3), qRgb(4, 5, 6)});
        }
        destination.fill(1);
        const QImage before = destination.copy();
        QCOMPARE(Quantize(source, destination, maxColors), accepted);
        if (!accepted) {
            QCOMPARE(destination, before);
        } else {
            QCOMPARE(destination.colorTable(), QList<QRgb>{qRgba(10, 20, 30, 0)});
            QCOMPARE(destination.pixelIndex(5, 3), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestOctreeQuantizer)
#include "tst_OctreeQuantizer.moc"
