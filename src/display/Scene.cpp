#include "display/Scene.h"

#include "graph/GraphModel.h"
#include "runs/RunDataFile.h"

namespace corvane {

XUnits Scene::unitsOf(int set, XAxisType axis) const {
    const RunDataFile* file = setFile(set);
    return file != nullptr ? xUnitsOf(*file, axis) : xUnitsFor(axis, 0.0, 0.0);
}

double Scene::samplesPerX(int set, XAxisType axis) const {
    const XUnits units = unitsOf(set, axis);
    if (!units.byPosition) {
        return 1.0 / units.scale;
    }
    const RunDataFile* file = setFile(set);
    return file != nullptr ? alignTraceOf(*file).samplesPerMm() / units.scale : 0.0;
}

double Scene::xShiftOf(int set, XAxisType axis) const {
    const double samples = offsets_.xOffset(set);
    if (samples == 0.0) {
        return 0.0;
    }
    const double perX = samplesPerX(set, axis);
    return perX > 0.0 ? samples / perX : 0.0;
}

namespace {

class EmptyScene : public Scene {
public:
    using Scene::Scene;
    void build(GraphModel& model, AxisState& axes) override {
        model.clearAllTraces();
        putAxes(model, axes);
    }
    [[nodiscard]] bool de1() const override { return false; }
    [[nodiscard]] int setCount() const override { return 0; }
    [[nodiscard]] const RunDataFile* setFile(int) const override { return nullptr; }
    [[nodiscard]] std::filesystem::path setPath(int) const override { return {}; }
    [[nodiscard]] int setOfSlot(int) const override { return 0; }
    [[nodiscard]] bool draggable(int) const override { return false; }
    [[nodiscard]] std::optional<SampleRecord> sampleAt(int, double, XAxisType) const override { return {}; }
    [[nodiscard]] std::optional<AxisRange> fitX(XAxisType, bool) const override { return {}; }
    [[nodiscard]] std::optional<AxisRange> fullX(XAxisType) const override { return {}; }
    [[nodiscard]] std::vector<AlignTrace> alignTraces() const override { return {}; }
    [[nodiscard]] std::optional<AxisRange> sampleSpan(XAxisType) const override { return {}; }
    [[nodiscard]] std::optional<double> nextPosition(double, bool, XAxisType) const override { return {}; }
};

}  // namespace

std::unique_ptr<Scene> emptyScene(const CompareOffsets& offsets) { return std::make_unique<EmptyScene>(offsets); }

void putAxes(GraphModel& model, const AxisState& axes) {
    const AxisRange y = axes.yRange();
    const AxisRange yy = axes.yyRange();
    model.setYRanges(y.min, y.max, yy.min, yy.max, axes.logScale(), false);
    model.setXRange(axes.xRange().min, axes.xRange().max);
    model.setShowGrid(axes.showGrid());
}

}  // namespace corvane
