#include "graph/AxisTicks.h"

#include <algorithm>
#include <cmath>

#include "base/TextFormat.h"

namespace corvane {

namespace {

// More ticks than this never fit a plot, whatever the caller asks.
constexpr int kTickLimit = 100;
// Where a tick is taken to lie on the axis's end despite rounding.
constexpr double kEdgeSlack = 1e-9;

[[nodiscard]] int decimalsFor(double step) {
    const int digits = static_cast<int>(std::ceil(-std::log10(step) - kEdgeSlack));
    return std::clamp(digits, 0, 15);
}

}  // namespace

double niceTickStep(double span, int maxTicks) {
    span = std::fabs(span);
    if (!std::isfinite(span) || span == 0.0 || maxTicks < 2) {
        return 0.0;
    }
    maxTicks = std::min(maxTicks, kTickLimit);
    const double raw = span / (maxTicks - 1);
    double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (;;) {
        for (const double m : {1.0, 2.0, 5.0}) {
            const double step = m * decade;
            // Ticks that fit: the multiples of step inside the span, at most
            // one more than span / step.
            if (std::floor(span / step + kEdgeSlack) + 1.0 <= maxTicks) {
                return step;
            }
        }
        decade *= 10.0;
    }
}

std::vector<AxisTick> linearTicks(double lo, double hi, int maxTicks) {
    if (lo > hi) {
        std::swap(lo, hi);
    }
    const double step = niceTickStep(hi - lo, maxTicks);
    std::vector<AxisTick> ticks;
    if (step == 0.0) {
        return ticks;
    }
    const int decimals = decimalsFor(step);
    const double first = std::ceil(lo / step - kEdgeSlack);
    const double last = std::floor(hi / step + kEdgeSlack);
    for (double k = first; k <= last && ticks.size() < static_cast<std::size_t>(kTickLimit); k += 1.0) {
        double value = k * step;
        if (k == 0.0) {
            value = 0.0;  // never "-0"
        }
        ticks.push_back({value, formatText("%.*f", decimals, value)});
    }
    return ticks;
}

std::vector<AxisTick> logTicks(double lo, double hi) {
    std::vector<AxisTick> ticks;
    if (!(lo > 0.0) || !std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) {
        return ticks;
    }
    constexpr int kDecades = 4;
    for (int k = 0; k <= kDecades; ++k) {
        const double value = lo * std::pow(10.0, k);
        ticks.push_back({lo + (hi - lo) * k / kDecades, formatText("%g", value)});
    }
    return ticks;
}

AxisRange openFlatRange(AxisRange range) {
    if (range.min != range.max || !std::isfinite(range.min)) {
        return range;
    }
    const double half = std::max(std::fabs(range.min) / 100.0, 0.001);
    return {range.min - half, range.max + half};
}

}  // namespace corvane
