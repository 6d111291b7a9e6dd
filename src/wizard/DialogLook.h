#pragma once

#include <QFont>

// Gives every window of the program white backgrounds, black text and the dialog font that the
// page layouts are measured in (an 8-point sans whose average character is about 6 by 13 pixels
// at 96 dpi). Call once, after the application object exists and before any window is built.
void ApplyDialogLook();

// The dialog font of ApplyDialogLook. The wizard sets it on itself too: a desktop theme may set the
// application's font after start (qt6ct's does), and its pages are laid out in this one.
QFont DialogFont();
