#pragma once

#include "cli/CliOptions.h"

#include <cstddef>

// The commands that draw (compose, generate, preview) or read images (templates, design) live in a
// module of their own, which vornetad-cli loads only for them: loading the GUI libraries takes
// longer than --help, --version and code take to run.
//
// The module's entry runs an accepted request and returns the exit status. `requestSize` and
// `version` are those the program was built with; a module of another build refuses to run.
using EngineEntry = int (*)(const CliRequest* request, size_t requestSize, const char* version, char* program);
inline constexpr char kEngineEntry[] = "VornetadCliEngine";
