#include "display/Scene.h"

#include "graph/GraphModel.h"
#include "runs/RunDataFile.h"

namespace corvane {

double Scene::samplesPerX(int set, XAxisType axis) const {
    if (axis == XAxisType::SampleNumber) {
        return 1.0;
    }
    const RunDataFile* file = setFile(set);
    return file != nullptr ? alignTraceOf(*file).samplesPerMm() : 0.0;
}

double Scene::xShiftOf(int set, XAxisType axis) const {
    const double samples = offsets_.xOffset(set);
    if (samples == 0.0 || axis == XAxisType::SampleNumber) {
        return samples;
    }
    const double perMm = samplesPerX(set, axis);
    return perMm > 0.0 ? samples / perMm : 0.0;
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
    [[nodiscard]] std::optional<AxisRange> sampleSpan() const override { return {}; }
    [[nodiscard]] std::optional<double> nextPosition(double, bool) const override { return {}; }
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
