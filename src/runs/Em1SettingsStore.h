#pragma once

// Where the DE-1 run settings are kept: the "[EM1_Settings]" section of
// "prefs.cfg" (the last settings used), and per rotor in the same section of
// each user's "settings.txt" (keys ending "_%02d_%02d" with the manufacturer
// and rotor model indexes).

#include "app/ConfigFile.h"
#include "runs/Em1Settings.h"

namespace corvane {

inline constexpr const char* kEm1Section = "[EM1_Settings]";

// The dead volume between the flow cell and the collector: the tubing on the
// exit port (0.8 mm bore: 0.0005 ml per mm) plus the fixed path from the flow
// cell to the port (0.05 ml).
inline constexpr double kTubingVolumePerMm = 0.0005;
inline constexpr double kFixedPathVolume = 0.05;
[[nodiscard]] double deadVolumeFor(double tubingLengthMm);

// The settings in "prefs.cfg". A key that is missing, and a samples per second,
// speed or number of fractions that could never have been stored (below 1,
// 0, below 1), leaves the field at its default.
[[nodiscard]] Em1Settings loadEm1Settings(const ConfigFile& prefs);
void storeEm1Settings(ConfigFile& prefs, const Em1Settings& settings);

// Collecting by peaks in "prefs.cfg" (the keys are written once peaks were on).
void storeEm1Peaks(ConfigFile& prefs, const PeakCollection& peaks);

// The user's settings for one rotor, over `settings` (missing keys leave the
// field as it is). False, changing nothing, without a rotor (an index below 0).
bool loadUserEm1Settings(const ConfigFile& user, int manufacturer, int model, Em1Settings& settings);
bool storeUserEm1Settings(ConfigFile& user, int manufacturer, int model, const Em1Settings& settings);

// An AUFS step chosen on the main window: "aufs" in "prefs.cfg" and, when a
// user file and a rotor are given, "aufs_%02d_%02d" in it.
void storeEm1Aufs(ConfigFile& prefs, ConfigFile* user, int manufacturer, int model, int step);
// The same for the samples per second of the DE-1 graph axes window.
void storeEm1SamplesPerSec(ConfigFile& prefs, ConfigFile* user, int manufacturer, int model, int rate);

}  // namespace corvane
