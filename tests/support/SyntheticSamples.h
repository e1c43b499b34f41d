#pragma once

#include <cmath>
#include <vector>

#include "runs/SampleRecord.h"
#include "sim/SimProfile.h"

namespace corvane::test {

// Samples of a two-channel run down a simulated gradient, as the
// acquisition stream would hand them to the main window: counts near 10^6,
// absorbance from the simulated profile, positions every stepMm.
inline std::vector<SampleRecord> syntheticRun(int count, double stepMm = 0.02) {
    const SimProfile profile;
    std::vector<SampleRecord> samples;
    samples.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double mm = 0.5 + stepMm * i;
        const double wobble = 1.0 + 0.002 * std::sin(i * 0.37);
        SampleRecord r;
        r.sourceA = static_cast<std::uint32_t>(1'000'000 * wobble);
        r.sourceB = static_cast<std::uint32_t>(940'000 * wobble);
        r.absorbanceA = profile.absorbance(SimChannel::A, mm);
        r.absorbanceB = profile.absorbance(SimChannel::B, mm);
        r.sampleA = static_cast<std::uint32_t>(r.sourceA * std::pow(10.0, -r.absorbanceA));
        r.sampleB = static_cast<std::uint32_t>(r.sourceB * std::pow(10.0, -r.absorbanceB));
        r.positionA = mm;
        r.positionB = mm + stepMm / 2;
        samples.push_back(r);
    }
    return samples;
}

}  // namespace corvane::test
