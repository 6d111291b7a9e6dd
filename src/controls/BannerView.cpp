#include "BannerView.h"

#include <QPainter>

BannerView::BannerView(QWidget* parent)
    : QWidget(parent)
{
}

void BannerView::LoadTemplate(const QString& path)
{
    banner.LoadTemplate(path);
    repaint();
}

void BannerView::SetBannerSize(int n)
{
    banner.SetBannerSize(n);
    repaint();
}

void BannerView::SetSide(BannerSide side)
{
    banner.SetSide(side);
    repaint();
}

void BannerView::Compose()
{
    banner.Compose();
    repaint();
}

void BannerView::paintEvent(QPaintEvent*)
{
    // Placeholder until composition lands.
}
