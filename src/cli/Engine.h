#pragma once

#include "cli/CliOptions.h"

#include <cstddef>

// The commands that draw (compose, generate, preview) or read images (templates, design) live in a
// module of their own, which vornetad-cli loads only for them: loading the GUI libraries takes
// longer than --help, --version and code take to run.
//
// The module's entry runs an accepted request and returns the exit status. `requestSize` and
// `version` are those the program was built with; a module of another build refuses to run.
// `outputError` receives why the first line the module printed failed (an errno value; 0 when none
// did): the module has its own copy of the printing, whose record the program cannot read, and the
// program's final check of its output needs the reason. The entry's name changes with its
// parameters, so that a module and a program of different builds never call each other wrongly.
using EngineEntry = int (*)(const CliRequest* request, size_t requestSize, const char* version, char* program,
                            int* outputError);
inline constexpr char kEngineEntry[] = "VornetadCliRun";

// The status the entry returns for a run that Ctrl+C stopped: the program then ends as Ctrl+C
// would have, once its output is checked. A shell takes a command that exits after Ctrl+C for one
// that handled it, and goes on with its script; ended by the signal, the script stops there too,
// and the status it sees is 130 all the same.
inline constexpr int kEndAsInterrupted = -2;
