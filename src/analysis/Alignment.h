#pragma once

// Putting profiles on one x: reading a profile at other x values, mapping
// its x so that its landmarks fall on a reference's, and scaling it to a
// common area, so that profiles of different runs and loads can be laid over
// each other and averaged.

#include <optional>
#include <span>
#include <vector>

#include "runs/Profile.h"

namespace corvane {

// x' = scale x + shift.
struct XMapping {
    double scale = 1.0;
    double shift = 0.0;

    [[nodiscard]] double operator()(double x) const { return scale * x + shift; }
    bool operator==(const XMapping&) const = default;
};

// The mapping that carries a profile's landmarks (their x) onto the
// reference's: one landmark gives a shift, two a shift and a stretch.
// Nothing when the counts differ or are not 1 or 2, a value is not finite,
// or two landmarks share one x (no stretch maps them apart).
[[nodiscard]] std::optional<XMapping> alignmentOf(std::span<const double> own, std::span<const double> reference);

// The profile with its x mapped.
[[nodiscard]] Profile mapped(Profile profile, const XMapping& mapping);

// What a profile reads at x values outside its own.
enum class Outside { NotANumber, Nearest };

// The profile's values at each of `at`, on the straight line between the
// samples either side (x in any order: the samples are taken in order of x).
[[nodiscard]] std::vector<double> resampled(std::span<const double> x, std::span<const double> y,
                                            std::span<const double> at, Outside outside = Outside::NotANumber);

// Values divided by an area (of the whole profile, or of one region, after
// the baseline), so that profiles of different loads compare; nothing for an
// area of 0 or one that is not finite.
[[nodiscard]] std::optional<std::vector<double>> normalised(std::span<const double> values, double area);

}  // namespace corvane
