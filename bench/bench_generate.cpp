// The modify run over many pages, each holding the block of an earlier run: the cost that grows
// with a site's size. Target: 1,000 pages of 20 KB in at most a second, linear in pages, the same
// per page when the pages are spread over folders and found by the site walk, and for the remove
// run.
#include "files/SiteWalk.h"
#include "output/OutputRuns.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QByteArray TwentyKilobytePage() {
    QByteArray page = "<!DOCTYPE html>\r\n<html>\r\n<head><title>Page</title></head>\r\n<body>\r\n";
    while (page.size() < 19 * 1024) {
        page += "<p>Some ordinary paragraph text of a page, with <a href='x.html'>a link</a> in it.</p>\r\n";
    }
    page += "<!--VornetAdBegin--><script type='text/javascript'>document.write(\"old\");</script>"
            "<!--VornetAdEnd--><p>old custom code</p>\r\n";
    while (page.size() < 20 * 1024 - 18) {
        page += ' ';
    }
    page += "\r\n</body>\r\n</html>\r\n";
    return page;
}

// `count` pages spread evenly over `folders` folders of `dir`; false when they cannot be written.
bool WritePages(const QTemporaryDir& dir, int count, int folders, QStringList& pages) {
    const QByteArray content = TwentyKilobytePage();
    pages.clear();
    for (int i = 0; i < count; ++i) {
        const QString folder = dir.filePath(QStringLiteral("f%1").arg(i % folders));
        const QString path = folder + QStringLiteral("/page%1.html").arg(i);
        QFile file(path);
        if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            return false;
        }
        pages.append(path);
    }
    return true;
}

enum class Run { Modify, Site, RemoveSite };

void BM_Run(benchmark::State& state, Run run) {
    QTemporaryDir dir;
    const int count = int(state.range(0));
    OutputTarget target;
    target.createNew = false;
    if (!WritePages(dir, count, int(state.range(1)), target.pages)) {
        state.SkipWithError("cannot set up the pages");
        return;
    }
    QImage banner(300, 300, QImage::Format_ARGB32_Premultiplied);
    banner.fill(qRgb(40, 90, 160));
    const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
    if (!texts.Ok()) {
        qFatal("the built-in texts are missing");
    }
    AdSettings settings;
    settings.customCodeEnabled = true;
    settings.customCode = "<p>new custom code</p>";

    for (auto _ : state) {
        if (run == Run::RemoveSite) {
            state.PauseTiming();
            const bool written = WritePages(dir, count, int(state.range(1)), target.pages);
            state.ResumeTiming();
            if (!written) {
                state.SkipWithError("cannot set up the pages");
                return;
            }
        }
        if (run != Run::Modify) {
            const SitePages site = WalkSite(dir.path(), PagePatterns::Parse(QLatin1String(PagePatterns::kDefault)));
            if (site.pages.size() != count) {
                state.SkipWithError("the walk missed pages");
                return;
            }
            target.pages = site.pages;
        }
        const RunReport report = run == Run::RemoveSite ? RemoveAdvert(target.pages, settings.customCode)
                                                        : Generate(texts.value, banner, target, settings);
        if (!report.Ok() || report.files.size() < count) {
            state.SkipWithError("a file failed");
            return;
        }
        benchmark::DoNotOptimize(report);
    }
    state.SetComplexityN(state.range(0));
    state.counters["pages/s"] =
        benchmark::Counter(double(state.range(0)) * double(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

// Pages, folders.
BENCHMARK_CAPTURE(BM_Run, ModifyRun, Run::Modify)
    ->Args({250, 1})
    ->Args({500, 1})
    ->Args({1000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(BM_Run, SiteRun, Run::Site)
    ->Args({1000, 1})
    ->Args({1000, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Run, RemoveSiteRun, Run::RemoveSite)
    ->Args({1000, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
