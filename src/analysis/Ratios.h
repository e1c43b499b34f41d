#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/Baseline.h"
#include "analysis/Regions.h"
#include "analysis/Saturation.h"

namespace corvane {

struct RegionArea {
    Region region;
    double area = 0.0;       // in x units times y units, above the baseline
    bool saturated = false;  // it includes a clipped plateau: the true area is larger
};

// The areas of the regions above the baseline, each flagged when it
// includes a plateau.
[[nodiscard]] std::vector<RegionArea> measureRegions(std::span<const double> x, std::span<const double> y,
                                                     const Baseline& baseline, const std::vector<Region>& regions,
                                                     const std::vector<IndexRange>& saturated);

struct Ratio {
    std::optional<double> value;  // nothing when a region is missing or the divisor is 0
    bool saturated = false;       // a region it divides includes a clipped plateau
};

// The ratios of the named regions: "pm" polysomes / 80S, "p_total" polysomes
// / total, "s60_s40" 60S / 40S.
struct Ratios {
    Ratio pm;
    Ratio pTotal;
    Ratio s60s40;
};

[[nodiscard]] Ratios ratiosOf(const std::vector<RegionArea>& areas);

// The area of the region of that name; nothing when there is none.
[[nodiscard]] const RegionArea* findRegion(const std::vector<RegionArea>& areas, std::string_view name);

}  // namespace corvane
