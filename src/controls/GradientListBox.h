#pragma once

#include <QListWidget>

// Placeholder; filled in with its page.
class GradientListBox final : public QListWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GradientListBox)

public:
    explicit GradientListBox(QWidget* parent = nullptr);
};
