#include "TemplateImage.h"

#include <QImageReader>

QImage LoadTemplateImage(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxTemplateEdge || size.height() > kMaxTemplateEdge) {
        return {};
    }
    QImage image = reader.read();
    if (image.width() > kMaxTemplateEdge || image.height() > kMaxTemplateEdge) {
        return {};
    }
    return image;
}
