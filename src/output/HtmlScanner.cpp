#include "output/HtmlScanner.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <utility>

namespace {

using std::size_t;
using std::string_view;

constexpr size_t npos = string_view::npos;

// Deeper nesting of svg or math elements than this is only counted; no real page comes near it.
constexpr size_t kMaxDepth = 512;

enum ForeignFlag : std::uint8_t {
    kSvg = 1,
    kMath = 2,
    kHtmlIntegration = 4,  // holds HTML: svg foreignObject, desc, title; a MathML annotation-xml for HTML
    kTextIntegration = 8,  // MathML mi, mo, mn, ms, mtext: start tags there are HTML
    kAnnotationXml = 16,   // an <svg> in it is SVG
};

bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsBlank(char c) {
    return IsHtmlBlank(c);
}

bool EndsTagName(char c) {
    return IsBlank(c) || c == '/' || c == '>';
}

bool EqualsLower(string_view text, string_view lower) {
    if (text.size() != lower.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (LowerAscii(text[i]) != lower[i]) {
            return false;
        }
    }
    return true;
}

bool IsOneOf(string_view name, std::initializer_list<string_view> lowerNames) {
    return std::any_of(lowerNames.begin(), lowerNames.end(), [name](string_view n) { return EqualsLower(name, n); });
}

std::uint64_t NameHash(string_view name) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : name) {
        h = (h ^ std::uint8_t(LowerAscii(c))) * 1099511628211ull;
    }
    return h;
}

// The length of the run of ASCII letters at `pos`.
size_t LettersAt(string_view text, size_t pos) {
    size_t end = pos;
    while (end < text.size() && IsAlpha(text[end])) {
        ++end;
    }
    return end - pos;
}

// One past the next `c` from `from`, or npos.
size_t PastNext(string_view text, char c, size_t from) {
    const size_t at = text.find(c, from);
    return at == npos ? npos : at + 1;
}

size_t FindEither(string_view text, size_t from, char a, char b) {
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == a || text[i] == b) {
            return i;
        }
    }
    return npos;
}

// Where a comment that starts its text at `p` ends (one past its '>'), or npos when the text ends
// first. "<!-->" and "<!--->" end at once; otherwise two or more dashes followed by ">" or "!>".
size_t CommentEnd(string_view text, size_t p) {
    if (p < text.size() && text[p] == '>') {
        return p + 1;
    }
    if (p + 1 < text.size() && text[p] == '-' && text[p + 1] == '>') {
        return p + 2;
    }
    for (size_t q = text.find('-', p); q != npos; q = text.find('-', q)) {
        size_t run = q;
        while (run < text.size() && text[run] == '-') {
            ++run;
        }
        if (run - q >= 2 && run < text.size()) {
            if (text[run] == '>') {
                return run + 1;
            }
            if (text[run] == '!' && run + 1 < text.size() && text[run + 1] == '>') {
                return run + 2;
            }
        }
        q = run;
    }
    return npos;
}

bool IsBreakout(string_view name) {
    static constexpr std::array<string_view, 44> kNames = {
        "b",     "big",   "blockquote", "body",   "br",   "center", "code",  "dd", "div",  "dl",   "dt",
        "em",    "embed", "h1",         "h2",     "h3",   "h4",     "h5",    "h6", "head", "hr",   "i",
        "img",   "li",    "listing",    "menu",   "meta", "nobr",   "ol",    "p",  "pre",  "ruby", "s",
        "small", "span",  "strong",     "strike", "sub",  "sup",    "table", "tt", "u",    "ul",   "var"};
    return name.size() <= 10 &&
           std::any_of(kNames.begin(), kNames.end(), [name](string_view n) { return EqualsLower(name, n); });
}

// The HTML elements followed while open, for what a stray end tag inside an svg or math element
// does: the ones that often hold such an element, whose end tag, where one is open around it,
// closes it too; those that bound how far down an end tag reaches (a cell, a table); and the
// ordinary ones (a span, a <b>), whose end tag reaches no element past one of the others (a <p>
// among them, which so many start tags close). Their codes are their places here, from 1.
constexpr std::array<string_view, 62> kFollowed = {
    "address", "article", "aside",    "blockquote", "button",  "center", "dd",      "div",    "dl",
    "dt",      "figure",  "footer",   "form",       "h1",      "h2",     "h3",      "h4",     "h5",
    "h6",      "header",  "li",       "main",       "nav",     "ol",     "section", "ul",     "details",
    "summary", "dialog",  "fieldset", "figcaption", "hgroup",  "menu",   "dir",     "pre",    "listing",
    "search",  "td",      "th",       "table",      "caption", "object", "marquee", "applet", "template",
    "p",       "a",       "span",     "label",      "b",       "big",    "code",    "em",     "font",
    "i",       "nobr",    "s",        "small",      "strike",  "strong", "tt",      "u"};

// The rows and row groups of a table: no element followed, but their tags close a cell.
constexpr std::array<string_view, 4> kRows = {"tr", "tbody", "thead", "tfoot"};
constexpr std::uint8_t kRow = 0xff;
// Marks a link's place (OpenElements::others) where the link is only made again by a browser
// around what follows: one a closed element took away (CloseFrom).
constexpr std::uint32_t kMadeAgain = 0x80000000u;
// Any other ordinary element (OrdinaryOther), followed by its name's hash: where one is open
// around an svg, its end tag inside the svg closes the svg with it.
constexpr std::uint8_t kOther = 0xfe;

// A tag name as one number, its first seven letters in lower case and its length: found among the
// followed ones in a few steps, as every tag of a page is looked up.
constexpr std::uint64_t NameKey(string_view name) {
    std::uint64_t key = 0;
    for (size_t i = 0; i < 7; ++i) {
        key = key << 8 | (i < name.size() ? std::uint8_t(LowerAscii(name[i])) : 0u);
    }
    return key << 8 | std::min<size_t>(name.size(), 0xff);
}

using NameKeys = std::pair<std::uint64_t, std::uint8_t>;

// The names' keys (NameKey), each with its place among them, sorted for a search.
template <size_t N>
constexpr std::array<NameKeys, N> SortedKeys(const std::array<string_view, N>& names) {
    std::array<NameKeys, N> keys{};
    for (size_t i = 0; i < N; ++i) {
        keys[i] = {NameKey(names[i]), std::uint8_t(i)};
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

// The place of `name` among `names`, whatever its letter case, found by their SortedKeys; -1 where
// it is none of them.
template <size_t N>
int PlaceAmong(string_view name, const std::array<string_view, N>& names, const std::array<NameKeys, N>& keys) {
    const std::uint64_t key = NameKey(name);
    const auto it = std::lower_bound(keys.begin(), keys.end(), NameKeys{key, 0});
    // Names longer than seven letters are told apart by the rest too.
    if (it == keys.end() || it->first != key || (name.size() > 7 && !EqualsLower(name, names[it->second]))) {
        return -1;
    }
    return it->second;
}

constexpr auto kFollowedKeys = SortedKeys(kFollowed);
constexpr auto kRowKeys = SortedKeys(kRows);

// The first letters of the followed names and the rows'.
constexpr std::uint32_t kFirstLetters = [] {
    std::uint32_t letters = 0;
    for (const string_view name : kFollowed) {
        letters |= 1u << (name[0] - 'a');
    }
    return letters | 1u << ('t' - 'a');
}();

consteval std::uint8_t Code(string_view lowerName) {
    return std::uint8_t(std::find(kFollowed.begin(), kFollowed.end(), lowerName) - kFollowed.begin() + 1);
}

// The code of a followed element's name, kRow for a row's, 0 for any other.
std::uint8_t Lookup(string_view name) {
    // A page's most common tag by far.
    if (name.size() == 1 && LowerAscii(name[0]) == 'p') {
        return Code("p");
    }
    // Most other names of a page, an <img> among them, are told apart by their first letter.
    const unsigned first = unsigned(LowerAscii(name.empty() ? '\0' : name[0])) - 'a';
    if (name.size() > 10 || first >= 26 || (kFirstLetters & (1u << first)) == 0) {
        return 0;
    }
    if (const int place = PlaceAmong(name, kFollowed, kFollowedKeys); place >= 0) {
        return std::uint8_t(place + 1);
    }
    return first == unsigned('t' - 'a') && PlaceAmong(name, kRows, kRowKeys) >= 0 ? kRow : 0;
}

std::uint8_t Followed(string_view name) {
    const std::uint8_t code = Lookup(name);
    return code == kRow ? 0 : code;
}

// An end tag reaches no element below one of these: a browser ignores it instead.
bool BoundsScope(std::uint8_t code) {
    return code >= Code("td") && code <= Code("template");
}

// The elements an end tag of an ordinary one does not close its way past.
bool IsSpecial(std::uint8_t code) {
    return code < Code("a");
}

// The ordinary elements that a browser closes, where one is open within reach, past the others
// too: the formatting ones (a, b, em and the like), after reopening them inside.
bool IsFormatting(std::uint8_t code) {
    return code == Code("a") || (code > Code("label") && code != kOther);
}

// The HTML elements whose end tag, below HTML held in an svg or math element, is taken to close
// what is open around it, where which elements are open there is not followed.
bool IsContainer(std::uint8_t code) {
    return (code != 0 && code <= Code("ul")) || code == Code("td") || code == Code("th") || code == Code("a") ||
           code == Code("span") || code == Code("label");
}

bool IsHeading(std::uint8_t code) {
    return code >= Code("h1") && code <= Code("h6");
}

// Whether a start tag of a name not followed opens an element followed as an ordinary one, by its
// name's hash: one that stays open until its own end tag or one of an element around it, not a
// void or raw-text one. An <option> and a ruby's <rt> and the like are followed so, and closed
// before the next of their kind (OpenHtml); a <select> too, though not ordinary: taken to stay
// open around an svg, where a browser's end tag of it closes the svg, the page's script after
// them would be read as the svg's own markup.
constexpr std::array<string_view, 43> kNotOrdinary = {
    "area",   "base",    "basefont", "bgsound",  "br",        "col",   "embed",  "frame",    "hr",
    "img",    "input",   "keygen",   "link",     "meta",      "param", "source", "track",    "wbr",
    "html",   "head",    "body",     "caption",  "colgroup",  "tbody", "td",     "tfoot",    "th",
    "thead",  "tr",      "frameset", "image",    "script",    "style", "title",  "textarea", "xmp",
    "iframe", "noembed", "noframes", "noscript", "plaintext", "svg",   "math"};

constexpr auto kNotOrdinaryKeys = SortedKeys(kNotOrdinary);

bool OrdinaryOther(string_view name) {
    // No name of one letter is here (a <p> is followed).
    return name.size() == 1 || PlaceAmong(name, kNotOrdinary, kNotOrdinaryKeys) < 0;
}

// Whether a start tag of the element of `code` closes a <p> open within reach first: most blocks,
// and a table outside quirks mode.
bool ClosesParagraph(std::uint8_t code) {
    return (code != 0 && code <= Code("search") && code != Code("button")) || code == Code("table") ||
           code == Code("p");
}

bool StartsWithLower(string_view text, string_view lowerPrefix) {
    return text.size() >= lowerPrefix.size() && EqualsLower(text.substr(0, lowerPrefix.size()), lowerPrefix);
}

// Whether a page that begins with this doctype (its text after "<!doctype", up to and without its
// '>') is read in quirks mode, where a table does not close a paragraph: the old public identifiers
// browsers keep, no name or another than html, and a doctype cut short.
bool QuirksDoctype(string_view text, bool closed) {
    static constexpr std::array<string_view, 55> kQuirkyPublic = {
        "+//silmaril//dtd html pro v0r11 19970101//",
        "-//as//dtd html 3.0 aswedit + extensions//",
        "-//advasoft ltd//dtd html 3.0 aswedit + extensions//",
        "-//ietf//dtd html 2.0 level 1//",
        "-//ietf//dtd html 2.0 level 2//",
        "-//ietf//dtd html 2.0 strict level 1//",
        "-//ietf//dtd html 2.0 strict level 2//",
        "-//ietf//dtd html 2.0 strict//",
        "-//ietf//dtd html 2.0//",
        "-//ietf//dtd html 2.1e//",
        "-//ietf//dtd html 3.0//",
        "-//ietf//dtd html 3.2 final//",
        "-//ietf//dtd html 3.2//",
        "-//ietf//dtd html 3//",
        "-//ietf//dtd html level 0//",
        "-//ietf//dtd html level 1//",
        "-//ietf//dtd html level 2//",
        "-//ietf//dtd html level 3//",
        "-//ietf//dtd html strict level 0//",
        "-//ietf//dtd html strict level 1//",
        "-//ietf//dtd html strict level 2//",
        "-//ietf//dtd html strict level 3//",
        "-//ietf//dtd html strict//",
        "-//ietf//dtd html//",
        "-//metrius//dtd metrius presentational//",
        "-//microsoft//dtd internet explorer 2.0 html strict//",
        "-//microsoft//dtd internet explorer 2.0 html//",
        "-//microsoft//dtd internet explorer 2.0 tables//",
        "-//microsoft//dtd internet explorer 3.0 html strict//",
        "-//microsoft//dtd internet explorer 3.0 html//",
        "-//microsoft//dtd internet explorer 3.0 tables//",
        "-//netscape comm. corp.//dtd html//",
        "-//netscape comm. corp.//dtd strict html//",
        "-//o'reilly and associates//dtd html 2.0//",
        "-//o'reilly and associates//dtd html extended 1.0//",
        "-//o'reilly and associates//dtd html extended relaxed 1.0//",
        "-//sq//dtd html 2.0 hotmetal + extensions//",
        "-//softquad software//dtd hotmetal pro 6.0::19990601::extensions to html 4.0//",
        "-//softquad//dtd hotmetal pro 4.0::19971010::extensions to html 4.0//",
        "-//spyglass//dtd html 2.0 extended//",
        "-//sun microsystems corp.//dtd hotjava html//",
        "-//sun microsystems corp.//dtd hotjava strict html//",
        "-//w3c//dtd html 3 1995-03-24//",
        "-//w3c//dtd html 3.2 draft//",
        "-//w3c//dtd html 3.2 final//",
        "-//w3c//dtd html 3.2//",
        "-//w3c//dtd html 3.2s draft//",
        "-//w3c//dtd html 4.0 frameset//",
        "-//w3c//dtd html 4.0 transitional//",
        "-//w3c//dtd html experimental 19960712//",
        "-//w3c//dtd html experimental 970421//",
        "-//w3c//dtd w3 html//",
        "-//w3o//dtd w3 html 3.0//",
        "-//webtechs//dtd mozilla html 2.0//",
        "-//webtechs//dtd mozilla html//",
    };
    if (!closed) {
        return true;
    }
    size_t at = BlanksEnd(text, 0);
    size_t nameEnd = at;
    while (nameEnd < text.size() && !IsBlank(text[nameEnd])) {
        ++nameEnd;
    }
    if (!EqualsLower(text.substr(at, nameEnd - at), "html")) {
        return true;
    }
    // A quoted identifier after its keyword; false where the doctype is cut short there.
    const auto quoted = [&text](size_t& from, string_view& id) {
        from = BlanksEnd(text, from);
        if (from >= text.size() || (text[from] != '"' && text[from] != '\'')) {
            return false;
        }
        const size_t close = text.find(text[from], from + 1);
        if (close == npos) {
            return false;
        }
        id = text.substr(from + 1, close - from - 1);
        from = close + 1;
        return true;
    };
    at = BlanksEnd(text, nameEnd);
    string_view publicId;
    string_view systemId;
    bool hasSystem = false;
    if (StartsWithLower(text.substr(at), "public")) {
        at += 6;
        if (!quoted(at, publicId)) {
            return true;
        }
        // Only a blank and a quoted system identifier may follow; anything else is a doctype
        // browsers give up on.
        const size_t next = BlanksEnd(text, at);
        if (next < text.size()) {
            if (next == at || !quoted(at, systemId)) {
                return true;
            }
            hasSystem = true;
        }
    } else if (StartsWithLower(text.substr(at), "system")) {
        at += 6;
        if (!quoted(at, systemId)) {
            return true;
        }
        hasSystem = true;
    } else if (at < text.size()) {
        return true;  // other words after the name
    }
    if (EqualsLower(publicId, "-//w3o//dtd w3 html strict 3.0//en//") ||
        EqualsLower(publicId, "-/w3c/dtd html 4.0 transitional/en") || EqualsLower(publicId, "html") ||
        EqualsLower(systemId, "http://www.ibm.com/data/dtd/v11/ibmxhtml1-transitional.dtd")) {
        return true;
    }
    if (!hasSystem && (StartsWithLower(publicId, "-//w3c//dtd html 4.01 frameset//") ||
                       StartsWithLower(publicId, "-//w3c//dtd html 4.01 transitional//"))) {
        return true;
    }
    return std::any_of(kQuirkyPublic.begin(), kQuirkyPublic.end(),
                       [publicId](string_view prefix) { return StartsWithLower(publicId, prefix); });
}

}  // namespace

// What the foreign-content rules need of a start tag's attributes; gathered only for the two tags
// that have such rules.
struct HtmlScanner::Attributes {
    bool wanted = false;
    bool fontStyle = false;  // color, face or size: such a <font> leaves svg and math
    bool hasEncoding = false;
    string_view encoding;

    void Add(string_view name, string_view value) {
        if (!wanted) {
            return;
        }
        if (IsOneOf(name, {"color", "face", "size"})) {
            fontStyle = true;
        } else if (!hasEncoding && EqualsLower(name, "encoding")) {
            // The first of repeated attributes is the one that counts.
            hasEncoding = true;
            encoding = value;
        }
    }
};

bool IsHtmlBlank(char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\f' || c == '\r';
}

std::size_t BlanksEnd(std::string_view text, std::size_t at) {
    while (at < text.size() && IsHtmlBlank(text[at])) {
        ++at;
    }
    return at;
}

std::string_view BlanksTrimmed(std::string_view text) {
    const std::size_t start = BlanksEnd(text, 0);
    std::size_t end = text.size();
    while (end > start && IsHtmlBlank(text[end - 1])) {
        --end;
    }
    return text.substr(start, end - start);
}

bool HtmlToken::Is(Kind k, string_view lowerName) const {
    return kind == k && EqualsLower(name, lowerName);
}

bool HtmlToken::IsOneOf(std::initializer_list<string_view> lowerNames) const {
    return (kind == Kind::StartTag || kind == Kind::EndTag) && ::IsOneOf(name, lowerNames);
}

bool SameTagName(string_view one, string_view other) {
    return one.size() == other.size() && std::equal(one.begin(), one.end(), other.begin(),
                                                    [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

std::string LowerTagName(string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    return lower;
}

bool OpensNothing(const HtmlToken& t) {
    return t.IsOneOf({"area", "base", "br", "col", "embed", "frame", "hr", "img", "input", "keygen", "link", "meta",
                      "param", "source", "track", "wbr"});
}

bool HtmlScanner::State::SameAs(const State& other) const {
    return depth == other.depth && top == other.top && topHtml == other.topHtml && depth <= kMaxDepth;
}

HtmlScanner::State HtmlScanner::Current() const {
    State state = m_state;
    state.topHtml = m_foreign.empty() || m_state.depth > m_foreign.size() ? 0 : m_foreign.back().htmlOpen;
    return state;
}

size_t HtmlScanner::LinkOpenSince() const {
    const OpenElements& open = m_state.html;
    if (m_state.depth > 0 || open.beyond > 0) {
        return npos;
    }
    bool inCell = false;
    for (size_t i = open.size; i > 0; --i) {
        const std::uint32_t link = open.others[i - 1];
        if (open.names[i - 1] == Code("a")) {
            // Inside a cell (or a caption, an object...) a link only made again is not.
            return inCell && (link & kMadeAgain) != 0 ? npos : link & ~kMadeAgain;
        }
        inCell = inCell || (BoundsScope(open.names[i - 1]) && open.names[i - 1] != Code("table"));
    }
    return npos;
}

HtmlScanner::HtmlScanner(string_view text, size_t from)
    : m_text(text)
    , m_pos(from)
    , m_openSince(text.size()) {}

bool HtmlScanner::ForeignTop() const {
    if (m_state.depth == 0) {
        return false;
    }
    if (m_state.depth > m_foreign.size()) {
        return true;
    }
    return (m_foreign.back().flags & (kHtmlIntegration | kTextIntegration)) == 0;
}

void HtmlScanner::Resume(size_t pos, const State& state) {
    m_pos = std::max(pos, m_pos);
    m_state.foreignSince = state.foreignSince;
    m_state.html = state.html;
}

void HtmlScanner::End(size_t openSince) {
    m_ended = true;
    m_pos = m_text.size();
    m_openSince = m_state.depth == 0 ? openSince : m_state.foreignSince;
}

bool HtmlScanner::Next(HtmlToken& token) {
    while (!m_ended) {
        switch (m_mode) {
        case Mode::Data: {
            const size_t lt = m_text.find('<', m_pos);
            if (lt == npos) {
                End(m_text.size());
            } else if (ReadMarkup(lt, token)) {
                return true;
            }
            break;
        }
        case Mode::RawText:
        case Mode::ScriptData: {
            const size_t lt = m_mode == Mode::RawText ? RawTextEnd(m_pos) : ScriptDataEnd(m_pos);
            if (lt == npos) {
                End(m_rawSince);
            } else if (ReadTag(lt, true, token)) {
                return true;
            }
            break;
        }
        case Mode::PlainText:
            End(m_rawSince);
            break;
        }
    }
    return false;
}

bool HtmlScanner::Emit(HtmlToken::Kind kind, size_t lt, size_t end, HtmlToken& token) {
    token = HtmlToken{};
    token.kind = kind;
    token.begin = lt;
    token.htmlPoint = m_state.depth == 0 ? lt : m_state.foreignSince;
    if (end == npos) {
        // A comment or doctype cut off by the end of the text still counts, up to there.
        token.end = m_text.size();
        End(lt);
    } else {
        token.end = end;
        m_pos = end;
    }
    return true;
}

bool HtmlScanner::ReadMarkup(size_t lt, HtmlToken& token) {
    const string_view t = m_text;
    const size_t size = t.size();
    const size_t i = lt + 1;
    if (!m_begun) {
        // Text before the doctype (a byte order mark aside), before a comment too, leaves the
        // doctype unread: the page is in quirks mode.
        const size_t from = m_pos == 0 && t.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : m_pos;
        m_begun = BlanksEnd(t, from) < lt;
    }
    if (i >= size) {
        End(size);  // a last '<' is text: markup after it still reads as markup
        return false;
    }
    const char c = t[i];
    if (IsAlpha(c)) {
        return ReadTag(lt, false, token);
    }
    if (c == '/') {
        if (i + 1 >= size) {
            End(lt);
            return false;
        }
        if (IsAlpha(t[i + 1])) {
            return ReadTag(lt, true, token);
        }
        if (t[i + 1] == '>') {
            m_pos = i + 2;  // "</>" is dropped
            return false;
        }
        return Emit(HtmlToken::Kind::Comment, lt, PastNext(t, '>', i + 1), token);
    }
    if (c == '?') {
        return Emit(HtmlToken::Kind::Comment, lt, PastNext(t, '>', i), token);
    }
    if (c != '!') {
        m_pos = i;  // a '<' that is text
        m_begun = true;
        return false;
    }
    const string_view rest = t.substr(i + 1);
    if (rest.substr(0, 2) == "--") {
        return Emit(HtmlToken::Kind::Comment, lt, CommentEnd(t, i + 3), token);
    }
    if (EqualsLower(rest.substr(0, 7), "doctype")) {
        // Every doctype state ends at the first '>', quoted identifiers included.
        const size_t end = PastNext(t, '>', i + 8);
        if (!m_begun) {
            m_begun = true;
            m_quirks = QuirksDoctype(t.substr(i + 8, end == npos ? npos : end - 1 - (i + 8)), end != npos);
        }
        return Emit(HtmlToken::Kind::Doctype, lt, end, token);
    }
    // CDATA is read where the current element is an svg or math one, not an HTML one inside it.
    if (rest.substr(0, 7) == "[CDATA[" && m_state.depth > 0 && (ForeignTop() || m_foreign.back().htmlOpen == 0)) {
        const size_t close = t.find("]]>", i + 8);
        if (close == npos) {
            End(lt);
        } else {
            m_pos = close + 3;
        }
        return false;
    }
    return Emit(HtmlToken::Kind::Comment, lt, PastNext(t, '>', i + 1), token);
}

bool HtmlScanner::ReadTag(size_t lt, bool endTag, HtmlToken& token) {
    const size_t nameBegin = lt + (endTag ? 2 : 1);
    size_t nameEnd = nameBegin;
    while (nameEnd < m_text.size() && !EndsTagName(m_text[nameEnd])) {
        ++nameEnd;
    }
    const string_view name = m_text.substr(nameBegin, nameEnd - nameBegin);
    Attributes attributes;
    attributes.wanted = !endTag && IsOneOf(name, {"font", "annotation-xml"});
    bool selfClosing = false;
    const size_t end = TagEnd(nameEnd, selfClosing, attributes);
    if (end == npos) {
        // A tag cut off by the end of the text is no tag at all.
        End(m_mode == Mode::Data ? lt : m_rawSince);
        return false;
    }
    token = HtmlToken{};
    token.kind = endTag ? HtmlToken::Kind::EndTag : HtmlToken::Kind::StartTag;
    token.begin = lt;
    token.end = end;
    token.name = name;
    token.selfClosing = selfClosing;
    token.htmlPoint = m_state.depth == 0 ? lt : m_state.foreignSince;
    token.readAsHtml = !ForeignTop();
    m_pos = end;
    if (m_mode != Mode::Data) {
        m_mode = Mode::Data;  // the end tag that closes the raw text
        return true;
    }
    const bool wasOutside = m_state.depth == 0;
    if (endTag) {
        EndTag(token);
    } else {
        StartTag(token, attributes);
    }
    if (wasOutside && m_state.depth > 0) {
        m_state.foreignSince = lt;
    }
    return true;
}

size_t HtmlScanner::TagEnd(size_t from, bool& selfClosing, Attributes& attributes) const {
    enum class S { BeforeName, Name, AfterName, BeforeValue, AfterQuotedValue, SelfClosing };
    const string_view t = m_text;
    S s = S::BeforeName;
    size_t nameBegin = 0;
    string_view attrName;
    for (size_t i = from; i < t.size();) {
        const char c = t[i];
        switch (s) {
        case S::BeforeName:
            if (IsBlank(c)) {
                ++i;
            } else if (c == '/' || c == '>') {
                s = S::AfterName;
            } else {
                nameBegin = i++;  // a leading '=' belongs to the name
                s = S::Name;
            }
            break;
        case S::Name:
            if (EndsTagName(c) || c == '=') {
                attrName = t.substr(nameBegin, i - nameBegin);
                if (c == '=') {
                    ++i;
                    s = S::BeforeValue;
                } else {
                    attributes.Add(attrName, {});
                    s = S::AfterName;
                }
            } else {
                ++i;
            }
            break;
        case S::AfterName:
            if (IsBlank(c)) {
                ++i;
            } else if (c == '/') {
                ++i;
                s = S::SelfClosing;
            } else if (c == '=') {
                ++i;
                s = S::BeforeValue;
            } else if (c == '>') {
                return i + 1;
            } else {
                nameBegin = i++;
                s = S::Name;
            }
            break;
        case S::BeforeValue:
            if (IsBlank(c)) {
                ++i;
            } else if (c == '"' || c == '\'') {
                const size_t close = t.find(c, i + 1);
                if (close == npos) {
                    return npos;
                }
                attributes.Add(attrName, t.substr(i + 1, close - i - 1));
                i = close + 1;
                s = S::AfterQuotedValue;
            } else if (c == '>') {
                attributes.Add(attrName, {});
                return i + 1;
            } else {
                size_t valueEnd = i;
                while (valueEnd < t.size() && !IsBlank(t[valueEnd]) && t[valueEnd] != '>') {
                    ++valueEnd;
                }
                attributes.Add(attrName, t.substr(i, valueEnd - i));
                i = valueEnd;
                s = S::BeforeName;
            }
            break;
        case S::AfterQuotedValue:
            if (IsBlank(c)) {
                ++i;
                s = S::BeforeName;
            } else if (c == '/') {
                ++i;
                s = S::SelfClosing;
            } else if (c == '>') {
                return i + 1;
            } else {
                s = S::BeforeName;
            }
            break;
        case S::SelfClosing:
            if (c == '>') {
                selfClosing = true;
                return i + 1;
            }
            s = S::BeforeName;
            break;
        }
    }
    return npos;
}

bool HtmlScanner::AppropriateEndTagAt(size_t pos) const {
    const size_t name = pos + 2;
    const size_t after = name + m_rawName.size();
    return pos + 1 < m_text.size() && m_text[pos + 1] == '/' && after < m_text.size() &&
           EqualsLower(m_text.substr(name, m_rawName.size()), m_rawName) && EndsTagName(m_text[after]);
}

size_t HtmlScanner::RawTextEnd(size_t from) const {
    for (size_t lt = m_text.find('<', from); lt != npos; lt = m_text.find('<', lt + 1)) {
        if (AppropriateEndTagAt(lt)) {
            return lt;
        }
    }
    return npos;
}

// The script data states. "<!--" escapes the text: inside it, "<script" followed by a blank, '/'
// or '>' starts a double-escaped stretch, where even "</script>" does not end the script, up to
// the next "</script" (with the same followers) or "-->".
size_t HtmlScanner::ScriptDataEnd(size_t from) const {
    enum class S { Script, Escaped, DoubleEscaped };
    const string_view t = m_text;
    const size_t size = t.size();
    S s = S::Script;
    size_t i = from;
    while (i < size) {
        if (s == S::Script) {
            const size_t lt = t.find('<', i);
            if (lt == npos) {
                return npos;
            }
            if (AppropriateEndTagAt(lt)) {
                return lt;
            }
            i = lt + 1;
            if (t.substr(i, 3) == "!--") {
                // The two dashes count towards a closing "-->" ("<!-->" opens and closes at once).
                i += 1;
                s = S::Escaped;
            }
            continue;
        }
        // Escaped and double-escaped text: only dashes and '<' matter.
        const size_t at = FindEither(t, i, '-', '<');
        if (at == npos) {
            return npos;
        }
        if (t[at] == '-') {
            size_t run = at;
            while (run < size && t[run] == '-') {
                ++run;
            }
            if (run - at >= 2 && run < size && t[run] == '>') {
                s = S::Script;
                i = run + 1;
            } else {
                i = run;  // a '<' right after the dashes is looked at next
            }
            continue;
        }
        // '<' in escaped or double-escaped text.
        i = at + 1;
        if (i >= size) {
            return npos;
        }
        if (t[i] == '/') {
            if (s == S::Escaped && AppropriateEndTagAt(at)) {
                return at;
            }
            if (s == S::DoubleEscaped) {
                const size_t letters = LettersAt(t, i + 1);
                const size_t after = i + 1 + letters;
                if (after < size && EndsTagName(t[after])) {
                    if (EqualsLower(t.substr(i + 1, letters), "script")) {
                        s = S::Escaped;
                    }
                    i = after + 1;
                } else {
                    i = after;
                }
            }
            continue;
        }
        if (s == S::Escaped && IsAlpha(t[i])) {
            const size_t letters = LettersAt(t, i);
            const size_t after = i + letters;
            if (after < size && EndsTagName(t[after])) {
                if (EqualsLower(t.substr(i, letters), "script")) {
                    s = S::DoubleEscaped;
                }
                i = after + 1;
            } else {
                i = after;
            }
        }
    }
    return npos;
}

namespace {

using OpenElements = HtmlScanner::OpenElements;

// Closes what an <option>, <optgroup> or ruby text element, of the name hashed `other`, closes
// before it opens: the one of its kind open innermost.
void CloseSiblings(OpenElements& open, std::uint32_t other) {
    static const auto hash = [](string_view name) {
        return std::uint32_t(NameHash(name));
    };
    static const std::uint32_t option = hash("option"), optgroup = hash("optgroup"), rb = hash("rb"), rp = hash("rp"),
                               rt = hash("rt"), rtc = hash("rtc");
    const auto innermostIs = [&open](std::initializer_list<std::uint32_t> names) {
        return open.size > 0 && open.names[open.size - 1] == kOther &&
               std::find(names.begin(), names.end(), open.others[open.size - 1]) != names.end();
    };
    if (other == option || other == optgroup) {
        if (innermostIs({option})) {
            --open.size;
        }
    } else if (other == rb || other == rtc) {
        while (innermostIs({rb, rp, rt, rtc, option, optgroup})) {
            --open.size;
        }
    } else if (other == rp || other == rt) {
        while (innermostIs({rb, rp, rt, option, optgroup})) {
            --open.size;
        }
    }
}

// Whether a template is open among the elements followed.
bool InTemplate(const OpenElements& open) {
    return std::find(open.names.begin(), open.names.begin() + open.size, Code("template")) !=
           open.names.begin() + open.size;
}

// Takes the element at `closed` off, with those inside it, as a browser's end tag does (or a start
// tag that closes it first). The formatting elements inside it stay on a browser's list of those to
// make again, and it makes them anew around the next element it opens, an svg among them: they are
// taken to stay open, as many of a name as that list keeps (three), and none from inside a cell, a
// caption or an object, whose end forgets them.
void CloseFrom(OpenElements& open, size_t closed) {
    size_t kept = closed;
    for (size_t j = closed; j < open.size; ++j) {
        const std::uint8_t at = open.names[j];
        if (BoundsScope(at) && at != Code("table")) {
            break;
        }
        if (j > closed && IsFormatting(at) && std::count(open.names.begin(), open.names.begin() + kept, at) < 3) {
            open.names[kept] = at;
            open.others[kept++] = open.others[j] | (at == Code("a") ? kMadeAgain : 0);
        }
    }
    open.size = std::uint8_t(kept);
}

// Closes the <p> open within reach, with all inside it, as the start tag of a block does; inside a
// <select>, where a browser takes no such tag or keeps it there, none is within reach. Past the
// elements followed, those only counted go with it, as they mostly do.
void CloseParagraph(OpenElements& open) {
    static const std::uint32_t select = std::uint32_t(NameHash("select"));
    for (size_t i = open.size; i > 0; --i) {
        const std::uint8_t at = open.names[i - 1];
        if (at == Code("p")) {
            CloseFrom(open, i - 1);
            open.beyond = 0;
            return;
        }
        if (BoundsScope(at) || at == Code("button") || (at == kOther && open.others[i - 1] == select)) {
            return;
        }
    }
}

// Closes the followed element an end tag of the element of `code` (`other` its name's hash, for an
// ordinary one not followed by name) closes, with those inside it; false where it closes none
// (none open, or none within reach). A row's tag is taken as a `cell`'s.
bool CloseHtml(OpenElements& open, std::uint8_t code, bool cell, std::uint32_t other = 0) {
    // Inside a template a form's end closes the template's own form, as any element's end closes
    // its element, and leaves the page's form as it was (OpenHtml).
    const bool pageForm = code == Code("form") && !InTemplate(open);
    if (pageForm) {
        open.inForm = false;  // whether it closes the form or not
    }
    if (open.beyond > 0) {
        // Past the elements followed: taken for the innermost, as end tags mostly are. A row's or
        // a cell's tag there closes nothing counted, nor does a form's or a <p>'s end. Whether it
        // reaches an element open around an svg or math element is not known: they are taken to
        // stay open, where the advert still goes before them.
        if (!cell && code != Code("form") && code != Code("p")) {
            --open.beyond;
        }
        return false;
    }
    bool blockInside = false;
    for (size_t i = open.size; i > 0; --i) {
        const std::uint8_t at = open.names[i - 1];
        // The end of any heading closes the heading open.
        if ((at == code && (code != kOther || open.others[i - 1] == other)) || (cell && at == Code("th")) ||
            (IsHeading(code) && IsHeading(at))) {
            // A form's end takes only the form away, and leaves an svg or math element open. A
            // formatting element's past a block inside it (a link around a div) takes the element
            // away around what it holds, and with it the ordinary elements inside it (a <span>
            // within the div), which a browser closes as it mends the misnesting; the blocks and
            // the formatting elements, made anew where needed, stay open.
            if (pageForm || (IsFormatting(code) && blockInside)) {
                // Of the elements between it and the first block inside it, a browser makes again the
                // formatting ones among the three nearest the block, and drops the others.
                size_t block = i;
                while (block < open.size && !IsSpecial(open.names[block])) {
                    ++block;
                }
                size_t kept = i - 1;
                for (size_t j = i; j < open.size; ++j) {
                    const bool formatting = IsFormatting(open.names[j]);
                    const bool dropped = !pageForm && j + 3 < block;
                    if (!dropped && (pageForm || IsSpecial(open.names[j]) || formatting)) {
                        open.names[kept] = open.names[j];
                        open.others[kept++] = open.others[j];
                    }
                }
                open.size = std::uint8_t(kept);
                return !pageForm;
            }
            CloseFrom(open, i - 1);
            return true;
        }
        // A table's end closes the cells and captions in it; nothing else reaches past a bound.
        const bool inTable = code == Code("table") && (at == Code("td") || at == Code("th") || at == Code("caption"));
        // A list item's end reaches no item past the list it is in, a <p>'s no paragraph past a
        // button.
        const bool pastList = code == Code("li") && (at == Code("ul") || at == Code("ol"));
        const bool pastButton = code == Code("p") && at == Code("button");
        if ((BoundsScope(at) && !inTable) || pastList || pastButton ||
            (!IsSpecial(code) && !IsFormatting(code) && IsSpecial(at))) {
            return false;
        }
        blockInside = blockInside || IsSpecial(at);
    }
    return false;
}

// The same for an end tag of `name`.
bool CloseHtml(OpenElements& open, string_view name) {
    const std::uint8_t code = Lookup(name);
    if (code == 0) {
        return OrdinaryOther(name) && CloseHtml(open, kOther, false, std::uint32_t(NameHash(name)));
    }
    return CloseHtml(open, code == kRow ? Code("td") : code, code == kRow);
}

// Follows an element a start tag of `name`, at `at`, opens, after closing what a browser closes
// before it, in a page read in `quirks` mode or not.
void OpenHtml(OpenElements& open, string_view name, bool quirks, size_t at) {
    std::uint8_t code = Lookup(name);
    if (code == kRow) {
        CloseHtml(open, Code("td"), true);
        return;
    }
    if (code == 0) {
        if (!OrdinaryOther(name)) {
            // A rule, and the raw-text elements that close a paragraph, make no element followed.
            if (IsOneOf(name, {"hr", "xmp", "plaintext"})) {
                CloseParagraph(open);
            }
            return;
        }
        code = kOther;
    }
    // A page has one form open at most, but a template's content is no part of the page yet: a
    // form there is opened whatever the page's is, and leaves the page's as it was.
    if (code == Code("form") && !InTemplate(open)) {
        if (open.inForm) {
            return;  // no element
        }
        open.inForm = true;
    }
    if (ClosesParagraph(code) && !(quirks && code == Code("table"))) {
        CloseParagraph(open);
    }
    // Past the elements followed, they are only counted, each start tag one; a <p>, closed by
    // so many others, is not.
    if (open.beyond > 0 || open.size == open.names.size()) {
        open.beyond += code != Code("p");
        return;
    }
    if (code == kOther) {
        CloseSiblings(open, std::uint32_t(NameHash(name)));
    }
    const auto isOpen = [&open](std::uint8_t which) {
        return std::find(open.names.begin(), open.names.begin() + open.size, which) != open.names.begin() + open.size;
    };
    // Elements a browser closes before opening this one.
    if (code == Code("li") || code == Code("dd") || code == Code("dt")) {
        for (size_t i = open.size; i > 0; --i) {
            const std::uint8_t at = open.names[i - 1];
            if (at == code || (code != Code("li") && (at == Code("dd") || at == Code("dt")))) {
                CloseFrom(open, i - 1);
                break;
            }
            if (IsSpecial(at) && at != Code("address") && at != Code("div") && at != Code("p")) {
                break;
            }
        }
    }
    if (IsHeading(code) && open.size > 0 && IsHeading(open.names[open.size - 1])) {
        --open.size;
    } else if (code == Code("td") || code == Code("th") || code == Code("caption")) {
        // Outside a table these make no element.
        if (!isOpen(Code("table"))) {
            return;
        }
        CloseHtml(open, Code("td"), true);
    } else if (code == Code("a") || code == Code("button")) {
        CloseHtml(open, code, false);
    }
    open.others[open.size] = code == kOther      ? std::uint32_t(NameHash(name))
                             : code == Code("a") ? std::uint32_t(std::min<size_t>(at, kMadeAgain - 1))
                                                 : 0;
    open.names[open.size++] = code;
}

}  // namespace

void HtmlScanner::Push(std::uint64_t name, std::uint8_t flags) {
    if (m_foreign.size() < kMaxDepth && m_state.depth == m_foreign.size()) {
        m_foreign.push_back({name, ++m_serial, 0, flags});
        m_state.top = m_serial;
        if (flags & (kHtmlIntegration | kTextIntegration)) {
            m_held.emplace_back();
        }
    }
    ++m_state.depth;
}

void HtmlScanner::PopTo(size_t depth) {
    if (depth < m_foreign.size()) {
        const auto points =
            std::count_if(m_foreign.begin() + std::ptrdiff_t(depth), m_foreign.end(),
                          [](const Foreign& f) { return (f.flags & (kHtmlIntegration | kTextIntegration)) != 0; });
        m_held.resize(m_held.size() - size_t(points));
        m_foreign.resize(depth);
    }
    m_state.depth = std::uint32_t(depth);
    m_state.top = m_foreign.empty() ? 0 : m_foreign.back().serial;
}

template <typename Change>
void HtmlScanner::ChangeHtmlHere(const Change& change) {
    if (m_state.depth == 0) {
        change(m_state.html);
        return;
    }
    // A page has one form open at most, wherever it began.
    OpenElements& held = m_held.back();
    held.inForm = m_state.html.inForm;
    change(held);
    m_foreign.back().htmlOpen = held.size + held.beyond;
    m_state.html.inForm = held.inForm;
}

void HtmlScanner::PopToHtml() {
    size_t depth = std::min<size_t>(m_state.depth, m_foreign.size());
    while (depth > 0 && (m_foreign[depth - 1].flags & (kHtmlIntegration | kTextIntegration)) == 0) {
        --depth;
    }
    PopTo(depth);
}

// The start tags that switch the tokenizer to raw text (RCDATA reads the same for our purposes).
const std::pair<string_view, HtmlScanner::Mode>* HtmlScanner::RawTextMode(string_view name) {
    static constexpr std::array<std::pair<string_view, Mode>, 10> kRawText = {{
        {"script", Mode::ScriptData},
        {"style", Mode::RawText},
        {"title", Mode::RawText},
        {"textarea", Mode::RawText},
        {"xmp", Mode::RawText},
        {"iframe", Mode::RawText},
        {"noembed", Mode::RawText},
        {"noframes", Mode::RawText},
        {"noscript", Mode::RawText},
        {"plaintext", Mode::PlainText},
    }};
    if (name.size() < 3 || name.size() > 9) {
        return nullptr;
    }
    const char first = LowerAscii(name[0]);
    const auto it = std::find_if(kRawText.begin(), kRawText.end(), [name, first](const auto& raw) {
        return raw.first[0] == first && EqualsLower(name, raw.first);
    });
    return it == kRawText.end() ? nullptr : &*it;
}

void HtmlScanner::StartTag(HtmlToken& token, const Attributes& attributes) {
    m_begun = true;
    const string_view name = token.name;
    // Whether the tree builder takes this start tag by the HTML rules.
    bool html = m_state.depth == 0;
    if (m_state.depth > 0 && m_state.depth == m_foreign.size()) {
        const std::uint8_t top = m_foreign.back().flags;
        if (top & kHtmlIntegration) {
            html = true;
        } else if (top & kTextIntegration) {
            html = !IsOneOf(name, {"mglyph", "malignmark"});
        } else {
            html = (top & kAnnotationXml) && EqualsLower(name, "svg");
        }
    }
    token.readAsHtml = html;
    if (!html) {
        if (IsBreakout(name) || (EqualsLower(name, "font") && attributes.fontStyle)) {
            PopToHtml();
            token.readAsHtml = true;  // read again where HTML is read
            ChangeHtmlHere([&](OpenElements& open) { OpenHtml(open, name, m_quirks, token.begin); });
            return;
        }
        if (token.selfClosing) {
            return;
        }
        const bool svg = m_state.depth > m_foreign.size() || (m_foreign.back().flags & kSvg);
        std::uint8_t flags = svg ? kSvg : kMath;
        if (svg && IsOneOf(name, {"foreignobject", "desc", "title"})) {
            flags |= kHtmlIntegration;
        } else if (!svg && IsOneOf(name, {"mi", "mo", "mn", "ms", "mtext"})) {
            flags |= kTextIntegration;
        } else if (!svg && EqualsLower(name, "annotation-xml")) {
            flags |= kAnnotationXml;
            if (IsOneOf(attributes.encoding, {"text/html", "application/xhtml+xml"})) {
                flags |= kHtmlIntegration;
            }
        }
        Push(NameHash(name), flags);
        return;
    }
    if (EqualsLower(name, "svg") || EqualsLower(name, "math")) {
        if (!token.selfClosing) {
            Push(NameHash(name), LowerAscii(name[0]) == 's' ? kSvg : kMath);
        }
        return;
    }
    ChangeHtmlHere([&](OpenElements& open) { OpenHtml(open, name, m_quirks, token.begin); });
    if (const auto raw = RawTextMode(name)) {
        m_mode = raw->second;
        m_rawName = raw->first;
        m_rawSince = token.begin;
    }
}

void HtmlScanner::EndTag(const HtmlToken& token) {
    m_begun = true;
    if (m_state.depth == 0) {
        CloseHtml(m_state.html, token.name);
        return;
    }
    if (m_state.depth > m_foreign.size()) {
        // Beyond the depth we keep names for, any end tag closes the innermost element.
        PopTo(m_state.depth - 1);
        return;
    }
    const bool foreign = ForeignTop();
    if (foreign && IsOneOf(token.name, {"br", "p"})) {
        PopToHtml();
        // Read again by the HTML rules, where a </p> closes the paragraph.
        if (token.name.size() == 1) {
            ChangeHtmlHere([](OpenElements& open) { CloseHtml(open, Code("p"), false); });
        }
        return;
    }
    // An end tag reaches no svg or math element past an HTML element inside one (an svg in a
    // <span> in a math <mi>): it is then read by the HTML rules.
    const std::uint64_t name = NameHash(token.name);
    size_t match = m_foreign.size();
    while (match > 0 && m_foreign[match - 1].name != name) {
        --match;
        if (match > 0 && m_foreign[match - 1].htmlOpen > 0) {
            match = 0;
        }
    }
    if (!foreign && m_foreign.back().htmlOpen > 0) {
        // The current element is an HTML one inside the integration point: the end tag closes
        // what it closes of those as it would outside, and reaches nothing past the point.
        ChangeHtmlHere([&token](OpenElements& open) { CloseHtml(open, token.name); });
        return;
    }
    if (match > 0) {
        PopTo(match - 1);
        return;
    }
    // No open svg or math element has that name. The end tag of an HTML element open around them
    // (a div around an unclosed svg) closes that element and them with it; one that closes nothing,
    // or cannot reach it past a cell or a table, is ignored, and they stay open. Below HTML held in
    // an svg or math element, the HTML elements open there are the ones it may close, and it
    // reaches none past that element; where they are only counted, it is taken to close them.
    const std::uint8_t code = Followed(token.name);
    if (!foreign || (code == 0 && !OrdinaryOther(token.name))) {
        return;
    }
    if (m_held.empty()) {
        if (CloseHtml(m_state.html, token.name)) {
            PopToHtml();
        }
    } else {
        // As ChangeHtmlHere, with the svg and math elements on the way closed too where it closes
        // one of those HTML elements. The innermost element holding HTML stays.
        OpenElements& held = m_held.back();
        held.inForm = m_state.html.inForm;
        const bool closes = held.beyond > 0 ? IsContainer(code) : CloseHtml(held, token.name);
        m_state.html.inForm = held.inForm;
        if (closes) {
            PopToHtml();
            m_foreign.back().htmlOpen = held.size + held.beyond;
        }
    }
}
