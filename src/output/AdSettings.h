#pragma once

#include "Banner.h"

#include <QByteArray>
#include <QString>

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
};
