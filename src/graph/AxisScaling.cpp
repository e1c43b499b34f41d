#include "graph/AxisScaling.h"

#include <cmath>

#include "base/FieldScanner.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

// Bounds of the power-of-ten searches: far beyond any count or absorbance.
constexpr double kLargestDecade = 1e300;
constexpr double kSmallestDecade = 1e-300;

}  // namespace

AutoScaleRange AutoScaleRange::forLiveRun() { return {99999999999.9, -9999999999.9}; }

AutoScaleRange AutoScaleRange::forLoadedFile() { return {999999999.9, -999999999.9}; }

void AutoScaleRange::add(double value) {
    if (!std::isfinite(value)) {
        return;
    }
    ++count_;
    if (value < min_) {
        min_ = value;
    }
    if (value > max_) {
        max_ = value;
    }
}

std::optional<AxisRange> AutoScaleRange::range() const {
    if (count_ == 0) {
        return std::nullopt;
    }
    return AxisRange{min_, max_};
}

AxisRange LogDecadeRange(double min, double max) {
    if (min <= 0.0) {
        double top = 0.001;
        while (top < max && top < kLargestDecade) {
            top *= 10.0;
        }
        return {top / 10000.0, top};
    }
    double bottom = 100.0;
    while (bottom > min && bottom > kSmallestDecade) {
        bottom /= 10.0;
    }
    return {bottom, bottom * 10000.0};
}

std::string axisLimitText(double value, double range, bool logScale) {
    return formatText(range >= 1.0 && !logScale ? "%.2f" : "%.6f", value);
}

std::string autoScaledLimitText(double value, double range, bool logScale) {
    if (range < 1.0 || logScale) {
        return formatText("%.6f", value);
    }
    return formatText(range < 10.0 ? "%.1f" : "%.0f", value);
}

std::optional<double> parseAxisText(std::string_view text) {
    FieldScanner scanner(text);
    double value = 0.0;
    if (!scanner.real(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> spinAxisLimit(std::string_view text, AxisRange axis, bool up) {
    const auto value = parseAxisText(text);
    if (!value) {
        return std::nullopt;
    }
    const double step = (axis.max - axis.min) / 4.0;
    return up ? *value + step : *value - step;
}

}  // namespace corvane
