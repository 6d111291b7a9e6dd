#include "design/HexColor.h"

#include <algorithm>

QString WriteHexColor(QRgb color, HexNotation notation) {
    const QString digits = QString::number(color & 0xffffff, 16).rightJustified(6, u'0');
    return notation == HexNotation::DesignFile ? u'#' + digits : digits.toUpper();
}

std::optional<QRgb> ReadHexColor(QStringView text, HexNotation notation) {
    if (text.startsWith(u'#')) {
        text = text.sliced(1);
    } else if (notation == HexNotation::DesignFile) {
        return std::nullopt;
    }
    const bool hex = text.size() == 6 && std::all_of(text.begin(), text.end(), [](QChar c) {
                         return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
                     });
    if (!hex) {
        return std::nullopt;
    }
    return qRgb(0, 0, 0) | text.toUInt(nullptr, 16);
}
