#pragma once

#include <QRgb>
#include <QString>

// The corner of the page that the banner sits in.
enum class BannerSide { Right = 0, Left = 1 };

// The parts of a font description that the banner uses. `height` is the size in points; `weight`
// is kBold for bold, anything else is drawn regular (0 means "never picked").
struct BannerFont {
    static constexpr int kBold = 700;
    static constexpr int kRegular = 400;

    QString faceName = QStringLiteral("Times New Roman");
    int height = 18;
    int weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    bool operator==(const BannerFont&) const = default;
};

// One text line of the banner. `offset` shifts the line vertically inside the band; 0 is "auto".
struct BannerLine {
    QString text;
    BannerFont font;
    QRgb color = qRgb(0, 0, 0);
    bool enabled = false;
    int offset = 0;

    bool operator==(const BannerLine&) const = default;
};
