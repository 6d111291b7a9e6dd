#pragma once

#include <QPixmap>
#include <QString>

// One picture of the program's artwork in the two sizes it is drawn in: "name.png", and
// "name@2x.png" beside it with twice the pixels each way for screens that show more than one
// device pixel per unit (200 % scaling). Both paint at the same size in units; painting with the
// one that suits the screen keeps the picture sharp wherever the window is.
class Artwork final {
public:
    Artwork() = default;
    // Loads `path` ("name.png", a resource or a file) and the "@2x" file beside it; either may be
    // missing.
    explicit Artwork(const QString& path);

    bool IsNull() const { return single.isNull() && doubled.isNull(); }
    // The picture for `ratio` device pixels per unit: the doubled one above 1 (shrunk a little by
    // the painter for ratios between 1 and 2), the single one otherwise, whichever exists.
    const QPixmap& For(qreal ratio) const;

private:
    QPixmap single;
    QPixmap doubled;
};
