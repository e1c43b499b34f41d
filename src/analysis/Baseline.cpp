#include "analysis/Baseline.h"

#include <algorithm>
#include <cmath>

#include "analysis/Alignment.h"
#include "analysis/SignalStats.h"
#include "analysis/Smoothing.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

// The lined-up grid of the blank search holds at most this many points.
constexpr std::size_t kMaxShiftGrid = 20000;
constexpr double kShiftSearchShare = 0.1;

double edgeMedian(std::span<const double> y, bool start) {
    const std::size_t n = y.size();
    const auto share = static_cast<std::size_t>(std::ceil(BaselineChoice::kEdgeShare * static_cast<double>(n)));
    const std::size_t count = std::min(n, std::max(share, BaselineChoice::kEdgeMinSamples));
    const auto first = start ? y.begin() : y.end() - static_cast<std::ptrdiff_t>(count);
    return medianOf({first, first + static_cast<std::ptrdiff_t>(count)});
}

std::optional<double> windowMedian(const Profile& p, double from, double to) {
    if (from > to) {
        std::swap(from, to);
    }
    std::vector<double> inside;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p.x[i] >= from && p.x[i] <= to) {
            inside.push_back(p.y[i]);
        }
    }
    if (inside.empty()) {
        return std::nullopt;
    }
    return medianOf(std::move(inside));
}

// Slope-weighted agreement of two equally long series, b moved `lag` points later.
double agreement(const std::vector<double>& a, const std::vector<double>& b, long lag) {
    double ab = 0.0;
    double aa = 0.0;
    double bb = 0.0;
    const long n = static_cast<long>(a.size());
    for (long k = std::max(0L, lag); k < std::min(n, n + lag); ++k) {
        const double u = a[static_cast<std::size_t>(k)];
        const double v = b[static_cast<std::size_t>(k - lag)];
        ab += u * v;
        aa += u * u;
        bb += v * v;
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

}  // namespace

const char* baselineKindName(BaselineKind kind) {
    switch (kind) {
        case BaselineKind::Constant: return "constant";
        case BaselineKind::Start: return "start";
        case BaselineKind::End: return "end";
        case BaselineKind::Line: return "line";
        case BaselineKind::Blank: return "blank";
    }
    return "constant";
}

double Baseline::at(std::size_t i, double x) const {
    switch (kind) {
        case BaselineKind::Line:
            return toX == fromX ? level : level + (toLevel - level) * (x - fromX) / (toX - fromX);
        case BaselineKind::Blank:
            return i < blankLevels.size() ? blankLevels[i] : 0.0;
        default:
            return level;
    }
}

std::vector<double> Baseline::levels(std::span<const double> x) const {
    if (kind == BaselineKind::Blank) {
        std::vector<double> out(blankLevels);
        out.resize(x.size(), 0.0);
        return out;
    }
    std::vector<double> out(x.size(), level);
    if (kind == BaselineKind::Line) {
        for (std::size_t i = 0; i < x.size(); ++i) {
            out[i] = at(i, x[i]);
        }
    }
    return out;
}

void Baseline::subtractFrom(std::span<const double> x, std::span<double> values) const {
    const std::size_t n = std::min(x.size(), values.size());
    if (kind == BaselineKind::Line) {
        for (std::size_t i = 0; i < n; ++i) {
            values[i] -= at(i, x[i]);
        }
    } else if (kind == BaselineKind::Blank) {
        for (std::size_t i = 0; i < n && i < blankLevels.size(); ++i) {
            values[i] -= blankLevels[i];
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            values[i] -= level;
        }
    }
}

std::optional<Baseline> fitBaseline(const Profile& profile, const BaselineChoice& choice, std::string& problem) {
    Baseline b;
    b.kind = choice.kind;
    if (profile.size() == 0) {
        problem = "the profile has no samples";
        return std::nullopt;
    }
    switch (choice.kind) {
        case BaselineKind::Constant:
            b.level = choice.level;
            return b;
        case BaselineKind::Start:
        case BaselineKind::End:
            b.level = edgeMedian(profile.y, choice.kind == BaselineKind::Start);
            return b;
        case BaselineKind::Line: {
            if (choice.points) {
                const auto& p = *choice.points;
                if (p[0] == p[2]) {
                    problem = "the two points of the baseline have the same x";
                    return std::nullopt;
                }
                b.fromX = p[0];
                b.level = p[1];
                b.toX = p[2];
                b.toLevel = p[3];
                return b;
            }
            const auto& w = choice.windows;
            const auto first = windowMedian(profile, w[0], w[1]);
            const auto second = windowMedian(profile, w[2], w[3]);
            if (!first || !second) {
                const bool one = !first;
                problem = formatText("no sample between %g and %g for the baseline", one ? w[0] : w[2],
                                     one ? w[1] : w[3]);
                return std::nullopt;
            }
            b.fromX = (w[0] + w[1]) / 2.0;
            b.toX = (w[2] + w[3]) / 2.0;
            if (b.fromX == b.toX) {
                problem = "the two baseline windows have the same middle";
                return std::nullopt;
            }
            b.level = *first;
            b.toLevel = *second;
            return b;
        }
        case BaselineKind::Blank: {
            if (!choice.blank || choice.blank->size() == 0) {
                problem = "the blank profile has no samples";
                return std::nullopt;
            }
            const Profile& blank = *choice.blank;
            b.blankShift = blankShift(profile, blank);
            std::vector<double> at(profile.x);
            for (double& x : at) {
                x -= b.blankShift;
            }
            b.blankLevels = resampled(blank.x, blank.y, at, Outside::Nearest);
            b.level = b.blankLevels.front();
            return b;
        }
    }
    return b;
}

double blankShift(const Profile& profile, const Profile& blank) {
    if (profile.size() < 3 || blank.size() < 3) {
        return 0.0;
    }
    const auto [pLo, pHi] = std::minmax_element(profile.x.begin(), profile.x.end());
    const auto [bLo, bHi] = std::minmax_element(blank.x.begin(), blank.x.end());
    std::vector<double> steps;
    steps.reserve(profile.size() - 1);
    for (std::size_t i = 1; i < profile.size(); ++i) {
        steps.push_back(std::abs(profile.x[i] - profile.x[i - 1]));
    }
    const double origin = std::min(*pLo, *bLo);
    const double span = std::max(*pHi, *bHi) - origin;
    double dx = medianOf(std::move(steps));
    if (!(dx > 0.0) || !(span > 0.0)) {
        return 0.0;
    }
    dx = std::max(dx, span / static_cast<double>(kMaxShiftGrid));
    const auto points = static_cast<std::size_t>(span / dx) + 1;
    std::vector<double> grid(points);
    for (std::size_t k = 0; k < points; ++k) {
        grid[k] = origin + static_cast<double>(k) * dx;
    }
    const auto p = resampled(profile.x, profile.y, grid, Outside::Nearest);
    const auto q = resampled(blank.x, blank.y, grid, Outside::Nearest);
    const Smoothing smoothing = resolvedSmoothing(Smoothing{}, points);
    const auto slopeP = smoothedSlope(p, smoothing);
    const auto slopeQ = smoothedSlope(q, smoothing);

    const auto reach = static_cast<long>(kShiftSearchShare * (*pHi - *pLo) / dx) + 1;
    long best = 0;
    double bestScore = agreement(slopeP, slopeQ, 0);
    for (long lag = -reach; lag <= reach; ++lag) {
        const double score = agreement(slopeP, slopeQ, lag);
        if (score > bestScore) {
            best = lag;
            bestScore = score;
        }
    }
    // Between grid points: the top of the parabola through the best and its neighbours.
    const double before = agreement(slopeP, slopeQ, best - 1);
    const double after = agreement(slopeP, slopeQ, best + 1);
    const double curvature = before - 2.0 * bestScore + after;
    double fraction = 0.0;
    if (curvature < 0.0) {
        fraction = std::clamp(0.5 * (before - after) / curvature, -0.5, 0.5);
    }
    return (static_cast<double>(best) + fraction) * dx;
}

}  // namespace corvane
