#pragma once

#include "CliOptions.h"

// Each command runs a request and returns the process's exit status: 0 everything written,
// 1 some files failed (each named on stderr), 2 bad usage. A run of many pages stops between two
// of them when StopRequested().
int RunCompose(const CliRequest& request);
int RunCode(const CliRequest& request);
int RunGenerate(const CliRequest& request);
int RunPreview(const CliRequest& request);
int RunTemplates(const CliRequest& request);
int RunRemove(const CliRequest& request);
int RunDesign(const CliRequest& request);
// Writes the template and its companions: FILE, then FILE with "@2x", "b" and "b@2x" before ".gif",
// each replaced whole or not at all, and prints the path of each written.
int RunMakeTemplate(const CliRequest& request);
