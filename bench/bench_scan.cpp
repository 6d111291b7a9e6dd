// Scan of a folder with 100 shipped-size templates, as the wizard does once at every start, and
// the same with the images of the grid's first screen (four rows of four) decoded, as its first
// paint does.

#include "templates/TemplateCatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void BM_Scan100Templates(benchmark::State& state) {
    const int shown = int(state.range(0));
    const QDir shipped(QStringLiteral(VORNET_SOURCE_DIR "/data/vornets"));
    const QStringList names = shipped.entryList({QStringLiteral("*.gif")});
    QTemporaryDir folder;
    int copies = 0;
    for (int i = 0; copies < 100 && !names.isEmpty(); ++i) {
        const QString& name = names[i % names.size()];
        // The catalog's own entries: no shadowless variants, no 2x companions.
        if (IsHiddenTemplateName(name)) {
            continue;
        }
        QFile::copy(shipped.filePath(name),
                    folder.filePath(QStringLiteral("t%1-%2").arg(copies, 3, 10, QLatin1Char('0')).arg(name)));
        ++copies;
    }
    if (copies != 100) {
        state.SkipWithError("no shipped templates found");
        return;
    }
    for (auto _ : state) {
        TemplateCatalog catalog;
        benchmark::DoNotOptimize(catalog.Scan(folder.path()));
        for (int i = 0; i < shown; ++i) {
            benchmark::DoNotOptimize(catalog.BitmapAt(i));
        }
    }
}
BENCHMARK(BM_Scan100Templates)->Arg(0)->Arg(16)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
