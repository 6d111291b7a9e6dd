// The code command: texts only, no image and no font, so that it runs without the GUI libraries.
#include "cli/Commands.h"
#include "output/CodeTexts.h"

#include <cstdio>

std::optional<CodeTexts> BuiltInTexts() {
    CodeTexts texts;
    if (const FileResult loaded = texts.LoadTextResources(); !loaded.Ok()) {
        std::fprintf(stderr, "vornetad-cli: %s: %s\n", qUtf8Printable(loaded.path), qUtf8Printable(loaded.error));
        return std::nullopt;
    }
    return texts;
}

int RunCode(const CliRequest& request) {
    std::optional<CodeTexts> loaded = BuiltInTexts();
    if (!loaded) {
        return 1;
    }
    CodeTexts& texts = *loaded;
    texts.BuildCode(kAdvertStyleName, kAdvertImageName, request.design.Advert());
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
