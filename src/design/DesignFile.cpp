#include "design/DesignFile.h"

#include "design/HexColor.h"
#include "files/FileNames.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "templates/DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace {

const QString kFormat = QStringLiteral("vornetad-design");
constexpr int kVersion = 1;
constexpr qsizetype kLineCount = 3;

const char* const kSides[] = {"right", "left"};               // in BannerSide order
const char* const kWindows[] = {"same", "new"};               // indexed by newWindow
const char* const kModes[] = {"create", "modify", "remove"};  // in OutputMode order

// Text that survives the trip to UTF-8 and back: no unpaired surrogates.
bool IsUnicode(const QString& text) {
    return Utf8Text(text.toUtf8()) == text;
}

QString WordList(std::initializer_list<const char*> words) {
    QStringList quoted;
    for (const char* word : words) {
        quoted.append(u'"' + QString::fromLatin1(word) + u'"');
    }
    return quoted.size() == 2 ? quoted.join(QStringLiteral(" or "))
                              : QStringLiteral("one of ") + quoted.join(QStringLiteral(", "));
}

// The fields of one JSON object, read into a design. Each reader leaves its target alone when the
// field is absent; a field that is there with a wrong value records why, and only the first such
// reason of the whole file is kept. Finish() refuses the fields nothing read: a misspelt name must
// not pass for a default.
class Fields {
public:
    Fields(const QJsonObject& object, const QString& prefix, QString& error)
        : object(object)
        , prefix(prefix)
        , error(error) {}

    std::optional<QJsonValue> Take(const char* key) {
        const QString name = QString::fromLatin1(key);
        seen.insert(name);
        const auto it = object.constFind(name);
        return it == object.constEnd() ? std::nullopt : std::optional<QJsonValue>(*it);
    }

    void Fail(const QString& field, const QString& problem) {
        if (error.isEmpty()) {
            error = prefix + field + QStringLiteral(": ") + problem;
        }
    }

    void Text(const char* key, QString& out) {
        if (const auto value = Take(key)) {
            StoreText(key, *value, out);
        }
    }

    void Bool(const char* key, bool& out) {
        if (const auto value = Take(key)) {
            value->isBool() ? void(out = value->toBool()) : Fail(Name(key), QStringLiteral("must be true or false"));
        }
    }

    void Int(const char* key, int low, int high, int& out) {
        std::optional<int> read;
        Int(key, low, high, read);
        out = read.value_or(out);
    }

    void Int(const char* key, int low, int high, std::optional<int>& out) {
        const auto value = Take(key);
        if (!value) {
            return;
        }
        const double number = value->toDouble(std::nan(""));
        if (!value->isDouble() || number != std::floor(number) || number < low || number > high) {
            Fail(Name(key), QStringLiteral("must be a whole number from %1 to %2").arg(low).arg(high));
            return;
        }
        out = int(number);
    }

    // One of `words`; `out` becomes its index.
    void Choice(const char* key, std::initializer_list<const char*> words, int& out) {
        const auto value = Take(key);
        if (!value) {
            return;
        }
        int index = 0;
        for (const char* word : words) {
            if (value->toString() == QLatin1String(word)) {
                out = index;
                return;
            }
            ++index;
        }
        Fail(Name(key), QStringLiteral("must be ") + WordList(words));
    }

    void Color(const char* key, QRgb& out) {
        const auto value = Take(key);
        if (!value) {
            return;
        }
        const std::optional<QRgb> color = ReadHexColor(value->toString(), HexNotation::DesignFile);
        if (!color) {
            Fail(Name(key), QStringLiteral("must be a colour written #RRGGBB"));
            return;
        }
        out = Design::LineColor(*color);
    }

    // A file name without a folder.
    void FileName(const char* key, QString& out) {
        if (const auto value = Take(key)) {
            QString name;
            if (!StoreText(key, *value, name)) {
                return;
            }
            if (!Design::IsPlainFileName(name)) {
                Fail(Name(key), QStringLiteral("must be a file name without a folder"));
                return;
            }
            out = name;
        }
    }

    // A folder; empty for none. A relative one is taken from `base` when there is one.
    void Folder(const char* key, const QString& base, QString& out) {
        if (const auto value = Take(key)) {
            StorePath(Name(key), *value, base, out, true);
        }
    }

    bool StorePath(const QString& field, const QJsonValue& value, const QString& base, QString& out,
                   bool mayBeEmpty = false) {
        const QString path = value.toString();
        if (!value.isString() || (path.isEmpty() && !mayBeEmpty) || !IsUnicode(path)) {
            Fail(field, QStringLiteral("must be a file path"));
            return false;
        }
        // The system ends a path at a zero byte: the rest would name another file.
        if (path.contains(QChar(0))) {
            Fail(field, QStringLiteral("cannot hold a zero character"));
            return false;
        }
        // Qt takes a path that starts with ':' for one of the program's own resources, a whole path.
        out = path.isEmpty() || path.startsWith(u'/') ? path
              : path == u'.'                          ? (base.isEmpty() ? path : base)
              : base.isEmpty()                        ? (path.startsWith(u':') ? QStringLiteral("./") + path : path)
                                                      : JoinPath(base, path);
        return true;
    }

    void Finish() {
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (!seen.contains(it.key())) {
                Fail(it.key(), QStringLiteral("unknown field"));
            }
        }
    }

private:
    static QString Name(const char* key) { return QString::fromLatin1(key); }

    bool StoreText(const char* key, const QJsonValue& value, QString& out) {
        if (!value.isString()) {
            Fail(Name(key), QStringLiteral("must be text"));
            return false;
        }
        if (!IsUnicode(value.toString())) {
            Fail(Name(key), QStringLiteral("is not valid Unicode text"));
            return false;
        }
        // No page can carry it, and the block would hold it as an entity that ends the text there.
        if (value.toString().contains(QChar(0))) {
            Fail(Name(key), QStringLiteral("cannot hold a zero character"));
            return false;
        }
        out = value.toString();
        return true;
    }

    QJsonObject object;
    QString prefix;
    QString& error;
    QSet<QString> seen;
};

void ReadLine(Fields& fields, int index, BannerLine& line) {
    fields.Bool("enabled", line.enabled);
    fields.Text("text", line.text);
    fields.Text("font", line.font.faceName);
    if (line.font.faceName.trimmed().isEmpty()) {
        fields.Fail(QStringLiteral("font"), QStringLiteral("must name a font face"));
    }
    fields.Int("points", Design::kMinPoints, Design::kMaxPoints, line.font.height);
    fields.Color("color", line.color);
    bool bold = line.font.weight == BannerFont::kBold;
    fields.Bool("bold", bold);
    line.font.weight = bold ? BannerFont::kBold : 0;
    fields.Bool("italic", line.font.italic);
    fields.Bool("underline", line.font.underline);
    fields.Bool("strike", line.font.strikeOut);
    fields.Int("offset", Design::kMinOffset, Design::kMaxOffset, line.offset);
    fields.Finish();
    if (index == 0 && !line.enabled) {
        fields.Fail(QStringLiteral("enabled"), QStringLiteral("line 1 is always on"));
    }
}

void ReadLines(Fields& top, Design& design, QString& error) {
    const auto value = top.Take("lines");
    if (!value) {
        return;
    }
    const QJsonArray array = value->toArray();
    if (!value->isArray() || array.size() > kLineCount) {
        top.Fail(QStringLiteral("lines"), QStringLiteral("must be a list of at most 3 lines"));
        return;
    }
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString name = QStringLiteral("lines[%1]").arg(i);
        if (!array[i].isObject()) {
            top.Fail(name, QStringLiteral("must be an object of line settings"));
            return;
        }
        Fields line(array[i].toObject(), name + u'.', error);
        ReadLine(line, int(i), design.lines[size_t(i)]);
    }
    if (design.lines[2].enabled && !design.lines[1].enabled) {
        top.Fail(QStringLiteral("lines[2].enabled"), QStringLiteral("line 3 needs line 2"));
    }
}

void ReadCustomCode(Fields& top, Design& design) {
    top.Bool("customCodeEnabled", design.customCodeEnabled);
    const auto text = top.Take("customCode");
    const auto base64 = top.Take("customCodeBase64");
    QString field = QStringLiteral("customCode");
    if (text && base64) {
        top.Fail(QStringLiteral("customCodeBase64"), QStringLiteral("cannot be given with customCode"));
        return;
    }
    if (text) {
        if (!text->isString() || !IsUnicode(text->toString())) {
            top.Fail(field, QStringLiteral("must be text (customCodeBase64 carries other bytes)"));
            return;
        }
        design.customCode = text->toString().toUtf8();
    } else if (base64) {
        field = QStringLiteral("customCodeBase64");
        const QByteArray encoded = base64->toString().toLatin1();
        const auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
        // A lone character after the last group of four is no byte at all: the code was cut short,
        // and Qt would drop it without a word.
        const qsizetype digits = encoded.size() - (encoded.endsWith("==") ? 2 : encoded.endsWith('=') ? 1 : 0);
        if (!base64->isString() || !decoded || digits % 4 == 1) {
            top.Fail(field, QStringLiteral("must be base64 text"));
            return;
        }
        design.customCode = *decoded;
    }
    if (const QString problem = Design::CustomCodeProblem(design.customCode); !problem.isEmpty()) {
        top.Fail(field, problem);
    }
}

void ReadOutput(Fields& top, Design& design, const QString& base, QString& error) {
    const auto value = top.Take("output");
    if (!value) {
        return;
    }
    if (!value->isObject()) {
        top.Fail(QStringLiteral("output"), QStringLiteral("must be an object of output settings"));
        return;
    }
    Fields output(value->toObject(), QStringLiteral("output."), error);
    int mode = int(design.mode);
    output.Choice("mode", {kModes[0], kModes[1], kModes[2]}, mode);
    design.mode = OutputMode(mode);
    output.Folder("folder", base, design.outputFolder);
    output.FileName("file", design.fileName);
    if (const auto pages = output.Take("pages")) {
        if (!pages->isArray()) {
            output.Fail(QStringLiteral("pages"), QStringLiteral("must be a list of file paths"));
        }
        const QJsonArray list = pages->toArray();
        for (qsizetype i = 0; i < list.size(); ++i) {
            QString page;
            if (!output.StorePath(QStringLiteral("pages[%1]").arg(i), list[i], base, page)) {
                break;
            }
            design.pages.append(page);
        }
    }
    output.Finish();
}

// Format and version first: a file that is not a design, or is one of a later version, is
// refused as such, not for the first field this version does not know.
bool ReadHeader(Fields& top) {
    const auto format = top.Take("format");
    if (!format || format->toString() != kFormat) {
        top.Fail(QStringLiteral("format"), format ? QStringLiteral("must be \"%1\"").arg(kFormat)
                                                  : QStringLiteral("missing: this is not a VornetAd design"));
        return false;
    }
    const auto version = top.Take("version");
    if (!version) {
        top.Fail(QStringLiteral("version"), QStringLiteral("missing"));
        return false;
    }
    if (!version->isDouble()) {
        top.Fail(QStringLiteral("version"), QStringLiteral("must be a number"));
        return false;
    }
    if (version->toDouble() != kVersion) {
        top.Fail(QStringLiteral("version"), QStringLiteral("%1 is not known; this program reads version %2")
                                                .arg(version->toVariant().toString())
                                                .arg(kVersion));
        return false;
    }
    return true;
}

// Qt's JSON reader drops a U+FEFF that starts a string, taking it for a byte-order mark; written as
// an escape it stays the character it is. Outside a string the escape is as wrong as the character;
// after a backslash that escapes it, the character is left to be refused as it is. The file's own
// mark, before the JSON, is left for the reader to skip.
QByteArray WithMarksEscaped(QByteArrayView json) {
    const QByteArrayView mark("\xef\xbb\xbf");
    qsizetype at = json.startsWith(mark) ? mark.size() : 0;
    QByteArray escaped = json.first(at).toByteArray();
    for (qsizetype found = json.indexOf(mark, at); found >= 0; found = json.indexOf(mark, at)) {
        escaped += json.sliced(at, found - at);
        qsizetype backslashes = 0;
        while (backslashes < found && json[found - backslashes - 1] == '\\') {
            ++backslashes;
        }
        escaped += backslashes % 2 == 1 ? mark : QByteArrayView("\\ufeff");
        at = found + mark.size();
    }
    escaped += json.sliced(at);
    return escaped;
}

DesignRead Refused(const QString& reason) {
    return {FileResult::Failure({}, reason), false, {}};
}

// The first field given twice in one object of `json`, well-formed JSON, named as Fields names it
// ("lines[1].text"); empty where there is none. The parser keeps only the last of them without a
// word, where a design is taken whole or not at all.
QString FieldGivenTwice(QByteArrayView json) {
    struct Level {
        bool list = false;  // a list, whose items are counted, not an object, whose fields are named
        int items = 0;
        bool keyNext = true;  // in an object: the next string is a field's name
        QString field;        // in an object: the field whose value comes next
        QSet<QString> fields;
    };
    QList<Level> levels;
    // Made only for the answer: a long name repeated at every level of a deep file would take time
    // and memory in the square of its size.
    const auto named = [&levels]() {
        QString name;
        for (const Level& level : std::as_const(levels)) {
            name += level.list       ? QStringLiteral("[%1]").arg(level.items)
                    : name.isEmpty() ? level.field
                                     : u'.' + level.field;
        }
        return name;
    };
    for (qsizetype at = 0; at < json.size(); ++at) {
        const char c = json[at];
        if (c == '{' || c == '[') {
            Level level;
            level.list = c == '[';
            levels.append(level);
        } else if ((c == '}' || c == ']') && !levels.isEmpty()) {
            levels.removeLast();
        } else if (c == ',' && !levels.isEmpty()) {
            Level& level = levels.last();
            level.items += level.list ? 1 : 0;
            level.keyNext = !level.list;
        } else if (c == '"') {
            const qsizetype start = at;
            for (++at; at < json.size() && json[at] != '"'; ++at) {
                at += json[at] == '\\' ? 1 : 0;
            }
            if (levels.isEmpty() || levels.constLast().list || !levels.constLast().keyNext) {
                continue;
            }
            // Escapes read as the parser reads them: "\u0074itle" is "title".
            const QByteArrayView token = json.sliced(start, at + 1 - start);
            const QString name = token.contains('\\')
                                     ? QJsonDocument::fromJson("[" + token.toByteArray() + "]").array().at(0).toString()
                                     : QString::fromUtf8(token.sliced(1, token.size() - 2));
            Level& level = levels.last();
            level.keyNext = false;
            level.field = name;
            if (level.fields.contains(name)) {
                return named();
            }
            level.fields.insert(name);
        }
    }
    return {};
}

QString WithSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

// `path` as a design file in `folder` (its own, ending in '/') names it: from the folder where it
// lies inside it, otherwise whole. Read back from there, either names the same file. A path that
// steps out with ".." is whole: written from the folder, it would move with the design to a folder
// never chosen. Where it steps out of `folder` itself, it is written without it, up to its last
// ".." as the system finds that folder (a link on the way leads elsewhere than the text says), so
// that it still names the file once the design's folder is renamed; from the folder, where that
// leads back inside it.
QString PathFrom(const QString& folder, const QString& path) {
    if (path.isEmpty()) {
        return path;
    }
    if (path == QStringView(folder).chopped(1)) {
        return QStringLiteral(".");
    }
    if (!path.startsWith(folder)) {
        return path;
    }
    const QString rest = path.mid(folder.size());
    if (rest.isEmpty()) {
        return QStringLiteral(".");
    }
    const QStringList steps = rest.split(u'/');
    if (rest.startsWith(u'/')) {
        return path;
    }
    const qsizetype out = steps.lastIndexOf(QStringLiteral(".."));
    if (out < 0) {
        return rest;
    }
    const QString real = RealPath(folder + steps.mid(0, out + 1).join(u'/'));
    if (real.isEmpty()) {
        return path;
    }
    // No ".." follows the last one, so cleaning takes out only "." and doubled slashes, which lead
    // nowhere else.
    const QString whole = QDir::cleanPath(WithSlash(real) + steps.mid(out + 1).join(u'/'));
    // Back inside the folder ("sub/../p.html", "../site/p.html"), it is written from there.
    const QString own = RealPath(folder);
    if (!own.isEmpty() && whole == own) {
        return QStringLiteral(".");
    }
    return !own.isEmpty() && whole.startsWith(WithSlash(own)) ? whole.mid(WithSlash(own).size()) : whole;
}

// Designs are edited by hand, and an editor shows lines and columns, in letters. The parser reports
// most faults by the byte after the one it could not take, and a number, a byte that is no UTF-8 or
// what follows the document by its own; a file cut short is named as such.
QString WhereInFile(QByteArrayView json, const QJsonParseError& error) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r';
    };
    const qsizetype reported = std::clamp<qsizetype>(error.offset, 0, json.size());
    const QByteArrayView rest = json.sliced(reported);
    const bool cut =
        error.error == QJsonParseError::UnterminatedObject || error.error == QJsonParseError::UnterminatedArray ||
        error.error == QJsonParseError::UnterminatedString || error.error == QJsonParseError::TerminationByNumber;
    if (cut && std::all_of(rest.begin(), rest.end(), blank)) {
        return QStringLiteral("at the end of the file");
    }
    const bool exact = error.error == QJsonParseError::IllegalNumber || error.error == QJsonParseError::GarbageAtEnd ||
                       error.error == QJsonParseError::IllegalUTF8String;
    const QByteArrayView before = json.first(std::max<qsizetype>(0, reported - (exact ? 0 : 1)));
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    // A byte-order mark is no letter an editor shows.
    const QByteArrayView line = before.sliced(lineStart == 0 && before.startsWith("\xef\xbb\xbf") ? 3 : lineStart);
    // UTF-8's continuation bytes are no letters of their own.
    const auto letters = std::count_if(line.begin(), line.end(), [](char c) { return (uchar(c) & 0xc0) != 0x80; });
    return QStringLiteral("line %1, column %2").arg(before.count('\n') + 1).arg(letters + 1);
}

// Where a string of `json` holds an escape JSON does not have ("\\d" in a script's regular
// expression), or -1. Qt's parser reads one as the letter alone: the design would be taken with the
// backslash gone.
qsizetype UnknownEscapeAt(QByteArrayView json) {
    bool inString = false;
    for (qsizetype at = 0; at < json.size(); ++at) {
        const char c = json[at];
        if (!inString) {
            inString = c == '"';
        } else if (c == '"') {
            inString = false;
        } else if (c == '\\') {
            if (at + 1 == json.size() || !QByteArrayView("\"\\/bfnrtu").contains(json[at + 1])) {
                return at;
            }
            ++at;
        }
    }
    return -1;
}

}  // namespace

DesignRead ParseDesign(QByteArrayView json, const QString& folder) {
    // The parser would point at the first letter of a file that has none (a mark an editor adds to an
    // empty file is none), or of one saved as UTF-16.
    if (json.sliced(json.startsWith("\xef\xbb\xbf") ? 3 : 0).trimmed().isEmpty()) {
        return Refused(QStringLiteral("not a design: the file is empty"));
    }
    if (const QString form = WideTextForm(json); !form.isEmpty()) {
        return Refused(
            QStringLiteral("not a design: the file is %1 text (a byte-order mark); save it as UTF-8").arg(form));
    }
    // JSON in UTF-8 starts with a blank or a brace; a zero byte among the first two is wide text saved
    // without its mark, unless every byte is one (a file a crash left zeroed).
    if (json.first(std::min<qsizetype>(2, json.size())).contains('\0')) {
        return Refused(std::all_of(json.begin(), json.end(), [](char c) { return c == '\0'; })
                           ? QStringLiteral("not a design: the file holds only zero bytes")
                           : QStringLiteral("not a design: the file has a zero byte among its first two, as UTF-16 "
                                            "or UTF-32 text saved without a byte-order mark does; save it as UTF-8"));
    }
    QJsonParseError parseError;
    QJsonDocument document = QJsonDocument::fromJson(WithMarksEscaped(json), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // It fails as the file does, where the file does.
        document = QJsonDocument::fromJson(json.toByteArray(), &parseError);
        return Refused(
            QStringLiteral("not valid JSON: %1 (%2)").arg(parseError.errorString(), WhereInFile(json, parseError)));
    }
    if (const qsizetype escape = UnknownEscapeAt(json); escape >= 0) {
        parseError.offset = int(escape + 1);
        const char letter = escape + 1 < json.size() ? json[escape + 1] : ' ';
        return Refused(QStringLiteral("not valid JSON: a backslash before %1, which is no escape JSON has; a "
                                      "backslash of the text is written \"\\\\\" (%2)")
                           .arg(letter > ' ' && letter < 0x7f ? QStringLiteral("\"%1\"").arg(QLatin1Char(letter))
                                                              : QStringLiteral("that letter"),
                                WhereInFile(json, parseError)));
    }
    if (!document.isObject()) {
        return Refused(QStringLiteral("not a design: the file holds no JSON object"));
    }
    const QString twice = FieldGivenTwice(json);

    QString error;
    Design design;
    Fields top(document.object(), {}, error);
    if (ReadHeader(top)) {
        if (!twice.isEmpty()) {
            top.Fail(twice, QStringLiteral("is given twice; a design takes each field once"));
        }
        top.FileName("template", design.templateName);
        top.Folder("templateFolder", folder, design.templateFolder);
        top.Int("size", Banner::kMinSize, Banner::kMaxSize, design.size);
        top.Int("crop", Design::kMinCropOffset, Design::kMaxCropOffset, design.cropOffset);
        int side = int(design.side);
        top.Choice("side", {kSides[0], kSides[1]}, side);
        design.side = BannerSide(side);
        ReadLines(top, design, error);
        top.Text("link", design.linkUrl);
        top.Text("title", design.adTitle);
        int window = design.newWindow ? 1 : 0;
        top.Choice("window", {kWindows[0], kWindows[1]}, window);
        design.newWindow = window == 1;
        ReadCustomCode(top, design);
        for (const PageOptionNames& option : kPageOptions) {
            top.Bool(option.key, design.options.*option.member);
        }
        ReadOutput(top, design, folder, error);
        top.Finish();
    }
    if (!error.isEmpty()) {
        return Refused(error);
    }
    return {FileResult::Success({}), false, design};
}

DesignRead ReadDesign(const QString& path) {
    const FileBytes file = ReadRegularFile(path, kMaxDesignFileBytes);
    if (!file.status.Ok()) {
        return {file.status, file.missing, {}};
    }
    // From the folder the file really is in: opened through a link elsewhere, its paths would name
    // other pages, perhaps pages of the link's folder. Where that folder's real name is not valid
    // text, no text names it, but the folder as given still leads there, unless the file is a link.
    const QByteArray real = RealPathBytes(path);
    const qsizetype slash = real.lastIndexOf('/');
    std::optional<QString> folder = slash < 0 ? std::nullopt : DecodedName(real.first(std::max<qsizetype>(slash, 1)));
    if (!folder && !QFileInfo(path).isSymLink()) {
        folder = QFileInfo(WholePath(path)).absolutePath();
    }
    if (!folder) {
        return {FileResult::Failure(path, QStringLiteral("is a link to a file in a folder that no text can name (a "
                                                         "name on the way is not valid text, or the whole path is "
                                                         "longer than the system takes), against which the "
                                                         "design's own paths cannot be named")),
                false,
                {}};
    }
    DesignRead read = ParseDesign(file.bytes, *folder);
    read.status.path = path;
    return read;
}

bool HoldsADesign(QByteArrayView bytes) {
    if (bytes.trimmed().isEmpty()) {
        return true;
    }
    const QJsonDocument json = QJsonDocument::fromJson(bytes.toByteArray());
    return json.isObject() && json.object().value(u"format").toString() == kFormat;
}

QByteArray DesignJson(const Design& design) {
    QJsonObject top;
    top.insert(QStringLiteral("format"), kFormat);
    top.insert(QStringLiteral("version"), kVersion);
    if (!design.templateName.isEmpty()) {
        top.insert(QStringLiteral("template"), design.templateName);
    }
    if (!design.templateFolder.isEmpty()) {
        top.insert(QStringLiteral("templateFolder"), design.templateFolder);
    }
    if (design.size) {
        top.insert(QStringLiteral("size"), *design.size);
    }
    if (design.cropOffset) {
        top.insert(QStringLiteral("crop"), *design.cropOffset);
    }
    top.insert(QStringLiteral("side"), QLatin1String(kSides[int(design.side)]));

    QJsonArray lines;
    for (const BannerLine& line : design.lines) {
        lines.append(QJsonObject{
            {QStringLiteral("enabled"), line.enabled},
            {QStringLiteral("text"), line.text},
            {QStringLiteral("font"), line.font.faceName},
            {QStringLiteral("points"), line.font.height},
            {QStringLiteral("color"), WriteHexColor(line.color, HexNotation::DesignFile)},
            {QStringLiteral("bold"), line.font.weight == BannerFont::kBold},
            {QStringLiteral("italic"), line.font.italic},
            {QStringLiteral("underline"), line.font.underline},
            {QStringLiteral("strike"), line.font.strikeOut},
            {QStringLiteral("offset"), line.offset},
        });
    }
    top.insert(QStringLiteral("lines"), lines);
    top.insert(QStringLiteral("link"), design.linkUrl);
    top.insert(QStringLiteral("title"), design.adTitle);
    top.insert(QStringLiteral("window"), QLatin1String(kWindows[design.newWindow ? 1 : 0]));
    top.insert(QStringLiteral("customCodeEnabled"), design.customCodeEnabled);
    if (!design.customCode.isEmpty()) {
        // Bytes that are not UTF-8 would not come back from a JSON string as they were.
        if (const std::optional<QString> text = Utf8Text(design.customCode)) {
            top.insert(QStringLiteral("customCode"), *text);
        } else {
            top.insert(QStringLiteral("customCodeBase64"), QString::fromLatin1(design.customCode.toBase64()));
        }
    }
    // Only the options that are on: a design without them stays readable by versions before them.
    for (const PageOptionNames& option : kPageOptions) {
        if (design.options.*option.member) {
            top.insert(QLatin1String(option.key), true);
        }
    }
    top.insert(QStringLiteral("output"), QJsonObject{
                                             {QStringLiteral("mode"), QLatin1String(kModes[int(design.mode)])},
                                             {QStringLiteral("folder"), design.outputFolder},
                                             {QStringLiteral("file"), design.fileName},
                                             {QStringLiteral("pages"), QJsonArray::fromStringList(design.pages)},
                                         });
    const QJsonDocument document(top);
    const QByteArray indented = document.toJson(QJsonDocument::Indented);
    // A design that a reading takes may be written again: its pages' indents must not be what
    // makes it too large to read.
    return indented.size() <= kMaxDesignFileBytes ? indented : document.toJson(QJsonDocument::Compact);
}

Result<QByteArray> DesignFileText(const Design& design) {
    QByteArray json = DesignJson(design);
    if (json.size() > kMaxDesignFileBytes) {
        QString why = QStringLiteral("it would be larger than %1, more than a design file may hold")
                          .arg(ByteCount(kMaxDesignFileBytes));
        // One folder added in the wizard may bring tens of thousands of pages: the user must learn
        // that they are what does not fit, not the few fields typed.
        const qsizetype listed =
            QJsonDocument(QJsonArray::fromStringList(design.pages)).toJson(QJsonDocument::Compact).size();
        if (listed * 2 > kMaxDesignFileBytes) {
            why += QStringLiteral(": the names of its %1 pages take most of it; fewer pages to a run would fit")
                       .arg(design.pages.size());
        }
        return Result<QByteArray>::Failure({}, why);
    }
    const DesignRead check = ParseDesign(json);
    if (!check.status.Ok()) {
        return Result<QByteArray>::Failure({}, check.status.error);
    }
    return Result<QByteArray>::Success(std::move(json));
}

FileResult WriteDesign(const Design& design, const QString& path) {
    // A design kept with its site, or with its templates, still names them once the folder is
    // moved, copied to another machine or put under version control. Through a link, the folder
    // is the real file's, where a reading takes them from; but the link may come to lead elsewhere,
    // so they stay whole.
    Design saved = design;
    // The folder as the system finds it, as a reading does ("linked/../d.vornetad" is not where the
    // text says once "linked" is a link), and as the text names it where that is the same folder
    // (the paths were made whole from the same text, "/home/..." where /home is a link).
    const QString real = RealPath(QFileInfo(path).path());
    const QString named = QFileInfo(path).absolutePath();
    if (!QFileInfo(path).isSymLink() && !real.isEmpty()) {
        QStringList folders{WithSlash(real)};
        if (RealPath(named) == real) {
            folders.prepend(WithSlash(named));
        }
        const auto from = [&folders](const QString& whole) {
            for (const QString& folder : folders) {
                if (const QString relative = PathFrom(folder, whole); relative != whole) {
                    return relative;
                }
            }
            return whole;
        };
        // The user's own templates stay where they are when a design saved in the home moves; one
        // saved among them moves with them.
        const QString own = UserTemplatesFolder();
        const QString templatesReal = RealPath(design.templateFolder);
        const bool ownTemplates = !own.isEmpty() && !design.templateFolder.isEmpty() &&
                                  (QDir::cleanPath(design.templateFolder) == QDir::cleanPath(own) ||
                                   (!templatesReal.isEmpty() && templatesReal == RealPath(own)));
        const QString relative = from(design.templateFolder);
        saved.templateFolder = ownTemplates && relative != u'.' ? design.templateFolder : relative;
        saved.outputFolder = from(design.outputFolder);
        for (QString& page : saved.pages) {
            page = from(page);
        }
    }
    const Result<QByteArray> json = DesignFileText(saved);
    if (!json.Ok()) {
        return FileResult::Failure(path, QStringLiteral("the design cannot be saved: ") + json.error);
    }
    return ReplaceFile(json.value, path);
}
