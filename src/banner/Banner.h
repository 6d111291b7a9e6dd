#pragma once

#include "banner/BannerLine.h"

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <array>
#include <optional>

class QPainter;
struct TemplateImage;

// The banner's model: the template, three text lines, the edge length, the corner, and the
// composed square image. Every setter recomposes, so Composed() always shows the state the getters
// report. No widgets: the CLI and the tests compose without a window.
class QFontMetricsF;

class Banner final {
public:
    static constexpr int kMinSize = 50;
    static constexpr int kMaxSize = 500;
    // The edge length of a new banner, before any Resize.
    static constexpr int kInitialSize = 300;
    // Resolution of the composed image, so that point sizes give the same pixels on every screen.
    static constexpr int kDotsPerMeter = 3780;  // 96 dpi

    Banner();

    // Makes the text of every banner anti-aliased whatever the user's font configuration asks of
    // the screen ("antialias false", for crisp text), as hinting is pinned: a banner is the same
    // picture on every machine. Fontconfig's settings are the process's, so the pin holds for all
    // text drawn after the call, the program's own too: a program with a window calls it before
    // drawing any, so that its window's text does not change half way. Composing calls it first.
    // Does nothing where Qt draws without fontconfig.
    static void PinTextAntialiasing();

    // The largest scale SetScale takes.
    static constexpr int kMaxScale = 2;

    // Loads the template image (LoadTemplateImage) and recomposes. A file that is refused still
    // counts as a template, one without pixels: the banner then shows the text on a transparent
    // square. Keeps `cropOffset`, as SetTemplate does.
    void LoadTemplate(const QString& path);
    // The same with an image already decoded (null: a template without pixels). Drops the
    // template at scale that SetScale was given, which belonged to the template before. The crop
    // square goes where CropAt says for its left offset, the one number a design keeps for a square
    // carried to another template, on the new template: it keeps that offset unless it would run
    // past the right edge of a new template at least as wide as the square. Where it was centred on a
    // template without pixels, it goes in the middle.
    void SetTemplate(const QImage& image);
    // Composes at `scale` (1 to kMaxScale) times the size, for screens with that many device
    // pixels per pixel: the banner is the 1x banner drawn finer, every length multiplied (the
    // square and its crop offset, the band, the fonts, the offsets, the line steps). The square is
    // cut from `templateAtScale`, the template drawn at that scale, when it is exactly `scale`
    // times the template's size; otherwise from the template scaled up smoothly. The text is
    // drawn at the scale, so it stays sharp either way.
    void SetScale(int scale, const QImage& templateAtScale = {});
    // Whether SetScale(scale, templateAtScale) would cut the square from `templateAtScale`.
    bool TakesAtScale(int scale, const QImage& templateAtScale) const;
    int Scale() const { return scale; }
    // Sets the edge length (clamped to kMinSize..kMaxSize; callers refuse other values) and puts
    // the crop square where CentredCrop says on the template. Without a template the crop offset
    // stays as it is.
    void SetBannerSize(int n);
    void SetSide(BannerSide side);
    // Puts the crop square's top-left corner at `offset` on the template, wherever SetBannerSize
    // put it.
    void SetCropOffset(QPoint offset);
    // `index` is 0 to 2; any other index is ignored.
    void SetLine(int index, const BannerLine& line);
    void SetLines(const std::array<BannerLine, 3>& lines);
    // Where SetBannerSize puts the top-left corner of the crop square for an n-pixel banner on a
    // template of `templateSize`: floor((width - n) / 2) across, negative when the template is the
    // narrower, and down where CropAt puts a square that far across.
    static QPoint CentredCrop(QSize templateSize, int n);
    // Where an n-pixel crop square `left` pixels across lies on a template of `templateSize`. On a
    // template at least as wide as the square, a square that would run past its right edge is
    // centred across instead, floor((width - n) / 2), as Resize centres it. Down: as far as
    // across, except where the square would then run below a template wider than it, and starts
    // right of the template's left edge: there it is centred on the height,
    // floor((height - n) / 2), and starts no higher than the template's top. The one rule for a
    // square placed by Resize, carried to another template, or read from a design.
    static QPoint CropAt(QSize templateSize, int left, int n);

    int EnabledLineCount() const;
    // The line's font line spacing at 96 dpi minus 4, truncated; -4 for a line without a font.
    int LineStep(int index) const;
    // Draws line `index` centred in the box (0, y, diagonal, line spacing) of the painter's text space.
    void DrawLine(QPainter& painter, int index, int y) const;
    // Where the text drawn shows a box instead of a letter, or a colour emoji that would stand
    // upright across the turned text or not show at all: the first line (0 to 2) whose text has a
    // character no installed font can draw (spaces and joiners draw nothing and need none), else
    // one drawn from a colour font, and that character; with no font installed at all, the first
    // line with any text, and no character.
    struct Box {
        int line = 0;
        QString letter;
        bool colour = false;
        // "U+0928"; empty without a letter.
        QString CodePoint() const;
    };
    std::optional<Box> FirstBox() const;
    // For each line with text whose face this system does not have, and which is drawn in the
    // generic sans-serif face instead, a note that says so (a design made on another machine, a
    // name mistyped on the command line).
    QStringList FacesNotInstalled() const;
    // Where `face` is not installed here, what is drawn instead: "the font "X" is not installed
    // here, so "Y" is drawn instead"; empty for a face this system has, or none.
    static QString FaceNotInstalled(const QString& face);
    // The lines (0 to 2) with text of which nothing lands in the square: pushed out of it by their
    // size or the lines beside them on a small banner, or by their offsets.
    QList<int> LinesNotShown() const;
    // The first line whose letters that its own font has leave no ink at all, and that font's face:
    // a damaged font file whose table of characters is whole, but not its glyphs.
    struct Inkless {
        int line = 0;
        QString face;
    };
    std::optional<Inkless> FirstInkless() const;

    // Maps text space (x along the diagonal, the band from y = 0 to y = bandWidth) onto the banner
    // for the current side, size and scale.
    QTransform TextTransform() const;
    // The y of each of the first `count` lines: the block of line steps centred in the band,
    // line 1's offset moving the block, the others' offsets widening the gap above them.
    static std::array<int, 3> LineTops(int bandWidth, int count, const std::array<int, 3>& steps,
                                       const std::array<int, 3>& offsets);

    bool HasTemplate() const { return templateLoaded; }
    // The loaded template's size in pixels; empty without one or for a template without pixels.
    QSize TemplateSize() const { return templateImage.size(); }
    // The composed banner (ARGB32_Premultiplied, 96 dpi times the scale, Scale() * size pixels
    // wide), null before the first composition.
    const QImage& Composed() const { return banner; }

    const std::array<BannerLine, 3>& Lines() const { return lines; }
    // `index` is 0 to 2.
    const BannerLine& Line(int index) const { return lines[size_t(index)]; }
    // The edge length, always within kMinSize..kMaxSize.
    int Size() const { return size; }
    double Diagonal() const { return diagonal; }
    int BandWidth() const { return bandWidth; }
    QPoint CropOffset() const { return cropOffset; }
    BannerSide Side() const { return side; }

private:
    std::optional<Box> Undrawable(int index) const;
    // The y of each line in text space, as LineTops places the enabled ones.
    std::array<int, 3> LineYs() const;
    // The box a line is centred in, at y in text space, in the oversampled units the text is laid out
    // in (see DrawLine).
    QRectF LineBox(const QFontMetricsF& metrics, int y) const;
    // Whether the system has any font at all: without one, every letter is drawn as a box.
    static bool FontsInstalled();

    // Rebuilds the banner from the template and the first EnabledLineCount() lines; does nothing
    // before a template is loaded.
    void Compose();
    void CopyTemplate();
    QImage CutSquare(const QRect& part) const;
    // Makes the banner the cut `part`, which fills the square, mirrored for the left corner;
    // false where it could not be cut (no memory).
    bool CutInto(const QRect& part, bool mirror);
    void SetDotsPerMeter(QImage& image) const;

    std::array<BannerLine, 3> lines;
    int size = kInitialSize;
    double diagonal = 0.0;
    int bandWidth = 30;
    QPoint cropOffset;
    BannerSide side = BannerSide::Right;

    bool templateLoaded = false;
    // The square was put in the middle of a template without pixels (SetBannerSize), where no
    // picture is: the next template gets it in its middle too. One placed anywhere else, the same
    // spot included, keeps its place.
    bool cropOnNothing = false;
    QImage templateImage;  // as decoded, in whatever format
    int scale = 1;
    // The template drawn at the scale, when SetScale was given one of exactly that size.
    QImage companion;
    // The part of the template under the square, ready to copy: cut again only when the
    // template, the scale, the size or the crop offset change, so a keystroke copies rows. Where
    // the part fills the square, the first compose cuts it straight into the banner and keeps no
    // copy: a banner composed once (the command line's) then holds one image, not two. The copy
    // is made at the next compose on the same part.
    QImage square;
    QRect squareRect;
    bool squareStale = true;
    QImage banner;
};

// `banner` composed at twice its size for the 2x image, on `companion` as LoadCompanion gave it
// or, without a usable one (null included), on its template scaled up. The caller reads the
// companion together with the template, so that both images come from one drawing. Null when the
// banner has no template.
QImage ComposeAt2x(Banner banner, const QImage& companion);
// What the user is told of the companion, as LoadCompanion gave it, when the 2x image of `banner`
// is not cut from it though it is there: it was refused, or it is not twice the template's size.
// Empty when it is used, or there is none.
QString CompanionNotUsed(const Banner& banner, const TemplateImage& companion);
