#pragma once

#include <QWidget>

// Placeholder; filled in with its page.
class FontButton final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FontButton)

public:
    explicit FontButton(QWidget* parent = nullptr);
};
