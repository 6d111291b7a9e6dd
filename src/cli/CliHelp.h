#pragma once

#include "cli/CliOptions.h"

#include <QString>

#include <vector>

// The exit statuses every command shares, with what each means.
struct ExitCode {
    int code;
    QString meaning;
};
std::vector<ExitCode> ExitCodes();

// The template styles of make-template as the help and the man page list them: the name, then
// what it draws and its colours in --color order with their defaults.
struct StyleDoc {
    QString name;
    QString text;
};
std::vector<StyleDoc> TemplateStyleDocs();

// The options as the help lists them: in table order, under their group headings, and the options
// of the three text lines once each, named with an N ("--fontN" stands for --font1 to --font3).
std::vector<DocumentedOption> HelpOptions();

// `name` with the value it takes: "--size N", "--bold1".
QString OptionTerm(const DocumentedOption& option);

// What `vornetad-cli --help` prints: the synopses, commands, options and exit statuses.
QString UsageText();

// Prints why a command line is refused, with the hint to --help, and returns the exit status for
// bad usage, 2.
int UsageError(const QString& reason);

// As UsageError, without the hint, where the help cannot mend what was refused (a design file
// that could not be read: the help says nothing about what is in one).
int Refuse(const QString& reason);
