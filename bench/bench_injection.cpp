// Page injection at the sizes and shapes that once took quadratic time or much memory. Targets: a
// 200 MB page in at most 2 s with a peak memory of at most 3 times the page; crafted pages (100,000
// lone markers, nested markers, structure tags after an old block) at most 50 ms per MB.
#include "output/CodeTexts.h"
#include "output/OutputRuns.h"
#include "output/PageContext.h"
#include "output/PageInjection.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

constexpr double kMB = 1024.0 * 1024.0;

// The process's peak resident memory since the last reset, in bytes. Linux lets a process reset
// its own peak (clear_refs 5); elsewhere the peak is the process's whole life.
long long PeakRss() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoll(line.substr(6)) * 1024;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024LL;
}

void ResetPeakRss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

const QByteArray kNewCustomCode = "<p>new custom code</p>";

QByteArray CodeBlock(const QByteArray& customCode = kNewCustomCode) {
    const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
    if (!texts.Ok()) {
        qFatal("the built-in texts are missing");
    }
    AdSettings settings;
    settings.customCodeEnabled = true;
    settings.customCode = customCode;
    return texts.value.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", settings).codeBlock;
}

const QByteArray kOldBlock = "<!--VornetAdBegin--><script type='text/javascript'>document.write(\"old\");</script>"
                             "<!--VornetAdEnd--><p>old custom code</p>\r\n";

// Ordinary markup: paragraphs, links, a comment, an inline script and an svg icon now and then.
QByteArray OrdinaryChunk() {
    QByteArray chunk;
    for (int i = 0; i < 20; ++i) {
        chunk +=
            "<p class=\"text\">Some ordinary paragraph text of a page, with <a href='x.html?a=1&amp;b=2'>a link</a>"
            " in it.</p>\r\n";
    }
    chunk += "<!-- a comment with </body> in it -->\r\n<script>var s = '</div>'; if (a < b) { f(); }</script>\r\n"
             "<a href='/'><svg viewBox='0 0 8 8'><path d='M0 0h8v8z'/></svg>Home</a>\r\n";
    return chunk;
}

// Times one run of `work` per iteration; reports the page's size and milliseconds per MB.
template <typename Work>
void Measure(benchmark::State& state, qsizetype pageSize, Work work) {
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        work();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * pageSize);
    state.counters["MB"] = double(pageSize) / kMB;
    state.counters["ms_per_MB"] = seconds * 1000.0 / double(state.iterations()) / (double(pageSize) / kMB);
}

// One 200 MB page in memory: what the injection itself costs, and its peak memory over the page.
void BM_Inject200MB(benchmark::State& state) {
    const QByteArray chunk = OrdinaryChunk();
    QByteArray page = "<!DOCTYPE html>\r\n<html>\r\n<head><title>Big</title></head>\r\n<body>\r\n";
    page.reserve(200 * 1024 * 1024 + 4096);
    while (page.size() < 200 * 1024 * 1024) {
        page += chunk;
    }
    page += kOldBlock + "</body>\r\n</html>\r\n";
    const QByteArray block = CodeBlock();
    const long long before = PeakRss();
    double peak = 0;
    Measure(state, page.size(), [&] {
        ResetPeakRss();
        const QByteArray out = InjectCode(page, block);
        benchmark::DoNotOptimize(out.constData());
        peak = std::max(peak, double(PeakRss()));
    });
    state.counters["peak/page"] = peak / double(page.size());
    state.counters["peak before/page"] = double(before) / double(page.size());
}
BENCHMARK(BM_Inject200MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same page end to end: read from disk, injected, written back through a temporary file.
void BM_ModifyRun200MB(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.html"));
    {
        QFile file(path);
        const QByteArray chunk = OrdinaryChunk();
        bool ok = file.open(QIODevice::WriteOnly) && file.write("<html><body>\r\n") > 0;
        for (qsizetype written = 0; ok && written < 200 * 1024 * 1024; written += chunk.size()) {
            ok = file.write(chunk) == chunk.size();
        }
        if (!ok || file.write(kOldBlock + "</body></html>\r\n") <= 0) {
            state.SkipWithError("cannot write the page");
            return;
        }
    }
    OutputTarget target;
    target.createNew = false;
    target.pages = {path};
    QImage banner(300, 300, QImage::Format_ARGB32_Premultiplied);
    banner.fill(qRgb(40, 90, 160));
    const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
    if (!texts.Ok()) {
        qFatal("the built-in texts are missing");
    }
    AdSettings settings;
    const qsizetype size = QFile(path).size();
    double peak = 0;
    QString failure;
    Measure(state, size, [&] {
        ResetPeakRss();
        const RunReport report = Generate(texts.value, banner, target, settings);
        peak = std::max(peak, double(PeakRss()));
        if (!report.Ok()) {
            failure = report.Failures().constFirst().error;
        }
    });
    if (!failure.isEmpty()) {
        state.SkipWithError(qPrintable(failure));
    }
    state.counters["peak/page"] = peak / double(size);
}
BENCHMARK(BM_ModifyRun200MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Crafted pages of 100,000 repeats, each run through the whole injection.
void BM_Crafted(benchmark::State& state, const QByteArray& before, const QByteArray& unit, const QByteArray& after,
                const QByteArray& customCode = kNewCustomCode) {
    QByteArray page = before;
    for (int i = 0; i < 100000; ++i) {
        page += unit;
    }
    page += after;
    const QByteArray block = CodeBlock(customCode);
    Measure(state, page.size(), [&] { benchmark::DoNotOptimize(InjectCode(page, block).constData()); });
}
BENCHMARK_CAPTURE(BM_Crafted, lone_begin_markers, "<body>", "<!--VornetAdBegin-->", "</body>")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crafted, lone_end_markers, "<body>", "<!--VornetAdEnd-->", "</body>")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crafted, nested_markers, "<body>", "<!--VornetAdBegin--><!--VornetAdBegin-->x<!--VornetAdEnd-->",
                  "</body>")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crafted, deeply_nested_markers, "<body>", "<!--VornetAdBegin-->",
                  QByteArray("<!--VornetAdEnd-->").repeated(100000) + "</body>")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crafted, blocks, "<body>", kOldBlock, "</body>")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crafted, structure_tags_after_block, "<body>" + kOldBlock, "<html>", "</body>")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crafted, body_ends, "<body>" + kOldBlock, "</body>", "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crafted, nested_svg, "<body>", "<svg><g>", "</body>")->Unit(benchmark::kMillisecond);
// Each old block followed by its custom code, which opens a script that nothing closes.
BENCHMARK_CAPTURE(BM_Crafted, blocks_with_code_opening_a_script, "<body>",
                  "<!--VornetAdBegin-->x<!--VornetAdEnd--><script>", "</body>", "<script>")
    ->Unit(benchmark::kMillisecond);

// Pages read for an element left open around the advert that hides it, where every list item or
// stray end tag once walked all the elements open before it.
void BM_HidingElement(benchmark::State& state, const QByteArray& page) {
    Measure(state, page.size(), [&] { benchmark::DoNotOptimize(FindHidingElement(page, InsertionPoint(page))); });
}
BENCHMARK_CAPTURE(BM_HidingElement, list_items_left_open,
                  "<html><body><select><option>a</select><ul>\n" + QByteArray("<li>x\n").repeated(80000) + "</body>")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HidingElement, stray_end_tags_in_open_spans,
                  "<html><body><video></video>" + QByteArray("<span>").repeated(30000) +
                      QByteArray("</i>").repeated(30000) + "</body>")
    ->Unit(benchmark::kMillisecond);

// Whole injections of pages that once took time and memory growing with the square of their size:
// each lone begin marker kept its own list of every tag after it, an end tag of nothing open read
// through all of them, and each '<' of a run before the page's end was read on as far as the next
// tag. Reports the peak memory over the page too.
void BM_Injection(benchmark::State& state, const QByteArray& page) {
    const QByteArray block = CodeBlock();
    double peak = 0;
    Measure(state, page.size(), [&] {
        ResetPeakRss();
        benchmark::DoNotOptimize(InjectCode(page, block).constData());
        peak = std::max(peak, double(PeakRss()));
    });
    state.counters["peak/page"] = peak / double(page.size());
}
// Tags of as many names as the page holds, left open after a lone begin marker.
QByteArray DistinctTagsLeftOpen(int count) {
    QByteArray page = "<html><body><!--VornetAdBegin-->";
    for (int i = 0; i < count; ++i) {
        page += "<t" + QByteArray::number(i, 36) + '>';
    }
    return page + "</body></html>";
}
BENCHMARK_CAPTURE(BM_Injection, distinct_names_left_open_after_lone_begin_marker, DistinctTagsLeftOpen(300000))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Injection, lone_begin_markers_then_tags,
                  "<html><body>" + QByteArray("<!--VornetAdBegin-->").repeated(8000) +
                      QByteArray("<b>").repeated(8000) + "</body></html>")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Injection, stray_end_tags_after_lone_begin_marker,
                  "<html><body><!--VornetAdBegin-->" + QByteArray("<p>x").repeated(100000) +
                      QByteArray("</br>").repeated(100000) + "</body></html>")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Injection, text_lts_before_body_end_after_block,
                  "<html><body>" + kOldBlock + "x" + QByteArray("<").repeated(80000) + "</body></html>")
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
