#include "display/RunItems.h"

#include "compare/CompareOffsets.h"
#include "display/RunTraces.h"
#include "display/Scene.h"
#include "graph/GraphModel.h"

namespace corvane {

namespace {

[[nodiscard]] bool inRange(double x, AxisRange r) { return x >= r.min && x <= r.max; }

}  // namespace

void OverlayRun::draw(GraphModel& model, const AxisState& axes, const Scene& scene, AutoScaleRange& yScan,
                      AutoScaleRange& yyScan) const {
    const CompareOffsets& offsets = scene.offsets();
    const auto& shown = axes.shown();
    RunLayout layout;
    layout.shown = {false, false, shown[kChannelAbsA], false, false, shown[kChannelAbsB], shown[kChannelRatio]};
    layout.units = scene.unitsOf(1, axes.xAxisType());
    layout.eventMarks = axes.eventMarksShown();
    layout.volts = axes.volts();
    layout.xShift = scene.xShiftOf(1, axes.xAxisType());
    layout.xGain = offsets.placement(1).xGain;
    layout.yGain = offsets.placement(1).yGain;
    layout.yOffset = offsets.yOffset(1);
    // A profile not in AU over absorbances (a live run's too) keeps its own axis.
    const RunDataFile* current = scene.setFile(0);
    layout.valuesOnRight = !valuesInAu(file_) && (current == nullptr || valuesInAu(*current));
    const ChannelArrays arrays = runChannels(file_, layout);
    constexpr std::array<int, 3> kChannels{kChannelAbsA, kChannelAbsB, kChannelRatio};
    for (int k = 0; k < 3; ++k) {
        const int c = kChannels[static_cast<std::size_t>(k)];
        const int slot = kOverlaySlotBase + k;
        const auto& cx = arrays.x[static_cast<std::size_t>(c)];
        const auto& cy = arrays.y[static_cast<std::size_t>(c)];
        model.clearTrace(slot);
        if (cx.empty()) {
            continue;
        }
        const bool marks = arrays.marks && c == arrays.markChannel;
        if (!marks) {
            AutoScaleRange& scan = c == kChannelRatio ? yyScan : yScan;
            for (std::size_t i = 0; i < cx.size(); ++i) {
                if (inRange(cx[i], axes.xRange())) {
                    scan.add(cy[i]);
                }
            }
        } else {
            model.setMarkTrace(slot, true, kMarkTickHeight, 0.0, false, 0.0);
            model.setTraceYGain(slot, arrays.markGain);
        }
        model.setTraceStyle(slot, true, false);
        model.setTraceData(cx.data(), cy.data(), static_cast<int>(cx.size()), slot, 1.0);
    }
}

void StandardProfile::scan(const AxisState& axes, AutoScaleRange& yScan) const {
    // A profile not shown is not on the plot: it has no say in its scale.
    if (file_ == nullptr || !shown_) {
        return;
    }
    RunLayout layout;
    layout.shown[kChannelAbsA] = true;
    layout.units = xUnitsOf(*file_, axes.xAxisType());
    layout.eventMarks = false;
    const ChannelArrays arrays = runChannels(*file_, layout);
    const auto& cx = arrays.x[kChannelAbsA];
    const auto& cy = arrays.y[kChannelAbsA];
    for (std::size_t i = 0; i < cx.size(); ++i) {
        if (inRange(cx[i], axes.xRange())) {
            yScan.add(cy[i]);
        }
    }
}

bool RunItems::de1() const {
    if (overlay_) {
        return overlay_->file().isEm1();
    }
    return standard_.file() != nullptr && standard_.file()->isEm1();
}

std::array<int, kChannelCount> RunItems::slotMap() const {
    if (!overlay_) {
        return {0, 1, 2, 3, 4, 5, 6};
    }
    return {-1, -1, 0, -1, -1, 1, 2};
}

void RunItems::draw(GraphModel& model, const AxisState& axes, const Scene& scene, AutoScaleRange& yScan,
                    AutoScaleRange& yyScan) const {
    if (overlay_) {
        overlay_->draw(model, axes, scene, yScan, yyScan);
    }
    standard_.scan(axes, yScan);
}

}  // namespace corvane
