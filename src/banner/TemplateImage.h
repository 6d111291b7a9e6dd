#pragma once

#include <QImage>
#include <QString>

// Largest template edge, in pixels, that is decoded at all. A few bytes of GIF can claim a screen
// of 65535 x 65535 pixels; a file whose header claims more than this is treated as undecodable
// before anything is allocated for its pixels.
inline constexpr int kMaxTemplateEdge = 4096;

// Decodes a template file as it is (transparent pixels keep alpha 0); a null image when the file
// cannot be read, is not an image, or is larger than kMaxTemplateEdge on either axis.
QImage LoadTemplateImage(const QString& path);
