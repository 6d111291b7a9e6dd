#include "Banner.h"

// Placeholder until composition lands.
Banner::Banner() = default;
void Banner::LoadTemplate(const QString&) {}
void Banner::SetBannerSize(int n) {
    size = n;
}
void Banner::SetSide(BannerSide s) {
    side = s;
}
void Banner::Compose() {}
int Banner::EnabledLineCount() const {
    return 0;
}
int Banner::LineStep(QPainter&, int) const {
    return 0;
}
void Banner::DrawLine(QPainter&, int, int) const {}
