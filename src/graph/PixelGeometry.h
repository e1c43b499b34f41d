#pragma once

namespace corvane {

// A pixel of the plot, (0, 0) being its top-left corner.
struct PixelPoint {
    int x = 0;
    int y = 0;

    friend constexpr bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// A rectangle in plot pixels; right and bottom are one past the last pixel
// column and row. Rubber bands keep their corners as dragged, so left may be
// greater than right.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend constexpr bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A straight line whose two end pixels are both drawn.
struct PixelSegment {
    PixelPoint from;
    PixelPoint to;
};

}  // namespace corvane
