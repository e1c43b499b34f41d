// The graph page with eight traces of 25000 points with the detector's
// noise: the 1100 x 850 image Save Graph Image makes, the 600 dpi printer
// page (into a PDF, as a printer driver receives vector output), and the
// saved PNG and PDF files.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <filesystem>

#include "../graph/SyntheticRun.h"
#include "desktop/GraphPageRenderer.h"
#include "graph/GraphModel.h"

namespace corvane {
namespace {

constexpr int kPoints = 25000;

QGuiApplication& app() {
    static int argc = 3;
    static char a0[] = "bench";
    static char a1[] = "-platform";
    static char a2[] = "offscreen";
    static char* argv[] = {a0, a1, a2, nullptr};
    static QGuiApplication instance(argc, argv);
    return instance;
}

GraphModel& denseModel() {
    static GraphModel model = [] {
        GraphModel m;
        const bench::SyntheticRun run(kPoints, 80.0, 5.0, 0.012);
        std::vector<double> xs(kPoints);
        for (int i = 0; i < kPoints; ++i) {
            xs[static_cast<std::size_t>(i)] = i;
        }
        const std::vector<const std::vector<double>*> channels{&run.absA, &run.absB, &run.ratio, &run.absA,
                                                                &run.absB, &run.ratio, &run.absA, &run.absB};
        for (int slot = 0; slot < kTraceSlots; ++slot) {
            (void)m.setTraceData(xs.data(), channels[static_cast<std::size_t>(slot)]->data(), kPoints, slot,
                                 1.0 + 0.05 * slot);
        }
        m.setXRange(0, kPoints);
        m.setYRanges(0.0, 2.5, 0.0, 5.0, false, false);
        m.setShowGrid(true);
        return m;
    }();
    return model;
}

GraphPageContent pageContent() {
    GraphPageContent content;
    content.documentTitle = "bench.csv";
    content.header = headerTable({PageSet{"bench.csv", CalendarTime{2024, 1, 1, 9, 0, 0}, {}, Rgb{}}});
    return content;
}

void BM_ImagePage(benchmark::State& state) {
    app();
    const GraphPageContent content = pageContent();
    QImage image(1100, 850, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        renderGraph(painter, denseModel(), content, PageTarget{true, 100});
    }
}
BENCHMARK(BM_ImagePage)->Unit(benchmark::kMillisecond);

void BM_PrintPage600DpiPdf(benchmark::State& state) {
    app();
    const GraphPageContent content = pageContent();
    const auto path = std::filesystem::temp_directory_path() / "corvane_bench_page.pdf";
    for (auto _ : state) {
        benchmark::DoNotOptimize(saveGraphPage(path.string(), denseModel(), content, PageTarget{true, 600}));
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}
BENCHMARK(BM_PrintPage600DpiPdf)->Unit(benchmark::kMillisecond);

void BM_SavePng(benchmark::State& state) {
    app();
    const GraphPageContent content = pageContent();
    const auto path = std::filesystem::temp_directory_path() / "corvane_bench_page.png";
    for (auto _ : state) {
        benchmark::DoNotOptimize(saveGraphPage(path.string(), denseModel(), content));
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvane
