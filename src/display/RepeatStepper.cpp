#include "display/RepeatStepper.h"

#include <algorithm>
#include <cmath>

#include "app/Clock.h"

namespace corvane {

int RepeatStepper::nextUnits() {
    const std::int64_t now = clock_.nowMs();
    units_ = any_ && now - lastMs_ <= kRepeatMs ? units_ + 1 : 1;
    any_ = true;
    lastMs_ = now;
    return units_;
}

double offsetStep(double offset, double yRange, int plotHeight, int units) {
    const double pixel = plotHeight > 0 ? std::fabs(yRange) / plotHeight : 0.0;
    return std::max(std::fabs(offset) / 4.0, pixel) * units;
}

}  // namespace corvane
