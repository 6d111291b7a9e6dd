#pragma once

// The wizard's own command-line options; its --help and its man page list them from here.
struct WizardOption {
    const char* name;
    const char* help;
};

inline constexpr WizardOption kWizardOptions[] = {
    {"--version", "print the program's version and exit, without opening a window"},
    {"--help", "print the options and exit"},
};
