#include "analysis/Saturation.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

constexpr double kNoiseWidths = 2.0;          // a plateau's samples lie this many noise levels from the top
constexpr std::size_t kMinPlateau = 3;        // samples, without a known full scale
constexpr std::size_t kMinFullScaleRun = 2;   // samples, at a known full scale
constexpr double kMinShareOfHalfWidth = 0.2;  // a plateau's length over its peak's width at half height
constexpr double kMinRangeInTolerances = 10.0;

}  // namespace

std::vector<IndexRange> findSaturation(std::span<const double> y, double noise, std::optional<double> fullScale) {
    std::vector<IndexRange> plateaus;
    const std::size_t n = y.size();
    if (n == 0) {
        return plateaus;
    }
    // Values, not places: a loop the compiler can run several samples at a time.
    double lowest = y[0];
    double highest = y[0];
    for (const double v : y) {
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    const double top = fullScale.value_or(highest);
    const double tolerance = std::max(kNoiseWidths * noise, 1e-9 * std::max(1.0, std::abs(top)));
    if (!fullScale && highest - lowest < kMinRangeInTolerances * tolerance) {
        return plateaus;
    }
    const double half = (top + lowest) / 2.0;
    const double near = top - tolerance;
    for (std::size_t i = 0; i < n;) {
        while (i < n && y[i] < near) {
            ++i;
        }
        if (i == n) {
            break;
        }
        std::size_t end = i;
        while (end + 1 < n && y[end + 1] >= near) {
            ++end;
        }
        const std::size_t length = end - i + 1;
        bool flat = length >= kMinFullScaleRun;
        if (!fullScale) {
            std::size_t left = i;
            while (left > 0 && y[left - 1] >= half) {
                --left;
            }
            std::size_t right = end;
            while (right + 1 < n && y[right + 1] >= half) {
                ++right;
            }
            const double width = static_cast<double>(right - left + 1);
            flat = length >= kMinPlateau && static_cast<double>(length) >= kMinShareOfHalfWidth * width;
        }
        if (flat) {
            plateaus.push_back({i, end});
        }
        i = end + 1;
    }
    return plateaus;
}

bool touchesAny(const std::vector<IndexRange>& ranges, double from, double to) {
    if (from > to) {
        std::swap(from, to);
    }
    // A clipped sample spoils the trapezoids either side of it.
    return std::any_of(ranges.begin(), ranges.end(), [&](const IndexRange& r) {
        return static_cast<double>(r.to) + 1.0 > from && static_cast<double>(r.from) - 1.0 < to;
    });
}

}  // namespace corvane
