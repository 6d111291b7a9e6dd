#include "EditorPage.h"

#include "BannerView.h"
#include "DialogUnits.h"

EditorPage::EditorPage(Pickers& pickers, QWidget* parent)
    : QWidget(parent)
    , pickers(pickers)
    , bannerView(new BannerView(this))
{
    // Placeholder until the editor lands: the view and the first line's defaults.
    bannerView->setGeometry(DluRect(2, 17, 212, 212));
    BannerLine& line = bannerView->model().lines[0];
    line.text = QStringLiteral("Line 1");
    line.color = qRgb(0, 0, 100);
    line.enabled = true;
}

void EditorPage::LoadTemplate(const QString& path)
{
    bannerView->LoadTemplate(path);
}

int EditorPage::BannerSize()
{
    return bannerView->model().size;
}

bool EditorPage::IsLeftSide() const
{
    return bannerView->model().side == BannerSide::Left;
}
