#pragma once

#include <QWidget>

// Placeholder; filled in with its page.
class MarkupLabel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MarkupLabel)

public:
    explicit MarkupLabel(QWidget* parent = nullptr);
};
