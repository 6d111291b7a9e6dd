#include "output/PageContext.h"

#include "output/CodeTexts.h"
#include "output/HtmlScanner.h"
#include "output/PageCharset.h"
#include "output/ServerCode.h"
#include "output/TextLines.h"

#include <QByteArrayList>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

using std::size_t;
using std::string_view;

constexpr size_t npos = string_view::npos;

string_view View(const QByteArray& bytes) {
    return {bytes.constData(), size_t(bytes.size())};
}

// The text that browsers surely read `page`'s markup from: MarkupOf it (kept in `copy`) where it
// declares ISO-2022-JP, else the page itself.
string_view MarkupText(const QByteArray& page, std::string& copy) {
    if (CodingOf(View(page)) != PageCoding::Iso2022Jp) {
        return View(page);
    }
    copy = MarkupOf(View(page));
    return copy;
}

// Whether `page` holds one of `tags` ('<' and a lower-case ASCII name) in any letter case: a look
// far cheaper than reading the page's tags, where a page seldom holds what they are read for.
bool HoldsInAnyCase(const QByteArray& page, std::initializer_list<string_view> tags) {
    const string_view text = View(page);
    const auto sameName = [&](size_t at, string_view tag) {
        if (at + tag.size() > text.size()) {
            return false;
        }
        for (size_t i = 1; i < tag.size(); ++i) {
            if ((text[at + i] | 0x20) != tag[i]) {  // ASCII letters only: no locale's idea of case
                return false;
            }
        }
        return true;
    };
    for (size_t at = text.find('<'); at != npos; at = text.find('<', at + 1)) {
        if (std::any_of(tags.begin(), tags.end(), [&](string_view tag) { return sameName(at, tag); })) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsFramesetPage(const QByteArray& page) {
    if (!HoldsInAnyCase(page, {"<frameset"})) {
        return false;
    }
    using Kind = HtmlToken::Kind;
    std::string copy;
    const string_view text = MarkupText(page, copy);
    HtmlScanner scanner(text);
    size_t after = 0;  // where the last token ended
    // Elements whose content is not the page's text (what a template holds is never shown).
    constexpr std::array<string_view, 7> kHeldContent = {"title",    "style",    "script", "noscript",
                                                         "template", "noframes", "noembed"};
    constexpr std::array<string_view, 24> kBodyBegun = {"body",   "pre",    "listing",  "li",     "dd",     "dt",
                                                        "button", "applet", "marquee",  "object", "table",  "area",
                                                        "br",     "embed",  "img",      "image",  "keygen", "wbr",
                                                        "input",  "hr",     "textarea", "xmp",    "iframe", "select"};
    // The head's own tags: any other starts the body, where a template ends the chance too.
    constexpr std::array<string_view, 13> kHeadTags = {"html",  "head",     "base",     "basefont", "bgsound",
                                                       "link",  "meta",     "noframes", "script",   "style",
                                                       "title", "noscript", "template"};
    bool inBody = false;
    std::optional<string_view> inside;
    size_t templates = 0;
    for (HtmlToken t; scanner.Next(t); after = t.end) {
        if (inside) {
            if (*inside == "template" && t.Is(Kind::StartTag, "template")) {
                ++templates;
            } else if (t.Is(Kind::EndTag, *inside) && templates > 0) {
                --templates;
            } else if (t.Is(Kind::EndTag, *inside)) {
                inside.reset();
            }
            continue;
        }
        // A byte-order mark starts many a page saved on Windows, and is no text of it.
        const size_t from = after == 0 && text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : after;
        const string_view before = text.substr(from, t.begin - std::min(from, t.begin));
        if (!std::all_of(before.begin(), before.end(), IsHtmlBlank) || t.Is(Kind::EndTag, "br")) {
            return false;
        }
        // After an svg or math element the page is taken to have a body: what such an element holds
        // may begin one, and telling whether needs the whole tree.
        if (t.Is(Kind::StartTag, "svg") || t.Is(Kind::StartTag, "math")) {
            return false;
        }
        if (t.kind != Kind::StartTag) {
            continue;  // a comment, the doctype, or an end tag
        }
        if (t.Is(Kind::StartTag, "frameset")) {
            return true;
        }
        if (inBody && t.Is(Kind::StartTag, "template")) {
            return false;
        }
        inBody = inBody || std::none_of(kHeadTags.begin(), kHeadTags.end(),
                                        [&t](string_view name) { return t.Is(Kind::StartTag, name); });
        if (std::any_of(kBodyBegun.begin(), kBodyBegun.end(),
                        [&t](string_view name) { return t.Is(Kind::StartTag, name); })) {
            return false;
        }
        // A slash closes none of them: what follows is inside.
        for (const string_view held : kHeldContent) {
            inside = t.Is(Kind::StartTag, held) ? std::optional(held) : inside;
        }
    }
    return false;
}

namespace {

// Whether a base address leaves relative addresses where the page's own are: a relative one in its
// folder ("", ".", "./", "index.html", "#top", "?lang=en"). One with a scheme, a host or a folder
// of its own may lead elsewhere; which folder it is on the server cannot be told from here.
bool InPagesFolder(QByteArrayView address) {
    // A browser decodes references and escapes ("&#47;", "%2e") and drops tabs and line breaks
    // before it reads the address, and a server or a site generator puts its own in for template
    // code ("{{ .Site.BaseURL }}", "<?php echo $root ?>"): one that holds any is taken to lead elsewhere.
    if (address.contains('%') || address.contains('&') || address.contains('\t') || address.contains('\n') ||
        address.contains('\r') || address.contains('{') || address.contains('<')) {
        return false;
    }
    // Browsers take no base in those schemes: the page's own address stays the base.
    if (const QByteArray scheme = address.first(std::max<qsizetype>(0, address.indexOf(':'))).toByteArray().toLower();
        scheme == "javascript" || scheme == "data") {
        return true;
    }
    const QByteArray path = address
                                .first(std::min({address.indexOf('?') < 0 ? address.size() : address.indexOf('?'),
                                                 address.indexOf('#') < 0 ? address.size() : address.indexOf('#')}))
                                .toByteArray()
                                .replace('\\', '/');  // a browser reads it as '/' in web and file addresses
    if (path.startsWith('/') || path.contains(':')) {
        return false;
    }
    // The folder a browser resolves its dot segments to ("x/..", "./"): the page's own where none is
    // left, a file name alone or nothing.
    qsizetype depth = 0;
    const QByteArrayList steps = path.split('/');
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QByteArray& step = steps[i];
        const bool last = i + 1 == steps.size();
        if (step == "..") {
            if (--depth < 0) {
                return false;
            }
        } else if (!last && step.isEmpty()) {
            return false;  // "a//b" names a folder without a name
        } else if (!last && step != ".") {
            ++depth;  // the last step is the file, a folder only with a '/' after it
        }
    }
    return depth == 0;
}

}  // namespace

std::optional<string_view> AttributeOf(string_view text, const HtmlToken& t, string_view name) {
    string_view rest = text.substr(t.begin + 1 + t.name.size(), t.end - t.begin - 1 - t.name.size());
    const auto isEnd = [](char c) {
        return IsHtmlBlank(c) || c == '/' || c == '>';
    };
    while (!rest.empty()) {
        size_t at = 0;
        while (at < rest.size() && isEnd(rest[at])) {
            ++at;
        }
        if (at == rest.size()) {
            break;
        }
        size_t nameEnd = at + 1;  // a name may start with '='
        while (nameEnd < rest.size() && !isEnd(rest[nameEnd]) && rest[nameEnd] != '=') {
            ++nameEnd;
        }
        const string_view found = rest.substr(at, nameEnd - at);
        size_t valueAt = BlanksEnd(rest, nameEnd);
        string_view value = rest.substr(nameEnd, 0);
        if (valueAt < rest.size() && rest[valueAt] == '=') {
            valueAt = BlanksEnd(rest, valueAt + 1);
            const char quote = valueAt < rest.size() ? rest[valueAt] : '\0';
            const bool quoted = quote == '"' || quote == '\'';
            const size_t from = valueAt + (quoted ? 1 : 0);
            size_t to = from;
            while (to < rest.size() && (quoted ? rest[to] != quote : !IsHtmlBlank(rest[to]) && rest[to] != '>')) {
                ++to;
            }
            value = rest.substr(from, to - from);
            valueAt = std::min(rest.size(), to + (quoted ? 1 : 0));
        }
        if (SameTagName(found, name)) {
            return value;
        }
        rest = rest.substr(std::max(valueAt, nameEnd));
    }
    return std::nullopt;
}

std::optional<QByteArray> BaseAddress(const QByteArray& page) {
    if (!HoldsInAnyCase(page, {"<base"})) {
        return std::nullopt;
    }
    std::string copy;
    const string_view text = MarkupText(page, copy);
    HtmlScanner scanner(text, FrontMatterEnd(text));
    size_t templates = 0;  // a template's content is never applied
    // A base inside svg or math counts where it is an HTML element, as in an svg's foreignObject.
    for (HtmlToken t; scanner.Next(t);) {
        if (t.readAsHtml && t.Is(HtmlToken::Kind::StartTag, "template")) {
            ++templates;
        } else if (t.readAsHtml && t.Is(HtmlToken::Kind::EndTag, "template") && templates > 0) {
            --templates;
        }
        if (templates > 0 || !t.readAsHtml || !t.Is(HtmlToken::Kind::StartTag, "base")) {
            continue;
        }
        if (const std::optional<string_view> value = AttributeOf(text, t, "href")) {
            // Taken from the page itself: the text read holds none of an ISO-2022-JP page's letters.
            const QByteArray address = page.sliced(value->data() - text.data(), qsizetype(value->size())).trimmed();
            return InPagesFolder(address) ? std::nullopt : std::optional(address);
        }
    }
    return std::nullopt;
}

namespace {

// Whether `text` holds `word` (in lower-case letters) in any letter case where it may be an
// attribute's name: after a blank, a quote or a '/', and before a blank, '=', '/' or '>'. Style rules
// ("overflow: hidden"), values (type="hidden") and longer names (popovertarget) are passed over
// without reading a tag.
bool MayHoldAttribute(string_view text, string_view word) {
    const auto sameLetter = [](char c, char lower) {
        return (c | 0x20) == lower;
    };
    for (auto it = text.begin(); (it = std::search(it, text.end(), word.begin(), word.end(), sameLetter)) != text.end();
         ++it) {
        const size_t at = size_t(it - text.begin());
        const size_t after = at + word.size();
        const bool nameStarts =
            at > 0 && (IsHtmlBlank(text[at - 1]) || std::string_view("\"'/").find(text[at - 1]) != npos);
        const bool nameEnds =
            after == text.size() || IsHtmlBlank(text[after]) || std::string_view("=/>").find(text[after]) != npos;
        if (nameStarts && nameEnds) {
            return true;
        }
    }
    return false;
}

enum class Hides : std::uint8_t { No, ByKind, ByHidden, ByPopover, InPopoverBox };

// Whether browsers show nothing that the element the start tag `t` of `text` opens holds, as far
// as its tag tells: a <details> or <dialog> not open, an <object> whose data loads (its content is
// what shows where it fails), a form's lists, the fallback of media and of a canvas, a ruby's
// parentheses, any element with the hidden attribute, and any with the popover attribute, whatever
// its value (one browsers do not know makes a popover too): a popover stays hidden until a button
// or a script shows it. An open dialog that is one shows, but as a popover's small box, which cuts
// the banner down to a corner of it.
Hides HidesWhatItHolds(string_view text, const HtmlToken& t) {
    if (!t.readAsHtml) {
        return Hides::No;  // hidden and popover are no attributes of svg's or math's
    }
    if (t.IsOneOf({"select", "datalist", "option", "audio", "video", "canvas", "rp"}) ||
        (t.IsOneOf({"details", "dialog"}) && !AttributeOf(text, t, "open")) ||
        (t.Is(HtmlToken::Kind::StartTag, "object") && !AttributeOf(text, t, "data").value_or("").empty())) {
        return Hides::ByKind;
    }
    if (AttributeOf(text, t, "hidden")) {
        return Hides::ByHidden;
    }
    if (!AttributeOf(text, t, "popover")) {
        return Hides::No;
    }
    return t.Is(HtmlToken::Kind::StartTag, "dialog") ? Hides::InPopoverBox : Hides::ByPopover;
}

// What the tree builder makes of an element by its name, as far as it decides what a page leaves
// open: the tags it ends, and those that stop it looking further down.
enum Trait : unsigned {
    kEndsParagraph = 1U << 0,  // its start tag ends a <p> in scope
    // The end tag of an element around it leaves it open: the scope a browser looks for that in
    // ends here (but for a table's own end tags, which end its cells), and a select takes no other
    // end tag.
    kKeepsOpen = 1U << 1,
    kBlock = 1U << 2,         // a block, a button or a table's part, which no inline element's end tag ends
    kSpecial = 1U << 3,       // stops a <li>, <dd> or <dt> looking for the one it ends
    kTableContext = 1U << 4,  // says where a table's next part goes
    kHides = 1U << 5,         // of the element, not its name: it hides what it holds
    kTemplate = 1U << 6,      // an HTML template, whose content is a document of its own
};

unsigned TraitsOf(string_view lowerName) {
    static const std::unordered_map<string_view, unsigned> traits = [] {
        std::unordered_map<string_view, unsigned> made;
        const auto add = [&made](std::initializer_list<string_view> names, unsigned trait) {
            for (const string_view name : names) {
                made[name] |= trait;
            }
        };
        // A list item's start tag looks past the elements without kSpecial, down to the item it ends.
        add({"address", "dialog", "div", "hr", "p"}, kEndsParagraph | kBlock);
        add({"article",  "aside",      "blockquote", "center",  "details", "dir",     "dl",   "dd",       "dt",
             "fieldset", "figcaption", "figure",     "footer",  "form",    "h1",      "h2",   "h3",       "h4",
             "h5",       "h6",         "header",     "hgroup",  "li",      "listing", "main", "menu",     "nav",
             "ol",       "pre",        "search",     "section", "summary", "ul",      "xmp",  "plaintext"},
            kEndsParagraph | kBlock | kSpecial);
        add({"applet", "caption", "marquee", "object", "select", "table", "td", "template", "th"},
            kKeepsOpen | kBlock | kSpecial);
        add({"button", "tbody", "tfoot", "thead", "tr"}, kBlock | kSpecial);
        // The rest with kSpecial, among them the points of svg and math that hold HTML.
        add({"colgroup", "frameset", "iframe", "noembed", "noframes", "noscript", "script", "style", "textarea",
             "title", "mi", "mo", "mn", "ms", "mtext", "annotation-xml", "foreignobject", "desc"},
            kSpecial);
        add({"table", "caption", "colgroup", "tbody", "thead", "tfoot", "tr", "td", "th", "template"}, kTableContext);
        add({"template"}, kTemplate);
        return made;
    }();
    const auto found = traits.find(lowerName);
    return found == traits.end() ? 0 : found->second;
}

// The elements a browser holds open, followed tag by tag, with what it looks for among them at
// hand: the topmost of each name and of each trait. Every step costs the same however deeply the
// page nests, so a page of many thousands of list items or stray end tags is read in one pass.
class OpenElements final {
public:
    static constexpr std::ptrdiff_t kNone = -1;

    struct Element {
        string_view name;
        size_t at = 0;
        Hides hides = Hides::No;
        unsigned traits = 0;
        std::vector<std::ptrdiff_t>* sameName = nullptr;
    };

    size_t Size() const { return open.size(); }
    const Element& operator[](std::ptrdiff_t i) const { return open[size_t(i)]; }

    void Push(string_view name, size_t at, Hides hides, unsigned traits) {
        const std::ptrdiff_t index = std::ptrdiff_t(open.size());
        std::vector<std::ptrdiff_t>& named = byName[LowerTagName(name)];  // stays where it is as the map grows
        named.push_back(index);
        traits |= hides == Hides::No ? 0U : unsigned(kHides);
        for (size_t bit = 0; bit < byTrait.size(); ++bit) {
            if ((traits & (1U << bit)) != 0) {
                byTrait[bit].push_back(index);
            }
        }
        open.push_back({name, at, hides, traits, &named});
    }

    // Closes the elements from `size` up.
    void CloseTo(size_t size) {
        for (; open.size() > size; open.pop_back()) {
            const Element& e = open.back();
            e.sameName->pop_back();
            for (size_t bit = 0; bit < byTrait.size(); ++bit) {
                if ((e.traits & (1U << bit)) != 0) {
                    byTrait[bit].pop_back();
                }
            }
        }
    }

    std::ptrdiff_t Top(string_view name) const {
        const auto found = byName.find(LowerTagName(name));
        return found == byName.end() || found->second.empty() ? kNone : found->second.back();
    }
    std::ptrdiff_t Top(Trait trait) const {
        const std::vector<std::ptrdiff_t>& with = byTrait[size_t(std::countr_zero(unsigned(trait)))];
        return with.empty() ? kNone : with.back();
    }
    std::ptrdiff_t Bottom(Trait trait) const {
        const std::vector<std::ptrdiff_t>& with = byTrait[size_t(std::countr_zero(unsigned(trait)))];
        return with.empty() ? kNone : with.front();
    }
    bool TopIsOneOf(std::initializer_list<string_view> lowerNames) const {
        return !open.empty() && std::any_of(lowerNames.begin(), lowerNames.end(),
                                            [&](string_view name) { return SameTagName(open.back().name, name); });
    }

private:
    std::vector<Element> open;
    std::unordered_map<std::string, std::vector<std::ptrdiff_t>> byName;
    std::array<std::vector<std::ptrdiff_t>, 7> byTrait;
};

// Closes what the start tag `t` of an HTML element ends without an end tag, as the tree builder
// does: a list item or a definition the one before it; a table's part the cell, row, section or
// caption before it that cannot hold it (a cell where a table has no row gets one); an input or a
// select an open select; an option the option just before it; a ruby's text or base the
// parenthesis before it. Returns whether the tag makes an element at all: browsers drop a table's
// part outside any table, and a select's start tag inside a select.
bool CloseImplied(OpenElements& open, const HtmlToken& t) {
    using E = OpenElements;
    if (t.IsOneOf({"li", "dd", "dt"})) {
        const std::ptrdiff_t item = t.IsOneOf({"li"}) ? open.Top("li") : std::max(open.Top("dd"), open.Top("dt"));
        // Looking down for one, a browser stops at any block but address, div and p, and at a few more.
        if (item != E::kNone && item >= open.Top(kSpecial)) {
            open.CloseTo(size_t(item));
        }
    } else if (t.IsOneOf({"caption", "colgroup", "col", "tbody", "thead", "tfoot", "tr", "td", "th"})) {
        const bool cell = t.IsOneOf({"td", "th"});
        for (;;) {
            const std::ptrdiff_t at = open.Top(kTableContext);
            if (at == E::kNone) {
                return false;
            }
            const string_view name = open[at].name;
            const auto is = [&name](string_view lowerName) {
                return SameTagName(name, lowerName);
            };
            if (is("template")) {
                return true;
            }
            if (is("td") || is("th") || is("caption") || (is("colgroup") && !t.IsOneOf({"col"}))) {
                open.CloseTo(size_t(at));
            } else if (is("colgroup")) {
                return true;
            } else if (is("tr")) {
                open.CloseTo(size_t(at) + (cell ? 1 : 0));
                if (cell) {
                    return true;
                }
            } else if (is("tbody") || is("thead") || is("tfoot")) {
                const bool inside = cell || t.IsOneOf({"tr"});
                open.CloseTo(size_t(at) + (inside ? 1 : 0));
                if (inside) {
                    if (cell) {
                        open.Push("tr", t.begin, Hides::No, TraitsOf("tr"));
                    }
                    return true;
                }
            } else {  // the table
                open.CloseTo(size_t(at) + 1);
                if (cell || t.IsOneOf({"tr"})) {
                    open.Push("tbody", t.begin, Hides::No, TraitsOf("tbody"));
                }
                if (cell) {
                    open.Push("tr", t.begin, Hides::No, TraitsOf("tr"));
                }
                return true;
            }
        }
    } else if (t.IsOneOf({"input", "select"})) {
        // Either ends an open select, which holds no such field; a select's own start tag then
        // opens nothing. A textarea stays inside one.
        const std::ptrdiff_t select = open.Top("select");
        if (select != E::kNone && select >= open.Top(kKeepsOpen)) {
            open.CloseTo(size_t(select));
            return !t.IsOneOf({"select"});
        }
    } else if (t.IsOneOf({"option", "optgroup"})) {
        if (open.TopIsOneOf({"option"})) {
            open.CloseTo(open.Size() - 1);
        }
        if (t.IsOneOf({"optgroup"}) && open.TopIsOneOf({"optgroup"}) && open.Top("select") != E::kNone) {
            open.CloseTo(open.Size() - 1);
        }
    } else if (t.IsOneOf({"rb", "rtc", "rp", "rt"})) {
        const std::ptrdiff_t ruby = open.Top("ruby");
        if (ruby != E::kNone && ruby > open.Top(kKeepsOpen)) {
            const bool keepsContainer = t.IsOneOf({"rp", "rt"});
            while (open.TopIsOneOf({"dd", "dt", "li", "optgroup", "option", "p", "rb", "rp", "rt"}) ||
                   (!keepsContainer && open.TopIsOneOf({"rtc"}))) {
                open.CloseTo(open.Size() - 1);
            }
        }
    }
    return true;
}

}  // namespace

bool LinkHasAddress(const QByteArray& page, qsizetype at) {
    std::string copy;
    const string_view tag = MarkupText(page, copy).substr(size_t(at));
    HtmlScanner scanner(tag);
    HtmlToken t;
    return scanner.Next(t) && t.Is(HtmlToken::Kind::StartTag, "a") && AttributeOf(tag, t, "href").has_value();
}

std::optional<HidingElement> FindHidingElement(const QByteArray& page, qsizetype blockAt) {
    if (!HoldsInAnyCase(page, {"<select", "<datalist", "<option", "<audio", "<video", "<canvas", "<rp", "<details",
                               "<dialog", "<object"}) &&
        !MayHoldAttribute(View(page), "hidden") && !MayHoldAttribute(View(page), "popover")) {
        return std::nullopt;
    }
    std::string copy;
    const string_view text = MarkupText(page, copy);
    constexpr size_t kMaxOpenElements = size_t(1) << 16;
    OpenElements open;
    // A <p> ends where a block begins, and what it holds with it, but not across a button or
    // another end of a scope.
    const auto endParagraph = [&open] {
        const std::ptrdiff_t paragraph = open.Top("p");
        if (paragraph > std::max(open.Top(kKeepsOpen), open.Top("button"))) {
            open.CloseTo(size_t(paragraph));
        }
    };
    HtmlScanner scanner(text, FrontMatterEnd(text));
    bool formOpen = false;
    const size_t insertAt = size_t(std::max<qsizetype>(blockAt, 0));
    for (HtmlToken t; scanner.Next(t) && t.begin < insertAt;) {
        // The page's own elements hold everything: browsers never close them on their end tags.
        if (t.IsOneOf({"html", "head", "body"})) {
            continue;
        }
        const unsigned traits = TraitsOf(LowerTagName(t.name));
        if (t.kind == HtmlToken::Kind::StartTag) {
            if (t.readAsHtml && !CloseImplied(open, t)) {
                continue;
            }
            // Browsers keep one form open at a time, until its end tag: another start tag is dropped.
            // A form inside a template is the template's own, and neither is dropped nor counts.
            if (t.readAsHtml && t.IsOneOf({"form"}) && open.Top(kTemplate) == OpenElements::kNone &&
                std::exchange(formOpen, true)) {
                continue;
            }
            if ((traits & kEndsParagraph) != 0) {
                endParagraph();
            }
            if (OpensNothing(t)) {
                continue;
            }
            // Nested far deeper than any page a browser lays out, a page is read no further and
            // gets no note: the elements followed would take many times its own memory.
            if (open.Size() >= kMaxOpenElements) {
                return std::nullopt;
            }
            open.Push(t.name, t.begin, HidesWhatItHolds(text, t),
                      t.readAsHtml ? traits : traits & ~(kTableContext | kTemplate));
        } else if (t.kind == HtmlToken::Kind::EndTag) {
            const bool ofTable = t.IsOneOf({"table", "tbody", "thead", "tfoot", "tr", "td", "th", "caption"});
            const std::ptrdiff_t same = open.Top(t.name);
            // A form's end tag takes the form alone off the elements left open: what it holds stays
            // open, and inside it. A second one ends nothing. Inside a template it ends only a form
            // of the template's own, with what that holds, and leaves the page's form open.
            if (t.IsOneOf({"form"}) && open.Top(kTemplate) != OpenElements::kNone) {
                if (same != OpenElements::kNone && same > open.Top(kKeepsOpen)) {
                    open.CloseTo(size_t(same));
                }
                continue;
            }
            if (t.IsOneOf({"form"}) &&
                (!std::exchange(formOpen, false) || (same != OpenElements::kNone && size_t(same) + 1 < open.Size()))) {
                continue;
            }
            const std::ptrdiff_t stop = std::max(ofTable ? OpenElements::kNone : open.Top(kKeepsOpen),
                                                 (traits & kBlock) != 0 ? OpenElements::kNone : open.Top(kBlock));
            if (same != OpenElements::kNone && same >= stop) {
                open.CloseTo(size_t(same));
            }
        }
    }
    endParagraph();  // by the block's own <div>
    std::ptrdiff_t hider = open.Bottom(kHides);
    if (hider == OpenElements::kNone) {
        return std::nullopt;
    }
    // A popover's box shows what it holds, cut: one inside it that shows nothing is what to close.
    for (std::ptrdiff_t inner = hider + 1;
         open[hider].hides == Hides::InPopoverBox && inner < std::ptrdiff_t(open.Size()); ++inner) {
        if (open[inner].hides != Hides::No && open[inner].hides != Hides::InPopoverBox) {
            hider = inner;
        }
    }
    const OpenElements::Element& e = open[hider];
    const QByteArray name(e.name.data(), qsizetype(e.name.size()));
    const bool box = e.hides == Hides::InPopoverBox;
    const char* const attribute = e.hides == Hides::ByHidden           ? " hidden"
                                  : e.hides == Hides::ByPopover || box ? " popover"
                                                                       : "";
    return HidingElement{name + attribute, LineOf(View(page), e.at), box};
}

namespace {

// Text as browsers read it from an attribute's value or between tags: its character references by
// number that stand for ASCII put back, and those by name that stand for ASCII punctuation and
// blanks a policy or a name may hold. Others stay as they are.
std::string AttributeText(string_view value) {
    static constexpr std::array<std::pair<string_view, char>, 17> kNamed = {{{"&quot;", '"'},
                                                                             {"&QUOT;", '"'},
                                                                             {"&apos;", '\''},
                                                                             {"&amp;", '&'},
                                                                             {"&AMP;", '&'},
                                                                             {"&lt;", '<'},
                                                                             {"&LT;", '<'},
                                                                             {"&gt;", '>'},
                                                                             {"&GT;", '>'},
                                                                             {"&Tab;", '\t'},
                                                                             {"&NewLine;", '\n'},
                                                                             {"&semi;", ';'},
                                                                             {"&comma;", ','},
                                                                             {"&colon;", ':'},
                                                                             {"&sol;", '/'},
                                                                             {"&period;", '.'},
                                                                             {"&lowbar;", '_'}}};
    std::string text;
    for (size_t at = 0; at < value.size();) {
        if (value[at] != '&') {
            text += value[at++];
            continue;
        }
        const auto named = std::find_if(kNamed.begin(), kNamed.end(),
                                        [&](const auto& r) { return value.substr(at, r.first.size()) == r.first; });
        if (named != kNamed.end()) {
            text += named->second;
            at += named->first.size();
            continue;
        }
        // "&#" and digits, or "&#x" and hex digits, with or without the semicolon; ASCII only.
        const bool numeric = value.size() - at > 2 && value[at + 1] == '#';
        const bool hex = numeric && (value[at + 2] | 0x20) == 'x';
        const size_t digits = at + (hex ? 3 : 2);
        size_t end = digits;
        unsigned code = 0;
        for (; numeric && end < value.size() && code < 0x80; ++end) {
            const char c = char(value[end] | 0x20);
            const bool decimal = value[end] >= '0' && value[end] <= '9';
            if (!decimal && !(hex && c >= 'a' && c <= 'f')) {
                break;
            }
            code = code * (hex ? 16 : 10) + unsigned(decimal ? value[end] - '0' : c - 'a' + 10);
        }
        if (end > digits && code > 0 && code < 0x80) {
            text += char(code);
            at = end + (end < value.size() && value[end] == ';' ? 1 : 0);
        } else {
            text += value[at++];
        }
    }
    return text;
}

// The words of `text` between HTML's blanks.
std::vector<string_view> Words(string_view text) {
    std::vector<string_view> words;
    for (size_t at = BlanksEnd(text, 0); at < text.size();) {
        size_t end = at;
        while (end < text.size() && !IsHtmlBlank(text[end])) {
            ++end;
        }
        words.push_back(text.substr(at, end - at));
        at = BlanksEnd(text, end);
    }
    return words;
}

}  // namespace

std::optional<NamedLikeTheAdvert> FindAdvertNames(const QByteArray& page, qsizetype blockAt) {
    std::string copy;
    const string_view text = MarkupText(page, copy);
    // The style sheet's rules, by the element they style and the class.
    static constexpr std::array<std::pair<string_view, string_view>, 3> kStyled = {
        {{"div", kBoxClass}, {"img", kImageClass}, {"a", kLinkClass}}};
    HtmlScanner scanner(text, FrontMatterEnd(text));
    int templates = 0;  // the templates open, whose content is never shown
    for (HtmlToken t; scanner.Next(t);) {
        if (t.readAsHtml && t.IsOneOf({"template"})) {
            templates = std::max(0, templates + (t.kind == HtmlToken::Kind::StartTag ? 1 : -1));
            continue;
        }
        if (t.kind != HtmlToken::Kind::StartTag || templates > 0) {
            continue;
        }
        const auto named = [&](string_view attribute, string_view value, const char* name) {
            return NamedLikeTheAdvert{QByteArray("<") + QByteArray(t.name.data(), qsizetype(t.name.size())) + ' ' +
                                          QByteArray(attribute.data(), qsizetype(attribute.size())) + "=\"" +
                                          QByteArray(value.data(), qsizetype(value.size())) + "\">",
                                      name, qsizetype(t.begin)};
        };
        // Browsers take the first map of the name: one after the banner's own is never taken.
        if (t.Is(HtmlToken::Kind::StartTag, "map") && t.begin < size_t(std::max<qsizetype>(blockAt, 0))) {
            for (const string_view attribute : {string_view("name"), string_view("id")}) {
                const std::optional<string_view> value = AttributeOf(text, t, attribute);
                if (value && AttributeText(*value) == kMapName) {
                    return named(attribute, *value, kMapName);
                }
            }
            continue;
        }
        for (const auto& [element, name] : kStyled) {
            if (!t.Is(HtmlToken::Kind::StartTag, element)) {
                continue;
            }
            const std::optional<string_view> classes = AttributeOf(text, t, "class");
            const std::string written = classes ? AttributeText(*classes) : std::string();
            for (const string_view each : Words(written)) {
                // In quirks mode class names match in any letter case.
                if (scanner.Quirks() ? SameTagName(each, name) : each == name) {
                    return named("class", *classes, name.data());
                }
            }
        }
    }
    return std::nullopt;
}

namespace {

// A policy's directives by name, in lower case, with their sources; where a name comes twice, the
// first counts, as browsers have it.
using Directives = std::vector<std::pair<std::string, std::vector<string_view>>>;

Directives DirectivesOf(string_view policy) {
    Directives directives;
    for (size_t at = 0; at <= policy.size();) {
        const size_t end = std::min(policy.find(';', at), policy.size());
        std::vector<string_view> words = Words(policy.substr(at, end - at));
        at = end + 1;
        if (words.empty()) {
            continue;
        }
        const std::string name = LowerTagName(words.front());
        if (std::none_of(directives.begin(), directives.end(), [&](const auto& d) { return d.first == name; })) {
            directives.emplace_back(name, std::vector<string_view>(words.begin() + 1, words.end()));
        }
    }
    return directives;
}

bool StartsAs(string_view s, string_view start) {
    return s.size() >= start.size() && SameTagName(s.substr(0, start.size()), start);
}

// Whether `value` is one that browsers take for a nonce (`decodable` false) or a hash: letters,
// digits, '+', '/', '-' and '_', then at most two '='; a hash's must also decode as base64, so that
// no group of four is left with one character, and any padding fills the last group.
bool Base64Value(string_view value, bool decodable) {
    const size_t body = std::min(value.find('='), value.size());
    const size_t padding = value.size() - body;
    const bool characters = std::all_of(value.begin(), value.begin() + std::ptrdiff_t(body), [](char c) {
        const char lower = char(c | 0x20);
        return (lower >= 'a' && lower <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '-' || c == '_';
    });
    const bool padded = padding <= 2 && value.find_first_not_of('=', body) == string_view::npos;
    return body > 0 && characters && padded &&
           (!decodable || (body % 4 != 1 && (padding == 0 || (body + padding) % 4 == 0)));
}

// Whether `source` is a hash or a nonce that browsers accept; one they cannot read they pass over.
bool InlineSource(string_view source) {
    if (source.size() < 2 || source.back() != '\'') {
        return false;
    }
    for (const string_view kind :
         {string_view("'nonce-"), string_view("'sha256-"), string_view("'sha384-"), string_view("'sha512-")}) {
        if (StartsAs(source, kind)) {
            return Base64Value(source.substr(kind.size(), source.size() - kind.size() - 1), kind != "'nonce-");
        }
    }
    return false;
}

// Whether the source `s` may name a site's own files over the web: '*', "http:" or "https:", or a
// host such as "example.com", "*.example.com:8080/path" or one with http or https before it. Other
// schemes (data:, blob:, ws:, with a host or not) never do, nor what browsers cannot read: an empty
// host, a host of other characters, a lone "*.".
bool MayNameTheSite(string_view s) {
    if (s == "*" || SameTagName(s, "http:") || SameTagName(s, "https:")) {
        return true;
    }
    const size_t schemeEnd = s.find("://");
    if (schemeEnd != string_view::npos) {
        const string_view scheme = s.substr(0, schemeEnd);
        if (!SameTagName(scheme, "http") && !SameTagName(scheme, "https")) {
            return false;
        }
        s.remove_prefix(schemeEnd + 3);
    }
    const string_view host = s.substr(0, s.find_first_of(":/"));
    // "data:*" and the like read as a scheme, not as a host without a dot and its port.
    if (schemeEnd == string_view::npos && s.size() > host.size() && s[host.size()] == ':' &&
        host.find('.') == string_view::npos && host != "*" && !SameTagName(host, "localhost")) {
        return false;
    }
    const string_view labels = host.starts_with("*.") ? host.substr(2) : host;
    const bool hostChars = !labels.empty() && std::all_of(labels.begin(), labels.end(), [](char c) {
        const char lower = char(c | 0x20);
        return (lower >= 'a' && lower <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    });
    const string_view rest = s.substr(host.size());
    const size_t pathAt = std::min(rest.find('/'), rest.size());
    const string_view port = rest.substr(0, pathAt);
    const bool portChars =
        port.empty() || port == ":*" ||
        (port.size() > 1 && std::all_of(port.begin() + 1, port.end(), [](char c) { return c >= '0' && c <= '9'; }));
    return (host == "*" || hostChars) && portChars;
}

// Whether the sources `list` surely refuse the source `needed`: a hash of inline text, or 'self'.
bool Refuses(const std::vector<string_view>& list, string_view needed, bool forScripts) {
    const auto has = [&](string_view keyword) {
        return std::any_of(list.begin(), list.end(), [&](string_view s) { return SameTagName(s, keyword); });
    };
    if (StartsAs(needed, "'sha")) {
        if (std::find(list.begin(), list.end(), needed) != list.end()) {
            return false;
        }
        // A hash or a nonce in the list, or 'strict-dynamic' for scripts, ends 'unsafe-inline'.
        const bool inlineEnded = std::any_of(list.begin(), list.end(), [&](string_view s) {
            return InlineSource(s) || (forScripts && SameTagName(s, "'strict-dynamic'"));
        });
        return !has("'unsafe-inline'") || inlineEnded;
    }
    // The page's own files: '*', the web's schemes or a host may name its site, which cannot be told
    // here; keywords, other schemes and sources browsers cannot read never do.
    return !has("'self'") && std::none_of(list.begin(), list.end(), MayNameTheSite);
}

// The directive that stands for `kind` (script-src, style-src or img-src) where a file or an
// element of that kind loads, in a policy's order of looking; none where the policy sets none.
const std::pair<std::string, std::vector<string_view>>* GoverningDirective(const Directives& directives,
                                                                           string_view kind) {
    const std::string element = std::string(kind) + "-elem";
    for (const string_view name :
         {kind == "img-src" ? string_view() : string_view(element), kind, string_view("default-src")}) {
        const auto found = std::find_if(directives.begin(), directives.end(),
                                        [&](const auto& d) { return !name.empty() && d.first == name; });
        if (found != directives.end()) {
            return &*found;
        }
    }
    return nullptr;
}

// What in `policy` (one of the policies a meta tag's content holds) refuses the block, or none.
std::optional<RefusingPolicy> Refusal(string_view policy, const QByteArrayList& needed, bool scripted) {
    const Directives directives = DirectivesOf(policy);
    if (scripted) {
        const auto trusted = std::find_if(directives.begin(), directives.end(),
                                          [](const auto& d) { return d.first == "require-trusted-types-for"; });
        if (trusted != directives.end() && std::any_of(trusted->second.begin(), trusted->second.end(),
                                                       [](string_view s) { return SameTagName(s, "'script'"); })) {
            return RefusingPolicy{"require-trusted-types-for", {}, 0};
        }
    }
    for (const QByteArray& line : needed) {
        const std::vector<string_view> words = Words(string_view(line.constData(), size_t(line.size())));
        const auto* governing = words.empty() ? nullptr : GoverningDirective(directives, words.front());
        // Browsers drop a directive with a source of letters outside ASCII; one holding a character
        // reference not read here cannot be told.
        if (governing != nullptr && std::any_of(governing->second.begin(), governing->second.end(), [](string_view w) {
                return std::any_of(w.begin(), w.end(), [](char c) { return uchar(c) >= 0x80 || c == '&'; });
            })) {
            continue;
        }
        if (governing != nullptr && std::any_of(words.begin() + 1, words.end(), [&](string_view source) {
                return Refuses(governing->second, source, words.front() == "script-src");
            })) {
            return RefusingPolicy{QByteArray::fromStdString(governing->first), line, 0};
        }
    }
    return std::nullopt;
}

// Start tags the head holds; any other, or text, begins the body, after which browsers pass over a
// policy's meta tag.
bool HeadTag(string_view lowerName) {
    static constexpr std::array<string_view, 13> kHead = {"base",  "basefont", "bgsound",  "head",     "html",
                                                          "link",  "meta",     "noframes", "noscript", "script",
                                                          "style", "template", "title"};
    return std::find(kHead.begin(), kHead.end(), lowerName) != kHead.end();
}

}  // namespace

std::optional<RefusingPolicy> FindRefusingPolicy(const QByteArray& page, qsizetype blockAt,
                                                 const QByteArrayList& needed) {
    if (!HoldsInAnyCase(page, {"<meta"}) || !MayHoldAttribute(View(page), "http-equiv")) {
        return std::nullopt;
    }
    // Only a block that writes the banner with a script needs a script-src.
    const bool scripted =
        std::any_of(needed.begin(), needed.end(), [](const QByteArray& line) { return line.startsWith("script-src"); });
    std::string copy;
    const string_view text = MarkupText(page, copy);
    size_t textFrom = FrontMatterEnd(text);  // where text outside any element may begin
    HtmlScanner scanner(text, textFrom);
    const size_t before = size_t(std::max<qsizetype>(blockAt, 0));
    int templates = 0;
    for (HtmlToken t; scanner.Next(t) && t.begin < before;) {
        // Blanks, also written as character references, leave the head open.
        const size_t from = std::min(textFrom, t.begin);
        const std::string between = AttributeText(text.substr(from, t.begin - from));
        const bool blankBefore = std::all_of(between.begin(), between.end(), IsHtmlBlank);
        const std::string name = LowerTagName(t.name);
        if (templates == 0 &&
            (!blankBefore || (t.kind == HtmlToken::Kind::StartTag && !HeadTag(name)) ||
             (t.kind == HtmlToken::Kind::EndTag && (name == "body" || name == "html" || name == "br")))) {
            return std::nullopt;  // the body has begun
        }
        // The text of a title, a style, a script and the like is theirs, not the body's.
        const bool holdsText =
            t.kind == HtmlToken::Kind::StartTag && (name == "title" || name == "style" || name == "script" ||
                                                    name == "noscript" || name == "noframes" || name == "template");
        textFrom = holdsText ? npos : t.end;
        if (name == "template") {
            templates = std::max(0, templates + (t.kind == HtmlToken::Kind::StartTag ? 1 : -1));
        }
        if (!t.Is(HtmlToken::Kind::StartTag, "meta") || templates > 0) {
            continue;
        }
        const std::optional<string_view> equiv = AttributeOf(text, t, "http-equiv");
        const std::optional<string_view> content = AttributeOf(text, t, "content");
        if (!equiv || !content || !SameTagName(AttributeText(*equiv), "content-security-policy")) {
            continue;
        }
        // Policies apart by commas, each enforced.
        const std::string policies = AttributeText(*content);
        for (size_t at = 0; at <= policies.size();) {
            const size_t end = std::min(policies.find(',', at), policies.size());
            if (std::optional<RefusingPolicy> refusal =
                    Refusal(string_view(policies).substr(at, end - at), needed, scripted)) {
                refusal->at = qsizetype(t.begin);
                return refusal;
            }
            at = end + 1;
        }
    }
    return std::nullopt;
}
