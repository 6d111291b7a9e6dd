#include "controls/Artwork.h"

Artwork::Artwork(const QString& path)
    : single(path) {
    // "name.png" becomes "name@2x.png"; a name without an extension gets the mark at its end.
    qsizetype dot = path.lastIndexOf(u'.');
    if (dot <= path.lastIndexOf(u'/')) {
        dot = path.size();
    }
    if (doubled.load(QString(path).insert(dot, QStringLiteral("@2x")))) {
        doubled.setDevicePixelRatio(2);
    }
}

const QPixmap& Artwork::For(qreal ratio) const {
    if (ratio > 1 && !doubled.isNull()) {
        return doubled;
    }
    return single.isNull() ? doubled : single;
}
