#pragma once

#include "controls/Artwork.h"

#include <QColor>
#include <QPushButton>

// A push button whose face is a picture: one image each for the normal, hover, pressed and
// disabled looks, drawn at its natural size from the top-left corner (with the "@2x" image on
// screens of more than one device pixel per unit). While the left button is held the pressed
// image follows the pointer (normal outside, pressed inside); releasing outside, or losing the
// focus while held, gives no click. A double click counts as a second press. A state without an
// image is filled with the palette's button colour and shows the caption (engraved when disabled). Where the image does
// not reach, the parent shows through. No focus mark is drawn; the button never acts as the dialog's default button.
class SkinButton final : public QPushButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SkinButton)

public:
    explicit SkinButton(QWidget* parent = nullptr);

    // Replaces the four images with the ones at these paths (Qt resource paths or files, each with
    // its "@2x" file if there is one); an image that cannot be loaded leaves its state without
    // one. Size and place are unchanged.
    void SetBitmaps(const QString& normal, const QString& pressed, const QString& hover, const QString& disabled);

    bool IsHover() const { return hover; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetHover(bool on);

    bool hover = false;
    bool pressTracking = false;
    Artwork normalImage;
    Artwork pressedImage;
    Artwork disabledImage;
    Artwork hoverImage;
    QColor textColor;
};
