#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include "SyntheticRun.h"
#include "graph/GraphModel.h"
#include "graph/GraphCanvas.h"
#include "graph/GraphPainter.h"

namespace corvane {
namespace {

constexpr int kWindow = 25000;

// Eight traces filled from a synthetic run starting at sample `first`, x by
// sample number.
void fillSlots(GraphModel& model, const bench::SyntheticRun& run, const std::vector<double>& xs,
               int first) {
    const std::vector<const std::vector<double>*> channels{
        &run.absA, &run.absB, &run.ratio, &run.absA, &run.absB, &run.ratio, &run.mark, &run.absB};
    for (int slot = 0; slot < kTraceSlots; ++slot) {
        (void)model.setTraceData(xs.data() + first,
                                 channels[static_cast<size_t>(slot)]->data() + first, kWindow, slot,
                                 1.0);
    }
    model.setXRange(xs[static_cast<size_t>(first)], xs[static_cast<size_t>(first + kWindow - 1)]);
}

std::vector<double> sampleNumbers(int count) {
    std::vector<double> xs(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        xs[static_cast<size_t>(i)] = i + 1;
    }
    return xs;
}

void setUp(GraphModel& model, const FractionPlanHook* plan) {
    model.setYRanges(0.0, 2.2, 0.0, 5.0, false, false);
    model.setShowGrid(true);
    GraphContext context;
    context.liveRun = true;
    context.recording = true;
    model.setContext(context);
    model.setMarkTrace(kSlotRatio, true, 0.1, 0.0, false, 0.0);
    model.setFractionPlan(plan);
    model.setCursorList(true, {GraphCursor{12000.0, false, 0}});
}

// One full repaint of eight slots of 25000 points with the detector's noise
// (0.012 AU from sample to sample) on a page-sized image.
void BM_FullRepaint(benchmark::State& state) {
    bench::ensureGuiApp();
    const bench::SyntheticRun run(kWindow, 80.0, 8.0, 0.012);
    const std::vector<double> xs = sampleNumbers(kWindow);
    const bench::EvenFractions plan(2500.0, 10);
    GraphModel model;
    setUp(model, &plan);
    fillSlots(model, run, xs, 0);

    QImage image(1100, 850, QImage::Format_RGB32);
    GraphPainter painter(GraphPaintStyle::screen());
    for (auto _ : state) {
        QPainter p(&image);
        painter.paint(p, model, image.size());
    }
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);

// A live run at 20 samples/s, x in mm on a fixed window, whose ring of 25000
// samples is full: per new sample each of the eight slots gets its point and
// lets go of its oldest, the kept picture is brought up to date and the part
// that changed is put on the screen image. One iteration is one second of
// the run (20 samples); core_share is the share of one core it costs.
void BM_LiveRunAt20Hz(benchmark::State& state) {
    bench::ensureGuiApp();
    constexpr int kSamplesPerSecond = 20;
    constexpr int kTotal = 4 * kWindow;
    const bench::SyntheticRun run(kTotal, 160.0, 8.0);
    const bench::EvenFractions plan(2500.0, 20);
    GraphModel model;
    setUp(model, &plan);
    // No mark trace here: a live mark trace is drawn whole on every change.
    model.clearTrace(kSlotRatio);
    model.setXRange(0.0, 160.0);
    const std::vector<const std::vector<double>*> channels{
        &run.absA, &run.absB, &run.ratio, &run.absA, &run.absB, &run.ratio, &run.absB, &run.absA};
    for (int slot = 0; slot < kTraceSlots; ++slot) {
        (void)model.setTraceData(run.x.data(), channels[static_cast<size_t>(slot)]->data(), kWindow,
                                 slot, 1.0);
    }

    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const QSize plot(width, height);
    QImage screen(plot, QImage::Format_RGB32);
    GraphCanvas canvas(GraphPaintStyle::screen());
    (void)canvas.update(model, plot);
    int next = kWindow;
    for (auto _ : state) {
        for (int i = 0; i < kSamplesPerSecond; ++i) {
            for (int slot = 0; slot < kTraceSlots; ++slot) {
                const double x = run.x[static_cast<size_t>(next)];
                const double y = (*channels[static_cast<size_t>(slot)])[static_cast<size_t>(next)];
                (void)model.appendTraceData(&x, &y, 1, slot, 1.0);
                model.dropOldestPoints(slot, 1);
            }
            next = next + 1 < kTotal ? next + 1 : kWindow;
            const QRect changed = canvas.update(model, plot);
            if (!changed.isEmpty()) {
                QPainter p(&screen);
                p.setClipRect(changed);
                canvas.draw(p, changed, &model);
            }
        }
    }
    state.counters["core_share"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["whole_redraws_per_s"] = benchmark::Counter(
        static_cast<double>(canvas.wholeRedraws()) / static_cast<double>(state.iterations()));
}
// The plot at the main window's standard size, and page-sized.
BENCHMARK(BM_LiveRunAt20Hz)->Args({630, 335})->Args({1100, 850})->Unit(benchmark::kMillisecond);

// Reading a loaded run of eight 25000-point traces on the standard-size
// plot: the main cursor moved by one pixel (arrow key, drag), which changes
// only what is drawn over the kept picture, and a zoom step (FOCUS, the
// wheel, RESET), which redraws the data layer whole. Each iteration is one
// such change brought to the screen image; both must stay under 5 ms.
struct LoadedRun {
    LoadedRun() {
        bench::ensureGuiApp();
        const bench::SyntheticRun run(kWindow, 80.0, 8.0);
        setUp(model, nullptr);
        fillSlots(model, run, sampleNumbers(kWindow), 0);
    }
    GraphModel model;
    const QSize plot{630, 335};
    QImage screen{plot, QImage::Format_RGB32};
    GraphCanvas canvas{GraphPaintStyle::screen()};
};

void BM_CursorMove(benchmark::State& state) {
    LoadedRun r;
    GraphModel& model = r.model;
    GraphCanvas& canvas = r.canvas;
    const QSize plot = r.plot;
    QImage& screen = r.screen;
    (void)canvas.update(model, plot);
    const double perPixel = static_cast<double>(kWindow) / plot.width();
    double position = 1000.0;
    for (auto _ : state) {
        position = position + perPixel < kWindow ? position + perPixel : 1000.0;
        model.setCursorList(true, {GraphCursor{position, false, 0}, GraphCursor{15000.0, true, 160}});
        const QRect changed = canvas.update(model, plot);
        QPainter p(&screen);
        canvas.draw(p, changed.isEmpty() ? QRect(QPoint(0, 0), plot) : changed, &model);
    }
}
BENCHMARK(BM_CursorMove)->Unit(benchmark::kMillisecond);

void BM_ZoomRepaint(benchmark::State& state) {
    LoadedRun r;
    GraphModel& model = r.model;
    GraphCanvas& canvas = r.canvas;
    const QSize plot = r.plot;
    QImage& screen = r.screen;
    bool in = false;
    for (auto _ : state) {
        // In to a fifth of the run around its middle, and back out.
        in = !in;
        model.setXRange(in ? 10000.0 : 1.0, in ? 15000.0 : static_cast<double>(kWindow));
        model.setYRanges(0.0, in ? 1.1 : 2.2, 0.0, 5.0, false, false);
        const QRect changed = canvas.update(model, plot);
        QPainter p(&screen);
        canvas.draw(p, changed, &model);
    }
    state.counters["whole_redraws"] = benchmark::Counter(static_cast<double>(canvas.wholeRedraws()));
}
BENCHMARK(BM_ZoomRepaint)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvane
