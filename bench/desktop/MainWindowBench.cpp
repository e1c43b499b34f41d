// What one live sample costs the main window with a full ring of 25000
// samples: the receive thread leaves it in the feed, the window's thread
// adds it to the traces and moves the axes (auto-scale on both). The paint
// is measured by bench_live_run.

#include <benchmark/benchmark.h>

#include <cmath>
#include <mutex>

#include "app/Clock.h"
#include "app/WindowPoster.h"
#include "desktop/GraphView.h"
#include "desktop/LiveFeed.h"
#include "desktop/LiveGraph.h"
#include "graph/GraphModel.h"

namespace corvane {
namespace {

class ModelGraph : public LiveGraph {
public:
    bool edit(const std::function<void(GraphModel&)>& f) override {
        std::lock_guard lock(mutex_);
        f(model_);
        return true;
    }
    void redraw() override {}
    void redrawAll() override {}

private:
    std::mutex mutex_;
    GraphModel model_;
};

class NoPoster : public WindowPoster {
public:
    void post(UserMsg, std::int64_t, std::int64_t, std::any) override {}
};

SampleRecord sampleAt(int i) {
    SampleRecord r;
    r.sampleA = 900000 + static_cast<std::uint32_t>(i % 1000);
    r.sourceA = 1000000;
    r.sampleB = 800000;
    r.sourceB = 1000000;
    r.absorbanceA = 0.1 + 0.05 * std::sin(i * 0.01);
    r.absorbanceB = 0.08;
    r.positionA = i * 0.004;
    r.positionB = r.positionA + 0.002;
    return r;
}

void runSamples(benchmark::State& state, XAxisType axis) {
    SteadyClock clock;
    NoPoster poster;
    ModelGraph graph;
    LiveFeed feed(clock, poster);
    GraphView view(feed, graph);
    // Abs A, Abs B and the ratio, as a run is usually watched; the mm window
    // holds the whole ring.
    ViewSettings settings;
    settings.shown = {false, false, true, false, false, true, true};
    settings.windowMm = 160.0;
    settings.yAutoScale = true;
    settings.yyAutoScale = true;
    view.apply(settings);
    view.setXAxisType(axis);
    int i = 0;
    for (; i < LiveSamples::kSize; ++i) {
        feed.add(sampleAt(i));
    }
    view.refresh();
    for (auto _ : state) {
        feed.add(sampleAt(i++));
        feed.liveDataTaken();
        view.syncLive();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_SampleBySampleNumber(benchmark::State& state) { runSamples(state, XAxisType::SampleNumber); }
void BM_SampleByPositionFullRing(benchmark::State& state) { runSamples(state, XAxisType::Millimetres); }

BENCHMARK(BM_SampleBySampleNumber)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SampleByPositionFullRing)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace corvane
