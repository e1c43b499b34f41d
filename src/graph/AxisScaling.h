#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// A y axis's limits.
struct AxisRange {
    double min = 0.0;
    double max = 0.0;

    friend bool operator==(const AxisRange&, const AxisRange&) = default;
};

// The auto-scale of an axis: the extremes of the values shown, no margin.
// The starting values are the traditional ones, so a value beyond them (a
// count above 10^11) does not widen the range; values that are not finite
// (a ratio with absorbance B of 0) are skipped.
class AutoScaleRange {
public:
    // A live run starts from 99999999999.9 and -9999999999.9.
    [[nodiscard]] static AutoScaleRange forLiveRun();
    // A loaded file starts from 999999999.9 and -999999999.9.
    [[nodiscard]] static AutoScaleRange forLoadedFile();

    void add(double value);
    [[nodiscard]] bool empty() const { return count_ == 0; }
    // The range found; nothing when no value was taken (the axis then keeps
    // its limits rather than turning upside down).
    [[nodiscard]] std::optional<AxisRange> range() const;

private:
    AutoScaleRange(double min, double max) : min_(min), max_(max) {}

    double min_;
    double max_;
    int count_ = 0;
};

// Widens [min, max] to exactly four decades for the log display. min <= 0:
// max becomes the smallest of 0.001, 0.01, 0.1, 1, ... not below it and min
// a ten-thousandth of that. min > 0: min becomes the largest power of ten not
// above it, searched from 100 down (so anything above 100 gives 100), and max
// ten thousand times min.
[[nodiscard]] AxisRange LogDecadeRange(double min, double max);

// The text of an axis edit box: "%.2f" when the axis range is at least 1.0
// and log scale is off, "%.6f" otherwise.
[[nodiscard]] std::string axisLimitText(double value, double range, bool logScale);

// The text of a Y box after an auto-scale: "%.6f" when the range is below 1.0
// or log scale is on, "%.1f" below 10, "%.0f" otherwise.
[[nodiscard]] std::string autoScaledLimitText(double value, double range, bool logScale);

// An axis box's text read as "%lf" reads it: white space, then a number;
// whatever follows is ignored. Nothing when no number starts the text.
[[nodiscard]] std::optional<double> parseAxisText(std::string_view text);

// One click of an axis spin: the limit in `text` moved by a quarter of the
// axis range, up or down. Nothing when the text does not read as a number.
[[nodiscard]] std::optional<double> spinAxisLimit(std::string_view text, AxisRange axis, bool up);

}  // namespace corvane
