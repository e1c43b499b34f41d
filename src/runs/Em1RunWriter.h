#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runs/RowFormat.h"
#include "runs/Em1Settings.h"
#include "runs/OverlayPlan.h"
#include "runs/RunInfo.h"

namespace corvane {

// The DE-1 side of a run file: the DE-1 block of the header and the rows,
// with the event logic that turns event marks into numbered fractions.
class Em1RunWriter {
public:
    struct Setup {
        Em1Settings settings;
        double tubingLength = 0.0;  // mm
        std::optional<OverlayPlan> overlayPlan;
    };

    // A raw DE-1 value above this carries an event mark; at kAutomaticMark or
    // more the mark is an automatic fraction.
    static constexpr std::uint32_t kEventThreshold = 0x8000;
    static constexpr std::uint32_t kAutomaticMark = 0xFFFF;

    // volumePerMm is the run's (RunInfo), or nothing without one.
    Em1RunWriter(Setup setup, std::optional<double> volumePerMm);

    // The full-scale value of an AUFS step 0..7 (0.01 ... 2.00); steps out of
    // range are clamped.
    [[nodiscard]] static double aufsValue(int step);

    // The lines from "Absorbance Units Full Scale (AUFS):" to the overlay plan,
    // each with its line end.
    [[nodiscard]] std::string headerBlock() const;

    // The row of one sample; a marked sample becomes an event row and moves
    // the event logic on.
    void formatSample(RowText& row, double distance, double absorbance, std::uint32_t rawValue);
    // The event row that closes a run, unless the last sample was a mark
    // itself or the run is manually triggered (it has no marks). False when
    // no row is due.
    [[nodiscard]] bool formatClosingRow(RowText& row, double distance, double absorbance);

    void setAufs(int step) { aufs_ = step; }
    [[nodiscard]] int aufs() const { return aufs_; }
    [[nodiscard]] int eventRows() const { return eventRows_; }
    [[nodiscard]] bool manualTriggered() const {
        return setup_.settings.signalType == Em1Settings::kManualTriggered;
    }
    [[nodiscard]] const Setup& setup() const { return setup_; }
    // The dead volume expressed as piston travel, mm.
    [[nodiscard]] double deadVolumeDistance() const;
    // Volume of one automatic ("A") fraction: the fraction distance's volume.
    [[nodiscard]] double automaticFractionVolume() const;

private:
    void formatEvent(RowText& row, double distance, double absorbance, bool automatic);

    Setup setup_;
    double volumePerMm_;
    int aufs_;
    int eventRows_ = 0;
    double lastMarkDistance_ = 0.0;
    bool lastWasEvent_ = false;
};

}  // namespace corvane
