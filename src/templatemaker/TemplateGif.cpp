#include "templatemaker/TemplateGif.h"

#include "banner/GifEncoding.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <vector>

namespace {

// Pixels laid over the matte with at least this alpha stay opaque; the others become transparent.
constexpr int kOpaqueFrom = 128;
// Everything is composed for a white page: soft edges and shadows are laid over white.
constexpr QRgb kMatte = 0xFFFFFFFF;
constexpr int kOpaqueColours = 255;  // entry 0 is the transparent one

struct Rgb {
    quint8 red;
    quint8 green;
    quint8 blue;
};

struct Colour {
    int channel[3];
    size_t weight;
};

// A palette of at most `limit` colours for the opaque pixels, by median cut at full 8-bit
// precision, with entry 0 left for transparency. Boxes are split at the weighted median of their
// widest channel until there are enough of them; each entry is its box's weighted mean.
std::vector<Rgb> MedianCutPalette(const std::vector<quint8>& red, const std::vector<quint8>& green,
                                  const std::vector<quint8>& blue, const std::vector<bool>& opaque, int limit) {
    std::map<quint32, size_t> histogram;
    for (size_t i = 0; i < red.size(); ++i) {
        if (opaque[i]) {
            ++histogram[quint32(red[i]) << 16 | quint32(green[i]) << 8 | quint32(blue[i])];
        }
    }
    std::vector<Colour> colours;
    for (const auto& [rgb, weight] : histogram) {
        colours.push_back({{int(rgb >> 16), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)}, weight});
    }
    using Box = std::pair<size_t, size_t>;  // range in `colours`
    std::vector<Box> boxes;
    if (!colours.empty()) {
        boxes.emplace_back(0, colours.size());
    }
    const auto widest = [&colours](const Box& box, int* span) {
        int best = 0;
        *span = -1;
        for (int ch = 0; ch < 3; ++ch) {
            int low = 255;
            int high = 0;
            for (size_t i = box.first; i < box.second; ++i) {
                low = std::min(low, colours[i].channel[ch]);
                high = std::max(high, colours[i].channel[ch]);
            }
            if (high - low > *span) {
                *span = high - low;
                best = ch;
            }
        }
        return best;
    };
    while (int(boxes.size()) < limit) {
        // Split the box with the largest spread times pixel count: big visible areas get detail.
        size_t pick = boxes.size();
        double pickScore = 0.0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            if (boxes[b].second - boxes[b].first < 2) {
                continue;
            }
            int span = 0;
            widest(boxes[b], &span);
            size_t weight = 0;
            for (size_t i = boxes[b].first; i < boxes[b].second; ++i) {
                weight += colours[i].weight;
            }
            const double score = double(span) * std::sqrt(double(weight));
            if (score > pickScore) {
                pickScore = score;
                pick = b;
            }
        }
        if (pick == boxes.size()) {
            break;
        }
        const Box box = boxes[pick];
        int span = 0;
        const int ch = widest(box, &span);
        std::sort(colours.begin() + std::ptrdiff_t(box.first), colours.begin() + std::ptrdiff_t(box.second),
                  [ch](const Colour& a, const Colour& b) { return a.channel[ch] < b.channel[ch]; });
        size_t total = 0;
        for (size_t i = box.first; i < box.second; ++i) {
            total += colours[i].weight;
        }
        size_t running = 0;
        size_t cut = box.first + 1;
        for (size_t i = box.first; i < box.second - 1; ++i) {
            running += colours[i].weight;
            cut = i + 1;
            if (running * 2 >= total) {
                break;
            }
        }
        boxes[pick] = Box(box.first, cut);
        boxes.emplace_back(cut, box.second);
    }
    std::vector<Rgb> palette(1, Rgb{0, 0, 0});
    for (const Box& box : boxes) {
        double sum[3] = {0.0, 0.0, 0.0};
        double weight = 0.0;
        for (size_t i = box.first; i < box.second; ++i) {
            for (int ch = 0; ch < 3; ++ch) {
                sum[ch] += double(colours[i].channel[ch]) * double(colours[i].weight);
            }
            weight += double(colours[i].weight);
        }
        palette.push_back({quint8(std::lround(sum[0] / weight)), quint8(std::lround(sum[1] / weight)),
                           quint8(std::lround(sum[2] / weight))});
    }
    return palette;
}

// Maps every opaque pixel to its nearest palette entry (1 to `colours`), spreading the rounding
// error over its opaque neighbours (Floyd-Steinberg, serpentine), so long gradients do not band.
// Transparent pixels take entry 0.
void DiffuseOntoPalette(int w, int h, const std::vector<quint8>& red, const std::vector<quint8>& green,
                        const std::vector<quint8>& blue, const std::vector<bool>& opaque,
                        const std::vector<Rgb>& palette, int colours, std::vector<quint8>& indices) {
    // Entries 1 to `colours` in the order of their green, and those greens.
    std::vector<int> byGreen(size_t(std::max(colours, 0)));
    std::iota(byGreen.begin(), byGreen.end(), 1);
    std::stable_sort(byGreen.begin(), byGreen.end(),
                     [&palette](int a, int b) { return palette[size_t(a)].green < palette[size_t(b)].green; });
    std::vector<float> greens;
    for (const int c : byGreen) {
        greens.push_back(float(palette[size_t(c)].green));
    }
    // Error carried to the current and the next row, three channels per pixel, with a margin.
    std::vector<float> current(size_t(w + 2) * 3, 0.0F);
    std::vector<float> below(size_t(w + 2) * 3, 0.0F);
    for (int y = 0; y < h; ++y) {
        const bool forward = y % 2 == 0;
        for (int k = 0; k < w; ++k) {
            const int x = forward ? k : w - 1 - k;
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            if (!opaque[i]) {
                indices[i] = 0;
                continue;
            }
            float* e = &current[size_t(x + 1) * 3];
            // A bounded error keeps the dither a fine grain: an unbounded one can pile up at a
            // sharp edge and throw single pixels to far-off colours.
            const auto with = [](int value, float carried) {
                return std::clamp(float(value) + std::clamp(carried, -12.0F, 12.0F), 0.0F, 255.0F);
            };
            const float want[3] = {with(red[i], e[0]), with(green[i], e[1]), with(blue[i], e[2])};
            // The nearest entry, the lowest one of equally near ones. The search starts at the
            // wanted green and goes outwards both ways, each way stopping where the green term
            // alone (a part of every distance, rounded alike) is farther than the best so far.
            int best = 1;
            float bestDistance = 1e30F;
            const auto nearer = [&](int at) {
                const int c = byGreen[size_t(at)];
                const Rgb& p = palette[size_t(c)];
                const float dg = want[1] - float(p.green);
                const float greenPart = 0.59F * dg * dg;
                if (greenPart > bestDistance) {
                    return false;
                }
                const float dr = want[0] - float(p.red);
                const float db = want[2] - float(p.blue);
                const float distance = 0.30F * dr * dr + greenPart + 0.11F * db * db;
                if (distance < bestDistance || (distance == bestDistance && c < best)) {
                    bestDistance = distance;
                    best = c;
                }
                return true;
            };
            const int start = int(std::lower_bound(greens.begin(), greens.end(), want[1]) - greens.begin());
            for (int up = start; up < colours && nearer(up);) {
                ++up;
            }
            for (int down = start - 1; down >= 0 && nearer(down);) {
                --down;
            }
            indices[i] = quint8(best);
            const Rgb& chosen = palette[size_t(best)];
            const float error[3] = {want[0] - float(chosen.red), want[1] - float(chosen.green),
                                    want[2] - float(chosen.blue)};
            const int ahead = forward ? 1 : -1;
            const auto spread = [&](std::vector<float>& row, int dx, float share) {
                const int nx = x + dx;
                if (nx < 0 || nx >= w) {
                    return;
                }
                const int ny = &row == &current ? y : y + 1;
                if (ny >= h || !opaque[size_t(ny) * size_t(w) + size_t(nx)]) {
                    return;
                }
                for (int ch = 0; ch < 3; ++ch) {
                    row[size_t(nx + 1) * 3 + size_t(ch)] += error[ch] * share;
                }
            };
            spread(current, ahead, 7.0F / 16.0F);
            spread(below, -ahead, 3.0F / 16.0F);
            spread(below, 0, 5.0F / 16.0F);
            spread(below, ahead, 1.0F / 16.0F);
        }
        std::swap(current, below);
        std::fill(below.begin(), below.end(), 0.0F);
    }
}

}  // namespace

Result<QByteArray> EncodeTemplateGif(const QImage& source) {
    if (source.isNull()) {
        return Result<QByteArray>::Failure({}, QStringLiteral("the template image is empty"));
    }
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const size_t count = size_t(w) * size_t(h);
    std::vector<quint8> red(count);
    std::vector<quint8> green(count);
    std::vector<quint8> blue(count);
    std::vector<bool> opaque(count);
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            const QRgb p = line[x];
            const int a = qAlpha(p);
            opaque[i] = a >= kOpaqueFrom;
            const auto over = [a](int c, int m) {
                return quint8((c * a + m * (255 - a) + 127) / 255);
            };
            red[i] = opaque[i] ? over(qRed(p), qRed(kMatte)) : quint8(qRed(kMatte));
            green[i] = opaque[i] ? over(qGreen(p), qGreen(kMatte)) : quint8(qGreen(kMatte));
            blue[i] = opaque[i] ? over(qBlue(p), qBlue(kMatte)) : quint8(qBlue(kMatte));
        }
    }

    const std::vector<Rgb> palette = MedianCutPalette(red, green, blue, opaque, kOpaqueColours);
    const int colours = int(palette.size()) - 1;
    std::vector<quint8> indices(count);
    DiffuseOntoPalette(w, h, red, green, blue, opaque, palette, colours, indices);

    // Always a full table of 256 entries, the unused ones black: the templates have always been
    // written that way, and a smaller table would change their bytes.
    QList<QRgb> table(256, qRgb(0, 0, 0));
    for (size_t i = 0; i < palette.size(); ++i) {
        table[qsizetype(i)] = qRgb(palette[i].red, palette[i].green, palette[i].blue);
    }
    QByteArray bytes = EncodeIndexedGif(w, h, table, indices.data());
    if (bytes.isEmpty()) {
        return Result<QByteArray>::Failure(
            {}, QStringLiteral("a template of %1 x %2 pixels cannot be written as a GIF").arg(w).arg(h));
    }
    return Result<QByteArray>::Success(std::move(bytes));
}
