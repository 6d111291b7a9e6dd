#pragma once

#include "files/FileResult.h"
#include "files/Result.h"

#include <QByteArray>
#include <QString>

class QImage;

// Pixels with less alpha are transparent in the GIF; the others are drawn.
inline constexpr int kGifOpaqueAlpha = 128;

// Saves a composed banner as a GIF: pixels with alpha below kGifOpaqueAlpha take palette entry 0, which is
// transparent; every other pixel is flattened onto black and quantized into entries 1 onwards.
// Written through ReplaceFile: completely or not at all, and only over a regular file; the
// result names the path and the reason.
FileResult SaveAsGif(const QImage& banner, const QString& path);

// The bytes SaveAsGif() writes, or why there are none: a null or empty image, a side above 65535
// pixels, an encoder error. The result names no subject; SaveAsGif names the path.
Result<QByteArray> EncodeBannerGif(const QImage& banner);
