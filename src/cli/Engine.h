#pragma once

#include "cli/CliOptions.h"
#include "cli/MainModule.h"

#include <cstddef>

// The commands that draw (compose, generate, preview) or read images (templates, design) live in a
// module of their own, which the main module (MainModule.h) loads only for them: loading the GUI libraries takes
// longer than the code command takes to run.
//
// The engine's entry runs an accepted request and returns the exit status. `requestSize` and
// `version` are those the main module was built with; an engine of another build refuses to run.
// `outputError` receives why the first line the engine printed failed (an errno value; 0 when none
// did): the engine has its own copy of the printing, whose record the main module cannot read, and the
// program's final check of its output needs the reason. The entry's name changes with its
// parameters, so that an engine and a main module of different builds never call each other wrongly.
using EngineEntry = int (*)(const CliRequest* request, size_t requestSize, const char* version, char* program,
                            int* outputError);
inline constexpr char kEngineEntry[] = "VornetadCliRun";
