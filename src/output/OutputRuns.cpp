#include "OutputRuns.h"

#include "PageInjection.h"
#include "files/PrivateFolder.h"

#include <QImage>

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

RunReport Generate(CodeTexts& texts, const QImage& banner, const OutputTarget& target, const AdSettings& settings) {
    const QString imageName = QStringLiteral("VornetAdMap.gif");
    const QString styleName = QStringLiteral("VornetAdStyle.css");
    texts.BuildCode(styleName.toUtf8(), imageName.toUtf8(), settings);

    RunReport report;
    if (target.createNew) {
        const QString& folder = target.outputFolder;
        report.files = WritePage(texts, banner, JoinPath(folder, imageName), JoinPath(folder, styleName),
                                 JoinPath(folder, target.fileName), false);
        return report;
    }
    // The image and the style sheet go into each folder once per unbroken run of its pages: with
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
        const QList<FileResult> results = WritePage(texts, banner, JoinPath(folder, imageName),
                                                    JoinPath(folder, styleName), page, sharedFilesWritten);
        if (!sharedFilesWritten && results.size() == 3) {
            sharedFilesWritten = results[0].ok() && results[1].ok();
        }
        report.files += results;
    }
    return report;
}

RunReport WritePreview(CodeTexts& texts, const QImage& banner, const AdSettings& settings, const QString& folder) {
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
    report.files = WritePage(texts, banner, JoinPath(target, imageName), JoinPath(target, styleName), pagePath, false);
    if (report.files.constLast().ok()) {
        report.previewPage = pagePath;
    }
    return report;
}
