#include "display/RunFileScene.h"

#include <algorithm>
#include <cmath>

#include "app/FileReplace.h"
#include "display/FractionNumbers.h"
#include "display/RunTraces.h"
#include "graph/GraphModel.h"
#include "runs/RunFileCopy.h"

namespace corvane {

RunFileScene::RunFileScene(RunDataFile file, std::filesystem::path path, const RunItems& items,
                           const CompareOffsets& offsets)
    : RunScene(items, offsets), file_(std::move(file)), path_(std::move(path)) {
    if (file_.isEm1()) {
        const auto text = readWholeFile(path_, kMaxRunFileBytes);
        if (const auto table = text ? readFractionTable(*text) : std::nullopt) {
            collected_ = table->fractions;
        }
    }
}

double RunFileScene::onAxis(double mm, XAxisType axis) const {
    const XUnits units = unitsOf(0, axis);
    const double gain = offsets_.placement(0).xGain;
    const double shift = xShiftOf(0, axis);
    if (units.byPosition) {
        return mm * units.scale * gain + shift;
    }
    // By sample: the first row at or past the position, as the trace counts rows.
    const auto& rows = file_.em1Samples();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].distance >= mm - 1e-9) {
            return static_cast<double>(i) * units.scale * gain + shift;
        }
    }
    return std::nan("");
}

void RunFileScene::build(GraphModel& model, AxisState& axes) {
    const XAxisType axis = axes.xAxisType();
    // Drawn only on a refresh: from clean slots, so no mark configuration
    // of an earlier file stays behind.
    model.clearAllTraces();
    RunLayout layout;
    layout.shown = axes.shown();
    layout.units = unitsOf(0, axis);
    layout.eventMarks = axes.eventMarksShown();
    layout.volts = axes.volts();
    layout.xShift = xShiftOf(0, axis);
    layout.xGain = offsets_.placement(0).xGain;
    layout.yGain = offsets_.placement(0).yGain;
    layout.yOffset = offsets_.yOffset(0);
    if (items_.overlay() != nullptr) {
        layout.valuesOnRight = !valuesInAu(file_) && valuesInAu(items_.overlay()->file());
        for (const int c : {kChannelSampleA, kChannelSourceA, kChannelSampleB, kChannelSourceB}) {
            layout.shown[static_cast<std::size_t>(c)] = false;
        }
    }
    const ChannelArrays arrays = runChannels(file_, layout);
    const auto slots = items_.slotMap();
    const AxisRange x = axes.xRange();

    AutoScaleRange yScan = AutoScaleRange::forLoadedFile();
    AutoScaleRange yyScan = AutoScaleRange::forLoadedFile();
    for (int c = 0; c < kChannelCount; ++c) {
        // A DE-1 run's ratio slot holds its marks: levels, not data.
        if (arrays.marks && c == arrays.markChannel) {
            continue;
        }
        AutoScaleRange& scan = c == kChannelRatio ? yyScan : yScan;
        const auto& cx = arrays.x[static_cast<std::size_t>(c)];
        const auto& cy = arrays.y[static_cast<std::size_t>(c)];
        for (std::size_t i = 0; i < cx.size(); ++i) {
            if (cx[i] >= x.min && cx[i] <= x.max) {
                scan.add(cy[i]);
            }
        }
    }
    items_.draw(model, axes, *this, yScan, yyScan);
    if (file_.isEm1() && !axes.yAutoScale()) {
        axes.useAufsRange();
    }
    axes.autoScale(yScan.range(), yyScan.range());
    putAxes(model, axes);
    if (items_.overlay() != nullptr && axes.logScale()) {
        // Log values are mapped as they are set: the overlay again, on these ranges.
        AutoScaleRange y = AutoScaleRange::forLoadedFile(), yy = y;
        items_.overlay()->draw(model, axes, *this, y, yy);
    }
    putContext(model, axes, false, false);
    model.setNumberedFractions(numberedFractions(collected_, true, [&](double mm) { return onAxis(mm, axis); }));
    const double marksEarlier = markOffset(axis);
    for (int c = 0; c < kChannelCount; ++c) {
        const auto& cx = arrays.x[static_cast<std::size_t>(c)];
        const int slot = file_.isExport() ? c : slots[static_cast<std::size_t>(c)];
        if (cx.empty() || slot < 0) {
            continue;
        }
        if (arrays.marks && c == arrays.markChannel) {
            model.setMarkTrace(slot, true, kMarkTickHeight, -marksEarlier, false, marksEarlier);
            model.setTraceYGain(slot, arrays.markGain);
        }
        model.setTraceData(cx.data(), arrays.y[static_cast<std::size_t>(c)].data(), static_cast<int>(cx.size()),
                           slot, 1.0);
    }
}

std::optional<AxisRange> RunFileScene::fitX(XAxisType axis, bool /*xAutoScale*/) const {
    const XExtent extent = fileExtent(file_, unitsOf(0, axis));
    return AxisRange{extent.first, extent.last};
}

std::optional<AxisRange> RunFileScene::fullX(XAxisType axis) const {
    if (file_.sampleCount() < 2) {
        return std::nullopt;
    }
    return fitX(axis, true);
}

std::optional<AxisRange> RunFileScene::sampleSpan(XAxisType axis) const {
    const std::size_t n = file_.sampleCount();
    const double scale = unitsOf(0, axis).scale;
    return n == 0 ? std::nullopt : std::optional(AxisRange{0.0, static_cast<double>(n - 1) * scale});
}

std::optional<double> RunFileScene::nextPosition(double x, bool right, XAxisType axis) const {
    const double scale = unitsOf(0, axis).scale;
    std::optional<double> best;
    for (const double own : alignTraceOf(file_).position) {
        const double p = own * scale;
        if (!std::isfinite(p) || (right ? !(p > x) : !(p < x))) {
            continue;
        }
        if (!best || (right ? p < *best : p > *best)) {
            best = p;
        }
    }
    return best;
}

std::optional<double> RunFileScene::xOnAxis(double x, XAxisType from, XAxisType to) const {
    const auto i = fileIndexAt(file_, x - xShiftOf(0, from), unitsOf(0, from));
    if (!i) {
        return std::nullopt;
    }
    return fileXOf(file_, *i, unitsOf(0, to)) + xShiftOf(0, to);
}

double RunFileScene::runStartOffset() const {
    const RunFileHeader& header = file_.header();
    const bool asRecorded = std::string_view(header.fileTitle).starts_with("temp_");
    return file_.isEm1() && header.em1 && asRecorded ? std::max(0.0, header.em1->deadVolumeDistance) : 0.0;
}

std::optional<SampleRecord> RunFileScene::currentSampleAt(double x, XAxisType axis) const {
    return fileSampleAt(file_, x, unitsOf(0, axis), xShiftOf(0, axis));
}

std::optional<long long> RunFileScene::currentSampleNumberAt(double x, XAxisType axis) const {
    const auto row = fileIndexAt(file_, x - xShiftOf(0, axis), unitsOf(0, axis));
    return row ? std::optional(static_cast<long long>(*row)) : std::nullopt;
}

}  // namespace corvane
