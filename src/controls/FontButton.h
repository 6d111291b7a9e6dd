#pragma once

#include "banner/BannerLine.h"

#include <QWidget>

class ColorSwatch;
class Pickers;

// Shows a banner line's face name, written at 20 px in that face and style and in the colour of
// the line's swatch; a click, or Space or Enter with the focus on it, opens the font picker. After
// a pick the face, bold (weight 700 only, anything else is 400), italic, underline and strike-out
// are stored with height 0, and fontChanged is emitted with the line's id; the picked size is not
// used. Disabled, it writes in a neutral grey and takes no clicks. A face this system does not have
// is named with what is drawn instead in its tool tip and its accessible description.
class FontButton final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FontButton)

public:
    static constexpr QRgb kDisabledColor = 0xffc8c8c8;  // RGB(200, 200, 200)
    // Written instead of white, which would vanish on the white face.
    static constexpr QRgb kWhiteReplacement = 0xff646464;  // RGB(100, 100, 100)
    static constexpr int kTextPixelSize = 20;

    // `pickers` and `swatch` must outlive the button.
    FontButton(Pickers& pickers, const QString& faceName, int height, ColorSwatch& swatch, int id,
               QWidget* parent = nullptr);

    const BannerFont& LogFont() const { return font; }
    // Shows `font` (a line's, from a design) without telling anyone.
    void SetLogFont(const BannerFont& font);
    int Id() const { return id; }

signals:
    void fontChanged(int id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Pick();
    Pickers& pickers;
    ColorSwatch& swatch;
    int id = 0;
    BannerFont font;
};
