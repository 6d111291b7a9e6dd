// The modify run over many pages of one folder, each holding the block of an earlier run: the cost
// that grows with a site's size. Target: 1,000 pages of 20 KB in at most a second, linear in pages.
#include "OutputRuns.h"

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

void BM_ModifyRun(benchmark::State& state) {
    QTemporaryDir dir;
    const QByteArray content = TwentyKilobytePage();
    OutputTarget target;
    target.createNew = false;
    for (int i = 0; i < state.range(0); ++i) {
        const QString path = dir.filePath(QStringLiteral("page%1.html").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            state.SkipWithError("cannot set up the pages");
            return;
        }
        target.pages.append(path);
    }
    QImage banner(300, 300, QImage::Format_ARGB32_Premultiplied);
    banner.fill(qRgb(40, 90, 160));
    CodeTexts texts;
    texts.LoadTextResources();
    AdSettings settings;
    settings.customCodeEnabled = true;
    settings.customCode = "<p>new custom code</p>";

    for (auto _ : state) {
        const RunReport report = Generate(texts, banner, target, settings);
        if (!report.ok()) {
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

BENCHMARK(BM_ModifyRun)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();
