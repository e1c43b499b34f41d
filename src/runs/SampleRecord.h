#pragma once

#include <cstdint>
#include <limits>

namespace corvane {

// One sample of the two-channel detector as the acquisition stream hands it
// on and as a run file row carries it. Counts are the A/D readings; positions
// are where the piston was in the middle of each channel's share of the
// integration time, in mm.
struct SampleRecord {
    std::uint32_t sampleA = 0;
    std::uint32_t sourceA = 0;
    std::uint32_t sampleB = 0;
    std::uint32_t sourceB = 0;
    double absorbanceA = 0.0;
    double absorbanceB = 0.0;
    // Not a number while undefined: absorbance B of 0, or no neighbour yet.
    double ratio = std::numeric_limits<double>::quiet_NaN();
    double positionA = 0.0;
    double positionB = 0.0;
};

}  // namespace corvane
