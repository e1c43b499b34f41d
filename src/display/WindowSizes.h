#pragma once

#include <array>
#include <optional>

namespace corvane {

// "Graphing Window Size": the three sizes of the main window.
struct WindowSize {
    int width = 0;
    int height = 0;
    const char* caption = "";
};

inline constexpr std::array<WindowSize, 3> kWindowSizes{{
    {1089, 785, "Standard Size (1089 x 785 pixels)"},
    {1024, 738, "Small Size (1024 x 738 pixels)"},
    {800, 577, "Smallest Size (800 x 577 pixels)"},
}};

struct WindowScale {
    double x = 1.0;
    double y = 1.0;
};

// The factors that take the window (and everything in it) from the size at
// index `current` to the one at `chosen`; nothing for the same size or an
// index outside the table.
[[nodiscard]] constexpr std::optional<WindowScale> windowRescale(int current, int chosen) {
    if (current == chosen || current < 0 || chosen < 0 || current >= static_cast<int>(kWindowSizes.size()) ||
        chosen >= static_cast<int>(kWindowSizes.size())) {
        return std::nullopt;
    }
    const WindowSize& from = kWindowSizes[static_cast<std::size_t>(current)];
    const WindowSize& to = kWindowSizes[static_cast<std::size_t>(chosen)];
    return WindowScale{static_cast<double>(to.width) / from.width, static_cast<double>(to.height) / from.height};
}

}  // namespace corvane
