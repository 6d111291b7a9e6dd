#pragma once

#include "banner/Banner.h"

#include <QImage>
#include <QWidget>

// Shows the composed banner scaled into the whole widget, white behind it; nothing before a
// template is loaded. Owns the banner model; the setters recompose and repaint at once.
class BannerView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BannerView)

public:
    explicit BannerView(QWidget* parent = nullptr);

    const Banner& Model() const { return banner; }
    // Shows `model` instead of the banner held so far.
    void SetModel(Banner model);

    // An image already decoded (LoadTemplateImage; null: a template without pixels), as Banner::SetTemplate.
    void SetTemplate(const QImage& image);
    void SetBannerSize(int n);
    void SetSide(BannerSide side);
    void SetLine(int index, const BannerLine& line);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Banner banner;
    // The banner smoothly scaled to the widget, rebuilt when either changes.
    QImage scaled;
    qint64 scaledFrom = 0;
};
