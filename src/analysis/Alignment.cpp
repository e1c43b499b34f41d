#include "analysis/Alignment.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace corvane {

std::optional<XMapping> alignmentOf(std::span<const double> own, std::span<const double> reference) {
    if (own.size() != reference.size() || own.empty() || own.size() > 2) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < own.size(); ++i) {
        if (!std::isfinite(own[i]) || !std::isfinite(reference[i])) {
            return std::nullopt;
        }
    }
    if (own.size() == 1) {
        return XMapping{1.0, reference[0] - own[0]};
    }
    if (own[1] == own[0]) {
        return std::nullopt;
    }
    const double scale = (reference[1] - reference[0]) / (own[1] - own[0]);
    return XMapping{scale, reference[0] - scale * own[0]};
}

Profile mapped(Profile profile, const XMapping& mapping) {
    for (double& x : profile.x) {
        x = mapping(x);
    }
    for (auto& mark : profile.marks) {
        mark.x = mapping(mark.x);
    }
    return profile;
}

std::vector<double> resampled(std::span<const double> x, std::span<const double> y, std::span<const double> at,
                              Outside outside) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> values(at.size(), nan);
    const std::size_t n = std::min(x.size(), y.size());
    if (n == 0) {
        return values;
    }
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (!std::is_sorted(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n))) {
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return x[a] < x[b]; });
    }
    const auto xOf = [&](std::size_t k) { return x[order[k]]; };
    const auto yOf = [&](std::size_t k) { return y[order[k]]; };
    for (std::size_t q = 0; q < at.size(); ++q) {
        const double v = at[q];
        if (std::isnan(v)) {
            continue;
        }
        if (v < xOf(0) || v > xOf(n - 1)) {
            if (outside == Outside::Nearest) {
                values[q] = v < xOf(0) ? yOf(0) : yOf(n - 1);
            }
            continue;
        }
        // The first sample at or beyond v.
        std::size_t lo = 0;
        std::size_t hi = n - 1;
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (xOf(mid) < v) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        if (xOf(lo) == v || lo == 0) {
            values[q] = yOf(lo);
            continue;
        }
        const double x0 = xOf(lo - 1);
        const double x1 = xOf(lo);
        const double share = (v - x0) / (x1 - x0);
        values[q] = yOf(lo - 1) + share * (yOf(lo) - yOf(lo - 1));
    }
    return values;
}

std::optional<std::vector<double>> normalised(std::span<const double> values, double area) {
    if (area == 0.0 || !std::isfinite(area)) {
        return std::nullopt;
    }
    std::vector<double> scaled(values.begin(), values.end());
    for (double& v : scaled) {
        v /= area;
    }
    return scaled;
}

}  // namespace corvane
