// Saving a composed banner as GIF: flatten, quantize, map, encode, write.

#include "GifWriter.h"
#include "OctreeQuantizer.h"

#include <QImage>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// Smooth colour fields with fine grain, like a photograph, under a transparent corner and an
// opaque text-like stripe: at 500 px about 35,000 distinct colours, hardly two equal neighbours.
QImage PhotoLikeBanner(int size) {
    QRandomGenerator rng(42);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    const double scale = 500.0 / size;
    for (int y = 0; y < size; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size; ++x) {
            const double u = x * scale;
            const double v = y * scale;
            if (u + v < 60) {
                row[x] = 0;
                continue;
            }
            if (std::abs(u - v - 40) < 12 && static_cast<int>(u / 9) % 3 != 0) {
                row[x] = qRgb(250, 240, 20);
                continue;
            }
            // Posterised in steps of 5 with half the samples pushed one step off: grain that breaks
            // nearly every run of equal pixels.
            const auto channel = [&](double smooth) {
                const quint32 k = rng.generate();
                const int grain = k % 2 == 0 ? 0 : (k & 2 ? 5 : -5);
                return static_cast<int>(smooth) / 5 * 5 + grain;
            };
            const int r = channel(128 + 100 * std::sin(u / 61.0) * std::cos(v / 83.0));
            const int g = channel(110 + 90 * std::sin((u + v) / 97.0));
            const int b = channel(120 + 100 * std::cos(v / 53.0 - u / 140.0));
            row[x] = qRgb(qBound(0, r, 255), qBound(0, g, 255), qBound(0, b, 255));
        }
    }
    return image;
}

double DistinctColours(const QImage& image) {
    QSet<QRgb> distinct;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            distinct.insert(image.pixel(x, y));
        }
    }
    return static_cast<double>(distinct.size());
}

// Flatten, quantize, map and encode into memory.
void BM_EncodeBannerGif(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const QImage banner = PhotoLikeBanner(size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(EncodeBannerGif(banner));
    }
    state.SetItemsProcessed(state.iterations() * size * size);
    state.counters["colours"] = DistinctColours(banner);
}
BENCHMARK(BM_EncodeBannerGif)->Arg(300)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

// The same plus the safe save, whose flush to disk dominates small banners.
void BM_SaveAsGif(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const QImage banner = PhotoLikeBanner(size);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VornetAdMap.gif"));
    for (auto _ : state) {
        const FileResult result = SaveAsGif(banner, path);
        if (!result.ok()) {
            state.SkipWithError(qPrintable(result.error));
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * size * size);
}
BENCHMARK(BM_SaveAsGif)->Arg(16)->Arg(500)->Unit(benchmark::kMillisecond);

// The quantizer alone (tree, palette, mapping) on the same pixels as 24-bit RGB.
void BM_Quantize(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const QImage source = PhotoLikeBanner(size).convertToFormat(QImage::Format_RGB888);
    QImage destination(source.size(), QImage::Format_Indexed8);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Quantize(source, destination, 256));
    }
    state.SetItemsProcessed(state.iterations() * size * size);
}
BENCHMARK(BM_Quantize)->Arg(300)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
