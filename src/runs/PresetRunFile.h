#pragma once

// Preset run files: a run's description and its DE-1 and scan settings, kept
// under "PRESET RUNS" so that a later run can start the same way. Written in
// a fixed order of "key value" lines and read back with ConfigFile.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runs/Em1Settings.h"
#include "runs/OverlayPlan.h"
#include "runs/RunInfo.h"

namespace corvane {

struct PresetScanSettings {
    double scanDistance = 0.0;  // mm
    bool autosendEventMarks = false;
    // Keys older files carry in "[scan_settings]" ("scan_speed", "ymax", ...),
    // in the order read; kept for showing, never written.
    std::vector<std::pair<std::string, double>> extras;

    bool operator==(const PresetScanSettings&) const = default;
};

struct PresetRun {
    std::optional<RunInfo> runInfo;  // "[experiment_settings]"
    std::optional<Em1Settings> em1;  // "[em1_settings]"
    PresetScanSettings scan;         // "[scan_settings]"
    std::optional<OverlayPlan> plan; // "[overlay plan]"
    std::string planFile;            // the standard run's data file of the plan, if any

    bool operator==(const PresetRun&) const = default;
};

// A preset file is a few hundred bytes; anything this large is not one.
inline constexpr std::size_t kMaxPresetFileBytes = 1024 * 1024;

// The file's text, every line ended by "\n".
[[nodiscard]] std::string presetRunText(const PresetRun& preset);
// The "[em1_settings]" lines as presetRunText writes them: two settings
// that give the same lines are the same settings as far as a preset is
// concerned.
[[nodiscard]] std::string presetEm1Lines(const Em1Settings& settings);

// A text the file cannot hold: one with a line break or a "[" (the reader
// would end the section there). Empty when all fit; else the message naming
// the field.
[[nodiscard]] std::string presetTextProblem(const PresetRun& preset);

// Reads a preset file. Nothing when it is missing, not a regular file,
// larger than kMaxPresetFileBytes or holds no section of a preset. Missing
// numbers read as 0.
[[nodiscard]] std::optional<PresetRun> readPresetRun(const std::filesystem::path& path);

// Writes the file whole (replaceFile: old content or new, never a mix).
[[nodiscard]] bool writePresetRun(const std::filesystem::path& path, const PresetRun& preset);

}  // namespace corvane
