// Apart from the decoder: the code block names the 2x image without any image code.
#include "banner/TemplateImage.h"

QString At2xName(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= name.lastIndexOf(u'/')) {
        return name + QStringLiteral("@2x");
    }
    return name.left(dot) + QStringLiteral("@2x") + name.mid(dot);
}
