#pragma once

#include <optional>
#include <string>
#include <vector>

#include "compare/AlignPeaks.h"

namespace corvane::cli {

// The x offsets (samples) AUTO-ALIGN would give runs: each run's Abs A peak
// between from and to (the whole run without them) lined up with the first
// run's, which keeps offset 0. Nothing, with the reason in problem (naming
// the run), when a run has no peak there. names are the runs' file names.
[[nodiscard]] std::optional<std::vector<double>> alignedOffsets(const std::vector<AlignTrace>& traces,
                                                                const std::vector<std::string>& names,
                                                                AlignAxis axis, std::optional<double> from,
                                                                std::optional<double> to, std::string& problem);

}  // namespace corvane::cli
