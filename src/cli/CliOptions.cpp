#include "CliOptions.h"

#include "TemplateImage.h"
#include "files/FileNames.h"
#include "files/ReadFile.h"

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

// Sets a value (the argument's bytes) on the request; returns an error text, or empty when the
// value was accepted.
using Setter = std::function<QString(CliRequest&, const QByteArray&)>;

struct Option {
    QString name;
    bool takesValue = true;
    unsigned scope = 0;
    Setter set;
};

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
        table.push_back({name, takesValue, scope, std::move(set)});
    };

    add(QStringLiteral("--template"), true, kBanner,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--template"), v, r.templatePath); });
    add(QStringLiteral("--size"), true, kBanner, [](CliRequest& r, const QByteArray& v) {
        int size = 0;
        QString error = ParseInt(QStringLiteral("--size"), v, 50, 500, size);
        r.size = size;
        return error;
    });
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
    for (int n = 1; n <= 3; ++n) {
        const size_t i = size_t(n - 1);
        const QString digit = QString::number(n);
        add(QStringLiteral("--line") + digit, true, kBanner, [i](CliRequest& r, const QByteArray& v) {
            r.lines[i].enabled = true;
            return ParseText(QStringLiteral("--line%1").arg(i + 1), v, r.lines[i].text);
        });
        add(QStringLiteral("--font") + digit, true, kBanner, [i](CliRequest& r, const QByteArray& v) {
            const QString name = QStringLiteral("--font%1").arg(i + 1);
            if (v.trimmed().isEmpty()) {
                return QStringLiteral("%1 needs a font face name").arg(name);
            }
            return ParseText(name, v, r.lines[i].font.faceName);
        });
        add(QStringLiteral("--pt") + digit, true, kBanner, [i](CliRequest& r, const QByteArray& v) {
            return ParseInt(QStringLiteral("--pt%1").arg(i + 1), v, 1, 200, r.lines[i].font.height);
        });
        add(QStringLiteral("--color") + digit, true, kBanner, [i](CliRequest& r, const QByteArray& v) {
            return ParseColor(QStringLiteral("--color%1").arg(i + 1), v, r.lines[i].color);
        });
        add(QStringLiteral("--offset") + digit, true, kBanner, [i](CliRequest& r, const QByteArray& v) {
            return ParseInt(QStringLiteral("--offset%1").arg(i + 1), v, -5, 5, r.lines[i].offset);
        });
        add(QStringLiteral("--bold") + digit, false, kBanner, [i](CliRequest& r, const QByteArray&) {
            r.lines[i].font.weight = 700;
            return QString();
        });
        add(QStringLiteral("--italic") + digit, false, kBanner, [i](CliRequest& r, const QByteArray&) {
            r.lines[i].font.italic = true;
            return QString();
        });
        add(QStringLiteral("--underline") + digit, false, kBanner, [i](CliRequest& r, const QByteArray&) {
            r.lines[i].font.underline = true;
            return QString();
        });
        add(QStringLiteral("--strike") + digit, false, kBanner, [i](CliRequest& r, const QByteArray&) {
            r.lines[i].font.strikeOut = true;
            return QString();
        });
    }

    add(QStringLiteral("--link"), true, kAdvert,
        [](CliRequest& r, const QByteArray& v) { return ParseText(QStringLiteral("--link"), v, r.ad.linkUrl); });
    add(QStringLiteral("--title"), true, kAdvert,
        [](CliRequest& r, const QByteArray& v) { return ParseText(QStringLiteral("--title"), v, r.ad.adTitle); });
    add(QStringLiteral("--same-window"), false, kAdvert, [](CliRequest& r, const QByteArray&) {
        r.ad.newWindow = false;
        return QString();
    });
    add(QStringLiteral("--custom-code"), true, kAdvert,
        [](CliRequest& r, const QByteArray& v) { return SetCustomCode(r, QStringLiteral("--custom-code"), v); });
    add(QStringLiteral("--custom-code-file"), true, kAdvert, ReadCustomCode);

    add(QStringLiteral("--gif"), true, kCompose,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--gif"), v, r.gifPath); });
    add(QStringLiteral("--png"), true, kCompose,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--png"), v, r.pngPath); });
    add(QStringLiteral("--css"), false, kCode, [](CliRequest& r, const QByteArray&) {
        r.css = true;
        return QString();
    });
    add(QStringLiteral("--out"), true, kGenerate,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--out"), v, r.outFolder); });
    add(QStringLiteral("--file"), true, kGenerate, [](CliRequest& r, const QByteArray& v) {
        if (v.isEmpty() || v == "." || v == ".." || v.contains('/')) {
            return QStringLiteral("--file needs a file name without a folder, not \"%1\"").arg(Shown(v));
        }
        return ParsePath(QStringLiteral("--file"), v, r.fileName);
    });
    add(QStringLiteral("--modify"), true, kGenerate, [](CliRequest& r, const QByteArray& v) {
        QString page;
        QString error = ParsePath(QStringLiteral("--modify"), v, page);
        r.modifyPages.append(page);
        return error;
    });
    add(QStringLiteral("--dir"), true, kPreview,
        [](CliRequest& r, const QByteArray& v) { return ParsePath(QStringLiteral("--dir"), v, r.previewFolder); });
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
    const struct {
        const char* name;
        Command command;
    } commands[] = {{"compose", Command::Compose},
                    {"code", Command::Code},
                    {"generate", Command::Generate},
                    {"preview", Command::Preview},
                    {"templates", Command::Templates}};
    bool known = false;
    for (const auto& c : commands) {
        if (commandName == c.name) {
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
    for (qsizetype i = 1; i < args.size(); ++i) {
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

QString UsageText() {
    return QStringLiteral("Usage:\n"
                          "  vornetad-cli compose   BANNER-OPTIONS (--gif FILE | --png FILE)\n"
                          "  vornetad-cli code      AD-OPTIONS BANNER-OPTIONS [--css]\n"
                          "  vornetad-cli generate  AD-OPTIONS BANNER-OPTIONS --out FOLDER [--file NAME]\n"
                          "  vornetad-cli generate  AD-OPTIONS BANNER-OPTIONS --modify PAGE [--modify PAGE ...]\n"
                          "  vornetad-cli preview   AD-OPTIONS BANNER-OPTIONS [--dir FOLDER]\n"
                          "  vornetad-cli templates [FOLDER]\n"
                          "  vornetad-cli --help | --version\n"
                          "\n"
                          "Banner options:\n"
                          "  --template FILE        the template GIF (default: the first shipped template)\n"
                          "  --size N               edge length 50..500, applied as the editor's Resize (default 300)\n"
                          "  --side left|right      the corner (default right)\n"
                          "  --line1 TEXT           text of line 1 (default \"Line 1\")\n"
                          "  --line2 TEXT, --line3 TEXT   enable line 2 / 3 with that text (line 3 needs line 2)\n"
                          "  --fontN FACE           font face of line N (default \"Times New Roman\")\n"
                          "  --ptN N                size of line N in points (default 18, 12, 10)\n"
                          "  --colorN RRGGBB        colour of line N (default 000064, 006400, 640000)\n"
                          "  --offsetN N            vertical offset of line N, -5..5; 0 is auto\n"
                          "  --boldN --italicN --underlineN --strikeN   style of line N\n"
                          "\n"
                          "Advert options:\n"
                          "  --link URL             the address the banner links to (default \"link URL here\")\n"
                          "  --title TEXT           the advert's title (default \"ad title here\")\n"
                          "  --same-window          open the link in the same window (default: a new window)\n"
                          "  --custom-code TEXT, --custom-code-file FILE   custom HTML after the code block\n"
                          "\n"
                          "Exit status: 0 everything written; 1 some files failed; 2 bad usage.\n");
}
