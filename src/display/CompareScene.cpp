#include "display/CompareScene.h"

#include <algorithm>
#include <cmath>

#include "compare/CompareSets.h"
#include "display/RunTraces.h"
#include "graph/GraphModel.h"

namespace corvane {

namespace {

// A DE-1 set's marks sit this far from its own slot.
constexpr int kMarkSlotDistance = 4;

}  // namespace

CompareScene::CompareScene(const CompareSets& sets, int plotType, const std::array<Rgb, 4>& colours,
                           const CompareOffsets& offsets)
    : Scene(offsets),
      sets_(sets), plotType_(std::clamp(plotType, 0, kChannelCount - 1)), colours_(colours) {}

bool CompareScene::de1() const { return sets_.de1(); }

int CompareScene::setCount() const { return static_cast<int>(sets_.size()); }

const RunDataFile* CompareScene::setFile(int set) const {
    return set >= 0 && static_cast<std::size_t>(set) < sets_.size() ? &sets_[static_cast<std::size_t>(set)].file
                                                                     : nullptr;
}

std::filesystem::path CompareScene::setPath(int set) const {
    return set >= 0 && static_cast<std::size_t>(set) < sets_.size() ? sets_[static_cast<std::size_t>(set)].path
                                                                     : std::filesystem::path();
}

int CompareScene::setOfSlot(int slot) const { return slot % kMarkSlotDistance; }

bool CompareScene::draggable(int slot) const { return slot >= 0 && slot < CompareOffsets::kMaxSets; }

std::optional<SampleRecord> CompareScene::sampleAt(int set, double x, XAxisType axis) const {
    const RunDataFile* file = setFile(set);
    if (file == nullptr) {
        return std::nullopt;
    }
    // Back from where the set is drawn to its own x.
    const XUnits units = unitsOf(set, axis);
    const double gain = offsets_.placement(set).xGain;
    const double own = (x - xShiftOf(set, axis)) / (gain != 0.0 ? gain : 1.0);
    const XExtent extent = fileExtent(*file, units);
    const bool inside = units.byPosition
                            ? own >= extent.first && own <= extent.last
                            : own >= -0.5 * units.scale && own < (static_cast<double>(extent.count) - 0.5) * units.scale;
    if (!inside) {
        return std::nullopt;
    }
    return fileSampleAt(*file, own, units);
}

std::optional<AxisRange> CompareScene::fitX(XAxisType axis, bool xAutoScale) const {
    if (axis == XAxisType::SampleNumber || axis == XAxisType::Millimetres) {
        const AxisRange x = sets_.xRange(xAutoScale, axis == XAxisType::Millimetres, offsets_);
        return x.max > x.min ? std::optional(x) : std::nullopt;
    }
    // On a volume or time axis every set whole where its offset puts it.
    std::optional<AxisRange> whole;
    for (int k = 0; k < setCount(); ++k) {
        const XExtent e = fileExtent(*setFile(k), unitsOf(k, axis));
        const double gain = offsets_.placement(k).xGain;
        const AxisRange drawn{e.first * gain + xShiftOf(k, axis), e.last * gain + xShiftOf(k, axis)};
        whole = whole ? AxisRange{std::min(whole->min, drawn.min), std::max(whole->max, drawn.max)} : drawn;
    }
    return whole && whole->max > whole->min ? whole : std::nullopt;
}

std::optional<AxisRange> CompareScene::fullX(XAxisType axis) const { return fitX(axis, true); }

std::vector<AlignTrace> CompareScene::alignTraces() const {
    std::vector<AlignTrace> traces;
    for (std::size_t k = 0; k < sets_.size(); ++k) {
        traces.push_back(alignTraceOf(sets_[k].file));
    }
    return traces;
}

std::optional<AxisRange> CompareScene::sampleSpan(XAxisType axis) const {
    if (sets_.empty()) {
        return std::nullopt;
    }
    const AxisRange whole = sets_.xRange(true, false, offsets_);
    const double scale = unitsOf(0, axis).scale;
    return whole.max - 1.0 >= whole.min ? std::optional(AxisRange{whole.min * scale, (whole.max - 1.0) * scale})
                                        : std::nullopt;
}

std::optional<double> CompareScene::nextPosition(double x, bool right, XAxisType axis) const {
    if (sets_.empty()) {
        return std::nullopt;
    }
    const double shift = xShiftOf(0, axis);
    const double gain = offsets_.placement(0).xGain;
    const double scale = unitsOf(0, axis).scale;
    std::optional<double> best;
    for (const double own : alignTraceOf(sets_[0].file).position) {
        const double p = own * scale * gain + shift;
        if (!std::isfinite(p) || (right ? !(p > x) : !(p < x))) {
            continue;
        }
        if (!best || (right ? p < *best : p > *best)) {
            best = p;
        }
    }
    return best;
}

void CompareScene::build(GraphModel& model, AxisState& axes) {
    const XAxisType axis = axes.xAxisType();
    const AxisRange x = axes.xRange();
    model.clearAllTraces();
    AutoScaleRange yScan = AutoScaleRange::forLoadedFile();
    bool anyMarks = false;
    for (std::size_t k = 0; k < sets_.size(); ++k) {
        const CompareSet& set = sets_[k];
        anyMarks = anyMarks || set.eventMarks;
        const int slot = static_cast<int>(k);
        RunLayout layout;
        // A DE-1 run (and a profile of another instrument) has its signal in
        // the Abs A channel and its marks in the ratio one.
        const bool oneSignal = set.file.isEm1() || set.file.isProfile();
        layout.shown[static_cast<std::size_t>(plotType_)] = true;
        layout.shown[kChannelRatio] = layout.shown[kChannelRatio] || (oneSignal && set.eventMarks);
        layout.units = unitsOf(slot, axis);
        layout.eventMarks = set.eventMarks;
        layout.volts = axes.volts();
        layout.xShift = xShiftOf(slot, axis);
        layout.xGain = offsets_.placement(slot).xGain;
        layout.yGain = offsets_.placement(slot).yGain;
        layout.yOffset = offsets_.yOffset(slot);
        const ChannelArrays arrays = runChannels(set.file, layout);
        const int channel = oneSignal ? kChannelAbsA : plotType_;
        const auto& cx = arrays.x[static_cast<std::size_t>(channel)];
        const auto& cy = arrays.y[static_cast<std::size_t>(channel)];
        if (oneSignal && plotType_ != kChannelAbsA && plotType_ != kChannelAbsB) {
            continue;  // one signal: no counts or ratio to show
        }
        for (std::size_t i = 0; i < cx.size(); ++i) {
            if (cx[i] >= x.min && cx[i] <= x.max) yScan.add(cy[i]);
        }
        model.setTraceColour(slot, colours_[k]);
        if (!cx.empty()) {
            model.setTraceData(cx.data(), cy.data(), static_cast<int>(cx.size()), slot, 1.0);
        }
        const auto& mx = arrays.x[kChannelRatio];
        if (arrays.marks && set.eventMarks && !mx.empty()) {
            const int markSlot = slot + kMarkSlotDistance;
            model.setMarkTrace(markSlot, true, kMarkTickHeight, 0.0, false, 0.0);
            model.setTraceData(mx.data(), arrays.y[kChannelRatio].data(), static_cast<int>(mx.size()), markSlot,
                               1.0);
        }
    }
    if (sets_.de1()) {
        // The DE-1 signal mode: the largest full scale of the sets, marks on 0..1.
        axes.setAufsIndex(sets_.largestAufsStep());
        if (!axes.yAutoScale()) {
            axes.useAufsRange();
        }
        axes.setYYRange({0.0, 1.0});
    } else if (plotType_ != kChannelRatio && anyMarks) {
        // The right axis holds only the marks of the sets of other
        // instruments: on 0..1, whatever range the main window had there.
        axes.setYYRange({0.0, 1.0});
    }
    axes.autoScale(yScan.range(), std::nullopt);
    putAxes(model, axes);
    GraphContext context;
    context.compareMode = true;
    context.compareReferenceShown = true;
    context.eventMarksShown = true;
    context.xAxisInMm = axis == XAxisType::Millimetres;
    model.setContext(context);
    model.setOverlayMode(false);
}

}  // namespace corvane
