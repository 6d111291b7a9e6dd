#include "output/ServerCode.h"

#include "output/HtmlScanner.h"

#include <QByteArrayView>
#include <QRegularExpression>

namespace {

using std::size_t;
using std::string_view;

constexpr size_t npos = string_view::npos;

bool SameLetters(string_view text, size_t at, string_view lowerWord) {
    return text.size() - at >= lowerWord.size() &&
           QByteArrayView(text.data() + at, qsizetype(lowerWord.size()))
                   .compare(QByteArrayView(lowerWord.data(), qsizetype(lowerWord.size())), Qt::CaseInsensitive) == 0;
}

// Whether the "<?" at `at` opens PHP code: "<?php" and a blank, "<?=", or the short "<?" and a
// blank that servers may still take. "<?xml" and other processing instructions are no code.
bool OpensPhp(string_view text, size_t at) {
    const size_t after = at + 2;
    if (after < text.size() && (text[after] == '=' || IsHtmlBlank(text[after]))) {
        return true;
    }
    return SameLetters(text, after, "php") && (after + 3 == text.size() || IsHtmlBlank(text[after + 3]));
}

// PHP is found wherever it stands, in a comment or a script too: the server runs it before any
// browser sees the page, and it runs up to the next "?>" (one in a PHP string ends it early here,
// which only lets a spot pass) or the end of the text.
ServerCode PhpAround(string_view text, size_t spot) {
    size_t first = npos;
    bool pageOutside = false;  // whether anything but blanks stands outside the code
    size_t outsideFrom = 0;
    for (size_t open = text.find("<?"); open != npos; open = text.find("<?", open + 2)) {
        if (!OpensPhp(text, open)) {
            continue;
        }
        pageOutside = pageOutside || BlanksEnd(text, outsideFrom) < open;
        const size_t close = text.find("?>", open + 2);
        const size_t end = close == npos ? npos : close + 2;
        if (open < spot && spot < end) {
            return {ServerCode::Kind::Php, open};
        }
        first = first == npos ? open : first;
        if (end == npos) {
            outsideFrom = text.size();
            break;
        }
        outsideFrom = end;
        open = close;
    }
    pageOutside = pageOutside || BlanksEnd(text, outsideFrom) < text.size();
    return first != npos && !pageOutside ? ServerCode{ServerCode::Kind::PhpOnly, first} : ServerCode{};
}

// The length of the line break at `at` (LF or CRLF), or 0.
size_t LineBreakAt(string_view text, size_t at) {
    if (at < text.size() && text[at] == '\n') {
        return 1;
    }
    return text.substr(at, 2) == "\r\n" ? 2 : 0;
}

// Where a fence line ("---" alone, the blanks after it aside) ends, or npos.
size_t FenceLineEnd(string_view text, size_t at, string_view fence) {
    if (text.substr(at, fence.size()) != fence) {
        return npos;
    }
    size_t end = at + fence.size();
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) {
        ++end;
    }
    const size_t lineBreak = LineBreakAt(text, end);
    return lineBreak > 0 || end == text.size() ? end + lineBreak : npos;
}

// The end of the front matter that site generators read from a page's first line: YAML between
// "---" lines (or closed by "..."), TOML between "+++" lines, from `start`; 0 where the page has
// none.
size_t FrontMatterEnd(string_view text, size_t start) {
    for (const string_view fence : {string_view("---"), string_view("+++")}) {
        const size_t firstLineEnd = FenceLineEnd(text, start, fence);
        if (firstLineEnd == npos || firstLineEnd == text.size()) {
            continue;
        }
        for (size_t line = firstLineEnd; line < text.size();) {
            size_t end = FenceLineEnd(text, line, fence);
            if (end == npos && fence == "---") {
                end = FenceLineEnd(text, line, "...");
            }
            if (end != npos) {
                return end;
            }
            const size_t lineBreak = text.find('\n', line);
            line = lineBreak == npos ? text.size() : lineBreak + 1;
        }
    }
    return 0;
}

// Whether the page starts (blanks aside) with "{% extends": a Jinja, Django, Twig or Nunjucks
// template that fills the blocks of a layout. What stands outside its blocks is never shown, and
// Twig refuses to render it at all.
bool ExtendsALayout(string_view text, size_t start) {
    size_t at = BlanksEnd(text, start);
    if (text.substr(at, 2) != "{%") {
        return false;
    }
    at += 2;
    if (at < text.size() && (text[at] == '-' || text[at] == '~' || text[at] == '+')) {
        ++at;
    }
    at = BlanksEnd(text, at);
    return text.substr(at, 7) == "extends" && at + 7 < text.size() && IsHtmlBlank(text[at + 7]);
}

}  // namespace

ServerCode ServerCodeAt(string_view text, size_t spot, bool hasBodyEnd, bool runsPhp) {
    if (const ServerCode php = runsPhp ? PhpAround(text, spot) : ServerCode{}) {
        return php;
    }
    // Site generators pass over a UTF-8 byte-order mark before the front matter.
    const size_t start = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    if (spot < FrontMatterEnd(text, start)) {
        return {ServerCode::Kind::FrontMatter, 0};
    }
    if (!hasBodyEnd && ExtendsALayout(text, start)) {
        return {ServerCode::Kind::ExtendsLayout, BlanksEnd(text, start)};
    }
    return {};
}

bool RunsAsPhp(const QString& path) {
    static const QRegularExpression php(QStringLiteral("\\.(php[0-9]?|phtml)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    return php.match(path).hasMatch();
}
