#pragma once

#include <string>

#include "runs/PeakCollection.h"

namespace corvane::cli {

// The options of collecting by peaks that `collect --preview` and `record
// --collect-peaks` share: --start-level AU, --end-level AU, --start-slope
// AU/mm, --end-slope AU/mm, --min-width MM, --per-peak N, --between
// one|every:MM, and for a live run --delay-volume ML.
enum class PeakOption { NotMine, Taken, Bad };
[[nodiscard]] PeakOption takePeakOption(int argc, char** argv, int& i, PeakCollection& peaks, bool live,
                                        std::string& problem);

inline constexpr const char* kPeakOptionsUsage =
    "--start-level AU [--end-level AU] [--start-slope AU/mm] [--end-slope AU/mm] [--min-width MM]\n"
    "[--per-peak N] [--between one|every:MM]";

}  // namespace corvane::cli
