#pragma once

// The analysis's options as the commands that analyse take them: analyze,
// which reports the numbers, and render --analysis, which draws them. One
// parser, so that the same options give the same regions and baseline.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/AnalysisReport.h"
#include "analysis/ProfileAnalysis.h"
#include "runs/Profile.h"
#include "runs/ProfileFile.h"

namespace corvane::cli {

struct AnalysisArgs {
    AnalysisSettings settings;
    AnalyzeParameters parameters;  // as given, for the reports
    ProfileFileOptions reading;    // the channel of our runs
    std::string blankFile;         // --baseline blank=FILE, read by loadBlank
};

enum class ArgUse { NotMine, Taken, Wrong };

// --channel NAME, --smooth auto|none|ma:N|sg:N:ORDER,
// --baseline start|end|VALUE|line:X1:X2:X3:X4|blank=FILE, --prominence P,
// --full-scale V and --region NAME=FROM:TO (repeatable, names unique) at
// argv[i]: Taken with i moved onto its value, Wrong for a value that is not
// one (or no value), NotMine for any other argument.
[[nodiscard]] ArgUse takeAnalysisArg(int argc, char** argv, int& i, AnalysisArgs& args);

// The options explained for a usage text.
inline constexpr const char* kAnalysisArgsUsage =
    "[--channel NAME] [--smooth auto|none|ma:N|sg:N:ORDER]\n"
    "     [--baseline start|end|VALUE|line:X1:X2:X3:X4|blank=FILE] [--prominence P] [--full-scale V]\n"
    "     [--region NAME=FROM:TO]...";

// A file as the analysis takes it: one of our runs (its channel against
// position) or another instrument's profile, in sample numbers when
// bySample, made fit for the analysis (the warnings that made it so in
// `warnings`). Nothing, with the message for standard error, when it cannot
// be read as one.
[[nodiscard]] std::optional<Profile> loadAnalysedProfile(std::string_view command, const std::string& path,
                                                         const ProfileFileOptions& reading, bool bySample,
                                                         std::string& problem, std::vector<std::string>& warnings);

// Reads the blank gradient --baseline blank=FILE names into the settings, on
// the same x as the profiles; false with the message when it cannot. True
// at once without a blank.
[[nodiscard]] bool loadBlank(std::string_view command, AnalysisArgs& args, bool bySample, std::string& problem);

// "A:B", the text split at each separator.
[[nodiscard]] std::vector<std::string_view> splitText(std::string_view text, char separator);
// "FROM:TO" as two finite numbers that differ.
[[nodiscard]] bool parseSpan(std::string_view text, double& from, double& to);

}  // namespace corvane::cli
