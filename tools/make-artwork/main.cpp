// Draws the wizard's tab, button and corner images and the program icon, each at 1 and 2 pixels per
// unit, so that the committed PNGs under res/wizard/ can be rebuilt: make-artwork OUTPUT-FOLDER
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <functional>
#include <utility>

namespace {

const QColor kBackground(150, 150, 170);

// A `width` by `height` picture drawn at `scale` device pixels per unit: the drawing code works in
// units, and a scale of 2 gives the same picture with twice the pixels each way.
QImage Canvas(int width, int height, int scale) {
    QImage image(width * scale, height * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(kBackground);
    return image;
}

// A path with rounded top corners whose bottom runs past the image, so the shape is open below.
// A positive `flare` curves the sides outward at the bottom, as a tab that grows out of a panel.
QPainterPath TabShape(const QRectF& rect, qreal radius, qreal flare = 0) {
    QPainterPath path;
    const qreal foot = 29.5;
    if (flare > 0) {
        path.moveTo(rect.left() - flare, rect.bottom());
        path.lineTo(rect.left() - flare, foot);
        path.quadTo(rect.left(), foot, rect.left(), foot - flare);
    } else {
        path.moveTo(rect.left(), rect.bottom());
    }
    path.lineTo(rect.left(), rect.top() + radius);
    path.quadTo(rect.left(), rect.top(), rect.left() + radius, rect.top());
    path.lineTo(rect.right() - radius, rect.top());
    path.quadTo(rect.right(), rect.top(), rect.right(), rect.top() + radius);
    if (flare > 0) {
        path.lineTo(rect.right(), foot - flare);
        path.quadTo(rect.right(), foot, rect.right() + flare, foot);
        path.lineTo(rect.right() + flare, rect.bottom());
    } else {
        path.lineTo(rect.right(), rect.bottom());
    }
    path.closeSubpath();
    return path;
}

QFont LabelFont(int pixelSize, bool bold, bool italic) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// The current step's tab is white and runs into the white panel below it; the others are
// recessed, slightly lower, shaded and separated from the panel by a thin line.
QImage Tab(const QString& word, bool current, int scale) {
    QImage image = Canvas(110, 30, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (current) {
        const QPainterPath shape = TabShape(QRectF(4.5, 1.5, 101, 40), 8, 4.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(120, 120, 145, 90));
        p.drawPath(shape.translated(0.8, -0.6));
        p.setBrush(Qt::white);
        p.drawPath(shape);
        p.setPen(QPen(QColor(235, 235, 245), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(shape);
        p.setPen(QColor(35, 35, 70));
        p.setFont(LabelFont(15, true, false));
        p.drawText(QRectF(0, 3, 110, 27), Qt::AlignCenter, word);
    } else {
        const QPainterPath shape = TabShape(QRectF(3.5, 5.5, 103, 30), 7);
        QLinearGradient face(0, 5, 0, 30);
        face.setColorAt(0, QColor(226, 226, 236));
        face.setColorAt(1, QColor(188, 188, 204));
        p.setPen(QPen(QColor(118, 118, 140), 1));
        p.setBrush(face);
        p.drawPath(shape);
        p.setPen(QPen(QColor(255, 255, 255, 150), 1));
        p.drawLine(QPointF(10, 6.5), QPointF(100, 6.5));
        p.setPen(QColor(112, 112, 128));
        p.setFont(LabelFont(14, false, false));
        p.drawText(QRectF(0, 6, 110, 24), Qt::AlignCenter, word);
    }
    return image;
}

struct Face {
    QColor top;
    QColor bottom;
    QColor border;
    QColor text;
    QColor textGlow;
};

// A pill-shaped glossy face: a vertical gradient, a bright reflection over the upper half and
// a dark italic word with a faint light edge under it.
QImage Button(int width, const QString& word, const Face& face, int scale) {
    QImage image = Canvas(width, 30, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF body(1.5, 1.5, width - 3, 27);
    const qreal radius = 13;

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 115, 70));
    p.drawRoundedRect(body.translated(0, 1), radius, radius);

    QLinearGradient fill(0, body.top(), 0, body.bottom());
    fill.setColorAt(0, face.top);
    fill.setColorAt(1, face.bottom);
    p.setPen(QPen(face.border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(body, radius, radius);

    const QRectF gloss(body.left() + 4, body.top() + 1.5, body.width() - 8, body.height() * 0.45);
    QLinearGradient shine(0, gloss.top(), 0, gloss.bottom());
    shine.setColorAt(0, QColor(255, 255, 255, 200));
    shine.setColorAt(1, QColor(255, 255, 255, 25));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRoundedRect(gloss, gloss.height() / 2, gloss.height() / 2);

    p.setFont(LabelFont(15, true, true));
    p.setPen(face.textGlow);
    p.drawText(body.translated(0, 1), Qt::AlignCenter, word);
    p.setPen(face.text);
    p.drawText(body, Qt::AlignCenter, word);
    return image;
}

// A white disc with soft edges; the wizard copies its four quarters onto the panel's corners.
QImage Corner(int scale) {
    QImage image = Canvas(15, 15, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(0, 0, 15, 15));
    return image;
}

// The program's icon: a web page whose top-right corner carries a diagonal banner. Drawn on a
// 256-unit grid and scaled, so that the small sizes the desktop's menus use are drawn, not shrunk.
QImage Icon(int edge = 256) {
    QImage image(edge, edge, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(edge / 256.0, edge / 256.0);

    const QRectF tile(8, 8, 240, 240);
    QLinearGradient back(0, 8, 0, 248);
    back.setColorAt(0, QColor(172, 172, 194));
    back.setColorAt(1, QColor(128, 128, 152));
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(tile, 44, 44);

    const QRectF page(40, 36, 176, 188);
    p.setBrush(QColor(60, 60, 90, 80));
    p.drawRoundedRect(page.translated(3, 5), 14, 14);
    p.setBrush(Qt::white);
    p.drawRoundedRect(page, 14, 14);
    p.setBrush(QColor(200, 200, 218));
    for (int i = 0; i < 6; ++i) {
        const qreal width = (i % 3 == 2) ? 70 : 120;
        p.drawRoundedRect(QRectF(60, 112 + i * 18, width, 8), 4, 4);
    }

    p.save();
    QPainterPath clip;
    clip.addRoundedRect(page, 14, 14);
    p.setClipPath(clip);
    QPainterPath band;
    band.moveTo(page.right() - 120, page.top());
    band.lineTo(page.right() - 72, page.top());
    band.lineTo(page.right(), page.top() + 72);
    band.lineTo(page.right(), page.top() + 120);
    band.closeSubpath();
    QLinearGradient green(page.right() - 100, page.top(), page.right(), page.top() + 100);
    green.setColorAt(0, QColor(120, 205, 95));
    green.setColorAt(1, QColor(50, 145, 55));
    p.setBrush(green);
    p.drawPath(band);
    p.setPen(QPen(QColor(255, 255, 255, 170), 3));
    p.drawLine(QPointF(page.right() - 108, page.top() + 4), QPointF(page.right() - 4, page.top() + 108));
    p.restore();
    return image;
}

bool Save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Saves the picture that `draw` makes at 1 and 2 pixels per unit as "name.png" and "name@2x.png",
// the names by which the wizard picks one for the screen's pixel ratio.
bool SaveScales(const std::function<QImage(int scale)>& draw, const QString& folder, const QString& name) {
    const bool single = Save(draw(1), folder, name + u".png");
    return Save(draw(2), folder, name + u"@2x.png") && single;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-artwork OUTPUT-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    bool ok = true;
    const char* steps[] = {"templates", "editor", "options", "preview", "output"};
    for (const char* step : steps) {
        const QString word = QString::fromLatin1(step);
        ok &= SaveScales([&](int scale) { return Tab(word, true, scale); }, folder,
                         QStringLiteral("tab-%1-current").arg(word));
        ok &= SaveScales([&](int scale) { return Tab(word, false, scale); }, folder,
                         QStringLiteral("tab-%1-other").arg(word));
    }

    const Face normal{QColor(236, 236, 240), QColor(170, 170, 182), QColor(105, 105, 122), QColor(30, 30, 45),
                      QColor(255, 255, 255, 150)};
    const Face lit{QColor(200, 245, 170), QColor(78, 170, 62), QColor(48, 110, 42), QColor(16, 44, 12),
                   QColor(235, 255, 220, 150)};
    const Face disabled{QColor(238, 238, 242), QColor(214, 214, 220), QColor(168, 168, 182), QColor(182, 182, 192),
                        QColor(255, 255, 255, 120)};
    struct ButtonArt {
        const char* name;
        int width;
        const char* word;
    };
    const ButtonArt buttons[] = {{"back", 80, "< back"}, {"next", 80, "next >"}, {"generate", 90, "generate"}};
    for (const ButtonArt& button : buttons) {
        const QString name = QString::fromLatin1(button.name);
        const QString word = QString::fromLatin1(button.word);
        for (const auto& [look, face] : {std::pair{u"-normal", normal}, {u"-pressed", lit}, {u"-disabled", disabled}}) {
            ok &= SaveScales([&](int scale) { return Button(button.width, word, face, scale); }, folder, name + look);
        }
    }
    // The design buttons are never disabled.
    const ButtonArt designButtons[] = {{"open-design", 128, "Open design\u2026"},
                                       {"save-design", 128, "Save design\u2026"}};
    for (const ButtonArt& button : designButtons) {
        const QString name = QString::fromLatin1(button.name);
        const QString word = QString::fromUtf8(button.word);
        for (const auto& [look, face] : {std::pair{u"-normal", normal}, {u"-pressed", lit}}) {
            ok &= SaveScales([&](int scale) { return Button(button.width, word, face, scale); }, folder, name + look);
        }
    }

    // The icon's grid is 256 units, so twice the pixels is an edge of 512.
    ok &= Save(Icon(512), folder, QStringLiteral("vornetad@2x.png"));
    ok &= SaveScales(Corner, folder, QStringLiteral("corner"));
    ok &= Save(Icon(), folder, QStringLiteral("vornetad.png"));
    for (const int edge : {48, 128}) {
        ok &= Save(Icon(edge), folder, QStringLiteral("vornetad-%1.png").arg(edge));
    }
    return ok ? 0 : 1;
}
