#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "display/Channels.h"

namespace corvane {

// The value boxes beside the channel switches at the main cursor: counts
// with "%d", absorbances and the ratio with "%.6f"; empty without a sample.
[[nodiscard]] std::array<std::string, kChannelCount> cursorValueTexts(const std::optional<SampleRecord>& sample);

// The main cursor's label: one line per switched-on channel, its caption and
// value ("Abs A: 0.123456"). With an overlay the absorbance lines come in
// pairs, "CURRENT: Abs A:" and "OVERLAY: Abs A:" (the overlay's sample at
// the same position), and only the absorbance channels are listed.
[[nodiscard]] std::vector<std::string> cursorLabelLines(const std::array<bool, kChannelCount>& shown,
                                                        const std::optional<SampleRecord>& current,
                                                        const std::optional<SampleRecord>* overlay);

// One data set of compare mode as its cursor lines name it.
struct NamedSample {
    std::string name;
    std::optional<SampleRecord> sample;
    bool fluorescence = false;  // channel B is "Fluorescence"
};

// Compare mode: each line prefixed with the set's name ("%s, Abs A:"), and
// "%s, Fluorescence:" in place of Abs B for fluorescence data.
[[nodiscard]] std::vector<std::string> compareLabelLines(const std::array<bool, kChannelCount>& shown,
                                                         const std::vector<NamedSample>& sets);

}  // namespace corvane
