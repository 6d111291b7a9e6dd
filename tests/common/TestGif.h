#pragma once

#include "TestFiles.h"
#include "banner/GifEncoding.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <vector>

// `image` as a GIF with palette entry 0 transparent, for tests that need template files (Qt reads
// GIFs but cannot write them). Pixels with alpha below 128 become transparent; at most 255 other
// colours, each kept exactly. Empty when the image has more.
inline QByteArray EncodeTestGif(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    QList<QRgb> palette{qRgb(0, 0, 0)};
    std::vector<quint8> pixels;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            qsizetype index = qAlpha(pixel) < 128 ? 0 : palette.indexOf(pixel | 0xFF000000, 1);
            if (index < 0) {
                index = palette.size();
                palette.append(pixel | 0xFF000000);
            }
            pixels.push_back(quint8(index));
        }
    }
    return palette.size() > 256 ? QByteArray()
                                : EncodeIndexedGif(image.width(), image.height(), palette, pixels.data());
}

// Writes EncodeTestGif's bytes; false when they or the file cannot be written.
inline bool WriteTestGif(const QString& path, const QImage& image) {
    const QByteArray bytes = EncodeTestGif(image);
    return !bytes.isEmpty() && WriteAll(path, bytes);
}

// A solid square template.
inline QImage SolidTemplate(const QColor& color, int edge = 100) {
    QImage image(edge, edge, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}
