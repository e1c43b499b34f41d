#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "compare/AlignPeaks.h"
#include "runs/ProfileFile.h"
#include "runs/RunDataFile.h"

namespace corvane::cli {

// A file a reading command (info, align, export) was given: a run of ours,
// read as the commands always read one, or a profile of another instrument.
struct RunOrProfile {
    RunDataFile run;                 // when profile is empty
    std::optional<Profile> profile;  // a .pks, .asc or table file

    [[nodiscard]] std::string xUnit() const { return profile ? profile->xUnit : std::string("mm"); }
    [[nodiscard]] AlignTrace trace() const { return profile ? alignTraceOf(*profile) : alignTraceOf(run); }
};

// Reads file as a run of ours first (readRunFileProblem, unchanged), and a
// file without a column header as a profile. The message for standard
// error, empty when one of them was read. A file that is neither keeps the
// run's message and gains why it is no profile either.
[[nodiscard]] std::string readRunOrProfile(std::string_view command, const std::filesystem::path& file,
                                           const ProfileFileOptions& options, RunOrProfile& read);

// A run's message ("Error, unable to find header in file: ...") with why the
// file is no profile either; a run of ours without its column header keeps
// its message alone.
[[nodiscard]] std::string notAProfileEither(const std::string& runProblem, const std::string& profileError);

// For a command that writes into a run: the message refusing a profile of
// another instrument (profiles are read-only), empty when the file is none,
// so that the command's own checks go on.
[[nodiscard]] std::string profileRefusal(std::string_view command, const std::filesystem::path& file);

// --x-column NAME|N and --y-column NAME|N (a table's columns) at argv[i]:
// true, with i moved onto the value, when taken.
[[nodiscard]] bool takeColumnOption(int argc, char** argv, int& i, ProfileFileOptions& options);

// "--x-column NAME|N  --y-column NAME|N" explained for a usage text.
inline constexpr const char* kColumnUsage =
    "  --x-column / --y-column: a table profile's columns by name or 1-based number (default the first two)\n";

// Positions on the x axis of the files must be in one unit: the message when
// read's x is not in unit (a run of ours is in mm), empty when it is or when
// the axis counts samples.
[[nodiscard]] std::string axisUnitProblem(std::string_view command, const std::filesystem::path& file,
                                          const RunOrProfile& read, AlignAxis axis, const std::string& unit);

// A position in its unit as the commands print it: "12.50 mm", "0.1017 min".
[[nodiscard]] std::string xText(double value, const std::string& unit);

}  // namespace corvane::cli
