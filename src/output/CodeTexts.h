#pragma once

#include "files/Result.h"
#include "output/AdSettings.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <array>

// The markers around every block the program puts into a page.
inline constexpr char kBeginMarker[] = "<!--VornetAdBegin-->";
inline constexpr char kEndMarker[] = "<!--VornetAdEnd-->";
// The names the block and the style sheet give the advert's elements: its box's class, its image's
// and its link's, and the name of its image map.
inline constexpr char kBoxClass[] = "quentavornet";
inline constexpr char kImageClass[] = "quentavornet-image";
inline constexpr char kLinkClass[] = "quentavornet-link";
inline constexpr char kMapName[] = "QUENTALinkMap";
// How every block a run has written begins after its begin marker: its script, or with static
// markup its link to the style sheet. RemoveOldBlocks relies on them in files that are no pages.
inline constexpr char kScriptBlockStart[] = "<script type='text/javascript'>";
inline constexpr char kStaticBlockStart[] = "<link rel='stylesheet'";

// The names of the advert's image and style sheet beside the pages that show it: what `generate`
// writes and what the block `code` prints refers to.
inline constexpr char kAdvertImageName[] = "VornetAdMap.gif";
inline constexpr char kAdvertStyleName[] = "VornetAdStyle.css";

// What BuildCode makes for one run's settings and file names. Texts are bytes exactly as written to
// disk.
struct BuiltCode {
    QByteArray codeBlock;
    QByteArrayList earlierCustomCodes;  // what an old block may carry besides the current custom code
    std::function<QByteArrayList(const QString& page)> earlierCustomCodesOf;  // and on one page only
    QByteArray styleSheet;
    // What a Content-Security-Policy without 'unsafe-inline' must allow for `codeBlock` to show:
    // one line per directive, such as "script-src 'sha256-…'", the hash of the inline text the
    // block holds for that directive (static markup holds none), and 'self' where the block loads
    // the style sheet and the image from beside the page. Custom code is not covered: it is the
    // user's own.
    QByteArrayList cspSources;
    // The page a run makes where there is none: the sample page, declaring the encoding its custom
    // code is in. UTF-8, the encoding of everything the program writes, unless the custom code is
    // bytes of another encoding; for that, the ISO-8859-1 of the pages of old.
    QByteArray newPage;
};

// The built-in sample page and style-sheet template: loaded once, then only read, so that one
// loading serves every run, on any thread. Texts are bytes exactly as stored.
struct CodeTexts {
    QByteArray samplePage;
    QByteArray styleTemplate;

    // Both built-in texts. A failure names the missing resource as its subject: the program is
    // built without them, and the programs refuse to start.
    [[nodiscard]] static Result<CodeTexts> LoadTextResources();
    // The code for the given file names (as the block refers to them): `styleSheet`
    // (AdvertStyleSheet); `codeBlock`, between the markers a script that writes an import of the
    // style sheet and AdvertMarkup, or with static markup a link to the style sheet and AdvertMarkup
    // as they are, then the custom code, when enabled, byte for byte; its `cspSources`; `newPage`;
    // and the settings' `earlierCustomCodes`. With hidpi the block refers to the image's twin at
    // twice the size too (At2xName). Never fails: any size is written out, a negative one with its
    // minus sign.
    [[nodiscard]] BuiltCode BuildCode(const QByteArray& styleFileName, const QByteArray& imageFileName,
                                      const AdSettings& settings) const;
};

// The style sheet for these settings: the template with its placeholders filled in (position,
// size), then, for each page option that is on, the rules it needs. With every option off it is
// the filled-in template alone.
QByteArray AdvertStyleSheet(const QByteArray& styleTemplate, const AdSettings& settings);

// The banner's markup, as one line: the box with the image, and the image map over the diagonal
// strip, or with click-through a link cut to the strip instead. Single-quoted attributes only, and
// no style attribute: everything the options need is in the style sheet, which a page whose policy
// allows only its own style sheets still applies. The file name goes in as it is, the title through
// EscapeForAttribute, and the link through QueryInUtf8, then EscapeForAttribute.
QByteArray AdvertMarkup(const QByteArray& imageFileName, const AdSettings& settings);

// The image map's clickable strip over the banner's diagonal as x1,y1 ... x4,y4 in image pixels:
// DiagonalBand::kStripWidth pixels wide along x, between the diagonal and the parallel line on the
// corner's side.
std::array<int, 8> AreaCoords(int bannerSize, BannerSide side);

// `text` as ASCII that stays intact both inside a double-quoted JavaScript string and inside a
// single-quoted HTML attribute, and reads the same in a page of any 8-bit or UTF-8 encoding:
// & < > " ' \ become named or numeric references, and so does every control character and every
// character outside ASCII. Text without such characters comes back unchanged.
QByteArray EscapeForAttribute(const QString& text);

// `link` with every character outside ASCII in its query percent-encoded as UTF-8, where a browser
// would encode them in the encoding of the page the link stands in: in the query of an address of
// the web or of files (http, https, ws, wss, ftp, file, in any case), or of one without a scheme,
// which takes the page's. Every page then leads to the address that a UTF-8 page leads to. The
// rest, and any other link (mailto:), comes back as it is: browsers encode a path and a fragment as
// UTF-8 whatever the page's encoding, and a host by its own rules, and ASCII, "%" included, stays.
QString QueryInUtf8(const QString& link);
