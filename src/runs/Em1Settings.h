#pragma once

#include "runs/PeakCollection.h"

namespace corvane {

// The DE-1 run settings: collected by the DE-1 SETUP page and handed to the
// recording. Em1SettingsStore loads and stores them ("[EM1_Settings]"); the
// run file header only reads them.
struct Em1Settings {
    // Signal types of the Choose Signal Type dialog.
    static constexpr int kEventTriggered = 0;
    static constexpr int kManualTriggered = 1;
    static constexpr int kGeneralRecord = 2;
    // Start delay types.
    static constexpr int kNoDelay = 0;
    static constexpr int kEventWithDelay = 1;
    static constexpr int kOdSensingStart = 2;
    static constexpr int kManualTriggeredStart = 3;

    int aufs = 0;                   // AUFS step 0..7
    double wavelength = 254.0;      // nm: 254.0 or 280.0
    double samplesPerSec = 10.0;
    double speed = 0.3;             // piston speed, mm/s
    double fractionDistance = 0.0;  // mm between event marks
    int numberOfFractions = 1;      // event marks sent after the starting mark
    double deadVolume = 0.0;        // ml between the flow cell and the collector
    double totalDistance = 0.0;     // fraction distance x number of fractions
    int signalType = kEventTriggered;
    int graphYAxisType = 0;
    int graphXAxisType = 0;
    int delayType = kNoDelay;
    bool autosendEventMarks = false;  // send event-mark pulses every fraction distance
    bool autozeroAtStart = false;     // take the zero at the start of a run
    // Fractionate by peaks found on the live signal (enabled), instead of by distance.
    PeakCollection peaks;

    bool operator==(const Em1Settings&) const = default;
};

}  // namespace corvane
