#pragma once

#include <string>

#include "runs/PresetRunFile.h"

namespace corvane::cli {

// corvane-cli info on a preset run file: its settings as "key: value" lines,
// or one JSON object with --json ("layout": "preset_run"). Exit code 0, or 1
// when standard output fails.
int printPresetRun(const std::string& path, const PresetRun& preset, bool json);

}  // namespace corvane::cli
