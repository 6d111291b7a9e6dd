#pragma once

#include <QWidget>

class BannerView;
class Pickers;

// Step 2: the banner view and the controls of the three lines, the size and the corner.
class EditorPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditorPage)

public:
    EditorPage(Pickers& pickers, QWidget* parent = nullptr);

    void LoadTemplate(const QString& path);
    // The edge length of the banner that will be saved (a typed, unapplied size is applied first).
    int BannerSize();
    bool IsLeftSide() const;
    BannerView& view() { return *bannerView; }

private:
    Pickers& pickers;
    BannerView* bannerView = nullptr;
};
