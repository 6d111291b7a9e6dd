#include "controls/KeyboardFocus.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWidget>

#include <algorithm>

bool ShowsKeyboardFocus(const QWidget& widget) {
    return widget.hasFocus() && widget.window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void DrawFocusFrame(QPainter& painter, const QWidget& widget, const QRect& area) {
    QStyleOptionFocusRect option;
    option.initFrom(&widget);
    option.rect = area;
    widget.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, &widget);
}

bool PressesControl(const QKeyEvent& event) {
    const int key = event.key();
    // A held key repeats; the picker it opened must not open again each time it closes.
    return !event.isAutoRepeat() && (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
           (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter);
}

bool PressFocusedButton(const QKeyEvent& event) {
    auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
    if (button == nullptr || (event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter)) {
        return false;
    }
    if (button->isEnabled() && PressesControl(event)) {
        button->click();
    }
    return true;
}

void TabToTheChosen(std::initializer_list<QAbstractButton*> group) {
    const QList<QAbstractButton*> buttons(group);
    const auto follow = [buttons] {
        const bool chosen = std::any_of(buttons.begin(), buttons.end(), [](auto* b) { return b->isChecked(); });
        for (QAbstractButton* button : buttons) {
            const bool stop = chosen ? button->isChecked() : button == buttons.first();
            button->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
        }
    };
    for (QAbstractButton* button : buttons) {
        QObject::connect(button, &QAbstractButton::toggled, button, follow);
    }
    follow();
}

namespace {

class DrawnButton final : public QAccessibleWidget {
public:
    DrawnButton(QWidget* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role) {}

    QStringList actionNames() const override { return QStringList(pressAction()) + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        // Posted: the picker it opens must not hold up the screen reader's call until it closes.
        QCoreApplication::postEvent(
            widget(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
    }
};

QAccessibleInterface* DrawnControl(const QString& className, QObject* object) {
    if (!object->isWidgetType()) {
        return nullptr;
    }
    QWidget* widget = static_cast<QWidget*>(object);
    if (className == u"FontButton" || className == u"ColorSwatch") {
        return new DrawnButton(widget, QAccessible::Button);
    }
    if (className == u"MarkupLabel") {
        // Without a link it is only text, and says so rather than offer a press that does nothing.
        return widget->focusPolicy() == Qt::NoFocus ? new QAccessibleWidget(widget, QAccessible::StaticText)
                                                    : new DrawnButton(widget, QAccessible::Link);
    }
    return className == u"TemplateStrip" ? new QAccessibleWidget(widget, QAccessible::List) : nullptr;
}

}  // namespace

void GiveDrawnControlsTheirRoles() {
    static const bool installed = [] {
        QAccessible::installFactory(DrawnControl);
        return true;
    }();
    Q_UNUSED(installed);
}
