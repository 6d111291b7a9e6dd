#include "cli/CliOptions.h"

#include "design/DesignFile.h"
#include "design/HexColor.h"
#include "files/FileNames.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "files/SiteWalk.h"
#include "templatemaker/TemplateMaker.h"
#include "templates/UserTemplates.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

using Command = CliRequest::Command;

// Which commands an option belongs to.
enum Scope : unsigned {
    kCompose = 1u << 0,
    kCode = 1u << 1,
    kGenerate = 1u << 2,
    kPreview = 1u << 3,
    kDesign = 1u << 4,
    kRemove = 1u << 5,
    kMakeTemplate = 1u << 6,
    kBanner = kCompose | kCode | kGenerate | kPreview | kDesign,
    kAdvert = kCode | kGenerate | kPreview | kDesign | kRemove,
    kTarget = kGenerate | kDesign,
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
    case Command::Design:
        return kDesign;
    case Command::Remove:
        return kRemove;
    case Command::MakeTemplate:
        return kMakeTemplate;
    default:
        return 0;
    }
}

// The request while the options are read, with what only the reading needs to know.
struct Parsing {
    CliRequest r;
    // Given on the command line, these replace the design's target whole.
    QString outFolder;
    QStringList modifyPages;
    bool fileGiven = false;
    // The user vouches for the design's output: it may name files that are not web pages.
    bool trustDesign = false;
    // A --design was read: its output is the target where the command line names none.
    bool designRead = false;
    // The design file that could not be read, when that is why the command line is refused.
    QString refusedDesign;
};

// Sets a value (the argument's bytes) on the request; returns an error text, or empty when the
// value was accepted.
using Setter = std::function<QString(Parsing&, const QByteArray&)>;

// What follows an option: nothing, a word of text or a number, or a name of a file or folder.
// A name of a page in the output folder (--file) is a name without a folder.
enum class Value { None, Word, Name, File, Folder };

struct Option {
    QString name;
    Value value = Value::Word;
    unsigned scope = 0;
    Setter set;
    OptionDoc doc;
    QString heading;  // the group the help lists it under, when not the one of its scope
    // Where a run writes or reads its files: a second one would silently leave the first out, where
    // a second setting (--size) only overrides one, as a design's settings are overridden.
    bool once = false;
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
          Text("print the code block that the generate run would insert, or with --css the style sheet, or with "
               "--csp-hash what a Content-Security-Policy must allow for it"),
          {Text("AD-OPTIONS BANNER-OPTIONS [--css | --csp-hash]")},
          {}}},
        {Command::Generate,
         {Text("generate"),
          Text("write the banner, the style sheet and a new page into a folder, or put the code block into "
               "existing pages; with a design and no --out, --modify or --site, where the design's output says"),
          {Text("AD-OPTIONS BANNER-OPTIONS --out FOLDER [--file NAME]"),
           Text("AD-OPTIONS BANNER-OPTIONS --modify PAGE [--modify PAGE ...]"),
           Text("AD-OPTIONS BANNER-OPTIONS --site DIR [--match GLOBS] [--exclude GLOBS]"),
           Text("--design FILE [--trust-design] [AD-OPTIONS BANNER-OPTIONS]")},
          {}}},
        {Command::Preview,
         {Text("preview"),
          Text("write the preview page and print its path"),
          {Text("AD-OPTIONS BANNER-OPTIONS [--dir FOLDER]")},
          {}}},
        {Command::Templates,
         {Text("templates"),
          Text("list the templates of FOLDER (default: the shipped ones, then your own), one full path per line"),
          {Text("[FOLDER]")},
          {Text("FOLDER"), Text("a folder of templates"), Completion::Folder, {}}}},
        {Command::Design,
         {Text("design"),
          Text("write the settings (a design file's, then the options') as a design file"),
          {Text("AD-OPTIONS BANNER-OPTIONS [--design FILE] --save FILE")},
          {}}},
        {Command::Remove,
         {Text("remove"),
          Text("take the advert out of pages; a page without one is not touched, and the image and the style "
               "sheet stay, since other pages may use them"),
          {Text("[AD-OPTIONS] PAGE..."), Text("[AD-OPTIONS] --site DIR [--match GLOBS] [--exclude GLOBS]"),
           Text("--design FILE [AD-OPTIONS]")},
          {Text("PAGE"), Text("a page to take the advert out of"), Completion::File, {}}}},
        {Command::MakeTemplate,
         {Text("make-template"),
          Text("draw a template in a style and your colours, as the wizard's \"New template\" does, and save it as "
               "NAME.gif with its 2x companion NAME@2x.gif, and without shadow as NAMEb.gif and NAMEb@2x.gif where "
               "the style has a shadow; each file is replaced whole"),
          {Text("--style STYLE [--colorN RRGGBB ...] --save NAME.gif")},
          {}}},
    };
    return table;
}

// A value for messages: text as it is, other bytes escaped.
QString Shown(const QByteArray& value) {
    return PrintableName(value);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whole numbers are ASCII digits, perhaps after a minus sign: no blanks, no plus sign, no other
// bases. A negative number where none is allowed is told the range, like any number outside it.
QString ParseInt(const QString& name, const QByteArray& value, int low, int high, int& out) {
    const bool negative = value.startsWith('-');
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

// A colour as six hexadecimal digits RRGGBB, with or without one '#'. Bytes that are not ASCII
// become letters that are no hexadecimal digits, so they are refused.
QString ParseRgb(const QString& name, const QByteArray& value, QRgb& out) {
    const std::optional<QRgb> color = ReadHexColor(QString::fromLatin1(value), HexNotation::CommandLine);
    if (!color) {
        return QStringLiteral("%1 needs a colour as six hexadecimal digits RRGGBB, not \"%2\"").arg(name, Shown(value));
    }
    out = *color;
    return {};
}

QString ParseColor(const QString& name, const QByteArray& value, QRgb& out) {
    QString error = ParseRgb(name, value, out);
    // The colour swatch never hands on pure black; the CLI gives what the wizard would.
    out = Design::LineColor(out);
    return error;
}

// A setting that is text: UTF-8, taken as it is.
QString ParseText(const QString& name, const QByteArray& value, QString& out) {
    std::optional<QString> text = Utf8Text(value);
    if (!text) {
        return QStringLiteral("%1 needs UTF-8 text, not \"%2\"").arg(name, Shown(value));
    }
    out = std::move(*text);
    return {};
}

// Comma-separated name patterns, as --match and --exclude take them, into `out`.
QString ParsePatterns(const QString& name, const QByteArray& value, QString& out) {
    QString text;
    if (QString error = ParseText(name, value, text); !error.isEmpty()) {
        return error;
    }
    if (const PagePatterns patterns = PagePatterns::Parse(text); !patterns.error.isEmpty()) {
        return name + QStringLiteral(": ") + patterns.error;
    }
    out = text;
    return QString();
}

// What a value of `kind` is called in messages.
QString KindText(Value kind) {
    return kind == Value::Folder ? QStringLiteral("a folder") : QStringLiteral("a file name");
}

// A file name goes through as its bytes; one that Qt's conversion would alter names another file,
// so it is refused. So is a relative one where the current folder cannot be named: taken from the
// root instead, `--site .` would walk the whole disk. A Name is the output folder's, not the
// current folder's.
QString ParsePath(const QString& name, const QByteArray& value, QString& out, Value kind = Value::File) {
    if (value.isEmpty()) {
        return QStringLiteral("%1 needs %2").arg(name, KindText(kind));
    }
    const bool fromCurrentFolder = kind != Value::Name;
    std::optional<QString> path = DecodedName(value);
    if (!path) {
        return QStringLiteral("%1: the name \"%2\" is not valid UTF-8 text, so it cannot be used")
            .arg(name, Shown(value));
    }
    if (fromCurrentFolder && !path->startsWith(u'/')) {
        if (const QString problem = CurrentFolderProblem(); !problem.isEmpty()) {
            return QStringLiteral("%1: \"%2\" is taken from the current folder, but %3").arg(name, *path, problem);
        }
        // Qt would take it for one of the program's own resources, and look at no file of the user's.
        if (path->startsWith(u':')) {
            path->prepend(u"./");
        }
    }
    out = std::move(*path);
    return {};
}

QString SetCustomCode(Parsing& p, const QString& name, const QByteArray& code) {
    // A zero byte would make the page unreadable to every later run; code larger than a design keeps
    // could not be given to a later run to take it out again.
    if (const QString problem = Design::CustomCodeProblem(code); !problem.isEmpty()) {
        // Most often a file saved as UTF-16, which a page of 8-bit text cannot take either.
        const bool utf16 = code.contains('\0') && (code.startsWith("\xFF\xFE") || code.startsWith("\xFE\xFF"));
        return QStringLiteral("%1: custom code %2%3")
            .arg(name, problem,
                 utf16 ? QStringLiteral("; it is UTF-16 text (a byte-order mark): save it as UTF-8") : QString());
    }
    p.r.design.customCodeEnabled = true;
    p.r.design.customCode = code;
    return {};
}

QString ReadCustomCode(Parsing& p, const QByteArray& value) {
    const QString name = QStringLiteral("--custom-code-file");
    QString path;
    if (QString error = ParsePath(name, value, path); !error.isEmpty()) {
        return error;
    }
    const FileBytes file = ReadRegularFile(path, Design::kMaxCustomCodeBytes);
    if (!file.status.Ok()) {
        return QStringLiteral("%1: \"%2\": %3").arg(name, path, file.status.error);
    }
    return SetCustomCode(p, QStringLiteral("%1: \"%2\"").arg(name, path), file.bytes);
}

// The design is read before every other option, whatever their order, so that they change it.
QString ReadDesignFile(Parsing& p, const QByteArray& value) {
    const QString name = QStringLiteral("--design");
    QString path;
    if (QString error = ParsePath(name, value, path); !error.isEmpty()) {
        return error;
    }
    DesignRead read = ReadDesign(path);
    if (!read.status.Ok()) {
        p.refusedDesign = path;
        return QStringLiteral("%1: \"%2\": %3").arg(name, path, read.status.error);
    }
    p.r.design = std::move(read.design);
    p.r.designCustomCode = p.r.design.customCode;
    p.designRead = true;
    return {};
}

// Builds the option table in the order the help lists it.
class OptionTable {
public:
    void Add(const QString& name, Value value, unsigned scope, Setter set) {
        table.push_back({name, value, scope, std::move(set), {}, {}, false});
    }
    // An option that takes a path of `kind` and keeps it where `field` says.
    void AddPath(const QString& name, Value kind, unsigned scope, QString& (*field)(Parsing&)) {
        Add(name, kind, scope,
            [name, kind, field](Parsing& p, const QByteArray& v) { return ParsePath(name, v, field(p), kind); });
        table.back().once = true;
    }
    // Documents the option added last; options that differ only in their line number share a text.
    void Describe(const char* valueName, const QString& help, Completion completion = Completion::None,
                  const char* choices = "") {
        table.back().doc = {Text(valueName), help, completion, Text(choices)};
    }
    Option& Last() { return table.back(); }
    std::vector<Option> Take() { return std::move(table); }

private:
    std::vector<Option> table;
};

// The design file, the template, the banner's size and corner.
void AddBannerOptions(OptionTable& t) {
    t.Add(QStringLiteral("--design"), Value::File, kBanner | kRemove, ReadDesignFile);
    t.Last().once = true;
    t.Describe("FILE", QStringLiteral("read the settings from this design first; the other options change single ones"),
               Completion::File, "*.vornetad");
    t.Last().heading = QStringLiteral("Design options");
    t.Add(QStringLiteral("--template"), Value::File, kBanner, [](Parsing& p, const QByteArray& v) {
        QString path;
        QString error = ParsePath(QStringLiteral("--template"), v, path);
        // Such a name has no file name, and the design would take it for no template at all: the
        // banner drawn on the first shipped one, as if nothing had been given (a shell completes a
        // folder's name with this separator).
        const QString last = path.section(u'/', -1);
        if (error.isEmpty() && (last.isEmpty() || last == u"." || last == u"..")) {
            error = QStringLiteral("--template: \"%1\" names a folder, not a template GIF").arg(PrintableText(path));
        }
        p.r.design.SetTemplatePath(path);
        p.r.templateOption = true;
        return error;
    });
    t.Describe("FILE", Text("the template GIF (default: the first shipped template)"), Completion::File, "*.gif");
    t.Add(QStringLiteral("--size"), Value::Word, kBanner, [](Parsing& p, const QByteArray& v) {
        int size = 0;
        QString error = ParseInt(QStringLiteral("--size"), v, Banner::kMinSize, Banner::kMaxSize, size);
        p.r.design.size = size;
        p.r.design.cropOffset.reset();
        return error;
    });
    t.Describe("N",
               QStringLiteral("edge length %1..%2, applied as the editor's Resize, which centres the square on the "
                              "template (default: %3, cut from the template's top-left corner, as the first banner "
                              "of the editor is)")
                   .arg(Banner::kMinSize)
                   .arg(Banner::kMaxSize)
                   .arg(Banner::kInitialSize));
    t.Add(QStringLiteral("--side"), Value::Word, kBanner, [](Parsing& p, const QByteArray& v) {
        if (v == "left") {
            p.r.design.side = BannerSide::Left;
        } else if (v == "right") {
            p.r.design.side = BannerSide::Right;
        } else {
            return QStringLiteral("--side must be \"left\" or \"right\", not \"%1\"").arg(Shown(v));
        }
        return QString();
    });
    t.Describe("left|right", Text("the top corner the banner sits in (default right)"), Completion::Words,
               "left right");
}

// The options of text line `n` (1 to 3).
void AddLineOptions(OptionTable& t, int n) {
    const Design defaults;
    const auto& lines = defaults.lines;
    const size_t i = size_t(n - 1);
    const QString digit = QString::number(n);
    t.Add(QStringLiteral("--line") + digit, Value::Word, kBanner, [i](Parsing& p, const QByteArray& v) {
        p.r.design.lines[i].enabled = true;
        return ParseText(QStringLiteral("--line%1").arg(i + 1), v, p.r.design.lines[i].text);
    });
    t.Describe("TEXT", QStringLiteral("text of line N (default \"%1\"); lines 2 and 3 are off until given, and "
                                      "line 3 needs line 2")
                           .arg(lines[0].text));
    t.Add(QStringLiteral("--font") + digit, Value::Word, kBanner, [i](Parsing& p, const QByteArray& v) {
        const QString name = QStringLiteral("--font%1").arg(i + 1);
        QString& face = p.r.design.lines[i].font.faceName;
        const QString error = ParseText(name, v, face);
        // Blanks of any script name no face, as a design says, which no design could then keep.
        if (error.isEmpty() && face.trimmed().isEmpty()) {
            return QStringLiteral("%1 needs a font face name").arg(name);
        }
        return error;
    });
    t.Describe("FACE", QStringLiteral("font face of line N (default \"%1\")").arg(lines[0].font.faceName));
    t.Add(QStringLiteral("--pt") + digit, Value::Word, kBanner, [i](Parsing& p, const QByteArray& v) {
        return ParseInt(QStringLiteral("--pt%1").arg(i + 1), v, Design::kMinPoints, Design::kMaxPoints,
                        p.r.design.lines[i].font.height);
    });
    t.Describe("N", QStringLiteral("size of line N in points, %1..%2 (default %3, %4, %5)")
                        .arg(Design::kMinPoints)
                        .arg(Design::kMaxPoints)
                        .arg(lines[0].font.height)
                        .arg(lines[1].font.height)
                        .arg(lines[2].font.height));
    t.Add(QStringLiteral("--color") + digit, Value::Word, kBanner, [i](Parsing& p, const QByteArray& v) {
        return ParseColor(QStringLiteral("--color%1").arg(i + 1), v, p.r.design.lines[i].color);
    });
    const auto hex = [](QRgb color) {
        return WriteHexColor(color, HexNotation::CommandLine);
    };
    t.Describe("RRGGBB",
               QStringLiteral("colour of line N (default %1, %2, %3); 000000 becomes %4 as in the editor")
                   .arg(hex(lines[0].color), hex(lines[1].color), hex(lines[2].color), hex(Design::kBlackReplacement)));
    t.Add(QStringLiteral("--offset") + digit, Value::Word, kBanner, [i](Parsing& p, const QByteArray& v) {
        return ParseInt(QStringLiteral("--offset%1").arg(i + 1), v, Design::kMinOffset, Design::kMaxOffset,
                        p.r.design.lines[i].offset);
    });
    t.Describe(
        "N",
        QStringLiteral("vertical offset of line N, %1..%2; 0 is auto").arg(Design::kMinOffset).arg(Design::kMaxOffset));
    // The four styles a line takes, each a switch.
    const struct {
        const char* name;
        const char* help;
        void (*set)(BannerFont&);
    } styles[] = {
        {"--bold", "bold line N",
         [](BannerFont& font) {
             font.weight = BannerFont::kBold;
         }},
        {"--italic", "italic line N",
         [](BannerFont& font) {
             font.italic = true;
         }},
        {"--underline", "underline line N",
         [](BannerFont& font) {
             font.underline = true;
         }},
        {"--strike", "strike line N through",
         [](BannerFont& font) {
             font.strikeOut = true;
         }},
    };
    for (const auto& style : styles) {
        t.Add(QLatin1String(style.name) + digit, Value::None, kBanner,
              [i, set = style.set](Parsing& p, const QByteArray&) {
                  set(p.r.design.lines[i].font);
                  return QString();
              });
        t.Describe("", Text(style.help));
    }
    // A design's settings are changed beside --design; these switches turn off what it turned on.
    t.Add(QStringLiteral("--plain") + digit, Value::None, kBanner, [i](Parsing& p, const QByteArray&) {
        BannerFont& font = p.r.design.lines[i].font;
        font.weight = 0;  // as a design file stores "bold": false
        font.italic = font.underline = font.strikeOut = false;
        return QString();
    });
    t.Describe("", Text("line N neither bold, italic, underlined nor struck through"));
    // Line 1 is always shown.
    if (n > 1) {
        t.Add(QStringLiteral("--no-line") + digit, Value::None, kBanner, [i](Parsing& p, const QByteArray&) {
            // As in the editor, line 3 goes with line 2.
            for (size_t later = i; later < p.r.design.lines.size(); ++later) {
                p.r.design.lines[later].enabled = false;
            }
            return QString();
        });
        t.Describe("", Text("leave out line N (2 or 3) and the lines after it"));
    }
}

// The link, the title, the window, the custom code and the options for today's pages.
void AddAdvertOptions(OptionTable& t) {
    const Design defaults;
    t.Add(QStringLiteral("--link"), Value::Word, kAdvert,
          [](Parsing& p, const QByteArray& v) { return ParseText(QStringLiteral("--link"), v, p.r.design.linkUrl); });
    t.Describe("URL", QStringLiteral("the address the banner links to (default \"%1\")").arg(defaults.linkUrl));
    t.Add(QStringLiteral("--title"), Value::Word, kAdvert,
          [](Parsing& p, const QByteArray& v) { return ParseText(QStringLiteral("--title"), v, p.r.design.adTitle); });
    t.Describe("TEXT", QStringLiteral("the advert's title (default \"%1\")").arg(defaults.adTitle));
    t.Add(QStringLiteral("--same-window"), Value::None, kAdvert, [](Parsing& p, const QByteArray&) {
        p.r.design.newWindow = false;
        return QString();
    });
    t.Describe("", Text("open the link in the same window (default: a new window)"));
    t.Add(QStringLiteral("--new-window"), Value::None, kAdvert, [](Parsing& p, const QByteArray&) {
        p.r.design.newWindow = true;
        return QString();
    });
    t.Describe("", Text("open the link in a new window"));
    t.Add(QStringLiteral("--custom-code"), Value::Word, kAdvert,
          [](Parsing& p, const QByteArray& v) { return SetCustomCode(p, QStringLiteral("--custom-code"), v); });
    t.Describe("TEXT", Text("custom HTML to put after the code block"));
    t.Add(QStringLiteral("--custom-code-file"), Value::File, kAdvert, ReadCustomCode);
    t.Describe("FILE", Text("custom HTML read from FILE"), Completion::File);
    t.Add(QStringLiteral("--no-custom-code"), Value::None, kAdvert, [](Parsing& p, const QByteArray&) {
        p.r.design.customCodeEnabled = false;
        return QString();
    });
    t.Describe("", Text("put no custom HTML after the code block"));

    // The options for today's pages; each is off unless given.
    static constexpr PageOptionText help[] = {
        {&PageOptions::clickThrough,
         "only the diagonal strip takes clicks; the rest of the square lets them reach the page below"},
        {&PageOptions::hidpi,
         "add VornetAdMap@2x.gif, the banner at twice the size, for sharp high-resolution screens"},
        {&PageOptions::fixed, "keep the banner in the window's corner while the page scrolls"},
        {&PageOptions::noPrint, "leave the banner out when the page is printed"},
        {&PageOptions::staticMarkup, "write the banner's markup and a link to the style sheet instead of a script, "
                                     "for pages whose Content-Security-Policy refuses inline scripts and styles"},
    };
    static_assert(InPageOptionOrder(help));
    for (size_t i = 0; i < std::size(kPageOptions); ++i) {
        t.Add(Text(kPageOptions[i].onFlag), Value::None, kAdvert,
              [member = kPageOptions[i].member](Parsing& p, const QByteArray&) {
                  p.r.design.options.*member = true;
                  return QString();
              });
        t.Describe("", Text(help[i].text));
    }
    for (const PageOptionNames& option : kPageOptions) {
        t.Add(Text(option.offFlag), Value::None, kAdvert, [member = option.member](Parsing& p, const QByteArray&) {
            p.r.design.options.*member = false;
            return QString();
        });
        t.Describe("", QStringLiteral("turn %1 off where a design turned it on").arg(Text(option.onFlag)));
    }
}

// Where the output goes: the files of compose, code's forms, the generate and preview targets.
void AddOutputOptions(OptionTable& t) {
    t.AddPath(QStringLiteral("--gif"), Value::File, kCompose, [](Parsing& p) -> QString& { return p.r.gifPath; });
    t.Describe("FILE", Text("save the banner as this GIF"), Completion::File, "*.gif");
    t.AddPath(QStringLiteral("--png"), Value::File, kCompose, [](Parsing& p) -> QString& { return p.r.pngPath; });
    t.Describe("FILE", Text("save the composed banner as this PNG"), Completion::File, "*.png");
    t.Add(QStringLiteral("--css"), Value::None, kCode, [](Parsing& p, const QByteArray&) {
        p.r.css = true;
        return QString();
    });
    t.Describe("", Text("print the style sheet instead of the code block"));
    t.Add(QStringLiteral("--csp-hash"), Value::None, kCode, [](Parsing& p, const QByteArray&) {
        p.r.cspHash = true;
        return QString();
    });
    t.Describe("", Text("print what a Content-Security-Policy must allow for the block, one line per directive "
                        "such as script-src 'sha256-...': its inline script and style, and the site's own files "
                        "('self') for its style sheet and image; with --static those files alone"));
    t.AddPath(QStringLiteral("--out"), Value::Folder, kTarget, [](Parsing& p) -> QString& { return p.outFolder; });
    t.Describe("FOLDER", Text("write a new page, the banner and the style sheet into FOLDER"), Completion::Folder);
    t.Add(QStringLiteral("--file"), Value::Name, kTarget, [](Parsing& p, const QByteArray& v) {
        QString name;
        if (QString error = ParsePath(QStringLiteral("--file"), v, name, Value::Name); !error.isEmpty()) {
            return error;
        }
        if (!Design::IsPlainFileName(name)) {
            return QStringLiteral("--file needs a file name without a folder, not \"%1\"").arg(Shown(v));
        }
        p.r.design.fileName = name;
        p.fileGiven = true;
        return QString();
    });
    t.Last().once = true;
    t.Describe("NAME", QStringLiteral("the new page's file name (default %1)").arg(Design().fileName));
    t.Add(QStringLiteral("--modify"), Value::File, kTarget, [](Parsing& p, const QByteArray& v) {
        QString page;
        QString error = ParsePath(QStringLiteral("--modify"), v, page);
        p.modifyPages.append(page);
        return error;
    });
    t.Describe("PAGE",
               Text("put the code block into PAGE, replacing an earlier one; may be repeated; a PAGE that does not "
                    "exist yet is made from the sample page"),
               Completion::File);
    t.AddPath(QStringLiteral("--dir"), Value::Folder, kPreview,
              [](Parsing& p) -> QString& { return p.r.previewFolder; });
    t.Describe("FOLDER", Text("write the preview files into FOLDER (default: a private folder of your own)"),
               Completion::Folder);
    t.AddPath(QStringLiteral("--save"), Value::File, kDesign | kMakeTemplate,
              [](Parsing& p) -> QString& { return p.r.savePath; });
    t.Describe("FILE", Text("write the design (design) or the template (make-template, a name ending in .gif) to FILE"),
               Completion::File);
    t.Add(QStringLiteral("--site"), Value::Folder, kSite, [](Parsing& p, const QByteArray& v) {
        QString folder;
        QString error = ParsePath(QStringLiteral("--site"), v, folder, Value::Folder);
        p.r.siteFolders.append(folder);
        return error;
    });
    t.Describe("DIR",
               Text("take the pages of the whole folder tree DIR, folder by folder in sorted order; hidden folders "
                    "and files (.name) and linked folders are not entered, so the walk cannot loop; linked pages are "
                    "pages; may be repeated, each page is taken once"),
               Completion::Folder);
    t.Add(QStringLiteral("--match"), Value::Word, kSite,
          [](Parsing& p, const QByteArray& v) { return ParsePatterns(QStringLiteral("--match"), v, p.r.siteMatch); });
    t.Last().once = true;
    t.Describe("GLOBS", Text("which files of --site are pages: comma-separated name patterns with *, ? and [abc], "
                             "in any letter case, [,] for a comma (default %1; for remove, %2); for generate, %3")
                            .arg(QLatin1String(PagePatterns::kDefault), QLatin1String(PagePatterns::kRemovalDefault),
                                 QLatin1String(kNeverPages)));
    t.Add(QStringLiteral("--exclude"), Value::Word, kSite, [](Parsing& p, const QByteArray& v) {
        return ParsePatterns(QStringLiteral("--exclude"), v, p.r.siteExclude);
    });
    t.Last().once = true;
    t.Describe("GLOBS", Text("pages and folders of --site to pass over: name patterns as --match takes them (a page "
                             "the run always refuses, such as a page of frames, or a folder of drafts); a pattern "
                             "that passes over nothing is named in a note"));
    t.Add(QStringLiteral("--dry-run"), Value::None, kGenerate | kRemove, [](Parsing& p, const QByteArray&) {
        p.r.dryRun = true;
        return QString();
    });
    t.Describe("", Text("write nothing, but list the files the run would write and report those it would fail "
                        "at, as the run itself would (what only writing shows, such as a full disk, is not known)"));
    t.Add(QStringLiteral("--trust-design"), Value::None, kGenerate, [](Parsing& p, const QByteArray&) {
        p.trustDesign = true;
        return QString();
    });
    t.Describe("", Text("let the --design's output name files that are not web pages by their names (such as "
                        "page.php); without it such a design is refused, since anyone may have written it"));
}

// make-template's style and colours.
void AddTemplateOptions(OptionTable& t) {
    QStringList styles;
    for (const TemplateStyle& style : TemplateStyles()) {
        styles.append(style.name);
    }
    t.Add(QStringLiteral("--style"), Value::Word, kMakeTemplate, [](Parsing& p, const QByteArray& v) {
        const QString style = Utf8Text(v).value_or(QString());
        if (FindTemplateStyle(style) == nullptr) {
            return QStringLiteral("--style: no style \"%1\"; the styles are listed by --help").arg(Shown(v));
        }
        p.r.templateStyle = style;
        return QString();
    });
    t.Last().doc = {Text("STYLE"), QStringLiteral("the template's style: ") + styles.join(QStringLiteral(", ")),
                    Completion::Words, styles.join(u' ')};
    for (int n = 1; n <= 3; ++n) {
        const size_t i = size_t(n - 1);
        t.Add(QStringLiteral("--color%1").arg(n), Value::Word, kMakeTemplate, [i](Parsing& p, const QByteArray& v) {
            QRgb color = 0;
            QString error = ParseRgb(QStringLiteral("--color%1").arg(i + 1), v, color);
            p.r.templateColors[i] = color;
            return error;
        });
        t.Describe("RRGGBB", Text("colour N of the style, hexadecimal red-green-blue (default: the style's own)"));
    }
}

std::vector<Option> BuildOptionTable() {
    OptionTable t;
    AddBannerOptions(t);
    for (int n = 1; n <= 3; ++n) {
        AddLineOptions(t, n);
    }
    AddAdvertOptions(t);
    AddOutputOptions(t);
    AddTemplateOptions(t);
    return t.Take();
}

// The option of that name for a command of `scope`; one of that name for other commands when
// there is none (the caller then says it does not apply); null when there is no such option.
const Option* FindOption(const std::vector<Option>& table, const QString& name, unsigned scope) {
    const Option* other = nullptr;
    for (const Option& option : table) {
        if (option.name == name && (option.scope & scope) != 0) {
            return &option;
        }
        if (option.name == name && other == nullptr) {
            other = &option;
        }
    }
    return other;
}

// The name of the option `word` is, or is with a value after "=", or empty when it is none.
QString OptionNamed(const std::vector<Option>& table, const QByteArray& word) {
    const QString name = Shown(word.first(word.contains('=') ? word.indexOf('=') : word.size()));
    const bool ours = name == u"--help" || name == u"-h" || name == u"--version" ||
                      std::any_of(table.begin(), table.end(), [&](const Option& o) { return o.name == name; });
    return ours ? name : QString();
}

// Why the word after an option that takes a value cannot be its value; empty where it can. The word
// is the value even when it looks like an option: an option given there by mistake, its own value
// forgotten (`--modify --hidpi`, `--link $EMPTY --same-window`), would make a file of that name, or
// a banner or link of that text, and be lost itself. So a value that is one of our options is
// refused; --opt=VALUE means the value. Other words with a "-" in front are values (`--offset1 -5`,
// `--title --`), but for files: after an option that reads a file or a folder, a word starting "--"
// is taken only where one of that name is there, and after one that names a file to write, never;
// ./NAME (or --file=NAME, for a name in the output folder) means a file named so.
QString ValueRefusal(const std::vector<Option>& table, const Option& option, const QByteArray& word) {
    if (option.value == Value::None) {
        return {};
    }
    const QString known = OptionNamed(table, word);
    if (option.value == Value::Word) {
        return known.isEmpty() ? QString()
                               : QStringLiteral("%1 needs a value, not the option \"%2\"; for a value that reads so, "
                                                "write %1=%2")
                                     .arg(option.name, Shown(word));
    }
    struct stat info {};
    if (known.isEmpty() &&
        (!word.startsWith("--") || (option.value != Value::Name && ::lstat(word.constData(), &info) == 0))) {
        return {};
    }
    const QString meant = (option.value == Value::Name ? option.name + u'=' : QStringLiteral("./")) + Shown(word);
    const QString shown =
        known.isEmpty()
            ? QStringLiteral("\"%1\", which looks like an option%2")
                  .arg(Shown(word), option.value == Value::Name ? QString() : QStringLiteral(" and names nothing here"))
            : QStringLiteral("the option \"%1\"").arg(Shown(word));
    return QStringLiteral("%1 needs %2, not %3; for a %4 named so, write %5")
        .arg(option.name, KindText(option.value), shown,
             option.value == Value::Folder ? QStringLiteral("folder") : QStringLiteral("file"), meant);
}

// Puts a target given on the command line in the design's place, with full paths, so that every
// path printed is one and a saved design does not depend on the folder it was made in.
QString SetTarget(Parsing& p) {
    Design& design = p.r.design;
    const bool remove = p.r.command == Command::Remove;
    const bool site = !p.r.siteFolders.isEmpty();
    if (int(!p.outFolder.isEmpty()) + int(!p.modifyPages.isEmpty()) + int(site) > 1) {
        return remove ? QStringLiteral("remove needs either pages or --site DIR, not both")
                      : QStringLiteral("either --out FOLDER, --modify PAGE or --site DIR, not two of them");
    }
    if (!p.r.siteMatch.isEmpty() && !site) {
        return QStringLiteral("--match needs --site");
    }
    if (!p.r.siteExclude.isEmpty() && !site) {
        return QStringLiteral("--exclude needs --site");
    }
    if (!p.outFolder.isEmpty()) {
        design.mode = OutputMode::Create;
        design.outputFolder = WholeFolderPath(p.outFolder);
    } else if (!p.modifyPages.isEmpty() || site) {
        // The site's pages are found when the run starts.
        design.mode = remove ? OutputMode::Remove : OutputMode::Modify;
        design.pages.clear();
        for (const QString& page : std::as_const(p.modifyPages)) {
            design.pages.append(WholePath(page));
        }
    } else if (remove && design.mode == OutputMode::Modify) {
        // A design's pages are where its advert went, so where it comes off again.
        design.mode = OutputMode::Remove;
    }
    p.r.pagesGiven = !p.modifyPages.isEmpty();
    const bool usable =
        design.mode == OutputMode::Create ? !design.outputFolder.isEmpty() : !design.pages.isEmpty() || site;
    if (remove && p.designRead && design.mode == OutputMode::Create) {
        // Such a design may still list the pages of an earlier mode, which it does not run over.
        return design.pages.isEmpty()
                   ? QStringLiteral("remove needs one or more pages or --site DIR: the design's output makes a new "
                                    "page, and lists no pages to take the advert out of")
                   : QStringLiteral("remove needs one or more pages or --site DIR: the design's output makes a new "
                                    "page, so the pages it lists are not its output; give them, or the page it "
                                    "makes, on the command line");
    }
    if (remove && !(usable && design.mode == OutputMode::Remove)) {
        return QStringLiteral("remove needs one or more pages, --site DIR, or a design that lists pages");
    }
    if (p.r.command == Command::Generate && usable && design.mode == OutputMode::Remove) {
        return QStringLiteral("generate cannot use a design whose output takes the advert out of pages: run remove "
                              "with it, or give --out FOLDER, --modify PAGE or --site DIR");
    }
    if (p.r.command == Command::Generate && !usable) {
        return QStringLiteral("generate needs --out FOLDER, one or more --modify PAGE, --site DIR, or a design whose "
                              "output names a folder or pages to modify");
    }
    // Both would otherwise be taken and have no effect, and the user would think they had.
    if (p.r.command == Command::Generate && p.fileGiven && design.mode != OutputMode::Create) {
        return QStringLiteral("--file names a new page: it needs --out FOLDER, or a design whose output makes one");
    }
    if (p.trustDesign && !p.designRead) {
        return QStringLiteral("--trust-design needs --design");
    }
    // A design may come from anyone, and every file its output names gets the advert's code, the
    // custom code included: it may name web pages only, unless the user vouches for it. A file
    // named on the command line is the user's own choice.
    if (p.r.command == Command::Generate && p.designRead && !p.trustDesign) {
        QStringList named;
        const bool creates = design.mode == OutputMode::Create;
        if (creates && !p.fileGiven) {
            if (!Design::TakenUnasked(JoinPath(design.outputFolder, design.fileName))) {
                named = {design.fileName};
            }
        } else if (design.mode == OutputMode::Modify && p.modifyPages.isEmpty() && !site) {
            named = design.pages;
            named.removeIf(Design::TakenUnasked);
        }
        if (!named.isEmpty()) {
            // A link named like a page is shown with where it leads.
            QString first = QStringLiteral("\"%1\"").arg(PrintableText(named[0]));
            if (Design::IsPageName(named[0])) {
                const QString path = creates ? JoinPath(design.outputFolder, named[0]) : named[0];
                first += QStringLiteral(" (a link to \"%1\")").arg(PrintableWriteTarget(path));
            }
            const QString which =
                named.size() == 1 ? first + QStringLiteral(", which is")
                                  : QStringLiteral("%1 files, such as %2, which are each").arg(named.size()).arg(first);
            return QStringLiteral("the design's output names %1 not a web page by its name (one ending in %2), or a "
                                  "link to a file that is not; a design may only send the advert into pages. If you "
                                  "made the design and mean it, add --trust-design")
                .arg(which, Design::PageExtensionsText());
        }
    }
    // The new page goes where a link at its name leads. One to a file that is no page (a folder
    // downloaded or unpacked may hold such a link, to a shell's start-up file, say) would have the
    // advert's code put into that file, though the user named only the folder, or a page's name;
    // vouching for a design's names is not vouching for the links a folder holds.
    if (p.r.command == Command::Generate && design.mode == OutputMode::Create) {
        const QString page = JoinPath(design.outputFolder, design.fileName);
        if (QFileInfo(page).isSymLink() && !Design::TakenUnasked(page)) {
            return QStringLiteral("\"%1\" is a link to \"%2\", which is not a web page by its name (one ending in "
                                  "%3), and a new page is not written through it; to put the advert into that file "
                                  "all the same, give it with --modify")
                .arg(PrintableText(page), PrintableWriteTarget(page), Design::PageExtensionsText());
        }
    }
    return {};
}

// A template needs its style and where it goes; it takes no more colours than its style has, and a
// name the template list would show.
QString CheckMakeTemplate(const CliRequest& r) {
    if (r.templateStyle.isEmpty() || r.savePath.isEmpty()) {
        return QStringLiteral("make-template needs --style STYLE and --save FILE");
    }
    const TemplateStyle* style = FindTemplateStyle(r.templateStyle);
    for (size_t i = size_t(style->colorNames.size()); i < r.templateColors.size(); ++i) {
        if (r.templateColors[i]) {
            return QStringLiteral("--color%1: the style \"%2\" has %3 colours")
                .arg(i + 1)
                .arg(style->name)
                .arg(style->colorNames.size());
        }
    }
    const QString name = QFileInfo(r.savePath).fileName();
    if (!name.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive)) {
        return QStringLiteral("--save needs a file name ending in .gif for a template, not \"%1\"")
            .arg(PrintableText(r.savePath));
    }
    if (const QString problem = TemplateNameProblem(name.chopped(4)); !problem.isEmpty()) {
        return QStringLiteral("--save: ") + problem;
    }
    return {};
}

// Checks what single options cannot: which options a command needs together.
QString CheckCombination(Parsing& p) {
    const CliRequest& r = p.r;
    if (r.command == Command::Compose && r.gifPath.isEmpty() == r.pngPath.isEmpty()) {
        return QStringLiteral("compose needs exactly one of --gif FILE and --png FILE");
    }
    if (r.css && r.cspHash) {
        return QStringLiteral("either --css or --csp-hash, not both");
    }
    if (r.command == Command::Design && r.savePath.isEmpty()) {
        return QStringLiteral("design needs --save FILE");
    }
    if (r.command == Command::MakeTemplate) {
        return CheckMakeTemplate(r);
    }
    if (r.design.lines[2].enabled && !r.design.lines[1].enabled) {
        return QStringLiteral("--line3 needs --line2, as in the editor");
    }
    return SetTarget(p);
}

// The options in the order they are applied: the design first, then the others as given.
struct Given {
    const Option* option;
    QByteArray value;
};

}  // namespace

Result<CliRequest> ParseCommandLine(const QByteArrayList& args) {
    auto fail = [](const QString& message) {
        return Result<CliRequest>::Failure({}, message);
    };
    if (args.isEmpty()) {
        return fail(QStringLiteral("no command given"));
    }

    Parsing parsing;
    CliRequest& request = parsing.r;
    const QByteArray& commandName = args.constFirst();
    // Asked after a command too, help is the whole help.
    const auto isHelp = [](const QByteArray& word) {
        return word == "--help" || word == "-h";
    };
    if (isHelp(commandName)) {
        request.command = Command::Help;
        return Result<CliRequest>::Success(request);
    }
    if (commandName == "--version") {
        request.command = Command::Version;
        return Result<CliRequest>::Success(request);
    }
    bool known = false;
    for (const CommandEntry& c : CommandTable()) {
        if (Utf8Text(commandName) == c.doc.name) {
            request.command = c.command;
            known = true;
        }
    }
    if (!known) {
        return fail(QStringLiteral("unknown command \"%1\"").arg(Shown(commandName)));
    }

    static const std::vector<Option> table = BuildOptionTable();
    // --help and --version are no options of the table, which says so of each in the same words.
    const auto notTaken = [&](const QString& name, const QByteArray& word) {
        return (name == u"--help" || name == u"-h" || name == u"--version") && word.contains('=')
                   ? QStringLiteral("%1 takes no value").arg(name)
                   : QStringLiteral("%1 does not apply to %2").arg(name, Shown(commandName));
    };
    if (request.command == Command::Templates) {
        // As after every command, --help anywhere before "--" shows the help; after it, as after
        // remove's, every word is a name.
        const auto optionsEnd = std::find(args.begin() + 1, args.end(), QByteArray("--"));
        if (std::any_of(args.begin() + 1, optionsEnd, isHelp)) {
            request.command = Command::Help;
            return Result<CliRequest>::Success(request);
        }
        for (auto word = args.begin() + 1; word != optionsEnd; ++word) {
            if (word->startsWith("--")) {
                const QString name = OptionNamed(table, *word);
                return fail(name.isEmpty() ? QStringLiteral("unknown option \"%1\" for templates").arg(Shown(*word))
                                           : notTaken(name, *word));
            }
        }
        QByteArrayList folders(args.begin() + 1, optionsEnd);
        if (optionsEnd != args.end()) {
            folders += QByteArrayList(optionsEnd + 1, args.end());
        }
        if (folders.size() > 1) {
            return fail(QStringLiteral("templates takes at most one folder"));
        }
        if (folders.size() == 1) {
            if (const QString error =
                    ParsePath(QStringLiteral("templates"), folders[0], request.templatesFolder, Value::Folder);
                !error.isEmpty()) {
                return fail(error);
            }
        }
        return Result<CliRequest>::Success(request);
    }

    const unsigned scope = ScopeOf(request.command);
    // Remove's pages are the words that are not options; after "--", every word is one.
    const bool takesPages = request.command == Command::Remove;
    bool optionsEnded = false;
    std::vector<Given> given;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (takesPages && !optionsEnded && args[i] == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && isHelp(args[i])) {
            request.command = Command::Help;
            return Result<CliRequest>::Success(request);
        }
        if (takesPages && (optionsEnded || !args[i].startsWith("--"))) {
            QString page;
            if (const QString error = ParsePath(QStringLiteral("remove"), args[i], page); !error.isEmpty()) {
                return fail(error);
            }
            parsing.modifyPages.append(page);
            continue;
        }
        // A value may also follow its option's name after "=", in one word.
        const qsizetype equals = args[i].startsWith("--") ? args[i].indexOf('=') : -1;
        const QString name = Shown(equals > 0 ? args[i].first(equals) : args[i]);
        const Option* option = FindOption(table, name, scope);
        if (option == nullptr && !args[i].startsWith('-')) {
            // Most often a second value given to an option that takes one (two pages after one --modify).
            return fail(QStringLiteral("\"%1\" is not an option, and %2 takes no other words; each value goes right "
                                       "after its own option")
                            .arg(name, Shown(commandName)));
        }
        if (option == nullptr) {
            const QString named = OptionNamed(table, args[i]);
            return fail(named.isEmpty() ? QStringLiteral("unknown option \"%1\"").arg(name) : notTaken(named, args[i]));
        }
        if ((option->scope & scope) == 0) {
            return fail(QStringLiteral("%1 does not apply to %2").arg(name, Shown(commandName)));
        }
        QByteArray value;
        if (equals > 0 && option->value == Value::None) {
            return fail(QStringLiteral("%1 takes no value").arg(name));
        }
        if (equals > 0) {
            value = args[i].sliced(equals + 1);
        } else if (option->value != Value::None) {
            if (i + 1 >= args.size()) {
                return fail(QStringLiteral("%1 needs a value").arg(name));
            }
            value = args[++i];
            if (const QString error = ValueRefusal(table, *option, value); !error.isEmpty()) {
                return fail(error);
            }
        }
        given.push_back({option, value});
    }
    for (auto g = given.begin(); g != given.end(); ++g) {
        if (g->option->once && std::any_of(given.begin(), g, [&g](const Given& e) { return e.option == g->option; })) {
            return fail(QStringLiteral("%1 may be given once").arg(g->option->name));
        }
    }
    const auto isDesign = [](const Given& g) {
        return g.option->name == u"--design";
    };
    std::stable_partition(given.begin(), given.end(), isDesign);
    for (const Given& g : given) {
        if (const QString error = g.option->set(parsing, g.value); !error.isEmpty()) {
            return Result<CliRequest>::Failure(parsing.refusedDesign, error);
        }
    }
    if (const QString error = CheckCombination(parsing); !error.isEmpty()) {
        return fail(error);
    }
    return Result<CliRequest>::Success(request);
}

std::vector<DocumentedOption> DocumentedOptions() {
    std::vector<DocumentedOption> options;
    for (const Option& option : BuildOptionTable()) {
        DocumentedOption documented{option.name, option.heading, {}, option.doc};
        for (const CommandEntry& c : CommandTable()) {
            if ((option.scope & ScopeOf(c.command)) != 0) {
                documented.commands.append(c.doc.name);
            }
        }
        for (const OptionGroup& group : kOptionGroups) {
            if (documented.group.isEmpty() && option.scope == group.scope) {
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
