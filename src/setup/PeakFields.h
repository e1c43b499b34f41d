#pragma once

#include <optional>
#include <string>

#include "runs/PeakCollection.h"

namespace corvane {

// The "Peaks" fields of DE-1 SETUP as typed: collecting by peaks on or off,
// the thresholds (empty: not used), the minimum width, the fractions per
// peak, the distance of the fractions between peaks (empty: one fraction
// between two peaks) and the measured delay volume (empty: the tubing's dead
// volume).
struct PeakFields {
    bool on = false;
    std::string startLevel = "0.05";
    std::string endLevel;
    std::string startSlope;
    std::string endSlope;
    std::string minWidth = "0.5";
    std::string perPeak = "1";
    std::string betweenEvery;
    std::string delayVolume;

    // The fields as they show stored settings.
    void show(const PeakCollection& peaks);
    // The settings the fields give, or nothing with the message of the first
    // that is wrong in problem.
    [[nodiscard]] std::optional<PeakCollection> read(std::string& problem) const;
};

}  // namespace corvane
