#pragma once

// Regions of a profile and their areas. A place on a profile is a sample
// position: 12.25 lies a quarter of the way from sample 12 to sample 13, so
// that a boundary may sit between samples, x may run unevenly or even back,
// and an area is found from a running sum in constant time: a window that
// lets the user drag a boundary recomputes only the two regions beside it.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/Baseline.h"

namespace corvane {

struct Region {
    std::string name;
    double from = 0.0;  // sample positions
    double to = 0.0;

    bool operator==(const Region&) const = default;
};

// The running integral of a profile's values above its baseline over x, by
// the trapezoid rule between samples (and along the straight line within
// one), signed: negative below the baseline, and where x runs back.
class AreaIntegral {
public:
    AreaIntegral() = default;
    AreaIntegral(std::span<const double> x, std::span<const double> y, const Baseline& baseline);

    // The area from one position to another (negative when to < from);
    // positions are clamped to the profile.
    [[nodiscard]] double over(double from, double to) const;
    [[nodiscard]] std::size_t size() const { return x_.size(); }

private:
    [[nodiscard]] double upTo(double position) const;

    std::vector<double> x_;
    std::vector<double> value_;      // y above the baseline
    std::vector<double> cumulative_; // area from sample 0 to sample i
};

// The same area summed directly, for a few regions of a profile: no running
// sum is worth building for them.
[[nodiscard]] double areaBetween(std::span<const double> x, std::span<const double> y, const Baseline& baseline,
                                 double from, double to);

// The position where x first reaches `value` in the samples' order (between
// the two samples it falls between); a value beyond every x gives the sample
// with the nearest x. Nothing for no samples or a value that is not a number.
[[nodiscard]] std::optional<double> positionOfX(std::span<const double> x, double value);
// The x at a position (clamped to the profile).
[[nodiscard]] double xAtPosition(std::span<const double> x, double position);

}  // namespace corvane
