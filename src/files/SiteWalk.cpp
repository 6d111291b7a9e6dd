#include "files/SiteWalk.h"

#include "files/FileNames.h"
#include "files/ReplaceFile.h"
#include "files/SystemErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <array>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The patterns of a list, split at its commas but for those inside a [set], which are members of it.
// A set is read as QRegularExpression::fromWildcard reads it: a ']' right after the '[' (or after
// "[!") is a member, and the next ']' closes it. A '[' never closed is left to fail as a pattern.
QStringList SplitPatternList(const QString& text) {
    QStringList parts;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'[') {
            qsizetype member = i + 1;
            member += member < text.size() && text[member] == u'!' ? 1 : 0;
            member += member < text.size() && text[member] == u']' ? 1 : 0;
            const qsizetype close = text.indexOf(u']', member);
            i = close < 0 ? i : close;
        } else if (text[i] == u',') {
            parts.append(text.mid(from, i - from));
            from = i + 1;
        }
    }
    parts.append(text.mid(from));
    return parts;
}

}  // namespace

PagePatterns PagePatterns::Parse(const QString& text) {
    PagePatterns result;
    for (const QString& given : SplitPatternList(text)) {
        // "*.html, *.htm" is how a list is written; a pattern starting with a blank would match
        // no file anyone has, and its pages would be passed over without a word.
        const QString pattern = given.trimmed();
        if (pattern.isEmpty() || pattern.contains(u'/')) {
            result.error = QStringLiteral("\"%1\" is not a list of name patterns such as \"%2\"")
                               .arg(text, QLatin1String(kDefault));
            return result;
        }
        QRegularExpression expression = QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive);
        if (!expression.isValid()) {
            // Only a [set] can make one: never closed, say, it could match nothing at all.
            result.error = QStringLiteral("\"%1\" is not a name pattern: a [set] in it is not closed, or not "
                                          "valid")
                               .arg(pattern);
            return result;
        }
        result.patterns.append({pattern, std::move(expression)});
    }
    return result;
}

bool PagePatterns::Matches(const QString& name) const {
    return std::any_of(patterns.begin(), patterns.end(), [&name](const Pattern& p) { return p.Matches(name); });
}

namespace {

// Style sheets, scripts and data, this program's designs and drawings in SVG among them; program
// code and settings, keys and certificates, as sites offer them for download (a manual's examples);
// components that a build compiles, which take one script each; translations. Pages that a server
// runs first (.php, .asp, .jsp) are none of these: their HTML is where the advert goes. Nor are .cgi
// and .pl by their names alone: a mirrored site keeps what such a script sent under its name, and
// the page's reading tells the two apart by its text (ReadPage).
const QStringList& CodeAndData() {
    static const QStringList kinds = {
        u"css"_s, u"scss"_s, u"sass"_s, u"less"_s, u"js"_s, u"mjs"_s, u"cjs"_s, u"jsx"_s, u"ts"_s, u"tsx"_s, u"mts"_s,
        u"cts"_s, u"map"_s, u"wasm"_s, u"json"_s, u"jsonc"_s, u"json5"_s, u"jsonld"_s, u"geojson"_s, u"webmanifest"_s,
        u"xml"_s, u"xsl"_s, u"xslt"_s, u"rss"_s, u"atom"_s, u"rdf"_s, u"kml"_s, u"gpx"_s, u"ics"_s, u"csv"_s, u"tsv"_s,
        u"yaml"_s, u"yml"_s, u"toml"_s, u"lock"_s, u"vornetad"_s, u"svg"_s, u"vue"_s, u"svelte"_s, u"ipynb"_s,
        // scripts and program code
        u"py"_s, u"pyw"_s, u"pyi"_s, u"sh"_s, u"bash"_s, u"zsh"_s, u"ksh"_s, u"csh"_s, u"fish"_s, u"ps1"_s, u"psm1"_s,
        u"bat"_s, u"cmd"_s, u"vbs"_s, u"pm"_s, u"pod"_s, u"rb"_s, u"rake"_s, u"lua"_s, u"tcl"_s, u"r"_s, u"jl"_s,
        u"go"_s, u"rs"_s, u"c"_s, u"h"_s, u"cc"_s, u"cpp"_s, u"cxx"_s, u"hh"_s, u"hpp"_s, u"hxx"_s, u"m"_s, u"mm"_s,
        u"java"_s, u"kt"_s, u"kts"_s, u"groovy"_s, u"gradle"_s, u"scala"_s, u"clj"_s, u"swift"_s, u"cs"_s, u"fs"_s,
        u"vb"_s, u"dart"_s, u"ex"_s, u"exs"_s, u"erl"_s, u"hs"_s, u"ml"_s, u"elm"_s, u"nim"_s, u"zig"_s, u"f90"_s,
        u"asm"_s, u"sql"_s, u"awk"_s, u"sed"_s, u"vim"_s, u"el"_s, u"lisp"_s, u"scm"_s, u"coffee"_s, u"pp"_s, u"pas"_s,
        u"dpr"_s, u"lpr"_s, u"diff"_s, u"patch"_s, u"po"_s, u"pot"_s, u"gyp"_s, u"gypi"_s,
        // settings, keys and certificates
        u"ini"_s, u"cfg"_s, u"conf"_s, u"config"_s, u"properties"_s, u"env"_s, u"service"_s, u"socket"_s, u"timer"_s,
        u"desktop"_s, u"plist"_s, u"reg"_s, u"pem"_s, u"crt"_s, u"cer"_s, u"key"_s, u"csr"_s, u"pub"_s, u"asc"_s,
        u"sig"_s};
    return kinds;
}

// The same by a file's whole name: what a site's tools and its host read (a custom domain in CNAME,
// redirects, the server's settings, a build's code).
const QStringList& CodeAndDataNames() {
    static const QStringList names = {u"CNAME"_s,    u"_redirects"_s, u"_headers"_s,   u".htaccess"_s, u"Gemfile"_s,
                                      u"Rakefile"_s, u"Makefile"_s,   u"Dockerfile"_s, u"Procfile"_s,  u"go.mod"_s,
                                      u"go.sum"_s,   u"Pipfile"_s,    u"MANIFEST.in"_s};
    return names;
}

bool HasKind(const QString& name, const QStringList& kinds) {
    const qsizetype slash = name.lastIndexOf(u'/');
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > slash && kinds.contains(name.mid(dot + 1), Qt::CaseInsensitive);
}

bool HasName(const QString& name, const QStringList& names) {
    return names.contains(name.mid(name.lastIndexOf(u'/') + 1), Qt::CaseInsensitive);
}

}  // namespace

// The advert's own image and style sheet are among them, so that a second run with "*" does not take
// them for pages.
bool NeverAPage(const QString& name) {
    static const QStringList others = {
        // plain text and the markups of notes and site generators' sources (robots.txt, ads.txt, a
        // README, subtitles)
        u"txt"_s, u"md"_s, u"markdown"_s, u"mdown"_s, u"mkd"_s, u"mkdn"_s, u"mdwn"_s, u"textile"_s, u"org"_s, u"adoc"_s,
        u"asciidoc"_s, u"rst"_s, u"log"_s, u"srt"_s,
        // images and fonts
        u"gif"_s, u"png"_s, u"apng"_s, u"jpg"_s, u"jpeg"_s, u"webp"_s, u"avif"_s, u"heic"_s, u"bmp"_s, u"tif"_s,
        u"tiff"_s, u"ico"_s, u"woff"_s, u"woff2"_s, u"ttf"_s, u"otf"_s, u"eot"_s,
        // media, documents and archives
        u"mp3"_s, u"mp4"_s, u"m4a"_s, u"mov"_s, u"webm"_s, u"ogg"_s, u"wav"_s, u"flac"_s, u"vtt"_s, u"pdf"_s, u"zip"_s,
        u"gz"_s, u"tgz"_s, u"bz2"_s, u"xz"_s, u"tar"_s, u"7z"_s, u"rar"_s,
        // compiled code, databases and other files of bytes
        u"mo"_s, u"pyc"_s, u"class"_s, u"jar"_s, u"war"_s, u"so"_s, u"dll"_s, u"exe"_s, u"node"_s, u"sqlite"_s,
        u"sqlite3"_s, u"db"_s, u"p12"_s, u"pfx"_s, u"der"_s, u"ttc"_s, u"svgz"_s};
    // The notes that a project keeps by name.
    static const QStringList notes = {u"LICENSE"_s, u"COPYING"_s, u"AUTHORS"_s, u"README"_s, u"CHANGELOG"_s,
                                      u"NEWS"_s,    u"INSTALL"_s, u"CHANGES"_s, u"NOTICE"_s, u"TODO"_s};
    return BrokenByMarkup(name) || HasKind(name, others) || HasName(name, notes);
}

bool BrokenByMarkup(const QString& name) {
    return HasKind(name, CodeAndData()) || HasName(name, CodeAndDataNames());
}

QString GeneratorSourceOf(const QString& root) {
    struct Sign {
        QStringList configurations;
        QStringList layouts;
    };
    // Jekyll, Hugo and Eleventy, each with the folders its layouts or includes live in by default.
    static const Sign signs[] = {
        {{u"_config.yml"_s, u"_config.yaml"_s, u"_config.toml"_s}, {u"_layouts"_s, u"_includes"_s}},
        {{u"hugo.toml"_s, u"hugo.yaml"_s, u"hugo.yml"_s, u"hugo.json"_s, u"config.toml"_s, u"config.yaml"_s},
         {u"layouts"_s, u"themes"_s}},
        {{u"eleventy.config.js"_s, u"eleventy.config.mjs"_s, u"eleventy.config.cjs"_s, u".eleventy.js"_s},
         {u"_includes"_s, u"_layouts"_s}},
    };
    const QDir folder(root);
    for (const Sign& sign : signs) {
        for (const QString& configuration : sign.configurations) {
            if (!QFileInfo(folder.filePath(configuration)).isFile()) {
                continue;
            }
            for (const QString& layouts : sign.layouts) {
                if (QFileInfo(folder.filePath(layouts)).isDir()) {
                    return QStringLiteral("%1 and %2/").arg(configuration, layouts);
                }
            }
        }
    }
    return {};
}

namespace {

// Whether a folder whose name is not valid text holds, at any depth, a file `takes` for a page. The
// walk cannot enter it by a name, and one that holds none (a folder of pictures brought from another
// system) is nothing the run leaves out. `takes` is given the names from the folder's own down to the
// file's, as the patterns see them (`names`: those of the folders above `name`, a path whose last
// part is the folder's, from there). One that cannot be looked into may hold pages; so may one
// nested deeper than any site is, past which none is opened.
template <typename Takes>
bool HoldsPages(int parent, const char* name, QStringList names, const Takes& takes, int depth = 0) {
    const int fd = depth > 256 ? -1 : ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* folder = fd < 0 ? nullptr : ::fdopendir(fd);
    if (folder == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return true;
    }
    const QByteArrayView path(name);
    names.append(QString::fromUtf8(path.sliced(path.lastIndexOf('/') + 1)));
    bool holds = false;
    while (!holds) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (entry == nullptr) {
            holds = errno != 0;
            break;
        }
        if (entry->d_name[0] == '.') {
            continue;
        }
        struct stat node {};
        if (::fstatat(fd, entry->d_name, &node, AT_SYMLINK_NOFOLLOW) != 0) {
            holds = true;
        } else if (S_ISDIR(node.st_mode)) {
            holds = HoldsPages(fd, entry->d_name, names, takes, depth + 1);
        } else if (takes(names + QStringList{QString::fromUtf8(entry->d_name)})) {
            // A link to a folder is not entered; any other node named like a page may be one.
            holds = !S_ISLNK(node.st_mode) || ::fstatat(fd, entry->d_name, &node, 0) != 0 || !S_ISDIR(node.st_mode);
        }
    }
    ::closedir(folder);
    return holds;
}

}  // namespace

SitePages WalkSite(const QString& root, const PagePatterns& patterns, SiteKinds kinds, const PagePatterns& excluded) {
    const auto isPage = [&](const QString& name) {
        return kinds == SiteKinds::AnyMatching || !NeverAPage(name);
    };
    SitePages site{FileResult::Success(root), {}, {}, 0, 0, QList<bool>(excluded.patterns.size(), false)};
    const QString top = root.endsWith(u'/') ? root : root + u'/';
    // --exclude passes over a file by its name and the names of the folders it is in inside the
    // tree, each as the patterns see it (a name that is not valid text with U+FFFD for its bytes).
    const auto passedOver = [&](const QStringList& names) {
        bool over = false;
        for (qsizetype i = 0; i < excluded.patterns.size(); ++i) {
            const PagePatterns::Pattern& pattern = excluded.patterns[i];
            if (std::any_of(names.begin(), names.end(), [&](const QString& name) { return pattern.Matches(name); })) {
                site.excludedBy[i] = over = true;
            }
        }
        return over;
    };
    // A link is passed over where the file it leads to would be: the user who passes over a folder
    // of drafts means the drafts, by whatever name the tree holds them.
    const QString realTop = QFileInfo(root).canonicalFilePath() + u'/';
    const auto landingPassedOver = [&](const QString& landing) {
        if (excluded.patterns.isEmpty()) {
            return false;
        }
        const QString inside =
            landing.startsWith(realTop) ? landing.mid(realTop.size()) : landing.mid(landing.lastIndexOf(u'/') + 1);
        return passedOver(inside.split(u'/', Qt::SkipEmptyParts));
    };
    struct Page {
        QByteArray folder;
        QByteArray name;
        QString path;
    };
    std::vector<Page> found;
    QStringList folders{top};
    for (bool atRoot = true; !folders.isEmpty(); atRoot = false) {
        const QString folder = folders.takeLast();
        const QStringList folderNames = folder.mid(top.size()).split(u'/', Qt::SkipEmptyParts);
        // Without --exclude, as most runs are, no list of names is made for each page.
        const auto excludedName = [&](const QString& name) {
            return !excluded.patterns.isEmpty() && passedOver(folderNames + QStringList{name});
        };
        const FolderListing listing = ListFolder(folder);
        if (!listing.status.Ok() && atRoot) {
            site.status = FileResult::Failure(root, listing.status.error);
            return site;
        }
        if (!listing.status.Ok()) {
            if (!passedOver(folderNames)) {
                site.problems.append(FileResult::Failure(folder, listing.status.error + QStringLiteral("; skipped")));
            }
            continue;
        }
        const QByteArray folderBytes = QFile::encodeName(folder);
        for (const FolderEntry& kind : listing.unrepresentable) {
            const QByteArray& raw = kind.raw;
            const QString name = QString::fromUtf8(raw);
            if (raw.startsWith('.')) {
                continue;
            }
            if (kind.isFile && patterns.Matches(name) && !isPage(name)) {
                ++site.passedOver;
                continue;
            }
            // Inside, a page passed over by --exclude is no page left out.
            const auto takes = [&](const QStringList& inside) {
                const QString& file = inside.constLast();
                return patterns.Matches(file) && isPage(file) && !passedOver(folderNames + inside);
            };
            const bool reported =
                !excludedName(name) &&
                (kind.isFolder ? HoldsPages(AT_FDCWD, QByteArray(folderBytes + raw).constData(), {}, takes)
                               : (kind.isFile || kind.lookError != 0) && patterns.Matches(name));
            if (reported) {
                site.problems.append(FileResult::Failure(
                    folder + PrintableName(raw),
                    NameNotTextReason(QLatin1String(kind.isFolder ? "folder" : "page")) + QStringLiteral("; skipped")));
            }
        }
        for (const FolderEntry& entry : listing.entries) {
            if (entry.name.startsWith(u'.')) {
                continue;
            }
            if (entry.isFolder) {
                folders.append(folder + entry.name + u'/');
            } else if (entry.isFile && patterns.Matches(entry.name) && !isPage(entry.name)) {
                ++site.passedOver;
            } else if (entry.isFile && patterns.Matches(entry.name)) {
                // A link named like a page leads anywhere; one that came with a downloaded site could
                // have the advert written into a file of the user's such as ~/.ssh/authorized_keys.
                const QString path = folder + entry.name;
                if (excludedName(entry.name)) {
                    ++site.excludedPages;
                    continue;
                }
                if (entry.isLink) {
                    const QString landing = WriteTarget(path);
                    const QString landingName = landing.mid(landing.lastIndexOf(u'/') + 1);
                    const QString why = !patterns.Matches(landingName)
                                            ? QStringLiteral("whose name the page patterns do not match")
                                        : !isPage(landingName) ? QStringLiteral("which is never a page by its kind")
                                                               : QString();
                    if (!why.isEmpty()) {
                        site.problems.append(FileResult::Failure(
                            path,
                            QStringLiteral("is a link to \"%1\", %2; skipped").arg(PrintableWriteTarget(path), why)));
                        continue;
                    }
                    if (landingPassedOver(landing)) {
                        ++site.excludedPages;
                        continue;
                    }
                }
                found.push_back({folderBytes, QFile::encodeName(entry.name), path});
            } else if (entry.lookError != 0 && patterns.Matches(entry.name) && !excludedName(entry.name)) {
                site.problems.append(FileResult::Failure(folder + entry.name,
                                                         StatFailure(entry.lookError) + QStringLiteral("; skipped")));
            }
        }
    }
    std::sort(found.begin(), found.end(), [](const Page& a, const Page& b) {
        return a.folder != b.folder ? a.folder < b.folder : a.name < b.name;
    });
    for (Page& page : found) {
        site.pages.append(std::move(page.path));
    }
    // Reported in the order of their paths too, not in the order the file system lists them.
    std::sort(site.problems.begin(), site.problems.end(), [](const FileResult& a, const FileResult& b) {
        return QFile::encodeName(a.path) < QFile::encodeName(b.path);
    });
    return site;
}

namespace {

// Whether the file system of `folder` may fold letter case: FAT, exFAT, NTFS and Windows shares
// do, and a FUSE one (a USB stick's driver, say) may.
bool MayFoldCase(const QString& folder) {
    struct statfs info {};
    if (::statfs(QFile::encodeName(folder).constData(), &info) != 0) {
        return false;
    }
    constexpr std::array<decltype(info.f_type), 7> kFolding = {
        0x4d44,      // FAT
        0x2011BAB0,  // exFAT
        0x5346544e,  // NTFS
        0x7366746e,  // NTFS, the kernel's newer driver
        0x65735546,  // FUSE
        0xFE534D42,  // SMB2
        0xFF534D42,  // CIFS
    };
    return std::find(kFolding.begin(), kFolding.end(), info.f_type) != kFolding.end();
}

// The names a folder holds, where its file system may fold case: as they are, and by their
// letters in one case (an empty name where two differ in case alone).
struct Listing {
    QSet<QString> names;
    QHash<QString, QString> byFoldedCase;
};

// `page` under the name its folder holds it by, where that differs in letter case alone from the
// name given: a file system that folds case finds the page under either, and a replacement renamed
// onto the given one would rename the page itself, whose links on a server that does not fold case
// would then lead nowhere. `listings` keeps each folder's names, read once.
QString StoredSpelling(const QString& page, const QFileInfo& info, QHash<QString, Listing>& listings) {
    const QString folder = info.absolutePath();
    auto listing = listings.find(folder);
    if (listing == listings.end()) {
        listing = listings.insert(folder, {});
        if (MayFoldCase(folder)) {
            for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System)) {
                listing->names.insert(name);
                const QString folded = name.toCaseFolded();
                listing->byFoldedCase.insert(folded, listing->byFoldedCase.contains(folded) ? QString() : name);
            }
        }
    }
    const QString name = info.fileName();
    if (listing->names.isEmpty() || listing->names.contains(name)) {
        return page;
    }
    const QString stored = listing->byFoldedCase.value(name.toCaseFolded());
    return stored.isEmpty() ? page : page.left(page.size() - name.size()) + stored;
}

}  // namespace

PagesOnce EachPageOnce(const QStringList& pages) {
    QHash<QString, qsizetype> taken;      // a file's key: its names' place in `names`
    std::vector<QStringList> names;       // each file's names, the one it is run by first
    QHash<QString, QString> realFolders;  // a folder's many pages look it up once
    QHash<QString, Listing> listings;
    for (const QString& given : pages) {
        const QFileInfo givenInfo(given);
        const QString page =
            givenInfo.exists() && !given.endsWith(u'/') ? StoredSpelling(given, givenInfo, listings) : given;
        const QFileInfo info(page);
        const QString shownFrom = info.absolutePath();
        if (!realFolders.contains(shownFrom)) {
            realFolders.insert(shownFrom, QString::fromLatin1(RealPathBytes(shownFrom)));
        }
        // By their bytes: two folders whose names differ only where they are not valid text are two.
        // A page that is no link is in its folder's real path, looked up once for all its pages;
        // not where its path steps back out of a folder, which may be a link leading elsewhere
        // than the folder written before it.
        const bool stepsBack = page.split(u'/').contains(u".."_qs);
        const QString& realFolder = realFolders[shownFrom];
        const QString name = info.fileName();
        const std::optional<QByteArray> nameBytes = EncodedName(name);
        const QString file =
            !realFolder.isEmpty() && nameBytes && !name.isEmpty() && name != u"." && name != u".." && !stepsBack &&
                    !given.endsWith(u'/') && info.exists() && !info.isSymLink()
                ? realFolder + (realFolder.endsWith(u'/') ? u"" : u"/") + QString::fromLatin1(*nameBytes)
                : QString::fromLatin1(RealPathBytes(page));
        // A name that ends in a slash names a folder, never the file without it, which may yet be
        // made.
        const QString key = file.isEmpty()
                                ? QDir::cleanPath(info.absoluteFilePath()) + (given.endsWith(u'/') ? u"/" : u"")
                                : QString(realFolders.value(shownFrom) + u'\n' + file);
        const auto at = taken.constFind(key);
        if (at == taken.constEnd()) {
            taken.insert(key, qsizetype(names.size()));
            names.push_back({page});
        } else if (QStringList& same = names[size_t(*at)]; QFileInfo(same.first()).isSymLink() && !info.isSymLink()) {
            same.prepend(page);
        } else {
            same.append(page);
        }
    }
    PagesOnce once;
    for (const QStringList& same : names) {
        once.pages.append(same.first());
        for (const QString& other : same.mid(1)) {
            if (other != same.first()) {
                once.leftOut.append({other, same.first()});
            }
        }
    }
    return once;
}
