#include "display/GraphCursors.h"

#include <algorithm>
#include <cstdlib>

#include "app/Clock.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

// The arrow step grows while a key is held: 1, then 4 from the 10th repeat,
// then 10 from the 20th.
[[nodiscard]] int stepFor(int repeats) { return repeats >= 20 ? 10 : repeats >= 10 ? 4 : 1; }

}  // namespace

int GraphCursors::mainIndex() const {
    for (int i = 0; i < count(); ++i) {
        if (records_[static_cast<std::size_t>(i)].isMain) {
            return i;
        }
    }
    return -1;
}

std::optional<double> GraphCursors::mainPosition() const {
    const int i = mainIndex();
    if (i < 0) {
        return std::nullopt;
    }
    return records_[static_cast<std::size_t>(i)].position;
}

std::vector<GraphCursor> GraphCursors::graphCursors() const {
    std::vector<GraphCursor> out;
    out.reserve(records_.size());
    for (const auto& r : records_) {
        out.push_back({r.position, r.isMoving, r.handleY});
    }
    return out;
}

bool GraphCursors::add(double position) {
    if (count() >= kMaxCursors) {
        prompter_.message(formatText("No more than %d data markers are permitted.", kMaxCursors));
        return false;
    }
    for (auto& r : records_) {
        r.isMain = false;
    }
    CursorRecord record;
    record.isMain = true;
    record.position = position;
    records_.push_back(record);
    return true;
}

void GraphCursors::ensureMain() {
    if (!records_.empty() && mainIndex() < 0) {
        records_.front().isMain = true;
    }
}

void GraphCursors::remove(int index) {
    if (index < 0 || index >= count()) {
        return;
    }
    records_.erase(records_.begin() + index);
    ensureMain();
}

bool GraphCursors::removeSelected(std::vector<int> indices) {
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    indices.erase(std::remove_if(indices.begin(), indices.end(), [this](int i) { return i < 0 || i >= count(); }),
                  indices.end());
    if (!records_.empty() && static_cast<int>(indices.size()) == count()) {
        prompter_.message("Must leave at least one marker in the graph. Please de-select at least one marker.");
        return false;
    }
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
        records_.erase(records_.begin() + *it);
    }
    ensureMain();
    return true;
}

void GraphCursors::makeMain(int index) {
    if (index < 0 || index >= count()) {
        return;
    }
    for (auto& r : records_) {
        r.isMain = false;
    }
    records_[static_cast<std::size_t>(index)].isMain = true;
}

void GraphCursors::startMove(int index, int plotHeight) {
    if (index < 0 || index >= count()) {
        return;
    }
    makeMain(index);
    CursorRecord& r = records_[static_cast<std::size_t>(index)];
    r.isMoving = true;
    r.handleY = plotHeight / 2;
}

void GraphCursors::moveMain(double position) {
    const int i = mainIndex();
    if (i >= 0) {
        records_[static_cast<std::size_t>(i)].position = position;
    }
}

void GraphCursors::dragTo(double position, int handleY) {
    for (auto& r : records_) {
        if (r.isMoving) {
            r.position = position;
            r.handleY = handleY;
            return;
        }
    }
}

int GraphCursors::arrowStep(bool right) {
    const std::int64_t now = clock_.nowMs();
    if (!anyArrow_ || now - lastArrowMs_ > kArrowPauseMs) {
        rightRepeats_ = 0;
        leftRepeats_ = 0;
    }
    anyArrow_ = true;
    lastArrowMs_ = now;
    if (right) {
        ++rightRepeats_;
        leftRepeats_ = 0;
        return stepFor(rightRepeats_);
    }
    ++leftRepeats_;
    rightRepeats_ = 0;
    return -stepFor(leftRepeats_);
}

std::string GraphCursors::positionText(XAxisType axis) const {
    const auto p = mainPosition();
    if (!p) {
        return {};
    }
    return formatText(xAxisWords(axis).format, *p);
}

std::string GraphCursors::labelText(double position, XAxisType axis) {
    return "Cursor: " + xValueText(position, axis);
}

std::string GraphCursors::removeListLine(int index, XAxisType axis) const {
    if (index < 0 || index >= count()) {
        return {};
    }
    const double p = records_[static_cast<std::size_t>(index)].position;
    return axis == XAxisType::SampleNumber ? formatText("Marker at sample #%.0f", p)
                                           : "Marker at X = " + xValueText(p, axis);
}

}  // namespace corvane
