#pragma once

#include "files/Result.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Edge of a template in pixels. Its high-resolution companion, "NAME@2x.gif", is the same design
// drawn at twice the edge, every length doubled.
inline constexpr int kTemplateEdge = 500;

// The drawings a look can have. The styles table names one for each look, and DrawTemplate handles
// them in a switch that the compiler checks for completeness: no look can be listed that nothing
// draws.
enum class TemplateLook { Curl, DogEar, Gradient, Midnight, Pastel, Ribbon, Tape, Winter };

// A look a template can be drawn in, in colours of the user's choice. Every look is laid out across
// the square's main diagonal, so it holds at every banner size (see TemplateMaker.cpp).
struct TemplateStyle {
    TemplateLook look = TemplateLook::Curl;
    QString name;                       // as the command line and the wizard's list give it: "ribbon"
    QString description;                // a short phrase: "a sash across the corner, stitched along its edges"
    QStringList colorNames;             // what each colour paints, two or three, as many as the drawing
                                        // reads: "ribbon", "highlight", ...
    QList<QRgb> defaultColors;          // one for each name
    bool hasShadowlessVariant = false;  // for pages that are not white
};

// The looks, in the order the wizard lists them.
const std::vector<TemplateStyle>& TemplateStyles();
// The look called `name`; null when there is none.
const TemplateStyle* FindTemplateStyle(const QString& name);

// `style` in `colors` (one for each of its colour names; missing ones take the defaults, extra ones
// are ignored; alpha is ignored), `scale` times kTemplateEdge pixels square, with transparency where
// the page shows through. `shadow` false draws the shadowless variant of a look that has one.
QImage DrawTemplate(const TemplateStyle& style, const QList<QRgb>& colors, int scale = 1, bool shadow = true);

// One file of a template: named after the template, then `suffix`, then ".gif".
struct TemplateFile {
    QString suffix;  // "", "@2x", "b" (the shadowless variant) or "b@2x"
    QByteArray bytes;
};

// Every file of a template made in `style` and `colors`, as the wizard and the command line save
// it: the template and its 2x companion, then the shadowless variant and its companion where the
// look has one. The same arguments always give the same bytes. Fails, naming no subject, when the
// encoder does.
Result<std::vector<TemplateFile>> MakeTemplateFiles(const TemplateStyle& style, const QList<QRgb>& colors);

// A template that ships with the program: its file name without ".gif", and its drawing at a scale.
struct ShippedTemplate {
    QString name;
    std::function<QImage(int scale)> draw;
};
// Every shipped template and shadowless variant, sorted by name. tools/make-templates writes them.
const std::vector<ShippedTemplate>& ShippedTemplates();

// A picture (a photo, a logo) made into a template: the largest square from its centre, scaled
// smoothly to kTemplateEdge pixels, its transparency kept. A null picture gives a null image.
QImage SquareTemplate(const QImage& picture);
