#include "OutputRuns.h"

#include "PageInjection.h"
#include "TemplateImage.h"
#include "files/PrivateFolder.h"

#include <QImage>

#include <algorithm>
#include <functional>
#include <optional>

bool RunReport::ok() const {
    return Failures().isEmpty();
}

QList<FileResult> RunReport::Failures() const {
    QList<FileResult> failures;
    for (const FileResult& f : files) {
        if (!f.ok()) {
            failures.append(f);
        }
    }
    return failures;
}

QStringList RunReport::Written() const {
    QStringList written;
    for (const FileResult& f : files) {
        if (f.ok()) {
            written.append(f.path);
        }
    }
    return written;
}

namespace {

// The images a folder gets: the banner, and with the 2x option its twin at twice the size.
QList<ImageFile> ImagesIn(const QString& folder, const QString& imageName, const QImage& banner, const QImage& banner2x,
                          const AdSettings& settings) {
    QList<ImageFile> images{{banner, JoinPath(folder, imageName)}};
    if (settings.options.hidpi) {
        images.append({banner2x, JoinPath(folder, At2xName(imageName))});
    }
    return images;
}

}  // namespace

RunReport Generate(CodeTexts& texts, const QImage& banner, const OutputTarget& target, const AdSettings& settings,
                   const QImage& banner2x) {
    const QString imageName = QStringLiteral("VornetAdMap.gif");
    const QString styleName = QStringLiteral("VornetAdStyle.css");
    texts.BuildCode(styleName.toUtf8(), imageName.toUtf8(), settings);

    RunReport report;
    if (target.createNew) {
        const QString& folder = target.outputFolder;
        report.files = WritePage(texts, ImagesIn(folder, imageName, banner, banner2x, settings),
                                 JoinPath(folder, styleName), JoinPath(folder, target.fileName), false);
        return report;
    }
    // The images and the style sheet go into each folder once per unbroken run of its pages: with
    // the first page that is not refused, and again after a page whose copies failed. No folder
    // has been written before the first page, not even the empty one of a bare file name.
    std::optional<QString> runFolder;
    bool sharedFilesWritten = false;
    for (const QString& page : target.pages) {
        const QString folder = FolderOf(page);
        if (runFolder != folder) {
            runFolder = folder;
            sharedFilesWritten = false;
        }
        const QList<ImageFile> images = ImagesIn(folder, imageName, banner, banner2x, settings);
        const QList<FileResult> results =
            WritePage(texts, images, JoinPath(folder, styleName), page, sharedFilesWritten);
        if (!sharedFilesWritten && results.size() == images.size() + 2) {
            sharedFilesWritten = std::all_of(results.begin(), results.end() - 1, std::mem_fn(&FileResult::ok));
        }
        report.files += results;
    }
    return report;
}

RunReport WritePreview(CodeTexts& texts, const QImage& banner, const AdSettings& settings, const QString& folder,
                       const QImage& banner2x) {
    RunReport report;
    QString target = folder;
    if (target.isEmpty()) {
        const FileResult privateFolder = PrivatePreviewFolder();
        if (!privateFolder.ok()) {
            report.files.append(privateFolder);
            return report;
        }
        target = privateFolder.path;
    }
    const QString imageName = QStringLiteral("adPreview.gif");
    const QString styleName = QStringLiteral("adPreview.css");
    const QString pagePath = JoinPath(target, QStringLiteral("adPreview.html"));
    texts.BuildCode(styleName.toUtf8(), imageName.toUtf8(), settings);
    report.files = WritePage(texts, ImagesIn(target, imageName, banner, banner2x, settings),
                             JoinPath(target, styleName), pagePath, false);
    if (report.files.constLast().ok()) {
        report.previewPage = pagePath;
    }
    return report;
}
