#pragma once

#include <QByteArrayView>
#include <QColor>
#include <QFont>
#include <QList>
#include <QRect>
#include <QRgb>
#include <QString>

#include <array>

class QPaintDevice;
class QPainter;

// The markup of the footer label: a tiny HTML-like language of bold, italic, underline, subscript,
// superscript, line and paragraph breaks and text colour, over UTF-8 bytes. Tags and words are
// split on ASCII bytes only, so a multi-byte character is never cut.

// What NextMarkupToken found. A closing tag ("</b>") is its opening kind plus kMarkupClosing; an
// unrecognised closing tag is kMarkupClosing alone.
enum MarkupTokenKind : int {
    kMarkupEnd = -1,
    kMarkupText = 0,
    kMarkupBold = 1,
    kMarkupBreak = 2,
    kMarkupFont = 3,
    kMarkupItalic = 4,
    kMarkupParagraph = 5,
    kMarkupSubscript = 6,
    kMarkupSuperscript = 7,
    kMarkupUnderline = 8,
};
inline constexpr int kMarkupClosing = 256;

struct MarkupToken {
    int kind = kMarkupEnd;
    qsizetype start = 0;   // offset of the token's first byte in the text
    qsizetype length = 0;  // bytes; 0 at the end
};

// Reads the token that starts at or after `position` (leading whitespace is skipped) and moves
// `position` past it. `pendingSpace` carries across calls whether whitespace separates the next
// word from the previous one; the caller clears it after placing a word. Never reads outside
// `text`; a `position` at or past the end gives kMarkupEnd and changes nothing else.
//   A tag name matches the first table entry, tried from the last to the first, that it starts
// with, ignoring case ("br" is tried before "b"; "<bold>" is bold, "<pre>" a paragraph). An
// opening tag that isn't recognised comes back as text ("<span>"); one that is recognised but
// malformed ("<b x>") as the text "<b"; an unrecognised closing tag as kMarkupClosing alone,
// which the layout skips. Only "font" takes attributes.
MarkupToken NextMarkupToken(QByteArrayView text, qsizetype& position, bool& pendingSpace);

// Reads an HTML-style "RRGGBB" colour, optionally after one quote and then a "#". Anything that
// isn't a hex digit, including the end of `chars`, counts as 0. Always opaque; no colour names.
QColor ParseHexColor(QByteArrayView chars);

// Style bits of a run of text.
enum MarkupStyle : int {
    kStyleBold = 1,
    kStyleItalic = 2,
    kStyleUnderline = 4,
    kStyleSuperscript = 8,
    kStyleSubscript = 16,
};
inline constexpr int kMarkupStyleCount = 32;

// `base` in the given style: weight 700 with the bold bit and 400 without it (a bold base loses
// its weight), italic and underline exactly as the bits say, and 7/10 of the size (truncated) for
// superscript or subscript. The size is scaled in the unit the base font is set in: pixels when
// it has a pixel size, else points.
QFont CreateStyleFont(const QFont& base, int style);

// The colours saved by nested font tags: eight slots and a count. Pushing past eight still
// changes the colour but saves nothing, so later pops restore outer colours early. Popping an
// empty stack gives the bottom slot, which keeps whatever the first push of this or any earlier
// drawing saved there (black before any push). DrawMarkup resets only the count.
class MarkupColorStack final {
public:
    static constexpr int kDepth = 8;

    void Reset() { count = 0; }
    int Count() const { return count; }
    // Saves `current` if a slot is free; returns `color`, the colour to draw in from now on.
    QColor Push(const QColor& current, const QColor& color);
    // The colour to draw in after a closing font tag.
    QColor Pop();

    // The one stack that the label's drawing uses. Like the label itself, user-interface thread
    // only: two drawings must not overlap.
    static MarkupColorStack& Shared();

private:
    std::array<QRgb, kDepth> saved{};  // 0: opaque black once read back through QColor
    int count = 0;
};

// One piece of text placed by the layout, in the coordinates of the drawing.
struct MarkupRun {
    QString text;
    QRect box;  // the line box the text is drawn into and clipped to (may be empty)
    QFont font;
    QColor color;
    int style = 0;
    bool bottom = false;  // subscript: aligned to the bottom of the box, everything else the top
};

// Lays `text` out in `rect` as DrawMarkup draws it: every line `Åy`'s height in `baseFont`
// whatever the style; words wrap only where whitespace precedes them and only when they would
// pass the right edge; a word wider than the rectangle widens the rest of the layout; a paragraph
// moves down one and a half lines (not when it is the text's first byte), a break one line.
// Metrics are those of `device` (null: the screen's). Resets the count of `colors`.
QList<MarkupRun> LayoutMarkup(QByteArrayView text, const QRect& rect, const QFont& baseFont, const QColor& baseColor,
                              const QPaintDevice* device, MarkupColorStack& colors);

// Draws `text` into `rect` on `painter`, starting from the painter's font and pen colour, left
// aligned with "&" shown as itself. Leaves the painter's state as it found it.
void DrawMarkup(QPainter& painter, QByteArrayView text, const QRect& rect,
                MarkupColorStack& colors = MarkupColorStack::Shared());
