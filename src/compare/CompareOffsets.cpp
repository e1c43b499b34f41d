#include "compare/CompareOffsets.h"

#include "compare/AlignPeaks.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

template <class F>
bool edit(std::array<SetPlacement, CompareOffsets::kMaxSets>& sets, int set, double value, F field) {
    if (!CompareOffsets::valid(set) || !std::isfinite(value)) {
        return false;
    }
    sets[static_cast<std::size_t>(set)].*field = value;
    return true;
}

}  // namespace

const SetPlacement& CompareOffsets::placement(int set) const {
    return sets_[static_cast<std::size_t>(valid(set) ? set : 0)];
}

bool CompareOffsets::setXOffset(int set, double samples) {
    return edit(sets_, set, wholeSampleOffset(samples), &SetPlacement::xOffset);
}
bool CompareOffsets::setYOffset(int set, double offset) { return edit(sets_, set, offset, &SetPlacement::yOffset); }
bool CompareOffsets::setXGain(int set, double gain) { return edit(sets_, set, gain, &SetPlacement::xGain); }
bool CompareOffsets::setYGain(int set, double gain) { return edit(sets_, set, gain, &SetPlacement::yGain); }

void CompareOffsets::resetAlignment() {
    for (auto& s : sets_) {
        s.xOffset = 0.0;
    }
}

bool CompareOffsets::anyXGainOtherThanOne() const {
    return std::any_of(sets_.begin(), sets_.end(), [](const SetPlacement& s) { return s.xGain != 1.0; });
}

void CompareOffsets::resetXGains() {
    for (auto& s : sets_) {
        s.xGain = 1.0;
    }
}

}  // namespace corvane
