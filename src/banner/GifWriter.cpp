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
constexpr int kOpaqueAlpha = 128;  // pixels below it are left transparent
constexpr int kMaxGifSide = 65535;

// Below this many pixels a second thread costs more than it saves.
constexpr qsizetype kMapAheadFrom = 64 * 1024;
constexpr qsizetype kMapAheadBlock = 8 * 1024;

// Maps the pixels to palette entries on a second thread, block by block, ahead of the compressor,
// which then only reads bytes. Mapping on the compressor's own thread adds about a fifth to its time
// while the other core has nothing to do.
class MappedAhead final {
public:
    // None when the system gives no thread; the caller then maps as it compresses.
    static std::unique_ptr<MappedAhead> Start(const OctreeQuantizer& quantizer, const QRgb* pixels, qsizetype count) {
        auto ahead = std::unique_ptr<MappedAhead>(new MappedAhead(count));
        try {
            ahead->m_thread = std::jthread(
                [mapper = ahead.get(), &quantizer, pixels, count] { mapper->MapAll(quantizer, pixels, count); });
        } catch (const std::system_error&) {
            return nullptr;
        }
        return ahead;
    }

    // The entries mapped since the last call, at least one, waiting while the mapping thread is
    // behind. Called only while some are left.
    std::span<const uchar> Next() {
        qsizetype mapped = m_mapped.load(std::memory_order_acquire);
        while (mapped == m_next) {
            m_mapped.wait(mapped, std::memory_order_acquire);
            mapped = m_mapped.load(std::memory_order_acquire);
        }
        const std::span<const uchar> next(m_indices.get() + m_next, static_cast<size_t>(mapped - m_next));
        m_next = mapped;
        return next;
    }

private:
    explicit MappedAhead(qsizetype count)
        : m_indices(std::make_unique_for_overwrite<uchar[]>(static_cast<size_t>(count))) {}

    void MapAll(const OctreeQuantizer& quantizer, const QRgb* pixels, qsizetype count) {
        for (qsizetype done = 0; done < count; done += kMapAheadBlock) {
            const qsizetype length = std::min(kMapAheadBlock, count - done);
            quantizer.MapPixels(pixels + done, length, m_indices.get() + done, kOpaqueAlpha, kFirstQuantizedIndex,
                                kTransparentIndex);
            m_mapped.store(done + length, std::memory_order_release);
            m_mapped.notify_one();
        }
    }

    std::unique_ptr<uchar[]> m_indices;
    std::atomic<qsizetype> m_mapped{0};
    qsizetype m_next = 0;   // read by the compressing thread only
    std::jthread m_thread;  // last, so that it is joined before the indices go
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
        quantizer.AddPixels(reinterpret_cast<const QRgb*>(image.constScanLine(y)), width, kOpaqueAlpha);
    }
    QList<QRgb> palette = quantizer.BuildPalette();
    palette.prepend(qRgb(0, 0, 0));

    const QRgb* const pixels = reinterpret_cast<const QRgb*>(image.constBits());
    const qsizetype count = qsizetype{width} * height;
    QByteArray bytes;
    // Made after the quantizer and the image it reads, so that its thread is joined before they go.
    std::unique_ptr<MappedAhead> ahead;
    if (count >= kMapAheadFrom && std::thread::hardware_concurrency() > 1) {
        ahead = MappedAhead::Start(quantizer, pixels, count);
    }
    if (ahead) {
        bytes = EncodeIndexedGif(width, height, palette, [&ahead] { return ahead->Next(); });
    } else {
        // Mapped a block at a time, so that the compressor runs over plain bytes and no image of
        // indices is stored.
        const auto block = std::make_unique_for_overwrite<uchar[]>(static_cast<size_t>(kMapAheadBlock));
        qsizetype done = 0;
        bytes = EncodeIndexedGif(width, height, palette, [&] {
            const qsizetype length = std::min(kMapAheadBlock, count - done);
            quantizer.MapPixels(pixels + done, length, block.get(), kOpaqueAlpha, kFirstQuantizedIndex,
                                kTransparentIndex);
            done += length;
            return std::span<const uchar>(block.get(), static_cast<size_t>(length));
        });
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
