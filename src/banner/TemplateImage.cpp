#include "TemplateImage.h"

#include "files/ReadFile.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Where giflib's reads come from: an open file or bytes in memory.
struct Input {
    RegularFile* file = nullptr;
    QByteArrayView bytes;
    qsizetype at = 0;
    bool exhausted = false;  // a read came back short: the data ended
};

int ReadInput(GifFileType* gif, GifByteType* into, int count) {
    auto* input = static_cast<Input*>(gif->UserData);
    qsizetype n = 0;
    if (input->file != nullptr) {
        n = qsizetype(input->file->Read(reinterpret_cast<char*>(into), count));
    } else {
        n = std::min<qsizetype>(count, input->bytes.size() - input->at);
        std::memcpy(into, input->bytes.data() + input->at, size_t(n));
        input->at += n;
    }
    input->exhausted = input->exhausted || n < count;
    return int(n);
}

QString GifFailure(int code) {
    switch (code) {
    case D_GIF_ERR_EOF_TOO_SOON:
        return QStringLiteral("the file ends before its image does (truncated)");
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

struct GifCloser {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// The colours as Qt's GIF reader gives them: entries past the table are transparent white,
// the transparent entry keeps its colour with alpha 0, and without transparency the image has no
// alpha at all, so entries past the table show white.
QList<QRgb> ColorTable(const ColorMapObject& map, int transparent) {
    QList<QRgb> table(256, transparent >= 0 ? 0x00FFFFFFu : 0xFFFFFFFFu);
    for (int i = 0; i < std::min(map.ColorCount, 256); ++i) {
        const GifColorType& c = map.Colors[i];
        table[i] = qRgb(c.Red, c.Green, c.Blue);
    }
    if (transparent >= 0 && transparent < 256) {
        table[transparent] &= 0x00FFFFFFu;
    }
    return table;
}

// The LZW decoding of one image's pixel data, fed block by block as giflib hands the blocks on.
// giflib's own decoder clears its whole 4096-entry table at every clear code, so data made of
// clear codes alone would cost seconds a megabyte; here a clear code costs nothing.
class LzwDecoder {
public:
    LzwDecoder(int minimumCodeSize, QImage& frame, bool interlaced)
        : m_clear(1 << minimumCodeSize)
        , m_minimumCodeSize(minimumCodeSize)
        , m_frame(frame) {
        // The rows in the order the data fills them: all of them, or the four interlace passes.
        static constexpr std::array<int, 4> kStart = {0, 4, 2, 1};
        static constexpr std::array<int, 4> kStep = {8, 8, 4, 2};
        for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
            for (int y = interlaced ? kStart[size_t(pass)] : 0; y < frame.height();
                 y += interlaced ? kStep[size_t(pass)] : 1) {
                m_rows.push_back(y);
            }
        }
        for (int code = 0; code < m_clear; ++code) {
            m_suffix[size_t(code)] = uchar(code);
            m_first[size_t(code)] = uchar(code);
        }
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

    bool Complete() const { return m_row >= m_rows.size(); }

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
            return true;
        }
        if (code > m_next || (code == m_next && m_next >= kTableSize)) {
            return false;
        }
        if (m_next < kTableSize) {
            // The new entry is the previous string and the first pixel of this one; for the code
            // that is being defined right now, that first pixel is the previous string's.
            m_prefix[size_t(m_next)] = quint16(m_previous);
            m_suffix[size_t(m_next)] = m_first[size_t(code == m_next ? m_previous : code)];
            m_first[size_t(m_next)] = m_first[size_t(m_previous)];
            ++m_next;
            if (m_next == (1 << m_codeSize) && m_codeSize < 12) {
                ++m_codeSize;
            }
        }
        Emit(code);
        m_previous = code;
        return true;
    }

    // The pixels of `code`'s string, in order; pixels beyond the image are dropped.
    void Emit(int code) {
        size_t depth = 0;
        for (; code >= m_clear; code = m_prefix[size_t(code)]) {
            m_stack[depth++] = m_suffix[size_t(code)];
        }
        m_stack[depth++] = uchar(code);
        while (depth > 0 && m_row < m_rows.size()) {
            uchar* line = m_frame.scanLine(m_rows[m_row]);
            const int width = m_frame.width();
            while (depth > 0 && m_x < width) {
                line[m_x++] = m_stack[--depth];
            }
            if (m_x == width) {
                m_x = 0;
                ++m_row;
            }
        }
    }

    static constexpr int kTableSize = 4096;

    const int m_clear;
    const int m_minimumCodeSize;
    QImage& m_frame;
    std::vector<int> m_rows;
    size_t m_row = 0;
    int m_x = 0;
    int m_codeSize = 0;
    int m_next = 0;
    int m_previous = -1;
    bool m_ended = false;
    quint32 m_bits = 0;
    int m_bitCount = 0;
    std::array<quint16, kTableSize> m_prefix{};
    std::array<uchar, kTableSize> m_suffix{};
    std::array<uchar, kTableSize> m_first{};
    std::array<uchar, kTableSize + 1> m_stack{};
};

// The image's pixels: every data block of the image is read (a file cut short is refused), and the
// codes must fill the image.
QString ReadPixels(GifFileType* gif, QImage& frame) {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) {
        return GifFailure(gif->Error);
    }
    if (codeSize < 1 || codeSize > 8) {
        return QStringLiteral("the GIF's pixel data is damaged (LZW error)");
    }
    LzwDecoder decoder(codeSize, frame, gif->Image.Interlace);
    while (block != nullptr) {
        if (QString failure = decoder.Feed(block + 1, block[0]); !failure.isEmpty()) {
            return failure;
        }
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR) {
            return GifFailure(gif->Error);
        }
    }
    if (!decoder.Complete()) {
        return QStringLiteral("the GIF's pixel data ends before its image is complete");
    }
    return {};
}

// The logical screen with the image laid on it, where the image does not cover the screen exactly:
// the rest is transparent when the image has a transparent colour, else the background colour of a
// global table, else black, as Qt's reader fills it.
QImage OnScreen(const QImage& frame, int screenWidth, int screenHeight, int left, int top, int transparent,
                int background) {
    const QList<QRgb> table = frame.colorTable();
    QImage screen(screenWidth, screenHeight, transparent >= 0 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (screen.isNull()) {
        return screen;
    }
    QRgb fill = 0xFF000000u;
    if (transparent >= 0) {
        fill = table[transparent & 0xFF];
    } else if (background >= 0) {
        fill = table[background & 0xFF];
    }
    screen.fill(fill);
    const int right = std::min(screenWidth, left + frame.width());
    const int bottom = std::min(screenHeight, top + frame.height());
    for (int y = top; y < bottom; ++y) {
        const uchar* indexes = frame.constScanLine(y - top);
        auto* line = reinterpret_cast<QRgb*>(screen.scanLine(y));
        for (int x = left; x < right; ++x) {
            line[x] = table[indexes[x - left]];
        }
    }
    return screen;
}

TemplateImage Decode(Input& input, const QString& path) {
    TemplateImage result{{}, FileResult::Success(path)};
    // Whatever giflib makes of it, data that ends early is a file cut short.
    const auto refuse = [&result, &input](const QString& reason) {
        result.image = QImage();
        result.status.error = input.exhausted ? GifFailure(D_GIF_ERR_EOF_TOO_SOON) : reason;
        return result;
    };
    int error = 0;
    const GifHandle gif(DGifOpen(&input, ReadInput, &error));
    if (!gif) {
        return refuse(GifFailure(error));
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
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4 &&
                DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
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
    // A screen of no size is the image's extent, as Qt takes it.
    const int screenWidth = gif->SWidth > 0 ? gif->SWidth : desc.Left + desc.Width;
    const int screenHeight = gif->SHeight > 0 ? gif->SHeight : desc.Top + desc.Height;
    if (screenWidth > kMaxTemplateEdge || screenHeight > kMaxTemplateEdge) {
        return refuse(TooLarge("screen", screenWidth, screenHeight));
    }

    QImage frame(desc.Width, desc.Height, QImage::Format_Indexed8);
    if (frame.isNull()) {
        return refuse(QStringLiteral("out of memory"));
    }
    frame.setColorTable(ColorTable(*map, transparent));
    if (const QString failure = ReadPixels(gif.get(), frame); !failure.isEmpty()) {
        return refuse(failure);
    }
    const bool coversScreen =
        desc.Left == 0 && desc.Top == 0 && desc.Width == screenWidth && desc.Height == screenHeight;
    const int background = gif->SColorMap != nullptr ? gif->SBackGroundColor : -1;
    result.image =
        coversScreen ? frame : OnScreen(frame, screenWidth, screenHeight, desc.Left, desc.Top, transparent, background);
    if (result.image.isNull()) {
        return refuse(QStringLiteral("out of memory"));
    }
    return result;
}

}  // namespace

TemplateImage DecodeTemplate(QByteArrayView gif) {
    Input input;
    input.bytes = gif;
    return Decode(input, {});
}

TemplateImage LoadTemplateImage(const QString& path) {
    RegularFile file(path, kMaxTemplateBytes);
    if (!file.status().ok()) {
        return {{}, file.status()};
    }
    Input input;
    input.file = &file;
    TemplateImage result = Decode(input, path);
    // A read that failed looks like a short file to the decoder; the system's reason says more.
    if (!file.status().ok()) {
        return {{}, file.status()};
    }
    return result;
}

QString At2xName(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= name.lastIndexOf(u'/')) {
        return name + QStringLiteral("@2x");
    }
    return name.left(dot) + QStringLiteral("@2x") + name.mid(dot);
}

QImage LoadCompanion(const QString& templatePath) {
    return templatePath.isEmpty() ? QImage() : LoadTemplateImage(At2xName(templatePath)).image;
}
