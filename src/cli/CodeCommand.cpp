// The code command: texts only, no image and no font, so that it runs without the GUI libraries;
// only the click-through style sheet depends on the banner (RunCodeForBanner).
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
    Result<CodeTexts> loaded = CodeTexts::LoadTextResources();
    if (!loaded.Ok()) {
        std::fprintf(stderr, "vornetad-cli: %s: %s\n", qUtf8Printable(loaded.subject), qUtf8Printable(loaded.error));
        return std::nullopt;
    }
    return std::move(loaded.value);
}

bool CodeNeedsBanner(const CliRequest& request) {
    return request.css && request.design.options.clickThrough;
}

int RunCode(const CliRequest& request) {
    return PrintCode(request, request.design.Advert());
}

int PrintCode(const CliRequest& request, const AdSettings& settings) {
    const std::optional<CodeTexts> texts = BuiltInTexts();
    if (!texts) {
        return 1;
    }
    const BuiltCode code = texts->BuildCode(kAdvertStyleName, kAdvertImageName, settings);
    if (request.cspHash) {
        for (const QByteArray& source : code.cspSources) {
            PrintOut(QByteArray(source + '\n'));
        }
        return 0;
    }
    PrintOut(request.css ? code.styleSheet : code.codeBlock);
    return 0;
}
