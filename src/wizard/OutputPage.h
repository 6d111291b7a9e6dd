#pragma once

#include "OutputRuns.h"

#include <QWidget>

class Pickers;

// Step 5: a new file (folder and name) or a list of pages to modify.
class OutputPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OutputPage)

public:
    OutputPage(Pickers& pickers, QWidget* parent = nullptr);

    // True when generating may go ahead; otherwise moves the focus to the field to fix.
    bool ValidateOutput();
    OutputTarget Target() const;

private:
    Pickers& pickers;
};
