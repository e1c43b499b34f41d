#pragma once

// What an analysis reports of one profile, kept as values (a batch of many
// files then holds no profile longer than its own analysis takes), and the
// table of several with their groups: one row per profile, one per group,
// the same columns wherever the table is written.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/ProfileAnalysis.h"
#include "analysis/Replicates.h"

namespace corvane {

// The settings as the user gave them (texts as typed where they are texts),
// written into every report's "parameters".
struct AnalyzeParameters {
    std::string channel = "absA";
    std::string xColumn;  // a table's columns; empty: the first two
    std::string yColumn;
    bool indexX = false;  // --x index
    std::string baseline = "start";
    std::optional<double> prominence;
    std::optional<double> fullScale;
    std::vector<RegionChoice> regions;
    std::optional<AnalysisSettings::Deconvolve> deconvolution;
    PeakWidths widths = PeakWidths::Auto;
};

struct PointReport {
    std::size_t index = 0;
    double x = 0.0;
    std::optional<double> height;  // none on a clipped plateau
    double prominence = 0.0;
};

struct LandmarkReport {
    std::string name;
    PointReport point;
    double confidence = 0.0;
};

struct RegionReport {
    std::string name;
    double from = 0.0;  // x
    double to = 0.0;
    double area = 0.0;
    bool saturated = false;
};

struct FileReport {
    std::string file;
    std::string error;  // the file could not be read or analysed

    std::string format;
    std::string channel;
    std::string xUnit;
    std::string yUnit;
    std::size_t samples = 0;
    std::string smoothing;
    double prominence = 0.0;
    double noise = 0.0;
    BaselineKind baselineKind = BaselineKind::Start;
    double baselineValue = 0.0;                      // the baseline under the first sample
    std::optional<std::array<double, 4>> baselineLine;  // x1, y1, x2, y2
    std::optional<double> blankShift;
    std::vector<IndexRange> saturated;
    std::vector<PointReport> peaks;
    std::vector<PointReport> valleys;
    std::vector<LandmarkReport> landmarks;
    double patternConfidence = 0.0;
    bool reversed = false;
    std::vector<RegionReport> regions;
    Ratios ratios;
    std::optional<Deconvolution> deconvolution;
    std::vector<std::string> warnings;
};

// The report of one analysed profile (x in the unit the analysis used).
[[nodiscard]] FileReport reportOf(const std::string& file, const Profile& profile, const ProfileAnalysis& analysis);

struct GroupReport {
    std::string name;
    std::vector<std::string> files;
    std::size_t analysed = 0;
    GroupRatios ratios;
    std::vector<std::string> warnings;
};

// A member of a group: its ratios and profile, or nulls when it could not be
// analysed.
struct GroupMember {
    std::string name;
    const Ratios* ratios = nullptr;
    const Profile* profile = nullptr;
};

// A group's count, ratios' mean and spread, and warnings (a member not
// analysed, two members holding the same profile, a ratio some lack).
void summariseGroup(GroupReport& group, const std::vector<GroupMember>& members);

// The header, then one row per profile and one per group, with '.' as the
// decimal point whatever the locale.
[[nodiscard]] std::string csvTable(const std::vector<FileReport>& reports, const std::vector<GroupReport>& groups,
                                   const AnalyzeParameters& parameters);

// A number in its shortest exact form, which never depends on the locale;
// empty for a value that is not a number (or nothing).
[[nodiscard]] std::string reportNumber(double value);
[[nodiscard]] std::string reportNumber(const std::optional<double>& value);

}  // namespace corvane
