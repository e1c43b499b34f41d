#include "cli/AlignedOffsets.h"

#include <limits>

#include "base/TextFormat.h"

namespace corvane::cli {

std::optional<std::vector<double>> alignedOffsets(const std::vector<AlignTrace>& traces,
                                                  const std::vector<std::string>& names, AlignAxis axis,
                                                  std::optional<double> from, std::optional<double> to,
                                                  std::string& problem) {
    const double x1 = from.value_or(-std::numeric_limits<double>::infinity());
    const double x2 = to.value_or(std::numeric_limits<double>::infinity());
    const auto reference = traces.empty() ? std::nullopt : findPeak(traces.front(), x1, x2, axis);
    if (!reference) {
        problem = "the reference has no peak in the window: " + (names.empty() ? std::string() : visibleText(names.front()));
        return std::nullopt;
    }
    std::vector<double> offsets{0.0};
    for (std::size_t k = 1; k < traces.size(); ++k) {
        const auto aligned = alignOn(*reference, traces[k], x1, x2, axis);
        if (!aligned) {
            problem = "no peak in the window: " + (k < names.size() ? visibleText(names[k]) : std::string());
            return std::nullopt;
        }
        offsets.push_back(aligned->offsetSamples);
    }
    return offsets;
}

}  // namespace corvane::cli
