#pragma once

// A detector driven past its range writes a flat top: the true peak is
// higher than anything recorded there. Such plateaus are found so that no
// peak height is read from them and every area and ratio that includes one
// carries a warning.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace corvane {

// Samples from `from` to `to`, both included.
struct IndexRange {
    std::size_t from = 0;
    std::size_t to = 0;

    bool operator==(const IndexRange&) const = default;
};

// The plateaus at the top of y: runs of samples within the noise (twice
// `noise`) of the detector's full scale when it is known, else of the
// profile's maximum. At a known full scale two samples make a plateau.
// Without one a run must also be flat where a peak would be round: at least
// 3 samples and a fifth of the width at half the height above the profile's
// lowest point (a peak's rounded top holds far fewer samples within the
// noise, unless it is sampled so finely that the noise hides its curvature);
// and a profile whose whole range is within a few noise levels has none.
[[nodiscard]] std::vector<IndexRange> findSaturation(std::span<const double> y, double noise,
                                                     std::optional<double> fullScale);

// Whether any of the ranges meets the stretch between positions from and to
// (fractional sample numbers, either order).
[[nodiscard]] bool touchesAny(const std::vector<IndexRange>& ranges, double from, double to);

}  // namespace corvane
