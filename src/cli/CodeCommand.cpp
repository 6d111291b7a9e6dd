// The code command: texts only, no image and no font, so that it runs without the GUI libraries.
#include "cli/Commands.h"
#include "output/CodeTexts.h"

#include <cerrno>
#include <cstdio>

namespace {

int firstOutputError = 0;

}  // namespace

void PrintOut(QByteArrayView bytes) {
    const size_t size = size_t(bytes.size());
    if (std::fwrite(bytes.data(), 1, size, stdout) != size && firstOutputError == 0) {
        firstOutputError = errno;
    }
}

int FirstOutputError() {
    return firstOutputError;
}

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
            PrintOut(QByteArray(source + '\n'));
        }
        return 0;
    }
    PrintOut(request.css ? texts.styleSheet : texts.codeBlock);
    return 0;
}
