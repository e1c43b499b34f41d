#pragma once

#include <span>
#include <string>
#include <vector>

#include "analysis/Landmarks.h"
#include "analysis/Regions.h"

namespace corvane {

// The regions a polysome profile's landmarks give, each between the valleys
// (the lowest smoothed point) either side of its peak, in order down the
// gradient: "top" (from the profile's start), "40S", "60S", "80S",
// "polysomes" (from the valley after 80S to where the profile comes back to
// its baseline: within returnLevel of it, then down to the foot of that
// slope) and "total" (from the valley after the top peak to the end of the
// polysomes: the ribosomal material, without the free material of the top
// peak). A landmark that was not found gives no region. Without an 80S there
// is one region, "total", over the whole profile. Positions run from lower to
// higher sample numbers whichever way the profile was recorded. `prominence`
// tells the valley after an 80S with no polysome after it from noise.
[[nodiscard]] std::vector<Region> landmarkRegions(const Landmarks& landmarks, std::span<const double> level,
                                                  double returnLevel, double prominence,
                                                  std::vector<std::string>& warnings);

}  // namespace corvane
