#include "CodeTexts.h"

#include <QFile>

namespace {

// A built-in text exactly as stored, or nothing when the resource is missing.
bool ReadResource(const QString& path, QByteArray& out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    out = file.readAll();
    return true;
}

}  // namespace

bool CodeTexts::LoadTextResources() {
    if (!ReadResource(QStringLiteral(":/text/SamplePage.html"), samplePage)) {
        return false;
    }
    return ReadResource(QStringLiteral(":/text/VornetAdStyle.template.css"), styleTemplate);
}

std::array<int, 8> AreaCoords(int w, BannerSide side) {
    if (side == BannerSide::Left) {
        return {w, 0, 0, w, 0, w - 45, w - 45, 0};
    }
    return {0, 0, w, w, w, w - 45, 45, 0};
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

void CodeTexts::BuildCode(const QByteArray& styleFileName, const QByteArray& imageFileName,
                          const AdSettings& settings) {
    const bool left = settings.side == BannerSide::Left;
    const QByteArray size = QByteArray::number(settings.bannerSize);

    styleSheet = styleTemplate;
    styleSheet.replace("<!--LEFT-->", left ? "0" : "100");
    styleSheet.replace("<!--SIZE-->", size);
    styleSheet.replace("<!--LEFTSIZE-->", left ? QByteArray("0") : size);

    QByteArray coords;
    for (const int value : AreaCoords(settings.bannerSize, settings.side)) {
        if (!coords.isEmpty()) {
            coords += ',';
        }
        coords += QByteArray::number(value);
    }
    const QByteArray title = EscapeForAttribute(settings.adTitle);

    // One line, no blanks between the area's attributes: pages already carry blocks in exactly this
    // form, and the removal of an old block relies only on the markers.
    codeBlock = kBeginMarker;
    codeBlock += "<script type='text/javascript'>document.write(\"<style><!-- @import url(" + styleFileName +
                 "); --></style><div class='quentavornet'><img src='" + imageFileName + "' width='" + size +
                 "' height='" + size +
                 "' border='0' usemap='#QUENTALinkMap'></div><map name='QUENTALinkMap'><area shape='poly' coords='" +
                 coords + "'href='" + EscapeForAttribute(settings.linkUrl) + "'alt='" + title + "'title='" + title +
                 "'target='" + (settings.newWindow ? "_blank" : "_self") + "'></map>\");</script>";
    codeBlock += kEndMarker;
    if (settings.customCodeEnabled) {
        codeBlock += settings.customCode;
    }
}
