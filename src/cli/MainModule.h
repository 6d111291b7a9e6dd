#pragma once

// vornetad-cli is a program of the C library alone, so that --help and --version start as fast as
// any program can: it holds the help as text (made from the option tables by the build) and prints
// it itself. Every other command line runs in its main module, which needs Qt Core; the module in
// its turn loads the engine (Engine.h) for the commands that draw or read images.
//
// The main module's entry runs the words after the program's name and returns the exit status.
// `version` is the one the program was built with; a module of another build refuses to run.
// `outputError` receives why the first line the module or the engine printed failed (an errno
// value; 0 when none did), for the program's final check of its output.
using MainEntry = int (*)(int argc, char* argv[], const char* version, int* outputError);
inline constexpr char kMainEntry[] = "VornetadCliMain";

// The status the main module returns for a run that Ctrl+C stopped: the program then ends as Ctrl+C would
// have, once its output is checked. A shell takes a command that exits after Ctrl+C for one that
// handled it, and goes on with its script; ended by the signal, the script stops there too, and the
// status it sees is 130 all the same.
inline constexpr int kEndAsInterrupted = -2;
