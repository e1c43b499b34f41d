#include "runs/Em1RunWriter.h"

#include <algorithm>
#include <array>

#include "runs/OverlayPlanBlock.h"
#include "runs/RunDataFile.h"
#include "base/TextFormat.h"
#include "runs/RotorTable.h"

namespace corvane {
namespace {

constexpr std::array<double, 8> kAufsSteps = {0.01, 0.02, 0.05, 0.10, 0.20, 0.50, 1.00, 2.00};

}  // namespace

Em1RunWriter::Em1RunWriter(Setup setup, std::optional<double> volumePerMm)
    : setup_(std::move(setup)),
      // Without a rotor's figure the run uses the default tube's, never 0,
      // which would turn the dead-volume distance into infinity.
      volumePerMm_(volumePerMm && *volumePerMm > 0.0 ? *volumePerMm
                                                     : RotorTable::kDefaultVolumePerMm),
      aufs_(setup_.settings.aufs) {}

double Em1RunWriter::aufsValue(int step) {
    return kAufsSteps[static_cast<std::size_t>(std::clamp(step, 0, 7))];
}

double Em1RunWriter::deadVolumeDistance() const { return setup_.settings.deadVolume / volumePerMm_; }

double Em1RunWriter::automaticFractionVolume() const {
    return setup_.settings.fractionDistance * volumePerMm_;
}

std::string Em1RunWriter::headerBlock() const {
    const auto& s = setup_.settings;
    std::string text = formatText("Absorbance Units Full Scale (AUFS): %.2f\n", aufsValue(aufs_));
    text += manualTriggered() ? "Manual-triggered gradient; (with distance; but no event marks)\n"
                              : "Event Mark-triggered gradient; (with distance; auto start and stop)\n";
    text += s.delayType == Em1Settings::kNoDelay         ? "Delay: No Delay\n"
            : s.delayType == Em1Settings::kEventWithDelay ? "Delay: Event with Delay\n"
                                                          : "Delay: OD Sensing Start\n";
    text += formatText("UV Wavelength: %.0f nm\n", s.wavelength);
    text += formatText("Samples / sec: %.0f Hz\n", s.samplesPerSec);
    text += formatText("EM1 Speed: %.2f mm/sec\n", s.speed);
    text += formatText("Distance: %.2f mm\n", s.fractionDistance);
    text += formatText("Number: %d\n", s.numberOfFractions);
    text += formatText("Dead Volume: %.6f ml; Distance due to Dead Volume: %.2f mm\n", s.deadVolume,
                       deadVolumeDistance());
    text += formatText("Length of Tubing: %.0f mm\n", setup_.tubingLength);
    text += formatText("Total Distance: %.2f mm\n", s.totalDistance);
    if (setup_.overlayPlan) {
        text += '\n';
        text += overlayPlanBlock(*setup_.overlayPlan);
    }
    return text;
}

void Em1RunWriter::formatSample(RowText& row, double distance, double absorbance,
                                std::uint32_t rawValue) {
    if (rawValue > kEventThreshold && !manualTriggered()) {
        formatEvent(row, distance, absorbance, rawValue >= kAutomaticMark);
        return;
    }
    lastWasEvent_ = false;
    formatEm1Row(row, Em1Sample{distance, absorbance, Em1Sample::kNoFraction, 0.0, false});
}

bool Em1RunWriter::formatClosingRow(RowText& row, double distance, double absorbance) {
    if (lastWasEvent_ || manualTriggered()) {
        return false;
    }
    formatEvent(row, distance, absorbance, false);
    return true;
}

// The n-th event row of a run (n from 0): fraction 0 first; then "R" when the
// run had a start delay (the restart after it), else 1; later marks count on,
// one behind with a start delay, so the fraction numbers stay continuous.
void Em1RunWriter::formatEvent(RowText& row, double distance, double absorbance, bool automatic) {
    double volume = (distance - lastMarkDistance_) * volumePerMm_;
    if (volume < 0.0) {
        volume = 0.0;
    }
    if (volume > 0.0) {
        lastMarkDistance_ = distance;
    }
    const bool delayed = setup_.settings.delayType != Em1Settings::kNoDelay;
    Em1Sample sample{distance, absorbance, 0, volume, true};
    if (eventRows_ == 0) {
        sample.fraction = 0;
    } else if (eventRows_ == 1) {
        sample.fraction = delayed ? Em1Sample::kRestart : 1;
    } else if (automatic) {
        sample.fraction = Em1Sample::kAutomatic;
        sample.volume = automaticFractionVolume();
    } else {
        sample.fraction = delayed ? eventRows_ - 1 : eventRows_;
    }
    formatEm1Row(row, sample);
    ++eventRows_;
    lastWasEvent_ = true;
}

}  // namespace corvane
