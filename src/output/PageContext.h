#pragma once

#include "output/HtmlScanner.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QtGlobal>

#include <optional>
#include <string_view>

// What around the advert's place in a page keeps a browser from showing it, or from finding its
// image and style sheet beside the page. Each reads the page once, in time linear in its size, and
// where a page is in ISO-2022-JP (PageCharset.h), reads its markup and not the bytes of its letters.

// Whether a browser shows `page` as frames: it takes a frameset for the page's body until the body
// has begun for good, with text, a <body> tag, or one of the tags that end the chance (an image, a
// table, a form field, a template once the body has begun...); other tags, such as a <div>, leave
// it. Where it takes one, no block can show, since a browser drops what comes after the frameset.
bool IsFramesetPage(const QByteArray& page);

// The address that `page`'s first <base href> gives, against which a browser looks for the advert's
// image and style sheet instead of beside the page; none where there is no such element (outside a
// template, and an HTML one: inside svg or math, only where they hold HTML, as in a foreignObject)
// or it stays in the page's own folder ("", "./", "index.html", "#top").
std::optional<QByteArray> BaseAddress(const QByteArray& page);

// An element left open at the block's place whose content browsers do not show, the advert
// included: its name as written (and " hidden" or " popover" where that attribute hides it), and the
// line its start tag is on. An open dialog that is a popover does show, but in a small box that cuts
// the banner down to a corner.
struct HidingElement {
    QByteArray tag;
    qsizetype line = 0;
    bool cutsTheBanner = false;
};

// The outermost such element in `page` at `blockAt` (inside an open dialog that is a popover, the
// outermost one in it that shows nothing, where there is one), where the block goes (InsertionPoint
// before a run; Injection::blockAt in the page a run writes, whose custom code after the block is
// the run's own), or none: a <details> or <dialog> without `open`, an <object> with data (what it holds
// shows only where that fails to load), a <select>, <datalist>, <option>, <audio>, <video>,
// <canvas> or <rp>, or any HTML element with the hidden attribute or with the popover attribute of
// any value (hidden until shown, an open <dialog> too, in a box that cuts the banner), but for a
// <p> and what it holds,
// which the block's own <div> ends. Open elements are followed as browsers close them: an
// element's end tag closes what it holds, but not across an <object>, a <select>, a table's cell
// or another end of its scope; a block's start tag closes a <p>; a list item, a definition, a
// table's cell, row, section or caption, an option and a ruby's parenthesis end where the next
// part begins, an input or a select ends an open select, and a table's part outside a table is
// dropped. A page holding none of these names, nor "hidden" or "popover" where an attribute could
// be, is not read any further; one that nests elements deeper than any page is laid out gets none.
// Each tag costs the same however deeply the page nests.
std::optional<HidingElement> FindHidingElement(const QByteArray& page, qsizetype blockAt);

// Whether the link whose start tag begins at `at` in `page` leads anywhere: one without an address
// (a named anchor) wraps the banner in nothing a click follows.
bool LinkHasAddress(const QByteArray& page, qsizetype at);

// The value of the start tag `t`'s first attribute named `name` (in any letter case), as a
// browser splits them: a name, then after '=' a value in either quote or up to a blank; empty for
// one without a value, none for a tag without one. The tag's end was found by the scanner, which
// reads quotes as this does.
std::optional<std::string_view> AttributeOf(std::string_view text, const HtmlToken& t, std::string_view name);

// An element of `page` that bears a name of the advert's own (CodeTexts.h): a map named as its map
// before `blockAt`, which browsers take for the banner's, or a box, an image or a link of one of its
// classes, which its style sheet would move into the window's corner or restyle. Names are read as
// browsers read them: with their character references, and classes in any letter case in quirks
// mode only (no doctype, or an old one). A page holds one where an advert was put in by hand, or
// code copied from one. The element's start tag (its name and the attribute as written), the name,
// and where the tag begins; none in a page that holds no such element outside a comment, a script,
// a template and the like.
struct NamedLikeTheAdvert {
    QByteArray tag;
    QByteArray name;
    qsizetype at = 0;
};
std::optional<NamedLikeTheAdvert> FindAdvertNames(const QByteArray& page, qsizetype blockAt);

// A Content-Security-Policy that `page` sets for itself (a <meta http-equiv> in its head, before the
// body begins and before `blockAt`; each of the policies its content holds apart by commas) under
// which browsers would not show the advert: one that does not allow a source of `needed` (one
// directive a line with its sources, BuiltCode::cspSources) where the block needs it, or, for a
// block that writes the banner with a script (one that needs a script-src), one that requires Trusted Types for
// scripts, which refuse that writing. Judged only where it surely refuses: a directive naming
// hosts or web schemes may allow the page's own files, and is taken to. The directive that refuses
// (the one that stands in for the needed one: a `default-src`, say), the needed line (empty for
// Trusted Types), and where the meta tag begins; none where no policy refuses.
struct RefusingPolicy {
    QByteArray directive;
    QByteArray needed;
    qsizetype at = 0;
};
std::optional<RefusingPolicy> FindRefusingPolicy(const QByteArray& page, qsizetype blockAt,
                                                 const QByteArrayList& needed);
