#include "analysis/Ratios.h"

#include <cmath>

namespace corvane {

namespace {

Ratio ratio(const std::vector<RegionArea>& areas, std::string_view over, std::string_view under) {
    const RegionArea* a = findRegion(areas, over);
    const RegionArea* b = findRegion(areas, under);
    Ratio r;
    if (a == nullptr || b == nullptr) {
        return r;
    }
    r.saturated = a->saturated || b->saturated;
    const double value = a->area / b->area;
    if (b->area != 0.0 && std::isfinite(value)) {
        r.value = value;
    }
    return r;
}

}  // namespace

std::vector<RegionArea> measureRegions(std::span<const double> x, std::span<const double> y, const Baseline& baseline,
                                       const std::vector<Region>& regions, const std::vector<IndexRange>& saturated) {
    std::vector<RegionArea> areas;
    areas.reserve(regions.size());
    for (const auto& r : regions) {
        areas.push_back({r, areaBetween(x, y, baseline, r.from, r.to), touchesAny(saturated, r.from, r.to)});
    }
    return areas;
}

const RegionArea* findRegion(const std::vector<RegionArea>& areas, std::string_view name) {
    for (const auto& a : areas) {
        if (a.region.name == name) {
            return &a;
        }
    }
    return nullptr;
}

Ratios ratiosOf(const std::vector<RegionArea>& areas) {
    return {ratio(areas, "polysomes", "80S"), ratio(areas, "polysomes", "total"), ratio(areas, "60S", "40S")};
}

}  // namespace corvane
