// The looks and their colours, apart from their drawing (TemplateMaker.cpp): the command line checks
// a style and its colours without loading the libraries that draw. Each names its drawing by its
// TemplateLook, which the drawing cannot leave out.
#include "templatemaker/TemplateMaker.h"

using namespace Qt::StringLiterals;

const std::vector<TemplateStyle>& TemplateStyles() {
    static const std::vector<TemplateStyle> styles = {
        {TemplateLook::Curl,
         u"curl"_s,
         u"a page rolled up from the corner, showing a colour behind it"_s,
         {u"behind the roll"_s, u"corner"_s},
         {0xff1d4f9c, 0xff0d2b63},
         true},
        {TemplateLook::DogEar,
         u"dogear"_s,
         u"the corner folded over, its back in a paper tone"_s,
         {u"paper at the fold"_s, u"paper at the corner"_s},
         {0xfff3e8d1, 0xffd8c49b},
         true},
        {TemplateLook::Gradient,
         u"gradient"_s,
         u"a filled corner in a colour ramp, with a pale strip for the text"_s,
         {u"text strip"_s, u"ramp near the strip"_s, u"ramp in the corner"_s},
         {0xfff1fafe, 0xff4fbfdf, 0xff073863},
         false},
        {TemplateLook::Midnight,
         u"midnight"_s,
         u"a starry sky with a silver strip and a fine rule"_s,
         {u"sky"_s, u"text strip"_s, u"rule"_s},
         {0xff161d31, 0xffe8ecf1, 0xffd9b24c},
         false},
        {TemplateLook::Pastel,
         u"pastel"_s,
         u"soft stripes beyond a white strip"_s,
         {u"first stripe"_s, u"second stripe"_s, u"third stripe"_s},
         {0xfffbd5e2, 0xffcfefe0, 0xffdfd8f6},
         false},
        {TemplateLook::Ribbon,
         u"ribbon"_s,
         u"a sash across the corner, stitched along its edges"_s,
         {u"ribbon"_s, u"highlight"_s, u"stitching"_s},
         {0xffcc222c, 0xffe23d45, 0xfff9d0d2},
         true},
        {TemplateLook::Tape,
         u"tape"_s,
         u"a band of tape with hatched edges"_s,
         {u"tape"_s, u"hatching"_s},
         {0xffffdc2e, 0xff1c1c1c},
         true},
        {TemplateLook::Winter,
         u"winter"_s,
         u"a snow bank with icicles under a sky with snowflakes"_s,
         {u"sky near the snow"_s, u"sky in the corner"_s},
         {0xffb9e0f7, 0xff22559a},
         false},
    };
    return styles;
}

const TemplateStyle* FindTemplateStyle(const QString& name) {
    for (const TemplateStyle& style : TemplateStyles()) {
        if (style.name == name) {
            return &style;
        }
    }
    return nullptr;
}
