#pragma once

#include <filesystem>
#include <optional>

#include "display/RunItems.h"
#include "display/Scene.h"

namespace corvane {

// The scenes of the current run, live or saved (data set 0), with what the
// view lays over it (RunItems): the overlay as data set 1 and the standard
// run's profile. The two scenes differ only in where set 0 comes from.
class RunScene : public Scene {
public:
    RunScene(const RunItems& items, const CompareOffsets& offsets) : Scene(offsets), items_(items) {}

    [[nodiscard]] int setCount() const override { return items_.overlay() != nullptr ? 2 : 1; }
    [[nodiscard]] const RunDataFile* setFile(int set) const override;
    [[nodiscard]] std::filesystem::path setPath(int set) const override;
    [[nodiscard]] int setOfSlot(int slot) const override;
    // An overlay's traces may be dragged; the current run stays where it is.
    [[nodiscard]] bool draggable(int slot) const override;
    [[nodiscard]] std::optional<SampleRecord> sampleAt(int set, double x, XAxisType axis) const override;
    [[nodiscard]] std::optional<long long> sampleNumberAt(int set, double x, XAxisType axis) const override;
    [[nodiscard]] std::vector<AlignTrace> alignTraces() const override;

protected:
    // Set 0: its file (null while live), path, sample at x and Abs A trace.
    [[nodiscard]] virtual const RunDataFile* currentFile() const = 0;
    [[nodiscard]] virtual std::filesystem::path currentPath() const = 0;
    [[nodiscard]] virtual std::optional<SampleRecord> currentSampleAt(double x, XAxisType axis) const = 0;
    [[nodiscard]] virtual std::optional<long long> currentSampleNumberAt(double x, XAxisType axis) const = 0;
    [[nodiscard]] virtual AlignTrace currentAlignTrace() const = 0;
    // How far the current run's marks are drawn earlier on an axis.
    [[nodiscard]] double markOffset(XAxisType axis) const;
    // The graph's context for the current run and its items.
    void putContext(GraphModel& model, const AxisState& axes, bool liveRun, bool recording) const;

    const RunItems& items_;
};

}  // namespace corvane
