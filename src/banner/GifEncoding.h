#pragma once

#include <QByteArray>
#include <QList>
#include <QRgb>

// The bytes of a GIF89a holding one image of `width` x `height` palette indices, row by row from
// the top: the palette (at most 256 colours, alpha ignored) as the global colour table, padded
// with black to a power of two of at least two entries; a graphics control extension that makes
// entry 0 transparent; the image, LZW-compressed. Indices must lie below the padded table's size;
// higher bits are dropped. Sides outside 1..65535 give an empty array.
//
// The bytes are those every banner has been saved with: the code width grows one code late, the
// table is cleared when code 4095 would be assigned, and data sub-blocks hold 255 bytes.
QByteArray EncodeIndexedGif(int width, int height, const QList<QRgb>& palette, const uchar* pixels);
