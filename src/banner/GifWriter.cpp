#include "banner/GifWriter.h"

#include "banner/GifEncoding.h"
#include "banner/OctreeQuantizer.h"
#include "files/ReplaceFile.h"

#include <QByteArray>
#include <QImage>

#include <algorithm>
#include <atomic>
#include <memory>
#include <span>
#include <system_error>
#include <thread>

namespace {

// Entry 0 of the GIF palette is the transparent one; the quantizer's entries follow it.
constexpr int kTransparentIndex = 0;
constexpr int kFirstQuantizedIndex = 1;
constexpr int kQuantizedColors = 255;
constexpr int kMaxGifSide = 65535;

// Below this many pixels a second thread costs more than it saves.
constexpr qsizetype kMapAheadFrom = 64 * 1024;
constexpr qsizetype kMapAheadBlock = 8 * 1024;

// Whether a second core is there to map beside the compressor. Asking the system costs it a file
// read, which is not repeated for every banner.
bool ThreadsToSpare() {
    static const bool spare = std::thread::hardware_concurrency() > 1;
    return spare;
}

// Maps the pixels to palette entries, and sums their colours for the palette, on a second thread,
// block by block, ahead of the compressor, which then only reads bytes. Mapping on the compressor's
// own thread adds about two fifths to its time while the other core has nothing to do.
class MappedAhead final {
public:
    // None when the system gives no thread; the caller then maps as it compresses.
    static std::unique_ptr<MappedAhead> Start(const OctreeQuantizer& quantizer, const QRgb* pixels, qsizetype count) {
        auto ahead = std::unique_ptr<MappedAhead>(new MappedAhead(quantizer, pixels, count));
        try {
            ahead->m_thread = std::jthread([mapper = ahead.get()] { mapper->MapAll(); });
        } catch (const std::system_error&) {
            return nullptr;
        }
        return ahead;
    }

    // The colours mapped on both threads, summed, once every block has been handed on.
    OctreeQuantizer::ColourSums Sums() {
        m_thread.join();
        m_sumsHere += m_sumsThere;
        return m_sumsHere;
    }

    // The entries of the next block. One that the mapping thread has not taken yet is mapped here
    // and then: the other core may be busy with another program, or the thread not yet started, and
    // the compressor would wait on it for longer than the block takes.
    std::span<const uchar> Next() {
        const qsizetype block = m_next++;
        qsizetype unclaimed = block;
        if (m_claimed.compare_exchange_strong(unclaimed, block + 1, std::memory_order_relaxed)) {
            Map(block, m_sumsHere);
        } else {
            qsizetype done = m_mappedThere.load(std::memory_order_acquire);
            while (done <= block) {
                m_mappedThere.wait(done, std::memory_order_acquire);
                done = m_mappedThere.load(std::memory_order_acquire);
            }
        }
        const qsizetype start = block * kMapAheadBlock;
        return {m_indices.get() + start, static_cast<size_t>(std::min(kMapAheadBlock, m_count - start))};
    }

private:
    MappedAhead(const OctreeQuantizer& quantizer, const QRgb* pixels, qsizetype count)
        : m_quantizer(quantizer)
        , m_pixels(pixels)
        , m_count(count)
        , m_blocks((count + kMapAheadBlock - 1) / kMapAheadBlock)
        , m_indices(std::make_unique_for_overwrite<uchar[]>(static_cast<size_t>(count))) {}

    void Map(qsizetype block, OctreeQuantizer::ColourSums& sums) const {
        const qsizetype start = block * kMapAheadBlock;
        m_quantizer.MapPixels(m_pixels + start, std::min(kMapAheadBlock, m_count - start), m_indices.get() + start,
                              sums, kGifOpaqueAlpha, kFirstQuantizedIndex, kTransparentIndex);
    }

    // Blocks are taken in order by whichever thread comes first; this one's are done in that order.
    void MapAll() {
        for (;;) {
            const qsizetype block = m_claimed.fetch_add(1, std::memory_order_relaxed);
            if (block >= m_blocks) {
                return;
            }
            Map(block, m_sumsThere);
            m_mappedThere.store(block + 1, std::memory_order_release);
            m_mappedThere.notify_one();
        }
    }

    const OctreeQuantizer& m_quantizer;
    const QRgb* const m_pixels;
    const qsizetype m_count;
    const qsizetype m_blocks;
    std::unique_ptr<uchar[]> m_indices;
    OctreeQuantizer::ColourSums m_sumsHere;   // of the blocks the compressing thread mapped
    OctreeQuantizer::ColourSums m_sumsThere;  // of those the mapping thread mapped
    std::atomic<qsizetype> m_claimed{0};      // the first block no thread has taken
    std::atomic<qsizetype> m_mappedThere{0};  // past the last block the mapping thread has finished
    qsizetype m_next = 0;                     // read by the compressing thread only
    std::jthread m_thread;                    // last, so that it is joined before the indices go
};

}  // namespace

Result<QByteArray> EncodeBannerGif(const QImage& banner) {
    const auto fail = [](const QString& reason) {
        return Result<QByteArray>::Failure({}, reason);
    };
    if (banner.isNull() || banner.width() <= 0 || banner.height() <= 0) {
        return fail(QStringLiteral("the banner could not be drawn (most likely there is not enough memory)"));
    }
    if (banner.width() > kMaxGifSide || banner.height() > kMaxGifSide) {
        return fail(QStringLiteral("the banner is larger than a GIF can hold (%1 x %2 pixels)")
                        .arg(banner.width())
                        .arg(banner.height()));
    }
    // Premultiplied pixels already hold the colour drawn over black. The rows are read as one run
    // of pixels, so an image whose rows are apart is copied first.
    QImage image = banner.format() == QImage::Format_ARGB32_Premultiplied
                       ? banner
                       : banner.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!image.isNull() && image.bytesPerLine() != qsizetype{image.width()} * qsizetype{sizeof(QRgb)}) {
        image = image.copy();
    }
    if (image.isNull()) {
        return fail(QStringLiteral("out of memory while converting the banner"));
    }
    const int width = image.width();
    const int height = image.height();

    OctreeQuantizer quantizer(kQuantizedColors);
    for (int y = 0; y < height; ++y) {
        quantizer.AddPixels(reinterpret_cast<const QRgb*>(image.constScanLine(y)), width, kGifOpaqueAlpha);
    }
    quantizer.BuildMap();
    // The palette is the GIF's transparent entry, then the quantizer's, whose colours are summed as
    // the pixels are mapped.
    const qsizetype colours = kFirstQuantizedIndex + quantizer.LeafCount();
    const auto palette = [&quantizer](const OctreeQuantizer::ColourSums& sums) {
        return QList<QRgb>{qRgb(0, 0, 0)} + quantizer.Palette(sums);
    };

    const QRgb* const pixels = reinterpret_cast<const QRgb*>(image.constBits());
    const qsizetype count = qsizetype{width} * height;
    QByteArray bytes;
    // Made after the quantizer and the image it reads, so that its thread is joined before they go.
    std::unique_ptr<MappedAhead> ahead;
    if (count >= kMapAheadFrom && ThreadsToSpare()) {
        ahead = MappedAhead::Start(quantizer, pixels, count);
    }
    if (ahead) {
        bytes = EncodeIndexedGif(
            width, height, colours, [&ahead] { return ahead->Next(); }, [&] { return palette(ahead->Sums()); });
    } else {
        // Mapped a block at a time, so that the compressor runs over plain bytes and no image of
        // indices is stored.
        const auto block = std::make_unique_for_overwrite<uchar[]>(static_cast<size_t>(kMapAheadBlock));
        OctreeQuantizer::ColourSums sums;
        qsizetype done = 0;
        bytes = EncodeIndexedGif(
            width, height, colours,
            [&] {
                const qsizetype length = std::min(kMapAheadBlock, count - done);
                quantizer.MapPixels(pixels + done, length, block.get(), sums, kGifOpaqueAlpha, kFirstQuantizedIndex,
                                    kTransparentIndex);
                done += length;
                return std::span<const uchar>(block.get(), static_cast<size_t>(length));
            },
            [&] { return palette(sums); });
    }
    if (bytes.isEmpty()) {
        return fail(QStringLiteral("the GIF encoder failed on a banner of %1 x %2 pixels").arg(width).arg(height));
    }
    return Result<QByteArray>::Success(std::move(bytes));
}

FileResult SaveAsGif(const QImage& banner, const QString& path) {
    const Result<QByteArray> encoded = EncodeBannerGif(banner);
    if (!encoded.Ok()) {
        return FileResult::Failure(path, encoded.error);
    }
    return ReplaceFile(encoded.value, path);
}
