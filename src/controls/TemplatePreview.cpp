#include "controls/TemplatePreview.h"

#include "banner/TemplateImage.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

TemplatePreview::TemplatePreview(QWidget* parent)
    : QWidget(parent) {}

void TemplatePreview::ShowTemplate(const QString& path) {
    image = path.isEmpty() ? QImage() : LoadKeptTemplateImage(path).image;
    templateShown = true;
    repaint();
}

void TemplatePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect box = rect();
    if (!templateShown) {
        painter.setPen(Qt::black);
        painter.setBrush(Qt::white);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, QStringLiteral("Click on template"));
        return;
    }
    painter.fillRect(box, Qt::white);
    if (image.isNull()) {
        return;
    }
    // The middle of a template that covers the box, cut with one offset taken from the width on
    // both axes, as the banner is cut, where the box then lies within the image's height; a
    // template too short for that is cut from the middle of its height, so that the box shows
    // more than its bottom strip. Along an axis where the image is smaller than the box it is
    // centred instead.
    const int cropOffset = (image.width() - box.width()) / 2;
    const auto place = [cropOffset](int imageExtent, int boxExtent, bool useCrop) {
        if (imageExtent < boxExtent) {
            return (boxExtent - imageExtent) / 2;
        }
        return useCrop ? -cropOffset : -(imageExtent - boxExtent) / 2;
    };
    const bool widthsCutFits = image.width() >= box.width() && cropOffset + box.height() <= image.height();
    // Each template pixel covers whole screen pixels at 1 or 2 pixels per unit: keep its edges.
    const qreal ratio = devicePixelRatioF();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, ratio != std::floor(ratio));
    const QPoint topLeft(place(image.width(), box.width(), true), place(image.height(), box.height(), widthsCutFits));
    painter.drawImage(topLeft, image);
}
