// What one sample costs the main window: the ring, the rebuild of the
// visible trace slots and the auto-scale, with a full ring of 25000 samples.

#include <benchmark/benchmark.h>

#include <any>
#include <cmath>
#include <filesystem>
#include <mutex>

#include "app/Clock.h"
#include "app/Prompter.h"
#include "app/WindowPoster.h"
#include "graph/GraphModel.h"
#include "app/DialogFolders.h"
#include "desktop/MainWindowLogic.h"

namespace corvane {
namespace {

class ModelGraph : public LiveGraph {
public:
    void edit(const std::function<void(GraphModel&)>& f) override {
        std::lock_guard lock(mutex_);
        f(model_);
    }
    void redraw() override {}
    void redrawAll() override {}

private:
    std::mutex mutex_;
    GraphModel model_;
};

class SilentPrompter : public Prompter {
public:
    void message(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void notify(const std::string&, const std::string&) override {}
    std::optional<std::string> openFile(const FileDialogRequest&) override { return std::nullopt; }
    std::vector<std::string> openFiles(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override { return std::nullopt; }
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
    const auto folder = std::filesystem::temp_directory_path() / "corvane-bench-main-window";
    std::filesystem::create_directories(folder);
    SilentPrompter prompter;
    SteadyClock clock;
    NoPoster poster;
    ModelGraph graph;
    DialogFolders folders(folder, prompter);
    MainWindowLogic logic({folder, prompter, folders, clock, poster, graph});
    // Abs A, Abs B and the ratio, as a run is usually watched.
    for (int c = 0; c < kChannelCount; ++c) {
        logic.setChannelShown(c, c == kChannelAbsA || c == kChannelAbsB || c == kChannelRatio);
    }
    logic.setXAxisType(axis);
    logic.setYAutoScale(true);
    logic.setYYAutoScale(true);
    int i = 0;
    for (; i < LiveSamples::kSize; ++i) {
        logic.onSample(sampleAt(i));
    }
    for (auto _ : state) {
        logic.onSample(sampleAt(i++));
    }
    state.SetItemsProcessed(state.iterations());
    std::filesystem::remove_all(folder);
}

void BM_SampleBySampleNumber(benchmark::State& state) { runSamples(state, XAxisType::SampleNumber); }
void BM_SampleByPositionFullRing(benchmark::State& state) { runSamples(state, XAxisType::Millimetres); }

BENCHMARK(BM_SampleBySampleNumber);
BENCHMARK(BM_SampleByPositionFullRing);

}  // namespace
}  // namespace corvane
