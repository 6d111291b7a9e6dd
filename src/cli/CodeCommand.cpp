// The code command: texts only, no image and no font, so that it runs without the GUI libraries.
#include "CodeTexts.h"
#include "Commands.h"

#include <cstdio>

int RunCode(const CliRequest& request) {
    CodeTexts texts;
    texts.LoadTextResources();
    texts.BuildCode(QByteArrayLiteral("VornetAdStyle.css"), QByteArrayLiteral("VornetAdMap.gif"),
                    request.design.Advert());
    if (request.cspHash) {
        for (const QByteArray& source : std::as_const(texts.cspSources)) {
            std::fwrite(source.constData(), 1, size_t(source.size()), stdout);
            std::fputc('\n', stdout);
        }
        return 0;
    }
    const QByteArray& text = request.css ? texts.styleSheet : texts.codeBlock;
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return 0;
}
