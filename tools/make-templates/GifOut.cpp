#include "GifOut.h"

#include <QFile>

#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

struct Colour {
    int channel[3];
    size_t weight;
};

// A palette of at most `limit` colours for the opaque pixels, by median cut at full 8-bit
// precision, with entry 0 left for transparency. Boxes are split at the weighted median of their
// widest channel until there are enough of them; each entry is its box's weighted mean.
std::vector<GifColorType> MedianCutPalette(const std::vector<GifByteType>& red, const std::vector<GifByteType>& green,
                                           const std::vector<GifByteType>& blue, const std::vector<bool>& opaque,
                                           int limit) {
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
    std::vector<GifColorType> palette(1, GifColorType{0, 0, 0});
    for (const Box& box : boxes) {
        double sum[3] = {0.0, 0.0, 0.0};
        double weight = 0.0;
        for (size_t i = box.first; i < box.second; ++i) {
            for (int ch = 0; ch < 3; ++ch) {
                sum[ch] += double(colours[i].channel[ch]) * double(colours[i].weight);
            }
            weight += double(colours[i].weight);
        }
        palette.push_back({GifByteType(std::lround(sum[0] / weight)), GifByteType(std::lround(sum[1] / weight)),
                           GifByteType(std::lround(sum[2] / weight))});
    }
    return palette;
}

// Maps every opaque pixel to its nearest palette entry (1 to `colours`), spreading the rounding
// error over its opaque neighbours (Floyd-Steinberg, serpentine), so long gradients do not band.
// Transparent pixels take entry 0.
void DiffuseOntoPalette(int w, int h, const std::vector<GifByteType>& red, const std::vector<GifByteType>& green,
                        const std::vector<GifByteType>& blue, const std::vector<bool>& opaque,
                        const std::vector<GifColorType>& palette, int colours, std::vector<GifByteType>& indices) {
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
            int best = 1;
            float bestDistance = 1e30F;
            for (int c = 1; c <= colours; ++c) {
                const GifColorType& p = palette[size_t(c)];
                const float dr = want[0] - float(p.Red);
                const float dg = want[1] - float(p.Green);
                const float db = want[2] - float(p.Blue);
                const float distance = 0.30F * dr * dr + 0.59F * dg * dg + 0.11F * db * db;
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = c;
                }
            }
            indices[i] = GifByteType(best);
            const GifColorType& chosen = palette[size_t(best)];
            const float error[3] = {want[0] - float(chosen.Red), want[1] - float(chosen.Green),
                                    want[2] - float(chosen.Blue)};
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

bool SaveTemplateGif(const QImage& source, const QString& path, QRgb matte, int opaqueFrom, QString* error) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const size_t count = size_t(w) * size_t(h);
    std::vector<GifByteType> red(count);
    std::vector<GifByteType> green(count);
    std::vector<GifByteType> blue(count);
    std::vector<bool> opaque(count);
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            const QRgb p = line[x];
            const int a = qAlpha(p);
            opaque[i] = a >= opaqueFrom;
            const auto over = [a](int c, int m) {
                return GifByteType((c * a + m * (255 - a) + 127) / 255);
            };
            red[i] = opaque[i] ? over(qRed(p), qRed(matte)) : GifByteType(qRed(matte));
            green[i] = opaque[i] ? over(qGreen(p), qGreen(matte)) : GifByteType(qGreen(matte));
            blue[i] = opaque[i] ? over(qBlue(p), qBlue(matte)) : GifByteType(qBlue(matte));
        }
    }

    const std::vector<GifColorType> palette = MedianCutPalette(red, green, blue, opaque, 255);
    const int colours = int(palette.size()) - 1;
    std::vector<GifByteType> indices(count);
    DiffuseOntoPalette(w, h, red, green, blue, opaque, palette, colours, indices);

    int status = 0;
    GifFileType* gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &status);
    if (gif == nullptr) {
        *error = QString::fromUtf8(GifErrorString(status));
        return false;
    }
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> table = palette;
    table.resize(256, GifColorType{0, 0, 0});
    ColorMapObject* map = GifMakeMapObject(256, table.data());
    bool ok = EGifPutScreenDesc(gif, w, h, 8, 0, map) != GIF_ERROR;
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.UserInputFlag = false;
    gcb.DelayTime = 0;
    gcb.TransparentColor = 0;
    GifByteType extension[4];
    const size_t extensionLength = EGifGCBToExtension(&gcb, extension);
    ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(extensionLength), extension) != GIF_ERROR;
    ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) != GIF_ERROR;
    for (int y = 0; ok && y < h; ++y) {
        ok = EGifPutLine(gif, indices.data() + size_t(y) * size_t(w), w) != GIF_ERROR;
    }
    if (!ok) {
        *error = QString::fromUtf8(GifErrorString(gif->Error));
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &status) == GIF_ERROR && ok) {
        *error = QString::fromUtf8(GifErrorString(status));
        ok = false;
    }
    return ok;
}
