#include "display/FractionNumbers.h"

#include <cmath>

namespace corvane {

NumberedFractions numberedFractions(const std::vector<CollectedFraction>& fractions, bool withOpenFraction,
                                    const std::function<double(double)>& onAxis) {
    std::vector<double> ends;
    const std::size_t count = withOpenFraction || fractions.empty() ? fractions.size() : fractions.size() - 1;
    ends.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double x = onAxis(fractions[i].to);
        // An end off the axis (a sample axis past the samples) ends the numbers.
        if (!std::isfinite(x) || (!ends.empty() && x < ends.back())) {
            break;
        }
        ends.push_back(x);
    }
    return NumberedFractions(std::move(ends));
}

}  // namespace corvane
