#pragma once

#include <QPushButton>

// Placeholder; filled in with its page.
class SkinButton final : public QPushButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SkinButton)

public:
    explicit SkinButton(QWidget* parent = nullptr);
};
