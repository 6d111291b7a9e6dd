#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A browser decodes a page before it reads any markup. Every encoding a page comes in keeps the
// bytes of ASCII's markup as they are, but one: ISO-2022-JP, which escapes into two-byte letters
// (ESC $ B, ESC $ @) or half-width katakana (ESC ( I) up to the escape back to ASCII (ESC ( B) or
// JIS Roman (ESC ( J). Between them every byte is part of a letter, '<', '"', '=' and '/' included:
// 社 is "<R", 就 is "=\"". (UTF-16 is read apart from all this; see RemoveFromFile.)

// How a page's markup is read.
enum class PageCoding : std::uint8_t {
    Bytes,      // as its bytes: it declares another charset, or holds no escape into letters
    Iso2022Jp,  // as ISO-2022-JP, which it declares (a <meta> within its first 1024 bytes, where browsers look)
    // Either way: it holds escapes into letters, no byte beyond ASCII, and declares no charset that
    // browsers know. Some browsers guess ISO-2022-JP from such bytes, others read them as they are.
    Either,
};

// How a browser reads `page`: by its charset, declared as browsers find it before they read the page
// (a UTF-8 byte-order mark, else the first <meta> in its first 1024 bytes whose charset is a label of
// an encoding that browsers know; they pass over one that names none), and where none is declared,
// by its bytes.
PageCoding CodingOf(std::string_view page);

// The charset that `page` declares (as CodingOf finds it), in lower case, where browsers show no text
// of a page in it: ISO-2022-KR, ISO-2022-CN and HZ-GB-2312, by any of their labels, whose letters
// could hide markup, are read as one replacement letter, the whole page. None for any other page.
std::optional<std::string> CharsetShowingNothing(std::string_view page);

// `page` read as ISO-2022-JP for its markup: every byte of a letter run and of an escape replaced by
// 0x80, which no tokenizer state takes for markup, as none takes a letter beyond ASCII. HtmlScanner
// reads the copy as a browser reads the decoded page, at the page's own offsets.
std::string MarkupOf(std::string_view page);

// What ISO-2022-JP makes of the bytes that follow an escape.
enum class Shift : std::uint8_t {
    Ascii,
    Roman,    // ASCII but for '\' and '~', read as the yen sign and an overline
    Letters,  // two-byte letters or half-width katakana: no markup at all
};

// The shift that `bytes`, read as ISO-2022-JP from `from`, leave in force at their end: that of
// their last escape, or `from` where they hold none.
Shift ShiftAfter(std::string_view bytes, Shift from);

// Where the first escape into letters begins, or the size of `bytes` where there is none.
std::size_t FirstShiftIntoLetters(std::string_view bytes);
