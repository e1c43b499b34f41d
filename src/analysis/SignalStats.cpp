#include "analysis/SignalStats.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/TextFormat.h"
#include "runs/Profile.h"

namespace corvane {

namespace {

// Second differences looked at, at most: beyond this an even subsample
// estimates the noise as well and keeps the median cheap.
constexpr std::size_t kNoiseSamples = 1 << 16;
// The standard deviation of normal noise over its median absolute deviation,
// and of a second difference (y[i-1] - 2 y[i] + y[i+1]) over the noise's.
constexpr double kMadToSd = 1.4826;
const double kSecondDifferenceSd = std::sqrt(6.0);

}  // namespace

double medianOf(std::vector<double> values) {
    if (values.empty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) {
        return upper;
    }
    const double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
    return (lower + upper) / 2.0;
}

double noiseLevel(std::span<const double> y) {
    if (y.size() < 3) {
        return 0.0;
    }
    const std::size_t count = y.size() - 2;
    const std::size_t stride = std::max<std::size_t>(1, count / kNoiseSamples);
    std::vector<double> differences;
    differences.reserve(count / stride + 1);
    for (std::size_t i = 1; i + 1 < y.size(); i += stride) {
        differences.push_back(std::abs(y[i - 1] - 2.0 * y[i] + y[i + 1]));
    }
    return kMadToSd * medianOf(std::move(differences)) / kSecondDifferenceSd;
}

std::vector<std::string> makeAnalysable(Profile& profile) {
    std::vector<std::string> warnings;
    const std::size_t n = std::min(profile.x.size(), profile.y.size());
    profile.x.resize(n);
    profile.y.resize(n);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isfinite(profile.x[i])) {
            profile.x[kept] = profile.x[i];
            profile.y[kept] = profile.y[i];
            ++kept;
        }
    }
    if (kept < n) {
        warnings.push_back(formatText("%zu samples without an x were left out", n - kept));
        profile.x.resize(kept);
        profile.y.resize(kept);
    }
    std::size_t filled = 0;
    std::size_t last = kept;  // the last finite value seen, none yet
    for (std::size_t i = 0; i < kept; ++i) {
        if (!std::isfinite(profile.y[i])) {
            ++filled;
            continue;
        }
        if (i > 0 && last + 1 != i) {
            // A gap before i: a line from the last value (or flat at the start).
            const std::size_t from = last == kept ? 0 : last + 1;
            for (std::size_t k = from; k < i; ++k) {
                const double share = last == kept ? 1.0 : static_cast<double>(k - last) / static_cast<double>(i - last);
                const double start = last == kept ? profile.y[i] : profile.y[last];
                profile.y[k] = start + share * (profile.y[i] - start);
            }
        }
        last = i;
    }
    if (filled > 0) {
        if (last == kept) {
            warnings.push_back("no value of the profile is a number");
            return warnings;
        }
        for (std::size_t k = last + 1; k < kept; ++k) {
            profile.y[k] = profile.y[last];
        }
        warnings.push_back(formatText("%zu values that are not numbers were taken from their neighbours", filled));
    }
    return warnings;
}

}  // namespace corvane
