#include "analysis/Regions.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

// The area from sample i (x0, value v0) to `share` of the way to the next
// (x1, v1), along the straight line between them.
double partial(double x0, double x1, double v0, double v1, double share) {
    const double at = v0 + share * (v1 - v0);
    return 0.5 * share * (x1 - x0) * (v0 + at);
}

}  // namespace

AreaIntegral::AreaIntegral(std::span<const double> x, std::span<const double> y, const Baseline& baseline) {
    const std::size_t n = std::min(x.size(), y.size());
    x_.assign(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n));
    value_.assign(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(n));
    baseline.subtractFrom(x_, value_);
    cumulative_.resize(n);
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) {
            sum += 0.5 * (x_[i] - x_[i - 1]) * (value_[i] + value_[i - 1]);
        }
        cumulative_[i] = sum;
    }
}

double AreaIntegral::upTo(double position) const {
    const std::size_t n = x_.size();
    if (n == 0 || !(position > 0.0)) {
        return 0.0;
    }
    const double last = static_cast<double>(n - 1);
    if (position >= last) {
        return cumulative_[n - 1];
    }
    const auto i = static_cast<std::size_t>(position);
    const double share = position - static_cast<double>(i);
    if (share == 0.0) {
        return cumulative_[i];
    }
    return cumulative_[i] + partial(x_[i], x_[i + 1], value_[i], value_[i + 1], share);
}

double AreaIntegral::over(double from, double to) const {
    return upTo(to) - upTo(from);
}

double areaBetween(std::span<const double> x, std::span<const double> y, const Baseline& baseline, double from,
                   double to) {
    const std::size_t n = std::min(x.size(), y.size());
    if (n < 2) {
        return 0.0;
    }
    if (to < from) {
        return -areaBetween(x, y, baseline, to, from);
    }
    const double last = static_cast<double>(n - 1);
    from = std::clamp(from, 0.0, last);
    to = std::clamp(to, 0.0, last);
    // The area under y, then the baseline's own, which a level or a line
    // gives in closed form (the trapezoids of a line are exact).
    const bool blank = baseline.kind == BaselineKind::Blank;
    const auto value = [&](std::size_t i) { return blank ? y[i] - baseline.at(i, x[i]) : y[i]; };
    // Whole trapezoids from the sample at or before `from` to the one at or
    // before `to`, then the pieces before `from` and after `to` put right.
    const auto first = std::min(static_cast<std::size_t>(from), n - 2);
    const auto stop = std::min(static_cast<std::size_t>(to), n - 2);
    double sum = 0.0;
    if (blank) {
        for (std::size_t i = first; i < stop; ++i) {
            sum += 0.5 * (x[i + 1] - x[i]) * (value(i) + value(i + 1));
        }
    } else {
        for (std::size_t i = first; i < stop; ++i) {
            sum += 0.5 * (x[i + 1] - x[i]) * (y[i] + y[i + 1]);
        }
    }
    sum -= partial(x[first], x[first + 1], value(first), value(first + 1), from - static_cast<double>(first));
    sum += partial(x[stop], x[stop + 1], value(stop), value(stop + 1), to - static_cast<double>(stop));
    if (!blank) {
        const double a = xAtPosition(x, from);
        const double b = xAtPosition(x, to);
        if (baseline.kind == BaselineKind::Line && baseline.toX != baseline.fromX) {
            const double slope = (baseline.toLevel - baseline.level) / (baseline.toX - baseline.fromX);
            const auto rising = [&](double v) {
                return baseline.level * v + 0.5 * slope * (v - baseline.fromX) * (v - baseline.fromX);
            };
            sum -= rising(b) - rising(a);
        } else {
            sum -= baseline.level * (b - a);
        }
    }
    return sum;
}

std::optional<double> positionOfX(std::span<const double> x, double value) {
    if (x.empty() || std::isnan(value)) {
        return std::nullopt;
    }
    if (x[0] == value) {
        return 0.0;
    }
    for (std::size_t i = 1; i < x.size(); ++i) {
        const double a = x[i - 1];
        const double b = x[i];
        if ((a < value && value <= b) || (a > value && value >= b)) {
            return static_cast<double>(i - 1) + (value - a) / (b - a);
        }
    }
    // Beyond every x: the sample nearest to it.
    const auto [lowest, highest] = std::minmax_element(x.begin(), x.end());
    const auto nearest = value < *lowest ? lowest : highest;
    return static_cast<double>(nearest - x.begin());
}

double xAtPosition(std::span<const double> x, double position) {
    if (x.empty()) {
        return 0.0;
    }
    const double last = static_cast<double>(x.size() - 1);
    if (!(position > 0.0)) {
        return x.front();
    }
    if (position >= last) {
        return x.back();
    }
    const auto i = static_cast<std::size_t>(position);
    const double share = position - static_cast<double>(i);
    return share == 0.0 ? x[i] : x[i] + share * (x[i + 1] - x[i]);
}

}  // namespace corvane
