#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace corvane {

struct Profile;

// The median of the values (the mean of the middle two for an even count);
// NaN for none.
[[nodiscard]] double medianOf(std::vector<double> values);

// The noise of a signal as a standard deviation: from the median absolute
// second difference, so that peaks and slopes spread over more than a few
// samples do not count and a spike or a step does not either. On a long
// signal an even subsample of the differences is enough. 0 below 3 samples.
[[nodiscard]] double noiseLevel(std::span<const double> y);

// Makes a profile fit for the analysis, which takes finite numbers only:
// samples whose x is not a number are left out, values that are not numbers
// become the straight line between their neighbours (the nearest one at an
// end), so that sample numbers keep their meaning. Gives the warnings to
// show; none when nothing changed.
[[nodiscard]] std::vector<std::string> makeAnalysable(Profile& profile);

}  // namespace corvane
