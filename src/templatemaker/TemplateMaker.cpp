// Every look is laid out across the main diagonal of the square: the banner is always cut as a
// square whose diagonal lies on that line (the top-left square at first, a centred one after a
// resize), and its text runs in a 30-pixel band just on the top-right side of it. A look that
// depends only on the distance from the diagonal, or repeats along it, therefore holds at every
// banner size from 50 to 500.
//
// The shipped templates are these looks in colours of our choosing; a user's template is the same
// look in the user's colours, the shades between them derived from those. What is drawn depends
// only on this code and the Qt version that renders it: the shipped files are checked against it.

#include "templatemaker/TemplateMaker.h"

#include "templatemaker/TemplateGif.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Farther from the diagonal than any pixel of the square (its corners are 353.6 px away).
constexpr double Far = 380.0;
// Along the diagonal the square spans 0 to 707 px; drawing runs past both ends.
constexpr double AlongFrom = -150.0;
constexpr double AlongTo = 860.0;

using Stops = std::vector<std::pair<double, QColor>>;

// The painter works in diagonal coordinates: x runs along the diagonal from the top-left corner,
// and the distance d towards the top-right corner is -y. Lengths are those of the 500-pixel
// template whatever the scale, so a larger one is the same drawing at a finer resolution.
class Canvas {
public:
    explicit Canvas(int scale)
        : scale(scale)
        , image(kTemplateEdge * scale, kTemplateEdge * scale, QImage::Format_ARGB32_Premultiplied) {
        image.fill(Qt::transparent);
        painter.begin(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        ToPage();
        painter.rotate(45.0);
    }

    QImage Finish() {
        painter.end();
        return image;
    }

    // Drawing in the square's own coordinates from here on, x to the right and y down.
    void ToPage() {
        painter.resetTransform();
        // Not even a scale of 1 is applied: the 1x templates are drawn exactly as they always were.
        if (scale != 1) {
            painter.scale(scale, scale);
        }
    }

    // Fills the strip between distances `from` and `to` with colours given at distances.
    void Band(double from, double to, const Stops& stops) {
        QLinearGradient gradient(0.0, -from, 0.0, -to);
        for (const auto& [d, colour] : stops) {
            gradient.setColorAt(std::clamp((d - from) / (to - from), 0.0, 1.0), colour);
        }
        painter.fillRect(QRectF(AlongFrom, -to, AlongTo - AlongFrom, to - from), gradient);
    }

    void Solid(double from, double to, const QColor& colour) {
        painter.fillRect(QRectF(AlongFrom, -to, AlongTo - AlongFrom, to - from), colour);
    }

    // A soft shadow on the page below an edge at distance `edge`, `length` pixels deep, opaque
    // over a white page.
    void Shadow(double edge, double length, int darkness) {
        const auto grey = [darkness](double share) {
            const int v = 255 - int(std::lround(darkness * share));
            return QColor(v, v, v);
        };
        Band(edge - length, edge,
             {{edge, grey(1.0)},
              {edge - 0.2 * length, grey(0.62)},
              {edge - 0.45 * length, grey(0.3)},
              {edge - 0.75 * length, grey(0.1)},
              {edge - length, grey(0.03)}});
    }

    // A thin line at distance d, dashed when `dash` is non-zero.
    void Line(double d, double width, const QColor& colour, double dash = 0.0, double gap = 0.0) {
        QPen pen(colour, width, Qt::SolidLine, Qt::FlatCap);
        if (dash > 0.0) {
            pen.setDashPattern({dash / width, gap / width});
        }
        painter.setPen(pen);
        painter.drawLine(QPointF(AlongFrom, -d), QPointF(AlongTo, -d));
        painter.setPen(Qt::NoPen);
    }

    // Calls `draw(along)` for points that repeat every `period` pixels along the diagonal.
    template <typename Draw>
    void Repeat(double period, double phase, const Draw& draw) {
        for (double x = AlongFrom + phase; x < AlongTo; x += period) {
            draw(x);
        }
    }

    int scale = 1;
    QImage image;
    QPainter painter;
};

QColor Mix(const QColor& a, const QColor& b, double share) {
    const auto mix = [share](int x, int y) {
        return int(std::lround(x + (y - x) * share));
    };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

// A ramp from `near` at distance `from` to `corner` at the square's far corner.
Stops Ramp(double from, const QColor& near, const QColor& corner) {
    return {{from, near}, {from + 50.0, Mix(near, corner, 0.3)}, {170.0, Mix(near, corner, 0.65)}, {Far, corner}};
}

void PaperRoll(Canvas& c) {
    c.Band(-1.0, 33.0,
           {{-1.0, QColor(0x8b, 0x90, 0x99)},
            {0.2, QColor(0xc3, 0xc7, 0xce)},
            {5.0, QColor(0xe6, 0xe8, 0xec)},
            {14.0, QColor(0xfc, 0xfc, 0xfd)},
            {21.0, QColor(0xf3, 0xf4, 0xf6)},
            {28.0, QColor(0xd6, 0xd9, 0xdf)},
            {31.5, QColor(0xae, 0xb3, 0xbc)},
            {33.0, QColor(0x7c, 0x82, 0x8c)}});
}

// A page rolled up from the corner to the diagonal, showing the advert's colour behind it.
QImage Curl(const Stops& behind, bool shadow, int scale) {
    Canvas c(scale);
    c.Band(33.0, Far, behind);
    // The roll darkens what lies just behind it.
    c.Band(33.0, 44.0, {{33.0, QColor(0, 0, 0, 110)}, {38.0, QColor(0, 0, 0, 35)}, {44.0, QColor(0, 0, 0, 0)}});
    PaperRoll(c);
    if (shadow) {
        c.Shadow(-1.0, 14.0, 105);
    }
    return c.Finish();
}

// The corner folded over flat along the diagonal, its back a paper tone.
QImage DogEar(const Stops& paper, const QColor& fold, bool shadow, int scale) {
    Canvas c(scale);
    c.Band(0.0, Far, paper);
    c.Line(0.6, 1.2, fold);
    if (shadow) {
        c.Shadow(0.0, 18.0, 80);
    }
    return c.Finish();
}

struct RibbonLook {
    QColor edge;
    QColor side;
    QColor middle;
    QColor shine;
    QColor trim;
    bool stitched;
};

// A sash across the corner, cut by the page's top and side edges.
QImage Ribbon(const RibbonLook& look, bool shadow, int scale) {
    Canvas c(scale);
    if (shadow) {
        c.Shadow(-8.0, 10.0, 90);
    }
    c.Band(-8.0, 38.0,
           {{-8.0, look.edge},
            {-5.5, look.side},
            {4.0, look.middle},
            {13.0, look.shine},
            {19.0, look.shine},
            {27.0, look.middle},
            {35.5, look.side},
            {38.0, look.edge}});
    if (look.stitched) {
        c.Line(-4.0, 1.2, look.trim, 5.0, 3.5);
        c.Line(34.0, 1.2, look.trim, 5.0, 3.5);
    } else {
        c.Line(-4.0, 1.0, look.trim);
        c.Line(34.0, 1.0, look.trim);
    }
    return c.Finish();
}

// A filled corner in a colour ramp, with a pale strip for the text along the diagonal.
QImage Gradient(const QColor& strip, const QColor& rule, const Stops& ramp, int scale) {
    Canvas c(scale);
    c.Band(33.0, Far, ramp);
    c.Band(0.0, 33.0, {{0.0, strip}, {33.0, strip.darker(104)}});
    c.Solid(33.0, 34.8, QColor(255, 255, 255));
    c.Solid(-2.2, 0.0, rule);
    return c.Finish();
}

void Star(Canvas& c, double x, double d, double radius, int alpha) {
    QPainter& p = c.painter;
    if (radius > 1.6) {
        // The brightest stars get a soft halo and an upright four-point glint (the painter is
        // turned by 45 degrees, so the page's axes are its diagonals).
        QRadialGradient halo(QPointF(x, -d), radius * 4.0);
        halo.setColorAt(0.0, QColor(190, 210, 255, 90));
        halo.setColorAt(1.0, QColor(190, 210, 255, 0));
        p.setBrush(halo);
        p.drawEllipse(QPointF(x, -d), radius * 4.0, radius * 4.0);
        p.setPen(QPen(QColor(255, 255, 255, 150), 0.8));
        const double k = radius * 2.4;
        p.drawLine(QPointF(x - k, -d + k), QPointF(x + k, -d - k));
        p.drawLine(QPointF(x - k, -d - k), QPointF(x + k, -d + k));
        p.setPen(Qt::NoPen);
    }
    p.setBrush(QColor(255, 255, 255, alpha));
    p.drawEllipse(QPointF(x, -d), radius, radius);
    p.setBrush(Qt::NoBrush);
}

struct MidnightLook {
    Stops sky;
    Stops strip;
    QColor rule;
    QColor edge;
};

// A night-blue corner with a starry sky and a silver strip, framed by a fine gold rule.
QImage Midnight(const MidnightLook& look, int scale) {
    Canvas c(scale);
    c.Band(34.0, Far, look.sky);
    QRandomGenerator random(1969);
    const double period = 260.0;
    std::vector<std::tuple<double, double, double, int>> stars;
    for (int i = 0; i < 34; ++i) {
        const double x = random.bounded(period);
        const double d = 50.0 + random.bounded(320.0);
        const double r = 0.7 + random.bounded(1.1);
        stars.emplace_back(x, d, r, 150 + int(random.bounded(105)));
    }
    c.Repeat(period, 0.0, [&](double x0) {
        for (const auto& [x, d, r, a] : stars) {
            Star(c, x0 + x, d, r, a);
        }
    });
    c.Band(0.0, 34.0, look.strip);
    c.Solid(32.2, 34.8, look.rule);
    c.Solid(-1.6, 0.0, look.edge);
    return c.Finish();
}

// Soft candy stripes beyond a white strip with a dotted and a solid edge.
QImage Pastel(const QList<QColor>& tones, const QColor& dots, const QColor& edge, int scale) {
    Canvas c(scale);
    double d = 32.0;
    for (qsizetype i = 0; d < Far; ++i) {
        c.Solid(d, d + 17.0, tones[i % tones.size()]);
        c.Solid(d + 17.0, d + 20.0, Qt::white);
        d += 20.0;
    }
    c.Band(0.0, 32.0, {{0.0, QColor(0xff, 0xfd, 0xfb)}, {32.0, QColor(0xff, 0xfa, 0xf6)}});
    c.Line(29.8, 1.2, dots, 1.2, 3.0);
    c.Solid(-2.0, 0.0, edge);
    return c.Finish();
}

void Snowflake(Canvas& c, double x, double d, double radius, const QColor& colour) {
    QPainter& p = c.painter;
    p.save();
    p.translate(x, -d);
    p.setPen(QPen(colour, radius > 6.0 ? 1.5 : 1.2, Qt::SolidLine, Qt::RoundCap));
    for (int arm = 0; arm < 6; ++arm) {
        p.drawLine(QPointF(0, 0), QPointF(0, -radius));
        const double branch = radius * 0.55;
        const double twig = radius * 0.3;
        p.drawLine(QPointF(0, -branch), QPointF(-twig, -branch - twig));
        p.drawLine(QPointF(0, -branch), QPointF(twig, -branch - twig));
        p.rotate(60.0);
    }
    p.restore();
}

// Winter: a snow bank along the diagonal with icicles below and snowflakes in an icy sky.
QImage Winter(const Stops& sky, int scale) {
    Canvas c(scale);
    c.Band(30.0, Far, sky);
    QRandomGenerator random(1225);
    const double period = 230.0;
    // One flake per cell of a loose grid, jittered, so flakes neither clump nor line up.
    std::vector<std::tuple<double, double, double>> flakes;
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 2; ++column) {
            const double x = column * period / 2.0 + (row % 2) * period / 4.0 + random.bounded(period / 5.0);
            const double d = 54.0 + row * 52.0 + random.bounded(22.0);
            flakes.emplace_back(x, d, 4.0 + random.bounded(5.5));
        }
    }
    c.Repeat(period, 0.0, [&](double x0) {
        for (const auto& [x, d, r] : flakes) {
            Snowflake(c, x0 + x, d, r, QColor(255, 255, 255, 235));
        }
    });

    // Drifts: the snow's upper edge rises and falls in a pattern that repeats along the diagonal.
    QPainterPath snow;
    snow.moveTo(AlongFrom, 4.0);
    const double wave = 96.0;
    for (double x = AlongFrom; x <= AlongTo; x += 2.0) {
        const double phase = 2.0 * M_PI * x / wave;
        const double top = 33.0 + 2.2 * std::sin(phase) + 1.2 * std::sin(2.0 * phase + 1.0);
        snow.lineTo(x, -top);
    }
    snow.lineTo(AlongTo, 4.0);
    snow.closeSubpath();
    QLinearGradient snowShade(0.0, 4.0, 0.0, -37.0);
    snowShade.setColorAt(0.0, QColor(0xc6, 0xdc, 0xee));
    snowShade.setColorAt(0.12, QColor(0xee, 0xf5, 0xfb));
    snowShade.setColorAt(0.5, QColor(0xff, 0xff, 0xff));
    snowShade.setColorAt(0.9, QColor(0xf4, 0xf8, 0xfc));
    snowShade.setColorAt(1.0, QColor(0xdd, 0xea, 0xf5));
    c.painter.fillPath(snow, snowShade);

    // Icicles hang straight down from the bank, so they are drawn in page coordinates.
    c.ToPage();
    const double s = std::sqrt(0.5);
    const double lengths[] = {14.0, 7.0, 19.0, 9.0, 12.0, 6.0, 16.0};
    int k = 0;
    for (double t = -40.0; t < 760.0; t += 17.0, ++k) {
        // The bank's lower edge is the line 4 px below the diagonal: points (t*s - 2.8, t*s + 2.8).
        const QPointF a(t * s - 2.83, t * s + 2.83);
        const QPointF b = a + QPointF(7.0 * s, 7.0 * s);
        const double length = lengths[k % 7];
        QPainterPath icicle;
        icicle.moveTo(a - QPointF(1.0, 1.0));
        icicle.lineTo(b - QPointF(1.0, 1.0));
        icicle.lineTo(b);
        icicle.lineTo(QPointF((a.x() + b.x()) / 2.0 + 0.5, b.y() + length));
        icicle.lineTo(a);
        icicle.closeSubpath();
        QLinearGradient ice(a.x(), 0.0, b.x(), 0.0);
        ice.setColorAt(0.0, QColor(0xb4, 0xd8, 0xf2));
        ice.setColorAt(0.5, QColor(0xf2, 0xfa, 0xff));
        ice.setColorAt(1.0, QColor(0x9c, 0xc8, 0xea));
        c.painter.fillPath(icicle, ice);
    }
    return c.Finish();
}

// Caution tape: a bright band with hatching along both edges.
QImage Tape(const QColor& edge, const QColor& middle, const QColor& hatching, bool shadow, int scale) {
    Canvas c(scale);
    if (shadow) {
        c.Shadow(-9.0, 9.0, 80);
    }
    c.Band(-9.0, 39.0, {{-9.0, edge}, {15.0, middle}, {39.0, edge}});
    const auto hatch = [&c, &hatching](double from, double to) {
        c.painter.save();
        c.painter.setClipRect(QRectF(AlongFrom, -to, AlongTo - AlongFrom, to - from));
        c.Repeat(16.0, 0.0, [&](double x) {
            QPolygonF stripe;
            stripe << QPointF(x, -from) << QPointF(x + 8.0, -from) << QPointF(x + 8.0 + (to - from), -to)
                   << QPointF(x + (to - from), -to);
            c.painter.setBrush(hatching);
            c.painter.drawPolygon(stripe);
        });
        c.painter.restore();
    };
    hatch(-7.5, -1.5);
    hatch(31.5, 37.5);
    c.Line(-1.0, 1.0, hatching);
    c.Line(31.0, 1.0, hatching);
    return c.Finish();
}

// Look `look` in `c` (always as many colours as its style names).
QImage DrawLook(TemplateLook look, const QList<QColor>& c, int scale, bool shadow) {
    switch (look) {
    case TemplateLook::Curl:
        return Curl(Ramp(33.0, c[0], c[1]), shadow, scale);
    case TemplateLook::DogEar: {
        const Stops paper{{0.0, Mix(c[0], Qt::white, 0.8)},
                          {8.0, Mix(c[0], Qt::white, 0.5)},
                          {40.0, c[0]},
                          {160.0, Mix(c[0], c[1], 0.5)},
                          {Far, c[1]}};
        return DogEar(paper, c[1].darker(108), shadow, scale);
    }
    case TemplateLook::Gradient:
        return Gradient(c[0], c[1].darker(135), Ramp(33.0, c[1], c[2]), scale);
    case TemplateLook::Midnight: {
        const MidnightLook midnight{{{34.0, c[0].lighter(165)}, {120.0, c[0]}, {Far, c[0].darker(185)}},
                                    {{0.0, c[1].darker(115)},
                                     {6.0, c[1]},
                                     {16.0, Mix(c[1], Qt::white, 0.7)},
                                     {27.0, c[1].darker(103)},
                                     {34.0, c[1].darker(124)}},
                                    c[2],
                                    c[0].lighter(120)};
        return Midnight(midnight, scale);
    }
    case TemplateLook::Pastel:
        return Pastel(c, c[0].darker(118), c[0].darker(113), scale);
    case TemplateLook::Ribbon:
        return Ribbon({c[0].darker(160), c[0].darker(121), c[0], c[1], c[2], true}, shadow, scale);
    case TemplateLook::Tape:
        return Tape(c[0].darker(112), c[0], c[1], shadow, scale);
    case TemplateLook::Winter:
        return Winter(Ramp(30.0, c[0], c[1]), scale);
    }
    return {};
}

}  // namespace

QImage DrawTemplate(const TemplateStyle& style, const QList<QRgb>& colors, int scale, bool shadow) {
    QList<QColor> full;
    for (qsizetype i = 0; i < style.colorNames.size(); ++i) {
        full.append(QColor(i < colors.size() ? colors[i] : style.defaultColors[i]));
    }
    return DrawLook(style.look, full, scale, shadow && style.hasShadowlessVariant);
}

Result<std::vector<TemplateFile>> MakeTemplateFiles(const TemplateStyle& style, const QList<QRgb>& colors) {
    std::vector<TemplateFile> files;
    for (const bool shadow : {true, false}) {
        if (!shadow && !style.hasShadowlessVariant) {
            break;
        }
        for (const int scale : {1, 2}) {
            QString suffix = shadow ? QString() : u"b"_s;
            if (scale == 2) {
                suffix += u"@2x"_s;
            }
            Result<QByteArray> encoded = EncodeTemplateGif(DrawTemplate(style, colors, scale, shadow));
            if (!encoded.Ok()) {
                return Result<std::vector<TemplateFile>>::Failure({}, encoded.error);
            }
            files.push_back({suffix, std::move(encoded.value)});
        }
    }
    return Result<std::vector<TemplateFile>>::Success(std::move(files));
}

const std::vector<ShippedTemplate>& ShippedTemplates() {
    static const std::vector<ShippedTemplate> shipped = [] {
        const Stops blue{{33.0, QColor(0x1d, 0x4f, 0x9c)},
                         {70.0, QColor(0x2b, 0x73, 0xcf)},
                         {170.0, QColor(0x1f, 0x5a, 0xb0)},
                         {Far, QColor(0x0d, 0x2b, 0x63)}};
        const Stops sunset{{33.0, QColor(0xd9, 0x4a, 0x3d)},
                           {80.0, QColor(0xf2, 0x85, 0x3a)},
                           {180.0, QColor(0xd6, 0x3f, 0x6b)},
                           {Far, QColor(0x5b, 0x1f, 0x66)}};
        const Stops cream{{0.0, QColor(0xfd, 0xf9, 0xf0)},
                          {8.0, QColor(0xfa, 0xf3, 0xe4)},
                          {40.0, QColor(0xf3, 0xe8, 0xd1)},
                          {160.0, QColor(0xe9, 0xda, 0xbb)},
                          {Far, QColor(0xd8, 0xc4, 0x9b)}};
        const QColor creamFold(0xc9, 0xb8, 0x93);
        const RibbonLook red{QColor(0x7e, 0x0b, 0x14), QColor(0xa8, 0x12, 0x1d), QColor(0xcc, 0x22, 0x2c),
                             QColor(0xe2, 0x3d, 0x45), QColor(0xf9, 0xd0, 0xd2), true};
        const RibbonLook gold{QColor(0x85, 0x5d, 0x0b), QColor(0xbf, 0x8d, 0x22), QColor(0xeb, 0xc8, 0x62),
                              QColor(0xfd, 0xee, 0xb2), QColor(0x9a, 0x70, 0x14), false};
        const RibbonLook sky{QColor(0x2f, 0x6c, 0xad), QColor(0x6a, 0xa6, 0xdc), QColor(0xb7, 0xdb, 0xf6),
                             QColor(0xe9, 0xf6, 0xff), QColor(0xff, 0xff, 0xff), true};
        const Stops ocean{{33.0, QColor(0x4f, 0xbf, 0xdf)},
                          {90.0, QColor(0x1c, 0x96, 0xc2)},
                          {200.0, QColor(0x0d, 0x68, 0x9a)},
                          {Far, QColor(0x07, 0x38, 0x63)}};
        const Stops sunrise{{33.0, QColor(0xff, 0xb8, 0x6c)},
                            {90.0, QColor(0xff, 0x7e, 0x5f)},
                            {200.0, QColor(0xd9, 0x46, 0x7c)},
                            {Far, QColor(0x6e, 0x2c, 0x8a)}};
        const MidnightLook midnight{
            {{34.0, QColor(0x26, 0x30, 0x4a)}, {120.0, QColor(0x16, 0x1d, 0x31)}, {Far, QColor(0x0a, 0x0e, 0x1a)}},
            {{0.0, QColor(0xc9, 0xcf, 0xd8)},
             {6.0, QColor(0xe8, 0xec, 0xf1)},
             {16.0, QColor(0xfa, 0xfb, 0xfc)},
             {27.0, QColor(0xe4, 0xe8, 0xee)},
             {34.0, QColor(0xb4, 0xbc, 0xc8)}},
            QColor(0xd9, 0xb2, 0x4c),
            QColor(0x1b, 0x22, 0x33)};
        const QList<QColor> pastel{QColor(0xfb, 0xd5, 0xe2), QColor(0xcf, 0xef, 0xe0), QColor(0xdf, 0xd8, 0xf6),
                                   QColor(0xff, 0xe3, 0xc8), QColor(0xd3, 0xea, 0xfb)};
        const Stops winter{{30.0, QColor(0xb9, 0xe0, 0xf7)},
                           {80.0, QColor(0x7d, 0xbc, 0xea)},
                           {200.0, QColor(0x3f, 0x86, 0xcc)},
                           {Far, QColor(0x22, 0x55, 0x9a)}};
        const QColor tapeEdge(0xf2, 0xc2, 0x00);
        const QColor tapeMiddle(0xff, 0xdc, 0x2e);
        const QColor tapeHatching(0x1c, 0x1c, 0x1c);

        return std::vector<ShippedTemplate>{
            {u"curl-blue"_s,
             [=](int scale) {
                 return Curl(blue, true, scale);
             }},
            {u"curl-blueb"_s,
             [=](int scale) {
                 return Curl(blue, false, scale);
             }},
            {u"curl-sunset"_s,
             [=](int scale) {
                 return Curl(sunset, true, scale);
             }},
            {u"dogear-cream"_s,
             [=](int scale) {
                 return DogEar(cream, creamFold, true, scale);
             }},
            {u"dogear-creamb"_s,
             [=](int scale) {
                 return DogEar(cream, creamFold, false, scale);
             }},
            {u"gradient-ocean"_s,
             [=](int scale) {
                 return Gradient(QColor(0xf1, 0xfa, 0xfe), QColor(0x1f, 0x8f, 0xb8), ocean, scale);
             }},
            {u"gradient-sunrise"_s,
             [=](int scale) {
                 return Gradient(QColor(0xff, 0xf7, 0xec), QColor(0xe9, 0x7a, 0x3c), sunrise, scale);
             }},
            {u"midnight"_s,
             [=](int scale) {
                 return Midnight(midnight, scale);
             }},
            {u"pastel"_s,
             [=](int scale) {
                 return Pastel(pastel, QColor(0xf0, 0xa8, 0xc0), QColor(0xf2, 0xb0, 0xc6), scale);
             }},
            {u"ribbon-gold"_s,
             [=](int scale) {
                 return Ribbon(gold, true, scale);
             }},
            {u"ribbon-goldb"_s,
             [=](int scale) {
                 return Ribbon(gold, false, scale);
             }},
            {u"ribbon-red"_s,
             [=](int scale) {
                 return Ribbon(red, true, scale);
             }},
            {u"ribbon-redb"_s,
             [=](int scale) {
                 return Ribbon(red, false, scale);
             }},
            {u"ribbon-sky"_s,
             [=](int scale) {
                 return Ribbon(sky, true, scale);
             }},
            {u"tape"_s,
             [=](int scale) {
                 return Tape(tapeEdge, tapeMiddle, tapeHatching, true, scale);
             }},
            {u"winter"_s,
             [=](int scale) {
                 return Winter(winter, scale);
             }},
        };
    }();
    return shipped;
}

QImage SquareTemplate(const QImage& picture) {
    if (picture.isNull()) {
        return {};
    }
    const int side = std::min(picture.width(), picture.height());
    // Cut first, so a large photo is not converted whole; premultiplied, so that smoothing never
    // bleeds the colour of see-through pixels into the edge.
    const QImage square = picture.copy((picture.width() - side) / 2, (picture.height() - side) / 2, side, side)
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return square.scaled(kTemplateEdge, kTemplateEdge, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
