#include "Commands.h"

#include "Banner.h"
#include "CliHelp.h"
#include "CodeTexts.h"
#include "GifWriter.h"
#include "OutputRuns.h"
#include "TemplateCatalog.h"
#include "TemplateImage.h"
#include "design/DesignFile.h"
#include "files/ReplaceFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <cstdio>
#include <optional>

namespace {

void PrintLine(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

void PrintFailure(const FileResult& result) {
    PrintLine(stderr, QStringLiteral("%1: %2").arg(result.path, result.error));
}

// The banner as the wizard would compose it for these options; nothing (after a message) when
// there is no template to use.
std::optional<Banner> BuildBanner(const CliRequest& request) {
    NamedTemplate named = LoadNamedTemplate(request);
    if (!named.error.isEmpty()) {
        UsageError(named.error);
        return std::nullopt;
    }
    QImage image = std::move(named.image);
    if (request.design.TemplatePath().isEmpty()) {
        const QString folder = DefaultTemplatesFolder();
        const std::optional<QStringList> paths = TemplateCatalog::Paths(folder);
        if (!paths || paths->isEmpty()) {
            PrintLine(stderr, QStringLiteral("no template given and no templates found in \"%1\"").arg(folder));
            return std::nullopt;
        }
        TemplateImage loaded = LoadTemplateImage(paths->constFirst());
        if (!loaded.status.ok()) {
            PrintLine(stderr, QStringLiteral("no template given, and the first template \"%1\" is refused: %2")
                                  .arg(loaded.status.path, loaded.status.error));
            return std::nullopt;
        }
        image = std::move(loaded.image);
    }
    // Converted here, as the banner would convert it, so that the work is done while the fonts are
    // still being set up.
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (request.awaitFonts != nullptr) {
        request.awaitFonts();
    }
    Banner banner;
    request.design.ComposeInto(banner, image);
    return banner;
}

int ExitStatus(const RunReport& report) {
    for (const FileResult& result : report.files) {
        if (result.ok()) {
            PrintLine(stdout, result.path);
        } else {
            PrintFailure(result);
        }
    }
    return report.ok() ? 0 : 1;
}

CodeTexts LoadedTexts() {
    CodeTexts texts;
    texts.LoadTextResources();
    return texts;
}

}  // namespace

NamedTemplate LoadNamedTemplate(const CliRequest& request) {
    const QString path = request.design.TemplatePath();
    if (path.isEmpty()) {
        return {};
    }
    TemplateImage loaded = LoadTemplateImage(path);
    if (!loaded.status.ok()) {
        const QString source =
            request.templateOption ? QStringLiteral("--template:") : QStringLiteral("--design: its template");
        return {{}, QStringLiteral("%1 \"%2\": %3").arg(source, path, loaded.status.error)};
    }
    return {std::move(loaded.image), {}};
}

int RunCompose(const CliRequest& request) {
    const std::optional<Banner> banner = BuildBanner(request);
    if (!banner) {
        return 2;
    }
    if (!request.gifPath.isEmpty()) {
        const FileResult result = SaveAsGif(banner->Composed(), request.gifPath);
        if (!result.ok()) {
            PrintFailure(result);
            return 1;
        }
        return 0;
    }
    // Encoded in memory, where writing cannot fail, then written as one file like every other.
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !banner->Composed().save(&buffer, "PNG")) {
        PrintFailure(FileResult::Failure(request.pngPath, QStringLiteral("the PNG encoder failed")));
        return 1;
    }
    const FileResult result = ReplaceFile(png, request.pngPath);
    if (!result.ok()) {
        PrintFailure(result);
        return 1;
    }
    return 0;
}

int RunGenerate(const CliRequest& request) {
    const std::optional<Banner> banner = BuildBanner(request);
    if (!banner) {
        return 2;
    }
    CodeTexts texts = LoadedTexts();
    return ExitStatus(Generate(texts, banner->Composed(), request.design.Target(), request.design.Advert()));
}

int RunPreview(const CliRequest& request) {
    const std::optional<Banner> banner = BuildBanner(request);
    if (!banner) {
        return 2;
    }
    CodeTexts texts = LoadedTexts();
    const QString folder = request.previewFolder.isEmpty() ? QString() : QDir(request.previewFolder).absolutePath();
    const RunReport report = WritePreview(texts, banner->Composed(), request.design.Advert(), folder);
    for (const FileResult& failure : report.Failures()) {
        PrintFailure(failure);
    }
    if (!report.ok()) {
        return 1;
    }
    PrintLine(stdout, report.previewPage);
    return 0;
}

int RunTemplates(const CliRequest& request) {
    // Full paths, also for a folder given relative to the current one.
    const QString folder =
        request.templatesFolder.isEmpty() ? DefaultTemplatesFolder() : QDir(request.templatesFolder).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        PrintLine(stderr, QStringLiteral("%1: no such folder").arg(folder));
        return 2;
    }
    for (const QString& path : TemplateCatalog::Paths(folder).value_or(QStringList())) {
        PrintLine(stdout, path);
    }
    return 0;
}

int RunDesign(const CliRequest& request) {
    // A design that names a template no run could use is refused before it is saved.
    if (const NamedTemplate named = LoadNamedTemplate(request); !named.error.isEmpty()) {
        return UsageError(named.error);
    }
    const FileResult result = WriteDesign(request.design, request.savePath);
    if (!result.ok()) {
        PrintFailure(result);
        return 1;
    }
    PrintLine(stdout, QFileInfo(request.savePath).absoluteFilePath());
    return 0;
}
