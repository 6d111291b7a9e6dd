#pragma once

#include "banner/Banner.h"
#include "output/AdSettings.h"
#include "output/OutputRuns.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QRgb>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// Where a generate run goes: a new page, existing pages, or (taking the advert out again) pages.
enum class OutputMode { Create, Modify, Remove };

// Every setting of an advert: the banner's template and look, the advert's link and texts, and
// where the output goes. A default-constructed Design is the wizard's first start and the command
// line without options; the wizard's pages and the command line take their defaults and ranges
// from here and from the banner's own constants (Banner::kMinSize, BannerFont::kBold), never from
// copies of their own. Saved as a *.vornetad file (DesignFile.h).
struct Design {
    // The ranges the editor, the command line and the design file all hold values to.
    static constexpr int kMinPoints = 1;
    static constexpr int kMaxPoints = 200;
    static constexpr int kMinOffset = -5;
    static constexpr int kMaxOffset = 5;
    // Far from any size the wizard gives a banner; bounds what a design file can ask for.
    static constexpr int kMinCropOffset = -Banner::kMaxSize;
    static constexpr int kMaxCropOffset = 4096;
    // More custom code than this is surely the wrong file.
    static constexpr qint64 kMaxCustomCodeBytes = qint64(1) << 20;
    // Stored instead of pure black, which the banner's GIF keeps for transparency.
    static constexpr QRgb kBlackReplacement = qRgb(10, 10, 10);

    // The template by file name, and its folder when it is not the shipped one (empty). No name:
    // the first template of the catalog.
    QString templateName;
    QString templateFolder;
    // The edge length as the editor's Resize applies it, which centres the crop square on the
    // template. Unset: the first banner of the wizard, Banner::kInitialSize pixels cut from the
    // template's top-left corner, which differs from a Resize to the same size.
    std::optional<int> size;
    // Where the crop square starts across, when it is not where the rule above puts it: a template
    // loaded after a Resize keeps the square of the one before. Placed by Banner::CropAt: centred
    // across, as by the rule above, where it would run past the right edge of a template at least
    // as wide as the square; down as far as across, unless that runs it below a template wider
    // than the square.
    std::optional<int> cropOffset;
    BannerSide side = BannerSide::Right;
    std::array<BannerLine, 3> lines = DefaultLines();

    QString linkUrl = AdSettings().linkUrl;
    QString adTitle = AdSettings().adTitle;
    bool newWindow = true;
    bool customCodeEnabled = false;
    QByteArray customCode;  // bytes as they go into the page
    PageOptions options;

    OutputMode mode = OutputMode::Create;
    QString outputFolder;
    QString fileName = OutputTarget().fileName;
    QStringList pages;

    bool operator==(const Design&) const = default;

    // Line 1 "Line 1" in 18 pt dark blue, on; lines 2 and 3 in 12 and 10 pt green and red, off.
    static std::array<BannerLine, 3> DefaultLines();
    // A picked colour as a line stores it: opaque, and never pure black.
    static QRgb LineColor(QRgb picked);
    // Why `code` cannot be custom code, in words that follow its name: "cannot hold a zero byte",
    // which no page can carry, or "is larger than 1 MiB" (kMaxCustomCodeBytes); empty when it can.
    static QString CustomCodeProblem(QByteArrayView code);
    // A name that can only stand for a file in a given folder: not empty, ".", ".." and without "/".
    static bool IsPlainFileName(const QString& name);
    // Whether the file at `path` is a web page by its name: it ends in .html, .htm, .shtml or .xhtml,
    // in any letter case. Not page.phtml, page.htm.php or page.html.sh, which a web server may run
    // as a program. The pages a folder offers are these, and a design's output may name no others,
    // since any file it names gets the advert's code.
    static bool IsPageName(const QString& path);
    static constexpr QLatin1StringView kPageExtensions[] = {QLatin1StringView("html"), QLatin1StringView("htm"),
                                                            QLatin1StringView("shtml"), QLatin1StringView("xhtml")};
    // How the refusals and questions name them: ".html, .htm, .shtml or .xhtml".
    static QString PageExtensionsText();
    // Whether the advert written to `path` lands in a web page by its name: `path` is one, and so is
    // the file at the end of its chain of links, which is the one written (WriteTarget). A link named
    // like a page can lead to any file, and one that came with a design's site was put there by
    // whoever wrote the design.
    static bool LandsInPage(const QString& path);
    // Whether a design may send the advert to `path` without the user vouching for it: it lands in
    // a page (LandsInPage), or it is a folder, which every run refuses and says so.
    static bool TakenUnasked(const QString& path);

    // The template's full path (the shipped folder for an empty one); empty without a name.
    QString TemplatePath() const;
    // Splits a full path into name and folder; the shipped folder is left out. Empty: no template.
    void SetTemplatePath(const QString& path);

    // The code's values: bannerSize is the edge length the banner has.
    AdSettings Advert() const;
    // Where it writes; its pages to modify count as found on disk (OutputTarget::pagesFound).
    OutputTarget Target() const;
    void SetTarget(const OutputTarget& target);

    // Where the crop square's top-left corner lies on a template of `templateSize`, by the rules
    // above, as the editor's banner puts it there.
    QPoint CropOffsetFor(QSize templateSize) const;
    // Gives `banner` this design's look on `templateImage` (null: a template without pixels) and
    // composes it once, whatever the banner held before.
    void ComposeInto(Banner& banner, const QImage& templateImage) const;
};
