#include "display/RunScene.h"

#include "display/RunTraces.h"
#include "graph/GraphModel.h"

namespace corvane {

const RunDataFile* RunScene::setFile(int set) const {
    if (set == 1) {
        return items_.overlay() != nullptr ? &items_.overlay()->file() : nullptr;
    }
    return set == 0 ? currentFile() : nullptr;
}

std::filesystem::path RunScene::setPath(int set) const {
    if (set == 1) {
        return items_.overlay() != nullptr ? items_.overlay()->path() : std::filesystem::path();
    }
    return set == 0 ? currentPath() : std::filesystem::path();
}

int RunScene::setOfSlot(int slot) const {
    return items_.overlay() != nullptr && slot >= kOverlaySlotBase && slot < kOverlaySlotBase + 3 ? 1 : 0;
}

bool RunScene::draggable(int slot) const { return items_.overlay() != nullptr && setOfSlot(slot) == 1; }

std::optional<SampleRecord> RunScene::sampleAt(int set, double x, XAxisType axis) const {
    if (set == 0) {
        return currentSampleAt(x, axis);
    }
    if (set != 1 || items_.overlay() == nullptr) {
        return std::nullopt;
    }
    return fileSampleAt(items_.overlay()->file(), x, unitsOf(1, axis), xShiftOf(1, axis));
}

std::optional<long long> RunScene::sampleNumberAt(int set, double x, XAxisType axis) const {
    if (set == 0) {
        return currentSampleNumberAt(x, axis);
    }
    if (set != 1 || items_.overlay() == nullptr) {
        return std::nullopt;
    }
    const auto row = fileIndexAt(items_.overlay()->file(), x - xShiftOf(1, axis), unitsOf(1, axis));
    return row ? std::optional(static_cast<long long>(*row)) : std::nullopt;
}

std::vector<AlignTrace> RunScene::alignTraces() const {
    std::vector<AlignTrace> traces{currentAlignTrace()};
    if (items_.overlay() != nullptr) {
        traces.push_back(alignTraceOf(items_.overlay()->file()));
    }
    return traces;
}

double RunScene::markOffset(XAxisType axis) const {
    // The offset is a distance: on an axis by sample count the marks stay
    // on their samples.
    const XUnits units = unitsOf(0, axis);
    return units.byPosition ? runStartOffset() * units.scale : 0.0;
}

void RunScene::putContext(GraphModel& model, const AxisState& axes, bool liveRun, bool recording) const {
    GraphContext context;
    context.liveRun = liveRun;
    context.recording = recording;
    context.eventMarksShown = axes.eventMarksShown();
    context.xAxisInMm = axes.xAxisType() == XAxisType::Millimetres;
    context.runStartOffset = markOffset(axes.xAxisType());
    context.overlayOrStandardShown = items_.overlay() != nullptr || items_.standard().file() != nullptr;
    model.setContext(context);
    model.setOverlayMode(items_.overlay() != nullptr);
}

}  // namespace corvane
