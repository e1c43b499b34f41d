#include "analysis/Replicates.h"

#include <cmath>
#include <limits>

#include "analysis/Alignment.h"

namespace corvane {

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

}  // namespace

Spread spreadOf(std::span<const double> values) {
    Spread s{0, kNan, kNan};
    double sum = 0.0;
    for (const double v : values) {
        if (std::isfinite(v)) {
            sum += v;
            ++s.n;
        }
    }
    if (s.n == 0) {
        return s;
    }
    s.mean = sum / static_cast<double>(s.n);
    if (s.n < 2) {
        return s;
    }
    double squares = 0.0;
    for (const double v : values) {
        if (std::isfinite(v)) {
            squares += (v - s.mean) * (v - s.mean);
        }
    }
    s.sd = std::sqrt(squares / static_cast<double>(s.n - 1));
    return s;
}

GroupRatios groupRatios(const std::vector<Ratios>& ratios) {
    std::vector<double> pm;
    std::vector<double> pTotal;
    std::vector<double> s60s40;
    for (const auto& r : ratios) {
        pm.push_back(r.pm.value.value_or(kNan));
        pTotal.push_back(r.pTotal.value.value_or(kNan));
        s60s40.push_back(r.s60s40.value.value_or(kNan));
    }
    return {spreadOf(pm), spreadOf(pTotal), spreadOf(s60s40)};
}

std::vector<std::pair<std::size_t, std::size_t>> sameProfiles(const std::vector<const Profile*>& profiles) {
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t a = 0; a < profiles.size(); ++a) {
        for (std::size_t b = a + 1; b < profiles.size(); ++b) {
            if (profiles[a]->size() > 0 && profiles[a]->x == profiles[b]->x && profiles[a]->y == profiles[b]->y) {
                pairs.emplace_back(a, b);
            }
        }
    }
    return pairs;
}

MeanProfile meanProfile(const std::vector<const Profile*>& profiles, std::span<const double> grid) {
    MeanProfile mean;
    mean.x.assign(grid.begin(), grid.end());
    std::vector<std::vector<double>> read;
    read.reserve(profiles.size());
    for (const Profile* p : profiles) {
        read.push_back(resampled(p->x, p->y, grid));
    }
    const std::size_t points = grid.size();
    mean.mean.resize(points);
    mean.sd.resize(points);
    mean.n.resize(points);
    std::vector<double> column(read.size());
    for (std::size_t k = 0; k < points; ++k) {
        for (std::size_t p = 0; p < read.size(); ++p) {
            column[p] = read[p][k];
        }
        const Spread s = spreadOf(column);
        mean.mean[k] = s.mean;
        mean.sd[k] = s.sd;
        mean.n[k] = s.n;
    }
    return mean;
}

}  // namespace corvane
