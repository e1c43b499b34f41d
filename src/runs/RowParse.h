#pragma once

#include <optional>
#include <string_view>

#include "runs/SampleRecord.h"
#include "runs/RunDataFile.h"

namespace corvane {

// "%d, %d, %d, %d, %lf, %lf, %lf, %lf, %lf, %lf": the ten fields of a
// two-channel row (the ninth, position B again, is read and dropped). The
// ratio is the one the row holds. Counts are read as "%d" writes them.
[[nodiscard]] std::optional<SampleRecord> parseTwoChannelRow(std::string_view line);

// A row of the DE-1 layout: "%.2f, %.6f, , " (plain), "%.2f, %.6f, %d, %.3f",
// "%.2f, %.6f, R, %.3f", "%.2f, , A, %.3f" and the buffered " , %.6f, , ".
// A plain row needs its two numbers, a fraction row its volume as well.
[[nodiscard]] std::optional<Em1Sample> parseEm1Row(std::string_view line);

// "%lf, %lf, %lf": distance, absorbance and the event column of the older
// DE-1 layout; a non-zero event is an event mark.
[[nodiscard]] std::optional<Em1Sample> parseEm1EventRow(std::string_view line);

}  // namespace corvane
