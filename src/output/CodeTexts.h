#pragma once

#include "AdSettings.h"

#include <QByteArray>
#include <QString>

#include <array>

// The markers around every block the program puts into a page.
inline constexpr char kBeginMarker[] = "<!--VornetAdBegin-->";
inline constexpr char kEndMarker[] = "<!--VornetAdEnd-->";

// The built-in sample page and style-sheet template, and the code block and style sheet of the
// last BuildCode call. Texts are bytes exactly as written to disk.
struct CodeTexts {
    QByteArray samplePage;
    QByteArray styleTemplate;
    QByteArray codeBlock;
    QByteArray styleSheet;

    // Loads both built-in texts; false when one is missing (that text stays empty).
    bool LoadTextResources();
    // Fills `styleSheet` and `codeBlock` for the given file names (as the block refers to them).
    // The file names go in as they are; the link and the title go in through EscapeForAttribute;
    // the custom code, when enabled, follows the end marker byte for byte. Never fails:
    // any size is written out, a negative one with its minus sign.
    void BuildCode(const QByteArray& styleFileName, const QByteArray& imageFileName, const AdSettings& settings);
};

// The clickable strip over the banner's diagonal as x1,y1 ... x4,y4 in image pixels: 45 pixels wide
// along x, between the diagonal and the parallel line on the corner's side.
std::array<int, 8> AreaCoords(int bannerSize, BannerSide side);

// `text` as ASCII that stays intact both inside a double-quoted JavaScript string and inside a
// single-quoted HTML attribute, and reads the same in a page of any 8-bit or UTF-8 encoding:
// & < > " ' \ become named or numeric references, and so does every control character and every
// character outside ASCII. Text without such characters comes back unchanged.
QByteArray EscapeForAttribute(const QString& text);
