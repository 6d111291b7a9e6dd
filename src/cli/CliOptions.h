#pragma once

#include "design/Design.h"
#include "files/Result.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// What the command line asked for, with every value already checked.
struct CliRequest {
    enum class Command { Help, Version, Compose, Code, Generate, Preview, Templates, Design, Remove, MakeTemplate };

    Command command = Command::Help;

    // Every setting: the defaults, then a --design file's, then the single options'. Its paths are
    // absolute, and its target is complete for generate.
    Design design;
    // The custom code the --design file holds, on or off (it may have been on for that design's
    // runs): a run with other custom code, or none, takes it out where it follows an old block, as
    // the wizard does for a design opened in it. Empty: none.
    QByteArray designCustomCode;
    // The template was named by --template rather than by the design.
    bool templateOption = false;
    // Called before the first text is laid out, when the program has begun to set up the fonts
    // ahead of time (FontSetup.h); null otherwise.
    void (*awaitFonts)() = nullptr;

    // Command-specific values.
    QString gifPath;
    QString pngPath;
    bool css = false;
    bool cspHash = false;
    QString previewFolder;
    QString templatesFolder;
    QString savePath;
    QStringList siteFolders;  // --site: the pages of these folder trees, found when the run starts
    QString siteMatch;        // --match as given; empty: PagePatterns::kDefault (kRemovalDefault)
    QString siteExclude;      // --exclude as given; empty: nothing passed over by name
    bool dryRun = false;      // --dry-run: every file checked as the run would write it, none written
    // The pages to modify were given with --modify, where one that does not exist yet is made from
    // the sample page; a design's or a site's are found pages (OutputTarget::pagesFound).
    bool pagesGiven = false;
    // make-template: the look by name, and the colours given for it (the look's defaults for the others).
    QString templateStyle;
    std::array<std::optional<QRgb>, 3> templateColors;
};

// Parses the arguments after the program name, as the bytes the system gave them. Settings that are
// text (lines, fonts, link, title) must be UTF-8; file names go through as they are, and one that
// Qt could not carry unchanged is refused, never replaced by another name; custom code is bytes.
// The template is not opened here: the commands that use it decode it before they write anything.
// Needs Qt Core only, so that the commands that draw nothing start without the GUI libraries.
// Fails with the reason the command line is not usable; the subject is the --design file where
// the reason is that it could not be read as one, which the help cannot mend, and empty otherwise.
Result<CliRequest> ParseCommandLine(const QByteArrayList& args);

// What a shell can offer where an option's value or a command's operand is typed.
enum class Completion { None, File, Folder, Words };

// An option's value and purpose as the help, the man page and the shell completion show them.
struct OptionDoc {
    QString valueName;  // "FILE"; empty for a switch
    QString help;       // a short phrase, no full stop
    Completion completion = Completion::None;
    QString choices;  // File: a glob such as "*.gif" (empty: any file); Words: the words, space-separated
};

// One entry of the option table that ParseCommandLine uses, with its documentation.
struct DocumentedOption {
    QString name;          // "--font1"
    QString group;         // the heading it is listed under: "Banner options"
    QStringList commands;  // the commands that take it
    OptionDoc doc;
};

// One entry of the command table that ParseCommandLine uses.
struct DocumentedCommand {
    QString name;
    QString summary;
    QStringList synopses;  // what may follow the command's name, one form per entry
    OptionDoc operands;    // the words that are not options; empty valueName: none
};

// The tables in parsing order; the help, the man page and the completion are made from them alone.
std::vector<DocumentedOption> DocumentedOptions();
std::vector<DocumentedCommand> DocumentedCommands();
