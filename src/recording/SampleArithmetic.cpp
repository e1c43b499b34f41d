#include "recording/SampleArithmetic.h"

#include <cmath>
#include <limits>

namespace corvane {

// Absorbances divide by source readings that a unit may report as 0; the
// IEEE results (infinity, not-a-number) are what the zero-source test and the
// ratio rule expect.
static_assert(std::numeric_limits<double>::is_iec559);

// "+ 0.0" turns the -0 of -log10(1) into 0, so a sample at the zero reads
// 0.000000 in the run file, not -0.000000.
double AbsorbanceFromFactor(std::uint32_t sample, std::uint32_t source, double k) {
    return -std::log10(static_cast<double>(sample) / (static_cast<double>(source) * k)) + 0.0;
}

double AbsorbanceFromCurve(std::uint32_t sample, std::uint32_t source, double square,
                           double linear) {
    const double r = static_cast<double>(sample) / static_cast<double>(source);
    return -std::log10((r * square + linear) * r) + 0.0;
}

double PlainRatio(double absorbanceA, double absorbanceB) {
    return absorbanceB == 0.0 || std::isnan(absorbanceB)
               ? std::numeric_limits<double>::quiet_NaN()
               : absorbanceA / absorbanceB;
}

double ChannelPosition(const Cmd0& settings, std::uint16_t uiPistonPos, std::int16_t iPistonSpeed,
                       SampleChannel channel, double positionOffset) {
    const double integrationS = settings.uiIntegrationTime / 1000.0;
    const double dutyA = settings.ucDutyCycleA / 100.0;
    const double share = channel == SampleChannel::A ? dutyA : 1.0 - dutyA;
    const double pistonMm = pistonPositionMm(uiPistonPos);
    const double speedMmPerS = iPistonSpeed / 10.0;
    return pistonMm - (integrationS * share / 2.0) * speedMmPerS - 0.01 * speedMmPerS -
           positionOffset;
}

}  // namespace corvane
