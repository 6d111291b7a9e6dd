// The members of Design that work on a banner. They are kept apart from the settings themselves,
// which the command line reads and checks without the GUI library that a banner needs.
#include "design/Design.h"

QPoint Design::CropOffsetFor(QSize templateSize) const {
    if (cropOffset) {
        return Banner::CropAt(templateSize, *cropOffset, size.value_or(Banner::kInitialSize));
    }
    return size ? Banner::CentredCrop(templateSize, *size) : QPoint();
}

void Design::ComposeInto(Banner& banner, const QImage& templateImage) const {
    // Built on a banner without a template, whose setters do not compose: loading the template
    // last composes once and keeps the crop offset set here.
    Banner look;
    look.SetLines(lines);
    look.SetSide(side);
    if (templateImage.isNull() && size && !cropOffset) {
        // Centred on a template without pixels, as the banner keeps it: the next template the
        // user picks gets the square in its middle.
        look.SetTemplate(templateImage);
        look.SetBannerSize(*size);
    } else {
        look.SetBannerSize(size.value_or(Banner::kInitialSize));
        look.SetCropOffset(CropOffsetFor(templateImage.size()));
    }
    look.SetScale(banner.Scale());
    look.SetTemplate(templateImage);
    banner = std::move(look);
}
