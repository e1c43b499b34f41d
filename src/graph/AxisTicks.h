#pragma once

#include <string>
#include <vector>

#include "graph/AxisScaling.h"

namespace corvane {

// A labelled tick of an axis: where it sits in axis units and its text.
struct AxisTick {
    double value = 0.0;
    std::string label;
};

// The step between ticks of a linear axis spanning `span`: 1, 2 or 5 times a
// power of ten, the smallest that leaves at most maxTicks ticks. 0 for a span
// that is empty or not finite.
[[nodiscard]] double niceTickStep(double span, int maxTicks);

// The ticks of a linear axis [lo, hi] (either order) at multiples of
// niceTickStep, labelled with as many decimals as the step needs, so that
// 0.00095 and 0.00100 read apart and 100 carries no ".0". Nothing when the
// axis is empty or not finite.
[[nodiscard]] std::vector<AxisTick> linearTicks(double lo, double hi, int maxTicks);

// The ticks of the four-decade log display of [lo, hi]: one per decade at
// lo * 10^k, placed where the log mapping puts that value (a quarter of the
// axis per decade), labelled with the value itself.
[[nodiscard]] std::vector<AxisTick> logTicks(double lo, double hi);

// Auto-scale leaves min equal to max for a flat signal, and the plot cannot
// map an empty range: such a range is opened to v -+ max(|v| / 100, 0.001)
// so the trace shows across the middle. Any other range is kept as it is.
[[nodiscard]] AxisRange openFlatRange(AxisRange range);

}  // namespace corvane
