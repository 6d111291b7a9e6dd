#pragma once

#include "cli/CliOptions.h"
#include "files/Result.h"
#include "output/CodeTexts.h"

#include <QImage>
#include <QString>

#include <optional>

// Each command runs a request and returns the process's exit status: 0 everything written,
// 1 some files failed (each named on stderr), 2 bad usage. A run of many pages stops between two
// of them when StopRequested(). The commands that use the template decode it before they write
// anything, and stop with status 2 when it is not one sound GIF.
//
// RunCode needs Qt Core only (CodeCommand.cpp); the others draw or read images. RunCode prints
// what needs no banner (see CodeNeedsBanner), refusing a template named that is no file or no GIF
// (it decodes none), RunCodeForBanner everything, composing the banner as the generate run does.
int RunCompose(const CliRequest& request);
int RunCode(const CliRequest& request);
int RunCodeForBanner(const CliRequest& request);
int RunGenerate(const CliRequest& request);
int RunPreview(const CliRequest& request);
int RunTemplates(const CliRequest& request);
int RunRemove(const CliRequest& request);
int RunDesign(const CliRequest& request);
// Writes the template and its companions: FILE, then FILE with "@2x", "b" and "b@2x" before ".gif",
// each replaced whole or not at all, and prints the path of each written.
int RunMakeTemplate(const CliRequest& request);

// The template the request names, by --template or by its design, decoded; a null image when it
// names none. When the file is not one sound GIF, the error says why as the command line reports it.
Result<QImage> LoadNamedTemplate(const CliRequest& request);

// Writes `bytes` to standard output as the program's own output. The stream keeps only that a
// write failed; the reason of the first failure is kept here, for the end of the run to give.
void PrintOut(QByteArrayView bytes);
// Why the first PrintOut that failed did (an errno value); 0 when none did.
int FirstOutputError();

// Whether what the code command prints depends on the composed banner: the click-through style
// sheet covers where it is drawn.
bool CodeNeedsBanner(const CliRequest& request);
// Why the template the request names cannot be used, as every command says it: `reason` with the
// option or design that named it.
QString TemplateRefusal(const CliRequest& request, const QString& reason);
// The code command's output for `settings`, those of the request's design with whatever the
// banner adds; exits as RunCode.
int PrintCode(const CliRequest& request, const AdSettings& settings);

// The built-in texts of the code block; nothing, after a line on stderr naming the missing
// resource, when the program was built without them (the command then exits with 1).
std::optional<CodeTexts> BuiltInTexts();
