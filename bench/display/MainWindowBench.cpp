// What one live sample costs the main window with a full ring of 25000
// samples: the receive thread leaves it in the feed, the window's thread
// adds it to the traces and moves the axes (auto-scale on both). The paint
// is measured by bench_live_run.

#include <benchmark/benchmark.h>

#include "LiveRunSamples.h"

#include <cmath>
#include <mutex>

#include "app/Clock.h"
#include "display/GraphView.h"
#include "display/LiveFeed.h"
#include "display/LiveGraph.h"
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

void runSamples(benchmark::State& state, XAxisType axis) {
    SteadyClock clock;
    bench::NoPoster poster;
    ModelGraph graph;
    LiveFeed feed(clock, poster);
    GraphView view(graph, feed);
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
        feed.add(bench::liveSample(i));
    }
    view.refresh();
    for (auto _ : state) {
        feed.add(bench::liveSample(i++));
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
