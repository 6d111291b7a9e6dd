#pragma once

#include <QWidget>

// Placeholder; filled in with its page.
class TemplateStrip final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplateStrip)

public:
    explicit TemplateStrip(QWidget* parent = nullptr);
};
