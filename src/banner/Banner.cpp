#include "banner/Banner.h"

#include "banner/TemplateImage.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QPolygonF>
#include <QRawFont>
#include <QSet>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

#if __has_include(<dlfcn.h>)
#include <dlfcn.h>
#endif

namespace {

double DiagonalOf(int size) {
    return std::sqrt(2.0 * double(size) * double(size));
}

// A font of `families` whose other properties are Qt's defaults, not the program's font, and count
// as set, so that a painter takes none of them from the program's font either. The wizard's dialog
// font is a sans-serif: its style hint would make fontconfig substitute a sans-serif for a face
// such as "Times", where the command line draws the serif fontconfig gives for it.
QFont FontOf(const QStringList& families) {
    QFont font(families);
    font.setResolveMask(QFont::AllPropertiesResolved);
    return font;
}

// The generic sans-serif family that stands in for faces this system does not have.
const QFont& SansSerifFont() {
    static const QFont font = [] {
        QFont f = FontOf({QStringLiteral("sans-serif")});
        f.setStyleHint(QFont::SansSerif);
        return f;
    }();
    return font;
}

// Whether a face name names a font family here, either installed under that name or reached
// through the system's font substitutions (such as a metric-compatible replacement for a common
// face). A name the system does not know resolves to the same family as a name nobody can have.
// Decisions are kept for the life of the process.
bool FaceExists(const QString& face) {
    // Spaces around a name (a design written by hand) are not part of it.
    const QString name = face.trimmed();
    if (name.isEmpty()) {
        return false;
    }
    static QHash<QString, bool> known;
    if (const auto it = known.constFind(face); it != known.constEnd()) {
        return *it;
    }
    bool exists = QFontDatabase::hasFamily(name);
    if (!exists) {
        static const QString unknownFamily = [] {
            return QFontInfo(FontOf({QStringLiteral("VornetAd No Such Face \u2400")})).family();
        }();
        exists = QFontInfo(FontOf({name})).family().compare(unknownFamily, Qt::CaseInsensitive) != 0;
    }
    known.insert(face, exists);
    return exists;
}

// Text is laid out three times larger and drawn scaled down: at 96 dpi a point is 4/3 pixel and
// Qt rounds font sizes to whole pixels, so three times the size is whole and 10 pt stays 13.33 px.
constexpr int kOversample = 3;
// Far beyond any size the editor offers; keeps absurd sizes from overflowing.
constexpr int kMaxPoints = 1000;

// The font a line is drawn with at kOversample times its size, or none for a size that is not
// positive.
std::optional<QFont> LineFont(const BannerFont& description) {
    Banner::PinTextAntialiasing();
    if (description.height <= 0) {
        return std::nullopt;
    }
    QFont font = SansSerifFont();
    if (FaceExists(description.faceName)) {
        font = FontOf({description.faceName.trimmed()});
    }
    font.setPixelSize(std::min(description.height, kMaxPoints) * 96 * kOversample / 72);
    font.setWeight(description.weight == BannerFont::kBold ? QFont::Bold : QFont::Normal);
    font.setItalic(description.italic);
    font.setUnderline(description.underline);
    font.setStrikeOut(description.strikeOut);
    // Outlines without grid fitting, the same at every angle and size (anti-aliased: see
    // PinTextAntialiasing).
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Whether `c` joins the character before it when composed: a mark, or a Hangul vowel or final
// consonant after its initial.
bool Joins(char32_t c) {
    return QChar::isMark(c) || (c >= 0x1160 && c <= 0x11FF);
}

// Whether `c` may be drawn in another form of the same text: it joins the character before it, or
// is one that composition or decomposition replaces (an accented letter, the Kelvin sign).
bool HasOtherForms(char32_t c) {
    return Joins(c) || QChar::decompositionTag(c) == QChar::Canonical;
}

char32_t CodePointAt(QStringView text, qsizetype i) {
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()
               ? QChar::surrogateToUcs4(text[i], text[i + 1])
               : text[i].unicode();
}

// A line is one row, as its field in the editor shows it: a line break or another control
// character pasted into the field, or given on the command line, is a space, where Qt would start a
// second row cut off by the line's box and drawn over the next line, or draw a box.
//
// Each character, with the marks that follow it, is drawn in the form of the same text that the
// line's font has: a letter and the accents that follow it as marks of their own (as text pasted
// from some sources has them) as the accented letter, whose marks, taken from another font, would
// stand beside it; a character the font lacks as the one the font has in its place (the Kelvin sign
// as K) or as its parts. A character alone is otherwise drawn as typed, where composing would put
// another in its place that the fonts may lack (U+3008 for U+2329). Where the line's font has no
// form whole, the first form that the fonts it falls back to have is drawn, else the text as typed,
// which a message then names.
QString OneRow(QString text, const QFont& font) {
    bool otherForms = false;
    for (QChar& c : text) {
        if ((c.category() == QChar::Other_Control && c != u'\t') || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator) {
            c = u' ';
        }
        // Characters beyond the first 65,536 come in two halves: looked at below.
        otherForms = otherForms || c.isHighSurrogate() || HasOtherForms(c.unicode());
    }
    if (!otherForms) {
        return text;
    }
    std::optional<QRawFont> own;
    std::optional<QFontMetricsF> withFallbacks;
    const auto all = [](QStringView form, auto&& has) {
        for (qsizetype i = 0; i < form.size(); i += QChar::requiresSurrogates(CodePointAt(form, i)) ? 2 : 1) {
            if (!has(CodePointAt(form, i))) {
                return false;
            }
        }
        return true;
    };
    QString row;
    row.reserve(text.size());
    for (qsizetype start = 0; start < text.size();) {
        // A character and the ones that join it.
        const char32_t first = CodePointAt(text, start);
        qsizetype end = start + (QChar::requiresSurrogates(first) ? 2 : 1);
        int joiners = 0;
        for (; end < text.size() && Joins(CodePointAt(text, end)); ++joiners) {
            end += QChar::requiresSurrogates(CodePointAt(text, end)) ? 2 : 1;
        }
        const QStringView run = QStringView(text).sliced(start, end - start);
        start = end;
        // No text in use puts more than 30 marks on one character (Unicode's limit for streams).
        // Putting a longer stack in order takes time that grows with its square: typed into the
        // editor, each keystroke would take seconds.
        constexpr int kMostJoiners = 30;
        if ((joiners == 0 && !HasOtherForms(first)) || joiners > kMostJoiners) {
            row += run;
            continue;
        }
        const bool joined = joiners > 0;
        if (!own) {
            own = QRawFont::fromFont(font);
        }
        if (!joined && own->supportsCharacter(first)) {
            row += run;
            continue;
        }
        // The forms the run may be drawn in, each made when first asked for, and where each is
        // looked for, in the order preferred. A letter with marks is drawn composed from any font
        // before its parts from the line's own, which may have the marks but not place them over
        // each other; a character alone is drawn as typed, else as the character the line's own
        // font has in its place, before either comes from another font. Parts come last: a font
        // that has the whole letter draws it better.
        enum Form { kComposed, kTyped, kDecomposed };
        struct Choice {
            Form form;
            bool own;
        };
        static constexpr std::array<Choice, 6> kJoined{{{kComposed, true},
                                                        {kComposed, false},
                                                        {kTyped, true},
                                                        {kTyped, false},
                                                        {kDecomposed, true},
                                                        {kDecomposed, false}}};
        static constexpr std::array<Choice, 6> kAlone{{{kTyped, true},
                                                       {kComposed, true},
                                                       {kTyped, false},
                                                       {kComposed, false},
                                                       {kDecomposed, true},
                                                       {kDecomposed, false}}};
        std::array<std::optional<QString>, 3> made;
        const auto inForm = [&made, &run](Form f) -> const QString& {
            if (!made[f]) {
                made[f] = f == kTyped      ? run.toString()
                          : f == kComposed ? run.toString().normalized(QString::NormalizationForm_C)
                                           : run.toString().normalized(QString::NormalizationForm_D);
            }
            return *made[f];
        };
        const QString* chosen = nullptr;
        for (const Choice& choice : joined ? kJoined : kAlone) {
            if (!choice.own && !withFallbacks) {
                withFallbacks.emplace(font);
            }
            const QString& form = inForm(choice.form);
            if (choice.own ? all(form, [&own](char32_t c) { return own->supportsCharacter(c); })
                           : all(form, [&withFallbacks](char32_t c) { return withFallbacks->inFontUcs4(c); })) {
                chosen = &form;
                break;
            }
        }
        row += chosen != nullptr ? *chosen : run;
    }
    return row;
}

// `image` (a template: each pixel opaque or transparent) scaled up smoothly. Smoothing blends
// the edges of transparent parts into half-transparent pixels, which the GIF writer would flatten
// onto black; each pixel is made opaque or transparent again, in its own colour.
QImage ScaledUp(const QImage& image, int scale) {
    QImage scaled = image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < scaled.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(scaled.scanLine(y));
        for (int x = 0; x < scaled.width(); ++x) {
            line[x] = qAlpha(line[x]) >= 128 ? line[x] | 0xff000000u : 0u;
        }
    }
    return scaled.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

bool ValidIndex(int index) {
    return index >= 0 && index < 3;
}

}  // namespace

Banner::Banner()
    : diagonal(DiagonalOf(size)) {}

void Banner::PinTextAntialiasing() {
#if __has_include(<dlfcn.h>)
    // Qt takes a font's anti-aliasing from fontconfig's answer for it, which no property of QFont
    // overrides, so a rule is added after the user's, which fontconfig applies last. The library
    // is the one Qt has loaded, where it has: the same configuration, and no link of our own.
    [[maybe_unused]] static const bool pinned = [] {
        void* library = ::dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_NOLOAD);
        if (library == nullptr) {
            return false;
        }
        using Current = void* (*)();
        using LoadFromMemory = int (*)(void*, const unsigned char*, int);
        const auto current = reinterpret_cast<Current>(::dlsym(library, "FcConfigGetCurrent"));
        const auto load = reinterpret_cast<LoadFromMemory>(::dlsym(library, "FcConfigParseAndLoadFromMemory"));
        static constexpr char kRule[] = R"(<?xml version="1.0"?>
<fontconfig>
  <match target="font"><edit name="antialias" mode="assign"><bool>true</bool></edit></match>
</fontconfig>
)";
        return current != nullptr && load != nullptr &&
               load(current(), reinterpret_cast<const unsigned char*>(kRule), 0) != 0;
    }();
#endif
}

void Banner::LoadTemplate(const QString& path) {
    SetTemplate(LoadTemplateImage(path).image);
}

void Banner::SetTemplate(const QImage& image) {
    // A square centred on a template without pixels lies where no picture is: on the next it goes
    // in the middle, where it would otherwise start up and left of it, the banner mostly bare. One
    // placed by the user or a design keeps its place past such a template, which the templates
    // step may have refused on the way to this one.
    if (templateLoaded && templateImage.isNull() && cropOnNothing) {
        cropOffset = CentredCrop(image.size(), size);
        cropOnNothing = image.isNull();
    } else if (templateLoaded) {
        cropOffset = CropAt(image.size(), cropOffset.x(), size);
    }
    // Kept as decoded: only the part under the square is ever converted (CutSquare), so a large
    // template costs its decoded size once, not four bytes a pixel more.
    templateImage = image;
    templateLoaded = true;
    SetScale(scale);
}

void Banner::SetScale(int n, const QImage& templateAtScale) {
    scale = std::clamp(n, 1, kMaxScale);
    companion = TakesAtScale(scale, templateAtScale) ? templateAtScale : QImage();
    squareStale = true;
    Compose();
}

bool Banner::TakesAtScale(int n, const QImage& templateAtScale) const {
    // A companion of another size would put the crop square elsewhere than on the template.
    return n > 1 && n <= kMaxScale && !templateImage.isNull() && !templateAtScale.isNull() &&
           templateAtScale.size() == templateImage.size() * n;
}

void Banner::SetBannerSize(int n) {
    size = std::clamp(n, kMinSize, kMaxSize);
    if (templateLoaded) {
        cropOffset = CentredCrop(templateImage.size(), size);
        cropOnNothing = templateImage.isNull();
    }
    diagonal = DiagonalOf(size);
    Compose();
}

QPoint Banner::CentredCrop(QSize templateSize, int n) {
    const int spare = templateSize.width() - n;
    return CropAt(templateSize, spare >= 0 ? spare / 2 : (spare - 1) / 2, n);
}

QPoint Banner::CropAt(QSize templateSize, int left, int n) {
    // A square carried from a wider template may start past this one's right edge or run off it,
    // leaving the banner bare or half bare. Where the template is as wide as the square it is cut
    // as Resize would cut it: the middle the user sees when choosing the template, where moving it
    // just inside the edge would show a strip of the template's side.
    const int spare = templateSize.width() - n;
    if (spare >= 0 && left > spare) {
        left = spare / 2;
    }
    // Down as far as across cuts a square template from its middle, and lays one no wider than the
    // banner on it as it lies across. On a template wider than the square it may cut the square
    // wholly or partly below the picture, leaving the banner bare: whether Resize centred it there
    // or another template's square was carried over.
    if (left <= 0 || spare <= 0 || left + n <= templateSize.height()) {
        return {left, left};
    }
    return {left, std::max(0, (templateSize.height() - n) / 2)};
}

void Banner::SetSide(BannerSide s) {
    side = s;
    Compose();
}

void Banner::SetCropOffset(QPoint offset) {
    cropOffset = offset;
    cropOnNothing = false;
    Compose();
}

void Banner::SetLine(int index, const BannerLine& line) {
    if (!ValidIndex(index)) {
        return;
    }
    lines[size_t(index)] = line;
    Compose();
}

void Banner::SetLines(const std::array<BannerLine, 3>& all) {
    lines = all;
    Compose();
}

void Banner::Compose() {
    if (!templateLoaded) {
        return;
    }
    CopyTemplate();
    if (banner.isNull()) {
        return;
    }

    QPainter painter(&banner);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setWorldTransform(TextTransform());

    const std::array<int, 3> tops = LineYs();
    for (int i = 0; i < EnabledLineCount(); ++i) {
        DrawLine(painter, i, tops[size_t(i)]);
    }
}

std::array<int, 3> Banner::LineYs() const {
    const int count = EnabledLineCount();
    std::array<int, 3> steps{};
    std::array<int, 3> offsets{};
    for (int i = 0; i < count; ++i) {
        steps[size_t(i)] = LineStep(i);
        offsets[size_t(i)] = lines[size_t(i)].offset;
    }
    return LineTops(bandWidth, count, steps, offsets);
}

// The part of the template, drawn at the scale, that lies under the square `part` (in the
// template's pixels at the scale), as the banner's format. At a scale above 1 without a companion
// the part is scaled up from the template's pixels under it and a margin of two: smoothing reads
// one pixel beyond each edge, so the part comes out as it would from the whole template scaled up.
QImage Banner::CutSquare(const QRect& part) const {
    if (part.isEmpty()) {
        return {};
    }
    if (scale == 1) {
        // A copy of the whole template first would be one more full-size image, for nothing.
        return (part == templateImage.rect() ? templateImage : templateImage.copy(part))
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    if (!companion.isNull()) {
        return companion.copy(part).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    const QRect under(part.topLeft() / scale, part.size() / scale);
    const QRect read = under.adjusted(-2, -2, 2, 2).intersected(templateImage.rect());
    const QImage up = ScaledUp(templateImage.copy(read).convertToFormat(QImage::Format_ARGB32_Premultiplied), scale);
    return up.copy(QRect((under.topLeft() - read.topLeft()) * scale, part.size()));
}

// The S by S square of the template at cropOffset, pixel for pixel, mirrored for the left corner;
// whatever of the square lies outside the template is transparent.
void Banner::CopyTemplate() {
    const int s = size * scale;
    // Template coordinates can reach 4096 * kMaxScale plus an offset of any int: 64 bits.
    const qint64 left = qint64(cropOffset.x()) * scale;
    const qint64 down = qint64(cropOffset.y()) * scale;
    const qint64 width = qint64(templateImage.width()) * scale;
    const qint64 height = qint64(templateImage.height()) * scale;
    // Columns [first, last) and rows [top, bottom) of the banner that come from inside the
    // template, before mirroring.
    const qint64 first = std::clamp<qint64>(-left, 0, s);
    const qint64 last = std::clamp<qint64>(width - left, first, s);
    const qint64 top = std::clamp<qint64>(-down, 0, s);
    const qint64 bottom = std::clamp<qint64>(height - down, top, s);
    const QRect part(int(left + first), int(down + top), int(last - first), int(bottom - top));
    const bool mirror = side == BannerSide::Left;
    if (squareStale || part != squareRect) {
        squareRect = part;
        squareStale = false;
        square = QImage();
        if (part.size() == QSize(s, s) && CutInto(part, mirror)) {
            return;
        }
        square = CutSquare(part);
    } else if (square.isNull() && !part.isEmpty()) {
        square = CutSquare(part);
    }
    if (banner.width() != s || banner.height() != s || banner.format() != QImage::Format_ARGB32_Premultiplied ||
        !banner.isDetached()) {
        banner = QImage(s, s, QImage::Format_ARGB32_Premultiplied);
        if (banner.isNull()) {
            return;
        }
    }
    SetDotsPerMeter(banner);

    for (int row = 0; row < s; ++row) {
        auto* dst = reinterpret_cast<QRgb*>(banner.scanLine(row));
        if (row < top || row >= bottom || square.isNull()) {
            std::memset(dst, 0, size_t(s) * sizeof(QRgb));
            continue;
        }
        const auto* from = reinterpret_cast<const QRgb*>(square.constScanLine(int(row - top)));
        const qint64 count = last - first;
        if (!mirror) {
            std::memset(dst, 0, size_t(first) * sizeof(QRgb));
            std::memcpy(dst + first, from, size_t(count) * sizeof(QRgb));
            std::memset(dst + last, 0, size_t(s - last) * sizeof(QRgb));
        } else {
            std::memset(dst, 0, size_t(s - last) * sizeof(QRgb));
            std::reverse_copy(from, from + count, dst + (s - last));
            std::memset(dst + (s - first), 0, size_t(first) * sizeof(QRgb));
        }
    }
}

bool Banner::CutInto(const QRect& part, bool mirror) {
    QImage cut = CutSquare(part);
    if (cut.isNull()) {
        return false;
    }
    banner = std::move(cut);
    SetDotsPerMeter(banner);
    if (mirror) {
        for (int row = 0; row < banner.height(); ++row) {
            auto* line = reinterpret_cast<QRgb*>(banner.scanLine(row));
            std::reverse(line, line + banner.width());
        }
    }
    return true;
}

void Banner::SetDotsPerMeter(QImage& image) const {
    image.setDotsPerMeterX(kDotsPerMeter * scale);
    image.setDotsPerMeterY(kDotsPerMeter * scale);
}

QTransform Banner::TextTransform() const {
    // Each call applies before the ones made earlier, so the last call acts on text space first.
    QTransform transform;
    if (scale != 1) {
        transform.scale(scale, scale);
    }
    if (side == BannerSide::Left) {
        // The right corner's layout mirrored, but read left to right: rising from the bottom-left,
        // the band's edge at y = bandWidth on the diagonal, and the line's middle at the diagonal's.
        const qreal along = bandWidth * M_SQRT1_2;
        transform.translate(-along, size - along);
        transform.rotate(-45.0);
    } else {
        transform.rotate(45.0);
        transform.translate(0.0, -qreal(bandWidth));
    }
    return transform;
}

std::array<int, 3> Banner::LineTops(int bandWidth, int count, const std::array<int, 3>& steps,
                                    const std::array<int, 3>& offsets) {
    std::array<int, 3> tops{};
    count = std::clamp(count, 0, 3);
    if (count == 0) {
        return tops;
    }
    int spare = bandWidth;
    for (int i = 0; i < count; ++i) {
        spare -= steps[size_t(i)];
    }
    // Integer division truncates towards zero: a block taller than the band by an odd number of
    // pixels sits half a pixel lower than rounding down would put it.
    tops[0] = offsets[0] + spare / 2;
    for (size_t i = 1; i < size_t(count); ++i) {
        tops[i] = tops[i - 1] + steps[i - 1] + offsets[i];
    }
    return tops;
}

int Banner::EnabledLineCount() const {
    return int(std::count_if(lines.begin(), lines.end(), [](const BannerLine& line) { return line.enabled; }));
}

int Banner::LineStep(int index) const {
    const std::optional<QFont> font = ValidIndex(index) ? LineFont(lines[size_t(index)].font) : std::nullopt;
    const qreal spacing = font ? QFontMetricsF(*font).lineSpacing() / kOversample : 0.0;
    return int(spacing - 4.0);
}

QRectF Banner::LineBox(const QFontMetricsF& metrics, int y) const {
    // One line high, its baseline one ascent below its top; Qt centres ascent plus descent and
    // would put half the leading above the text, so the box moves up by that half.
    return {0.0, qreal(y) * kOversample - metrics.leading() / 2.0, diagonal * kOversample, metrics.lineSpacing()};
}

void Banner::DrawLine(QPainter& painter, int index, int y) const {
    if (!ValidIndex(index)) {
        return;
    }
    const BannerLine& line = lines[size_t(index)];
    const std::optional<QFont> font = LineFont(line.font);
    if (!font || line.text.isEmpty()) {
        return;
    }
    const QRectF box = LineBox(QFontMetricsF(*font), y);
    painter.save();
    painter.scale(1.0 / kOversample, 1.0 / kOversample);
    painter.setFont(*font);
    painter.setPen(QColor(qRed(line.color), qGreen(line.color), qBlue(line.color)));
    // One row however long, centred on the diagonal, its ends cut off by the square: wrapped in a box
    // one line high, it would show the lower half of its first row and the upper half of the next.
    // Nor is it cut to the box: a letter with two accents over a capital reaches above it.
    painter.drawText(box, Qt::AlignCenter | Qt::TextDontClip, OneRow(line.text, *font));
    painter.restore();
}

namespace {

// Whether `c` in `font`, or the font the system falls back to for it, shows as a box: the glyph
// laid out is a font's glyph 0, or comes from a font without the character, or from Qt's own
// font of boxes, which it draws with where no font will do (a script that needs shaping no
// installed font offers, or no font at all). That one has no character map and, unlike any
// real font, nothing below the baseline; it has no family either, and asking a QRawFont of it for
// one crashes Qt 6.4, so only its metrics and tables are asked for.
bool ShowsABox(char32_t c, const QFont& font) {
    QTextLayout layout(QString::fromUcs4(&c, 1), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    return std::any_of(runs.begin(), runs.end(), [c](const QGlyphRun& run) {
        const QRawFont raw = run.rawFont();
        const bool boxes = !raw.isValid() || (raw.descent() <= 0 && raw.fontTable("cmap").isEmpty());
        return boxes || run.glyphIndexes().contains(0) || !raw.supportsCharacter(c);
    });
}

// Whether a character takes room or breaks the row but is no letter: spaces and controls.
bool Blank(char32_t c) {
    return QChar::isSpace(c) || QChar::category(c) == QChar::Other_Control;
}

// Characters that are meant to draw nothing, which a font need not have: Unicode's default-ignorable
// ones (joiners, marks of direction, variation selectors, fillers) and the other format characters,
// but for the few that do draw (the Arabic number signs and their kin). Shaping hides most of them
// where no font has them; some (the Hangul fillers, newer selectors and format characters) it
// leaves to be drawn as boxes.
bool MayDrawNothing(char32_t c) {
    const auto in = [c](char32_t first, char32_t last) {
        return c >= first && c <= last;
    };
    const bool drawnFormat = in(0x0600, 0x0605) || c == 0x06DD || c == 0x070F || in(0x0890, 0x0891) || c == 0x08E2 ||
                             c == 0x110BD || c == 0x110CD;
    return (QChar::category(c) == QChar::Other_Format && !drawnFormat) || c == 0x034F || in(0x115F, 0x1160) ||
           in(0x17B4, 0x17B5) || in(0x180B, 0x180F) || in(0x2060, 0x206F) || c == 0x3164 || in(0xFE00, 0xFE0F) ||
           c == 0xFFA0 || in(0xFFF0, 0xFFF8) || in(0xE0000, 0xE0FFF);
}

// Whether `c`, drawn in `font` without its lines after a letter, as it stands in a line, adds any
// ink to it. Alone, a mark that belongs to the letter before it is drawn on a dotted circle, which
// the line never shows. Outlines of a few dozen pixels are enough to tell a box from nothing,
// whatever size the line is drawn at.
bool LeavesInk(char32_t c, QFont font) {
    font.setPixelSize(32);
    font.setUnderline(false);
    font.setStrikeOut(false);
    const auto drawn = [&font](const QString& text) {
        QImage image(160, 96, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(image.rect(), Qt::AlignLeft | Qt::AlignVCenter, text);
        return image;
    };
    const QString letter = QStringLiteral("x");
    return drawn(letter) != drawn(letter + QString::fromUcs4(&c, 1));
}

// Whether `font` draws in colour: bitmaps, layers or pictures in place of outlines. CBLC locates
// the bitmaps of CBDT and is small where CBDT is large.
bool InColour(const QRawFont& font) {
    return !font.fontTable("CBLC").isEmpty() || !font.fontTable("COLR").isEmpty() ||
           !font.fontTable("sbix").isEmpty() || !font.fontTable("SVG ").isEmpty();
}

// Where `text`, laid out in `font`, first takes a glyph from a colour font (bitmaps, layers or
// pictures in place of outlines), or -1. Qt draws such glyphs upright from its cache, or not at all,
// however the painter turns the text. The fonts a line reaches are few, each looked at once. The
// line is laid out a piece at a time, cut between letters: taking apart one layout of a long line
// that changes fonts often (accents from another font than their letters) costs Qt time that
// grows with the square of its length. Within the piece that takes one, the letter in colour is
// found by halving.
qsizetype FirstInColour(const QString& text, const QFont& font) {
    QList<QRawFont> plain;
    QList<QRawFont> colour;
    const auto inColour = [&](const QList<QGlyphRun>& runs) {
        return std::any_of(runs.begin(), runs.end(), [&](const QGlyphRun& run) {
            const QRawFont raw = run.rawFont();
            if (colour.contains(raw)) {
                return true;
            }
            if (!raw.isValid() || plain.contains(raw)) {
                return false;
            }
            const bool drawnInColour = InColour(raw);
            (drawnInColour ? colour : plain).append(raw);
            return drawnInColour;
        });
    };
    constexpr qsizetype kPiece = 512;
    QTextBoundaryFinder letters(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype start = 0; start < text.size();) {
        letters.setPosition(std::min(start + kPiece, text.size()));
        const qsizetype next = letters.isAtBoundary() ? letters.position() : letters.toNextBoundary();
        const qsizetype end = next < 0 ? text.size() : next;
        QTextLayout layout(text.sliced(start, end - start), font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        if (!inColour(layout.glyphRuns())) {
            start = end;
            continue;
        }
        // The shortest start of the piece that takes a glyph in colour ends with the letter that does.
        qsizetype shortest = end - start;
        qsizetype longestPlain = 0;
        while (shortest - longestPlain > 1) {
            const qsizetype middle = longestPlain + (shortest - longestPlain) / 2;
            (inColour(layout.glyphRuns(0, int(middle))) ? shortest : longestPlain) = middle;
        }
        // The second half of a surrogate pair belongs to the letter before it.
        const qsizetype at = start + longestPlain;
        return text.at(at).isLowSurrogate() && at > 0 ? at - 1 : at;
    }
    return -1;
}

}  // namespace

bool Banner::FontsInstalled() {
    // Qt lists the three generic families whether or not any font stands behind them.
    static const bool installed = [] {
        const QStringList families = QFontDatabase::families();
        return std::any_of(families.begin(), families.end(), [](const QString& family) {
            return family != u"Serif" && family != u"Sans Serif" && family != u"Monospace";
        });
    }();
    return installed;
}

QString Banner::Box::CodePoint() const {
    return letter.isEmpty()
               ? QString()
               : u"U+"_qs + QString::number(letter.toUcs4().value(0), 16).toUpper().rightJustified(4, u'0');
}

QStringList Banner::FacesNotInstalled() const {
    QStringList notes;
    for (int i = 0; i < EnabledLineCount(); ++i) {
        const BannerLine& line = lines[size_t(i)];
        if (!line.text.trimmed().isEmpty() && line.font.height > 0) {
            if (const QString note = FaceNotInstalled(line.font.faceName); !note.isEmpty()) {
                notes.append(QStringLiteral("line %1: %2").arg(i + 1).arg(note));
            }
        }
    }
    return notes;
}

QString Banner::FaceNotInstalled(const QString& face) {
    // The generic face's own names are not faces missing here: they ask for what is drawn.
    static const QStringList genericNames{QStringLiteral("sans-serif"), QStringLiteral("sans"),
                                          QStringLiteral("system-ui")};
    if (face.trimmed().isEmpty() || FaceExists(face) || genericNames.contains(face.trimmed(), Qt::CaseInsensitive)) {
        return {};
    }
    return QStringLiteral("the font \"%1\" is not installed here, so \"%2\" is drawn instead")
        .arg(face, QFontInfo(SansSerifFont()).family());
}

QList<int> Banner::LinesNotShown() const {
    QList<int> hidden;
    const std::array<int, 3> tops = LineYs();
    const QRectF square(QPointF(0.0, 0.0), QSizeF(banner.size()));
    for (int i = 0; i < EnabledLineCount(); ++i) {
        const BannerLine& line = lines[size_t(i)];
        const std::optional<QFont> font = LineFont(line.font);
        if (!font || line.text.trimmed().isEmpty()) {
            continue;
        }
        // Where the text lies: its box, as long as the row is (centred on the diagonal).
        const QFontMetricsF metrics(*font);
        const QRectF box = LineBox(metrics, tops[size_t(i)]);
        const qreal length = std::min(box.width(), metrics.horizontalAdvance(OneRow(line.text, *font)));
        const QRectF text(box.center().x() - length / 2.0, box.top(), length, box.height());
        const QPolygonF on =
            TextTransform().map(QPolygonF(QRectF(text.topLeft() / kOversample, text.size() / kOversample)));
        if (std::all_of(on.begin(), on.end(), [&square](const QPointF& p) { return square.contains(p); })) {
            continue;
        }
        // Partly outside (a line on a small banner, moved by the lines beside it or its offset): the
        // line is drawn alone, the others keeping their places, on a square without pixels.
        Banner alone = *this;
        std::array<BannerLine, 3> only = lines;
        for (size_t j = 0; j < only.size(); ++j) {
            only[j].text = int(j) == i ? only[j].text : QString();
        }
        alone.templateImage = {};
        alone.companion = {};
        alone.SetLines(only);
        const QImage& image = alone.Composed();
        bool shown = false;
        for (int y = 0; y < image.height() && !shown; ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            shown = std::any_of(row, row + image.width(), [](QRgb p) { return qAlpha(p) != 0; });
        }
        if (!shown) {
            hidden.append(i);
        }
    }
    return hidden;
}

std::optional<Banner::Inkless> Banner::FirstInkless() const {
    // A few of the letters the line's own font has are drawn from it, as its glyphs alone: drawing
    // the line would cost a run more than its quantizing.
    constexpr int kLettersTried = 8;
    for (int i = 0; i < EnabledLineCount(); ++i) {
        const std::optional<QFont> font = LineFont(lines[size_t(i)].font);
        if (!font) {
            continue;
        }
        const QRawFont raw = QRawFont::fromFont(*font);
        int inkless = 0;
        bool inks = false;
        for (const char32_t c : OneRow(lines[size_t(i)].text, *font).toUcs4()) {
            if (Blank(c) || MayDrawNothing(c) || !raw.supportsCharacter(c)) {
                continue;
            }
            const QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromUcs4(&c, 1));
            const QImage ink =
                glyphs.isEmpty() ? QImage() : raw.alphaMapForGlyph(glyphs.constFirst(), QRawFont::PixelAntialiasing);
            for (int y = 0; y < ink.height() && !inks; ++y) {
                const uchar* row = ink.constScanLine(y);
                // One byte a pixel; the row's padding is no glyph's.
                inks = std::any_of(row, row + ink.width(), [](uchar a) { return a != 0; });
            }
            if (inks || ++inkless == kLettersTried) {
                break;
            }
        }
        if (inkless > 0 && !inks) {
            return Inkless{i, raw.familyName()};
        }
    }
    return std::nullopt;
}

std::optional<Banner::Box> Banner::FirstBox() const {
    // The composition draws as many of the first lines as are enabled.
    for (int i = 0; i < EnabledLineCount(); ++i) {
        if (lines[size_t(i)].text.trimmed().isEmpty()) {
            continue;
        }
        if (!FontsInstalled()) {
            return Box{i, {}};
        }
        if (std::optional<Box> box = Undrawable(i)) {
            return box;
        }
    }
    return std::nullopt;
}

std::optional<Banner::Box> Banner::Undrawable(int index) const {
    if (!ValidIndex(index)) {
        return std::nullopt;
    }
    const BannerLine& line = lines[size_t(index)];
    const std::optional<QFont> font = LineFont(line.font);
    if (!font) {
        return std::nullopt;
    }
    // Each character once, and laid out only where the line's font, with the fonts it falls back
    // to, does not plainly have it (a quick look): a line may be millions of letters long.
    const QString row = OneRow(line.text, *font);
    const QFontMetricsF metrics(*font);
    const QRawFont own = QRawFont::fromFont(*font);
    QSet<char32_t> tried;
    bool allInOwnFont = true;
    for (const char32_t c : row.toUcs4()) {
        if (tried.contains(c) || Blank(c)) {
            continue;
        }
        tried.insert(c);
        // Symbols and emoji (from U+2000 on) are left to the layout: a newer Qt may take a colour
        // font for them even where the line's own font has them.
        allInOwnFont = allInOwnFont && (MayDrawNothing(c) || (c < 0x2000 && own.supportsCharacter(c)));
        if (!metrics.inFontUcs4(c) && ShowsABox(c, *font) && (!MayDrawNothing(c) || LeavesInk(c, *font))) {
            return Box{index, QString::fromUcs4(&c, 1)};
        }
    }
    // Letters the line's own font has are drawn from it: a glyph in colour can come only from a font
    // it falls back to, or from the font itself. The look for the letter that takes one lays the
    // whole line out, which a long line of accents that Qt keeps as marks makes slow.
    if (allInOwnFont && !InColour(own)) {
        return std::nullopt;
    }
    // Characters meant to draw nothing take whatever font has them, a colour one too, and show
    // nothing from it.
    QString shown;
    shown.reserve(row.size());
    for (const char32_t c : row.toUcs4()) {
        const bool pair = QChar::requiresSurrogates(c);
        if (MayDrawNothing(c)) {
            shown.append(pair ? u"  " : u" ");
        } else if (pair) {
            shown.append(QChar(QChar::highSurrogate(c))).append(QChar(QChar::lowSurrogate(c)));
        } else {
            shown.append(QChar(char16_t(c)));
        }
    }
    const qsizetype at = FirstInColour(shown, *font);
    if (at < 0) {
        return std::nullopt;
    }
    const char32_t c = QStringView(row).mid(at).toUcs4().value(0);
    return Box{index, QString::fromUcs4(&c, 1), true};
}

QString CompanionNotUsed(const Banner& banner, const TemplateImage& companion) {
    const QString notUsed =
        QStringLiteral("%1: not used for the 2x image, which is the template scaled up instead: %2");
    if (!companion.status.Ok()) {
        return notUsed.arg(companion.status.path, companion.status.error);
    }
    if (companion.image.isNull() || !banner.HasTemplate() || banner.TakesAtScale(2, companion.image)) {
        return {};
    }
    const QSize wanted = banner.TemplateSize() * 2;
    return notUsed.arg(companion.status.path,
                       QStringLiteral("it is %1 x %2 pixels, where twice the template is %3 x %4")
                           .arg(companion.image.width())
                           .arg(companion.image.height())
                           .arg(wanted.width())
                           .arg(wanted.height()));
}

QImage ComposeAt2x(Banner banner, const QImage& companion) {
    if (!banner.HasTemplate()) {
        return {};
    }
    banner.SetScale(2, companion);
    return banner.Composed();
}
