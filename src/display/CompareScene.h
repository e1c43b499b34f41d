#pragma once

#include <array>

#include "display/Scene.h"
#include "graph/Rgb.h"

namespace corvane {

class CompareSets;

// The compare window's sets on the graph: set k in slot k in its colour,
// a DE-1 set's marks in slot k + 4 in that slot's own colour (slots are
// told apart by colour when hit-testing); every set shows one channel, the
// plot type. Every set, the reference too, may be dragged. The x rules are
// the sets' (CompareSets::xRange), never the window widths.
class CompareScene : public Scene {
public:
    // The sets outlive the scene (the compare session owns both).
    CompareScene(const CompareSets& sets, int plotType, const std::array<Rgb, 4>& colours,
                 const CompareOffsets& offsets);

    [[nodiscard]] const CompareSets& sets() const { return sets_; }
    [[nodiscard]] int plotType() const { return plotType_; }

    void build(GraphModel& model, AxisState& axes) override;
    [[nodiscard]] bool de1() const override;
    [[nodiscard]] bool comparesSets() const override { return true; }
    [[nodiscard]] int setCount() const override;
    [[nodiscard]] const RunDataFile* setFile(int set) const override;
    [[nodiscard]] std::filesystem::path setPath(int set) const override;
    [[nodiscard]] int setOfSlot(int slot) const override;
    [[nodiscard]] bool draggable(int slot) const override;
    // A set that starts later or ends earlier has no value there rather
    // than its end's.
    [[nodiscard]] std::optional<SampleRecord> sampleAt(int set, double x, XAxisType axis) const override;
    [[nodiscard]] std::optional<AxisRange> fitX(XAxisType axis, bool xAutoScale) const override;
    [[nodiscard]] std::optional<AxisRange> fullX(XAxisType axis) const override;
    [[nodiscard]] std::vector<AlignTrace> alignTraces() const override;
    // The arrow keys stop at the first and last sample any set has drawn
    // and, in mm, step through the reference set's positions as drawn.
    [[nodiscard]] std::optional<AxisRange> sampleSpan(XAxisType axis) const override;
    [[nodiscard]] std::optional<double> nextPosition(double x, bool right, XAxisType axis) const override;

private:
    const CompareSets& sets_;
    int plotType_;
    std::array<Rgb, 4> colours_;
};

}  // namespace corvane
