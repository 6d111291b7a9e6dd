#include "output/ServerCode.h"

#include "output/HtmlScanner.h"

#include <QByteArrayView>
#include <QRegularExpression>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using std::size_t;
using std::string_view;

constexpr size_t npos = string_view::npos;

bool SameLetters(string_view text, size_t at, string_view lowerWord) {
    return text.size() - at >= lowerWord.size() &&
           QByteArrayView(text.data() + at, qsizetype(lowerWord.size()))
                   .compare(QByteArrayView(lowerWord.data(), qsizetype(lowerWord.size())), Qt::CaseInsensitive) == 0;
}

// Whether "<?php" and a blank, or the text's end, stand at `at`: the opening tag every server takes.
bool OpensPhpInFull(string_view text, size_t at) {
    return text.substr(at, 2) == "<?" && SameLetters(text, at + 2, "php") &&
           (at + 5 == text.size() || IsHtmlBlank(text[at + 5]));
}

// Whether the "<?" at `at` opens PHP code: "<?php" and a blank, "<?=", or the short "<?" and a
// blank that servers may still take. "<?xml" and other processing instructions are no code.
bool OpensPhp(string_view text, size_t at) {
    const size_t after = at + 2;
    if (after < text.size() && (text[after] == '=' || IsHtmlBlank(text[after]))) {
        return true;
    }
    return OpensPhpInFull(text, at);
}

// The length of the line break at `at` (LF or CRLF), or 0.
size_t LineBreakAt(string_view text, size_t at) {
    if (at < text.size() && text[at] == '\n') {
        return 1;
    }
    return text.substr(at, 2) == "\r\n" ? 2 : 0;
}

bool IsPhpNameByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Where the heredoc or nowdoc whose "<<<" is at `at` ends ("<<<ID", "<<<\"ID\"" or "<<<'ID'" and a
// line break, up to a line that starts, blanks aside, with ID and no more of a name), npos where it
// runs to the end of the text, or `at` itself where no heredoc begins there (a shift and a less-than).
size_t HeredocEnd(string_view text, size_t at) {
    size_t name = at + 3;
    while (name < text.size() && (text[name] == ' ' || text[name] == '\t')) {
        ++name;
    }
    const char quote = name < text.size() && (text[name] == '"' || text[name] == '\'') ? text[name] : '\0';
    name += quote != '\0' ? 1 : 0;
    size_t nameEnd = name;
    while (nameEnd < text.size() && IsPhpNameByte(text[nameEnd])) {
        ++nameEnd;
    }
    const size_t afterName = nameEnd + (quote != '\0' && nameEnd < text.size() && text[nameEnd] == quote ? 1 : 0);
    if (nameEnd == name || (text[name] >= '0' && text[name] <= '9') || (quote != '\0' && afterName == nameEnd) ||
        afterName >= text.size() || (text[afterName] != '\n' && text[afterName] != '\r')) {
        return at;
    }
    const string_view id = text.substr(name, nameEnd - name);
    // PHP takes a lone CR for a line break too, as old Mac editors saved.
    for (size_t line = text.find_first_of("\r\n", afterName); line != npos;
         line = text.find_first_of("\r\n", line + 1)) {
        size_t start = line + 1;
        while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) {
            ++start;
        }
        if (text.substr(start, id.size()) == id &&
            (start + id.size() == text.size() || !IsPhpNameByte(text[start + id.size()]))) {
            return start + id.size();
        }
    }
    return npos;
}

// Where the PHP string whose quote is at `at` ends (its closing quote), or npos where it runs to the
// end of the text. In a double-quoted or backtick string, "{$" and "${" open code up to its matching
// "}", and a quote there begins a string of that code's own ("{$a["key"]}" is one string), as its
// block comments hold no brace or quote. The nesting is kept in a list, not in calls, so that a page
// of a million openers cannot exhaust the stack.
size_t PhpStringEnd(string_view text, size_t at) {
    std::vector<char> open{text[at]};  // the quotes of the strings, and '{' for code and its braces
    for (size_t i = at + 1; i < text.size(); ++i) {
        const char c = text[i];
        const char inside = open.back();
        if (inside == '{') {
            if (text.substr(i, 2) == "/*") {
                i = text.find("*/", i + 2);
                if (i == npos) {
                    return npos;
                }
                ++i;
            } else if (c == '{' || c == '\'' || c == '"' || c == '`') {
                open.push_back(c);
            } else if (c == '}') {
                open.pop_back();
            }
        } else if (c == '\\') {
            ++i;
        } else if (c == inside) {
            open.pop_back();
            if (open.empty()) {
                return i;
            }
        } else if (inside != '\'' && (text.substr(i, 2) == "{$" || text.substr(i, 2) == "${")) {
            open.push_back('{');
            ++i;
        }
    }
    return npos;
}

// Where the PHP code from `from` ends: at the "?>" that ends it, or npos where it runs to the end of
// the text. As PHP reads it, a "?>" in a string, a block comment or a heredoc is the code's own text,
// and one in a line comment ("//" or "#") ends the code there.
size_t PhpCodeEnd(string_view text, size_t from) {
    for (size_t at = from; at < text.size(); ++at) {
        const char c = text[at];
        const string_view two = text.substr(at, 2);
        if (two == "?>") {
            return at;
        }
        if (c == '\'' || c == '"' || c == '`') {
            at = PhpStringEnd(text, at);
            if (at == npos) {
                return npos;
            }
        } else if (two == "/*") {
            const size_t end = text.find("*/", at + 2);
            if (end == npos) {
                return npos;
            }
            at = end + 1;
        } else if (two == "//" || (c == '#' && two != "#[")) {  // "#[" begins an attribute
            while (at + 1 < text.size() && text[at + 1] != '\n' && text[at + 1] != '\r' &&
                   text.substr(at + 1, 2) != "?>") {
                ++at;
            }
        } else if (text.substr(at, 3) == "<<<") {
            const size_t end = HeredocEnd(text, at);
            if (end == npos) {
                return npos;
            }
            at = end == at ? at + 2 : end - 1;
        }
    }
    return npos;
}

// PHP is found wherever it stands, in a comment or a script too: the server runs it before any
// browser sees the page, and it runs up to the "?>" that ends it (PhpCodeEnd) or the end of the
// text.
ServerCode PhpAround(string_view text, size_t spot) {
    size_t first = npos;
    size_t around = npos;      // where the code holding the spot begins
    bool pageOutside = false;  // whether anything but blanks stands outside the code
    // A byte-order mark before the code is no page either, though PHP sends it.
    size_t outsideFrom = AfterByteOrderMark(text);
    for (size_t open = text.find("<?"); open != npos; open = text.find("<?", open + 2)) {
        if (!OpensPhp(text, open)) {
            continue;
        }
        pageOutside = pageOutside || BlanksEnd(text, outsideFrom) < open;
        const size_t close = PhpCodeEnd(text, open + 2);
        const size_t end = close == npos ? npos : close + 2;
        around = open < spot && spot < end ? open : around;
        first = first == npos ? open : first;
        if (end == npos) {
            outsideFrom = text.size();
            break;
        }
        outsideFrom = end;
        open = close;
    }
    // An include of code alone is said to be one, wherever the spot fell.
    pageOutside = pageOutside || BlanksEnd(text, outsideFrom) < text.size();
    if (first != npos && !pageOutside) {
        return {ServerCode::Kind::PhpOnly, first};
    }
    return around != npos ? ServerCode{ServerCode::Kind::Php, around} : ServerCode{};
}

// Where the "<% %>" code holding the spot begins, or npos. Such code ends at the first "%>", whatever
// the language inside: these servers cut the page at their marks before the code is read, and a
// "%>" the code means is written otherwise ("%\>"). "<%--" begins a comment up to "--%>", and "<%%"
// is a "<%" of the page's text.
size_t TagCodeAround(string_view text, size_t spot) {
    size_t open = text.find("<%");
    while (open != npos && open < spot) {
        if (text.substr(open, 3) == "<%%") {
            open = text.find("<%", open + 3);
            continue;
        }
        const bool comment = text.substr(open, 4) == "<%--";
        const size_t close = comment ? text.find("--%>", open + 4) : text.find("%>", open + 2);
        const size_t end = close == npos ? npos : close + (comment ? 4 : 2);
        if (spot < end) {
            return open;
        }
        open = text.find("<%", end);
    }
    return npos;
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

// FrontMatterEnd for the front matter that begins at `start`.
size_t FrontMatterFrom(string_view text, size_t start) {
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

// The word a template's tag or action at `at` begins with ("{% extends ..." gives "extends", "{{-
// define ..." gives "define", Liquid's comment "{% # ..." gives "#"), or nothing.
string_view TagWord(string_view text, size_t at) {
    const string_view opener = text.substr(at, 2);
    if (opener != "{%" && opener != "{{") {
        return {};
    }
    at += 2;
    if (at < text.size() && (text[at] == '-' || (opener == "{%" && (text[at] == '~' || text[at] == '+')))) {
        ++at;
    }
    at = BlanksEnd(text, at);
    if (at < text.size() && text[at] == '#') {
        return text.substr(at, 1);
    }
    if (at >= text.size() || text[at] < 'a' || text[at] > 'z') {
        return {};
    }
    size_t end = at;
    while (end < text.size() && IsPhpNameByte(text[end])) {
        ++end;
    }
    return text.substr(at, end - at);
}

// Where the first tag from `from` whose word is `word` begins ("{% endblock" for "endblock"), or
// npos.
size_t TagFrom(string_view text, size_t from, string_view word) {
    size_t at = text.find("{%", from);
    while (at != npos && TagWord(text, at) != word) {
        at = text.find("{%", at + 2);
    }
    return at;
}

// Whether a comment of Go's templates, "{{/* ... */}}" or "{{- /* ... */ -}}", begins at `at`.
bool GoCommentAt(string_view text, size_t at) {
    if (text.substr(at, 2) != "{{") {
        return false;
    }
    at += 2;
    if (text.substr(at, 2) == "- ") {
        at += 2;
    }
    return text.substr(at, 2) == "/*";
}

// Whether the tag at `at`, whose word is `word`, holds a body up to its end tag: a block, a macro, a
// "{% set x %}" without "=" (which captures what follows), and the tags that filter or pass over what
// they hold. None of them may hold the "{% extends" of a child template.
bool HoldsABody(string_view text, size_t at, string_view word) {
    if (word == "set") {
        const size_t end = text.find("%}", at);
        return end != npos && text.substr(at, end - at).find('=') == npos;
    }
    for (const string_view body : {"block", "macro", "filter", "apply", "with", "autoescape", "raw", "verbatim",
                                   "spaceless", "call", "embed", "comment"}) {
        if (word == body) {
            return true;
        }
    }
    return false;
}

// Whether the page starts with "{% extends" or "{{ define": a Jinja, Django, Twig or Nunjucks
// template that fills the blocks of a layout, or a Go template (Hugo's) that defines them for its
// base template. What stands outside its blocks is never shown: Twig refuses to render it at all,
// and Hugo takes a page with it for one of its own, with nothing of the base around it. Blanks,
// comments and the tags that may come first are passed over: "{% set", "{% import", "{% from",
// "{% load", "{% use", "{% do", "{% include", an "{% if" around the extends, and whole blocks,
// macros and the like (HoldsABody). Where it starts is in `at`. Only the start counts: a page that
// names the tag further on is most likely about templates, and shows it as text.
bool ExtendsALayout(string_view text, size_t& at) {
    for (at = BlanksEnd(text, at);; at = BlanksEnd(text, at)) {
        const string_view word = TagWord(text, at);
        const bool tag = text.substr(at, 2) == "{%";
        size_t from = at + 2;  // where the closer is looked for
        string_view closer;
        if (text.substr(at, 2) == "{#") {
            closer = "#}";
        } else if (text.substr(at, 4) == "<!--") {
            closer = "-->";
        } else if (GoCommentAt(text, at)) {
            from = text.find("*/", from);
            closer = "}}";
        } else if (tag && HoldsABody(text, at, word)) {
            // Up to the closer of its end tag ("{% endblock", "{% endmacro"...).
            from = TagFrom(text, from, "end" + std::string(word));
            closer = "%}";
        } else if (tag &&
                   (word == "set" || word == "import" || word == "from" || word == "load" || word == "use" ||
                    word == "do" || word == "include" || word == "deprecated" || word == "if" || word == "endif")) {
            closer = "%}";
        } else {
            return tag ? word == "extends" : word == "define";
        }
        const size_t end = from == npos ? npos : text.find(closer, from);
        if (end == npos) {
            return false;
        }
        at = end + closer.size();
    }
}

}  // namespace

ServerCode ServerCodeAt(string_view text, size_t spot, bool hasBodyEnd, ServerLanguage language) {
    if (const ServerCode php = language == ServerLanguage::Php ? PhpAround(text, spot) : ServerCode{}) {
        return php;
    }
    if (const size_t tag = language == ServerLanguage::Tags ? TagCodeAround(text, spot) : npos; tag != npos) {
        return {ServerCode::Kind::Tag, tag};
    }
    // A page of front matter alone whose last fence has no line break would have the advert on the
    // fence's line, which then closes nothing.
    const size_t matterEnd = FrontMatterEnd(text);
    if (spot < matterEnd || (spot == matterEnd && matterEnd > 0 && text[matterEnd - 1] != '\n')) {
        return {ServerCode::Kind::FrontMatter, 0};
    }
    // A template's tags are read after its front matter, or its byte-order mark.
    const size_t start = matterEnd > 0 ? matterEnd : AfterByteOrderMark(text);
    if (size_t extends = start; !hasBodyEnd && ExtendsALayout(text, extends)) {
        return {ServerCode::Kind::ExtendsLayout, extends};
    }
    return {};
}

size_t TemplateCodeAround(string_view text, size_t spot) {
    static constexpr string_view kClosers[] = {"}}", "#}", "%}", "--}}"};
    // The next closer of each kind and the next line break, each looked for again only once passed:
    // the page is read a few times over at most, however many openers it holds.
    size_t closerAt[4] = {0, 0, 0, 0};
    bool closerLooked[4] = {false, false, false, false};
    size_t breakAt = 0;
    bool breakLooked = false;
    size_t endTagAt = 0;
    bool endTagLooked = false;
    bool endCommentAhead = true;
    for (size_t at = text.find('{'); at != npos && at < spot; at = text.find('{', at)) {
        const string_view two = text.substr(at, 2);
        const string_view word = two == "{%" ? TagWord(text, at) : string_view();
        // Handlebars' "{{!-- --}}" is a comment that may hold "}}".
        const int kind = text.substr(at, 5) == "{{!--" ? 3 : two == "{{" ? 0 : two == "{#" ? 1 : !word.empty() ? 2 : -1;
        if (kind < 0) {
            ++at;
            continue;
        }
        const string_view closer = kClosers[kind];
        if (!closerLooked[kind] || (closerAt[kind] != npos && closerAt[kind] < at + 2)) {
            closerAt[kind] = text.find(closer, at + 2);
            closerLooked[kind] = true;
        }
        size_t close = closerAt[kind];
        // A comment may run over lines and hold anything, and so may what a "{% comment %}" holds, up
        // to its "{% endcomment %}": it is never shown either. An expression or a tag closes on its
        // own line, and holds no closing tag before the spot (a string there may hold the one the
        // spot is at); one that seems to close later is text, a "{{" in a code sample, say.
        bool comment = kind == 1 || kind == 3 || text.substr(at, 3) == "{{!" || GoCommentAt(text, at) || word == "#";
        if (endCommentAhead && word == "comment") {
            const size_t end = TagFrom(text, at + 2, "endcomment");
            close = end != npos ? text.find(closer, end + 2) : close;
            comment = end != npos;
            endCommentAhead = end != npos && close != npos;
        }
        if (close != npos && !comment) {
            if (!breakLooked || (breakAt != npos && breakAt < at)) {
                breakAt = text.find_first_of("\r\n", at);
                breakLooked = true;
            }
            if (!endTagLooked || (endTagAt != npos && endTagAt < at)) {
                endTagAt = text.find("</", at);
                endTagLooked = true;
            }
            close = breakAt < close || endTagAt < std::min(close, spot) ? npos : close;
        }
        if (close == npos) {
            ++at;
            continue;
        }
        if (spot < close + closer.size()) {
            return at;
        }
        at = close + closer.size();
    }
    return npos;
}

size_t FrontMatterEnd(string_view text) {
    // Site generators pass over a UTF-8 byte-order mark before it.
    return FrontMatterFrom(text, AfterByteOrderMark(text));
}

ServerLanguage ServerLanguageOf(const QString& path, std::optional<string_view> text) {
    static const QRegularExpression php(QStringLiteral("\\.(php[0-9]?|phtml)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("\\.(asp|aspx|ascx|master|jsp|jspf|erb|rhtml|ejs)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (php.match(path).hasMatch()) {
        return ServerLanguage::Php;
    }
    if (tags.match(path).hasMatch()) {
        return ServerLanguage::Tags;
    }
    // A file that begins with PHP's opening tag is PHP's wherever it is included (a "db.inc", a
    // theme's ".tpl"): the advert must not go into its code, nor before it into a data response.
    return text && OpensPhpInFull(*text, BlanksEnd(*text, AfterByteOrderMark(*text))) ? ServerLanguage::Php
                                                                                      : ServerLanguage::None;
}
