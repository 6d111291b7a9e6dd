#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The properties the fuzz targets check, shared with the suite's test that replays the committed
// corpus in tests/fuzz/corpus (the seeds, and every input that once found a fault). Each takes the
// raw fuzz input and returns an empty string when the property holds, otherwise what went wrong.
// The Gui checks need a QGuiApplication.

// Arbitrary bytes as label markup: every token lies inside the text, after the one before, and the
// label is drawn (the sanitizers watch the drawing).
QString CheckMarkup(QByteArrayView text);

// Page injection. The input is split at the byte sequence "\x01\x02": the first byte chooses the
// flags (size, side, window, custom code on, static markup), then link, title, custom code, page
// and the last run's custom code follow. Afterwards the page holds exactly one
// block, every byte outside the old blocks is kept in order, the block stands at the insertion
// point of what is left, and injecting again changes nothing.
QString CheckInjection(QByteArrayView input);

// Arbitrary bytes as a template file: the decoder either refuses them with a reason or gives an
// image of at most 4096 x 4096, the same from the file as from its bytes; the catalog agrees, and
// the banner's composition finishes without a crash.
QString CheckTemplate(QByteArrayView input);

// Arbitrary pixels through the quantizer and the GIF writer: the GIF reads back at the same size,
// every pixel with alpha >= 128 opaque and every other one transparent. The first four bytes give
// width and height (bounded), the rest the pixels (repeated to fill the image).
QString CheckGif(QByteArrayView input);
