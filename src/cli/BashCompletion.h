#pragma once

#include <QString>

// A bash completion script for vornetad-cli, made from its command and option tables: command
// names first, then the options each command takes, and for an option's value or a command's
// operand what its documentation names (files matching a glob, folders, fixed words, nothing for
// free text). Needs bash 4 (mapfile, compopt); works with or without the bash-completion package.
QString BashCompletion();
