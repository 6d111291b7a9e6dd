#pragma once

#include <QByteArray>
#include <QString>

class QImage;

// A template as a single-frame GIF89a with palette entry 0 transparent. Pixels with alpha of at
// least 128 are laid over white (templates are drawn for a white page) and kept opaque; the others
// become transparent. The opaque colours are reduced to at most 255 entries by median cut and
// dithered onto them, so long gradients do not band. The same image always gives the same bytes.
// On failure (a null image, an encoder error) returns an empty array and, when `error` is given,
// stores the reason there.
QByteArray EncodeTemplateGif(const QImage& image, QString* error = nullptr);
