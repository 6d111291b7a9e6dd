// Renders the shipped corner templates. Every design is laid out across the main diagonal of a
// 500 by 500 square: the banner is always cut as a square whose diagonal lies on that line (the
// top-left square at first, a centred one after a resize), and its text runs in a 30-pixel band
// just on the top-right side of it. A look that depends only on the distance from the diagonal,
// or repeats along it, therefore holds at every banner size from 50 to 500.
//
// Usage: make-templates OUTPUT-FOLDER
// Writes the templates and their shadowless "b" companions (for pages that are not white) into
// OUTPUT-FOLDER. The output depends only on this program and the Qt version that renders it.

#include "GifOut.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <tuple>
#include <utility>
#include <vector>

namespace {

constexpr int Edge = 500;
// Farther from the diagonal than any pixel of the square (its corners are 353.6 px away).
constexpr double Far = 380.0;
// Along the diagonal the square spans 0 to 707 px; drawing runs past both ends.
constexpr double AlongFrom = -150.0;
constexpr double AlongTo = 860.0;
// Everything is composed for a white page: soft edges and shadows are laid over white.
constexpr QRgb Matte = 0xFFFFFFFF;

using Stops = std::initializer_list<std::pair<double, QColor>>;

// The painter works in diagonal coordinates: x runs along the diagonal from the top-left corner,
// and the distance d towards the top-right corner is -y.
class Canvas {
public:
    Canvas()
        : image(Edge, Edge, QImage::Format_ARGB32_Premultiplied) {
        image.fill(Qt::transparent);
        painter.begin(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.rotate(45.0);
    }

    QImage Finish() {
        painter.end();
        return image;
    }

    // Fills the strip between distances `from` and `to` with colours given at distances.
    void Band(double from, double to, Stops stops) {
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

    // Calls `draw(along, d)` for points that repeat every `period` pixels along the diagonal.
    void Repeat(double period, double phase, const std::function<void(double)>& draw) {
        for (double x = AlongFrom + phase; x < AlongTo; x += period) {
            draw(x);
        }
    }

    QImage image;
    QPainter painter;
};

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
QImage Curl(Stops behind, bool shadow) {
    Canvas c;
    c.Band(33.0, Far, behind);
    // The roll darkens what lies just behind it.
    c.Band(33.0, 44.0, {{33.0, QColor(0, 0, 0, 110)}, {38.0, QColor(0, 0, 0, 35)}, {44.0, QColor(0, 0, 0, 0)}});
    PaperRoll(c);
    if (shadow) {
        c.Shadow(-1.0, 14.0, 105);
    }
    return c.Finish();
}

// The corner folded over flat along the diagonal, its back a warm paper tone.
QImage DogEar(bool shadow) {
    Canvas c;
    c.Band(0.0, Far,
           {{0.0, QColor(0xfd, 0xf9, 0xf0)},
            {8.0, QColor(0xfa, 0xf3, 0xe4)},
            {40.0, QColor(0xf3, 0xe8, 0xd1)},
            {160.0, QColor(0xe9, 0xda, 0xbb)},
            {Far, QColor(0xd8, 0xc4, 0x9b)}});
    c.Line(0.6, 1.2, QColor(0xc9, 0xb8, 0x93));
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
QImage Ribbon(const RibbonLook& look, bool shadow) {
    Canvas c;
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
QImage Gradient(const QColor& strip, const QColor& rule, Stops ramp) {
    Canvas c;
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

// A night-blue corner with a starry sky and a silver strip, framed by a fine gold rule.
QImage Midnight() {
    Canvas c;
    c.Band(34.0, Far,
           {{34.0, QColor(0x26, 0x30, 0x4a)}, {120.0, QColor(0x16, 0x1d, 0x31)}, {Far, QColor(0x0a, 0x0e, 0x1a)}});
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
    c.Band(0.0, 34.0,
           {{0.0, QColor(0xc9, 0xcf, 0xd8)},
            {6.0, QColor(0xe8, 0xec, 0xf1)},
            {16.0, QColor(0xfa, 0xfb, 0xfc)},
            {27.0, QColor(0xe4, 0xe8, 0xee)},
            {34.0, QColor(0xb4, 0xbc, 0xc8)}});
    c.Solid(32.2, 34.8, QColor(0xd9, 0xb2, 0x4c));
    c.Solid(-1.6, 0.0, QColor(0x1b, 0x22, 0x33));
    return c.Finish();
}

// Soft candy stripes in pastel tones beyond a white strip with a rose edge.
QImage Pastel() {
    Canvas c;
    const QColor tones[] = {QColor(0xfb, 0xd5, 0xe2), QColor(0xcf, 0xef, 0xe0), QColor(0xdf, 0xd8, 0xf6),
                            QColor(0xff, 0xe3, 0xc8), QColor(0xd3, 0xea, 0xfb)};
    double d = 32.0;
    for (int i = 0; d < Far; ++i) {
        c.Solid(d, d + 17.0, tones[i % 5]);
        c.Solid(d + 17.0, d + 20.0, Qt::white);
        d += 20.0;
    }
    c.Band(0.0, 32.0, {{0.0, QColor(0xff, 0xfd, 0xfb)}, {32.0, QColor(0xff, 0xfa, 0xf6)}});
    c.Line(29.8, 1.2, QColor(0xf0, 0xa8, 0xc0), 1.2, 3.0);
    c.Solid(-2.0, 0.0, QColor(0xf2, 0xb0, 0xc6));
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
QImage Winter() {
    Canvas c;
    c.Band(30.0, Far,
           {{30.0, QColor(0xb9, 0xe0, 0xf7)},
            {80.0, QColor(0x7d, 0xbc, 0xea)},
            {200.0, QColor(0x3f, 0x86, 0xcc)},
            {Far, QColor(0x22, 0x55, 0x9a)}});
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
    c.painter.resetTransform();
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

// Caution tape: a bright yellow band with black-and-yellow hatching along both edges.
QImage Tape(bool shadow) {
    Canvas c;
    if (shadow) {
        c.Shadow(-9.0, 9.0, 80);
    }
    c.Band(-9.0, 39.0,
           {{-9.0, QColor(0xf2, 0xc2, 0x00)}, {15.0, QColor(0xff, 0xdc, 0x2e)}, {39.0, QColor(0xf2, 0xc2, 0x00)}});
    const auto hatch = [&c](double from, double to) {
        c.painter.save();
        c.painter.setClipRect(QRectF(AlongFrom, -to, AlongTo - AlongFrom, to - from));
        c.Repeat(16.0, 0.0, [&](double x) {
            QPolygonF stripe;
            stripe << QPointF(x, -from) << QPointF(x + 8.0, -from) << QPointF(x + 8.0 + (to - from), -to)
                   << QPointF(x + (to - from), -to);
            c.painter.setBrush(QColor(0x1c, 0x1c, 0x1c));
            c.painter.drawPolygon(stripe);
        });
        c.painter.restore();
    };
    hatch(-7.5, -1.5);
    hatch(31.5, 37.5);
    c.Line(-1.0, 1.0, QColor(0x1c, 0x1c, 0x1c));
    c.Line(31.0, 1.0, QColor(0x1c, 0x1c, 0x1c));
    return c.Finish();
}

struct Job {
    const char* name;
    std::function<QImage()> render;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-templates OUTPUT-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    const Stops blue{{33.0, QColor(0x1d, 0x4f, 0x9c)},
                     {70.0, QColor(0x2b, 0x73, 0xcf)},
                     {170.0, QColor(0x1f, 0x5a, 0xb0)},
                     {Far, QColor(0x0d, 0x2b, 0x63)}};
    const Stops sunset{{33.0, QColor(0xd9, 0x4a, 0x3d)},
                       {80.0, QColor(0xf2, 0x85, 0x3a)},
                       {180.0, QColor(0xd6, 0x3f, 0x6b)},
                       {Far, QColor(0x5b, 0x1f, 0x66)}};
    const RibbonLook red{QColor(0x7e, 0x0b, 0x14), QColor(0xa8, 0x12, 0x1d), QColor(0xcc, 0x22, 0x2c),
                         QColor(0xe2, 0x3d, 0x45), QColor(0xf9, 0xd0, 0xd2), true};
    const RibbonLook gold{QColor(0x85, 0x5d, 0x0b), QColor(0xbf, 0x8d, 0x22), QColor(0xeb, 0xc8, 0x62),
                          QColor(0xfd, 0xee, 0xb2), QColor(0x9a, 0x70, 0x14), false};
    const RibbonLook sky{QColor(0x2f, 0x6c, 0xad), QColor(0x6a, 0xa6, 0xdc), QColor(0xb7, 0xdb, 0xf6),
                         QColor(0xe9, 0xf6, 0xff), QColor(0xff, 0xff, 0xff), true};

    const std::vector<Job> jobs{
        {"curl-blue.gif",
         [&] {
             return Curl(blue, true);
         }},
        {"curl-blueb.gif",
         [&] {
             return Curl(blue, false);
         }},
        {"curl-sunset.gif",
         [&] {
             return Curl(sunset, true);
         }},
        {"dogear-cream.gif",
         [] {
             return DogEar(true);
         }},
        {"dogear-creamb.gif",
         [] {
             return DogEar(false);
         }},
        {"gradient-ocean.gif",
         [] {
             return Gradient(QColor(0xf1, 0xfa, 0xfe), QColor(0x1f, 0x8f, 0xb8),
                             {{33.0, QColor(0x4f, 0xbf, 0xdf)},
                              {90.0, QColor(0x1c, 0x96, 0xc2)},
                              {200.0, QColor(0x0d, 0x68, 0x9a)},
                              {Far, QColor(0x07, 0x38, 0x63)}});
         }},
        {"gradient-sunrise.gif",
         [] {
             return Gradient(QColor(0xff, 0xf7, 0xec), QColor(0xe9, 0x7a, 0x3c),
                             {{33.0, QColor(0xff, 0xb8, 0x6c)},
                              {90.0, QColor(0xff, 0x7e, 0x5f)},
                              {200.0, QColor(0xd9, 0x46, 0x7c)},
                              {Far, QColor(0x6e, 0x2c, 0x8a)}});
         }},
        {"midnight.gif",
         [] {
             return Midnight();
         }},
        {"pastel.gif",
         [] {
             return Pastel();
         }},
        {"ribbon-gold.gif",
         [&] {
             return Ribbon(gold, true);
         }},
        {"ribbon-goldb.gif",
         [&] {
             return Ribbon(gold, false);
         }},
        {"ribbon-red.gif",
         [&] {
             return Ribbon(red, true);
         }},
        {"ribbon-redb.gif",
         [&] {
             return Ribbon(red, false);
         }},
        {"ribbon-sky.gif",
         [&] {
             return Ribbon(sky, true);
         }},
        {"tape.gif",
         [] {
             return Tape(true);
         }},
        {"winter.gif",
         [] {
             return Winter();
         }},
    };
    int failures = 0;
    for (const Job& job : jobs) {
        const QString path = folder + u'/' + QString::fromLatin1(job.name);
        QString error;
        if (!SaveTemplateGif(job.render(), path, Matte, 128, &error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
