#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "runs/SampleRecord.h"

namespace corvane {

// The seven channel switches of the main window, in trace-slot order.
inline constexpr int kChannelCount = 7;
enum Channel : int {
    kChannelSampleA = 0,
    kChannelSourceA = 1,
    kChannelAbsA = 2,
    kChannelSampleB = 3,
    kChannelSourceB = 4,
    kChannelAbsB = 5,
    kChannelRatio = 6,
};

inline constexpr std::array<const char*, kChannelCount> kChannelCaptions = {
    "Sample A", "Source A", "Abs A", "Sample B", "Source B", "Abs B", "AbsA/AbsB"};

// Channel B's values are plotted at channel B's own position.
[[nodiscard]] constexpr bool isBChannel(int channel) {
    return channel == kChannelSampleB || channel == kChannelSourceB || channel == kChannelAbsB;
}

// The value a channel plots for a sample.
[[nodiscard]] inline double channelValue(int channel, const SampleRecord& r) {
    switch (channel) {
        case kChannelSampleA: return r.sampleA;
        case kChannelSourceA: return r.sourceA;
        case kChannelAbsA: return r.absorbanceA;
        case kChannelSampleB: return r.sampleB;
        case kChannelSourceB: return r.sourceB;
        case kChannelAbsB: return r.absorbanceB;
        default:
            // The live ratio is Abs A / Abs B, not a number where Abs B is 0.
            return r.absorbanceB == 0.0 ? std::numeric_limits<double>::quiet_NaN()
                                        : r.absorbanceA / r.absorbanceB;
    }
}

// A live DE-1 run's event-mark value as the mark trace plots it: 65535 and
// up (an automatic fraction) 2.0, 32768 and up 1.0, anything else 0.0.
[[nodiscard]] constexpr double de1MarkLevel(std::uint32_t value) {
    return value >= 65535u ? 2.0 : value >= 32768u ? 1.0 : 0.0;
}

// An absorbance as the read-outs show it: four decimals, a tenth of a
// milli-absorbance unit, which is what the detector resolves; the files keep
// six.
[[nodiscard]] std::string absorbanceText(double absorbance);

// The latest sample's readouts beside the switches: "%.0f" counts,
// absorbanceText, "%.1f" ratio; empty texts before the first sample.
[[nodiscard]] std::array<std::string, kChannelCount> readoutTexts(const SampleRecord* latest);

}  // namespace corvane
