#pragma once

#include <QImage>
#include <QString>

// Saves `image` as a single-frame GIF89a with palette entry 0 transparent. Pixels with alpha of
// at least `opaqueFrom` are laid over `matte` and kept opaque; the others become transparent.
// The opaque colours are reduced to at most 255 palette entries by median cut. Returns false and
// fills `error` on failure.
bool SaveTemplateGif(const QImage& image, const QString& path, QRgb matte, int opaqueFrom, QString* error);
