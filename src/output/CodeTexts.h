#pragma once

#include "AdSettings.h"

#include <QByteArray>

// The built-in sample page and style-sheet template, and the code block and style sheet of the
// last BuildCode call. Texts are bytes exactly as written to disk.
struct CodeTexts {
    QByteArray samplePage;
    QByteArray styleTemplate;
    QByteArray codeBlock;
    QByteArray styleSheet;

    // Loads both built-in texts; false when one is missing (that text stays empty).
    bool LoadTextResources();
    // Fills `styleSheet` and `codeBlock` for the given file names (as the block refers to them).
    void BuildCode(const QByteArray& styleFileName, const QByteArray& imageFileName, const AdSettings& settings);
};
