#include "analysis/Regions.h"

#include <algorithm>
#include <cmath>

namespace corvane {

AreaIntegral::AreaIntegral(std::span<const double> x, std::span<const double> y, std::span<const double> baseline)
    : x_(x.begin(), x.end()) {
    const std::size_t n = std::min({x.size(), y.size(), baseline.size()});
    x_.resize(n);
    value_.resize(n);
    cumulative_.resize(n);
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        value_[i] = y[i] - baseline[i];
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
    // Along the straight line from sample i to the position.
    const double at = value_[i] + share * (value_[i + 1] - value_[i]);
    return cumulative_[i] + 0.5 * share * (x_[i + 1] - x_[i]) * (value_[i] + at);
}

double AreaIntegral::over(double from, double to) const {
    return upTo(to) - upTo(from);
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
