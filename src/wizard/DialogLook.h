#pragma once

// Gives every window of the program white backgrounds, black text and the dialog font that the
// page layouts are measured in (an 8-point sans whose average character is about 6 by 13 pixels
// at 96 dpi). Call once, after the application object exists and before any window is built.
void ApplyDialogLook();
