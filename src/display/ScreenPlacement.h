#pragma once

#include <algorithm>

namespace corvane {

// A window's outer rectangle (frame included) or a screen's free area, in
// screen pixels.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend constexpr bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// Where a window that asks for `wanted` goes on a screen whose free area is
// `available`: where it asked when it fits; otherwise pulled back just far
// enough to stay whole on the screen, and made no larger than the screen
// (a window whose title bar or buttons are off the screen cannot be moved
// or closed). An empty free area (no screen known) changes nothing.
[[nodiscard]] constexpr ScreenRect placeOnScreen(ScreenRect wanted, ScreenRect available) {
    if (available.width <= 0 || available.height <= 0) {
        return wanted;
    }
    ScreenRect placed = wanted;
    placed.width = std::min(wanted.width, available.width);
    placed.height = std::min(wanted.height, available.height);
    placed.x = std::clamp(wanted.x, available.x, available.x + available.width - placed.width);
    placed.y = std::clamp(wanted.y, available.y, available.y + available.height - placed.height);
    return placed;
}

}  // namespace corvane
