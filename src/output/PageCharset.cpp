#include "output/PageCharset.h"

#include "output/HtmlScanner.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace {

using std::size_t;
using std::string_view;

constexpr size_t npos = string_view::npos;
constexpr char kLetter = '\x80';

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

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
        attribute.name += Lower(text[at]);
    }
    at = BlanksEnd(text, at);
    if (at >= text.size() || text[at] != '=') {
        return attribute;
    }
    at = BlanksEnd(text, at + 1);
    if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
        const char quote = text[at];
        for (++at; at < text.size() && text[at] != quote; ++at) {
            attribute.value += Lower(text[at]);
        }
        at = std::min(at + 1, text.size());
        return attribute;
    }
    for (; at < text.size() && !IsHtmlBlank(text[at]) && text[at] != '>'; ++at) {
        attribute.value += Lower(text[at]);
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

// The charset that the first <meta> to declare one names, as browsers look for it in `head` (the
// page's first bytes) before they read the page: outside comments and other tags' attributes, but
// in a script or a style element too. None where no such <meta> is found.
std::optional<std::string> DeclaredCharset(string_view head) {
    for (size_t at = 0; at < head.size();) {
        if (head.substr(at, 4) == "<!--") {
            const size_t close = head.find("-->", at + 2);
            at = close == npos ? head.size() : close + 3;
        } else if (SameTagName(head.substr(at, 5), "<meta") && at + 5 < head.size() &&
                   (IsHtmlBlank(head[at + 5]) || head[at + 5] == '/')) {
            at += 5;
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
                    needsPragma = charset.has_value();
                } else if (attribute->name == "charset") {
                    charset = attribute->value;
                    needsPragma = false;
                }
            }
            if (charset && (pragma || !needsPragma)) {
                return charset;
            }
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

// The label of the charset browsers read `page` in, trimmed and in lower case, where it is decided
// before the page is read: "utf-8" for a UTF-8 byte-order mark, which comes before any <meta>
// (UTF-16 pages never come here as 8-bit text), else the one that <meta> declares; none otherwise.
std::optional<std::string> DeclaredLabel(string_view page) {
    if (page.substr(0, 3) == "\xEF\xBB\xBF") {
        return "utf-8";
    }
    std::optional<std::string> label = DeclaredCharset(page.substr(0, 1024));
    if (label) {
        const auto blank = [](char c) {
            return IsHtmlBlank(c);
        };
        label->erase(label->begin(), std::find_if_not(label->begin(), label->end(), blank));
        label->erase(std::find_if_not(label->rbegin(), label->rend(), blank).base(), label->end());
    }
    return label;
}

}  // namespace

PageCoding CodingOf(string_view page) {
    if (const std::optional<std::string> label = DeclaredLabel(page)) {
        return *label == "iso-2022-jp" || *label == "csiso2022jp" ? PageCoding::Iso2022Jp : PageCoding::Bytes;
    }
    // ISO-2022-JP is 7-bit: a page with any other byte is no such page to any browser.
    if (FirstShiftIntoLetters(page) == page.size() ||
        std::any_of(page.begin(), page.end(), [](char c) { return (c & 0x80) != 0; })) {
        return PageCoding::Bytes;
    }
    return PageCoding::Either;
}

std::optional<std::string> CharsetShowingNothing(string_view page) {
    // Every label browsers know for these charsets, and the name of what they decode them as.
    constexpr std::array<string_view, 6> kLabels = {"csiso2022kr",     "hz-gb-2312",  "iso-2022-cn",
                                                    "iso-2022-cn-ext", "iso-2022-kr", "replacement"};
    std::optional<std::string> label = DeclaredLabel(page);
    return label && std::find(kLabels.begin(), kLabels.end(), *label) != kLabels.end() ? label : std::nullopt;
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
