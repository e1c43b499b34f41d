#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "compare/AlignPeaks.h"
#include "runs/ProfileFile.h"

namespace corvane::cli {

// Reads a file a reading command (info, align, export) was given, once: a
// run of ours as the commands always read one (the same checks and
// messages), else a profile of another instrument. The message for standard
// error, empty when one of them was read. A file that is neither gets the
// run's message ("Error, unable to find header in file: ...") and why it is
// no profile either.
[[nodiscard]] std::string readRunOrProfile(std::string_view command, const std::filesystem::path& file,
                                           const ProfileFileOptions& options, RunOrProfileFile& read);

// The x unit of what was read (a run of ours is in mm) and its trace for the
// peak alignment (a run's Abs A, a profile's signal).
[[nodiscard]] std::string xUnitOf(const RunOrProfileFile& read);
[[nodiscard]] AlignTrace traceOf(const RunOrProfileFile& read);

// For a command that writes into a run: the message refusing a profile of
// another instrument (profiles are read-only), empty when the file is none,
// so that the command's own checks go on.
[[nodiscard]] std::string profileRefusal(std::string_view command, const std::filesystem::path& file);

// Positions on the x axis of the files must be in one unit: the message when
// read's x is not in unit, empty when it is or when the axis counts samples.
[[nodiscard]] std::string axisUnitProblem(std::string_view command, const std::filesystem::path& file,
                                          const RunOrProfileFile& read, AlignAxis axis, const std::string& unit);

// --x-column NAME|N and --y-column NAME|N (a table's columns) at argv[i]:
// true, with i moved onto the value, when taken.
[[nodiscard]] bool takeColumnOption(int argc, char** argv, int& i, ProfileFileOptions& options);

// The columns chosen apply to each plain table among a command's files (the
// others are read as they are); where none of them is a table they would
// choose nothing: the message refusing them then, else empty. A file that
// cannot be read is left to the command's own message.
[[nodiscard]] std::string columnsProblem(std::string_view command, const ProfileFileOptions& options,
                                         const std::vector<std::string>& files);

// The two options explained for a usage text.
inline constexpr const char* kColumnUsage =
    "  --x-column / --y-column: a plain table's x and y columns by name or 1-based number (default\n"
    "  the first two), for each table among the files; refused when no file is a table\n";

// A position in its unit as the commands print it: "12.50 mm", "0.1017 min".
[[nodiscard]] std::string xText(double value, const std::string& unit);

}  // namespace corvane::cli
