#include "setup/PeakFields.h"

#include <cmath>

#include "base/TextFormat.h"
#include "base/TextScan.h"

namespace corvane {

namespace {

// Empty: 0 (not used); text that is no number fails the field's check.
double numberOf(const std::string& text) {
    if (text.find_first_not_of(" \t") == std::string::npos) {
        return 0.0;
    }
    return scanDouble(text).value_or(std::nan(""));
}

std::string textOf(double value) { return value > 0.0 ? formatText("%g", value) : std::string(); }

}  // namespace

void PeakFields::show(const PeakCollection& p) {
    on = p.enabled;
    startLevel = textOf(p.startLevel);
    endLevel = textOf(p.endLevel);
    startSlope = textOf(p.startSlope);
    endSlope = textOf(p.endSlope);
    minWidth = formatText("%g", p.minWidthMm);
    perPeak = formatText("%d", p.perPeak);
    betweenEvery = textOf(p.betweenEveryMm);
    delayVolume = textOf(p.delayVolumeMl);
}

std::optional<PeakCollection> PeakFields::read(std::string& problem) const {
    PeakCollection p;
    p.enabled = on;
    p.startLevel = numberOf(startLevel);
    p.endLevel = numberOf(endLevel);
    p.startSlope = numberOf(startSlope);
    p.endSlope = numberOf(endSlope);
    p.minWidthMm = numberOf(minWidth);
    const auto count = scanInt(perPeak);
    p.perPeak = count ? *count : 0;
    p.betweenEveryMm = numberOf(betweenEvery);
    p.delayVolumeMl = numberOf(delayVolume);
    if (!on) {
        // Off: what the fields hold is kept as far as it reads, never checked.
        return p;
    }
    problem = peakCollectionProblem(p);
    if (!problem.empty()) {
        return std::nullopt;
    }
    return p;
}

}  // namespace corvane
