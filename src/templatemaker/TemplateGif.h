#pragma once

#include "files/Result.h"

#include <QByteArray>
#include <QString>

class QImage;

// A template as a single-frame GIF89a with palette entry 0 transparent. Pixels with alpha of at
// least 128 are laid over white (templates are drawn for a white page) and kept opaque; the others
// become transparent. The opaque colours are reduced to at most 255 entries by median cut and
// dithered onto them, so long gradients do not band. The same image always gives the same bytes.
// Fails, naming no subject, for a null image or an encoder error.
Result<QByteArray> EncodeTemplateGif(const QImage& image);
