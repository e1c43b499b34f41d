#pragma once

#include <filesystem>
#include <vector>

#include "graph/FractionPlanHook.h"
#include "runs/OverlayPlan.h"
#include "display/RunTraces.h"
#include "runs/RunDataFile.h"

namespace corvane {

// A standard run on the graph: its data and its overlay plan. As the
// graph's fraction plan it gives the plan's fraction boundaries (each zone
// cut into its number of equal fractions) and, while "Show Standard Run
// Profile" is on, draws its own Abs A profile and the zone edges over the
// plot.
class StandardRun : public FractionPlanHook {
public:
    StandardRun(RunDataFile file, OverlayPlan plan, std::filesystem::path path);

    [[nodiscard]] const RunDataFile& file() const { return file_; }
    [[nodiscard]] const OverlayPlan& plan() const { return plan_; }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    // The axis the plan is placed on: positions on an axis by position, the
    // run's own samples on one by sample count, in the axis's units.
    void setAxis(XAxisType axis) { units_ = xUnitsOf(file_, axis); }

    void boundaryPositions(std::vector<double>& out) const override;
    [[nodiscard]] FractionLabel fractionAt(double x) const override;
    [[nodiscard]] int fractionCount() const override;
    void drawZones(ZoneCanvas& canvas, const GraphMapping& mapping) const override;

private:
    // A plan position (mm) on the current axis.
    [[nodiscard]] double onAxis(double mm) const;

    RunDataFile file_;
    OverlayPlan plan_;
    std::filesystem::path path_;
    double samplesPerMm_ = 0.0;
    double firstMm_ = 0.0;
    XUnits units_{true, 1.0};
};

}  // namespace corvane
