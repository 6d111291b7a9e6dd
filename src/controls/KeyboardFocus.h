#pragma once

#include <initializer_list>

class QAbstractButton;
class QKeyEvent;
class QPainter;
class QRect;
class QWidget;

// For the controls the wizard draws itself, which Qt's style neither frames nor presses from the
// keyboard: the keyboard reaches them as it reaches Qt's own.

// Whether `widget` has the focus and got it from the keyboard: a frame after a mouse click would
// only clutter the drawn face.
bool ShowsKeyboardFocus(const QWidget& widget);

// The style's focus frame inside `area` of `widget`.
void DrawFocusFrame(QPainter& painter, const QWidget& widget, const QRect& area);

// Whether `event` presses a focused control as a click would: Space, Return or Enter.
bool PressesControl(const QKeyEvent& event);

// Presses the push button that has the focus, where `event` is a plain Return or Enter, and says
// whether the key went to one: a dialog's Enter goes to the button with the focus, as Space does,
// and does nothing elsewhere (a field's Enter ends no step). A held key presses it once, and is
// taken all the same.
bool PressFocusedButton(const QKeyEvent& event);

// Gives the drawn controls the roles a screen reader announces, where it would see only a bare
// pane: the font buttons and colour swatches are buttons it can press (as Space does), the footer a
// link (or text, without one), the template grid a list. Each such control calls it when it is
// made; the first call installs them.
void GiveDrawnControlsTheirRoles();

// Makes the chosen one of a group of radio buttons (all of them, one parent's) the one Tab reaches,
// whenever the choice changes. Qt moves a group's tab stop only to a button that gets the focus, so a
// choice set otherwise (an opened design, the last run's settings) left the first button the stop,
// where Space would change the choice and a screen reader would announce "not checked".
void TabToTheChosen(std::initializer_list<QAbstractButton*> group);
