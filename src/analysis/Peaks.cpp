#include "analysis/Peaks.h"

#include <algorithm>

namespace corvane {

namespace {

// For each sample, the lowest value (and where) between it and the nearest
// strictly higher sample on one side, or that side's end: one pass with a
// stack of samples not yet overtaken, each carrying the minimum of the stretch
// it stands for. Every sample is pushed and popped once.
struct SideMinimum {
    double value;
    std::size_t index;
};

template <class Value>
void sideMinima(std::size_t n, const Value& v, bool leftwards, std::vector<SideMinimum>& result) {
    struct Entry {
        std::size_t index;
        SideMinimum minimum;
    };
    std::vector<Entry> stack;
    result.resize(n);
    for (std::size_t step = 0; step < n; ++step) {
        const std::size_t i = leftwards ? step : n - 1 - step;
        const double here = v(i);
        SideMinimum minimum{here, i};
        while (!stack.empty() && v(stack.back().index) <= here) {
            if (stack.back().minimum.value < minimum.value) {
                minimum = stack.back().minimum;
            }
            stack.pop_back();
        }
        result[i] = minimum;
        stack.push_back({i, minimum});
    }
}

template <class Value>
std::vector<Extremum> prominent(std::size_t n, const Value& v, double minProminence) {
    std::vector<Extremum> found;
    if (n < 3) {
        return found;
    }
    // Local maxima first: a rise, then a flat stretch or none, then a fall.
    std::vector<std::size_t> tops;
    for (std::size_t i = 1; i + 1 < n;) {
        if (!(v(i) > v(i - 1))) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end + 1 < n && v(end + 1) == v(i)) {
            ++end;
        }
        if (end + 1 < n && v(end + 1) < v(i)) {
            tops.push_back(i + (end - i) / 2);
        }
        i = end + 1;
    }
    if (tops.empty()) {
        return found;
    }
    std::vector<SideMinimum> left;
    std::vector<SideMinimum> right;
    sideMinima(n, v, true, left);
    sideMinima(n, v, false, right);
    for (const std::size_t top : tops) {
        const double base = std::max(left[top].value, right[top].value);
        const double prominence = v(top) - base;
        if (prominence >= minProminence) {
            found.push_back({top, prominence, left[top].index, right[top].index});
        }
    }
    return found;
}

}  // namespace

std::vector<Extremum> findPeaks(std::span<const double> y, double minProminence) {
    return prominent(y.size(), [y](std::size_t i) { return y[i]; }, minProminence);
}

std::vector<Extremum> findValleys(std::span<const double> y, double minProminence) {
    return prominent(y.size(), [y](std::size_t i) { return -y[i]; }, minProminence);
}

std::optional<ExtremaTracker::Turn> ExtremaTracker::push(std::size_t index, double value) {
    if (!started_) {
        started_ = true;
        high_ = {index, value, true};
        low_ = {index, value, false};
        return std::nullopt;
    }
    if (value > high_.value) {
        high_ = {index, value, true};
    }
    if (value < low_.value) {
        low_ = {index, value, false};
    }
    if (looking_ != Looking::Valley && value <= high_.value - prominence_ &&
        (looking_ == Looking::Peak || high_.index > low_.index)) {
        const Turn peak = high_;
        looking_ = Looking::Valley;
        low_ = {index, value, false};
        return peak;
    }
    if (looking_ != Looking::Peak && value >= low_.value + prominence_ &&
        (looking_ == Looking::Valley || low_.index > high_.index)) {
        const Turn valley = low_;
        looking_ = Looking::Peak;
        high_ = {index, value, true};
        return valley;
    }
    return std::nullopt;
}

}  // namespace corvane
