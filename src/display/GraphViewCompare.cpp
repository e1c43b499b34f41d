// GraphView in a compare window: two to four saved runs, one channel each.
#include <algorithm>
#include <cmath>

#include "compare/CompareSets.h"
#include "display/GraphView.h"
#include "display/LiveGraph.h"
#include "display/RunTraces.h"
#include "graph/GraphModel.h"
#include "runs/Em1RunWriter.h"

namespace corvane {

namespace {

// A DE-1 set's marks sit this far from its own slot.
constexpr int kMarkSlotDistance = 4;
constexpr double kMarkTickHeight = 0.1;

}  // namespace

void GraphView::setCompareSets(const CompareSets* sets, int plotType, const std::array<Rgb, 4>& colours) {
    compare_ = sets;
    comparePlot_ = std::clamp(plotType, 0, kChannelCount - 1);
    compareColours_ = colours;
    if (sets == nullptr) {
        (void)graph_.edit([](GraphModel& model) { model.resetColours(); });
    }
}

const RunDataFile* GraphView::setFile(int set) const {
    if (compare_ != nullptr) {
        return set >= 0 && static_cast<std::size_t>(set) < compare_->size() ? &(*compare_)[set].file : nullptr;
    }
    return set == 1 && overlay_ ? &*overlay_ : set == 0 && file_ ? &*file_ : nullptr;
}

std::vector<AlignTrace> GraphView::compareAlignTraces() const {
    std::vector<AlignTrace> traces;
    for (std::size_t k = 0; compare_ != nullptr && k < compare_->size(); ++k) {
        traces.push_back(alignTraceOf((*compare_)[k].file));
    }
    return traces;
}

std::optional<SampleRecord> GraphView::compareSampleAt(int set, double x) const {
    const RunDataFile* file = compare_ != nullptr ? setFile(set) : nullptr;
    if (file == nullptr) {
        return std::nullopt;
    }
    // Back from where the set is drawn to its own x; a set that starts
    // later or ends earlier has no value there rather than its end's.
    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    const double gain = offsets_.placement(set).xGain;
    const double own = (x - xShiftOf(set)) / (gain != 0.0 ? gain : 1.0);
    const XExtent extent = fileExtent(*file, inMm);
    const bool inside = inMm ? own >= extent.first && own <= extent.last
                             : own >= -0.5 && own < static_cast<double>(extent.count) - 0.5;
    if (!inside) {
        return std::nullopt;
    }
    return fileSampleAt(*file, own, inMm);
}

AxisRange GraphView::compareXRange(bool whole) const {
    if (compare_ == nullptr) {
        return {xMin_, xMax_};
    }
    return compare_->xRange(whole || xAutoScale_, xAxisType_ == XAxisType::Millimetres, offsets_);
}

std::optional<AxisRange> GraphView::compareSampleSpan() const {
    // The arrow keys stop at the first and last sample any set has drawn.
    if (compare_ == nullptr || compare_->empty()) {
        return std::nullopt;
    }
    const AxisRange whole = compare_->xRange(true, false, offsets_);
    return whole.max - 1.0 >= whole.min ? std::optional(AxisRange{whole.min, whole.max - 1.0}) : std::nullopt;
}

std::vector<double> GraphView::compareReferencePositions() const {
    std::vector<double> positions;
    if (compare_ == nullptr || compare_->empty()) {
        return positions;
    }
    positions = alignTraceOf((*compare_)[0].file).position;
    const double shift = xShiftOf(0);
    const double gain = offsets_.placement(0).xGain;
    for (double& p : positions) p = p * gain + shift;
    return positions;
}

void GraphView::buildCompare(GraphModel& model) {
    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    model.clearAllTraces();
    AutoScaleRange yScan = AutoScaleRange::forLoadedFile();
    for (std::size_t k = 0; k < compare_->size(); ++k) {
        const CompareSet& set = (*compare_)[k];
        const int slot = static_cast<int>(k);
        RunLayout layout;
        // A DE-1 run has its signal in the Abs A channel and its marks in the ratio one.
        layout.shown[static_cast<std::size_t>(comparePlot_)] = true;
        layout.shown[kChannelRatio] = layout.shown[kChannelRatio] || (set.file.isEm1() && set.eventMarks);
        layout.inMm = inMm;
        layout.eventMarks = set.eventMarks;
        layout.xShift = xShiftOf(slot);
        layout.xGain = offsets_.placement(slot).xGain;
        layout.yGain = offsets_.placement(slot).yGain;
        layout.yOffset = offsets_.yOffset(slot);
        const ChannelArrays arrays = runChannels(set.file, layout);
        const int channel = set.file.isEm1() ? kChannelAbsA : comparePlot_;
        const auto& cx = arrays.x[static_cast<std::size_t>(channel)];
        const auto& cy = arrays.y[static_cast<std::size_t>(channel)];
        if (set.file.isEm1() && comparePlot_ != kChannelAbsA && comparePlot_ != kChannelAbsB) {
            continue;  // a DE-1 run has no counts or ratio to show
        }
        for (std::size_t i = 0; i < cx.size(); ++i) {
            if (cx[i] >= xMin_ && cx[i] <= xMax_) yScan.add(cy[i]);
        }
        model.setTraceColour(slot, compareColours_[k]);
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
    if (compare_->de1()) {
        // The DE-1 signal mode: the largest full scale of the sets, marks on 0..1.
        aufsIndex_ = compare_->largestAufsStep();
        if (!yAutoScale_) {
            yMin_ = 0.0;
            yMax_ = Em1RunWriter::aufsValue(aufsIndex_);
        }
        yyMin_ = 0.0;
        yyMax_ = 1.0;
    }
    applyAxes(model, yScan.range(), std::nullopt);
    GraphContext context;
    context.compareMode = true;
    context.compareReferenceShown = true;
    context.eventMarksShown = true;
    context.xAxisInMm = inMm;
    model.setContext(context);
    model.setOverlayMode(false);
}

}  // namespace corvane
