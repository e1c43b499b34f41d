#pragma once

// A detector driven past its range writes a flat top: the true peak is
// higher than anything recorded there. Such plateaus are found so that no
// peak height is read from them and every area and ratio that includes one
// carries a warning.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "analysis/Peaks.h"

namespace corvane {

// Samples from `from` to `to`, both included.
struct IndexRange {
    std::size_t from = 0;
    std::size_t to = 0;

    bool operator==(const IndexRange&) const = default;
};

// The plateaus at the top of y: runs of samples within the noise of the
// detector's full scale when it is known (three noise levels), else of the
// profile's maximum (six: the highest sample of a noisy plateau stands above
// the level it clipped at), a dip of two samples below that bridged, the
// flanks' last samples below the plateau's level left off its ends. At a
// known full scale two samples make a plateau. Without one a run must also
// be flat where a peak is round: at least 3 samples and a fifth of the width
// at half the height above the profile's lowest point, no curvature beyond
// its noise, and corners: the profile falls away outside it faster than a
// round top would. A profile whose whole range is within a few noise levels
// has none.
[[nodiscard]] std::vector<IndexRange> findSaturation(std::span<const double> y, double noise,
                                                     std::optional<double> fullScale);

// A plateau is one feature, whatever its smoothing made of it: a filter
// rings at a clipped top's corners, so that its two ends stand out as peaks
// with a dip between. The peaks within `reach` samples of a plateau (the
// smoothing's half window) become one at its middle, as prominent as the
// most prominent of them; the valleys on it go. Peaks in sample order.
void onePeakPerPlateau(std::vector<Extremum>& peaks, std::vector<Extremum>& valleys,
                       const std::vector<IndexRange>& plateaus, std::size_t reach);

// Whether any of the ranges meets the stretch between positions from and to
// (fractional sample numbers, either order).
[[nodiscard]] bool touchesAny(const std::vector<IndexRange>& ranges, double from, double to);

}  // namespace corvane
