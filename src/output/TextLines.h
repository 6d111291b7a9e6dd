#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <string_view>

// Lines of a page as editors count them, for the line numbers that messages give: CRLF, a lone CR
// and LF each end a line.

// The length of the line break at `at` in `text`: CRLF, a lone CR or LF; 0 where none begins.
inline std::size_t LineBreakAt(std::string_view text, std::size_t at) {
    if (at < text.size() && text[at] == '\r') {
        return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    }
    return at < text.size() && text[at] == '\n' ? 1 : 0;
}

// The line `at` lies on, from 1.
inline qsizetype LineOf(std::string_view text, std::size_t at) {
    qsizetype line = 1;
    for (std::size_t i = 0; i < at;) {
        const std::size_t lineBreak = LineBreakAt(text, i);
        line += lineBreak > 0 ? 1 : 0;
        i += std::max<std::size_t>(1, lineBreak);
    }
    return line;
}
