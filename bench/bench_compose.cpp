// Composition of the banner as the editor does it on every keystroke.
#include "banner/Banner.h"

#include <QGuiApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// Smooth gradients with noise on top, so that the template looks like a photo to the copy.
QImage PhotoLikeTemplate(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double u = double(x) / size;
            const double v = double(y) / size;
            auto channel = [&](double base) {
                return std::clamp(int(base + random.bounded(-12, 13)), 0, 255);
            };
            image.setPixel(x, y,
                           qRgb(channel(255 * u), channel(127 + 100 * std::sin(6.28 * v)), channel(255 * (1 - u * v))));
        }
    }
    return image;
}

QString TemplatePath() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("photo.png"));
        PhotoLikeTemplate(500).save(file, "PNG");
        return file;
    }();
    return path;
}

void Compose(benchmark::State& state) {
    const int size = int(state.range(0));
    const int lineCount = int(state.range(1));
    Banner banner;
    const QRgb colors[3] = {qRgb(0, 0, 100), qRgb(0, 100, 0), qRgb(100, 0, 0)};
    const int points[3] = {18, 12, 10};
    for (int i = 0; i < 3; ++i) {
        BannerLine line;
        line.text = QStringLiteral("Line %1").arg(i + 1);
        line.font.height = points[i];
        line.color = colors[i];
        line.enabled = i < lineCount;
        banner.SetLine(i, line);
    }
    banner.LoadTemplate(TemplatePath());
    banner.SetBannerSize(size);
    int keystroke = 0;
    for (auto _ : state) {
        // A different text each time, as when typing.
        BannerLine line = banner.Line(0);
        line.text = QStringLiteral("Line 1 %1").arg(++keystroke % 100);
        banner.SetLine(0, line);
        benchmark::DoNotOptimize(banner.Composed().constBits());
    }
}

// The 2x image a preview or generate run adds with the hidpi option: the template scaled up (no
// companion beside it), the banner composed at twice the size.
void ComposeAt2x(benchmark::State& state) {
    Banner banner;
    banner.SetLine(0, {QStringLiteral("Line 1"), {}, qRgb(0, 0, 0), true});
    banner.SetTemplate(PhotoLikeTemplate(500));
    banner.SetBannerSize(int(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ComposeAt2x(banner, QImage()).constBits());
    }
}

// The look Generate takes for letters that would be drawn as boxes or in colour, on lines far
// longer than a banner shows: plain words, words whose accents are marks of their own, and one
// letter under a stack of marks, one of them in no font.
void FirstBox(benchmark::State& state) {
    const int letters = int(state.range(0));
    const QString word = state.range(1) == 0 ? QStringLiteral("ab cd ") : QStringLiteral("e\u0301a\u0300 ");
    const QString line = state.range(1) < 2 ? word.repeated(letters / word.size())
                                            : u'a' + QStringLiteral("\u0301\u0323").repeated(letters / 2) + u'\u0610';
    Banner banner;
    banner.SetLine(0, {line, {}, qRgb(0, 0, 0), true});
    for (auto _ : state) {
        benchmark::DoNotOptimize(banner.FirstBox());
    }
}

// The look a command-line run takes for a line whose font draws none of its letters: three short
// lines, as most banners have, or one far longer than a banner shows.
void FirstInkless(benchmark::State& state) {
    Banner banner;
    if (state.range(0) == 0) {
        banner.SetLine(0, {QStringLiteral("Sale"), {}, qRgb(0, 0, 0), true});
        banner.SetLine(1, {QStringLiteral("Two"), {}, qRgb(0, 0, 0), true});
        banner.SetLine(2, {QStringLiteral("Three"), {}, qRgb(0, 0, 0), true});
    } else {
        banner.SetLine(0, {QStringLiteral("ab cd ").repeated(state.range(0) / 6), {}, qRgb(0, 0, 0), true});
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(banner.FirstInkless());
    }
}

}  // namespace

BENCHMARK(FirstInkless)->ArgNames({"letters"})->Arg(0)->Arg(200000)->Unit(benchmark::kMicrosecond);

BENCHMARK(FirstBox)
    ->ArgNames({"letters", "marks"})
    ->Args({10000, 0})
    ->Args({200000, 0})
    ->Args({10000, 1})
    ->Args({200000, 1})
    ->Args({4000, 2})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(ComposeAt2x)->ArgNames({"size"})->Arg(300)->Arg(500)->Unit(benchmark::kMillisecond);

BENCHMARK(Compose)
    ->ArgNames({"size", "lines"})
    ->Args({300, 1})
    ->Args({300, 3})
    ->Args({500, 1})
    ->Args({500, 3})
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
