#include "graph/GraphMapping.h"

#include <cmath>

namespace corvane {

double logMap(double y, double lo, double hi) { return lo + (hi - lo) * std::log10(y / lo) / 4.0; }

}  // namespace corvane
