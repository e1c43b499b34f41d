#pragma once

#include <filesystem>
#include <vector>

#include "display/RunScene.h"
#include "runs/PeakCollection.h"
#include "runs/RunDataFile.h"

namespace corvane {

// A saved run on the graph, shown whole on its x axis ("&Open Data File",
// corvane-cli render), with the overlay and the standard run's profile laid
// over it. A DE-1 run shows its signal in the Abs A slot and its marks in
// the ratio slot; an export file its sets in slots 0 to 3.
class RunFileScene : public RunScene {
public:
    // A DE-1 run collected by peaks has its fractions numbered, from the
    // table in its header.
    RunFileScene(RunDataFile file, std::filesystem::path path, const RunItems& items, const CompareOffsets& offsets);

    [[nodiscard]] const RunDataFile& file() const { return file_; }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

    void build(GraphModel& model, AxisState& axes) override;
    [[nodiscard]] bool de1() const override { return file_.isEm1(); }
    [[nodiscard]] std::optional<AxisRange> fitX(XAxisType axis, bool xAutoScale) const override;
    [[nodiscard]] std::optional<AxisRange> fullX(XAxisType axis) const override;
    [[nodiscard]] std::optional<AxisRange> sampleSpan(XAxisType axis) const override;
    [[nodiscard]] std::optional<double> nextPosition(double x, bool right, XAxisType axis) const override;
    [[nodiscard]] std::optional<double> xOnAxis(double x, XAxisType from, XAxisType to) const override;
    // A DE-1 run still as recorded (its first line names a "temp_" file:
    // saving and rescuing rename it) has its marks where they were seen,
    // the dead-volume distance after the samples they belong to.
    [[nodiscard]] double runStartOffset() const override;

protected:
    [[nodiscard]] const RunDataFile* currentFile() const override { return &file_; }
    [[nodiscard]] std::filesystem::path currentPath() const override { return path_; }
    [[nodiscard]] std::optional<SampleRecord> currentSampleAt(double x, XAxisType axis) const override;
    [[nodiscard]] std::optional<long long> currentSampleNumberAt(double x, XAxisType axis) const override;
    [[nodiscard]] AlignTrace currentAlignTrace() const override { return alignTraceOf(file_); }

private:
    // A position at the detector (mm) on the axis, as the run's samples are drawn.
    [[nodiscard]] double onAxis(double mm, XAxisType axis) const;

    RunDataFile file_;
    std::filesystem::path path_;
    std::vector<CollectedFraction> collected_;
};

}  // namespace corvane
