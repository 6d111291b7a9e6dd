// The code command: texts only, no image and no font, so that it runs without the GUI libraries;
// only the click-through style sheet depends on the banner (RunCodeForBanner).
#include "banner/GifSignature.h"
#include "cli/CliHelp.h"
#include "cli/Commands.h"
#include "files/ReadFile.h"
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

QString TemplateRefusal(const CliRequest& request, const QString& reason) {
    const QString source =
        request.templateOption ? QStringLiteral("--template:") : QStringLiteral("--design: its template");
    return QStringLiteral("%1 \"%2\": %3").arg(source, request.design.TemplatePath(), reason);
}

int RunCode(const CliRequest& request) {
    // The template named is looked at as far as it can be without decoding it, which would start
    // the drawing libraries for a text that does not show it: a file there, and a GIF by its start.
    if (const QString path = request.design.TemplatePath(); !path.isEmpty()) {
        const FileBytes start = ReadFileStart(path, 6);
        if (!start.status.Ok()) {
            return UsageError(TemplateRefusal(request, start.status.error));
        }
        if (!HasGifSignature(start.bytes)) {
            // As a drawing run tells it: a file cut within the signature is a GIF cut short.
            return UsageError(TemplateRefusal(request, start.bytes.isEmpty() ? QStringLiteral("the file is empty")
                                                       : BeginsLikeGifSignature(start.bytes)
                                                           ? QString::fromLatin1(kGifCutShort)
                                                           : QStringLiteral("not a GIF image")));
        }
    }
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
