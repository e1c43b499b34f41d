#pragma once

// Collecting by peaks: the fraction changes of a DE-1 run are found on the
// live signal (a peak starts and ends where the absorbance above the run's
// baseline, or its slope, crosses the operator's thresholds) instead of
// falling at set distances. This file holds the settings, their checks and
// the table of the fractions a run was cut into, which the run file keeps
// in its header as a "[fractions]" block in the settings syntax:
//
//   [fractions]
//   start_level 0.050000
//   ...
//   numfractions 3
//   fraction001 0.00 12.40 0        number: from mm, to mm, peak (0 between peaks)
//   fraction002 12.40 15.85 1
//   fraction003 15.85 40.00 0
//   fraction004 40.00 52.10 0 manual   begun by a tube change by hand
//
// followed by an empty line. Positions are at the detector.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct PeakCollection {
    // Limits of the checks.
    static constexpr double kMaxLevel = 4.0;      // AU
    static constexpr double kMaxSlope = 10.0;     // AU per mm
    static constexpr double kMaxWidth = 99.0;     // mm
    static constexpr int kMaxPerPeak = 20;
    static constexpr double kMaxBetween = 99.0;   // mm
    static constexpr double kMaxDelayVolume = 10.0;  // ml

    bool enabled = false;      // "Peaks" is the way the run is fractionated
    // A threshold of 0 is not used. A peak starts when any start rule holds
    // and ends when any end rule holds; without an end rule the start's
    // level (or slope) ends it.
    double startLevel = 0.0;   // AU above the baseline
    double endLevel = 0.0;
    double startSlope = 0.0;   // AU per mm, rising
    double endSlope = 0.0;     // AU per mm: the fall has flattened below it
    double minWidthMm = 0.0;   // a shorter rise is no peak
    int perPeak = 1;           // fractions per peak, equal distances
    double betweenEveryMm = 0.0;  // 0: one fraction between two peaks
    double delayVolumeMl = 0.0;   // measured detector-to-collector volume; 0: the dead volume

    [[nodiscard]] double endLevelUsed() const;
    [[nodiscard]] double endSlopeUsed() const;

    bool operator==(const PeakCollection&) const = default;
};

// The first problem of the settings as the operator is told it; empty when
// they can be used.
[[nodiscard]] std::string peakCollectionProblem(const PeakCollection& peaks);

// "one" or "every:MM" of the command line and the page; false for anything else.
[[nodiscard]] bool parseBetween(std::string_view text, double& everyMm);

// One fraction a run was cut into.
struct CollectedFraction {
    int number = 0;      // from 1
    double from = 0.0;   // mm at the detector
    double to = 0.0;
    int peak = 0;        // the peak's number from 1; 0 between peaks
    // Begun by a tube change by hand (FRAC ADV), not by the thresholds.
    bool manual = false;

    bool operator==(const CollectedFraction&) const = default;
};

inline constexpr std::string_view kFractionsSection = "[fractions]";
// "fraction%03d" names at most this many fractions.
inline constexpr int kMaxCollectedFractions = 999;

struct FractionTable {
    PeakCollection settings;
    double delayMm = 0.0;  // the delay the live pulses were sent after
    std::vector<CollectedFraction> fractions;

    bool operator==(const FractionTable&) const = default;
};

// The block's lines as above (each ending in LF), without the empty line after it.
[[nodiscard]] std::string fractionTableBlock(const FractionTable& table);
// The block of a file's text, when it has one (nothing after "Data Columns:"
// is looked at). Fraction lines that do not read as two numbers and a peak
// end the list there.
[[nodiscard]] std::optional<FractionTable> readFractionTable(std::string_view text);
// The file's text with the block (and an empty line) just before its
// "Data Column" line, an older block left out; nothing when the text has no
// such line.
[[nodiscard]] std::optional<std::string> withFractionTable(std::string_view fileText, const FractionTable& table);

}  // namespace corvane
