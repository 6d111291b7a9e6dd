#include "CliOptions.h"

#include "TemplateImage.h"

#include <QFileInfo>
#include <QImageReader>

#include <functional>
#include <vector>

namespace {

using Command = CliRequest::Command;

// Which commands an option belongs to.
enum Scope : unsigned {
    kCompose = 1u << 0,
    kCode = 1u << 1,
    kGenerate = 1u << 2,
    kPreview = 1u << 3,
    kBanner = kCompose | kCode | kGenerate | kPreview,
    kAdvert = kCode | kGenerate | kPreview,
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
    default:
        return 0;
    }
}

// Sets a value on the request; returns an error text, or empty when the value was accepted.
using Setter = std::function<QString(CliRequest&, const QString&)>;

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
           Text("AD-OPTIONS BANNER-OPTIONS --modify PAGE [--modify PAGE ...]")},
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
    };
    return table;
}

QString ParseInt(const QString& name, const QString& value, int low, int high, int& out) {
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok) {
        return QStringLiteral("%1 needs a whole number, not \"%2\"").arg(name, value);
    }
    if (number < low || number > high) {
        return QStringLiteral("%1 must be between %2 and %3, not %4").arg(name).arg(low).arg(high).arg(number);
    }
    out = number;
    return {};
}

QString ParseColor(const QString& name, const QString& value, QRgb& out) {
    QString hex = value;
    if (hex.startsWith(QLatin1Char('#'))) {
        hex.remove(0, 1);
    }
    bool ok = hex.size() == 6;
    const uint rgb = ok ? hex.toUInt(&ok, 16) : 0;
    if (!ok) {
        return QStringLiteral("%1 needs a colour as six hexadecimal digits RRGGBB, not \"%2\"").arg(name, value);
    }
    // The colour swatch never hands on pure black; the CLI gives what the wizard would.
    out = rgb == 0 ? qRgb(10, 10, 10) : qRgb(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
    return {};
}

QString ReadTextFile(const QString& name, const QString& path, QString& out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("%1: cannot read \"%2\": %3").arg(name, path, file.errorString());
    }
    out = QString::fromUtf8(file.readAll());
    return {};
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

    add(QStringLiteral("--template"), true, kBanner, [](CliRequest& r, const QString& v) {
        r.templatePath = v;
        return QString();
    });
    describe("FILE", "the template GIF (default: the first shipped template)", Completion::File, "*.gif");
    add(QStringLiteral("--size"), true, kBanner, [](CliRequest& r, const QString& v) {
        int size = 0;
        QString error = ParseInt(QStringLiteral("--size"), v, 50, 500, size);
        r.size = size;
        return error;
    });
    describe("N", "edge length 50..500, applied as the editor's Resize (default 300)");
    add(QStringLiteral("--side"), true, kBanner, [](CliRequest& r, const QString& v) {
        if (v == QLatin1String("left")) {
            r.side = BannerSide::Left;
        } else if (v == QLatin1String("right")) {
            r.side = BannerSide::Right;
        } else {
            return QStringLiteral("--side must be \"left\" or \"right\", not \"%1\"").arg(v);
        }
        return QString();
    });
    describe("left|right", "the top corner the banner sits in (default right)", Completion::Words, "left right");
    for (int n = 1; n <= 3; ++n) {
        const size_t i = size_t(n - 1);
        const QString digit = QString::number(n);
        add(QStringLiteral("--line") + digit, true, kBanner, [i](CliRequest& r, const QString& v) {
            r.lines[i].text = v;
            r.lines[i].enabled = true;
            return QString();
        });
        describe("TEXT",
                 "text of line N (default \"Line 1\"); lines 2 and 3 are off until given, and line 3 needs line 2");
        add(QStringLiteral("--font") + digit, true, kBanner, [i](CliRequest& r, const QString& v) {
            if (v.trimmed().isEmpty()) {
                return QStringLiteral("--font%1 needs a font face name").arg(i + 1);
            }
            r.lines[i].font.faceName = v;
            return QString();
        });
        describe("FACE", "font face of line N (default \"Times New Roman\")");
        add(QStringLiteral("--pt") + digit, true, kBanner, [i](CliRequest& r, const QString& v) {
            return ParseInt(QStringLiteral("--pt%1").arg(i + 1), v, 1, 200, r.lines[i].font.height);
        });
        describe("N", "size of line N in points, 1..200 (default 18, 12, 10)");
        add(QStringLiteral("--color") + digit, true, kBanner, [i](CliRequest& r, const QString& v) {
            return ParseColor(QStringLiteral("--color%1").arg(i + 1), v, r.lines[i].color);
        });
        describe("RRGGBB", "colour of line N (default 000064, 006400, 640000); 000000 becomes 0A0A0A as in the editor");
        add(QStringLiteral("--offset") + digit, true, kBanner, [i](CliRequest& r, const QString& v) {
            return ParseInt(QStringLiteral("--offset%1").arg(i + 1), v, -5, 5, r.lines[i].offset);
        });
        describe("N", "vertical offset of line N, -5..5; 0 is auto");
        add(QStringLiteral("--bold") + digit, false, kBanner, [i](CliRequest& r, const QString&) {
            r.lines[i].font.weight = 700;
            return QString();
        });
        describe("", "bold line N");
        add(QStringLiteral("--italic") + digit, false, kBanner, [i](CliRequest& r, const QString&) {
            r.lines[i].font.italic = true;
            return QString();
        });
        describe("", "italic line N");
        add(QStringLiteral("--underline") + digit, false, kBanner, [i](CliRequest& r, const QString&) {
            r.lines[i].font.underline = true;
            return QString();
        });
        describe("", "underline line N");
        add(QStringLiteral("--strike") + digit, false, kBanner, [i](CliRequest& r, const QString&) {
            r.lines[i].font.strikeOut = true;
            return QString();
        });
        describe("", "strike line N through");
    }

    add(QStringLiteral("--link"), true, kAdvert, [](CliRequest& r, const QString& v) {
        r.ad.linkUrl = v;
        return QString();
    });
    describe("URL", "the address the banner links to (default \"link URL here\")");
    add(QStringLiteral("--title"), true, kAdvert, [](CliRequest& r, const QString& v) {
        r.ad.adTitle = v;
        return QString();
    });
    describe("TEXT", "the advert's title (default \"ad title here\")");
    add(QStringLiteral("--same-window"), false, kAdvert, [](CliRequest& r, const QString&) {
        r.ad.newWindow = false;
        return QString();
    });
    describe("", "open the link in the same window (default: a new window)");
    add(QStringLiteral("--custom-code"), true, kAdvert, [](CliRequest& r, const QString& v) {
        r.ad.customCodeEnabled = true;
        r.ad.customCode = v;
        return QString();
    });
    describe("TEXT", "custom HTML to put after the code block");
    add(QStringLiteral("--custom-code-file"), true, kAdvert, [](CliRequest& r, const QString& v) {
        r.ad.customCodeEnabled = true;
        return ReadTextFile(QStringLiteral("--custom-code-file"), v, r.ad.customCode);
    });
    describe("FILE", "custom HTML read from FILE", Completion::File);

    add(QStringLiteral("--gif"), true, kCompose, [](CliRequest& r, const QString& v) {
        r.gifPath = v;
        return QString();
    });
    describe("FILE", "save the banner as this GIF", Completion::File, "*.gif");
    add(QStringLiteral("--png"), true, kCompose, [](CliRequest& r, const QString& v) {
        r.pngPath = v;
        return QString();
    });
    describe("FILE", "save the composed banner as this PNG", Completion::File, "*.png");
    add(QStringLiteral("--css"), false, kCode, [](CliRequest& r, const QString&) {
        r.css = true;
        return QString();
    });
    describe("", "print the style sheet instead of the code block");
    add(QStringLiteral("--out"), true, kGenerate, [](CliRequest& r, const QString& v) {
        r.outFolder = v;
        return QString();
    });
    describe("FOLDER", "write a new page, the banner and the style sheet into FOLDER", Completion::Folder);
    add(QStringLiteral("--file"), true, kGenerate, [](CliRequest& r, const QString& v) {
        if (v.isEmpty() || v.contains(QLatin1Char('/'))) {
            return QStringLiteral("--file needs a file name without a folder, not \"%1\"").arg(v);
        }
        r.fileName = v;
        return QString();
    });
    describe("NAME", "the new page's file name (default VornetAdCode.html)");
    add(QStringLiteral("--modify"), true, kGenerate, [](CliRequest& r, const QString& v) {
        r.modifyPages.append(v);
        return QString();
    });
    describe("PAGE", "put the code block into PAGE, replacing an earlier one; may be repeated", Completion::File);
    add(QStringLiteral("--dir"), true, kPreview, [](CliRequest& r, const QString& v) {
        r.previewFolder = v;
        return QString();
    });
    describe("FOLDER", "write the preview files into FOLDER (default: a private folder of your own)",
             Completion::Folder);
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

QString CheckTemplate(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral("--template: \"%1\" does not exist").arg(path);
    }
    if (!info.isFile()) {
        return QStringLiteral("--template: \"%1\" is not a file").arg(path);
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (reader.format() != "gif" || !reader.canRead()) {
        return QStringLiteral("--template: \"%1\" is not a GIF image").arg(path);
    }
    const QSize size = reader.size();
    if (size.width() > kMaxTemplateEdge || size.height() > kMaxTemplateEdge) {
        return QStringLiteral("--template: \"%1\" is larger than %2 x %2 pixels").arg(path).arg(kMaxTemplateEdge);
    }
    return {};
}

// Checks what single options cannot: which options a command needs together.
QString CheckCombination(const CliRequest& r) {
    switch (r.command) {
    case Command::Compose:
        if (r.gifPath.isEmpty() == r.pngPath.isEmpty()) {
            return QStringLiteral("compose needs exactly one of --gif FILE and --png FILE");
        }
        break;
    case Command::Generate:
        if (r.outFolder.isEmpty() == r.modifyPages.isEmpty()) {
            return QStringLiteral("generate needs either --out FOLDER or one or more --modify PAGE");
        }
        break;
    default:
        break;
    }
    if (r.lines[2].enabled && !r.lines[1].enabled) {
        return QStringLiteral("--line3 needs --line2, as in the editor");
    }
    if (!r.templatePath.isEmpty()) {
        return CheckTemplate(r.templatePath);
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

ParseResult ParseCommandLine(const QStringList& args) {
    auto fail = [](const QString& message) {
        return ParseResult{std::nullopt, message};
    };
    if (args.isEmpty()) {
        return fail(QStringLiteral("no command given"));
    }

    CliRequest request = DefaultRequest();
    const QString& commandName = args.constFirst();
    if (commandName == QLatin1String("--help") || commandName == QLatin1String("-h")) {
        request.command = Command::Help;
        return {request, {}};
    }
    if (commandName == QLatin1String("--version")) {
        request.command = Command::Version;
        return {request, {}};
    }
    bool known = false;
    for (const CommandEntry& c : CommandTable()) {
        if (commandName == c.doc.name) {
            request.command = c.command;
            known = true;
        }
    }
    if (!known) {
        return fail(QStringLiteral("unknown command \"%1\"").arg(commandName));
    }

    if (request.command == Command::Templates) {
        if (args.size() > 2) {
            return fail(QStringLiteral("templates takes at most one folder"));
        }
        if (args.size() == 2) {
            if (args[1].startsWith(QLatin1String("--"))) {
                return fail(QStringLiteral("unknown option \"%1\" for templates").arg(args[1]));
            }
            request.templatesFolder = args[1];
        }
        return {request, {}};
    }

    static const std::vector<Option> table = BuildOptionTable();
    const unsigned scope = ScopeOf(request.command);
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& name = args[i];
        const Option* option = FindOption(table, name);
        if (option == nullptr) {
            return fail(QStringLiteral("unknown option \"%1\"").arg(name));
        }
        if ((option->scope & scope) == 0) {
            return fail(QStringLiteral("%1 does not apply to %2").arg(name, commandName));
        }
        QString value;
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
