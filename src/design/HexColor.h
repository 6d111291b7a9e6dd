#pragma once

#include <QRgb>
#include <QString>
#include <QStringView>

#include <optional>

// The two ways a colour is written as six hexadecimal digits RRGGBB. A design file writes
// "#1a2b3c" and wants the '#'; the command line shows "1A2B3C" and takes the digits with or
// without one '#' before them. Either reads digits of either case.
enum class HexNotation { DesignFile, CommandLine };

// `color`'s red, green and blue in `notation`; alpha is left out.
QString WriteHexColor(QRgb color, HexNotation notation);
// The opaque colour `text` writes in `notation`; nothing for any other text. Callers say why in
// their own words.
std::optional<QRgb> ReadHexColor(QStringView text, HexNotation notation);
