// Inputs and helpers for bench/peers.sh, the whole-process comparison with the general image tools.
//
//   peer-inputs templates DIR   writes into DIR:
//       photo.gif  the benchmarks' photo-like 500 px banner as a template (a GIF holds 256 colours)
//       raw.gif    a shipped template written again with uncompressed codes, one 9-bit code per pixel
//       photo.png  the photo-like banner itself, about 35,000 colours
//   peer-inputs colours FILE    prints the number of distinct colours (alpha included) of an image
//   peer-inputs gif IN OUT      our quantizer and GIF writer on any image Qt reads, as one process

#include "PhotoLikeBanner.h"
#include "banner/GifWriter.h"
#include "banner/TemplateImage.h"

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QSet>

#include <cstdio>

namespace {

void AppendWord(QByteArray& out, int value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

// A GIF whose image data is one literal 9-bit code per pixel, with a clear code before the code
// table would need 10 bits: about 1.1 bytes per pixel, the slowest kind of template to decode.
QByteArray UncompressedGif(const QImage& image) {
    QList<QRgb> palette;
    QHash<QRgb, int> indexOf;
    std::vector<int> pixels;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb colour = image.pixel(x, y);
            auto it = indexOf.constFind(colour);
            if (it == indexOf.constEnd()) {
                if (palette.size() == 256) {
                    return {};
                }
                it = indexOf.insert(colour, static_cast<int>(palette.size()));
                palette.append(colour);
            }
            pixels.push_back(*it);
        }
    }
    const int transparent = static_cast<int>(
        std::find_if(palette.begin(), palette.end(), [](QRgb c) { return qAlpha(c) == 0; }) - palette.begin());
    QByteArray gif("GIF89a");
    AppendWord(gif, image.width());
    AppendWord(gif, image.height());
    gif.append("\xF7\x00\x00", 3);  // a global table of 256 entries
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : 0;
        gif.append(static_cast<char>(qRed(c))).append(static_cast<char>(qGreen(c))).append(static_cast<char>(qBlue(c)));
    }
    if (transparent < palette.size()) {
        gif.append("\x21\xF9\x04\x01\x00\x00", 6).append(static_cast<char>(transparent)).append('\0');
    }
    gif.append('\x2C');
    AppendWord(gif, 0);
    AppendWord(gif, 0);
    AppendWord(gif, image.width());
    AppendWord(gif, image.height());
    gif.append('\0').append('\x08');

    QByteArray codes;
    uint32_t pending = 0;
    int bits = 0;
    const auto put = [&](int code) {
        pending |= static_cast<uint32_t>(code) << bits;
        for (bits += 9; bits >= 8; bits -= 8, pending >>= 8) {
            codes.append(static_cast<char>(pending & 0xFF));
        }
    };
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % 254 == 0) {
            put(256);
        }
        put(pixels[i]);
    }
    put(257);
    if (bits > 0) {
        codes.append(static_cast<char>(pending & 0xFF));
    }
    for (qsizetype done = 0; done < codes.size(); done += 255) {
        const QByteArray block = codes.mid(done, 255);
        gif.append(static_cast<char>(block.size())).append(block);
    }
    gif.append('\0').append('\x3B');
    return gif;
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

int Templates(const QString& dir) {
    const QImage photo = PhotoLikeBanner(500);
    const QString source = QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/winter.gif");
    const QImage shipped = LoadTemplateImage(source).image.convertToFormat(QImage::Format_ARGB32);
    const QByteArray raw = UncompressedGif(shipped);
    if (!Write(dir + QStringLiteral("/photo.gif"), EncodeBannerGif(photo).value) ||
        !Write(dir + QStringLiteral("/raw.gif"), raw) || !photo.save(dir + QStringLiteral("/photo.png"))) {
        std::fprintf(stderr, "peer-inputs: cannot write into %s\n", qPrintable(dir));
        return 1;
    }
    // The uncompressed template must decode to exactly the pixels of the one it was made from.
    if (LoadTemplateImage(dir + QStringLiteral("/raw.gif")).image.convertToFormat(QImage::Format_ARGB32) != shipped) {
        std::fprintf(stderr, "peer-inputs: raw.gif does not decode to the pixels of %s\n", qPrintable(source));
        return 1;
    }
    return 0;
}

int Colours(const QString& path) {
    const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> distinct;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        distinct.unite(QSet<QRgb>(row, row + image.width()));
    }
    std::printf("%lld\n", static_cast<long long>(distinct.size()));
    return image.isNull() ? 1 : 0;
}

int Gif(const QString& in, const QString& out) {
    const FileResult result = SaveAsGif(QImage(in), out);
    if (!result.Ok()) {
        std::fprintf(stderr, "peer-inputs: %s: %s\n", qPrintable(result.path), qPrintable(result.error));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() == 3 && args[1] == u"templates") {
        return Templates(args[2]);
    }
    if (args.size() == 3 && args[1] == u"colours") {
        return Colours(args[2]);
    }
    if (args.size() == 4 && args[1] == u"gif") {
        return Gif(args[2], args[3]);
    }
    std::fprintf(stderr, "usage: peer-inputs templates DIR | colours FILE | gif IN OUT\n");
    return 2;
}
