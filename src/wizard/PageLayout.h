#pragma once

#include <QRect>

class QAbstractButton;
class QLabel;

// Helpers shared by the wizard's pages, which are laid out from fixed dialog-unit rectangles.

// Places a static label on its layout rectangle (dialog units) with its text against the right
// edge, next to the field it names. A font wider or taller than the layout's dialog font grows the
// label to the left and evenly up and down, so the text is never cut.
void PlaceLabel(QLabel* label, const QRect& dluRect);

// Places a check box or radio button on its layout rectangle (dialog units); a wider or taller font
// grows it to the right and evenly up and down.
void PlaceButton(QAbstractButton* button, const QRect& dluRect);
