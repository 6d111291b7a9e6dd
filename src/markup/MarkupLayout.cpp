#include "markup/Markup.h"

#include <QFontMetrics>
#include <QPainter>

#include <optional>

namespace {

int StyleBit(int kind) {
    switch (kind) {
    case kMarkupBold:
        return kStyleBold;
    case kMarkupItalic:
        return kStyleItalic;
    case kMarkupUnderline:
        return kStyleUnderline;
    case kMarkupSuperscript:
        return kStyleSuperscript;
    case kMarkupSubscript:
        return kStyleSubscript;
    default:
        return 0;
    }
}

// "<font color=": exactly one byte between the tag name and the attribute.
bool HasColorAttribute(QByteArrayView text, const MarkupToken& token) {
    constexpr qsizetype kAttributeAt = 6;
    constexpr QByteArrayView kAttribute = "color=";
    const qsizetype at = token.start + kAttributeAt;
    return at + kAttribute.size() <= text.size() &&
           qstrnicmp(text.data() + at, kAttribute.data(), size_t(kAttribute.size())) == 0;
}

}  // namespace

QFont CreateStyleFont(const QFont& base, int style) {
    QFont font = base;
    font.setWeight((style & kStyleBold) != 0 ? QFont::Bold : QFont::Normal);
    font.setItalic((style & kStyleItalic) != 0);
    font.setUnderline((style & kStyleUnderline) != 0);
    if ((style & (kStyleSuperscript | kStyleSubscript)) != 0) {
        if (base.pixelSize() > 0) {
            font.setPixelSize(std::max(1, base.pixelSize() * 7 / 10));
        } else if (base.pointSizeF() > 0) {
            font.setPointSizeF(base.pointSizeF() * 7 / 10);
        }
    }
    return font;
}

QList<MarkupRun> LayoutMarkup(QByteArrayView text, const QRect& rect, const QFont& baseFont, const QColor& baseColor,
                              const QPaintDevice* device, MarkupColorStack& colors) {
    QList<MarkupRun> runs;
    // QFontMetrics takes a non-const device but only reads its resolution.
    QPaintDevice* const metricsDevice = const_cast<QPaintDevice*>(device);
    auto metricsOf = [metricsDevice](const QFont& font) {
        return metricsDevice != nullptr ? QFontMetrics(font, metricsDevice) : QFontMetrics(font);
    };

    int limit = std::max(0, rect.width());
    // The extent of "Åy" in the base font: one line's ascent plus descent, without the leading
    // that QFontMetrics::size() would add, so that a tall capital and a descender both fit.
    const int lineHeight = metricsOf(baseFont).height();

    std::array<std::optional<QFont>, kMarkupStyleCount> fonts;
    fonts[0] = baseFont;
    QFont font = baseFont;
    QFontMetrics metrics = metricsOf(baseFont);
    int selectedStyle = -1;
    int spaceWidth = 0;

    colors.Reset();
    QColor color = baseColor;
    int x = 0;
    int y = 0;
    bool pendingSpace = false;
    int style = 0;

    qsizetype position = 0;
    for (;;) {
        const MarkupToken token = NextMarkupToken(text, position, pendingSpace);
        if (token.kind == kMarkupEnd) {
            break;
        }
        const bool closing = (token.kind & kMarkupClosing) != 0;
        const int kind = token.kind & ~kMarkupClosing;
        if (closing && kind == kMarkupText) {
            continue;  // an unrecognised closing tag
        }
        if (const int bit = StyleBit(kind); bit != 0) {
            style = closing ? style & ~bit : style | bit;
            continue;
        }
        if (kind == kMarkupBreak) {
            if (!closing) {
                x = 0;
                y += lineHeight;
            }
            continue;
        }
        if (kind == kMarkupParagraph) {
            if (!closing) {
                if (token.start != 0) {
                    y += lineHeight * 3 / 2;
                }
                x = 0;
            }
            continue;
        }
        if (kind == kMarkupFont) {
            if (closing) {
                color = colors.Pop();
            } else if (HasColorAttribute(text, token)) {
                color = colors.Push(color, ParseHexColor(text.sliced(token.start + 12)));
            }
            continue;
        }

        if (style != selectedStyle) {
            if (!fonts[size_t(style)]) {
                fonts[size_t(style)] = CreateStyleFont(baseFont, style);
            }
            font = *fonts[size_t(style)];
            metrics = metricsOf(font);
            selectedStyle = style;
            spaceWidth = metrics.horizontalAdvance(QLatin1Char(' '));
        }
        const QString word = QString::fromUtf8(text.sliced(token.start, token.length));
        const int width = metrics.horizontalAdvance(word);
        limit = std::max(limit, width);
        if (pendingSpace) {
            x += spaceWidth;
            if (x + width > limit) {
                y += lineHeight;
                x = 0;
            }
        }
        const bool bottom = (style & kStyleSubscript) != 0;
        const int top = rect.top() + y;
        runs.append(
            {word, QRect(rect.left() + x, top, std::max(0, limit - x), lineHeight), font, color, style, bottom});
        if (pendingSpace && (style & kStyleUnderline) != 0 && x >= spaceWidth) {
            // Underline the gap too, so that a run of underlined words reads as one line.
            runs.append({QStringLiteral(" "), QRect(rect.left() + x - spaceWidth, top, spaceWidth, lineHeight), font,
                         color, style, bottom});
        }
        x += width;
        pendingSpace = false;
    }
    return runs;
}

void DrawMarkup(QPainter& painter, QByteArrayView text, const QRect& rect, MarkupColorStack& colors) {
    const QList<MarkupRun> runs =
        LayoutMarkup(text, rect, painter.font(), painter.pen().color(), painter.device(), colors);
    painter.save();
    // The runs are laid out left to right, as the markup reads; a right-to-left window (-reverse)
    // would right-align each in its box and pile the words at the right edge.
    painter.setLayoutDirection(Qt::LeftToRight);
    for (const MarkupRun& run : runs) {
        if (run.box.isEmpty()) {
            continue;
        }
        painter.setFont(run.font);
        painter.setPen(run.color);
        // Clipped to its box (no Qt::TextDontClip); no mnemonic processing, so "&" stays visible.
        painter.drawText(run.box, Qt::AlignLeft | (run.bottom ? Qt::AlignBottom : Qt::AlignTop) | Qt::TextSingleLine,
                         run.text);
    }
    painter.restore();
}
