#pragma once

#include "FileResult.h"

#include <QString>

class QImage;

// Saves a composed banner as a GIF: pixels with alpha below 128 take palette entry 0, which is
// transparent; every other pixel is flattened onto black and quantized into entries 1 onwards.
// Written through QSaveFile, so a failure leaves an existing file whole; the result names the
// path and the reason.
FileResult SaveAsGif(const QImage& banner, const QString& path);
