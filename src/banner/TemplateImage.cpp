#include "banner/TemplateImage.h"

#include "banner/GifSignature.h"
#include "files/FileNames.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"

#include <QDateTime>
#include <QFileInfo>

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Where giflib's reads come from: an open file, read in large chunks (giflib asks for every data
// block's length and bytes apart, which would be a system call each), or bytes in memory.
struct Input {
    static constexpr qsizetype kChunk = qsizetype(64) << 10;

    RegularFile* file = nullptr;
    QByteArray chunk;
    QByteArrayView bytes;    // what is left to hand out: the file's current chunk, or the memory
    bool exhausted = false;  // a read came back short: the data ended
    QByteArray cutShort;     // what that read handed out: the start of the data block the file ends in
    // The first image has to end within kMaxTemplateBytes; what follows it is never asked for, so a
    // long animation is read no further than its first image.
    bool capped = false;  // more was asked for than that
    // The first bytes handed out, which tell a GIF cut short from a file that is none.
    std::array<char, 6> start{};
    qsizetype handedOut = 0;
};

int ReadInput(GifFileType* gif, GifByteType* into, int wanted) {
    auto* input = static_cast<Input*>(gif->UserData);
    const qsizetype count = std::min<qint64>(wanted, kMaxTemplateBytes - input->handedOut);
    input->capped = input->capped || count < wanted;
    qsizetype n = 0;
    while (n < count) {
        if (input->bytes.isEmpty()) {
            if (input->file == nullptr) {
                break;
            }
            input->chunk.resize(Input::kChunk);
            const qint64 got = input->file->Read(input->chunk.data(), Input::kChunk);
            if (got <= 0) {
                break;
            }
            input->bytes = QByteArrayView(input->chunk.constData(), got);
        }
        const qsizetype take = std::min<qsizetype>(count - n, input->bytes.size());
        std::memcpy(into + n, input->bytes.data(), size_t(take));
        for (qsizetype k = 0; k < take && input->handedOut + n + k < qsizetype(input->start.size()); ++k) {
            input->start[size_t(input->handedOut + n + k)] = input->bytes[k];
        }
        input->bytes = input->bytes.sliced(take);
        n += take;
    }
    if (n < count) {
        input->exhausted = true;
        input->cutShort = QByteArray(reinterpret_cast<const char*>(into), n);
    }
    input->handedOut += n;
    return int(n);
}

QString GifFailure(int code) {
    switch (code) {
    case D_GIF_ERR_EOF_TOO_SOON:
        return QString::fromLatin1(kGifCutShort);
    case D_GIF_ERR_NOT_GIF_FILE:
        return QStringLiteral("not a GIF image");
    case D_GIF_ERR_READ_FAILED:
    case D_GIF_ERR_NO_SCRN_DSCR:
    case D_GIF_ERR_NO_IMAG_DSCR:
    case D_GIF_ERR_WRONG_RECORD:
        return QStringLiteral("the GIF's structure is damaged");
    case D_GIF_ERR_DATA_TOO_BIG:
    case D_GIF_ERR_IMAGE_DEFECT:
        return QStringLiteral("the GIF's pixel data is damaged (LZW error)");
    case D_GIF_ERR_NOT_ENOUGH_MEM:
        return QStringLiteral("out of memory");
    default:
        const char* text = GifErrorString(code);
        return text != nullptr ? QString::fromLatin1(text) : QStringLiteral("GIF error %1").arg(code);
    }
}

QString TooLarge(const char* what, int width, int height) {
    return QStringLiteral("its %1 of %2 x %3 pixels is larger than %4 x %4")
        .arg(QLatin1String(what))
        .arg(width)
        .arg(height)
        .arg(kMaxTemplateEdge);
}

QString PastTheCap() {
    return QStringLiteral("its first image does not end within the file's first %1").arg(ByteCount(kMaxTemplateBytes));
}

// The screen a first image is shown on, as browsers show it: the logical screen in the header, grown
// to hold the image (a screen of 0 is the image's extent).
QSize ShownScreen(QSize header, int left, int top, int width, int height) {
    return header.expandedTo({left + width, top + height});
}

struct GifCloser {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// The colours as browsers give them: entries past the table are opaque black, and the transparent
// entry, in the table or past it, keeps its colour with alpha 0.
QList<QRgb> ColorTable(const ColorMapObject& map, int transparent) {
    QList<QRgb> table(256, qRgb(0, 0, 0));
    for (int i = 0; i < std::min(map.ColorCount, 256); ++i) {
        const GifColorType& c = map.Colors[i];
        table[i] = qRgb(c.Red, c.Green, c.Blue);
    }
    if (transparent >= 0 && transparent < 256) {
        table[transparent] &= 0x00FFFFFFu;
    }
    return table;
}

// The LZW decoding of one image's pixel data, fed block by block as giflib hands the blocks on,
// into one run of pixels in the order the data gives them. giflib's own decoder clears its whole
// 4096-entry table at every clear code, so data made of clear codes alone would cost seconds a
// megabyte; here a clear code costs nothing.
//
// A code's string is the previous code's string and one pixel more, so it already stands in the
// output, where the previous code's string began: each code is kept as that place and a length,
// and its pixels are copied from there rather than gathered link by link.
class LzwDecoder {
public:
    // Copies move this many pixels at a time; the buffer has as many to spare at its end.
    static constexpr size_t kStride = 16;

    LzwDecoder(int minimumCodeSize, uchar* pixels, size_t count)
        : m_clear(1 << minimumCodeSize)
        , m_minimumCodeSize(minimumCodeSize)
        , m_pixels(pixels)
        , m_count(count) {
        std::fill_n(m_length.begin(), m_clear, quint16{1});
        Restart();
    }

    // Takes the next data block; an error text when the codes are not a sound LZW stream.
    QString Feed(const GifByteType* block, int length) {
        for (int i = 0; i < length && !m_ended; ++i) {
            m_bits |= quint32(block[i]) << m_bitCount;
            m_bitCount += 8;
            while (m_bitCount >= m_codeSize && !m_ended) {
                const int code = int(m_bits & ((1u << m_codeSize) - 1));
                m_bits >>= m_codeSize;
                m_bitCount -= m_codeSize;
                if (!Take(code)) {
                    return QStringLiteral("the GIF's pixel data is damaged (LZW error)");
                }
            }
        }
        return {};
    }

    bool Complete() const { return m_done == m_count; }

private:
    void Restart() {
        m_codeSize = m_minimumCodeSize + 1;
        m_next = m_clear + 2;
        m_previous = -1;
    }

    bool Take(int code) {
        if (code == m_clear) {
            Restart();
            return true;
        }
        if (code == m_clear + 1) {
            m_ended = true;
            return true;
        }
        if (m_previous < 0) {
            // The first code after a clear code stands for one pixel.
            if (code > m_clear) {
                return false;
            }
            Emit(code);
            m_previous = code;
            WidenWhereFull();
            return true;
        }
        if (code > m_next || (code == m_next && m_next >= kTableSize)) {
            return false;
        }
        if (m_next < kTableSize) {
            // The new entry is the previous string and the first pixel of this one, which is where
            // this one is about to be written; for the code that is being defined right now, that
            // pixel is the previous string's first.
            m_start[size_t(m_next)] = m_lastStart;
            m_length[size_t(m_next)] = quint16(m_length[size_t(m_previous)] + 1);
            ++m_next;
            WidenWhereFull();
        }
        Emit(code);
        m_previous = code;
        return true;
    }

    // Codes grow a bit wider, once read, where the next code to be made would not fit in them. With
    // one-bit pixels that is so at the first code after a clear code, which makes none (clear code 2,
    // next code 4, codes of 2 bits), as encoders, giflib and browsers have it.
    void WidenWhereFull() {
        if (m_next >= (1 << m_codeSize) && m_codeSize < 12) {
            ++m_codeSize;
        }
    }

    // The pixels of `code`'s string, in order; pixels beyond the image are dropped.
    void Emit(int code) {
        const size_t start = m_done;
        m_lastStart = start;
        const size_t length = std::min<size_t>(m_length[size_t(code)], m_count - start);
        uchar* const to = m_pixels + start;
        if (code < m_clear) {
            if (length > 0) {
                *to = uchar(code);
            }
        } else {
            const uchar* const from = m_pixels + m_start[size_t(code)];
            // Forwards, so that a string that begins with the one just before it (the code being
            // defined) reads pixels this very copy wrote.
            if (size_t(to - from) >= kStride) {
                for (size_t i = 0; i < length; i += kStride) {
                    std::memcpy(to + i, from + i, kStride);
                }
            } else {
                for (size_t i = 0; i < length; ++i) {
                    to[i] = from[i];
                }
            }
        }
        m_done = start + length;
        // Browsers show an image once its pixels are all there, whatever codes follow them.
        m_ended = m_done == m_count;
    }

    static constexpr int kTableSize = 4096;

    const int m_clear;
    const int m_minimumCodeSize;
    uchar* const m_pixels;
    const size_t m_count;
    size_t m_done = 0;       // pixels written
    size_t m_lastStart = 0;  // where the last code's string was written
    int m_codeSize = 0;
    int m_next = 0;
    int m_previous = -1;
    bool m_ended = false;  // an end code came, or the image is full: no more codes are read
    quint32 m_bits = 0;
    int m_bitCount = 0;
    std::array<size_t, kTableSize> m_start{};
    std::array<quint16, kTableSize> m_length{};
};

// The image's pixels: every data block of the image is read (a file cut short is refused), and the
// codes must fill the image; what they hold past its last pixel is not decoded.
QString ReadPixels(GifFileType* gif, QImage& frame) {
    int codeSize = 0;
    GifByteType* block = nullptr;
    // The code size is known even where the first block is cut short.
    const bool firstRead = DGifGetCode(gif, &codeSize, &block) != GIF_ERROR;
    if (!firstRead && (codeSize < 1 || codeSize > 8)) {
        return GifFailure(gif->Error);
    }
    if (codeSize < 1 || codeSize > 8) {
        return QStringLiteral("the GIF's pixel data is damaged (LZW error)");
    }
    const int width = frame.width();
    const size_t count = size_t(width) * size_t(frame.height());
    const std::unique_ptr<uchar[]> pixels(new (std::nothrow) uchar[count + LzwDecoder::kStride]);
    if (!pixels) {
        return QStringLiteral("out of memory");
    }
    LzwDecoder decoder(codeSize, pixels.get(), count);
    // A file that ends after the image's last pixel is shown by browsers all the same: without the
    // empty block that closes its data, or within the block that holds that pixel (its last bytes
    // held only the end code).
    const auto endsAfterLastPixel = [&] {
        const QByteArray& cut = static_cast<const Input*>(gif->UserData)->cutShort;
        return decoder.Feed(reinterpret_cast<const GifByteType*>(cut.constData()), int(cut.size())).isEmpty() &&
               decoder.Complete();
    };
    if (!firstRead) {
        if (!endsAfterLastPixel()) {
            return GifFailure(gif->Error);
        }
        block = nullptr;
    }
    while (block != nullptr) {
        if (QString failure = decoder.Feed(block + 1, block[0]); !failure.isEmpty()) {
            return failure;
        }
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR) {
            if (endsAfterLastPixel()) {
                break;
            }
            return GifFailure(gif->Error);
        }
    }
    if (!decoder.Complete()) {
        return QStringLiteral("the GIF's pixel data ends before its image is complete");
    }
    // The rows in the order the data fills them: all of them, or the four interlace passes.
    static constexpr std::array<int, 4> kStart = {0, 4, 2, 1};
    static constexpr std::array<int, 4> kStep = {8, 8, 4, 2};
    const bool interlaced = gif->Image.Interlace;
    const uchar* from = pixels.get();
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
        for (int y = interlaced ? kStart[size_t(pass)] : 0; y < frame.height();
             y += interlaced ? kStep[size_t(pass)] : 1) {
            std::memcpy(frame.scanLine(y), from, size_t(width));
            from += width;
        }
    }
    return {};
}

// The index that fills the screen around the image, see-through: the transparent colour, else an
// entry of the table that no pixel uses, made transparent in `table`. -1 when all 256 are used.
int FillIndex(const QImage& frame, QList<QRgb>& table, int transparent) {
    if (transparent >= 0) {
        return transparent & 0xFF;
    }
    std::array<bool, 256> used{};
    for (int y = 0; y < frame.height(); ++y) {
        const uchar* indexes = frame.constScanLine(y);
        for (int x = 0; x < frame.width(); ++x) {
            used[indexes[x]] = true;
        }
    }
    for (int i = 0; i < 256; ++i) {
        if (!used[size_t(i)]) {
            table[i] = 0;
            return i;
        }
    }
    return -1;
}

// The screen with the image laid on it, where the image does not cover all of it (the screen holds
// the whole image). Browsers show the rest of the screen see-through, whatever background colour the
// file names, so it is transparent here too. The screen keeps one byte a pixel whenever the fill has
// an index, so a large screen costs no more than its image.
QImage OnScreen(const QImage& frame, QSize size, int left, int top, int transparent) {
    QList<QRgb> table = frame.colorTable();
    if (const int fill = FillIndex(frame, table, transparent); fill >= 0) {
        QImage screen(size, QImage::Format_Indexed8);
        if (screen.isNull()) {
            return screen;
        }
        screen.setColorTable(table);
        screen.fill(uint(fill));
        for (int y = 0; y < frame.height(); ++y) {
            std::memcpy(screen.scanLine(top + y) + left, frame.constScanLine(y), size_t(frame.width()));
        }
        return screen;
    }
    QImage screen(size, QImage::Format_ARGB32);
    if (screen.isNull()) {
        return screen;
    }
    screen.fill(0u);
    for (int y = 0; y < frame.height(); ++y) {
        const uchar* indexes = frame.constScanLine(y);
        auto* line = reinterpret_cast<QRgb*>(screen.scanLine(top + y)) + left;
        for (int x = 0; x < frame.width(); ++x) {
            line[x] = table[indexes[x]];
        }
    }
    return screen;
}

TemplateImage Decode(Input& input, const QString& path) {
    TemplateImage result{{}, FileResult::Success(path)};
    // Whatever giflib makes of it, a GIF that ends early is a file cut short; a file too short to
    // hold the signature is one only where what it holds begins like one.
    const auto refuse = [&result, &input](const QString& reason) {
        const QByteArrayView start(input.start.data(),
                                   std::min<qsizetype>(input.handedOut, qsizetype(input.start.size())));
        const bool gifStart = BeginsLikeGifSignature(start);
        result.image = QImage();
        result.status.error = input.handedOut == 0 ? QStringLiteral("the file is empty")
                              : !gifStart          ? GifFailure(D_GIF_ERR_NOT_GIF_FILE)
                              : input.capped       ? PastTheCap()
                              : input.exhausted    ? GifFailure(D_GIF_ERR_EOF_TOO_SOON)
                                                   : reason;
        return result;
    };
    int error = 0;
    const GifHandle gif(DGifOpen(&input, ReadInput, &error));
    // giflib looks at "GIF" alone.
    if (!gif || !HasGifSignature(QByteArrayView(input.start.data(), qsizetype(input.start.size())))) {
        return refuse(GifFailure(gif ? D_GIF_ERR_NOT_GIF_FILE : error));
    }
    if (gif->SWidth > kMaxTemplateEdge || gif->SHeight > kMaxTemplateEdge) {
        return refuse(TooLarge("screen", gif->SWidth, gif->SHeight));
    }

    int transparent = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) {
            return refuse(GifFailure(gif->Error));
        }
        if (record == TERMINATE_RECORD_TYPE) {
            return refuse(QStringLiteral("the GIF holds no image"));
        }
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) {
                return refuse(GifFailure(gif->Error));
            }
            GraphicsControlBlock control{};
            // giflib takes the block only at the length it should have; image tools read a longer
            // one by its first four bytes, and so the see-through colour its maker gave is kept.
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4 &&
                DGifExtensionToGCB(4, block + 1, &control) == GIF_OK) {
                transparent = control.TransparentColor;
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
                    return refuse(GifFailure(gif->Error));
                }
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) {
            return refuse(QStringLiteral("the GIF's structure is damaged"));
        }
        break;
    }

    // The first image is the template; whatever follows it is not read.
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
        return refuse(GifFailure(gif->Error));
    }
    const GifImageDesc& desc = gif->Image;
    if (desc.Width > kMaxTemplateEdge || desc.Height > kMaxTemplateEdge) {
        return refuse(TooLarge("image", desc.Width, desc.Height));
    }
    if (desc.Width <= 0 || desc.Height <= 0) {
        return refuse(QStringLiteral("its image has no pixels"));
    }
    const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
    if (map == nullptr) {
        return refuse(QStringLiteral("the GIF has no colour table"));
    }
    const QSize screen = ShownScreen({gif->SWidth, gif->SHeight}, desc.Left, desc.Top, desc.Width, desc.Height);
    if (screen.width() > kMaxTemplateEdge || screen.height() > kMaxTemplateEdge) {
        // The header's screen and the image are each within the limit (a screen of 0 among them):
        // where the image is placed takes it past.
        return refuse(QStringLiteral("its image of %1 x %2 pixels, placed at %3, %4, reaches past %5 x %5")
                          .arg(desc.Width)
                          .arg(desc.Height)
                          .arg(desc.Left)
                          .arg(desc.Top)
                          .arg(kMaxTemplateEdge));
    }

    QImage frame(desc.Width, desc.Height, QImage::Format_Indexed8);
    if (frame.isNull()) {
        return refuse(QStringLiteral("out of memory"));
    }
    frame.setColorTable(ColorTable(*map, transparent));
    if (const QString failure = ReadPixels(gif.get(), frame); !failure.isEmpty()) {
        return refuse(failure);
    }
    const bool coversScreen = desc.Left == 0 && desc.Top == 0 && frame.size() == screen;
    result.image = coversScreen ? frame : OnScreen(frame, screen, desc.Left, desc.Top, transparent);
    if (result.image.isNull()) {
        return refuse(QStringLiteral("out of memory"));
    }
    // giflib asks for the bytes it reads and no more.
    result.imageEnd = input.handedOut;
    return result;
}

}  // namespace

TemplateImage DecodeTemplate(QByteArrayView gif) {
    Input input;
    input.bytes = gif;
    return Decode(input, {});
}

TemplateImage LoadTemplateImage(const QString& path) {
    // Any size: the decoder asks for no more than kMaxTemplateBytes.
    RegularFile file(path, kNoSizeCap);
    if (!file.Status().Ok()) {
        return {{}, file.Status()};
    }
    Input input;
    input.file = &file;
    TemplateImage result = Decode(input, path);
    // A read that failed looks like a short file to the decoder; the system's reason says more.
    if (!file.Status().Ok()) {
        return {{}, file.Status()};
    }
    return result;
}

TemplateImage LoadKeptTemplateImage(const QString& path) {
    struct Kept {
        QString path;
        FileStamp stamp;
        TemplateImage decoded;
    };
    static std::mutex guard;
    static Kept kept;
    const FileStamp stamp = StampOf(path);
    {
        const std::lock_guard lock(guard);
        if (stamp.exists && kept.path == path && kept.stamp == stamp) {
            return kept.decoded;
        }
    }
    TemplateImage decoded = LoadTemplateImage(path);
    // Kept only when the file stayed as it was looked at while it was read, and was last changed a
    // while ago: the system's clock for a file's times ticks in milliseconds, and a file written
    // again within the same tick, to the same size, would look unchanged.
    const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
    if (decoded.status.Ok() && !decoded.image.isNull() && StampOf(path) == stamp &&
        now - std::max(stamp.modifiedNs, stamp.changedNs) > 2'000'000'000) {
        const std::lock_guard lock(guard);
        kept = {path, stamp, decoded};
    }
    return decoded;
}

QSize TemplateScreenSize(const QString& path) {
    RegularFile file(path, kNoSizeCap);
    // The header, and as far as the first image's descriptor where the extensions before it are few.
    std::array<unsigned char, 1 << 16> start{};
    const qint64 read = file.Status().Ok() ? file.Read(reinterpret_cast<char*>(start.data()), start.size()) : 0;
    if (read < 13 || !HasGifSignature(QByteArrayView(reinterpret_cast<const char*>(start.data()), 6))) {
        return {};
    }
    const auto word = [&start](size_t at) {
        return int(start[at] | start[at + 1] << 8);
    };
    const QSize screen(word(6), word(8));
    // A screen of 0 (the image's extent) or one smaller than the image: the image's size is the cost.
    size_t at = 13 + ((start[10] & 0x80) != 0 ? 3u << ((start[10] & 7) + 1) : 0);
    while (at + 10 <= size_t(read)) {
        if (start[at] == 0x2C) {
            return ShownScreen(screen, word(at + 1), word(at + 3), word(at + 5), word(at + 7));
        }
        if (start[at] != 0x21) {
            return screen;
        }
        // An extension: its label, then sub-blocks up to an empty one.
        at += 2;
        while (at < size_t(read) && start[at] != 0) {
            at += start[at] + 1u;
        }
        ++at;
    }
    // Extensions run on past what was read: take it for the largest, which costs a look aside.
    return read == qint64(start.size()) ? QSize(0xFFFF, 0xFFFF) : screen;
}

namespace {

// Whether anything stands at `name`, a link that leads nowhere included.
bool StandsAt(const QString& name) {
    const QFileInfo info(name);
    return info.exists() || info.isSymLink();
}

}  // namespace

QString CompanionPath(const QString& templatePath) {
    if (templatePath.isEmpty()) {
        return {};
    }
    const QString path = At2xName(templatePath);
    // The template list takes "NAME@2x.GIF" for the companion of "NAME.gif", and shows it apart
    // from none: left unused without a word, the 2x banner would be the template scaled up.
    if (!StandsAt(path) && path.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive)) {
        for (const char* ending : {".gif", ".giF", ".gIf", ".gIF", ".Gif", ".GiF", ".GIf", ".GIF"}) {
            if (const QString other = path.chopped(4) + QLatin1String(ending); other != path && StandsAt(other)) {
                return other;
            }
        }
    }
    return path;
}

DrawnOn::DrawnOn(const QString& templatePath) {
    if (templatePath.isEmpty()) {
        return;
    }
    const QString source = WholePath(templatePath);
    for (const QString& read : {source, At2xName(source), CompanionPath(source)}) {
        files.append({read, WriteTargetBytes(read), FileIdentity(read), read == source});
    }
}

QString DrawnOn::WrittenOverBy(const QString& path) const {
    if (files.isEmpty()) {
        return {};
    }
    const QString written = WholePath(path);
    const QByteArray target = WriteTargetBytes(written);
    const QByteArray identity = FileIdentity(written);
    for (const File& read : files) {
        if (written == read.path || (!target.isEmpty() && target == read.target) ||
            (!identity.isEmpty() && identity == read.identity)) {
            return QStringLiteral("is %1 the banner is drawn on; left as it is")
                .arg(read.isTemplate ? QStringLiteral("the template")
                                     : QStringLiteral("the 2x companion of the template"));
        }
    }
    return {};
}

TemplateImage LoadCompanion(const QString& templatePath) {
    const QString path = CompanionPath(templatePath);
    if (path.isEmpty() || !StandsAt(path)) {
        return {{}, FileResult::Success(path)};
    }
    return LoadTemplateImage(path);
}
