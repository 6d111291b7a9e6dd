#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The blanks between HTML's words: space, tab, line feed, form feed and carriage return (the
// input stream's preprocessing turns CR into LF).
bool IsHtmlBlank(char c);

// `c` in lower case where it is an ASCII capital, as HTML compares names; any other byte as it is.
constexpr char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Where the run of blanks that starts at `at` in `text` ends: `at` itself where there is none.
std::size_t BlanksEnd(std::string_view text, std::size_t at);

// `text` without the blanks that begin and end it.
std::string_view BlanksTrimmed(std::string_view text);

// Past the UTF-8 byte-order mark that starts many a page saved on Windows, or 0.
constexpr std::size_t AfterByteOrderMark(std::string_view text) {
    return text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
}

// One tag, comment or doctype as a browser's tokenizer sees it, by its offsets in the page.
struct HtmlToken {
    enum class Kind : std::uint8_t { StartTag, EndTag, Comment, Doctype };

    Kind kind = Kind::Comment;
    std::size_t begin = 0;  // the '<'
    std::size_t end = 0;    // one past the closing '>' (the end of the text for a comment cut off by it)
    std::string_view name;  // a tag's name as written, in any letter case; empty otherwise
    bool selfClosing = false;
    // The last offset, at or before `begin`, where markup put into the page would be read as HTML
    // and shown as the page's own: `begin` itself, unless the tag is read inside an <svg> or <math>
    // element, where it is that element's start (also inside a <desc> or <foreignObject> there,
    // whose HTML is read as HTML but drawn, if at all, as part of the picture).
    std::size_t htmlPoint = 0;
    // Whether the tree builder reads the tag by the rules of HTML, not those of svg and math: always
    // outside them; inside them, at the points that hold HTML (an svg's foreignObject, desc and title;
    // MathML's mi, mo, mn, ms, mtext and an annotation-xml for HTML) and in the HTML elements there.
    // A start tag read so makes an HTML element, which a browser takes as one (a <base> there is the
    // page's base) even where `htmlPoint` lies before it.
    bool readAsHtml = true;

    // Whether this is a tag named `lowerName` (given in lower case), in any letter case.
    bool Is(Kind k, std::string_view lowerName) const;
    // Whether this is a tag, start or end, named one of `lowerNames`, in any letter case.
    bool IsOneOf(std::initializer_list<std::string_view> lowerNames) const;
};

// Whether two tag names are one, in any letter case.
bool SameTagName(std::string_view one, std::string_view other);

// A tag's name in lower case, ASCII letters only, as the tree builder compares them.
std::string LowerTagName(std::string_view name);

// Whether `t` is the start tag of an element without content, which leaves nothing open.
bool OpensNothing(const HtmlToken& t);

// Reads a page the way a browser's HTML parser splits it into tags, comments and text: the WHATWG
// tokenization states that decide what is a tag or a comment (comments with their odd endings,
// bogus comments, doctypes, attribute values in all three quotings, RCDATA, RAWTEXT, script data
// with its escaped and double-escaped states, PLAINTEXT), and as much of the tree builder's
// feedback as changes those: which start tags switch the tokenizer into raw text, and when the
// parser is inside <svg> or <math>, where no element does that and <![CDATA[ opens a CDATA section.
// Scripting counts as enabled (the advert needs it), so <noscript> holds raw text.
//
// It builds no tree and copies nothing: one pass over the text, reporting offsets, with a small
// fixed amount of state (the open svg and math elements are counted beyond a fixed depth, and the
// HTML elements open outside them that decide where a stray end tag inside them reaches are
// followed up to sixty-four, then counted). The text must outlive the scanner.
class HtmlScanner final {
public:
    // The HTML elements open outside svg and math that decide where a stray end tag inside one of
    // them reaches (HtmlScanner.cpp names them), innermost last, by code; other ordinary ones (a
    // <sup>, a custom element) by a code of their own and their name's hash, a link (<a>) with
    // where its start tag begins; those past the last
    // place are only counted. Pages made by site builders nest forty deep and more, and the
    // formatting elements a closed element leaves open go on top.
    struct OpenElements {
        std::array<std::uint8_t, 64> names{};
        std::array<std::uint32_t, 64> others{};
        std::uint8_t size = 0;
        std::uint32_t beyond = 0;
        // A form has begun whose end tag has not come: a browser takes no form start tag then, even
        // where the form was closed by another end tag.
        bool inForm = false;
    };

    // The part of the reading state that can differ between two points in data state: the open
    // svg and math elements. Two points in the same state read what follows them the same way.
    struct State {
        std::uint32_t depth = 0;       // open foreign elements
        std::uint32_t top = 0;         // serial number of the innermost one; 0 when none
        std::uint32_t topHtml = 0;     // HTML elements counted open inside it
        std::size_t foreignSince = 0;  // where the outermost open svg or math element began
        // Decides only where a stray end tag in an svg or math element reaches; a block taken out
        // puts it back as it was before the block.
        OpenElements html;

        // Whether reading from here and from `other` is certain to go the same way.
        bool SameAs(const State& other) const;
    };

    // Reads from `from` on, as though the text began there.
    explicit HtmlScanner(std::string_view text, std::size_t from = 0);

    // The next token; false once the text is read to its end. Text between tokens is skipped.
    bool Next(HtmlToken& token);

    // The state between tokens, right after the last token returned.
    State Current() const;

    // Whether the page is laid out in quirks mode, as far as what is read so far tells: no doctype
    // before its first text or tag, or one of the old public identifiers.
    bool Quirks() const { return m_quirks; }

    // Continues reading at `pos` (not before the current offset) as though the bytes from the
    // point where `state` was taken up to `pos` were not in the page. Only valid when Current()
    // is SameAs(`state`) and that point was right after a comment, like the current one.
    void Resume(std::size_t pos, const State& state);

    // Once Next has returned false: the first offset of whatever the end of the text left open
    // (a comment, a tag, a raw-text element, the outermost svg or math element), or the text's size
    // when nothing was. Markup put in there is read as HTML, and what follows it is read as before.
    std::size_t OpenSince() const { return m_openSince; }

    // Where the innermost link (<a>) open here begins, outside svg and math: one left open, or
    // closed with the element that held it, which browsers make again around what follows. npos
    // where none is, inside svg or math, or past the elements followed.
    std::size_t LinkOpenSince() const;

private:
    enum class Mode : std::uint8_t { Data, RawText, ScriptData, PlainText };
    struct Foreign {
        std::uint64_t name = 0;  // hash of the lower-case name
        std::uint32_t serial = 0;
        std::uint32_t htmlOpen = 0;  // HTML elements opened inside an integration point, as far as counted
        std::uint8_t flags = 0;
    };
    struct Attributes;

    bool ReadMarkup(std::size_t lt, HtmlToken& token);
    bool ReadTag(std::size_t lt, bool endTag, HtmlToken& token);
    std::size_t TagEnd(std::size_t from, bool& selfClosing, Attributes& attributes) const;
    std::size_t RawTextEnd(std::size_t from) const;
    std::size_t ScriptDataEnd(std::size_t from) const;
    bool AppropriateEndTagAt(std::size_t pos) const;
    bool Emit(HtmlToken::Kind kind, std::size_t lt, std::size_t end, HtmlToken& token);
    void End(std::size_t openSince);

    static const std::pair<std::string_view, Mode>* RawTextMode(std::string_view name);
    bool ForeignTop() const;
    void StartTag(HtmlToken& token, const Attributes& attributes);
    void EndTag(const HtmlToken& token);
    void Push(std::uint64_t name, std::uint8_t flags);
    void PopTo(std::size_t depth);
    void PopToHtml();
    // Applies `change` (OpenHtml, CloseHtml) to the HTML elements open where the parser reads:
    // outside svg and math, or inside the innermost of them that holds HTML.
    template <typename Change>
    void ChangeHtmlHere(const Change& change);

    std::string_view m_text;
    std::size_t m_pos = 0;
    Mode m_mode = Mode::Data;
    std::string_view m_rawName;  // lower case, while in RawText or ScriptData
    std::size_t m_rawSince = 0;  // the start tag that opened the raw text
    std::size_t m_openSince = 0;
    State m_state;
    std::vector<Foreign> m_foreign;  // the outermost open foreign elements, kMaxDepth at most
    // The HTML elements open inside each of those that holds HTML, outermost first; Foreign's
    // htmlOpen counts them.
    std::vector<OpenElements> m_held;
    std::uint32_t m_serial = 0;
    bool m_ended = false;
    // Decided by the doctype, if the page begins with one; before the first tag, none is known.
    bool m_begun = false;
    bool m_quirks = true;
};
