#pragma once

// The arithmetic every sample source shares: absorbance from counts, the
// plain ratio, and where a channel's reading was taken.

#include <cstdint>

#include "link/Packets.h"

namespace corvane {

// The four calibration coefficients: absorbance = -log10((r c0 + c1) r) for
// channel A and -log10((r c2 + c3) r) for B, r = sample / source.
struct CalibrationCurve {
    double c0 = 0.0;
    double c1 = 0.0;
    double c2 = 0.0;
    double c3 = 0.0;

    friend bool operator==(const CalibrationCurve&, const CalibrationCurve&) = default;
};

enum class SampleChannel { A, B };

// -log10(sample / (source x k)). An absorbance of exactly 0 is +0.
[[nodiscard]] double AbsorbanceFromFactor(std::uint32_t sample, std::uint32_t source, double k);
// -log10((r square + linear) r), r = sample / source. An absorbance of exactly 0 is +0.
[[nodiscard]] double AbsorbanceFromCurve(std::uint32_t sample, std::uint32_t source, double square,
                                         double linear);
// Absorbance A / B, not a number where B is 0 or not a number.
[[nodiscard]] double PlainRatio(double absorbanceA, double absorbanceB);

// Where a channel's reading was taken, in mm: the piston position (read as
// signed) less the travel during half the channel's share of the integration
// time and a further 10 ms, less the position offset. `settings` supplies the
// integration time and duty cycle (the packet itself in setup mode, the last
// settings packet in the running modes).
[[nodiscard]] double ChannelPosition(const Cmd0& settings, std::uint16_t uiPistonPos,
                                     std::int16_t iPistonSpeed, SampleChannel channel,
                                     double positionOffset);

}  // namespace corvane
