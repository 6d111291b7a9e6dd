#pragma once

// Loading the system's font configuration parses dozens of XML files: the longest single step
// before the first text can be drawn. StartFontSetup() begins it on a second thread, so that it
// runs while the engine's libraries load and the template is decoded; AwaitFontSetup() waits for it
// to finish and must come before any text is laid out, or both threads would load it. Without the
// font configuration library both do nothing, and the drawing loads it as it always does.
void StartFontSetup();
void AwaitFontSetup();
