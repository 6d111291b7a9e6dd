#pragma once

#include "banner/Banner.h"
#include "banner/DiagonalBand.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <cstddef>
#include <functional>
#include <iterator>

// What the block does on a page of today, each opt-in: with all of them off the block and the style
// sheet are the classic ones byte for byte, which pages written long ago carry.
struct PageOptions {
    // Only the diagonal strip takes clicks; the rest of the square lets them reach the page below.
    bool clickThrough = false;
    // A second image at twice the size, for screens of two or more device pixels per pixel.
    bool hidpi = false;
    // The banner stays in the viewport's corner while the page scrolls.
    bool fixed = false;
    // The banner is left out when the page is printed.
    bool noPrint = false;
    // The block holds the markup itself, with the style sheet linked, instead of a script that
    // writes it: a page whose Content-Security-Policy refuses inline scripts and styles shows it.
    bool staticMarkup = false;

    bool operator==(const PageOptions&) const = default;
};

// Each page option's names, in the order the wizard's boxes and the help list them: the design
// file's field (also the wizard's box), and the command-line options that turn it on and off.
struct PageOptionNames {
    const char* key;
    const char* onFlag;
    const char* offFlag;
    bool PageOptions::*member;
};
inline constexpr PageOptionNames kPageOptions[] = {
    {"clickThrough", "--click-through", "--no-click-through", &PageOptions::clickThrough},
    {"hidpi", "--hidpi", "--no-hidpi", &PageOptions::hidpi},
    {"fixed", "--fixed", "--no-fixed", &PageOptions::fixed},
    {"noPrint", "--no-print", "--print", &PageOptions::noPrint},
    {"staticMarkup", "--static", "--no-static", &PageOptions::staticMarkup},
};

// A front end's own words for a page option (a box's label, an option's help), named by the option,
// so that a list of them cannot drift from kPageOptions: InPageOptionOrder checks it at compile time.
struct PageOptionText {
    bool PageOptions::*member;
    const char* text;
};
template <std::size_t N>
constexpr bool InPageOptionOrder(const PageOptionText (&texts)[N]) {
    if (N != std::size(kPageOptions)) {
        return false;
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (texts[i].member != kPageOptions[i].member) {
            return false;
        }
    }
    return true;
}

// The advert's values that the code block and the style sheet need; gathered from the wizard's
// pages (or the CLI's options) right before every run.
struct AdSettings {
    int bannerSize = Banner::kInitialSize;
    BannerSide side = BannerSide::Right;
    QString linkUrl = QStringLiteral("link URL here");
    QString adTitle = QStringLiteral("ad title here");
    bool newWindow = true;
    bool customCodeEnabled = false;
    QByteArray customCode;  // bytes as they go into the page; never holds a zero byte
    // The custom code of runs with earlier settings (the wizard's runs), which an old block may
    // still carry: taken out with the block, so that changed custom code replaces it and is not
    // left behind. Tried in order after the current one; empty ones are never taken out.
    QByteArrayList earlierCustomCodes;
    // More of them for one page only (its path as the run is given it), after those: the custom code
    // of runs that reached that page and not every page of this one. After a block elsewhere, the
    // same HTML is the page's own.
    std::function<QByteArrayList(const QString& page)> earlierCustomCodesOf;
    PageOptions options;
    // The band of the diagonal that the click-through link covers: where the banner is drawn (see
    // WithDrawnBand), and never less than the image map's strip, which the default is.
    DiagonalBand clickBand;
};
