#pragma once

#include <QImage>
#include <QRandomGenerator>

#include <cmath>

// Smooth colour fields with fine grain, like a photograph, under a transparent corner and an
// opaque text-like stripe: at 500 px about 35,000 distinct colours, hardly two equal neighbours.
// The benchmarks time it and the GIF writer's golden hashes pin its output, so its pixels must not
// change.
inline QImage PhotoLikeBanner(int size) {
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
