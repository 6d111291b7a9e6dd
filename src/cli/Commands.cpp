#include "cli/Commands.h"

#include "banner/Banner.h"
#include "banner/GifWriter.h"
#include "banner/TemplateImage.h"
#include "cli/CliHelp.h"
#include "design/DesignFile.h"
#include "design/WriteOver.h"
#include "files/FileNames.h"
#include "files/FolderLock.h"
#include "files/Interruption.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "files/SiteWalk.h"
#include "files/SystemErrors.h"
#include "output/CodeTexts.h"
#include "output/OutputRuns.h"
#include "output/PageInjection.h"
#include "templatemaker/TemplateMaker.h"
#include "templates/DataFolder.h"
#include "templates/TemplateCatalog.h"
#include "templates/UserTemplates.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

void PrintLine(std::FILE* stream, const QString& text) {
    const QByteArray bytes = PrintableText(text).toUtf8() + '\n';
    if (stream == stdout) {
        PrintOut(bytes);  // which keeps the reason a line failed, for the final check of the output
        return;
    }
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

void PrintFailure(const FileResult& result) {
    PrintLine(stderr, QStringLiteral("%1: %2").arg(result.path, result.error));
}

// Whether the file at `path` is still the one stamped `then`: the same file, of the same size and
// last written at the same time. A change of its permissions or links alone leaves its drawing as
// it was.
bool SameFile(const QString& path, const FileStamp& then) {
    const FileStamp now = StampOf(path);
    return now.exists == then.exists && now.device == then.device && now.inode == then.inode && now.size == then.size &&
           now.modifiedNs == then.modifiedNs;
}

// A banner as the wizard composes it, the path of its template, and the template's stamp when it
// was read.
struct BuiltBanner {
    Banner banner;
    QString templatePath;
    FileStamp templateStamp;

    // The banner at twice the size where `wanted` (the hidpi option); null otherwise. A companion
    // that is there but refused is named on stderr, since the 2x image then is the template scaled
    // up. Nothing (after a message) where another run has replaced the template since it was read:
    // the two images would show two drawings. (Runs that only read a template take no turn in its
    // folder, which may be the shipped one, shared by every user, where a turn taken by one would
    // hold up all.)
    std::optional<QImage> At2x(bool wanted) const {
        if (!wanted) {
            return QImage();
        }
        if (!SameFile(templatePath, templateStamp)) {
            PrintLine(stderr, templatePath + QStringLiteral(": was replaced by another run while the banner was "
                                                            "drawn on it; nothing was written; run again"));
            return std::nullopt;
        }
        const TemplateImage companion = LoadCompanion(templatePath);
        if (const QString note = CompanionNotUsed(banner, companion); !note.isEmpty()) {
            PrintLine(stderr, note);
        }
        return ComposeAt2x(banner, companion.image);
    }
};

// The banner as the wizard would compose it for these options; nothing (after a message) when
// there is no template to use.
std::optional<BuiltBanner> BuildBanner(const CliRequest& request) {
    QString path = request.design.TemplatePath();
    // Stamped before it is read, so that a change while it is read shows too (see At2x).
    FileStamp stamp = StampOf(path);
    Result<QImage> named = LoadNamedTemplate(request);
    if (!named.Ok()) {
        UsageError(named.error);
        return std::nullopt;
    }
    QImage image = std::move(named.value);
    if (path.isEmpty()) {
        const TemplateSources sources = DefaultTemplateSources();
        const std::optional<QStringList> paths = TemplateCatalog::Paths(sources);
        if (!paths || paths->isEmpty()) {
            PrintLine(stderr, QStringLiteral("no template given and no templates found in \"%1\" or \"%2\"")
                                  .arg(sources.shipped, sources.user));
            return std::nullopt;
        }
        stamp = StampOf(paths->constFirst());
        TemplateImage loaded = LoadTemplateImage(paths->constFirst());
        if (!loaded.status.Ok()) {
            PrintLine(stderr, QStringLiteral("no template given, and the first template \"%1\" is refused: %2")
                                  .arg(loaded.status.path, loaded.status.error));
            return std::nullopt;
        }
        image = std::move(loaded.image);
        path = paths->constFirst();
    }
    if (request.awaitFonts != nullptr) {
        request.awaitFonts();
    }
    BuiltBanner built{Banner(), path, stamp};
    request.design.ComposeInto(built.banner, image);
    return built;
}

// Says where the banner's text is not drawn as asked, and returns whether the run refuses it: where
// it would show boxes for letters, which a run does not hand over as done (a system without fonts,
// a bare container say, or letters no font has). A line drawn in another face than the one asked
// for, or wholly outside the square, is said, not refused: the banner is still one the user may want.
bool RefusesText(const Banner& banner) {
    const std::optional<Banner::Box> box = banner.FirstBox();
    if (const std::optional<Banner::Inkless> inkless = box ? std::nullopt : banner.FirstInkless()) {
        PrintLine(stderr, u"line %1: the font \"%2\" draws none of its letters (its file may be damaged); choose "
                          u"another font; nothing was written"_s.arg(inkless->line + 1)
                              .arg(PrintableText(inkless->face)));
        return true;
    }
    if (!box) {
        for (const QString& note : banner.FacesNotInstalled()) {
            PrintLine(stderr, note);
        }
        for (const int line : banner.LinesNotShown()) {
            PrintLine(stderr, QStringLiteral("line %1: none of its text lands in the %2-pixel square, where its size, "
                                             "the lines beside it or its offset put it; smaller text or a larger "
                                             "banner shows it")
                                  .arg(line + 1)
                                  .arg(banner.Composed().width()));
        }
        return false;
    }
    PrintLine(stderr, box->letter.isEmpty()
                          ? u"no fonts are installed here, so every letter would be drawn as a box; install one "
                            u"(such as fonts-dejavu-core) and run again; nothing was written"_s
                          : (box->colour ? u"line %1: \"%2\" (%3) is a colour emoji, which cannot be drawn along the "
                                           u"diagonal; nothing was written"_s
                                         : u"line %1: no installed font has \"%2\" (%3), which would be drawn as a "
                                           u"box; nothing was written"_s)
                                .arg(box->line + 1)
                                .arg(box->letter, box->CodePoint()));
    return true;
}

// A file written is named on stdout, a failure on stderr, each as soon as the run is done with it.
void PrintResult(const FileResult& result) {
    if (result.Ok()) {
        PrintLine(stdout, result.path);
    } else {
        PrintFailure(result);
    }
}

// Where another run has its turn in a folder, the run waits for it; without a word, it would look
// hung.
void PrintFolderWait(const QString& folder) {
    PrintLine(stderr, folder + QStringLiteral(": another run is writing into this folder; waiting for it to finish"));
}

// The custom code that earlier runs may have put after the advert's blocks, besides this run's.
QByteArrayList EarlierCustomCodes(const CliRequest& request) {
    return request.designCustomCode.isEmpty() ? QByteArrayList() : QByteArrayList{request.designCustomCode};
}

// Where a run's notes go: a removal's name pages it reports, beside them on stdout; a run's
// stdout lists only files written, and its notes go to stderr. What the site walk says before
// any run goes to stderr for both, ahead of the pages a removal lists first.
FILE* NotesStream(const CliRequest& request) {
    return request.command == CliRequest::Command::Remove ? stdout : stderr;
}

// Prints the run's notes, its files having been printed as they came, and gives the exit status;
// `problemsBefore`: failures were found before the run.
int ExitStatus(const CliRequest& request, const RunReport& report, bool problemsBefore) {
    for (const QString& note : report.notes) {
        PrintLine(NotesStream(request), note);
    }
    return report.Ok() && !problemsBefore ? 0 : 1;
}

// Those of `pages` that hold an earlier run's advert, in any form RemoveFromFile knows. A page
// larger than any written by hand is not read for it.
QStringList HoldingAdverts(const QStringList& pages) {
    constexpr qint64 kMaxLookedAt = qint64(16) << 20;
    QStringList holding;
    for (const QString& page : pages) {
        if (QFileInfo(page).size() > kMaxLookedAt) {
            continue;
        }
        const PageRead read = ReadPageText(page);
        if (!read.Ok() || !read.value) {
            continue;
        }
        // A file RemoveFromFile refuses holds a marker in some form.
        const Result<BlockRemoval> held = RemoveFromFile(*read.value, page, {});
        if (!held.Ok() || held.value.removed || held.value.leftover) {
            holding.append(page);
        }
    }
    return holding;
}

// The pages a run takes: the design's, or those of the --site trees, each page once (EachPageOnce),
// in the order of the trees; nothing (after a message) when a tree's folder cannot be listed, so
// that no tree is left out of a run that reports success. Full paths, so that every path printed is
// one. What the walks could not take is printed before the run, and `problemsFound` says whether
// there was any.
std::optional<PagesOnce> PagesOf(const CliRequest& request, bool& problemsFound) {
    if (request.siteFolders.isEmpty()) {
        return EachPageOnce(request.design.pages);
    }
    const bool removal = request.command == CliRequest::Command::Remove;
    const QString match = !request.siteMatch.isEmpty() ? request.siteMatch
                          : removal                    ? QLatin1String(PagePatterns::kRemovalDefault)
                                                       : QLatin1String(PagePatterns::kDefault);
    const PagePatterns excluded = PagePatterns::Parse(request.siteExclude);
    // Which --exclude patterns passed over a page in any tree: one that passed over none was likely
    // meant for a name it does not match (a name with a comma, written without its [,]).
    QList<bool> excludedSome(excluded.patterns.size(), false);
    const auto notePassedOver = [&excludedSome](const SitePages& walked) {
        for (qsizetype i = 0; i < excludedSome.size(); ++i) {
            excludedSome[i] = excludedSome[i] || walked.excludedBy[i];
        }
    };
    // Trees may overlap (a folder and one inside it), or be one tree by two names (a link to it).
    QStringList pages;
    QStringList keepingOldAdverts;  // see below
    for (const QString& folder : request.siteFolders) {
        // An earlier run may have put the advert into a file that is no page; a removal takes it out.
        const SiteKinds kinds = removal ? SiteKinds::AnyMatching : SiteKinds::Pages;
        const QString root = WholeFolderPath(folder);
        if (const QString generator = removal ? QString() : GeneratorSourceOf(root); !generator.isEmpty()) {
            Refuse(QStringLiteral("--site: %1: is the source of a site that a generator builds (it holds %2): its "
                                  "layouts and includes wrap its pages, so a built page would show the advert as "
                                  "often as they hold it, and would not find its image; run on the built site after "
                                  "each build, or give --modify the pages you mean")
                       .arg(root, generator));
            return std::nullopt;
        }
        SitePages site = WalkSite(root, PagePatterns::Parse(match), kinds, excluded);
        if (!site.status.Ok()) {
            Refuse(QStringLiteral("--site: %1: %2").arg(site.status.path, site.status.error));
            return std::nullopt;
        }
        // The advert's own image and style sheet, which are never pages, are passed over as a generate
        // run passes them over by their kind; any other file may hold an advert an earlier run put in.
        if (removal) {
            site.passedOver += site.pages.removeIf(
                [](const QString& page) { return IsAdvertFileName(page.mid(page.lastIndexOf(u'/') + 1)); });
        }
        if (site.excludedPages > 0 && site.pages.isEmpty()) {
            PrintLine(stderr, QStringLiteral("%1: every page matching %2 is passed over by --exclude %3")
                                  .arg(site.status.path, match, request.siteExclude));
        } else if (site.pages.isEmpty() && site.problems.isEmpty()) {
            const QString passedOver =
                site.passedOver == 0 ? QString()
                                     : QStringLiteral(" (%1 passed over: %2)")
                                           .arg(site.passedOver == 1 ? QStringLiteral("1 file")
                                                                     : QStringLiteral("%1 files").arg(site.passedOver),
                                                removal ? QStringLiteral("the advert's own image and style sheet "
                                                                         "are never pages")
                                                        : QLatin1String(kNeverPages));
            PrintLine(stderr, QStringLiteral("%1: no pages match %2%3").arg(site.status.path, match, passedOver));
        }
        for (const FileResult& problem : site.problems) {
            PrintFailure(problem);
        }
        problemsFound = problemsFound || !site.problems.isEmpty();
        pages += site.pages;
        // The wizard takes .shtml pages too; one given the advert there and passed over here would
        // keep an old one, its link and title, under a new image, without a word. (No run gives an
        // XHTML page the advert.)
        if (!removal && request.siteMatch.isEmpty()) {
            const SitePages others = WalkSite(root, PagePatterns::Parse(u"*.shtml"_s), SiteKinds::Pages, excluded);
            keepingOldAdverts += HoldingAdverts(others.pages);
            notePassedOver(others);
        }
        notePassedOver(site);
    }
    if (const QStringList keeping = EachPageOnce(keepingOldAdverts).pages; !keeping.isEmpty()) {
        const QLatin1String match(PagePatterns::kDefault);
        PrintLine(stderr,
                  keeping.size() == 1
                      ? QStringLiteral("%1: holds the advert of an earlier run, which this run leaves as it is, since "
                                       "the default --match %2 passes it over; give --match %2,*.shtml to update it "
                                       "too, or --exclude '*.shtml' to leave it out without this note")
                            .arg(keeping.constFirst(), match)
                      : QStringLiteral("%1 pages hold the advert of an earlier run, which this run leaves as it is, "
                                       "since the default --match %2 passes them over: %3; give --match %2,*.shtml "
                                       "to update them too, or --exclude '*.shtml' to leave them out without this note")
                            .arg(QString::number(keeping.size()), match, keeping.join(u", ")));
    }
    for (qsizetype i = 0; i < excluded.patterns.size(); ++i) {
        if (!excludedSome[i]) {
            const QString commas =
                excluded.patterns.size() > 1
                    ? QStringLiteral(" (commas separate the patterns; [,] stands for a comma in a name)")
                    : QString();
            PrintLine(stderr,
                      QStringLiteral("--exclude: \"%1\" passes over nothing: no page, nor a folder holding one, has a "
                                     "name it matches%2")
                          .arg(excluded.patterns[i].text, commas));
        }
    }
    return EachPageOnce(pages);
}

// Why the user's own templates folder can hold none, where something stands in its way: a file at
// its name or at one of the folders on its way, or a link to nothing at either. Empty where it is
// there, or not made yet, as it is until the first template is added.
QString UserFolderBlocked(const QString& folder) {
    const std::optional<QByteArray> name = EncodedName(QDir::cleanPath(folder));
    if (folder.isEmpty() || !name) {
        return {};
    }
    struct stat info {};
    const QString none = QStringLiteral(", so it holds none of your templates");
    if (::stat(name->constData(), &info) == 0) {
        return S_ISDIR(info.st_mode) ? QString() : QStringLiteral("is not a folder") + none;
    }
    if (errno == ENOTDIR) {
        return QStringLiteral("cannot be made, since a file stands where one of the folders on its way would be") +
               none;
    }
    if (errno != ENOENT) {
        return {};
    }
    // The nearest of it and the folders on its way that is there; a link there that leads to a
    // folder is as good as the folder.
    for (QByteArray part = *name; !part.isEmpty(); part.truncate(part.lastIndexOf('/'))) {
        if (::lstat(part.constData(), &info) == 0) {
            struct stat target {};
            return !S_ISLNK(info.st_mode) || ::stat(part.constData(), &target) == 0 ? QString()
                   : part == *name ? QStringLiteral("is a link to nothing") + none
                                   : QStringLiteral("cannot be made, since \"%1\" on its way is a link to nothing")
                                             .arg(PrintableName(part)) +
                                         none;
        }
    }
    return {};
}

}  // namespace

Result<QImage> LoadNamedTemplate(const CliRequest& request) {
    const QString path = request.design.TemplatePath();
    if (path.isEmpty()) {
        return {};
    }
    TemplateImage loaded = LoadTemplateImage(path);
    if (!loaded.status.Ok()) {
        return Result<QImage>::Failure(path, TemplateRefusal(request, loaded.status.error));
    }
    return Result<QImage>::Success(std::move(loaded.image), path);
}

int RunCompose(const CliRequest& request) {
    const std::optional<BuiltBanner> built = BuildBanner(request);
    if (!built) {
        return 2;
    }
    if (RefusesText(built->banner)) {
        return 1;
    }
    // Named whole in every message, as the generate run names what it writes.
    const QString path = WholePath(request.gifPath.isEmpty() ? request.pngPath : request.gifPath);
    if (const FileResult refused = CheckWriteOver(path, Writes::Picture); !refused.Ok()) {
        PrintFailure(refused);
        return 1;
    }
    if (const QString over = DrawnOn(built->templatePath).WrittenOverBy(path); !over.isEmpty()) {
        PrintFailure(FileResult::Failure(path, over));
        return 1;
    }
    // A stop asked for while the banner was drawn comes before its file, which stays as it was.
    if (StopRequested()) {
        return 1;
    }
    const Banner& banner = built->banner;
    if (!request.gifPath.isEmpty()) {
        const FileResult result = SaveAsGif(banner.Composed(), path);
        if (!result.Ok()) {
            PrintFailure(result);
            return 1;
        }
        return 0;
    }
    // Encoded in memory, where writing cannot fail, then written as one file like every other.
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !banner.Composed().save(&buffer, "PNG")) {
        PrintFailure(FileResult::Failure(path, QStringLiteral("the PNG encoder failed")));
        return 1;
    }
    const FileResult result = ReplaceFile(png, path);
    if (!result.Ok()) {
        PrintFailure(result);
        return 1;
    }
    return 0;
}

int RunGenerate(const CliRequest& request) {
    ShowFolderWaits(PrintFolderWait);
    const std::optional<BuiltBanner> built = BuildBanner(request);
    if (!built) {
        return 2;
    }
    if (RefusesText(built->banner)) {
        return 1;
    }
    OutputTarget target = request.design.Target();
    bool problems = false;
    QList<std::pair<QString, QString>> leftOut;
    if (!target.createNew) {
        std::optional<PagesOnce> pages = PagesOf(request, problems);
        if (!pages) {
            return 2;
        }
        target.pages = pages->pages;
        leftOut = std::move(pages->leftOut);
        target.pagesFound = !request.pagesGiven;
    }
    target.dryRun = request.dryRun;
    target.templatePath = built->templatePath;
    const std::optional<CodeTexts> texts = BuiltInTexts();
    if (!texts) {
        return 1;
    }
    AdSettings settings = request.design.Advert();
    settings.earlierCustomCodes = EarlierCustomCodes(request);
    const std::optional<QImage> at2x = built->At2x(settings.options.hidpi || KeepsImageTwin(target));
    if (!at2x) {
        return 1;
    }
    RunReport report = Generate(*texts, built->banner.Composed(), target, settings, *at2x, PrintResult);
    report.notes += NamesLeftOutNotes(report, leftOut);
    return ExitStatus(request, report, problems);
}

int RunCodeForBanner(const CliRequest& request) {
    const std::optional<BuiltBanner> built = BuildBanner(request);
    if (!built) {
        return 2;
    }
    const AdSettings settings = request.design.Advert();
    const std::optional<QImage> at2x = built->At2x(settings.options.hidpi);
    if (!at2x) {
        return 1;
    }
    return PrintCode(request, WithDrawnBand(settings, built->banner.Composed(), *at2x));
}

int RunRemove(const CliRequest& request) {
    ShowFolderWaits(PrintFolderWait);
    bool problems = false;
    const std::optional<PagesOnce> pages = PagesOf(request, problems);
    if (!pages) {
        return 2;
    }
    const Design& design = request.design;
    RunReport report = RemoveAdvert(pages->pages, design.customCodeEnabled ? design.customCode : QByteArray(),
                                    EarlierCustomCodes(request), PrintResult, request.dryRun);
    const int status = ExitStatus(request, report, problems);
    // They tell of a failure, beside it on stderr: stdout lists only the pages the removal reports.
    for (const QString& note : NamesLeftOutNotes(report, pages->leftOut)) {
        PrintLine(stderr, note);
    }
    return status;
}

int RunPreview(const CliRequest& request) {
    ShowFolderWaits(PrintFolderWait);
    const std::optional<BuiltBanner> built = BuildBanner(request);
    if (!built) {
        return 2;
    }
    const std::optional<CodeTexts> texts = BuiltInTexts();
    if (!texts) {
        return 1;
    }
    const QString folder = request.previewFolder.isEmpty() ? QString() : WholeFolderPath(request.previewFolder);
    const AdSettings settings = request.design.Advert();
    const std::optional<QImage> at2x = built->At2x(settings.options.hidpi);
    if (!at2x) {
        return 1;
    }
    const RunReport report =
        WritePreview(*texts, built->banner.Composed(), settings, folder, *at2x, built->templatePath);
    for (const FileResult& failure : report.Failures()) {
        PrintFailure(failure);
    }
    if (!report.Ok() || report.interrupted) {
        return 1;
    }
    PrintLine(stdout, report.previewPage);
    return 0;
}

int RunTemplates(const CliRequest& request) {
    // Full paths, also for a folder given relative to the current one.
    const TemplateSources sources = request.templatesFolder.isEmpty()
                                        ? DefaultTemplateSources()
                                        : TemplateSources{WholeFolderPath(request.templatesFolder), {}};
    // Followed through links, as listing it would be: a loop of them is named as one.
    QString missing;
    struct stat folder {};
    if (const std::optional<QByteArray> name = EncodedName(sources.shipped);
        !name || ::stat(name->constData(), &folder) != 0) {
        missing = !name || errno == ENOENT ? QStringLiteral("no such folder") : StatFailure(errno);
    } else if (!S_ISDIR(folder.st_mode)) {
        missing = QStringLiteral("is not a folder");
    }
    // A folder given that is none is a mistake in the words; the shipped one missing is the
    // installation's, and the user's own templates are listed all the same.
    if (!missing.isEmpty() && !request.templatesFolder.isEmpty()) {
        return UsageError(QStringLiteral("%1: %2").arg(sources.shipped, missing));
    }
    for (const QString& path : TemplateCatalog::Paths(sources).value_or(QStringList())) {
        PrintLine(stdout, path);
    }
    QList<FileResult> unlisted = TemplateCatalog::Unlisted(sources);
    if (const QString blocked = UserFolderBlocked(sources.user); !blocked.isEmpty()) {
        unlisted.append(FileResult::Failure(QDir::cleanPath(sources.user), blocked));
    }
    for (const FileResult& failure : unlisted) {
        PrintFailure(failure);
    }
    if (!missing.isEmpty()) {
        PrintFailure(FileResult::Failure(sources.shipped, QStringLiteral("the shipped templates' folder: ") + missing));
    }
    return unlisted.isEmpty() && missing.isEmpty() ? 0 : 1;
}

int RunDesign(const CliRequest& request) {
    // A design that names a template no run could use is refused before it is saved.
    if (const Result<QImage> named = LoadNamedTemplate(request); !named.Ok()) {
        return UsageError(named.error);
    }
    const QString path = WholePath(request.savePath);  // as compose names it
    if (const FileResult refused = CheckWriteOver(path, Writes::Design); !refused.Ok()) {
        PrintFailure(refused);
        return 1;
    }
    const FileResult result = WriteDesign(request.design, path);
    if (!result.Ok()) {
        PrintFailure(result);
        return 1;
    }
    PrintLine(stdout, path);
    return 0;
}

int RunMakeTemplate(const CliRequest& request) {
    const TemplateStyle& style = *FindTemplateStyle(request.templateStyle);
    QList<QRgb> colors;
    for (qsizetype i = 0; i < style.colorNames.size(); ++i) {
        colors.append(request.templateColors[size_t(i)].value_or(style.defaultColors[i]));
    }
    const QString path = WholePath(request.savePath);
    const Result<std::vector<TemplateFile>> files = MakeTemplateFiles(style, colors);
    if (!files.Ok()) {
        PrintFailure(FileResult::Failure(path, files.error));
        return 1;
    }
    QStringList paths;
    for (const TemplateFile& file : files.value) {
        paths.append(path.chopped(4) + file.suffix + path.right(4));
    }
    // The new drawing replaces its own files; one of its family that it does not write (the
    // shadowless variant of an earlier drawing in a style with a shadow, or a file whose ".gif" is in
    // other letters) would stay beside it and pass for its own.
    QStringList names;
    for (const QString& each : std::as_const(paths)) {
        names.append(QFileInfo(each).fileName());
    }
    const QString folder = QFileInfo(path).path();
    // The user's own templates folder is made by the first template saved into it, here as in the
    // wizard; a template saved anywhere else needs a folder that is there.
    if (const QString own = UserTemplatesFolder(); !own.isEmpty() && folder == QDir::cleanPath(own)) {
        if (const FileResult made = MakeFolders(folder); !made.Ok()) {
            PrintFailure(FileResult::Failure(made.path, made.error + QStringLiteral("; no file of the template was "
                                                                                    "written")));
            return 1;
        }
    }
    // Runs that make a template take turns in its folder, as runs into one folder do, so that two
    // saving one name leave one family.
    ShowFolderWaits(PrintFolderWait);
    const FolderLock turn(folder);
    const QString stem = QFileInfo(path).fileName().chopped(4);
    const QString family = FamilyFileIn(folder, stem, names);
    if (const QString stale = !family.isEmpty() ? family : SpelledOtherwiseIn(folder, names); !stale.isEmpty()) {
        const auto twin = std::find_if(names.cbegin(), names.cend(), [&](const QString& name) {
            return name.compare(stale, Qt::CaseInsensitive) == 0;
        });
        const QString clash =
            family.isEmpty()
                ? QStringLiteral("is the file that \"%1\", which the template writes, names here, where the "
                                 "file system does not tell letter case apart, and would be written over")
                      .arg(*twin)
            : twin != names.cend()
                ? QStringLiteral("differs from \"%1\", which the template writes, only in letter case, and would "
                                 "be listed beside it or taken for it")
                      .arg(*twin)
                : QStringLiteral("would pass for this template's shadowless variant, which the style \"%1\" does "
                                 "not have")
                      .arg(style.name);
        PrintFailure(FileResult::Failure(
            JoinPath(folder, stale), clash + QStringLiteral("; no file of the template was written. Save under another "
                                                            "name, or, where it is an earlier drawing's under this "
                                                            "name, remove it")));
        return 1;
    }
    // The files are one template: where one of them could not be replaced, the others of the new
    // drawing would stand beside the old one, which a run at twice the size takes for their twin.
    // A name of the family may be a link to anywhere, a page of the user's included, though only one
    // of the names was given: as the advert's image, each replaces only a GIF through a link.
    bool refused = false;
    QList<FileToWrite> set;
    for (size_t i = 0; i < files.value.size(); ++i) {
        const QString& target = paths[qsizetype(i)];
        const LinkCheck link = CheckImageLink(target);
        QString refusal = link.refusal;
        // Nor, given by its own name, a file that is no GIF: notes or a list named so are the user's.
        if (refusal.isEmpty() && !QFileInfo(target).isSymLink()) {
            const FileBytes start = ReadFileStart(target, qint64(64) << 10);
            if (start.status.Ok() && !start.bytes.isEmpty() && !IsGif(start.bytes)) {
                refusal = QStringLiteral("is not a GIF image; left as it is");
            }
        }
        if (const FileResult check = CheckReplaceable(target, files.value[i].bytes); refusal.isEmpty() && !check.Ok()) {
            refusal = check.error;
        }
        if (!refusal.isEmpty()) {
            PrintFailure(
                FileResult::Failure(target, refusal + QStringLiteral("; no file of the template was written")));
            refused = true;
        }
        set.append({files.value[i].bytes, target, link.readAs});
    }
    if (refused) {
        return 1;
    }
    // A name of the family that is a link into another folder would take its file there, and the
    // others would stay here: each folder would hold the new drawing beside an earlier one's twin.
    // Folders are told apart by their bytes, since names that are not valid text read alike.
    const auto folderOf = [](const QString& p) {
        const QByteArray landing = WriteTargetBytes(p);
        return landing.left(landing.lastIndexOf('/'));
    };
    const QByteArray home = folderOf(paths.constFirst());
    if (std::any_of(paths.cbegin(), paths.cend(), [&](const QString& p) { return folderOf(p) != home; })) {
        for (const QString& target : std::as_const(paths)) {
            if (QFileInfo(target).isSymLink()) {
                PrintFailure(FileResult::Failure(
                    target, QStringLiteral("is a link to \"%1\", in another folder than the template's other files, "
                                           "which would split it in two; no file of the template was written")
                                .arg(PrintableWriteTarget(target))));
            }
        }
        return 1;
    }
    // A stop asked for while the files were drawn comes before them.
    if (StopRequested()) {
        return 1;
    }
    int status = 0;
    for (const FileResult& result : ReplaceFiles(set)) {
        if (result.Ok()) {
            PrintLine(stdout, result.path);
        } else {
            PrintFailure(result);
            status = 1;
        }
    }
    return status;
}
