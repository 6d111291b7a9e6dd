#pragma once

#include "files/FileResult.h"
#include "output/AdSettings.h"
#include "output/CodeTexts.h"

#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

class QImage;

// Where the generate run writes.
struct OutputTarget {
    bool createNew = true;
    QString outputFolder;
    QString fileName = QStringLiteral("VornetAdCode.html");
    QStringList pages;
    bool removeAdvert = false;  // with `pages`: the advert taken out of them instead of put in
    bool pagesFound = false;  // `pages` were found or picked on disk (a site's, a design's), none made from the sample
    bool dryRun = false;      // every file checked as the run would write it, none written (CheckFiles)
    // The template the banner is drawn on: no image is written over it or its 2x companion, which
    // the page it would serve is left without (see SharedFiles).
    QString templatePath;
};

// Every file a run wrote or failed to write, in order.
struct RunReport {
    QList<FileResult> files;
    QString previewPage;  // the preview run's page path; empty for a generate run or an unwritten page
    // Files left as they were on purpose (remove), or pages written that hold what may keep the
    // advert from showing (generate), one line each with why.
    QStringList notes;
    // A stop was asked for (StopRequested), and the run stopped before a page: between two, or while
    // another run held the page's folder.
    bool interrupted = false;
    // A generate or preview run's: what a strict policy must allow for the block it built (see
    // BuiltCode::cspSources), whether or not a page was written with it.
    QByteArrayList cspSources;

    bool Ok() const;
    QList<FileResult> Failures() const;
    QStringList Written() const;
};

// A note for each name of `leftOut` (one given for a page's file, and the page the run took for it;
// see EachPageOnce) whose page failed in `report`: no name given is passed over without a word,
// and the page's own failure says why.
QStringList NamesLeftOutNotes(const RunReport& report, const QList<std::pair<QString, QString>>& leftOut);

// Told of each page's files once the page is done, before the run goes on: a caller that lists them
// as they come has listed every page finished when the process is stopped hard.
using FileDone = std::function<void(const FileResult&)>;

// `settings` with the click-through link's band (clickBand) taken from the banner the run shows:
// the composed `banner` and, with hidpi, `banner2x` (null ones add nothing; see DrawnBand). Without
// click-through they are unchanged, and the banner is not looked at: nothing else uses the band.
AdSettings WithDrawnBand(AdSettings settings, const QImage& banner, const QImage& banner2x);

// The generate run: builds the code from `texts` for the banner it writes (WithDrawnBand),
// reporting its `cspSources`, and writes image, style sheet and page(s) for the target. In create
// mode the page is the folder joined with the file name (an existing one is modified like any
// listed page); in modify mode each folder receives the image and the style sheet with the first
// page of each unbroken run of its pages that is written (see SharedFiles::WritePage); where they
// fail, that page and the rest of the run are left as they are. With the hidpi option `banner2x`,
// the banner at twice the size, goes beside the image as "VornetAdMap@2x.gif" whenever the image
// does (a null one is reported as a failure of that file); without it, where a folder holds that
// twin already and `banner2x` is given (see KeepsImageTwin). Every file is reported; a failure never
// stops the run, a stop asked for does (a signal or RequestStop, see StopRequested), between two
// pages.
RunReport Generate(const CodeTexts& texts, const QImage& banner, const OutputTarget& target, const AdSettings& settings,
                   const QImage& banner2x = {}, const FileDone& done = {});

// Whether a folder the generate run writes into holds the image's twin at twice the size, from an
// earlier run with the hidpi option: pages there may name it, and would show the earlier banner on
// sharp screens beside the new one on others, so the run writes the twin too, from a `banner2x`
// its caller makes for that.
bool KeepsImageTwin(const OutputTarget& target);

// The remove run: takes the advert out of each page as RemoveFromFile does, with `customCode` and
// `earlierCustomCodes` as the custom code that may follow a block (empty: none), and writes the page
// back only when something was taken out. A page without an advert (any file that holds no marker)
// is left as it was, not even touched, and noted as having none; a page that cannot be read, that
// RemoveFromFile refuses, or that cannot be written back when it must be, is a failure. Each
// folder's images and style sheet stay, since other pages may use them; the notes say so for every
// folder that had a page cleaned and still holds any of them. A failure never stops the run. With
// `dryRun`, each page is checked as it would be written back, and none is. `earlierCustomCodesOf`
// gives more for one page, as AdSettings' does.
RunReport RemoveAdvert(const QStringList& pages, const QByteArray& customCode,
                       const QByteArrayList& earlierCustomCodes = {}, const FileDone& done = {}, bool dryRun = false,
                       const std::function<QByteArrayList(const QString& page)>& earlierCustomCodesOf = {});

// Whether `name` is the name (in any letter case) of a file that a run writes beside pages: the
// advert's image, its 2x twin or its style sheet, which are never pages.
bool IsAdvertFileName(const QString& name);
// Which of those files `name` names: "image" (the 2x twin too) or "style sheet"; empty for any other.
QString AdvertFileKind(const QString& name);

// The preview run: builds the code from `texts` as Generate does, for its banner, and writes
// "adPreview.gif" (with the hidpi option "adPreview@2x.gif" from `banner2x` too), "adPreview.css"
// and "adPreview.html" into `folder` (empty: PrivatePreviewFolder()) and, once the page is written,
// reports its path in `previewPage`. A preview folder that cannot be had is reported as the run's
// one failure, with its reason. No image is written over `templatePath`, as with Generate.
RunReport WritePreview(const CodeTexts& texts, const QImage& banner, const AdSettings& settings,
                       const QString& folder = {}, const QImage& banner2x = {}, const QString& templatePath = {});
