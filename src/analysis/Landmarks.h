#pragma once

// The landmarks of a polysome profile, found without clicks: down the
// gradient come the top peak (free material), the 40S and 60S subunits, the
// 80S monosome and the polysome series (2, 3, 4, ... ribosomes per mRNA) at
// a spacing that changes only slowly. Every peak in turn is tried as the 80S;
// each try takes the tallest peak before it as the top, the peaks between as
// the subunits and walks the series after it, and is scored by how well that
// fits the pattern. The best try wins, in whichever direction the profile was
// recorded; its score, lowered when another try came close, is the
// confidence, and what does not fit becomes a warning.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Peaks.h"
#include "analysis/Saturation.h"

namespace corvane {

struct Landmark {
    std::string name;  // "top", "40S", "60S", "80S", "2", "3", ...
    std::size_t index = 0;
    double confidence = 0.0;  // 0 to 1
};

struct Landmarks {
    std::vector<Landmark> found;  // in order down the gradient
    bool reversed = false;        // the profile runs from the bottom of the gradient to its top
    double confidence = 0.0;      // of the pattern as a whole
    std::vector<std::string> warnings;

    [[nodiscard]] const Landmark* find(std::string_view name) const;
};

// The landmarks among the peaks of `level` (the smoothed profile above its
// baseline), x giving their spacing. A peak on a clipped plateau counts as
// taller than any other.
[[nodiscard]] Landmarks findLandmarks(std::span<const double> x, std::span<const double> level,
                                      const std::vector<Extremum>& peaks, const std::vector<IndexRange>& saturated);

}  // namespace corvane
