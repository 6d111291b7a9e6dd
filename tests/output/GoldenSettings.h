#pragma once

#include "TestFiles.h"
#include "output/AdSettings.h"

#include <map>

// Sets one "key=value" of a golden case's settings, the value running to the line's end. Custom
// code is percent-encoded, and so is "earlier-custom", the custom code of the last run; the page options are
// "click-through", "hidpi", "fixed", "no-print" and "static", each "=1" when on. An unknown key stops the test.
inline void ApplySetting(AdSettings& s, const QByteArray& line) {
    const QByteArray key = line.left(line.indexOf('='));
    const QByteArray value = line.mid(key.size() + 1);
    const std::map<QByteArray, bool*> options = {{"click-through", &s.options.clickThrough},
                                                 {"hidpi", &s.options.hidpi},
                                                 {"fixed", &s.options.fixed},
                                                 {"no-print", &s.options.noPrint},
                                                 {"static", &s.options.staticMarkup}};
    if (key == "side") {
        s.side = value == "left" ? BannerSide::Left : BannerSide::Right;
    } else if (key == "size") {
        s.bannerSize = value.toInt();
    } else if (key == "window") {
        s.newWindow = value != "same";
    } else if (key == "link" || key == "title") {
        (key == "link" ? s.linkUrl : s.adTitle) = QString::fromUtf8(value);
    } else if (key == "custom" || key == "custom-disabled") {
        s.customCodeEnabled = key == "custom";
        s.customCode = QByteArray::fromPercentEncoding(value);
    } else if (key == "earlier-custom") {
        s.earlierCustomCodes.append(QByteArray::fromPercentEncoding(value));
    } else if (options.count(key)) {
        *options.at(key) = value == "1";
    } else {
        qFatal("unknown setting %s", line.constData());
    }
}

// A golden case's settings.txt: one setting a line over the defaults below.
inline AdSettings ReadSettings(const QString& path) {
    AdSettings s;
    s.linkUrl = QStringLiteral("http://www.example.com/");
    s.adTitle = QStringLiteral("Corner offer");
    for (const QByteArray& line : ReadAll(path).split('\n')) {
        if (line.contains('=')) {
            ApplySetting(s, line);
        }
    }
    return s;
}
