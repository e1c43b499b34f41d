#pragma once

#include <functional>
#include <vector>

#include "graph/NumberedFractions.h"
#include "runs/PeakCollection.h"

namespace corvane {

// The graph's numbers for the fractions a run collected by peaks was cut
// into: each fraction's end placed on the x axis by `onAxis` (mm at the
// detector to the axis). A run still being cut leaves its open fraction out
// (its end is not known yet).
[[nodiscard]] NumberedFractions numberedFractions(const std::vector<CollectedFraction>& fractions,
                                                  bool withOpenFraction,
                                                  const std::function<double(double)>& onAxis);

}  // namespace corvane
