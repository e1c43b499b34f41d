#pragma once

#include <optional>
#include <string_view>

#include "base/FieldScanner.h"

namespace corvane {

// What the pages' "%lf" and "%d" scans of a typed field give: white space is
// skipped, the number at the front is taken and anything after it ignored
// ("12 ml" reads as 12); nothing when the text does not begin with one.
// Values that are not finite count as no number: no field of a page means
// "nan" or "inf", and a range check must never pass one.
[[nodiscard]] inline std::optional<double> scanDouble(std::string_view text) {
    FieldScanner scan(text);
    double value = 0.0;
    if (!scan.real(value) || value != value || value - value != 0.0) {
        return std::nullopt;
    }
    return value;
}

[[nodiscard]] inline std::optional<int> scanInt(std::string_view text) {
    FieldScanner scan(text);
    std::int32_t value = 0;
    if (!scan.integer(value)) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

}  // namespace corvane
