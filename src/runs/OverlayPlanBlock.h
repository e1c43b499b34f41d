#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "runs/OverlayPlan.h"

namespace corvane {

// The "[overlay plan]" block a standard run's data file (and a preset file)
// carries in the settings syntax:
//
//   [overlay plan]
//   numzones 2
//   zone001 0.00 12.50 5
//   zone002 12.50 30.00 10
//   autofrac 0
//   filename SR-liver.csv        (preset files only)
//
// followed by an empty line.
inline constexpr std::string_view kOverlayPlanSection = "[overlay plan]";
// "zone%03d" names at most this many zones.
inline constexpr int kMaxOverlayZones = 999;

// The block's lines as above, without the empty line after it; the
// "filename" line only when one is given.
[[nodiscard]] std::string overlayPlanBlock(const OverlayPlan& plan, std::string_view filename = {});

struct OverlayPlanRead {
    OverlayPlan plan;
    bool found = false;    // the file has the block (without it: no zones)
    std::string filename;  // its "filename" line, when it has one
};

// Reads the block from a file's text: "numzones", then "zone001" onwards,
// each three numbers, then "autofrac". A zone line that is missing or does
// not begin with a number ends the zones there (numbers missing after the
// first read as 0, as in any settings file); a count beyond 999 zones (the
// most the key names allow) reads as 999. The block ends at the next section
// header; in a run file nothing after "Data Columns:" is looked at.
[[nodiscard]] OverlayPlanRead readOverlayPlan(std::string_view text);
// The same from a file; nothing when it cannot be read (missing, not a
// regular file, above the largest run file).
[[nodiscard]] std::optional<OverlayPlanRead> readOverlayPlanFile(const std::filesystem::path& path);

// The fraction lines of a standard run's header that follow its plan.
struct PlanHeaderLines {
    double fractionDistance = 0.0;  // "Distance: %.2f mm"
    double totalDistance = 0.0;     // "Total Distance: %.2f mm"
    int fractions = 0;              // "Number: %d"
};

// A run file's text with the plan written in: a block already there is left
// out (with its empty line), the new one and an empty line go just before
// the line that begins "Data Column", and with `lines` the header lines that
// begin "Distance:", "Total Distance:" and "Number:" are replaced. Nothing
// when the text has no "Data Column" line (it is no run file).
[[nodiscard]] std::optional<std::string> withOverlayPlan(std::string_view fileText, const OverlayPlan& plan,
                                                         const std::optional<PlanHeaderLines>& lines);

// Busy: the target is locked by a recording or another rewrite (EditLock);
// TooLarge: the source is larger than kMaxRunFileBytes.
enum class PlanWriteResult { Ok, CannotRead, NotARunFile, CannotWrite, Busy, TooLarge };

// Writes source's run with the plan (withOverlayPlan) to target, replacing
// target whole and safely: a crash or power cut leaves the old target or
// the new one, never a mix, and a failed write leaves the old one. A target
// other than the source gets a title line naming it. error: the system's
// code when the write failed.
[[nodiscard]] PlanWriteResult writeStandardRun(const std::filesystem::path& source,
                                               const std::filesystem::path& target, const OverlayPlan& plan,
                                               const std::optional<PlanHeaderLines>& lines, int& error);
// The same in place.
[[nodiscard]] PlanWriteResult writeOverlayPlan(const std::filesystem::path& path, const OverlayPlan& plan,
                                               const std::optional<PlanHeaderLines>& lines);
// What the operator is told when a write failed.
[[nodiscard]] std::string planWriteMessage(PlanWriteResult result, const std::filesystem::path& source,
                                           const std::filesystem::path& target, int error);

}  // namespace corvane
