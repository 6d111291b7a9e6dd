#pragma once

#include <QString>

// The folder of the program's data set `name` ("vornets", "help"): "<executable dir>/<name>/" when
// that folder exists, which is the case in the build tree and in a relocated copy of the program;
// otherwise the installed data folder "<prefix>/share/vornetad/<name>/", found relative to the
// executable in "<prefix>/bin". Always ends with "/"; whether the folder exists is the caller's
// business (a missing folder simply holds no files).
QString DataFolder(const QString& name);

// Where the wizard's templates come from: the shipped folder first, then the user's own. Empty
// folders are skipped.
struct TemplateSources {
    QString shipped;
    QString user;
};

// The templates folder the wizard and the CLI use: "vornets/" beside the executable, else the
// installed data folder. Always ends with a separator.
QString DefaultTemplatesFolder();

// The user's own templates: "vornetad/vornets/" in the user's data folder (~/.local/share), the
// same for the wizard and the command line. Ends with a separator; it may not exist yet. Empty when
// the system names no data folder for the user.
QString UserTemplatesFolder();

// The shipped folder and the user's.
TemplateSources DefaultTemplateSources();

// The folder the running program's file is in.
QString ExecutableFolder();

// The running program's whole path, for ExecutableFolder where there is no application object to
// ask and no /proc: a program that makes none says it once, at its start.
void SetProgramPath(const QString& path);
