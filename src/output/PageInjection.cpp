#include "output/PageInjection.h"

#include "banner/GifWriter.h"
#include "banner/TemplateImage.h"
#include "files/FileNames.h"
#include "files/Interruption.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "files/SiteWalk.h"
#include "output/HtmlScanner.h"
#include "output/OutputRuns.h"
#include "output/PageCharset.h"
#include "output/PageContext.h"
#include "output/ServerCode.h"
#include "output/TextLines.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>
#include <vector>

bool IsGif(QByteArrayView bytes) {
    return (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) && bytes.contains('\0');
}

namespace {

using std::size_t;
using std::string_view;

constexpr size_t npos = string_view::npos;
constexpr string_view kBegin{kBeginMarker};
constexpr string_view kEnd{kEndMarker};

string_view View(const QByteArray& bytes) {
    return {bytes.constData(), size_t(bytes.size())};
}

struct Range {
    size_t from = 0;
    size_t to = 0;

    bool operator==(const Range&) const = default;
};

// What one reading of a page decides: what goes, and where the new block goes.
struct PagePlan {
    std::vector<Range> removals;  // in page order, never overlapping
    size_t insertAt = 0;          // an offset of the page, never inside a removal
    size_t bodyEnd = npos;
    // A link left open at the closing body tag where the block goes (HtmlScanner::LinkOpenSince),
    // which browsers make again around the advert: its banner would lead there outside its own
    // strip. The block may go before old blocks and blanks there, taken out first: the same place.
    size_t linkSince = npos;
    // What stays that no run takes out (a block kept is named before a lone marker: the harder to
    // see), and where it begins.
    Leftover::Kind leftover = Leftover::Kind::None;
    size_t leftoverAt = 0;
    PageCoding coding = PageCoding::Bytes;  // how browsers read the page (PlanPage)

    void Leave(Leftover::Kind kind, size_t at) {
        if (kind > leftover || (kind == leftover && at < leftoverAt)) {
            leftover = kind;
            leftoverAt = at;
        }
    }
    Leftover LeftoverIn(string_view text) const;
    // Where the offset `at` of the page lies in the page as the run leaves it: without the removals
    // before it.
    size_t Kept(size_t at) const {
        size_t moved = at;
        for (const Range& r : removals) {
            moved -= r.to <= at ? r.to - r.from : 0;
        }
        return moved;
    }
    // Where the offset `kept` of the page as the run leaves it lies in the page.
    size_t Original(size_t kept) const {
        size_t at = kept;
        for (const Range& r : removals) {
            at += r.from <= at ? r.to - r.from : 0;
        }
        return at;
    }
    // Whether another reading of the page finds what this one does: the same removals and leftover,
    // and, where the block is to be `placed`, the same place for it.
    bool SameAs(const PagePlan& other, bool placed) const {
        return removals == other.removals && leftover == other.leftover && leftoverAt == other.leftoverAt &&
               (!placed || insertAt == other.insertAt);
    }
};

// What the reading has found up to some point. A copy is kept at every begin marker, so that when
// the marker turns out to open an old block, the reading goes on as though the block had never
// been there.
struct Findings {
    size_t bodyEnd = npos;  // the last real closing body tag
    size_t bodyInsertAt = npos;
    size_t htmlInsertAt = npos;
    // The <template> elements open here, and where the outermost began: what they hold is never
    // shown, so a block inside one would never run.
    size_t templates = 0;
    size_t templateSince = 0;
    size_t linkSince = npos;  // a link left open at the last real closing body tag (LinkOpenSince)

    // Where a block put in at `point` shows: there, or before the outermost open template.
    size_t Shown(size_t point) const { return templates > 0 ? std::min(point, templateSince) : point; }
};

// A begin marker still waiting for its end marker, with how things stood right before it.
struct OpenBegin {
    size_t at = 0;
    HtmlScanner::State state;
    Findings findings;
    size_t removals = 0;
};

// The begin markers waiting for their end markers, innermost last, with the tags read since each.
// A block must close every element it opens, even one whose end a browser would supply (an
// editor's <li> moved in), and hold no tag that no run writes into one: the page's own html, head
// or body tag, or the end of an element opened before the block. A tool that rebuilds the page (a
// parser that closes the head early) or an editor moves them in; taking the block out would take
// them too.
//
// The elements left open since a marker are the last of those left open since the outermost one,
// for as long as its block holds no such tag: an end tag closes the same element for both, or none
// of the inner marker's. So one list, indexed by name, serves them all, and each marker keeps
// where its own part of it begins: every tag costs the same however many markers wait and however
// deeply the page nests, where a list per marker took time and memory that grew with the square of
// a page of lone markers.
class OpenBegins final {
public:
    bool Empty() const { return m_begins.empty(); }
    const OpenBegin& Outermost() const { return m_begins.front().begin; }

    void Push(const OpenBegin& begin) { m_begins.push_back({begin, m_opened.size()}); }

    void Take(const HtmlToken& t) {
        if (m_begins.empty()) {
            return;
        }
        Waiting& innermost = m_begins.back();
        if (t.IsOneOf({"html", "head", "body"})) {
            innermost.holdsPageTags = true;
        } else if (t.kind == HtmlToken::Kind::StartTag) {
            if (!OpensNothing(t)) {
                const auto top = m_topByName.try_emplace(t.name, npos).first;
                m_opened.push_back({t.name, top->second});
                top->second = m_opened.size() - 1;
            }
        } else if (t.kind == HtmlToken::Kind::EndTag) {
            const auto top = m_topByName.find(t.name);
            if (top == m_topByName.end()) {
                innermost.holdsPageTags = true;
            } else {
                CloseTo(top->second);
                innermost.fewest = std::min(innermost.fewest, m_opened.size());
            }
        }
    }

    // Takes the innermost marker off, with whether its block holds a tag no run writes into one or
    // leaves an element open.
    std::pair<OpenBegin, bool> Pop() {
        const Waiting innermost = m_begins.back();
        m_begins.pop_back();
        const bool holdsPageTags =
            innermost.holdsPageTags || innermost.fewest < innermost.since || m_opened.size() > innermost.since;
        if (m_begins.empty()) {
            CloseTo(0);
        } else {
            // What came after the next marker out came inside its block too.
            Waiting& next = m_begins.back();
            next.holdsPageTags = next.holdsPageTags || innermost.holdsPageTags;
            next.fewest = std::min(next.fewest, innermost.fewest);
        }
        return {innermost.begin, holdsPageTags};
    }

private:
    // What a marker's block holds is told by what came after it up to the next marker in, and by
    // what that one's block held once it is taken off.
    struct Waiting {
        OpenBegin begin;
        size_t since = 0;      // the elements left open at the marker
        size_t fewest = npos;  // the fewest left open by an end tag since; fewer than `since` closed one from before
        bool holdsPageTags = false;
    };

    // An element left open, with where the last one of the same name left open before it stands
    // (npos: none).
    struct Opened {
        string_view name;
        size_t below = npos;
    };
    // Tag names as the tree builder compares them, in any ASCII letter case, without a copy of each:
    // a page of millions of names would otherwise take as many strings.
    struct NameHash {
        size_t operator()(string_view name) const {
            size_t hash = 14695981039346656037ULL;
            for (const char c : name) {
                hash = (hash ^ static_cast<unsigned char>(LowerAscii(c))) * 1099511628211ULL;
            }
            return hash;
        }
    };
    struct NameEqual {
        bool operator()(string_view one, string_view other) const { return SameTagName(one, other); }
    };

    void CloseTo(size_t size) {
        for (; m_opened.size() > size; m_opened.pop_back()) {
            const Opened& last = m_opened.back();
            const auto top = m_topByName.find(last.name);
            if (last.below == npos) {
                m_topByName.erase(top);
            } else {
                top->second = last.below;
            }
        }
    }

    std::vector<Waiting> m_begins;
    // The elements left open since the outermost marker, and where the last of each name stands
    // among them: names left open only are kept.
    std::vector<Opened> m_opened;
    std::unordered_map<string_view, size_t, NameHash, NameEqual> m_topByName;
};

bool IsMarker(const HtmlToken& token, string_view text, string_view marker) {
    return token.kind == HtmlToken::Kind::Comment && text.substr(token.begin, token.end - token.begin) == marker;
}

// Every name that matters here has four or eight letters; most tags are passed over by that alone.
bool MayMatter(const HtmlToken& t) {
    return t.kind == HtmlToken::Kind::Comment || t.name.size() == 4 || t.name.size() == 8;
}

// Whether taking out [from, to) would make a tag or a comment of the text around it: a '<' that
// was text because a block followed it, and what follows the block.
bool JoinsIntoMarkup(string_view text, size_t from, size_t to) {
    if (from == 0 || text[from - 1] != '<' || to >= text.size()) {
        return false;
    }
    const char next = text[to];
    return (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') || next == '/' || next == '!' || next == '?';
}

// Whether a marker starts in [from, end), right after an end marker, and runs on past `end`. Custom
// code matched there would cut that marker in two: bytes of the page's own that happen to match the
// code's start can be followed by a new block's marker. Such a marker ends within a marker's length
// after `end`, so only that far is read: never as far as a script the code may open runs on.
bool CutsMarker(string_view text, size_t from, size_t end) {
    const string_view near =
        text.substr(from, std::min(text.size(), end + std::max(kBegin.size(), kEnd.size())) - from);
    HtmlScanner scanner(near);
    for (HtmlToken t; scanner.Next(t) && from + t.begin < end;) {
        if (from + t.end > end && (IsMarker(t, near, kBegin) || IsMarker(t, near, kEnd))) {
            return true;
        }
    }
    return false;
}

// Whether the page's own end begins at `at`: the end of the text, or its closing body or html tag
// as the rest of the page reads it.
bool PageEndAt(string_view text, size_t at) {
    if (at == text.size()) {
        return true;
    }
    // Only "</" and a letter begin an end tag. Read on from anything else, the scanner would look as
    // far as the next tag, and for every '<' of a run of them that WhereTheBlockGoes passes over.
    const char letter = at + 2 < text.size() ? LowerAscii(text[at + 2]) : '\0';
    if (text.substr(at, 2) != "</" || letter < 'a' || letter > 'z') {
        return false;
    }
    HtmlToken tag;
    HtmlScanner scanner(text.substr(at));
    return scanner.Next(tag) && tag.begin == 0 &&
           (tag.Is(HtmlToken::Kind::EndTag, "body") || tag.Is(HtmlToken::Kind::EndTag, "html"));
}

// Whether custom code matched in [from, end) ends where a run leaves it: right before markup or the end
// of the text. A run puts custom code right before the closing body or html tag, a comment or tag left
// open, or the end of the text; an editor may have broken the line since before a closing tag or the
// end, and after a tag (and the code's own blanks) before any markup. Code that ends elsewhere is the
// start of the page's own words or tag that happens to read like it ("<p>Sale" of "<p>Sale ends
// Friday</p>", "</" of "</body>"), and taking it would cut them.
bool EndsBeforeMarkup(string_view text, size_t from, size_t end) {
    if (end == text.size() || text[end] == '<') {
        return true;
    }
    const size_t next = BlanksEnd(text, end);
    if (next == end) {
        return false;
    }
    if (PageEndAt(text, next)) {
        return true;
    }
    size_t last = end;
    while (last > from && IsHtmlBlank(text[last - 1])) {
        --last;
    }
    return last > from && text[last - 1] == '>' && text[next] == '<';
}

// Where the page's last closing body and html tags begin (npos for none), looked for once, and only
// for custom code that starts with one of them.
struct PageEnds {
    size_t body = npos;
    size_t html = npos;
};

PageEnds FindPageEnds(string_view text) {
    PageEnds ends;
    HtmlScanner scanner(text, FrontMatterEnd(text));
    HtmlToken t;
    while (scanner.Next(t)) {
        if (t.Is(HtmlToken::Kind::EndTag, "body")) {
            ends.body = t.begin;
        } else if (t.Is(HtmlToken::Kind::EndTag, "html")) {
            ends.html = t.begin;
        }
    }
    return ends;
}

// Whether custom code matched in [from, to) may be the page's own closing tags: a run puts its block
// right before them, so code that starts with a closing body or html tag (after blanks) matches them
// after a block that a run without that code put in. Unless the page holds such a tag of its own
// after the code, taking it would cut the page's end, which stays. Code that starts otherwise can
// be told from them.
bool MayBeThePagesEnd(string_view text, size_t from, size_t to, std::optional<PageEnds>& ends) {
    HtmlScanner scanner(text.substr(from, to - from));
    HtmlToken first;
    if (!scanner.Next(first)) {
        return false;
    }
    const bool body = first.Is(HtmlToken::Kind::EndTag, "body");
    const bool html = first.Is(HtmlToken::Kind::EndTag, "html");
    if (!body && !html) {
        return false;
    }
    for (size_t i = from; i < from + first.begin; ++i) {
        if (!IsHtmlBlank(text[i])) {
            return false;
        }
    }
    if (!ends) {
        ends = FindPageEnds(text);
    }
    const size_t own = body ? ends->body : ends->html;
    return own == npos || own < to;
}

Leftover PagePlan::LeftoverIn(string_view text) const {
    if (leftover == Leftover::Kind::None) {
        return {};
    }
    return {leftover, LineOf(text, leftoverAt)};
}

// Why the block must not go to the plan's insertion point, or nothing.
QString ServerCodeReason(string_view text, const PagePlan& plan, ServerLanguage language) {
    const ServerCode code = ServerCodeAt(text, plan.insertAt, plan.bodyEnd != npos, language);
    const qsizetype line = LineOf(text, code.at);
    switch (code.kind) {
    case ServerCode::Kind::Php:
        return QStringLiteral("the advert's place lies inside the PHP code that begins on line %1, where its HTML "
                              "would stop the page from running; put it in by hand outside that code; left as it is")
            .arg(line);
    case ServerCode::Kind::Tag:
        return QStringLiteral("the advert's place lies inside the server code that begins on line %1 (\"<%\" "
                              "up to \"%>\"), where its HTML would stop the page from running, or never show; put "
                              "it in by hand outside that code; left as it is")
            .arg(line);
    case ServerCode::Kind::PhpOnly:
        return QStringLiteral("holds nothing but PHP code (from line %1): no HTML the advert could go into, and "
                              "its HTML before or after that code would go into every page that includes this file; "
                              "where the code puts a page together from included parts, put the advert by hand "
                              "into the part that ends the page's body, and its image and style sheet into the "
                              "folder of the page that browsers load; left as it is")
            .arg(line);
    case ServerCode::Kind::FrontMatter:
        return QStringLiteral("the advert's place lies in the front matter at the top (the lines between \"---\" "
                              "or \"+++\" that a site generator reads), which its HTML would break; put it into "
                              "the page's layout, or after those lines by hand; left as it is");
    case ServerCode::Kind::ExtendsLayout:
        return QStringLiteral("extends a layout (\"%1\" on line %2), which shows only what the page's blocks hold: "
                              "the advert would not show, or would stop the page from rendering; put it into the "
                              "layout; left as it is")
            .arg(text.substr(code.at, 2) == "{{" ? QStringLiteral("{{ define") : QStringLiteral("{% extends"),
                 QString::number(line));
    case ServerCode::Kind::None:
        break;
    }
    return {};
}

// How many bytes of `text` from `at` hold `code`, or npos where they do not. A line break of the
// code (LF, CRLF or CR) stands for any one line break of the page: a checkout that converts line
// ends, an upload in text mode or an editor may have changed the page's since a run, the code's
// with them, and that copy must still go. A CRLF of the page is one line break, not cut in two,
// but where a lone CR ends the code: the LF after it may be the page's own (a line typed after the
// code), and a line break too many is the lesser harm. The spaces and tabs that end a line of the
// code may be fewer, or none, in the page, where its line ends there too: editors trim them on
// saving. With `anyIndent`, the spaces and tabs that begin a line of the code and of the page are
// passed over: a formatter indents code it moved. Every other byte is matched as it is.
size_t MatchedLength(string_view text, size_t at, string_view code, bool anyIndent = false) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t';
    };
    size_t page = at;
    for (size_t i = 0;;) {
        const size_t line = std::min(code.find_first_of("\r\n", i), code.size()) - i;
        if (text.substr(page, line) == code.substr(i, line)) {
            page += line;
        } else {
            size_t kept = line;  // the line without the blanks that end it
            while (kept > 0 && blank(code[i + kept - 1])) {
                --kept;
            }
            size_t end = page + kept;  // past the blanks the page kept of them
            while (end < text.size() && end - page < line && blank(text[end])) {
                ++end;
            }
            if (kept == line || text.substr(page, kept) != code.substr(i, kept) ||
                (end < text.size() && LineBreakAt(text, end) == 0)) {
                return npos;
            }
            page = end;
        }
        i += line;
        if (i == code.size()) {
            return page - at;
        }
        const size_t codeBreak = LineBreakAt(code, i);
        const bool endsOnCr = i + codeBreak == code.size() && codeBreak == 1 && code[i] == '\r';
        const size_t pageBreak = endsOnCr && text.substr(page, 1) == "\r" ? 1 : LineBreakAt(text, page);
        if (pageBreak == 0) {
            return npos;
        }
        i += codeBreak;
        page += pageBreak;
        while (anyIndent && i < code.size() && blank(code[i])) {
            ++i;
        }
        while (anyIndent && i < code.size() && page < text.size() && blank(text[page])) {
            ++page;
        }
    }
}

// Whether `text` holds `lower` (lower-case ASCII) in any letter case. Its first letter is looked
// for in either case apart, as memchr finds a byte: a 200 MB page is looked through in a
// few hundredths of a second where that letter is rare.
bool ContainsInAnyCase(string_view text, string_view lower) {
    const auto from = [&](char first) {
        for (size_t at = text.find(first); at != npos && text.size() - at >= lower.size();
             at = text.find(first, at + 1)) {
            if (std::equal(lower.begin() + 1, lower.end(), text.begin() + std::ptrdiff_t(at) + 1,
                           [](char lowerLetter, char c) { return LowerAscii(c) == lowerLetter; })) {
                return true;
            }
        }
        return false;
    };
    const bool letter = lower[0] >= 'a' && lower[0] <= 'z';
    return from(lower[0]) || (letter && from(char(lower[0] - 'a' + 'A')));
}

// How many bytes of `text` from `at` hold `code` as a formatter that reflows markup leaves it, or
// npos where they do not: a run of blanks in the code (line breaks among them) stands for any run
// of blanks in the page, and blanks may come or go between a tag and what is next to it, as where
// "<p>hi</p>" became "<p>", "  hi" and "</p>" on lines of their own. Every other byte is matched as
// it is, so words keep their letters and are not joined or split.
size_t ReflowedLength(string_view text, size_t at, string_view code) {
    // Blanks count in these, and formatters leave them as they are.
    for (const string_view preformatted : {"<pre", "<textarea", "<listing", "<xmp", "<plaintext"}) {
        if (ContainsInAnyCase(code, preformatted)) {
            return npos;
        }
    }
    size_t page = at;
    for (size_t i = 0; i < code.size();) {
        const size_t pageBlanks = BlanksEnd(text, page) - page;
        const bool afterTag = i > 0 && code[i - 1] == '>';
        if (IsHtmlBlank(code[i])) {
            const size_t next = BlanksEnd(code, i);
            if (pageBlanks == 0 && !afterTag && next < code.size() && code[next] != '<') {
                return npos;
            }
            i = next;
            page += pageBlanks;
            continue;
        }
        if (pageBlanks > 0 && !afterTag && code[i] != '<') {
            return npos;
        }
        page += pageBlanks;
        if (page >= text.size() || text[page] != code[i]) {
            return npos;
        }
        ++page;
        ++i;
    }
    return page - at;
}

// The custom code that may follow an old block: the current settings' and earlier runs'. An empty
// one is never taken out on its own.
struct CustomCodes {
    string_view current;
    const QByteArrayList& earlier;
    // Whether the run puts `current` back with its new block: then taking it cannot cost the page
    // its end, which comes back with it.
    bool currentPutBack = false;
    // The page's own bytes, which the codes are matched against (Plan sets them): its markup may be
    // read from a copy of them (MarkupOf), at the same offsets.
    string_view bytes = {};
    MarkersIn markersIn = MarkersIn::PageMarkup;

    // Whether the begin marker that ends at `at` in `text` opens a block (RemoveOldBlocks).
    bool OpensBlock(string_view text, size_t at) const {
        const string_view next = text.substr(at);
        return markersIn == MarkersIn::PageMarkup || next.starts_with(kScriptBlockStart) ||
               next.starts_with(kStaticBlockStart);
    }

    // How many bytes from `at` the longest of them that the page holds there takes (MatchedLength),
    // where that `fits` (told the length and whether it is the code put back); 0 for none. `text` is
    // what the page's markup is read from. The longest, since custom code shortened since (a line
    // taken off its end) still starts the same. A code not found right at `at` may come after
    // blanks, its own leading blanks aside: a formatter or a hand re-indent puts it on a line of its
    // own, and left there it would be added again with every run, and stay after a removal; it may
    // have indented its lines anew too. The blanks go with it. Only where nothing but blanks follows
    // it up to the page's end, where a run leaves it: elsewhere the same words or element after a
    // line break ("<hr>", "See you") are as likely the page's own. There, too, a formatter may have
    // reflowed it, its tags on lines of their own (ReflowedLength).
    template <typename Fits>
    size_t At(string_view text, size_t at, Fits fits) const {
        const size_t blanks = BlanksEnd(text, at) - at;
        const auto matched = [&](string_view code) {
            const size_t size = MatchedLength(bytes, at, code);
            const size_t start = std::find_if_not(code.begin(), code.end(), IsHtmlBlank) - code.begin();
            if (size != npos || start == code.size()) {
                return size;
            }
            size_t after = blanks > 0 ? MatchedLength(bytes, at + blanks, code.substr(start), true) : npos;
            if (after == npos) {
                after = ReflowedLength(bytes, at + blanks, code.substr(start));
            }
            if (after == npos) {
                return npos;
            }
            return PageEndAt(text, BlanksEnd(text, at + blanks + after)) ? blanks + after : npos;
        };
        size_t longest = 0;
        const auto consider = [&](string_view code, bool putBack) {
            const size_t size = code.empty() ? npos : matched(code);
            if (size != npos && size > longest && fits(size, putBack)) {
                longest = size;
            }
        };
        consider(current, currentPutBack);
        for (const QByteArray& code : earlier) {
            consider(View(code), false);
        }
        return longest;
    }
};

// `at`, or where the '<' characters of text right before it begin, once the removals have gone. A
// block after such a '<' could not be taken out again on its own (the '<' would join what follows
// into markup), and it reads the same before them: there they stay text, followed by another '<'.
// Where only blanks lie between an old block and the page's end (its closing tag, or the end of the
// text), the new block takes the old one's place: after them, it would add a blank line with every
// run where an editor ends the line after the block, or a formatter puts the closing tag back on a
// line of its own. Before anything else its custom code would no longer end as a run leaves it.
size_t WhereTheBlockGoes(string_view text, const std::vector<Range>& removals, size_t at) {
    auto removal = removals.rbegin();
    for (;;) {
        while (removal != removals.rend() && removal->to > at) {
            ++removal;
        }
        size_t blanksFrom = at;
        if (removal != removals.rend() && PageEndAt(text, at)) {
            while (blanksFrom > removal->to && IsHtmlBlank(text[blanksFrom - 1])) {
                --blanksFrom;
            }
        }
        // Across blanks only where no text '<' stands before the old block: the new one would go on
        // before that '<', where the next run would no longer find blanks alone before the page's end.
        const bool afterOpener = removal != removals.rend() && removal->from > 0 && text[removal->from - 1] == '<';
        if (removal != removals.rend() && removal->to == blanksFrom && (blanksFrom == at || !afterOpener)) {
            at = removal->from;
        } else if (at > 0 && text[at - 1] == '<') {
            --at;
        } else {
            return at;
        }
    }
}

// Whether a script, its start tag `t` and its text `script`, is the advert's as runs write it and
// minifiers leave it: JavaScript (no type, or a type of JavaScript) that is one call of
// document.write with one string, which holds the advert's box as markup (its class as an
// attribute's value in any quoting: `class='quentavornet'`, `class=\"quentavornet\"`). A script
// that does anything else is the page's own, whatever names it holds.
bool IsAdvertScript(string_view text, const HtmlToken& t, string_view script) {
    if (const std::optional<string_view> type = AttributeOf(text, t, "type")) {
        const std::string lower = LowerTagName(BlanksTrimmed(*type));
        if (!lower.empty() && lower != "text/javascript" && lower != "application/javascript") {
            return false;
        }
    }
    script = BlanksTrimmed(script);
    constexpr string_view kCall = "document.write(";
    if (!script.starts_with(kCall) || script.size() < kCall.size() + 3) {
        return false;
    }
    const char quote = script[kCall.size()];
    if (quote != '"' && quote != '\'' && quote != '`') {
        return false;
    }
    size_t end = kCall.size() + 1;
    while (end < script.size() && script[end] != quote) {
        end += script[end] == '\\' ? 2 : 1;
    }
    string_view rest = end < script.size() ? script.substr(end + 1) : string_view();
    if (!rest.starts_with(')')) {
        return false;
    }
    rest = BlanksTrimmed(rest.substr(1));
    if (!rest.empty() && rest != ";") {
        return false;
    }
    const string_view written = script.substr(kCall.size() + 1, end - kCall.size() - 1);
    constexpr string_view kClass{kBoxClass};
    const auto nameLetter = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    };
    for (size_t at = written.find(kClass); at != npos; at = written.find(kClass, at + 1)) {
        if (at + kClass.size() < written.size() && nameLetter(written[at + kClass.size()])) {
            continue;
        }
        size_t before = at;
        while (before > 0 && at - before < 3 &&
               (written[before - 1] == '\'' || written[before - 1] == '"' || written[before - 1] == '\\')) {
            --before;
        }
        if (before >= 6 && written[before - 1] == '=' && SameTagName(written.substr(before - 6, 5), "class")) {
            return true;
        }
    }
    return false;
}

// Reads the page once, its markup from `text`: `bytes`, the page itself, or MarkupOf them. Without
// `customCode` it only finds positions; with it, it also finds what RemoveOldBlocks takes out.
PagePlan Plan(string_view text, string_view bytes, std::optional<CustomCodes> customCode) {
    PagePlan plan;
    const bool asIso2022Jp = text.data() != bytes.data();
    if (customCode) {
        customCode->bytes = bytes;
    }
    // A site generator takes its front matter out before the page is read as HTML: a "<script>" in a
    // post's title there opens nothing.
    HtmlScanner scanner(text, FrontMatterEnd(text));
    Findings f;
    OpenBegins open;
    std::optional<PageEnds> pageEnds;
    // Where current custom code that may be the page's own end was taken, on the word that the new
    // block puts it back: only so where the new block goes to that very place.
    std::vector<size_t> putBackAt;
    // The advert's scripts (IsAdvertScript), where a page may hold them at all: one before every old
    // block, or in a page without any, is the advert's code without its markers. After a block it
    // may be custom HTML of an earlier run, which a run not given that code has always left.
    const bool watchScripts =
        customCode && customCode->markersIn == MarkersIn::PageMarkup && text.find(string_view(kBoxClass)) != npos;
    std::vector<size_t> advertScripts;
    std::optional<HtmlToken> scriptStart;  // the open script's start tag
    HtmlToken t;
    while (scanner.Next(t)) {
        open.Take(t);
        if (watchScripts && t.IsOneOf({"script"})) {
            if (t.kind == HtmlToken::Kind::StartTag) {
                // One in a template never runs.
                scriptStart = f.templates == 0 ? std::optional<HtmlToken>(t) : std::nullopt;
            } else if (scriptStart) {
                if (IsAdvertScript(text, *scriptStart, text.substr(scriptStart->end, t.begin - scriptStart->end))) {
                    advertScripts.push_back(scriptStart->begin);
                }
                scriptStart.reset();
            }
        }
        if (!MayMatter(t)) {
            continue;
        }
        if (customCode && IsMarker(t, text, kBegin) && customCode->OpensBlock(text, t.end)) {
            open.Push({t.begin, scanner.Current(), f, plan.removals.size()});
        } else if (customCode && IsMarker(t, text, kEnd) &&
                   (!open.Empty() || customCode->markersIn == MarkersIn::PageMarkup)) {
            if (open.Empty()) {
                plan.Leave(Leftover::Kind::LoneEnd, t.begin);
                continue;
            }
            const auto [begin, holdsPageTags] = open.Pop();
            // Right after an earlier removal, the two become one.
            const Range* previous = begin.removals > 0 ? &plan.removals[begin.removals - 1] : nullptr;
            const bool joinsPrevious = previous && previous->to == begin.at;
            const size_t from = joinsPrevious ? previous->from : begin.at;
            size_t end = t.end;
            // Where taking the custom code too would join what is left into markup, the block may
            // still go alone: the bytes that looked like custom code may start a tag of the page's
            // own. A block kept instead would keep the page from any run (SharedFiles::WritePage).
            const auto fits = [&](size_t size, bool putBack) {
                return EndsBeforeMarkup(text, end, end + size) && !JoinsIntoMarkup(text, from, end + size) &&
                       !CutsMarker(text, end, end + size) &&
                       (putBack || !MayBeThePagesEnd(text, end, end + size, pageEnds));
            };
            const size_t took = customCode->At(text, end, fits);
            const bool tookCode = took > 0;
            const bool onPutBack = tookCode && !fits(took, false);
            end += took;
            // A block stays where taking it out would change how the rest of the page reads: one that
            // opens or closes an svg or math element, one after a '<' that would join what follows, or,
            // read as ISO-2022-JP, one whose custom code escapes into letters and not back.
            if (!begin.state.SameAs(scanner.Current()) || (!tookCode && JoinsIntoMarkup(text, from, end)) ||
                (asIso2022Jp && ShiftAfter(bytes.substr(from, end - from), Shift::Ascii) == Shift::Letters)) {
                plan.Leave(Leftover::Kind::Block, begin.at);
                continue;
            }
            if (holdsPageTags) {
                plan.Leave(Leftover::Kind::PageTags, begin.at);
                continue;
            }
            plan.removals.resize(begin.removals);  // the blocks nested in this one go with it
            if (onPutBack) {
                putBackAt.push_back(from);
            }
            scanner.Resume(end, begin.state);
            if (joinsPrevious) {
                plan.removals.back().to = end;
            } else {
                plan.removals.push_back({begin.at, end});
            }
            f = begin.findings;
        } else if (t.Is(HtmlToken::Kind::EndTag, "body")) {
            f.bodyEnd = t.begin;
            f.bodyInsertAt = f.Shown(t.htmlPoint);
            f.linkSince = t.htmlPoint == t.begin ? scanner.LinkOpenSince() : npos;
        } else if (t.Is(HtmlToken::Kind::EndTag, "html")) {
            f.htmlInsertAt = f.Shown(t.htmlPoint);
        } else if (t.Is(HtmlToken::Kind::StartTag, "template") && t.htmlPoint == t.begin) {
            f.templateSince = f.templates++ == 0 ? t.begin : f.templateSince;
        } else if (t.Is(HtmlToken::Kind::EndTag, "template") && t.htmlPoint == t.begin && f.templates > 0) {
            --f.templates;
        }
    }
    if (!open.Empty()) {
        plan.Leave(Leftover::Kind::LoneBegin, open.Outermost().at);
    }
    for (const size_t at : advertScripts) {
        if (std::none_of(plan.removals.begin(), plan.removals.end(), [at](const Range& r) { return r.from <= at; })) {
            plan.Leave(Leftover::Kind::UnmarkedScript, at);
        }
    }
    plan.bodyEnd = f.bodyEnd;
    if (f.bodyEnd != npos) {
        plan.insertAt = f.bodyInsertAt;
        // Not where the block goes before a template left open.
        plan.linkSince = f.bodyInsertAt == f.bodyEnd ? f.linkSince : npos;
    } else if (f.htmlInsertAt != npos) {
        plan.insertAt = f.htmlInsertAt;
    } else {
        plan.insertAt = f.Shown(scanner.OpenSince());
    }
    plan.insertAt = WhereTheBlockGoes(text, plan.removals, plan.insertAt);
    // Taking the page's closing tag moves the place for the block to an earlier one (a page with two
    // closing body tags), where the code put back would take it: the page would lose its end. Read
    // again, such code stays.
    if (!putBackAt.empty() && (putBackAt.size() > 1 || putBackAt.front() != plan.insertAt)) {
        customCode->currentPutBack = false;
        return Plan(text, bytes, customCode);
    }
    return plan;
}

// Plan for the page as browsers read it (CodingOf). Where some may read it as ISO-2022-JP and others
// as its bytes, it is read both ways, and where the two differ in what the run looks at (the place
// for a block, where one is to be `placed`), the page is left as it is.
PagePlan PlanPage(string_view bytes, const std::optional<CustomCodes>& customCode, bool placed) {
    const PageCoding coding = CodingOf(bytes);
    if (coding == PageCoding::Bytes) {
        return Plan(bytes, bytes, customCode);
    }
    const std::string markup = MarkupOf(bytes);
    PagePlan plan = Plan(markup, bytes, customCode);
    plan.coding = coding;
    if (coding == PageCoding::Either && !plan.SameAs(Plan(bytes, bytes, customCode), placed)) {
        plan.Leave(Leftover::Kind::Undeclared, FirstShiftIntoLetters(bytes));
    }
    return plan;
}

// Why the block must not go to the plan's insertion point in `bytes` read as ISO-2022-JP, or nothing.
QString ShiftReason(string_view bytes, const PagePlan& plan, string_view block) {
    if (plan.coding == PageCoding::Bytes) {
        return {};
    }
    const Shift at = ShiftAfter(bytes.substr(0, plan.insertAt), Shift::Ascii);
    if (at == Shift::Letters) {
        // Markup is read outside letters only, so only the page's end can leave the place in them.
        return QStringLiteral("its ISO-2022-JP text ends in two-byte letters, without the escape back to ASCII, "
                              "and the advert would go there, where browsers would read it as letters; have it end "
                              "in ASCII (an editor saving it as ISO-2022-JP does), or put the advert in by hand; "
                              "left as it is");
    }
    if (ShiftAfter(block, at) == Shift::Letters) {
        return QStringLiteral("the advert's custom code escapes into ISO-2022-JP letters and not back to ASCII, "
                              "which would have browsers read the rest of the page as letters; end it in ASCII; "
                              "left as it is");
    }
    if (at == Shift::Roman && (block.find('\\') != npos || block.find('~') != npos)) {
        return QStringLiteral("the advert's place (line %1) lies where the page's ISO-2022-JP text is in JIS Roman, "
                              "which reads the advert's \"\\\" or \"~\" as other letters and breaks its code or "
                              "link; put the advert in by hand after an escape back to ASCII; left as it is")
            .arg(LineOf(bytes, plan.insertAt));
    }
    return {};
}

// The page without the plan's removals, with `block` (when given) at the plan's insertion point.
QByteArray Apply(string_view text, const PagePlan& plan, std::optional<string_view> block) {
    QByteArray out;
    out.reserve(qsizetype(text.size() + (block ? block->size() : 0)));
    size_t kept = 0;
    const auto keepUpTo = [&](size_t to) {
        if (block && plan.insertAt >= kept && plan.insertAt <= to) {
            out.append(text.data() + kept, qsizetype(plan.insertAt - kept));
            out.append(block->data(), qsizetype(block->size()));
            kept = plan.insertAt;
            block.reset();
        }
        out.append(text.data() + kept, qsizetype(to - kept));
    };
    for (const Range& r : plan.removals) {
        keepUpTo(r.from);
        kept = r.to;
    }
    keepUpTo(text.size());
    return out;
}

// Why the block must not go where a template's code would take it in (TemplateCodeAround), or
// nothing. That code is read in the page as the run leaves it: old blocks and the custom code that
// goes with them neither open nor close it.
QString TemplateCodeReason(string_view text, const PagePlan& plan) {
    if (text.find('{') == npos) {
        return {};
    }
    const QByteArray rest = plan.removals.empty() ? QByteArray() : Apply(text, plan, std::nullopt);
    const size_t found = TemplateCodeAround(plan.removals.empty() ? text : View(rest), plan.Kept(plan.insertAt));
    if (found == npos) {
        return {};
    }
    const size_t at = plan.Original(found);
    return QStringLiteral("the advert's place lies inside a template's code (\"%1\" on line %2), which its "
                          "engine reads before any browser does: the advert would stop the page from rendering, "
                          "or never show; put it in by hand outside that code; left as it is")
        .arg(QString::fromLatin1(text.substr(at, 2)), QString::number(LineOf(text, at)));
}

// Why the block must not go into a page that holds the advert's own names outside its old blocks
// (FindAdvertNames), or nothing. Old blocks hold them as every run writes them, so the page is read
// without them, and only where a name stands outside them at all.
QString AdvertNamesReason(const QByteArray& page, const PagePlan& plan) {
    const string_view text = View(page);
    const auto outsideOldBlocks = [&](string_view lowerName) {
        size_t from = 0;
        for (size_t i = 0; i <= plan.removals.size(); ++i) {
            const size_t to = i < plan.removals.size() ? plan.removals[i].from : text.size();
            if (ContainsInAnyCase(text.substr(from, to - from), lowerName)) {
                return true;
            }
            from = i < plan.removals.size() ? plan.removals[i].to : text.size();
        }
        return false;
    };
    // Both names begin so, unless a character reference stands for a letter; "q" is rare in a page's
    // words.
    if (!outsideOldBlocks("quenta") && !outsideOldBlocks("&#")) {
        return {};
    }
    const std::optional<NamedLikeTheAdvert> named = FindAdvertNames(
        plan.removals.empty() ? page : Apply(text, plan, std::nullopt), qsizetype(plan.Kept(plan.insertAt)));
    if (!named) {
        return {};
    }
    const bool map = named->name == kMapName;
    const QString harm = map ? QStringLiteral("browsers would take that map for the banner's, and its link would "
                                              "lead where that map's does")
                         : named->name == kBoxClass
                             ? QStringLiteral("the advert's style sheet would move that element into the window's "
                                              "corner")
                             : QStringLiteral("the advert's style sheet would restyle that element");
    // Between an old block and where the new one goes stands, as a rule, what an earlier run put
    // after its block: its custom HTML, which a run given other custom HTML cannot tell from the
    // page's own text. Its own removal run takes it out.
    const size_t at = plan.Original(size_t(named->at));
    const bool afterBlock = at < plan.insertAt && std::any_of(plan.removals.begin(), plan.removals.end(),
                                                              [at](const Range& r) { return r.to <= at; });
    const QString where =
        afterBlock
            ? QStringLiteral("after the advert's block (custom HTML of an earlier run?)")
            : QStringLiteral("(an advert put in by hand, code copied from one, or one whose markers a minifier or "
                             "formatter took out?)");
    const QString remedy = afterBlock
                               ? QStringLiteral("take it out with a removal run given that custom HTML, or by hand")
                               : QStringLiteral("take that out or rename it");
    return QStringLiteral("holds a name of the advert's own outside its block, in its %1 on line %2 %3: %4; %5, then "
                          "run again; left as it is")
        .arg(PrintableText(QString::fromUtf8(named->tag)), QString::number(LineOf(text, at)), where, harm, remedy);
}

// Where a page without old blocks holds the advert's markup, which shows the banner: an element of
// the advert's names (FindAdvertNames) in a page that names the banner's image; npos where it holds
// none. Beside a block, such an element is the page's own or custom HTML of an earlier run, which a
// removal not given that code has always left, and without the block the banner is gone.
size_t UnmarkedMarkupAt(const QByteArray& page, const PagePlan& plan) {
    const string_view text = View(page);
    const std::string image = LowerTagName(kAdvertImageName);
    if (!plan.removals.empty() || !ContainsInAnyCase(text, image)) {
        return npos;
    }
    const std::optional<NamedLikeTheAdvert> named = FindAdvertNames(page, page.size());
    return named ? size_t(named->at) : npos;
}

}  // namespace

qsizetype FindBodyEnd(const QByteArray& page) {
    const size_t pos = PlanPage(View(page), std::nullopt, true).bodyEnd;
    return pos == npos ? -1 : qsizetype(pos);
}

qsizetype InsertionPoint(const QByteArray& page) {
    return qsizetype(PlanPage(View(page), std::nullopt, true).insertAt);
}

BlockRemoval RemoveOldBlocks(const QByteArray& page, const QByteArray& customCode,
                             const QByteArrayList& earlierCustomCodes, MarkersIn markersIn) {
    const PagePlan plan =
        PlanPage(View(page), CustomCodes{View(customCode), earlierCustomCodes, false, {}, markersIn}, false);
    BlockRemoval removal{plan.removals.empty() ? page : Apply(View(page), plan, std::nullopt), !plan.removals.empty(),
                         plan.LeftoverIn(View(page))};
    if (!removal.leftover && markersIn == MarkersIn::PageMarkup) {
        if (const size_t at = UnmarkedMarkupAt(page, plan); at != npos) {
            removal.leftover = {Leftover::Kind::UnmarkedMarkup, LineOf(View(page), at)};
        }
    }
    return removal;
}

MarkersIn MarkersInFile(const QString& path) {
    return NeverAPage(QFileInfo(path).fileName()) ? MarkersIn::OtherText : MarkersIn::PageMarkup;
}

Injection Inject(const QByteArray& page, const QByteArray& codeBlock, const QByteArrayList& earlierCustomCodes,
                 ServerLanguage language, MarkersIn markersIn) {
    const string_view block = View(codeBlock);
    const size_t end = block.find(kEnd);
    const string_view customCode = end == npos ? string_view() : block.substr(end + kEnd.size());
    const string_view text = View(page);
    const PagePlan plan = PlanPage(text, CustomCodes{customCode, earlierCustomCodes, true, {}, markersIn}, true);
    QString misplaced = ServerCodeReason(text, plan, language);
    if (misplaced.isEmpty()) {
        misplaced = ShiftReason(text, plan, block);
    }
    if (misplaced.isEmpty()) {
        misplaced = TemplateCodeReason(text, plan);
    }
    if (misplaced.isEmpty()) {
        misplaced = AdvertNamesReason(page, plan);
    }
    return {Apply(text, plan, block), plan.LeftoverIn(text), misplaced, qsizetype(plan.Kept(plan.insertAt)),
            plan.linkSince != npos ? qsizetype(plan.Kept(plan.linkSince)) : -1};
}

QByteArray InjectCode(const QByteArray& page, const QByteArray& codeBlock, const QByteArrayList& earlierCustomCodes) {
    return Inject(page, codeBlock, earlierCustomCodes).page;
}

PageRead ReadPageText(const QString& path) {
    FileBytes file = ReadRegularFile(path, kMaxPageBytes);
    if (file.missing) {
        return PageRead::Success(std::nullopt, path);
    }
    if (!file.status.Ok()) {
        // A name that nothing can stand at (one too long) has nothing to leave as it is.
        return PageRead::Failure(path, file.status.error + QStringLiteral("; ") + UntouchedEnding(SomethingAt(path)));
    }
    return PageRead::Success(std::move(file.bytes), path);
}

namespace {

bool StartsAsUtf16(const QByteArray& bytes) {
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

// Whether the text's first letter, past a byte-order mark and blanks, is "<".
bool BeginsAsMarkup(const QByteArray& text) {
    const size_t at = BlanksEnd(View(text), AfterByteOrderMark(View(text)));
    return at < size_t(text.size()) && text[qsizetype(at)] == '<';
}

// Why a file holding a zero byte is no text that a block can be taken out of or put into.
QString ZeroByteReason(const QByteArray& bytes) {
    return IsGif(bytes)
               ? QStringLiteral("is a GIF image, not a page; left as it is")
               : QStringLiteral("holds a zero byte (not an 8-bit or UTF-8 text, perhaps UTF-16 or UTF-32); left "
                                "as it is");
}

QByteArray InUtf16(QStringView text, bool bigEndian) {
    QStringEncoder toUtf16(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
    return toUtf16(text);
}

// Whether UTF-16 `bytes` hold `marker` as letters in the byte order given: at an even offset, since
// ASCII's letters in one byte order are those in the other shifted by a byte.
bool HoldsAsLetters(QByteArrayView bytes, const char* marker, bool bigEndian) {
    const QByteArray letters = InUtf16(QString::fromLatin1(marker), bigEndian);
    for (qsizetype at = bytes.indexOf(letters); at >= 0; at = bytes.indexOf(letters, at + 1)) {
        if (at % 2 == 0) {
            return true;
        }
    }
    return false;
}

// The text of UTF-16 `bytes` in the byte order given; none where they are not whole UTF-16 text: an
// odd count of bytes, or half of a surrogate pair, which no text written back could keep as it is.
std::optional<QString> Utf16Text(QByteArrayView bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    // Qt's decoder passes half of a pair through, so the pairs are checked here. A mark after the
    // page's own is a letter of its text.
    QStringDecoder fromUtf16(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                             QStringConverter::Flag::ConvertInitialBom);
    const QString text = fromUtf16(bytes);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (text[i].isSurrogate()) {
            return std::nullopt;
        }
    }
    return text;
}

// Whether `file` holds either marker as UTF-32 text, in either byte order. No browser reads UTF-32
// (it reads such a page, whatever its mark, as other text), so its blocks are not taken out as a
// page's are.
bool HoldsMarkerInUtf32(const QByteArray& file) {
    for (const QStringConverter::Encoding form : {QStringConverter::Utf32LE, QStringConverter::Utf32BE}) {
        for (const char* marker : {kBeginMarker, kEndMarker}) {
            QStringEncoder toUtf32(form);
            if (file.contains(QByteArray(toUtf32(QLatin1String(marker))))) {
                return true;
            }
        }
    }
    return false;
}

// Whether `bytes` are UTF-32 text as far as can be told: they start with its byte-order mark (in
// little-endian order, UTF-16's and two zero bytes) or hold the advert's marker in it.
bool IsUtf32(const QByteArray& bytes) {
    return WideTextForm(bytes) == u"UTF-32" || HoldsMarkerInUtf32(bytes);
}

// Custom code as a UTF-16 page holds it, in the UTF-8 that the page's text is read in: code that is
// UTF-8 as it is, any other as Latin-1, which a page made with it is labelled as (CodeTexts) and
// which a page in it keeps letter for letter when saved as UTF-16.
QByteArray CodeAsText(const QByteArray& code) {
    return Utf8Text(code) ? code : QString::fromLatin1(code).toUtf8();
}

QByteArrayList CodesAsText(const QByteArrayList& codes) {
    QByteArrayList texts;
    for (const QByteArray& code : codes) {
        texts.append(CodeAsText(code));
    }
    return texts;
}

}  // namespace

Result<BlockRemoval> RemoveFromFile(const QByteArray& file, const QString& name, const QByteArray& customCode,
                                    const QByteArrayList& earlierCustomCodes) {
    const MarkersIn markersIn = MarkersInFile(name);
    const bool utf16 = StartsAsUtf16(file);
    if (!utf16 && !file.contains('\0')) {
        return Result<BlockRemoval>::Success(RemoveOldBlocks(file, customCode, earlierCustomCodes, markersIn));
    }
    if (HoldsMarkerInUtf32(file)) {
        return Result<BlockRemoval>::Failure(
            {}, QStringLiteral("holds the advert's marker as UTF-32 text, which no browser reads and the advert is "
                               "not taken out of; take it out by hand; left as it is"));
    }
    // Any file may be given, or matched by a site's patterns; one that holds no marker in any form
    // holds no block, and is left alone as any page without one is.
    const bool asBytes = file.contains(kBeginMarker) || file.contains(kEndMarker);
    const auto inUtf16 = [&file](const char* marker) {
        const QString text = QLatin1String(marker);
        return file.contains(InUtf16(text, false)) || file.contains(InUtf16(text, true));
    };
    if (!asBytes && !inUtf16(kBeginMarker) && !inUtf16(kEndMarker)) {
        return Result<BlockRemoval>::Success({file, false, {}});
    }
    if (!utf16) {
        return Result<BlockRemoval>::Failure({}, ZeroByteReason(file));
    }
    // A browser reads such a page as UTF-16 from its mark on: a marker written into it as 8-bit
    // text is no comment there, and neither is anything in a page it cannot read whole, nor a marker
    // in the other byte order, which reads as other letters.
    const bool bigEndian = file.startsWith("\xFE\xFF");
    if (!asBytes && !HoldsAsLetters(file, kBeginMarker, bigEndian) && !HoldsAsLetters(file, kEndMarker, bigEndian)) {
        return Result<BlockRemoval>::Failure(
            {}, QStringLiteral("starts with a UTF-16 byte-order mark, but holds the advert's marker only in the "
                               "other byte order (or out of step with its letters), which no browser reads as a "
                               "marker there; take the advert out by hand, or save the page again with the right "
                               "mark; left as it is"));
    }
    const std::optional<QString> text = asBytes ? std::nullopt : Utf16Text(QByteArrayView(file).sliced(2), bigEndian);
    if (!text) {
        return Result<BlockRemoval>::Failure(
            {}, asBytes ? QStringLiteral("starts as UTF-16 text does (a byte-order mark), but holds the advert's "
                                         "marker as 8-bit text, which is no part of that text; take it out by "
                                         "hand; left as it is")
                        : QStringLiteral("starts as UTF-16 text does (a byte-order mark), but is not whole UTF-16 "
                                         "text (an odd count of bytes, or half of a surrogate pair); left as it is"));
    }
    // The blocks go from the page's text, read as any page's is; every other letter, and so every
    // byte outside a block, comes back as it was.
    BlockRemoval removal =
        RemoveOldBlocks(text->toUtf8(), CodeAsText(customCode), CodesAsText(earlierCustomCodes), markersIn);
    QStringDecoder fromUtf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString left = fromUtf8(removal.page);
    if (fromUtf8.hasError()) {
        return Result<BlockRemoval>::Failure({}, QStringLiteral("a block ends inside a letter of the page's "
                                                                "UTF-16 text; take it out by hand; left as it is"));
    }
    removal.page = removal.removed ? file.first(2) + InUtf16(left, bigEndian) : file;
    return Result<BlockRemoval>::Success(std::move(removal));
}

PageRead ReadPage(const QString& path) {
    PageRead page = ReadPageText(path);
    if (!page.Ok()) {
        return page;
    }
    // Given by name (a "--modify site/*" meant for the pages), a style sheet, a script, program code
    // or data would be broken by the advert's HTML, as a site's run never takes them.
    const QString landing = QFileInfo(path).isSymLink() ? WriteTarget(path) : path;
    if (BrokenByMarkup(path) || BrokenByMarkup(landing)) {
        const QString named =
            BrokenByMarkup(path) ? QStringLiteral("is") : QStringLiteral("leads to \"%1\", which is").arg(landing);
        return PageRead::Failure(
            path, QStringLiteral("%1 a style sheet, a script, program code or data by its name, "
                                 "no page, and the advert's HTML would break it; %2")
                      .arg(named, page.value ? QStringLiteral("left as it is") : QStringLiteral("not made")));
    }
    if (page.value && page.value->contains('\0') && IsUtf32(*page.value)) {
        return PageRead::Failure(path, QStringLiteral("is UTF-32 text (by its byte-order mark or the advert's marker "
                                                      "in it), which browsers do not read as such and the advert "
                                                      "cannot go into; left as it is"));
    }
    // The advert's code is 8-bit text, which a browser would read in a UTF-16 page as other letters
    // (such a page holds no zero byte where every letter is outside ASCII). An old block can still be
    // taken out of one (RemoveFromFile), which leaves its other bytes as they are.
    if (page.value && StartsAsUtf16(*page.value)) {
        return PageRead::Failure(path, QStringLiteral("starts as UTF-16 text does (a byte-order mark), which the "
                                                      "advert cannot go into; left as it is"));
    }
    // Writing back only the text before a zero byte would lose the rest of the file.
    if (page.value && page.value->contains('\0')) {
        return PageRead::Failure(path, ZeroByteReason(*page.value));
    }
    // An earlier version may have put the advert into a file that no run takes now.
    const QString removable = page.value && page.value->contains(kBeginMarker)
                                  ? QStringLiteral(" (remove takes out the advert an earlier run put in)")
                                  : QString();
    // A program the system runs, whatever its name (a CGI script without an ending, a server's
    // script), begins so, and no page does.
    if (page.value && page.value->startsWith("#!")) {
        return PageRead::Failure(path, QStringLiteral("begins with \"#!\", as a script that the system runs does: no "
                                                      "page, and the advert's HTML would break it%1; left as it is")
                                           .arg(removable));
    }
    // A .cgi or .pl file is the script itself, unless a mirrored site kept under its name a page the
    // script sent, which begins as markup does.
    const auto scriptByName = [](const QString& name) {
        return name.endsWith(u".cgi", Qt::CaseInsensitive) || name.endsWith(u".pl", Qt::CaseInsensitive);
    };
    if (page.value && (scriptByName(path) || scriptByName(landing)) && !BeginsAsMarkup(*page.value)) {
        return PageRead::Failure(path, QStringLiteral("is a script by its name, and does not begin as a page does "
                                                      "(with \"<\"): no page, and the advert's HTML would break "
                                                      "it%1; left as it is")
                                           .arg(removable));
    }
    // A server sends such a page as XML, which a browser shows only while it is well formed, and the
    // advert's code is HTML (an image tag without its end): the page would show an error instead.
    const auto xhtml = [](const QString& name) {
        return name.endsWith(u".xhtml", Qt::CaseInsensitive) || name.endsWith(u".xht", Qt::CaseInsensitive);
    };
    if (xhtml(path) || xhtml(landing)) {
        const QString what = xhtml(path) ? QStringLiteral("is") : QStringLiteral("leads to \"%1\",").arg(landing);
        return PageRead::Failure(
            path, page.value ? QStringLiteral("%1 an XHTML page by its name, which browsers read as XML, and the "
                                              "advert's HTML would stop it showing%2; left as it is")
                                   .arg(what, removable)
                             : QStringLiteral("would be an XHTML page by its name, which browsers read as XML, and "
                                              "the advert's HTML would stop it showing; not made"));
    }
    if (const std::optional<std::string> charset =
            page.value ? CharsetShowingNothing(View(*page.value)) : std::nullopt) {
        return PageRead::Failure(path, QStringLiteral("declares the charset \"%1\", in which browsers show none of "
                                                      "a page's text, only one replacement letter, so the advert "
                                                      "would never show; save the page as UTF-8%2; left as it is")
                                           .arg(QString::fromStdString(*charset), removable));
    }
    if (page.value && IsFramesetPage(*page.value)) {
        return PageRead::Failure(path, QStringLiteral("is a page of frames, whose own body no browser shows, so the "
                                                      "advert would never show; give it instead to the page of "
                                                      "the one frame that holds the window's top corner (a "
                                                      "banner in each frame's page shows in each frame)%1; left "
                                                      "as it is")
                                           .arg(removable));
    }
    return page;
}

QString Leftover::Reason() const {
    switch (kind) {
    case Kind::UnmarkedScript:
    case Kind::UnmarkedMarkup: {
        const bool script = kind == Kind::UnmarkedScript;
        return QStringLiteral("holds the advert's %1 on line %2 without the comments that mark its block (\"%3\" and "
                              "\"%4\"; a minifier or formatter takes comments out%5): %6; put the two comments back "
                              "around it%7 and run again, or take it out by hand; left as it is")
            .arg(script ? QStringLiteral("script") : QStringLiteral("own markup"), QString::number(line),
                 QLatin1String(kBeginMarker), QLatin1String(kEndMarker),
                 script ? QString() : QStringLiteral(", or it was put in by hand"),
                 script ? QStringLiteral("a new advert would show a second banner, and a removal would leave this one")
                        : QStringLiteral("a removal would leave the banner showing"),
                 script ? QString() : QStringLiteral(" (from the link to its style sheet to the end of its map)"));
    }
    case Kind::Block:
        return QStringLiteral("an advert block stays (line %1), since taking it out would change how the rest of "
                              "the page reads; take it out by hand; left as it is")
            .arg(line);
    case Kind::PageTags:
        return QStringLiteral("an advert block (line %1) holds tags of the page's own, such as its body tag or the "
                              "end of an element, which taking it out would take too; take the advert out by hand; "
                              "left as it is")
            .arg(line);
    case Kind::LoneBegin:
        return QStringLiteral("the advert's begin marker on line %1 has lost its end marker, so where its block ends "
                              "cannot be told; take what is left of it out by hand; left as it is")
            .arg(line);
    case Kind::LoneEnd:
        return QStringLiteral("the advert's end marker on line %1 has lost its begin marker, so where its block "
                              "begins cannot be told; take what is left of it out by hand; left as it is")
            .arg(line);
    case Kind::Undeclared:
        return QStringLiteral("holds ISO-2022-JP text (from line %1) but declares no charset that browsers know, and "
                              "browsers that take it for ISO-2022-JP and those that do not read its tags in different "
                              "places; declare it with <meta charset=\"iso-2022-jp\"> at the top and run again; left "
                              "as it is")
            .arg(line);
    case Kind::None:
        break;
    }
    return {};
}

LinkCheck CheckImageLink(const QString& path) {
    if (!QFileInfo(path).isSymLink()) {
        return {};
    }
    const QString target = WriteTarget(path);
    // Where it leads as a message names it, looked up only for one.
    const auto shown = [&path] {
        return PrintableWriteTarget(path);
    };
    LinkCheck check{{}, StampOf(path)};
    // Its start tells: a GIF's header and first blocks hold zero bytes (its aspect byte is one in
    // nearly every GIF, and every run of image data ends with one). A large file is not read whole.
    const FileBytes start = ReadFileStart(path, qint64(64) << 10);
    // Nor a style sheet yet to be made, nor another folder's other image: that folder's run writes its
    // own there, over this one (a 2x twin would end as a picture of half its size, blurred). Within
    // the folder, the run itself finds two of its files landing on one.
    const QFileInfo link(path);
    const QString ownName = link.fileName();
    const QString targetName = QFileInfo(target).fileName();
    // By their bytes: as text, folders whose names are not valid text would meet others, or miss
    // themselves.
    const auto elsewhere = [&path, &link] {
        const QByteArray landing = WriteTargetBytes(path);
        const qsizetype slash = landing.lastIndexOf('/');
        return landing.left(std::max<qsizetype>(slash, 1)) != RealPathBytes(link.absolutePath());
    };
    if (target.endsWith(QLatin1String(".css"), Qt::CaseInsensitive)) {
        check.refusal = QStringLiteral("is a link to %1, which is named as a style sheet, not an image; left as it is")
                            .arg(shown());
    } else if (IsAdvertFileName(targetName) && IsAdvertFileName(ownName) &&
               targetName.compare(ownName, Qt::CaseInsensitive) != 0 && elsewhere()) {
        check.refusal = QStringLiteral("is a link to %1, which is named as the advert's other image, where another "
                                       "folder's run writes its own; left as it is")
                            .arg(shown());
    } else if (!start.missing && !start.status.Ok()) {
        check.refusal =
            QStringLiteral("is a link to %1, which cannot be read to tell whether it is a GIF (%2); left as it is")
                .arg(shown(), start.status.error);
    } else if (!start.bytes.isEmpty() && !IsGif(start.bytes)) {
        check.refusal = QStringLiteral("is a link to %1, which is not a GIF image; left as it is").arg(shown());
    }
    return check;
}

namespace {

// The images and the style sheet are written through a link as a page is, so that folders may share
// one; but a link may lead anywhere, a page of the user's included. So through a link, an image
// replaces only what CheckImageLink allows, and a style sheet only a file named as one.
LinkCheck CheckStyleLink(const QString& path) {
    if (!QFileInfo(path).isSymLink()) {
        return {};
    }
    const QString target = WriteTarget(path);
    // Where it leads as a message names it, looked up only for one.
    const auto shown = [&path] {
        return PrintableWriteTarget(path);
    };
    LinkCheck check{{}, StampOf(path)};
    if (!target.endsWith(QLatin1String(".css"), Qt::CaseInsensitive)) {
        check.refusal = QStringLiteral("is a link to %1, which is not a style sheet; left as it is").arg(shown());
    }
    return check;
}

// The preview's image and style sheet are its own, made anew, and never go through a link.
LinkCheck CheckNoLink(const QString& path) {
    if (!QFileInfo(path).isSymLink()) {
        return {};
    }
    return {QStringLiteral("is a link, and the preview's image and style sheet are made anew; left as it is"), {}};
}

// Why the page at `pagePath` is no page but where one of the advert's own files goes; empty when
// it is a page. One that lands where the image, its 2x twin (written on a later run with that
// option) or the style sheet goes would be overwritten by them, or them by it, and the run would
// still report both as written. All of them stand in the page's folder, so the names tell, in any
// letter case since some file systems make no difference there, unless one of them is a link. A
// page that is a link to where another folder's image or style sheet goes is refused too.
QString AdvertFileInTheWay(const QString& pagePath, const QList<ImageFile>& images, const QString& stylePath) {
    const bool pageIsLink = QFileInfo(pagePath).isSymLink();
    const QString pageTarget = pageIsLink ? WriteTarget(pagePath) : QString();
    // Where a plain page lands is looked up once, and only when one of the advert's files is a link.
    std::optional<QString> plainPageTarget;
    const auto landing = [&]() -> const QString& {
        if (pageIsLink) {
            return pageTarget;
        }
        if (!plainPageTarget) {
            plainPageTarget = WriteTarget(pagePath);
        }
        return *plainPageTarget;
    };
    const auto landsOn = [&](const QString& path) {
        if (path.isEmpty()) {
            return false;
        }
        if (pagePath.compare(path, Qt::CaseInsensitive) == 0) {
            return true;
        }
        if (pageIsLink &&
            QFileInfo(pageTarget).fileName().compare(QFileInfo(path).fileName(), Qt::CaseInsensitive) == 0) {
            return true;
        }
        return (pageIsLink || QFileInfo(path).isSymLink()) &&
               landing().compare(WriteTarget(path), Qt::CaseInsensitive) == 0;
    };
    const auto goesThere = [&](const char* what) {
        const QString where =
            pageIsLink ? QStringLiteral("is a link to %1, where").arg(pageTarget) : QStringLiteral("is where");
        return QStringLiteral("%1 the advert's %2 goes, not a page; %3")
            .arg(where, QLatin1String(what), UntouchedEnding(SomethingAt(pagePath)));
    };
    if (landsOn(stylePath)) {
        return goesThere("style sheet");
    }
    // Through a link, a style sheet of any name is no page, since another folder's may lead there
    // too, unseen; a file given by its own name is the user's to call a page.
    if (pageIsLink && pageTarget.endsWith(QLatin1String(".css"), Qt::CaseInsensitive)) {
        return QStringLiteral("is a link to %1, a style sheet, not a page; left as it is").arg(pageTarget);
    }
    if (std::any_of(images.begin(), images.end(), [&landsOn](const ImageFile& image) {
            return landsOn(image.path) || landsOn(At2xName(image.path));
        })) {
        return goesThere("image");
    }
    return {};
}

// Whoever may read one of `pages`, which exist; nothing where none does. No file has two groups, so
// pages read through different groups leave the files to everyone.
std::optional<Readers> ReadersOf(const QStringList& pages) {
    std::optional<Readers> readers;
    for (const QString& page : pages) {
        struct stat info {};
        if (::stat(QFile::encodeName(page).constData(), &info) != 0) {
            continue;
        }
        const mode_t bits = info.st_mode & 0444;
        if (!readers) {
            readers = Readers{bits, info.st_gid};
        } else if ((bits & 0040) != 0 && info.st_gid != readers->group) {
            if ((readers->bits & 0040) != 0) {
                readers->bits |= 0004;
            } else {
                readers->group = info.st_gid;
            }
        }
        readers->bits |= bits;
    }
    return readers;
}

}  // namespace

// A page left without the advert since its folder's image or style sheet failed: a block whose
// image or style sheet is missing shows a broken banner, or an unstyled one in the page's flow, on
// a live site; the page as it was is the better page.
FileResult SharedFiles::NotGivenTheAdvert(const QString& pagePath) const {
    // A link to nothing yet is no page to give the advert, but is left as it is.
    const QString what =
        QFileInfo::exists(pagePath) ? QStringLiteral("not given the advert") : QStringLiteral("not made");
    return FileResult::Failure(pagePath,
                               QStringLiteral("%1, %2; %3").arg(what, failure, UntouchedEnding(SomethingAt(pagePath))));
}

// Writes the images and the style sheet together with `page`, the first of their folder's run to
// get this far, and notes how they went. All of them or none: the pages that show a folder's older
// files need them together (the style sheet gives the image its size), and a page that fails (a
// full disk, a change meanwhile) must not leave the folder's other pages showing a new image by
// their old blocks. Where only the page failed, the next page tries them again, and only the page
// is reported. One result per file attempted.
QList<FileResult> SharedFiles::WriteTogether(const FileToWrite& page, PageStart start) {
    const bool anew = start == PageStart::Sample;
    using LinkChecker = LinkCheck (*)(const QString& path);
    const LinkChecker imageLink = anew ? CheckNoLink : CheckImageLink;
    const LinkChecker styleLink = anew ? CheckNoLink : CheckStyleLink;
    QList<FileToWrite> set;
    std::optional<FileResult> refused;
    // Made under a private umask, or by a run that was, they would be refused to the web server that
    // sends the pages; a private draft first in its folder must not make them private to all.
    const std::optional<Readers> readers = ReadersOf(servedPages.isEmpty() ? QStringList{page.path} : servedPages);
    const auto add = [&](QByteArrayView bytes, const QString& path, LinkChecker checkLink) {
        const LinkCheck link = checkLink(path);
        if (!link.refusal.isEmpty()) {
            refused = FileResult::Failure(path, link.refusal);
        }
        set.append({bytes, path, link.readAs, readers});
    };
    for (const ImageFile& image : images) {
        const Result<QByteArray>& gif = image.gif->encoded;
        if (!gif.Ok()) {
            refused = FileResult::Failure(image.path, gif.error);
            break;
        }
        if (const QString over = drawnOn.WrittenOverBy(image.path); !over.isEmpty()) {
            refused = FileResult::Failure(image.path, over);
            break;
        }
        add(gif.value, image.path, imageLink);
        if (refused) {
            break;
        }
    }
    if (!refused) {
        add(code.styleSheet, stylePath, styleLink);
        set.append(page);
    }
    QList<FileResult> results = refused ? QList<FileResult>{*refused} : write(set);
    const auto cause = std::find_if(results.begin(), results.end(), [](const FileResult& result) {
        return !result.Ok() && !result.error.startsWith(QLatin1String(kLeftForAnother));
    });
    written = cause == results.end();
    if (written) {
        return results;
    }
    // Where only the page failed, its folder's files are as they were (or, where the page's rename
    // alone failed, written) and go again with the next page; not written, they are no failures of
    // their own.
    if (cause->path == page.path) {
        results.removeIf([](const FileResult& result) {
            return !result.Ok() && result.error.startsWith(QLatin1String(kLeftForAnother));
        });
        return results;
    }
    failure = QStringLiteral("since %1 could not be written").arg(QFileInfo(cause->path).fileName());
    if (!refused) {
        results.removeLast();  // left for the image's or style sheet's failure, said better here
    }
    results.append(NotGivenTheAdvert(page.path));
    return results;
}

BannerGif::BannerGif(const QImage& banner)
    : encoded(EncodeBannerGif(banner)) {}

SharedFiles::SharedFiles(const BuiltCode& code, QList<ImageFile> images, QString stylePath, WriteFiles write,
                         QStringList servedPages, DrawnOn drawnOn)
    : code(code)
    , images(std::move(images))
    , stylePath(std::move(stylePath))
    , write(write)
    , servedPages(std::move(servedPages))
    , drawnOn(std::move(drawnOn)) {}

QList<FileResult> SharedFiles::WritePage(const QString& pagePath, PageStart start) {
    // Taken before the first page is read: one another run writes meanwhile would be refused as
    // changed since.
    if (write == ReplaceFiles && !lock.Held()) {
        lock = FolderLock(FolderOf(stylePath));
        // Stopped while another run held the folder: the page is not reached, nor the folder written.
        if (!lock.Held() && StopRequested()) {
            return {};
        }
    }
    if (const QString inTheWay = AdvertFileInTheWay(pagePath, images, stylePath); !inTheWay.isEmpty()) {
        return {FileResult::Failure(pagePath, inTheWay)};
    }
    if (start == PageStart::Sample) {
        // Made anew, the page would replace whatever a link there leads to: perhaps a page of the
        // user's own.
        if (QFileInfo(pagePath).isSymLink()) {
            return {FileResult::Failure(pagePath, QStringLiteral("is a link, and the preview page is made anew "
                                                                 "from the sample page; left as it is"))};
        }
        if (const FileResult writable = CheckReplaceable(pagePath); !writable.Ok()) {
            return {writable};
        }
    }
    // Taken before the page is read, so that any change from here on is seen before it is replaced.
    // The preview page is the program's own, made anew whatever stands there.
    const std::optional<FileStamp> readAs =
        start == PageStart::Sample ? std::nullopt : std::optional<FileStamp>(StampOf(pagePath));
    const PageRead page = start == PageStart::Sample ? PageRead::Success(std::nullopt, pagePath) : ReadPage(pagePath);
    if (!page.Ok()) {
        return {FileResult::Failure(pagePath, page.error)};
    }
    if (start == PageStart::Found && !page.value) {
        return {FileResult::Failure(pagePath, QStringLiteral("does not exist; not made anew from the sample page"))};
    }
    // Made before anything is written for the page: a page too large for the memory left fails here,
    // with no image or style sheet written on its account.
    const QByteArrayList earlierCodes =
        code.earlierCustomCodes + (code.earlierCustomCodesOf ? code.earlierCustomCodesOf(pagePath) : QByteArrayList());
    const auto [injected, leftover, misplaced, blockAt, linkAt] =
        Inject(page.value.value_or(code.newPage), code.codeBlock, earlierCodes,
               ServerLanguageOf(pagePath, page.value ? std::optional(View(*page.value)) : std::nullopt),
               MarkersInFile(pagePath));
    // What must stay would stay beside the new block: two banners, and no removal could take either out.
    if (leftover) {
        return {FileResult::Failure(pagePath, leftover.Reason())};
    }
    if (!misplaced.isEmpty()) {
        return {FileResult::Failure(pagePath, misplaced)};
    }
    if (injected.size() > kMaxPageBytes) {
        return {FileResult::Failure(pagePath, QStringLiteral("would be larger than %1 with the advert, and no "
                                                             "later run could read it; left as it is")
                                                  .arg(ByteCount(kMaxPageBytes)))};
    }
    // A page that cannot be written back is refused now, before its image and style sheet go out;
    // one that holds what the run would write is left as it is, however it is protected.
    if (const FileResult writable = CheckReplaceable(pagePath, injected); !writable.Ok()) {
        return {writable};
    }
    if (!written && !failure.isEmpty()) {
        return {NotGivenTheAdvert(pagePath)};
    }
    // Made before the page is written, and kept for a page that is: where memory runs short (some
    // encodings need a copy of the whole page to be read), that page is still as it was, as its
    // failure says.
    QStringList pageNotes;
    if (page.value) {
        if (const std::optional<QByteArray> base = BaseAddress(*page.value)) {
            pageNotes.append(QStringLiteral("%1: its <base href=\"%2\"> has browsers look for %3 and %4 there, not "
                                            "beside the page")
                                 .arg(pagePath, PrintableText(QString::fromUtf8(*base)),
                                      QFileInfo(images.constFirst().path).fileName(), QFileInfo(stylePath).fileName()));
        }
        // Judged by the page as written: the custom code after the block is the run's own, and what
        // an earlier run put there is gone.
        if (const std::optional<HidingElement> hider = FindHidingElement(injected, blockAt)) {
            const QString shows = hider->cutsTheBanner ? QStringLiteral("browsers show what it holds in a small box "
                                                                        "that cuts the banner down to a corner")
                                                       : QStringLiteral("browsers do not show what it holds");
            pageNotes.append(
                QStringLiteral("%1: its <%2> opened on line %3 is left open where the advert goes, and %4; "
                               "close it before </body>")
                    .arg(pagePath, PrintableText(QString::fromUtf8(hider->tag)))
                    .arg(hider->line)
                    .arg(shows));
        }
        if (linkAt >= 0 && LinkHasAddress(injected, linkAt)) {
            pageNotes.append(
                QStringLiteral("%1: its <a> opened on line %2 is left open where the advert goes, and "
                               "browsers put the banner inside that link: a click on the banner outside its "
                               "corner strip goes there; close it before </body>")
                    .arg(pagePath)
                    .arg(LineOf(View(injected), size_t(linkAt))));
        }
        if (const std::optional<RefusingPolicy> policy = FindRefusingPolicy(injected, blockAt, code.cspSources)) {
            const QString line = QString::number(LineOf(View(injected), size_t(policy->at)));
            pageNotes.append(
                policy->needed.isEmpty()
                    ? QStringLiteral(
                          "%1: its Content-Security-Policy (the <meta> on line %2) requires Trusted Types "
                          "for scripts, under which the advert's script cannot write the banner, so "
                          "browsers will not show it; use the block without a script (the wizard's \"No script\", "
                          "--static)")
                          .arg(pagePath, line)
                    : QStringLiteral("%1: its Content-Security-Policy (the <meta> on line %2) does not allow the "
                                     "advert's %3 under its %4, so browsers will not show the banner; its %6 must "
                                     "allow %5 (`vornetad-cli code --csp-hash` prints what each directive must "
                                     "allow, and the wizard shows it after the run)")
                          .arg(pagePath, line,
                               policy->needed.startsWith("script-src") ? QStringLiteral("script")
                               : policy->needed.startsWith("style-src")
                                   // The script's style element is allowed by its hash.
                                   ? (policy->needed.contains("'sha") ? QStringLiteral("style element and style sheet")
                                                                      : QStringLiteral("style sheet"))
                                   : QStringLiteral("image"),
                               QString::fromLatin1(policy->directive),
                               QString::fromLatin1(policy->needed.mid(policy->needed.indexOf(' ') + 1)),
                               QString::fromLatin1(policy->needed.left(policy->needed.indexOf(' ')))));
        }
    }
    notes.reserve(notes.size() + pageNotes.size());
    const std::optional<QByteArrayView> held = page.value ? std::optional<QByteArrayView>(*page.value) : std::nullopt;
    QList<FileResult> results = written ? write({{injected, pagePath, readAs, std::nullopt, held}})
                                        : WriteTogether({injected, pagePath, readAs, std::nullopt, held}, start);
    if (!results.isEmpty() && results.constLast().Ok()) {
        notes.append(pageNotes);
    }
    return results;
}
