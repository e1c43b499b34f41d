// A live run as the main window lives it, at 20 samples/s with a full ring
// of 25000 samples, on a plot of 1100 x 850 pixels: the receive thread's
// part (the feed) and the window's (the traces, the axes, the kept picture
// brought up to date and the part that changed put on the screen image).
// One iteration is one second of the run; core_share is the share of one
// core it costs.

#include <benchmark/benchmark.h>

#include "LiveRunSamples.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <mutex>

#include "app/Clock.h"
#include "display/GraphView.h"
#include "display/LiveFeed.h"
#include "display/LiveGraph.h"
#include "graph/GraphCanvas.h"
#include "graph/GraphModel.h"

namespace corvane {
namespace {

constexpr int kSamplesPerSecond = 20;
const QSize kPlot(1100, 850);

// The graph control without its widget: the model under a lock, the kept
// picture, and the screen it repaints.
class CanvasGraph : public LiveGraph {
public:
    CanvasGraph() : screen_(kPlot, QImage::Format_RGB32) {}

    bool edit(const std::function<void(GraphModel&)>& f) override {
        std::lock_guard lock(mutex_);
        f(model_);
        return true;
    }
    void redraw() override {
        std::lock_guard lock(mutex_);
        const QRect changed = canvas_.update(model_, kPlot);
        if (!changed.isEmpty()) {
            QPainter painter(&screen_);
            painter.setClipRect(changed);
            canvas_.draw(painter, changed, &model_);
        }
    }
    void redrawAll() override {
        canvas_.invalidate();
        redraw();
    }
    [[nodiscard]] std::uint64_t wholeRedraws() const { return canvas_.wholeRedraws(); }

private:
    std::mutex mutex_;
    GraphModel model_;
    GraphCanvas canvas_;
    QImage screen_;
};

void ensureGuiApp() {
    if (QGuiApplication::instance() == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "bench_live_run";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
    }
}

// range(0): 1 by position (the mm window holds the whole ring), 0 by sample
// number; range(1): the window in samples (by sample number).
void BM_LiveRunAt20Hz(benchmark::State& state) {
    ensureGuiApp();
    SteadyClock clock;
    bench::NoPoster poster;
    CanvasGraph graph;
    LiveFeed feed(clock, poster);
    GraphView view(graph, feed);
    ViewSettings settings;
    settings.shown = {false, false, true, false, false, true, true};
    settings.windowMm = 160.0;
    settings.windowSamples = static_cast<double>(state.range(1));
    settings.yAutoScale = true;
    settings.yyAutoScale = true;
    settings.showGrid = true;
    view.apply(settings);
    view.setXAxisType(state.range(0) != 0 ? XAxisType::Millimetres : XAxisType::SampleNumber);
    int i = 0;
    for (; i < LiveSamples::kSize; ++i) {
        feed.add(bench::liveSample(i));
    }
    view.refresh();
    const auto wholeBefore = graph.wholeRedraws();
    for (auto _ : state) {
        for (int k = 0; k < kSamplesPerSecond; ++k) {
            feed.add(bench::liveSample(i++));  // the receive thread
            feed.liveDataTaken();     // the window's thread
            view.syncLive();
        }
    }
    state.counters["core_share"] = benchmark::Counter(
        static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["whole_redraws_per_s"] = benchmark::Counter(
        static_cast<double>(graph.wholeRedraws() - wholeBefore) / static_cast<double>(state.iterations()));
}
// By position with the whole ring on the plot; by sample number with the
// usual 500-sample window and with a window as wide as the ring (it scrolls
// with every sample, so every sample redraws the picture whole). A fixed
// count of seconds keeps the run inside the mm window.
BENCHMARK(BM_LiveRunAt20Hz)
    ->Args({1, 500})
    ->Args({0, 500})
    ->Args({0, 25000})
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvane
