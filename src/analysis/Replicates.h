#pragma once

// Replicate groups: profiles of one condition, summarised by the mean and
// spread of their ratios and by their mean profile.

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "analysis/Ratios.h"
#include "runs/Profile.h"

namespace corvane {

struct Spread {
    std::size_t n = 0;   // values that were numbers
    double mean = 0.0;   // NaN for none
    double sd = 0.0;     // the sample standard deviation (n - 1); NaN below 2 values
};

// Of the values that are numbers.
[[nodiscard]] Spread spreadOf(std::span<const double> values);

struct GroupRatios {
    Spread pm;
    Spread pTotal;
    Spread s60s40;
};

[[nodiscard]] GroupRatios groupRatios(const std::vector<Ratios>& ratios);

// Pairs of profiles (by their place in the list) with the same samples: one
// file given twice under two names is no replicate.
[[nodiscard]] std::vector<std::pair<std::size_t, std::size_t>> sameProfiles(
    const std::vector<const Profile*>& profiles);

// The mean and standard deviation of several profiles at each x of a grid
// (usually the first profile's x after the others were aligned to it): each
// profile is read at the grid's x; a profile that does not reach an x does not
// count there.
struct MeanProfile {
    std::vector<double> x;
    std::vector<double> mean;
    std::vector<double> sd;
    std::vector<std::size_t> n;
};

[[nodiscard]] MeanProfile meanProfile(const std::vector<const Profile*>& profiles, std::span<const double> grid);

}  // namespace corvane
