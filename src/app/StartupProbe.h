#pragma once

#include <QObject>

// Measures start-up: when VORNET_EXIT_AFTER_FIRST_PAINT is set, prints the milliseconds from
// process start to the watched window's first paint on stdout and then closes that window.
// Without the variable it does nothing.
class StartupProbe final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StartupProbe)

public:
    explicit StartupProbe(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window;
    bool done = false;
};
