#include "output/PageCharset.h"

#include "output/HtmlScanner.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using std::size_t;
using std::string_view;

constexpr size_t npos = string_view::npos;
constexpr char kLetter = '\x80';

bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The shift that an escape at `at` sets, or none where no escape that browsers know begins there.
// Browsers read ESC $ ( D (JIS X 0212) as no escape: what follows it stays as it was.
std::optional<Shift> EscapeAt(string_view bytes, size_t at) {
    if (at + 2 >= bytes.size() || bytes[at] != '\x1b') {
        return std::nullopt;
    }
    const char set = bytes[at + 1];
    const char final = bytes[at + 2];
    if (set == '(' && final == 'B') {
        return Shift::Ascii;
    }
    if (set == '(' && final == 'J') {
        return Shift::Roman;
    }
    if ((set == '(' && final == 'I') || (set == '$' && (final == '@' || final == 'B'))) {
        return Shift::Letters;
    }
    return std::nullopt;
}

// One attribute as the charset prescan reads it from `at`, which it moves past it: its name and
// value in lower case; none at the end of the tag.
struct Attribute {
    std::string name;
    std::string value;
};

std::optional<Attribute> NextAttribute(string_view text, size_t& at) {
    while (at < text.size() && (IsHtmlBlank(text[at]) || text[at] == '/')) {
        ++at;
    }
    if (at >= text.size() || text[at] == '>') {
        return std::nullopt;
    }
    Attribute attribute;
    for (; at < text.size() && !IsHtmlBlank(text[at]) && text[at] != '/' && text[at] != '>'; ++at) {
        if (text[at] == '=' && !attribute.name.empty()) {
            break;
        }
        attribute.name += LowerAscii(text[at]);
    }
    at = BlanksEnd(text, at);
    if (at >= text.size() || text[at] != '=') {
        return attribute;
    }
    at = BlanksEnd(text, at + 1);
    if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
        const char quote = text[at];
        for (++at; at < text.size() && text[at] != quote; ++at) {
            attribute.value += LowerAscii(text[at]);
        }
        at = std::min(at + 1, text.size());
        return attribute;
    }
    for (; at < text.size() && !IsHtmlBlank(text[at]) && text[at] != '>'; ++at) {
        attribute.value += LowerAscii(text[at]);
    }
    return attribute;
}

// The charset that a Content-Type value ("text/html; charset=iso-2022-jp") names, or none.
std::optional<std::string> CharsetOfContent(string_view content) {
    for (size_t at = content.find("charset"); at != npos; at = content.find("charset", at)) {
        at = BlanksEnd(content, at + 7);
        if (at >= content.size() || content[at] != '=') {
            continue;
        }
        at = BlanksEnd(content, at + 1);
        if (at < content.size() && (content[at] == '"' || content[at] == '\'')) {
            const size_t close = content.find(content[at], at + 1);
            return close == npos ? std::nullopt : std::optional(std::string(content.substr(at + 1, close - at - 1)));
        }
        size_t end = at;
        while (end < content.size() && !IsHtmlBlank(content[end]) && content[end] != ';') {
            ++end;
        }
        return std::string(content.substr(at, end - at));
    }
    return std::nullopt;
}

// Every encoding that browsers know, by its name, with all the labels that name it (one blank
// between two). A <meta> whose charset is none of them declares nothing: browsers go on to the next.
constexpr std::array<std::pair<string_view, string_view>, 40> kEncodings = {{
    {"utf-8", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {"ibm866", "866 cp866 csibm866 ibm866"},
    {"iso-8859-2", "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2"},
    {"iso-8859-3", "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 iso_8859-3:1988 l3 latin3"},
    {"iso-8859-4", "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 iso_8859-4:1988 l4 latin4"},
    {"iso-8859-5", "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 iso_8859-5:1988"},
    {"iso-8859-6", "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 iso-8859-6 iso-8859-6-e "
                   "iso-8859-6-i iso-ir-127 iso8859-6 iso88596 iso_8859-6 iso_8859-6:1987"},
    {"iso-8859-7", "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 iso_8859-7 "
                   "iso_8859-7:1987 sun_eu_greek"},
    {"iso-8859-8", "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 iso8859-8 iso88598 "
                   "iso_8859-8 iso_8859-8:1988 visual"},
    {"iso-8859-8-i", "csiso88598i iso-8859-8-i logical"},
    {"iso-8859-10", "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    {"iso-8859-13", "iso-8859-13 iso8859-13 iso885913"},
    {"iso-8859-14", "iso-8859-14 iso8859-14 iso885914"},
    {"iso-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {"iso-8859-16", "iso-8859-16"},
    {"koi8-r", "cskoi8r koi koi8 koi8-r koi8_r"},
    {"koi8-u", "koi8-ru koi8-u"},
    {"macintosh", "csmacintosh mac macintosh x-mac-roman"},
    {"windows-874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {"windows-1250", "cp1250 windows-1250 x-cp1250"},
    {"windows-1251", "cp1251 windows-1251 x-cp1251"},
    {"windows-1252", "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 iso88591 "
                     "iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252"},
    {"windows-1253", "cp1253 windows-1253 x-cp1253"},
    {"windows-1254", "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 l5 latin5 "
                     "windows-1254 x-cp1254"},
    {"windows-1255", "cp1255 windows-1255 x-cp1255"},
    {"windows-1256", "cp1256 windows-1256 x-cp1256"},
    {"windows-1257", "cp1257 windows-1257 x-cp1257"},
    {"windows-1258", "cp1258 windows-1258 x-cp1258"},
    {"x-mac-cyrillic", "x-mac-cyrillic x-mac-ukrainian"},
    {"gbk", "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk"},
    {"gb18030", "gb18030"},
    {"big5", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {"euc-jp", "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    {"iso-2022-jp", "csiso2022jp iso-2022-jp"},
    {"shift_jis", "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
    {"euc-kr",
     "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 ksc5601 ksc_5601 windows-949"},
    {"replacement", "csiso2022kr hz-gb-2312 iso-2022-cn iso-2022-cn-ext iso-2022-kr replacement"},
    {"utf-16be", "unicodefffe utf-16be"},
    {"utf-16le", "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
    {"x-user-defined", "x-user-defined"},
}};

// The encoding that `label` (in lower case) names, blanks around it aside; none where it names none.
std::optional<string_view> EncodingOf(string_view label) {
    label = BlanksTrimmed(label);
    for (const auto& [name, labels] : kEncodings) {
        for (size_t at = 0; at < labels.size();) {
            const size_t end = std::min(labels.find(' ', at), labels.size());
            if (labels.substr(at, end - at) == label) {
                return name;
            }
            at = end + 1;
        }
    }
    return std::nullopt;
}

// A charset that a page declares: its label, trimmed and in lower case, and the encoding browsers
// read the page in for it.
struct Declared {
    std::string label;
    string_view encoding;
};

// The charset of the first <meta> that declares one browsers know, as they look for it in `head`
// (the page's first bytes) before they read the page: outside comments and other tags' attributes,
// but in a script or a style element too. None where no such <meta> is found.
std::optional<Declared> DeclaredCharset(string_view head) {
    for (size_t at = 0; at < head.size();) {
        if (head.substr(at, 4) == "<!--") {
            const size_t close = head.find("-->", at + 2);
            at = close == npos ? head.size() : close + 3;
        } else if (SameTagName(head.substr(at, 5), "<meta") && at + 5 < head.size() &&
                   (IsHtmlBlank(head[at + 5]) || head[at + 5] == '/')) {
            at += 5;
            // A charset attribute counts even where it names no encoding (and then hides a content
            // attribute after it); a content attribute counts only where its charset names one.
            std::optional<std::string> charset;
            bool pragma = false;
            bool needsPragma = false;
            std::vector<std::string> seen;
            while (const std::optional<Attribute> attribute = NextAttribute(head, at)) {
                if (std::find(seen.begin(), seen.end(), attribute->name) != seen.end()) {
                    continue;  // the first of repeated attributes is the one that counts
                }
                seen.push_back(attribute->name);
                if (attribute->name == "http-equiv") {
                    pragma = pragma || attribute->value == "content-type";
                } else if (attribute->name == "content" && !charset) {
                    charset = CharsetOfContent(attribute->value);
                    if (charset && !EncodingOf(*charset)) {
                        charset.reset();
                    }
                    needsPragma = charset.has_value();
                } else if (attribute->name == "charset") {
                    charset = attribute->value;
                    needsPragma = false;
                }
            }
            const std::optional<string_view> encoding =
                charset && (pragma || !needsPragma) ? EncodingOf(*charset) : std::nullopt;
            if (!encoding) {
                continue;
            }
            // A page whose <meta> browsers could read as ASCII is in no UTF-16, and x-user-defined
            // is for scripts' bytes: browsers read such pages as UTF-8 and windows-1252.
            string_view readIn = *encoding;
            if (readIn == "utf-16be" || readIn == "utf-16le") {
                readIn = "utf-8";
            } else if (readIn == "x-user-defined") {
                readIn = "windows-1252";
            }
            return Declared{std::string(BlanksTrimmed(*charset)), readIn};
        } else if (head[at] == '<' && at + 1 < head.size() &&
                   (IsAlpha(head[at + 1]) || (head[at + 1] == '/' && at + 2 < head.size() && IsAlpha(head[at + 2])))) {
            while (at < head.size() && !IsHtmlBlank(head[at]) && head[at] != '>') {
                ++at;
            }
            while (NextAttribute(head, at)) {
            }
        } else if (head.substr(at, 2) == "<!" || head.substr(at, 2) == "</" || head.substr(at, 2) == "<?") {
            const size_t close = head.find('>', at);
            at = close == npos ? head.size() : close + 1;
        } else {
            ++at;
        }
    }
    return std::nullopt;
}

// The charset browsers read `page` in where it is decided before the page is read: UTF-8 for a
// UTF-8 byte-order mark, which comes before any <meta> (UTF-16 pages never come here as 8-bit text),
// else the one that a <meta> declares; none otherwise.
std::optional<Declared> DeclaredEncoding(string_view page) {
    if (page.substr(0, 3) == "\xEF\xBB\xBF") {
        return Declared{"utf-8", "utf-8"};
    }
    return DeclaredCharset(page.substr(0, 1024));
}

}  // namespace

PageCoding CodingOf(string_view page) {
    if (const std::optional<Declared> declared = DeclaredEncoding(page)) {
        return declared->encoding == "iso-2022-jp" ? PageCoding::Iso2022Jp : PageCoding::Bytes;
    }
    // ISO-2022-JP is 7-bit: a page with any other byte is no such page to any browser.
    if (FirstShiftIntoLetters(page) == page.size() ||
        std::any_of(page.begin(), page.end(), [](char c) { return (c & 0x80) != 0; })) {
        return PageCoding::Bytes;
    }
    return PageCoding::Either;
}

std::optional<std::string> CharsetShowingNothing(string_view page) {
    std::optional<Declared> declared = DeclaredEncoding(page);
    return declared && declared->encoding == "replacement" ? std::optional(std::move(declared->label)) : std::nullopt;
}

std::string MarkupOf(string_view page) {
    std::string markup(page);
    Shift shift = Shift::Ascii;
    for (size_t at = 0; at < markup.size(); ++at) {
        if (const std::optional<Shift> escape = EscapeAt(page, at)) {
            shift = *escape;
            markup.replace(at, 3, 3, kLetter);
            at += 2;
        } else if (shift == Shift::Letters) {
            markup[at] = kLetter;
        }
    }
    return markup;
}

Shift ShiftAfter(string_view bytes, Shift from) {
    for (size_t at = bytes.rfind('\x1b'); at != npos; at = at == 0 ? npos : bytes.rfind('\x1b', at - 1)) {
        if (const std::optional<Shift> escape = EscapeAt(bytes, at)) {
            return *escape;
        }
    }
    return from;
}

std::size_t FirstShiftIntoLetters(string_view bytes) {
    for (size_t at = bytes.find('\x1b'); at != npos; at = bytes.find('\x1b', at + 1)) {
        if (EscapeAt(bytes, at) == Shift::Letters) {
            return at;
        }
    }
    return bytes.size();
}
