#include "output/CodeTexts.h"

#include "banner/TemplateImage.h"
#include "files/FileNames.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QPoint>

namespace {

// A built-in text exactly as stored.
Result<QByteArray> ReadResource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Result<QByteArray>::Failure(path, QStringLiteral("built-in text missing: ") + file.errorString());
    }
    return Result<QByteArray>::Success(file.readAll(), path);
}

// Whether a browser encodes the query of `link` in the page's own encoding: that of an address
// with a scheme of the web or of files, and that of one without a scheme, which takes the page's.
// The scheme is read as the browser reads it: after leading blanks and control characters, with
// tabs and line breaks left out.
bool QueryTakesPageEncoding(QStringView link) {
    qsizetype i = 0;
    while (i < link.size() && link[i] <= u' ') {
        ++i;
    }
    QByteArray scheme;
    for (; i < link.size(); ++i) {
        const char16_t c = link[i].unicode();
        if (c == u'\t' || c == u'\n' || c == u'\r') {
            continue;
        }
        if (c == u':' && !scheme.isEmpty()) {
            break;
        }
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        const bool later = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!letter && (scheme.isEmpty() || !later)) {
            return true;
        }
        scheme += char(c);
    }
    return i == link.size() || QByteArrayList{"http", "https", "ws", "wss", "ftp", "file"}.contains(scheme.toLower());
}

}  // namespace

Result<CodeTexts> CodeTexts::LoadTextResources() {
    Result<QByteArray> sample = ReadResource(QStringLiteral(":/text/SamplePage.html"));
    if (!sample.Ok()) {
        return Result<CodeTexts>::Failure(sample.subject, sample.error);
    }
    Result<QByteArray> style = ReadResource(QStringLiteral(":/text/VornetAdStyle.template.css"));
    if (!style.Ok()) {
        return Result<CodeTexts>::Failure(style.subject, style.error);
    }
    return Result<CodeTexts>::Success({std::move(sample.value), std::move(style.value)}, style.subject);
}

std::array<int, 8> AreaCoords(int w, BannerSide side) {
    constexpr int s = DiagonalBand::kStripWidth;
    if (side == BannerSide::Left) {
        return {w, 0, 0, w, 0, w - s, w - s, 0};
    }
    return {0, 0, w, w, w, w - s, s, 0};
}

QByteArray EscapeForAttribute(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        switch (c) {
        case U'&':
            out += "&amp;";
            break;
        case U'<':
            out += "&lt;";
            break;
        case U'>':
            out += "&gt;";
            break;
        case U'"':
            out += "&quot;";
            break;
        case U'\'':
            out += "&#39;";
            break;
        case U'\\':
            out += "&#92;";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                out += "&#" + QByteArray::number(uint(c)) + ';';
            } else {
                out += char(c);
            }
        }
    }
    return out;
}

QString QueryInUtf8(const QString& link) {
    const qsizetype query = link.indexOf(u'?');
    const qsizetype fragment = link.indexOf(u'#');
    if (query < 0 || (fragment >= 0 && fragment < query) || !QueryTakesPageEncoding(link)) {
        return link;
    }
    const qsizetype end = fragment < 0 ? link.size() : fragment;
    QString out = link.first(query);
    for (const char32_t c : QStringView(link).sliced(query, end - query).toUcs4()) {
        if (c < 0x80) {
            out += QChar(c);
        } else {
            // Not through QString::fromUcs4, which drops a U+FEFF as a byte-order mark.
            out += QString::fromLatin1(QStringView(QChar::fromUcs4(c)).toUtf8().toPercentEncoding());
        }
    }
    return out + link.sliced(end);
}

namespace {

QByteArray Number(int value) {
    return QByteArray::number(value);
}

// The source expression that allows one inline script or style by its text. The text is ASCII, so
// the browser hashes these very bytes whatever the page's encoding.
QByteArray HashSource(const QByteArray& text) {
    return "'sha256-" + QCryptographicHash::hash(text, QCryptographicHash::Sha256).toBase64() + "'";
}

// The square of side w cut to `band` of its diagonal, as the corners of a polygon in order, each
// once: with the image map's strip, its very polygon (AreaCoords).
QList<QPoint> BandPolygon(int w, BannerSide side, DiagonalBand band) {
    // On the right; the left is its mirror image.
    const QPoint corners[] = {{0, -band.lo}, {w + band.lo, w}, {w, w}, {w, w - band.hi}, {band.hi, 0}, {0, 0}};
    QList<QPoint> polygon;
    for (QPoint p : corners) {
        if (side == BannerSide::Left) {
            p.setX(w - p.x());
        }
        if (polygon.isEmpty() || polygon.constLast() != p) {
            polygon.append(p);
        }
    }
    if (polygon.size() > 1 && polygon.constFirst() == polygon.constLast()) {
        polygon.removeLast();
    }
    return polygon;
}

// The rules that only the drawn band of the diagonal takes clicks by: the box and its image let
// every click through, and a link over the box, cut to the band, takes them back there.
QByteArray ClickThroughRules(int w, BannerSide side, DiagonalBand band) {
    QByteArray polygon;
    for (const QPoint& p : BandPolygon(w, side, band)) {
        polygon += (polygon.isEmpty() ? "" : ",") + Number(p.x()) + "px " + Number(p.y()) + "px";
    }
    return "\r\ndiv.quentavornet,img.quentavornet-image{\r\npointer-events:none;\r\n}"
           // Declared in full, so that a page's own rules for links, or for every element (a width
           // of at most its box's, which is narrower than the banner in a narrow window), neither
           // move, cut nor colour it; what would cover the banner's text, such as a page's hover
           // colour for every link, or draw on it, such as a page's mark after links that open a new
           // window, holds against rules that name links more closely.
           "\r\na.quentavornet-link{\r\nposition:absolute;\r\nleft:0px;\r\ntop:0px;\r\ndisplay:block;\r\nheight:" +
           Number(w) + "px;\r\nwidth:" + Number(w) +
           "px;\r\nmax-width:none;\r\nmax-height:none;\r\nmin-width:0;\r\nmin-height:0;\r\nmargin:0;\r\npadding:0;"
           "\r\nborder:none!important;\r\nbackground:transparent!important;\r\n"
           "box-shadow:none!important;\r\nclip-path:polygon(" +
           polygon +
           ");\r\npointer-events:auto;\r\n}\r\na.quentavornet-link::before,a.quentavornet-link::after{\r\ncontent:"
           "none!important;\r\n}"
           // The clip-path cuts away the browser's focus ring, so keyboard focus shows as stripes over
           // the band instead, light and dark to show on a banner of any colour, and kept in forced
           // colours, which would drop them.
           "\r\na.quentavornet-link:focus-visible{\r\nbackground:repeating-linear-gradient(45deg,rgba(255,255,255,.5) "
           "0 4px,rgba(0,0,0,.5) 4px 8px)!important;\r\nforced-color-adjust:none!important;\r\n}";
}

}  // namespace

QByteArray AdvertStyleSheet(const QByteArray& styleTemplate, const AdSettings& settings) {
    const bool left = settings.side == BannerSide::Left;
    const QByteArray size = Number(settings.bannerSize);
    const PageOptions& options = settings.options;

    QByteArray css = styleTemplate;
    css.replace("<!--LEFT-->", left ? "0" : "100");
    css.replace("<!--SIZE-->", size);
    css.replace("<!--LEFTSIZE-->", left ? QByteArray("0") : size);
    // The box's own rule changes in this one declaration; the template has no other position.
    if (options.fixed) {
        css.replace("position:absolute;", "position:fixed;");
    }
    // A page's own rules for every image (a frame, a grey placeholder behind it, a fade-in that its
    // script ends only for its own images, a width in per cent, display:none over a box that would
    // still take clicks) would change or hide the banner; these hold against them, and against
    // styles its scripts set. Its visibility is its box's, which a page may hide on purpose.
    css +=
        "\r\ndiv.quentavornet img{\r\ndisplay:block!important;\r\nposition:static!important;\r\nfloat:none!important;"
        "\r\nwidth:" +
        size + "px!important;\r\nheight:" + size +
        "px!important;\r\nmax-width:none!important;\r\nmax-height:none!important;\r\nmin-width:0!important;"
        "\r\nmin-height:0!important;\r\nmargin:0!important;\r\npadding:0!important;\r\nborder:none!important;"
        "\r\nborder-radius:0!important;\r\nbox-shadow:none!important;\r\nbackground:transparent!important;"
        "\r\nopacity:1!important;\r\nvisibility:inherit!important;\r\ncontent-visibility:visible!important;"
        "\r\ncontent:normal!important;\r\nfilter:none!important;\r\nclip-path:none!important;"
        "\r\nmask:none!important;\r\ntransform:none!important;\r\ntranslate:none!important;"
        "\r\nrotate:none!important;\r\nscale:none!important;\r\nzoom:1!important;\r\n}";
    if (!options.staticMarkup) {
        // The script writes the image map after the box, where a page that lays out its body as a
        // flexible row or a grid would give it a place of its own, moving the page's own.
        css += "\r\ndiv.quentavornet+map{\r\nposition:absolute!important;\r\n}";
    }
    if (options.clickThrough) {
        css += ClickThroughRules(settings.bannerSize, settings.side, settings.clickBand);
    }
    if (options.noPrint) {
        // The link lies inside the box, so it goes with it.
        css += "\r\n@media print{\r\ndiv.quentavornet{\r\ndisplay:none;\r\n}\r\n}";
    } else if (options.fixed) {
        // Kept in the window's corner on paper, it would be printed over the text of every sheet.
        css += "\r\n@media print{\r\ndiv.quentavornet{\r\nposition:absolute;\r\n}\r\n}";
    }
    if (options.clickThrough && !options.noPrint) {
        // A PDF made from the page would link the link's whole square, as its clip-path does not cut
        // the link a PDF holds, over the page's own links under the transparent half. Paper takes no
        // clicks, and a banner with an image map is printed without its link too.
        css += "\r\n@media print{\r\na.quentavornet-link{\r\ndisplay:none;\r\n}\r\n}";
    }
    return css;
}

QByteArray AdvertMarkup(const QByteArray& imageFileName, const AdSettings& settings) {
    const QByteArray size = Number(settings.bannerSize);
    const QByteArray title = EscapeForAttribute(settings.adTitle);
    const QByteArray link = EscapeForAttribute(QueryInUtf8(settings.linkUrl));
    const QByteArray target = settings.newWindow ? "_blank" : "_self";
    const PageOptions& options = settings.options;

    QByteArray image = "<div class='quentavornet'><img src='" + imageFileName + "'";
    if (options.hidpi) {
        image += " srcset='" + imageFileName + " 1x, " + At2xName(QString::fromUtf8(imageFileName)).toUtf8() + " 2x'";
    }
    if (options.clickThrough) {
        image += " class='quentavornet-image'";
    }
    image += " width='" + size + "' height='" + size + "' border='0'";

    if (options.clickThrough) {
        // Nothing but the strip may take a click, so the image has no map; the link is empty and
        // named for screen readers by the title.
        return image + "><a class='quentavornet-link' href='" + link + "' target='" + target + "' title='" + title +
               "' aria-label='" + title + "'></a></div>";
    }
    QByteArray coords;
    for (const int value : AreaCoords(settings.bannerSize, settings.side)) {
        coords += (coords.isEmpty() ? "" : ",") + Number(value);
    }
    // The script writes no blanks between the area's attributes, as pages have long carried it;
    // static markup is new, and a page's validator reads it, so it has them.
    const QByteArray next = options.staticMarkup ? "' " : "'";
    const QByteArray map = "<map name='QUENTALinkMap'><area shape='poly' coords='" + coords + next + "href='" + link +
                           next + "alt='" + title + next + "title='" + title + next + "target='" + target + "'></map>";
    // Static markup keeps the map inside the banner's box: after it, in a page whose body lays out
    // its children as a grid or a flexible row, the map would take a place of its own and move the
    // page's own.
    return options.staticMarkup ? QByteArray(image + " usemap='#QUENTALinkMap'>" + map + "</div>")
                                : QByteArray(image + " usemap='#QUENTALinkMap'></div>" + map);
}

BuiltCode CodeTexts::BuildCode(const QByteArray& styleFileName, const QByteArray& imageFileName,
                               const AdSettings& settings) const {
    BuiltCode code;
    code.styleSheet = AdvertStyleSheet(styleTemplate, settings);
    code.earlierCustomCodes = settings.earlierCustomCodes;
    code.earlierCustomCodesOf = settings.earlierCustomCodesOf;
    const QByteArray markup = AdvertMarkup(imageFileName, settings);
    // One line, whatever the options: the removal of an old block relies only on the markers.
    code.codeBlock = kBeginMarker;
    // The style sheet and the image lie beside the page, on its site: a policy that names a style
    // source or an image source, but not the site itself ('self'), refuses them, and a style-src
    // added only for the hash would end the default-src 'self' that allowed them.
    if (settings.options.staticMarkup) {
        code.codeBlock += kStaticBlockStart + QByteArray(" href='") + styleFileName + "'>" + markup;
        code.cspSources = {"style-src 'self'", "img-src 'self'"};
    } else {
        const QByteArray style = "<!-- @import url(" + styleFileName + "); -->";
        const QByteArray script = "document.write(\"<style>" + style + "</style>" + markup + "\");";
        code.codeBlock += kScriptBlockStart + script + "</script>";
        // The style element the script writes is inline too, and without it the banner is not
        // placed in its corner.
        code.cspSources = {"script-src " + HashSource(script), "style-src " + HashSource(style) + " 'self'",
                           "img-src 'self'"};
    }
    code.codeBlock += kEndMarker;
    code.newPage = samplePage;
    if (settings.customCodeEnabled) {
        code.codeBlock += settings.customCode;
        if (!Utf8Text(settings.customCode)) {
            code.newPage.replace("charset=utf-8", "charset=iso-8859-1");
        }
    }
    return code;
}
