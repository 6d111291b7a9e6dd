#include "OutputRuns.h"

#include "PageInjection.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>

#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// Whether `path` is a real folder (not a link) that only we can enter, list or change.
bool IsPrivateFolder(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 077) == 0;
}

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}
#endif

}  // namespace

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
    // The image and the style sheet go into each folder once per unbroken run of its pages. No
    // folder has been written before the first page, not even the empty one of a bare file name.
    std::optional<QString> previousFolder;
    for (const QString& page : target.pages) {
        const QString folder = FolderOf(page);
        report.files += WritePage(texts, banner, JoinPath(folder, imageName), JoinPath(folder, styleName), page,
                                  previousFolder == folder);
        previousFolder = folder;
    }
    return report;
}

FileResult PrivatePreviewFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
#ifdef Q_OS_UNIX
    // The temporary location is usually shared by every user, who could create our folder first, or
    // a link in its place, and so read or redirect what we write. A folder that is not a real one
    // of ours with owner-only permissions is never used; a fresh one with a random name stands in
    // for it for the rest of the process, so later previews still find the earlier page.
    static QString chosenBase;
    static QString chosen;
    if (chosenBase == base && !chosen.isEmpty() && IsPrivateFolder(QFile::encodeName(chosen))) {
        return FileResult::Success(chosen);
    }
    chosenBase = base;
    chosen.clear();
    const QString stable = JoinPath(base, QStringLiteral("vornetad-%1").arg(::geteuid()));
    const QByteArray stableName = QFile::encodeName(stable);
    if (::mkdir(stableName.constData(), 0700) != 0 && errno != EEXIST) {
        return FileResult::Failure(stable, QStringLiteral("cannot create the preview folder: %1").arg(ErrnoText()));
    }
    if (IsPrivateFolder(stableName)) {
        chosen = stable;
        return FileResult::Success(chosen);
    }
    QByteArray pattern = QFile::encodeName(JoinPath(base, QStringLiteral("vornetad-XXXXXX")));
    if (::mkdtemp(pattern.data()) == nullptr) {
        return FileResult::Failure(QFile::decodeName(pattern),
                                   QStringLiteral("cannot create the preview folder: %1").arg(ErrnoText()));
    }
    chosen = QFile::decodeName(pattern);
    return FileResult::Success(chosen);
#else
    // Elsewhere the temporary location belongs to the user alone.
    const QString folder = JoinPath(base, QStringLiteral("vornetad"));
    if (!QDir().mkpath(folder)) {
        return FileResult::Failure(folder, QStringLiteral("cannot create the preview folder"));
    }
    return FileResult::Success(folder);
#endif
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
