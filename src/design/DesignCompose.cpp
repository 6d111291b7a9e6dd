// The members of Design that work on a banner. They are kept apart from the settings themselves,
// which the command line reads and checks without the GUI library that a banner needs.
#include "design/Design.h"

int Design::CropOffsetFor(int width) const {
    if (cropOffset) {
        return *cropOffset;
    }
    return size ? Banner::CentredCropOffset(width, *size) : 0;
}

void Design::ComposeInto(Banner& banner, const QImage& templateImage) const {
    banner.lines = lines;
    banner.side = side;
    // The size first: with an earlier template loaded it would otherwise be cut where that one
    // puts the square. Loading the template keeps the offset set here and composes.
    banner.SetBannerSize(size.value_or(Banner::kInitialSize));
    banner.cropOffset = CropOffsetFor(templateImage.width());
    banner.SetTemplate(templateImage);
}
