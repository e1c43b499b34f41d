#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "display/LiveTraces.h"
#include "display/RunScene.h"
#include "runs/PeakCollection.h"

namespace corvane {

class LiveFeed;

// What the session and the recording say of the live run, as of the last
// refresh.
struct LiveRunState {
    bool de1Source = false;  // the samples come from a DE-1 box
    bool recording = false;
    bool odSensingStart = false;  // a DE-1 run started by OD sensing: its window starts there
    double startOffsetMm = 0.0;   // its event marks lie this far ahead of its trace
    // Its tube's volume per mm and its time per sample (0: not known, the
    // default tube's and the unit's usual), for the volume and time axes.
    double volumePerMm = 0.0;
    double secondsPerSample = 0.0;
    // Collecting by peaks: the fractions cut so far (the last one still
    // open), asked on every new sample; unset or empty for any other run.
    std::function<std::vector<CollectedFraction>()> collectedFractions = nullptr;
};

// The live run on the graph: the samples the receive thread leaves in the
// LiveFeed, kept in the trace slots sample by sample (LiveTraces), the x
// window scrolling with them unless a zoom holds it, and the overlay and
// the standard run's profile laid over it.
//
// Threads: the window's thread; the ring is read under the feed's lock.
class LiveScene : public RunScene {
public:
    LiveScene(LiveFeed& feed, const LiveRunState& run, const RunItems& items, const CompareOffsets& offsets)
        : RunScene(items, offsets), feed_(feed), run_(run) {}

    void build(GraphModel& model, AxisState& axes) override;
    SceneRepaint sync(GraphModel& model, AxisState& axes) override;
    void invalidate() override { traces_.invalidate(); }
    [[nodiscard]] bool live() const override { return true; }
    [[nodiscard]] bool de1() const override { return run_.de1Source || items_.de1(); }
    [[nodiscard]] std::optional<AxisRange> fitX(XAxisType /*axis*/, bool /*xAutoScale*/) const override {
        return std::nullopt;
    }
    // By mm while recording 0 to where it is now; else what the ring holds.
    [[nodiscard]] std::optional<AxisRange> fullX(XAxisType axis) const override;
    [[nodiscard]] std::optional<AxisRange> sampleSpan(XAxisType axis) const override;
    [[nodiscard]] std::optional<double> nextPosition(double x, bool right, XAxisType axis) const override;
    [[nodiscard]] std::optional<double> xOnAxis(double x, XAxisType from, XAxisType to) const override;
    [[nodiscard]] XUnits unitsOf(int set, XAxisType axis) const override;
    [[nodiscard]] double runStartOffset() const override { return run_.startOffsetMm; }

protected:
    [[nodiscard]] const RunDataFile* currentFile() const override { return nullptr; }
    [[nodiscard]] std::filesystem::path currentPath() const override { return {}; }
    [[nodiscard]] std::optional<SampleRecord> currentSampleAt(double x, XAxisType axis) const override;
    [[nodiscard]] std::optional<long long> currentSampleNumberAt(double x, XAxisType axis) const override;
    [[nodiscard]] AlignTrace currentAlignTrace() const override;

private:
    [[nodiscard]] LiveWindow liveWindow(const AxisState& axes) const;
    // The run's fractions numbered on the graph; true when the numbers changed.
    bool putFractionNumbers(GraphModel& model, const LiveSamples& ring, const AxisState& axes);

    LiveFeed& feed_;
    const LiveRunState& run_;
    LiveTraces traces_;
    // The feed's generation the traces last showed: a clear drops a message
    // kept on the live picture, as any picture rebuilt does.
    std::uint64_t shownGeneration_ = 0;
    // Until the operator sets a Y range of his own, this live run's values
    // widen the range that does not show them.
    bool widening_ = true;
    std::size_t numbersShown_ = 0;
};

}  // namespace corvane
