#pragma once

#include <QWidget>

// Placeholder; filled in with its page.
class ColorSwatch final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ColorSwatch)

public:
    explicit ColorSwatch(QWidget* parent = nullptr);
};
