#pragma once

#include <QRect>

class QAbstractButton;
class QLabel;

// Helpers shared by the wizard's pages, which are laid out from fixed dialog-unit rectangles.

// Places a static label on its layout rectangle (dialog units) with its text against the left edge,
// as the layouts draw their labels, and never cuts the text. A text wider than the rectangle may
// reach `room` pixels past it on the right, into the gap before the field it names (a negative
// `room` keeps it that far short of a field that starts where the rectangle ends); a still wider
// one (a font larger than the layout's dialog font) ends there and grows to the left instead. A
// taller one grows evenly up and down.
void PlaceLabel(QLabel* label, const QRect& dluRect, int room = 2);

// Places a check box or radio button on its layout rectangle (dialog units); a wider or taller font
// grows it to the right and evenly up and down.
void PlaceButton(QAbstractButton* button, const QRect& dluRect);
