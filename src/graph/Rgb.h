#pragma once

#include <cstdint>

namespace corvane {

// A 24-bit colour. Trace slots are told apart by exact colour (hit testing
// reads pixels back), so equality is exact.
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

}  // namespace corvane
