// Saving a composed banner as GIF: flatten, quantize, map, encode, write.

#include "PhotoLikeBanner.h"
#include "banner/GifEncoding.h"
#include "banner/GifWriter.h"
#include "banner/OctreeQuantizer.h"
#include "banner/TemplateImage.h"

#include <QImage>
#include <QSet>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#ifdef VORNET_HAVE_CGIF
#include <cgif.h>
#endif

#include <vector>

namespace {

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
        benchmark::DoNotOptimize(EncodeBannerGif(banner).value);
    }
    state.SetItemsProcessed(state.iterations() * size * size);
    state.counters["colours"] = DistinctColours(banner);
}
BENCHMARK(BM_EncodeBannerGif)->Arg(300)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

// The same plus the safe save, whose flush to disk dominates small banners. Each save replaces the
// other of two banners a pixel apart: a file that holds the new bytes already is left as it is,
// which is not what is measured here.
void BM_SaveAsGif(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    QImage banners[2] = {PhotoLikeBanner(size), PhotoLikeBanner(size)};
    banners[1].setPixel(size / 2, size / 2, qRgb(1, 2, 3));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VornetAdMap.gif"));
    int next = 0;
    for (auto _ : state) {
        const FileResult result = SaveAsGif(banners[next], path);
        next = 1 - next;
        if (!result.Ok()) {
            state.SkipWithError(qPrintable(result.error));
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * size * size);
}
BENCHMARK(BM_SaveAsGif)->Arg(16)->Arg(500)->Unit(benchmark::kMillisecond);

// The three stages of EncodeBannerGif() apart, so that each can be seen to grow linearly: quantize
// (build the tree, prune it, number the leaves), map (every pixel to its entry), encode (LZW and
// the GIF blocks). EncodeBannerGif() maps beside the encoder, on a second thread from 64K pixels;
// here the map stage fills an image of indices, which the encode stage then reads.
enum Stage { kQuantize, kMap, kEncode };

// Size 0 stands for a shipped template (500 px, few colours, large flat areas) as it is decoded.
QImage StageInput(int size) {
    if (size == 0) {
        return LoadTemplateImage(QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/winter.gif"))
            .image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return PhotoLikeBanner(size);
}

// The quantizer with every pixel of a square banner added, as EncodeBannerGif() fills it.
OctreeQuantizer Quantized(const QImage& banner) {
    OctreeQuantizer quantizer(255);
    for (int y = 0; y < banner.height(); ++y) {
        quantizer.AddPixels(reinterpret_cast<const QRgb*>(banner.constScanLine(y)), banner.width(), 128);
    }
    return quantizer;
}

// Every pixel's entry in the GIF's palette, row after row, and the sums the palette is made of.
OctreeQuantizer::ColourSums MapInto(const OctreeQuantizer& quantizer, const QImage& banner,
                                    std::vector<uchar>& pixels) {
    pixels.resize(static_cast<size_t>(banner.width()) * static_cast<size_t>(banner.height()));
    OctreeQuantizer::ColourSums sums;
    for (int y = 0; y < banner.height(); ++y) {
        quantizer.MapPixels(reinterpret_cast<const QRgb*>(banner.constScanLine(y)), banner.width(),
                            pixels.data() + static_cast<size_t>(y) * banner.width(), sums, 128, 1, 0);
    }
    return sums;
}

// A banner as the encode stage reads it: the GIF's palette (the transparent entry, then the
// quantizer's) and every pixel's entry in it.
struct Indexed {
    OctreeQuantizer quantizer;
    QList<QRgb> palette;
    std::vector<uchar> pixels;
};

Indexed IndexedBanner(const QImage& banner) {
    Indexed indexed{Quantized(banner), {}, {}};
    indexed.quantizer.BuildMap();
    indexed.palette = indexed.quantizer.Palette(MapInto(indexed.quantizer, banner, indexed.pixels));
    indexed.palette.prepend(0);
    return indexed;
}

void BM_Stage(benchmark::State& state) {
    const auto stage = static_cast<Stage>(state.range(0));
    const QImage banner = StageInput(static_cast<int>(state.range(1)));
    const int size = banner.width();
    auto [quantizer, palette, pixels] = IndexedBanner(banner);
    for (auto _ : state) {
        switch (stage) {
        case kQuantize: {
            OctreeQuantizer quantized = Quantized(banner);
            quantized.BuildMap();
            benchmark::DoNotOptimize(quantized.LeafCount());
            break;
        }
        case kMap:
            benchmark::DoNotOptimize(quantizer.Palette(MapInto(quantizer, banner, pixels)));
            break;
        case kEncode:
            benchmark::DoNotOptimize(EncodeIndexedGif(size, size, palette, pixels.data()));
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * size * size);
    state.SetLabel(stage == kQuantize ? "quantize" : stage == kMap ? "map" : "encode");
}
BENCHMARK(BM_Stage)
    ->ArgsProduct({{kQuantize, kMap, kEncode}, {300, 500, 2000, 0}})
    ->ArgNames({"stage", "size"})
    ->Unit(benchmark::kMillisecond);

#ifdef VORNET_HAVE_CGIF
// libcgif's encoder on the same indices and palette as the encode stage, for the choice between it
// and ours. Counter same_bytes: whether it writes the bytes ours does, which every banner must keep.
void BM_EncodeWithLibcgif(benchmark::State& state) {
    const QImage banner = StageInput(static_cast<int>(state.range(0)));
    const int size = banner.width();
    auto [quantizer, palette, pixels] = IndexedBanner(banner);
    std::vector<uint8_t> table(3 * 256, 0);
    for (qsizetype i = 0; i < palette.size(); ++i) {
        table[3 * i] = static_cast<uint8_t>(qRed(palette[i]));
        table[3 * i + 1] = static_cast<uint8_t>(qGreen(palette[i]));
        table[3 * i + 2] = static_cast<uint8_t>(qBlue(palette[i]));
    }
    QByteArray written;
    const auto encode = [&] {
        written.clear();
        CGIF_Config config{};
        config.pGlobalPalette = table.data();
        config.attrFlags = CGIF_ATTR_HAS_TRANSPARENCY;
        config.width = static_cast<uint16_t>(size);
        config.height = static_cast<uint16_t>(size);
        config.numGlobalPaletteEntries = 256;
        config.pWriteFn = [](void* context, const uint8_t* data, size_t length) {
            static_cast<QByteArray*>(context)->append(reinterpret_cast<const char*>(data), qsizetype(length));
            return 0;
        };
        config.pContext = &written;
        CGIF* gif = cgif_newgif(&config);
        CGIF_FrameConfig frame{};
        frame.pImageData = pixels.data();
        return gif != nullptr && cgif_addframe(gif, &frame) == CGIF_OK && cgif_close(gif) == CGIF_OK;
    };
    for (auto _ : state) {
        if (!encode()) {
            state.SkipWithError("libcgif failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * size * size);
    state.counters["same_bytes"] = written == EncodeIndexedGif(size, size, palette, pixels.data()) ? 1 : 0;
}
BENCHMARK(BM_EncodeWithLibcgif)->Arg(300)->Arg(500)->Arg(2000)->Arg(0)->Unit(benchmark::kMillisecond);
#endif

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
