#pragma once

#include <QRgb>
#include <QWidget>

class Pickers;

// Tells a screen reader the colour that `control` shows: "#rrggbb", as its description (its name
// says what the colour is for). Every control that shows a colour to pick says it this way.
void DescribeColor(QWidget& control, QRgb color);

// A solid colour beside a banner line; a click, or Space or Enter with the focus on it, opens the
// colour picker. After a pick the colour is
// stored as a line keeps it (Design::LineColor: pure black becomes RGB(10, 10, 10)) and
// colorChanged is emitted with the line's id.
// Disabled, it shows a neutral grey and takes no clicks.
class ColorSwatch final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ColorSwatch)

public:
    static constexpr QRgb kDisabledColor = 0xffc8c8c8;  // RGB(200, 200, 200)

    // `pickers` must outlive the swatch.
    ColorSwatch(Pickers& pickers, QRgb color, int id, QWidget* parent = nullptr);

    QRgb GetColor() const { return color; }
    // Shows `color` (a line's, from a design) without telling anyone.
    void SetColor(QRgb color);
    int Id() const { return id; }

signals:
    void colorChanged(int id, QRgb color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Pick();

    Pickers& pickers;
    int id = 0;
    QRgb color = 0;
};
