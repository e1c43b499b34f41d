#pragma once

#include <optional>
#include <string>

#include "base/CalendarTime.h"

namespace corvane {

// The description of a run, filled by the USER page and written into run file
// headers and preset files. An empty text counts as absent: its header line
// is written with nothing after the colon.
struct RunInfo {
    // Gradient units and UV units as the pages' lists number them.
    static constexpr int kWeightPerVolume = 0;  // "w/v"
    static constexpr int kWeightPerWeight = 1;  // "w/w"
    static constexpr int kVolumePerVolume = 2;  // "v/v"
    static constexpr int kDualWavelength = 0;
    static constexpr int kSingleWavelength = 1;
    static constexpr int kDe1 = 2;

    std::optional<CalendarTime> startTime;  // the page's date and time pickers
    std::string experimentName;
    std::string gradient;                   // gradient name
    std::string rotorManufacturer;          // a RotorTable name
    std::string rotorModel;                 // a RotorTable name
    std::string sampleVolume;               // ml, as typed
    std::string speed;                      // kRPM, as typed
    std::string spinTime;
    std::string w2tMantissa;
    std::string userName;
    double gradientPercent1 = 0.0;
    double gradientPercent2 = 0.0;
    int gradientUnits = kWeightPerVolume;
    int uvUnit = kDualWavelength;
    int aufs = 0;                           // AUFS step 0..7
    int numberOfTubes = 2;                  // the tubes list offers 2, 3, 4 and 6
    int w2tExponent = 0;
    int rotorModelIndex = -1;               // -1: no rotor chosen
    int manufacturerIndex = -1;
    double volumePerMm = 0.0;               // ml/mm, from the rotor geometry or a preset
    double collectionVolume = 0.0;          // ml
    double temperature = 25.0;              // deg C; the page shows 25.0 until one is stored

    bool operator==(const RunInfo&) const = default;
};

// "w/v", "w/w" or "v/v"; an unknown unit reads as "w/v", the list's first entry.
[[nodiscard]] inline const char* gradientUnitText(int units) {
    switch (units) {
        case RunInfo::kWeightPerWeight: return "w/w";
        case RunInfo::kVolumePerVolume: return "v/v";
        default: return "w/v";
    }
}

}  // namespace corvane
