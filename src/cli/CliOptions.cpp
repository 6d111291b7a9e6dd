#include "CliOptions.h"

#include "TemplateImage.h"
#include "files/FileNames.h"
#include "files/ReadFile.h"
#include "files/SiteWalk.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace {

using Command = CliRequest::Command;

// Which commands an option belongs to.
enum Scope : unsigned {
    kCompose = 1u << 0,
    kCode = 1u << 1,
    kGenerate = 1u << 2,
    kPreview = 1u << 3,
    kRemove = 1u << 4,
    kBanner = kCompose | kCode | kGenerate | kPreview,
    kAdvert = kCode | kGenerate | kPreview | kRemove,
    kSite = kGenerate | kRemove,
};

unsigned ScopeOf(Command command) {
    switch (command) {
    case Command::Compose:
        return kCompose;
    case Command::Code:
        return kCode;
    case Command::Generate:
        return kGenerate;
    case Command::Preview:
        return kPreview;
    case Command::Remove:
        return kRemove;
    default:
        return 0;
    }
}

// Sets a value (the argument's bytes) on the request; returns an error text, or empty when the
// value was accepted.
using Setter = std::function<QString(CliRequest&, const QByteArray&)>;

struct Option {
    QString name;
    bool takesValue = true;
    unsigned scope = 0;
    Setter set;
    OptionDoc doc;
};

// The scopes that the help lists under a heading of their own; other options are listed under
// the commands that take them.
struct OptionGroup {
    unsigned scope;
    const char* heading;
};
constexpr OptionGroup kOptionGroups[] = {{kBanner, "Banner options"}, {kAdvert, "Advert options"}};

QString Text(const char* latin1) {
    return QString::fromLatin1(latin1);
}

struct CommandEntry {
    Command command;
    DocumentedCommand doc;
};

const std::vector<CommandEntry>& CommandTable() {
    static const std::vector<CommandEntry> table = {
        {Command::Compose,
         {Text("compose"),
          Text("compose the banner and save it: --gif as the generate run saves it, --png with full alpha"),
          {Text("BANNER-OPTIONS (--gif FILE | --png FILE)")},
          {}}},
        {Command::Code,
         {Text("code"),
          Text("print the code block that the generate run would insert, or with --css the style sheet"),
          {Text("AD-OPTIONS BANNER-OPTIONS [--css]")},
          {}}},
        {Command::Generate,
         {Text("generate"),
          Text("write the banner, the style sheet and a new page into a folder, or put the code block into "
               "existing pages"),
          {Text("AD-OPTIONS BANNER-OPTIONS --out FOLDER [--file NAME]"),
           Text("AD-OPTIONS BANNER-OPTIONS --modify PAGE [--modify PAGE ...]"),
           Text("AD-OPTIONS BANNER-OPTIONS --site DIR [--match GLOBS]")},
          {}}},
        {Command::Preview,
         {Text("preview"),
          Text("write the preview page and print its path"),
          {Text("AD-OPTIONS BANNER-OPTIONS [--dir FOLDER]")},
          {}}},
        {Command::Templates,
         {Text("templates"),
          Text("list the templates of FOLDER (default: the shipped ones), one full path per line"),
          {Text("[FOLDER]")},
          {Text("FOLDER"), Text("a folder of templates"), Completion::Folder, {}}}},
        {Command::Remove,
         {Text("remove"),
          Text("take the advert out of pages; a page without one is not touched, and the image and the style "
               "sheet stay, since other pages may use them"),
          {Text("[AD-OPTIONS] PAGE..."), Text("[AD-OPTIONS] --site DIR [--match GLOBS]")},
          {Text("PAGE"), Text("a page to take the advert out of"), Completion::File, {}}}},
    };
    return table;
}

// The largest custom code taken from a file; more is surely the wrong file.
constexpr qint64 kMaxCustomCodeBytes = qint64(1) << 20;

// A value for messages: text as it is, other bytes escaped.
QString Shown(const QByteArray& value) {
    return PrintableName(value);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whole numbers are ASCII digits, with a minus sign only where negative values are allowed: no
// blanks, no plus sign, no other bases.
QString ParseInt(const QString& name, const QByteArray& value, int low, int high, int& out) {
    const bool negative = low < 0 && value.startsWith('-');
    const QByteArray digits = negative ? value.mid(1) : value;
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), IsDigit)) {
        return QStringLiteral("%1 needs a whole number, not \"%2\"").arg(name, Shown(value));
    }
    // Leading zeros aside, more than nine digits is out of every range here.
    const qsizetype zeros =
        std::find_if(digits.begin(), digits.end(), [](char c) { return c != '0'; }) - digits.begin();
    const QByteArray significant = digits.mid(zeros);
    const qint64 magnitude = significant.size() > 9 ? qint64(1) << 40 : significant.toLongLong();
    const qint64 number = negative ? -magnitude : magnitude;
    if (number < low || number > high) {
        return QStringLiteral("%1 must be between %2 and %3, not %4").arg(name).arg(low).arg(high).arg(Shown(value));
    }
    out = int(number);
    return {};
}

// A colour is exactly six hexadecimal digits, optionally after one '#'.
QString ParseColor(const QString& name, const QByteArray& value, QRgb& out) {
    const QByteArray hex = value.startsWith('#') ? value.mid(1) : value;
    const bool ok = hex.size() == 6 && std::all_of(hex.begin(), hex.end(), [](char c) {
                        return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
                    });
    if (!ok) {
        return QStringLiteral("%1 needs a colour as six hexadecimal digits RRGGBB, not \"%2\"").arg(name, Shown(value));
    }
    const uint rgb = hex.toUInt(nullptr, 16);
    // The colour swatch never hands on pure black; the CLI gives what the wizard would.
    out = rgb == 0 ? qRgb(10, 10, 10) : qRgb(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
    return {};
}

// A setting that is text: UTF-8, taken as it is.
QString ParseText(const QString& name, const QByteArray& value, QString& out) {
    QString text = QString::fromUtf8(value);
    if (text.toUtf8() != value) {
        return QStringLiteral("%1 needs UTF-8 text, not \"%2\"").arg(name, Shown(value));
    }
    out = std::move(text);
    return {};
}

// A file name goes through as its bytes; one that Qt's conversion would alter names another file,
// so it is refused.
QString ParsePath(const QString& name, const QByteArray& value, QString& out) {
    if (value.isEmpty()) {
        return QStringLiteral("%1 needs a file name").arg(name);
    }
    std::optional<QString> path = DecodedName(value);
    if (!path) {
        return QStringLiteral("%1: the name \"%2\" is not valid text in this system's encoding, so it cannot be used")
            .arg(name, Shown(value));
    }
    out = std::move(*path);
    return {};
}

QString SetCustomCode(CliRequest& r, const QString& name, const QByteArray& code) {
    // A zero byte would make the page unreadable to every later run.
    if (code.contains('\0')) {
        return QStringLiteral("%1: custom code cannot hold a zero byte").arg(name);
    }
    r.ad.customCodeEnabled = true;
    r.ad.customCode = code;
    return {};
}

QString ReadCustomCode(CliRequest& r, const QByteArray& value) {
    const QString name = QStringLiteral("--custom-code-file");
    QString path;
    if (QString error = ParsePath(name, value, path); !error.isEmpty()) {
        return error;
    }
    const FileBytes file = ReadRegularFile(path, kMaxCustomCodeBytes);
    if (!file.status.ok()) {
        return QStringLiteral("%1: \"%2\": %3").arg(name, path, file.status.error);
    }
    return SetCustomCode(r, name, file.bytes);
}

std::vector<Option> BuildOptionTable() {
    std::vector<Option> table;
    auto add = [&table](const QString& name, bool takesValue, unsigned scope, Setter set) {
        table.push_back({name, takesValue, scope, std::move(set), {}});
    };
    // Documents the option added last; options that differ only in their line number share a text.
    auto describe = [&table](const char* valueName, const char* help, Completion completion = Completion::None,
                             const char* choices = "") {
        table.back().doc = {Text(valueName), Text(help), completion, Text(choices)};
    };

    add(QStringLiteral("--template"), true, kBanner,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--template"), v, r.templatePath); });
    describe("FILE", "the template GIF (default: the first shipped template)", Completion::File, "*.gif");
    add(QStringLiteral("--size"), true, kBanner, [](CliRequest& r, const QByteArray& v) {
        int size = 0;
        QString error = ParseInt(QStringLiteral("--size"), v, 50, 500, size);
        r.size = size;
        return error;
    });
    describe("N", "edge length 50..500, applied as the editor's Resize (default 300)");
    add(QStringLiteral("--side"), true, kBanner, [](CliRequest& r, const QByteArray& v) {
        if (v == "left") {
            r.side = BannerSide::Left;
        } else if (v == "right") {
            r.side = BannerSide::Right;
        } else {
            return QStringLiteral("--side must be \"left\" or \"right\", not \"%1\"").arg(Shown(v));
        }
        return QString();
    });
    describe("left|right", "the top corner the banner sits in (default right)", Completion::Words, "left right");
    for (int n = 1; n <= 3; ++n) {
        const size_t i = size_t(n - 1);
        const QString digit = QString::number(n);
        add(QStringLiteral("--line") + digit, true, kBanner, [i](CliRequest& r, const QByteArray& v) {
            r.lines[i].enabled = true;
            return ParseText(QStringLiteral("--line%1").arg(i + 1), v, r.lines[i].text);
        });
        describe("TEXT",
                 "text of line N (default \"Line 1\"); lines 2 and 3 are off until given, and line 3 needs line 2");
        add(QStringLiteral("--font") + digit, true, kBanner, [i](CliRequest& r, const QByteArray& v) {
            const QString name = QStringLiteral("--font%1").arg(i + 1);
            if (v.trimmed().isEmpty()) {
                return QStringLiteral("%1 needs a font face name").arg(name);
            }
            return ParseText(name, v, r.lines[i].font.faceName);
        });
        describe("FACE", "font face of line N (default \"Times New Roman\")");
        add(QStringLiteral("--pt") + digit, true, kBanner, [i](CliRequest& r, const QByteArray& v) {
            return ParseInt(QStringLiteral("--pt%1").arg(i + 1), v, 1, 200, r.lines[i].font.height);
        });
        describe("N", "size of line N in points, 1..200 (default 18, 12, 10)");
        add(QStringLiteral("--color") + digit, true, kBanner, [i](CliRequest& r, const QByteArray& v) {
            return ParseColor(QStringLiteral("--color%1").arg(i + 1), v, r.lines[i].color);
        });
        describe("RRGGBB", "colour of line N (default 000064, 006400, 640000); 000000 becomes 0A0A0A as in the editor");
        add(QStringLiteral("--offset") + digit, true, kBanner, [i](CliRequest& r, const QByteArray& v) {
            return ParseInt(QStringLiteral("--offset%1").arg(i + 1), v, -5, 5, r.lines[i].offset);
        });
        describe("N", "vertical offset of line N, -5..5; 0 is auto");
        add(QStringLiteral("--bold") + digit, false, kBanner, [i](CliRequest& r, const QByteArray&) {
            r.lines[i].font.weight = 700;
            return QString();
        });
        describe("", "bold line N");
        add(QStringLiteral("--italic") + digit, false, kBanner, [i](CliRequest& r, const QByteArray&) {
            r.lines[i].font.italic = true;
            return QString();
        });
        describe("", "italic line N");
        add(QStringLiteral("--underline") + digit, false, kBanner, [i](CliRequest& r, const QByteArray&) {
            r.lines[i].font.underline = true;
            return QString();
        });
        describe("", "underline line N");
        add(QStringLiteral("--strike") + digit, false, kBanner, [i](CliRequest& r, const QByteArray&) {
            r.lines[i].font.strikeOut = true;
            return QString();
        });
        describe("", "strike line N through");
    }

    add(QStringLiteral("--link"), true, kAdvert,
        [](CliRequest& r, const QByteArray& v) { return ParseText(QStringLiteral("--link"), v, r.ad.linkUrl); });
    describe("URL", "the address the banner links to (default \"link URL here\")");
    add(QStringLiteral("--title"), true, kAdvert,
        [](CliRequest& r, const QByteArray& v) { return ParseText(QStringLiteral("--title"), v, r.ad.adTitle); });
    describe("TEXT", "the advert's title (default \"ad title here\")");
    add(QStringLiteral("--same-window"), false, kAdvert, [](CliRequest& r, const QByteArray&) {
        r.ad.newWindow = false;
        return QString();
    });
    describe("", "open the link in the same window (default: a new window)");
    add(QStringLiteral("--custom-code"), true, kAdvert,
        [](CliRequest& r, const QByteArray& v) { return SetCustomCode(r, QStringLiteral("--custom-code"), v); });
    describe("TEXT", "custom HTML to put after the code block");
    add(QStringLiteral("--custom-code-file"), true, kAdvert, ReadCustomCode);
    describe("FILE", "custom HTML read from FILE", Completion::File);

    add(QStringLiteral("--gif"), true, kCompose,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--gif"), v, r.gifPath); });
    describe("FILE", "save the banner as this GIF", Completion::File, "*.gif");
    add(QStringLiteral("--png"), true, kCompose,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--png"), v, r.pngPath); });
    describe("FILE", "save the composed banner as this PNG", Completion::File, "*.png");
    add(QStringLiteral("--css"), false, kCode, [](CliRequest& r, const QByteArray&) {
        r.css = true;
        return QString();
    });
    describe("", "print the style sheet instead of the code block");
    add(QStringLiteral("--out"), true, kGenerate,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--out"), v, r.outFolder); });
    describe("FOLDER", "write a new page, the banner and the style sheet into FOLDER", Completion::Folder);
    add(QStringLiteral("--file"), true, kGenerate, [](CliRequest& r, const QByteArray& v) {
        if (v.isEmpty() || v == "." || v == ".." || v.contains('/')) {
            return QStringLiteral("--file needs a file name without a folder, not \"%1\"").arg(Shown(v));
        }
        return ParsePath(QStringLiteral("--file"), v, r.fileName);
    });
    describe("NAME", "the new page's file name (default VornetAdCode.html)");
    add(QStringLiteral("--modify"), true, kGenerate, [](CliRequest& r, const QByteArray& v) {
        QString page;
        QString error = ParsePath(QStringLiteral("--modify"), v, page);
        r.modifyPages.append(page);
        return error;
    });
    describe("PAGE", "put the code block into PAGE, replacing an earlier one; may be repeated", Completion::File);
    add(QStringLiteral("--dir"), true, kPreview,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--dir"), v, r.previewFolder); });
    describe("FOLDER", "write the preview files into FOLDER (default: a private folder of your own)",
             Completion::Folder);
    add(QStringLiteral("--site"), true, kSite,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--site"), v, r.siteFolder); });
    describe("DIR",
             "take the pages of the whole folder tree DIR, folder by folder in sorted order; hidden folders "
             "and files (.name) and linked folders are not entered, so the walk cannot loop; linked pages are "
             "pages",
             Completion::Folder);
    add(QStringLiteral("--match"), true, kSite, [](CliRequest& r, const QByteArray& v) -> QString {
        QString text;
        if (QString error = ParseText(QStringLiteral("--match"), v, text); !error.isEmpty()) {
            return error;
        }
        if (const PagePatterns patterns = PagePatterns::Parse(text); !patterns.error.isEmpty()) {
            return QStringLiteral("--match: ") + patterns.error;
        }
        r.siteMatch = text;
        return QString();
    });
    describe("GLOBS", "which files of --site are pages: comma-separated name patterns with * and ?, in any letter "
                      "case (default *.html,*.htm)");
    return table;
}

const Option* FindOption(const std::vector<Option>& table, const QString& name) {
    for (const Option& option : table) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

// The template is decoded now, so that a file that is not one sound GIF stops the run before
// anything is written, and the banner gets exactly the image that was checked.
QString CheckTemplate(CliRequest& r) {
    TemplateImage loaded = LoadTemplateImage(r.templatePath);
    if (!loaded.status.ok()) {
        return QStringLiteral("--template: \"%1\": %2").arg(r.templatePath, loaded.status.error);
    }
    r.templateImage = std::move(loaded.image);
    return {};
}

// Checks what single options cannot: which options a command needs together.
QString CheckCombination(CliRequest& r) {
    switch (r.command) {
    case Command::Compose:
        if (r.gifPath.isEmpty() == r.pngPath.isEmpty()) {
            return QStringLiteral("compose needs exactly one of --gif FILE and --png FILE");
        }
        break;
    case Command::Generate:
        if (int(!r.outFolder.isEmpty()) + int(!r.modifyPages.isEmpty()) + int(!r.siteFolder.isEmpty()) != 1) {
            return QStringLiteral("generate needs either --out FOLDER, one or more --modify PAGE, or --site DIR");
        }
        break;
    case Command::Remove:
        if (r.modifyPages.isEmpty() == r.siteFolder.isEmpty()) {
            return QStringLiteral("remove needs either one or more pages or --site DIR");
        }
        break;
    default:
        break;
    }
    if (!r.siteMatch.isEmpty() && r.siteFolder.isEmpty()) {
        return QStringLiteral("--match needs --site");
    }
    if (r.lines[2].enabled && !r.lines[1].enabled) {
        return QStringLiteral("--line3 needs --line2, as in the editor");
    }
    if (!r.templatePath.isEmpty()) {
        return CheckTemplate(r);
    }
    return {};
}

CliRequest DefaultRequest() {
    CliRequest r;
    const QRgb colors[3] = {qRgb(0, 0, 100), qRgb(0, 100, 0), qRgb(100, 0, 0)};
    const int heights[3] = {18, 12, 10};
    for (size_t i = 0; i < 3; ++i) {
        r.lines[i].text = QStringLiteral("Line %1").arg(i + 1);
        r.lines[i].color = colors[i];
        r.lines[i].font.height = heights[i];
    }
    r.lines[0].enabled = true;
    return r;
}

}  // namespace

ParseResult ParseCommandLine(const QByteArrayList& args) {
    auto fail = [](const QString& message) {
        return ParseResult{std::nullopt, message};
    };
    if (args.isEmpty()) {
        return fail(QStringLiteral("no command given"));
    }

    CliRequest request = DefaultRequest();
    const QByteArray& commandName = args.constFirst();
    if (commandName == "--help" || commandName == "-h") {
        request.command = Command::Help;
        return {request, {}};
    }
    if (commandName == "--version") {
        request.command = Command::Version;
        return {request, {}};
    }
    bool known = false;
    for (const CommandEntry& c : CommandTable()) {
        if (QString::fromUtf8(commandName) == c.doc.name) {
            request.command = c.command;
            known = true;
        }
    }
    if (!known) {
        return fail(QStringLiteral("unknown command \"%1\"").arg(Shown(commandName)));
    }

    if (request.command == Command::Templates) {
        if (args.size() > 2) {
            return fail(QStringLiteral("templates takes at most one folder"));
        }
        if (args.size() == 2) {
            if (args[1].startsWith("--")) {
                return fail(QStringLiteral("unknown option \"%1\" for templates").arg(Shown(args[1])));
            }
            if (const QString error = ParsePath(QStringLiteral("templates"), args[1], request.templatesFolder);
                !error.isEmpty()) {
                return fail(error);
            }
        }
        return {request, {}};
    }

    static const std::vector<Option> table = BuildOptionTable();
    const unsigned scope = ScopeOf(request.command);
    // Remove's pages are the words that are not options; after "--", every word is one.
    const bool takesPages = request.command == Command::Remove;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (takesPages && !optionsEnded && args[i] == "--") {
            optionsEnded = true;
            continue;
        }
        if (takesPages && (optionsEnded || !args[i].startsWith("--"))) {
            QString page;
            if (const QString error = ParsePath(QStringLiteral("remove"), args[i], page); !error.isEmpty()) {
                return fail(error);
            }
            request.modifyPages.append(page);
            continue;
        }
        const QString name = Shown(args[i]);
        const Option* option = FindOption(table, name);
        if (option == nullptr) {
            return fail(QStringLiteral("unknown option \"%1\"").arg(name));
        }
        if ((option->scope & scope) == 0) {
            return fail(QStringLiteral("%1 does not apply to %2").arg(name, Shown(commandName)));
        }
        QByteArray value;
        if (option->takesValue) {
            if (i + 1 >= args.size()) {
                return fail(QStringLiteral("%1 needs a value").arg(name));
            }
            value = args[++i];
        }
        const QString error = option->set(request, value);
        if (!error.isEmpty()) {
            return fail(error);
        }
    }
    if (const QString error = CheckCombination(request); !error.isEmpty()) {
        return fail(error);
    }
    request.ad.bannerSize = request.size.value_or(300);
    request.ad.side = request.side;
    return {request, {}};
}

std::vector<DocumentedOption> DocumentedOptions() {
    std::vector<DocumentedOption> options;
    for (const Option& option : BuildOptionTable()) {
        DocumentedOption documented{option.name, {}, {}, option.doc};
        for (const CommandEntry& c : CommandTable()) {
            if ((option.scope & ScopeOf(c.command)) != 0) {
                documented.commands.append(c.doc.name);
            }
        }
        for (const OptionGroup& group : kOptionGroups) {
            if (option.scope == group.scope) {
                documented.group = Text(group.heading);
            }
        }
        if (documented.group.isEmpty()) {
            documented.group = QStringLiteral("Options of ") + documented.commands.join(QStringLiteral(", "));
        }
        options.push_back(std::move(documented));
    }
    return options;
}

std::vector<DocumentedCommand> DocumentedCommands() {
    std::vector<DocumentedCommand> commands;
    for (const CommandEntry& c : CommandTable()) {
        commands.push_back(c.doc);
    }
    return commands;
}
