#pragma once

#include <QString>

#include <cstddef>
#include <optional>
#include <string_view>

// What another program reads in a page before any browser does, and where the advert's HTML would
// break it or never be shown: a server's PHP code, a site generator's front matter, a template that
// only fills the blocks of its layout. The page is still HTML to every other part of
// the output.
struct ServerCode {
    enum class Kind {
        None,
        Php,            // the spot lies inside PHP code, up to its "?>" or the end of the text
        Tag,            // the spot lies inside "<% %>" code, up to its "%>" or the end of the text
        PhpOnly,        // the page is PHP code and blanks alone: an include, no page to show
        FrontMatter,    // the spot lies in the front matter at the page's top
        ExtendsLayout,  // a template that extends a layout and has no body of its own
    };
    Kind kind = Kind::None;
    std::size_t at = 0;  // where that code begins

    explicit operator bool() const { return kind != Kind::None; }
};

// The code a server runs in a page, by the page's name, or PHP by how a page of another name begins
// (`text`, past a byte-order mark and blanks: "<?php").
enum class ServerLanguage {
    None,
    Php,   // ".php", ".phtml", ".php5" and the like
    Tags,  // code between "<%" and "%>": ".asp", ".aspx", ".jsp", ".erb", ".ejs" and the like
};
ServerLanguage ServerLanguageOf(const QString& path, std::optional<std::string_view> text = std::nullopt);

// What of the kinds above keeps the advert from `spot` in `text`; `hasBodyEnd` is whether the page
// has a closing body tag, which a template that extends a layout puts inside one of its blocks.
// Server code is looked for only in a page a server runs as such (`language`): any
// other may show "<?php" or "<%" as text, in a text area or a comment, which no server runs there.
ServerCode ServerCodeAt(std::string_view text, std::size_t spot, bool hasBodyEnd, ServerLanguage language);

// Where the template code holding `spot` begins, in a page of any name: an expression "{{ ... }}", a
// tag "{% word ... %}", or a comment ("{# #}", "{{! }}", "{{!-- --}}", "{{/* */}}", "{% # %}", or a
// "{% comment %}" up to its "{% endcomment %}"), which Jinja, Django, Twig, Nunjucks, Liquid,
// Handlebars and Go read before any browser does; npos where the spot lies outside such code. An
// expression or a tag closes on the line it opens, and holds no closing tag of the page before the
// spot; an opener that nothing closes so is the page's text, and so is a "{%" before anything but a
// word (the "{%22" of an address).
std::size_t TemplateCodeAround(std::string_view text, std::size_t spot);

// Where the front matter that site generators read from a page's top ends: YAML between "---" lines
// (or closed by "..."), TOML between "+++" lines; 0 where the page has none. The generator takes it
// out before anything reads the page as HTML.
std::size_t FrontMatterEnd(std::string_view text);
