#include "output/OutputRuns.h"

#include "banner/GifSignature.h"
#include "banner/TemplateImage.h"
#include "files/FileNames.h"
#include "files/FolderLock.h"
#include "files/Interruption.h"
#include "files/PrivateFolder.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "files/SystemErrors.h"
#include "output/PageInjection.h"

#include <QFileInfo>
#include <QImage>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

bool RunReport::Ok() const {
    return Failures().isEmpty();
}

QList<FileResult> RunReport::Failures() const {
    QList<FileResult> failures;
    for (const FileResult& f : files) {
        if (!f.Ok()) {
            failures.append(f);
        }
    }
    return failures;
}

QStringList RunReport::Written() const {
    QStringList written;
    for (const FileResult& f : files) {
        if (f.Ok()) {
            written.append(f.path);
        }
    }
    return written;
}

QStringList NamesLeftOutNotes(const RunReport& report, const QList<std::pair<QString, QString>>& leftOut) {
    QSet<QString> failed;
    for (const FileResult& failure : report.Failures()) {
        failed.insert(failure.path);
    }
    QStringList notes;
    for (const auto& [name, page] : leftOut) {
        if (failed.contains(page)) {
            notes.append(name + QStringLiteral(": is the same file as %1, which was left as it is").arg(page));
        }
    }
    return notes;
}

namespace {

const QString kImageName = QString::fromLatin1(kAdvertImageName);
const QString kStyleName = QString::fromLatin1(kAdvertStyleName);
const QStringList kAdvertFileNames = {kImageName, At2xName(kImageName), kStyleName};

void Add(RunReport& report, const FileDone& done, const QList<FileResult>& files) {
    for (const FileResult& file : files) {
        report.files.append(file);
        if (done) {
            done(file);
        }
    }
}

// Does one page's work. A page that needs more memory than is left (a large page, a process with a
// memory limit) is that page's failure, and the run goes on to the next. Its new text is made
// before anything is written for it (see SharedFiles::WritePage), so nothing has been.
template <typename Work>
void ForOnePage(RunReport& report, const FileDone& done, const QString& page, Work work) {
    try {
        work();
    } catch (const std::bad_alloc&) {
        Add(report, done,
            {FileResult::Failure(page, QStringLiteral("there is not enough memory to rewrite it; ") +
                                           UntouchedEnding(SomethingAt(page)))});
    }
}

// One page of a generate run. A page the shared files did not reach was waited for while another
// run held its folder, and a stop came meanwhile: the run is stopped, though that page was its last.
void WriteOnePage(RunReport& report, const FileDone& done, const QString& page, SharedFiles& shared,
                  PageStart start = PageStart::AsItIs) {
    ForOnePage(report, done, page, [&] {
        const QList<FileResult> results = shared.WritePage(page, start);
        report.interrupted = report.interrupted || results.isEmpty();
        Add(report, done, results);
    });
}

// Whether the run must stop before its next page; notes it in the report.
bool Stopping(RunReport& report) {
    report.interrupted = StopRequested();
    return report.interrupted;
}

// The note for a folder whose pages lost their advert: which of the shared files it still holds.
QString LeftInPlace(const QString& folder) {
    QStringList kept;
    for (const QString& name : kAdvertFileNames) {
        if (QFileInfo::exists(JoinPath(folder, name))) {
            kept.append(name);
        }
    }
    if (kept.isEmpty()) {
        return {};
    }
    return JoinPath(folder, kept.join(QStringLiteral(", "))) +
           (kept.size() == 1 ? QStringLiteral(": left in place (other pages may use it)")
                             : QStringLiteral(": left in place (other pages may use them)"));
}

// Why the link at `path` leads to nothing this run can see: to nothing at all, round in a loop, or
// past something on the way that stops the lookup (a folder the run may not enter, a file).
QString LinkToNothingSeen(const QString& path) {
    const std::optional<QByteArray> name = EncodedName(path);
    struct stat info {};
    const int error = !name ? ENOENT : ::stat(name->constData(), &info) == 0 ? 0 : errno;
    if (error == ENOENT) {
        return QStringLiteral("it ") + MissingReason(path);
    }
    if (error == ELOOP) {
        return QStringLiteral("it ") + LinkFailure(path);
    }
    // As the link holds it, in bytes: the name it leads to need not be text.
    char target[4096];
    const ssize_t length = ::readlink(name->constData(), target, sizeof target);
    return QStringLiteral("it is a link to \"%1\", which cannot be reached: %2")
        .arg(PrintableName(QByteArray(target, std::max<ssize_t>(length, 0))), StatFailure(error));
}

// Why the image's twin at `path` is not one an earlier run with the 2x option left, for a run
// without it to replace; empty where it is: a GIF in a file of the folder's own. Through a link it
// would change another folder's banner; another file of that name is the user's.
QString NotEarlierTwin(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink()) {
        return info.exists() ? QStringLiteral("it is a link, which may lead to another folder's image")
                             : LinkToNothingSeen(path);
    }
    if (!info.isFile()) {
        return QStringLiteral("it is not a file");
    }
    const FileBytes start = ReadFileStart(path, 6);
    if (!start.status.Ok()) {
        return start.status.error;
    }
    return HasGifSignature(start.bytes) ? QString() : QStringLiteral("it is not a GIF");
}

bool EarlierTwin(const QString& path) {
    return NotEarlierTwin(path).isEmpty();
}

// The images a folder gets: the banner, and with the 2x option its twin at twice the size.
QList<ImageFile> ImagesIn(const QString& folder, const QString& imageName, const BannerGif& banner,
                          const BannerGif& banner2x, bool hidpi) {
    QList<ImageFile> images{{&banner, JoinPath(folder, imageName)}};
    if (hidpi) {
        images.append({&banner2x, JoinPath(folder, At2xName(imageName))});
    }
    return images;
}

// For a run without the 2x option, once a folder's image is written: the image's twin there from an
// earlier run, which pages there name, written too, or left as it is with why (a note). Written on
// its own after the files the user asked for, which it never holds back.
void WriteEarlierTwin(RunReport& report, const FileDone& done, const QString& folder, const BannerGif& banner2x,
                      WriteFiles write) {
    const QString twin = JoinPath(folder, At2xName(kImageName));
    // A link to nothing is said too: sharp screens show a broken image where pages here name it.
    if (const QFileInfo info(twin); !info.exists() && !info.isSymLink()) {
        return;
    }
    QString why = NotEarlierTwin(twin);
    const bool earlier = why.isEmpty();
    if (earlier) {
        why = banner2x.encoded.error;
    }
    if (earlier && banner2x.encoded.Ok()) {
        const QList<FileResult> results = write({FileToWrite{banner2x.encoded.value, twin, std::nullopt}});
        if (!results.isEmpty() && results.constFirst().Ok()) {
            Add(report, done, results);
            return;
        }
        why = results.value(0).error;
        for (const QLatin1String ending :
             {QLatin1String("; no file of the set was written"), QLatin1String("; left as it is")}) {
            if (why.endsWith(ending)) {
                why.chop(ending.size());
            }
        }
    }
    report.notes.append(twin +
                        QStringLiteral(": left as it is (%1), so pages here that name it do not show this banner "
                                       "on sharp screens")
                            .arg(why));
}

}  // namespace

bool KeepsImageTwin(const OutputTarget& target) {
    if (target.createNew) {
        return EarlierTwin(JoinPath(target.outputFolder, At2xName(kImageName)));
    }
    QSet<QString> looked;
    for (const QString& page : target.pages) {
        const QString folder = FolderOf(page);
        if (!looked.contains(folder)) {
            looked.insert(folder);
            if (EarlierTwin(JoinPath(folder, At2xName(kImageName)))) {
                return true;
            }
        }
    }
    return false;
}

bool IsAdvertFileName(const QString& name) {
    return std::any_of(kAdvertFileNames.begin(), kAdvertFileNames.end(),
                       [&name](const QString& own) { return name.compare(own, Qt::CaseInsensitive) == 0; });
}

QString AdvertFileKind(const QString& name) {
    if (!IsAdvertFileName(name)) {
        return {};
    }
    return name.compare(kStyleName, Qt::CaseInsensitive) == 0 ? QStringLiteral("style sheet") : QStringLiteral("image");
}

AdSettings WithDrawnBand(AdSettings settings, const QImage& banner, const QImage& banner2x) {
    if (settings.options.clickThrough) {
        const int w = settings.bannerSize;
        settings.clickBand = DrawnBand(banner, w, settings.side);
        if (settings.options.hidpi) {
            settings.clickBand = DrawnBand(banner2x, w, settings.side, settings.clickBand);
        }
    }
    return settings;
}

RunReport Generate(const CodeTexts& texts, const QImage& banner, const OutputTarget& target, const AdSettings& settings,
                   const QImage& banner2x, const FileDone& done) {
    const BuiltCode code =
        texts.BuildCode(kStyleName.toUtf8(), kImageName.toUtf8(), WithDrawnBand(settings, banner, banner2x));
    // Quantizing and encoding cost far more than a page; a site has many folders.
    const BannerGif gif(banner);
    const BannerGif gif2x(banner2x);
    const WriteFiles write = target.dryRun ? CheckFiles : ReplaceFiles;
    const DrawnOn drawnOn(target.templatePath);

    const auto sharedIn = [&](const QString& folder, const QStringList& pages) {
        return SharedFiles(code, ImagesIn(folder, kImageName, gif, gif2x, settings.options.hidpi),
                           JoinPath(folder, kStyleName), write, pages, drawnOn);
    };

    RunReport report;
    report.cspSources = code.cspSources;
    if (target.createNew) {
        // A stop asked for while the banner was encoded comes before the first file.
        if (Stopping(report)) {
            return report;
        }
        const QString page = JoinPath(target.outputFolder, target.fileName);
        SharedFiles shared = sharedIn(target.outputFolder, {page});
        WriteOnePage(report, done, page, shared);
        report.notes += shared.TakeNotes();
        if (!settings.options.hidpi && shared.FilesWritten()) {
            WriteEarlierTwin(report, done, target.outputFolder, gif2x, write);
        }
        return report;
    }
    // The images and the style sheet go into each folder once per unbroken run of its pages, with
    // the first page that is not refused; where they fail, that page and the rest of the run are
    // left as they are, since trying again for each page would only repeat the failure. No folder
    // has been written before the first page, not even the empty one of a bare file name.
    const PageStart start = target.pagesFound ? PageStart::Found : PageStart::AsItIs;
    std::optional<QString> runFolder;
    std::optional<SharedFiles> shared;
    bool twinDone = false;
    for (qsizetype i = 0; i < target.pages.size(); ++i) {
        if (Stopping(report)) {
            break;
        }
        const QString& page = target.pages[i];
        const QString folder = FolderOf(page);
        if (runFolder != folder) {
            runFolder = folder;
            qsizetype end = i + 1;
            while (end < target.pages.size() && FolderOf(target.pages[end]) == folder) {
                ++end;
            }
            shared.emplace(sharedIn(folder, target.pages.mid(i, end - i)));
            twinDone = settings.options.hidpi;
        }
        WriteOnePage(report, done, page, *shared, start);
        report.notes += shared->TakeNotes();
        if (!twinDone && shared->FilesWritten()) {
            twinDone = true;
            WriteEarlierTwin(report, done, folder, gif2x, write);
        }
    }
    return report;
}

RunReport RemoveAdvert(const QStringList& pages, const QByteArray& customCode, const QByteArrayList& earlierCustomCodes,
                       const FileDone& done, bool dryRun,
                       const std::function<QByteArrayList(const QString& page)>& earlierCustomCodesOf) {
    RunReport report;
    QStringList cleanedFolders;  // in the order of their first cleaned page
    QSet<QString> cleaned;
    const auto cleanedIn = [&](const QString& folder) {
        if (!cleaned.contains(folder)) {
            cleaned.insert(folder);
            cleanedFolders.append(folder);
        }
    };
    // A page and a link to it from another folder are two pages of a site; the first cleans both.
    QHash<QByteArray, QString> cleanedThrough;  // the file written, by its real path: the page given for it
    for (const QString& page : pages) {
        if (Stopping(report)) {
            break;
        }
        ForOnePage(report, done, page, [&] {
            // Taken out already through another name (a dry run, which took nothing out, says so too).
            const QByteArray file = RealPathBytes(page);
            if (const auto through = cleanedThrough.constFind(file);
                !file.isEmpty() && through != cleanedThrough.constEnd()) {
                report.notes.append(page + QStringLiteral(": no advert: it was taken out through %1").arg(*through));
                return;
            }
            // In the folder's turn, as a run that puts the advert in takes it: one writing the page
            // meanwhile would have the other refuse it as changed. Stopped while waiting, the page is
            // not reached.
            const FolderLock turn = dryRun ? FolderLock() : FolderLock(FolderOf(page));
            if (!dryRun && !turn.Held() && StopRequested()) {
                report.interrupted = true;  // the last page may have been the one waited for
                return;
            }
            const FileStamp readAs = StampOf(page);
            const PageRead read = ReadPageText(page);
            if (!read.Ok()) {
                Add(report, done, {FileResult::Failure(page, read.error)});
                return;
            }
            if (!read.value) {
                Add(report, done, {FileResult::Failure(page, MissingReason(page))});
                return;
            }
            const Result<BlockRemoval> taken = RemoveFromFile(
                *read.value, page, customCode,
                earlierCustomCodes + (earlierCustomCodesOf ? earlierCustomCodesOf(page) : QByteArrayList()));
            if (!taken.Ok()) {
                Add(report, done, {FileResult::Failure(page, taken.error)});
                return;
            }
            const BlockRemoval& removal = taken.value;
            // A page holding what no run takes out is left whole and named, whatever other blocks it
            // holds: the user takes them out by hand, and a page said to be clean still shows an advert.
            if (removal.leftover) {
                Add(report, done, {FileResult::Failure(page, removal.leftover.Reason())});
                return;
            }
            if (!removal.removed) {
                report.notes.append(page + QStringLiteral(": no advert"));
                return;
            }
            const FileResult written =
                (dryRun ? CheckFiles : ReplaceFiles)({{removal.page, page, readAs, std::nullopt, *read.value}})
                    .constFirst();
            if (written.Ok()) {
                cleanedIn(FolderOf(page));
                // A link's target stands in a folder of its own, which has its image and style sheet too.
                if (QFileInfo(page).isSymLink()) {
                    cleanedIn(FolderOf(WriteTarget(page)));
                }
                cleanedThrough.insert(file, page);
            }
            Add(report, done, {written});
        });
    }
    for (const QString& folder : cleanedFolders) {
        if (const QString note = LeftInPlace(folder); !note.isEmpty()) {
            report.notes.append(note);
        }
    }
    return report;
}

RunReport WritePreview(const CodeTexts& texts, const QImage& banner, const AdSettings& settings, const QString& folder,
                       const QImage& banner2x, const QString& templatePath) {
    RunReport report;
    QString target = folder;
    if (target.isEmpty()) {
        const FileResult privateFolder = PrivatePreviewFolder();
        if (!privateFolder.Ok()) {
            report.files.append(privateFolder);
            return report;
        }
        target = privateFolder.path;
    }
    const QString imageName = QStringLiteral("adPreview.gif");
    const QString styleName = QStringLiteral("adPreview.css");
    const QString pagePath = JoinPath(target, QStringLiteral("adPreview.html"));
    const BuiltCode code =
        texts.BuildCode(styleName.toUtf8(), imageName.toUtf8(), WithDrawnBand(settings, banner, banner2x));
    report.cspSources = code.cspSources;
    const BannerGif gif(banner);
    const BannerGif gif2x(settings.options.hidpi ? banner2x : QImage());
    SharedFiles shared(code, ImagesIn(target, imageName, gif, gif2x, settings.options.hidpi),
                       JoinPath(target, styleName), ReplaceFiles, {}, DrawnOn(templatePath));
    // Made new each time: an earlier preview's custom code, changed since, must not stay in it.
    report.files = shared.WritePage(pagePath, PageStart::Sample);
    // In the private folder they are the user's alone whatever the umask: one that takes the owner's
    // own bits made files that the browser could not read, nor a later preview replace.
    if (folder.isEmpty()) {
        for (const FileResult& file : std::as_const(report.files)) {
            if (const std::optional<QByteArray> name = EncodedName(file.path); file.Ok() && name) {
                ::chmod(name->constData(), S_IRUSR | S_IWUSR);
            }
        }
    }
    report.interrupted = report.files.isEmpty();
    if (!report.files.isEmpty() && report.files.constLast().Ok()) {
        report.previewPage = pagePath;
    }
    return report;
}
