#include "controls/BannerView.h"

#include <QPainter>

BannerView::BannerView(QWidget* parent)
    : QWidget(parent) {
    // Before the first template the view shows only its white background.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
}

void BannerView::SetTemplate(const QImage& image) {
    banner.SetTemplate(image);
    repaint();
}

void BannerView::SetBannerSize(int n) {
    banner.SetBannerSize(n);
    repaint();
}

void BannerView::SetSide(BannerSide side) {
    banner.SetSide(side);
    repaint();
}

void BannerView::SetLine(int index, const BannerLine& line) {
    banner.SetLine(index, line);
    repaint();
}

void BannerView::SetModel(Banner model) {
    banner = std::move(model);
    repaint();
}

void BannerView::paintEvent(QPaintEvent*) {
    const QImage& composed = banner.Composed();
    if (composed.isNull() || width() <= 0 || height() <= 0) {
        return;
    }
    // Area-averaged scaling keeps thin strokes of the text when a large banner is shown small;
    // the scaled copy, in device pixels, is reused until the banner or the widget's size changes.
    const qreal ratio = devicePixelRatioF();
    const QSize target = (QSizeF(size()) * ratio).toSize();
    if (scaled.size() != target || scaledFrom != composed.cacheKey()) {
        scaled = composed.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(ratio);
        scaledFrom = composed.cacheKey();
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(rect(), scaled);
}
