#pragma once

#include "files/FileResult.h"

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <utility>

// Which files of a site are pages, by name: comma-separated patterns (blanks around each ignored)
// in which '*' stands for any run of characters, '?' for one character and [abc] for one of those,
// in any letter case. A comma inside a [set] belongs to the set, so "[,]" names a comma.
struct [[nodiscard]] PagePatterns {
    struct Pattern {
        QString text;  // as given, without the blanks around it
        QRegularExpression expression;

        bool Matches(const QString& name) const { return expression.match(name).hasMatch(); }
    };
    QList<Pattern> patterns;
    QString error;  // why the text could not be used; empty when it could

    static constexpr char kDefault[] = "*.html,*.htm";
    // A removal's: every name the wizard takes for a page, which runs before may have given the
    // advert; a tree's page left holding it, without a word, would keep showing it.
    static constexpr char kRemovalDefault[] = "*.html,*.htm,*.shtml,*.xhtml";

    // The patterns of `text`; an error for an empty pattern, or one holding a '/' (they match names,
    // not paths).
    static PagePatterns Parse(const QString& text);
    bool Matches(const QString& name) const;
};

// The pages of a folder tree: the regular files (or links to them) whose names match, taken folder
// by folder in the byte order of the folder's path, and by name in byte order within a folder, so
// that each folder's pages come together. Style sheets, scripts and program code, settings, data,
// images, fonts, media and archives are never pages by their names, whatever the patterns say
// (`kinds`); a removal takes them too, where an earlier run put the advert into them.
//
// Hidden folders and files (names starting with '.') are passed over, and so is every link to a
// folder: the walk enters only folders that are really inside the tree, so it cannot loop. Pipes,
// sockets and devices are not pages and are never opened. A page's name, or the name of a folder
// holding pages, that is not valid UTF-8 text is reported and skipped, never replaced by another
// name; so is a folder inside the tree that cannot be listed, and a link named like a page that leads
// to a file whose name is not a page's. `root` itself may be a link.
//
// `excluded` passes over the pages (and what would be reported) whose names, or whose folders' names
// inside the tree, it matches; a link, too, where the file it leads to is passed over so.
struct [[nodiscard]] SitePages {
    FileResult status;            // failed when `root` cannot be listed; then nothing else is set
    QStringList pages;            // `root` joined with each page's path inside the tree
    QList<FileResult> problems;   // what was skipped against the user's likely wish, with why
    qsizetype passedOver = 0;     // files the patterns match that are never pages by their kind
    qsizetype excludedPages = 0;  // pages `excluded` passed over
    QList<bool> excludedBy;       // for each of `excluded`'s patterns, whether it passed over anything
};
enum class SiteKinds { Pages, AnyMatching };
SitePages WalkSite(const QString& root, const PagePatterns& patterns, SiteKinds kinds = SiteKinds::Pages,
                   const PagePatterns& excluded = {});

// Whether a file of that name is one that no web server sends as a page, whatever the patterns say
// ("*" takes every file): the advert's block would break a style sheet, a script, data, an image or
// a font.
bool NeverAPage(const QString& name);

// Whether a file of that name is a style sheet, a script, program code or data, which the advert's
// block would break even where the user names it as a page. A note takes it as text, a picture is
// no text, and a site generator's Markdown page takes HTML.
bool BrokenByMarkup(const QString& name);

// What shows the folder `root` to be the source of a site that a generator builds into another
// folder, where layouts and includes wrap each page (its configuration beside a folder of layouts,
// as "_config.yml and _layouts/"); empty where nothing does. Given the advert, such a tree's pages
// would each show it as often as their layouts and includes hold it, and the built pages would not
// find its image beside them.
QString GeneratorSourceOf(const QString& root);

// What the files passed over for their kind are, for a message.
inline constexpr char kNeverPages[] =
    "style sheets, scripts and program code, settings, data, plain text, images, fonts, media and archives are "
    "never pages";

// `pages` with each page once: a page is known by the file it is and the folder it is shown from
// ("a.html", "./a.html" and "sub/../a.html" are one; so are two links in a folder to one file), since
// each of its folders needs the image and the style sheet. A link from another folder is another
// page. A page that does not exist yet is known by its path, made whole. Where the file system folds
// letter case, a page given in another case than its folder holds it by comes back under that name.
//
// A page comes where its file is first named, by the name the file has itself where it was given
// one, else by the first name given: a run refuses some names (an XHTML page's, another user's
// link, for the superuser) that another name of the same file would pass. `leftOut` pairs each other
// name with the page kept for it, in the order given, so that a run can name them too.
struct [[nodiscard]] PagesOnce {
    QStringList pages;
    QList<std::pair<QString, QString>> leftOut;
};
PagesOnce EachPageOnce(const QStringList& pages);
