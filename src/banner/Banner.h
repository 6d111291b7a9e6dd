#pragma once

#include "BannerLine.h"

#include <QImage>
#include <QString>

#include <array>

class QPainter;

// The banner's model: the template, three text lines, the edge length, the corner, and the
// composed square image. Every setter recomposes; after writing `lines` directly call Compose().
// No widgets: the CLI and the tests compose without a window.
class Banner final {
public:
    static constexpr int kMinSize = 50;
    static constexpr int kMaxSize = 500;

    Banner();

    // Loads the template image (transparent square when the file cannot be decoded) and
    // recomposes. Keeps `cropOffset`.
    void LoadTemplate(const QString& path);
    // Sets the edge length and centres the crop square on the template; callers keep n in
    // kMinSize..kMaxSize.
    void SetBannerSize(int n);
    void SetSide(BannerSide side);
    // Rebuilds `banner` from the template and the lines; does nothing before a template is loaded.
    void Compose();

    int EnabledLineCount() const;
    int LineStep(QPainter& painter, int index) const;
    void DrawLine(QPainter& painter, int index, int y) const;

    bool HasTemplate() const { return templateLoaded; }
    // The composed banner (ARGB32_Premultiplied, 96 dpi), null before the first composition.
    const QImage& Composed() const { return banner; }

    std::array<BannerLine, 3> lines;
    int size = 300;
    double diagonal = 0.0;
    int bandWidth = 30;
    int cropOffset = 0;
    BannerSide side = BannerSide::Right;

private:
    bool templateLoaded = false;
    QImage templateImage;
    QImage banner;
};
