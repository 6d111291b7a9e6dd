#pragma once

#include <QString>

// The folder of the program's data set `name` ("vornets", "help"): "<executable dir>/<name>/" when
// that folder exists, which is the case in the build tree and in a relocated copy of the program;
// otherwise the installed data folder "<prefix>/share/vornetad/<name>/", found relative to the
// executable in "<prefix>/bin". Always ends with "/"; whether the folder exists is the caller's
// business (a missing folder simply holds no files).
QString DataFolder(const QString& name);

// The templates folder the wizard and the CLI use: "vornets/" beside the executable, else the
// installed data folder. Always ends with a separator.
QString DefaultTemplatesFolder();

// The folder the running program's file is in.
QString ExecutableFolder();
