#pragma once

#include <limits>
#include <utility>

namespace corvane {

// A pixel coordinate that could not be computed (the value was not a number).
inline constexpr int kNoPixel = std::numeric_limits<int>::min();

// Truncates towards zero. Infinite and huge values are held to +-1e9 so they
// still land beyond an edge; NaN gives kNoPixel.
[[nodiscard]] inline int truncatePx(double v) {
    constexpr double kLimit = 1e9;
    if (v != v) {
        return kNoPixel;
    }
    return static_cast<int>(v > kLimit ? kLimit : v < -kLimit ? -kLimit : v);
}

// Rounds half up by truncation, so negative values round towards zero: the
// plot has always placed its pixels this way.
[[nodiscard]] inline int rnd(double v) { return truncatePx(v + 0.5); }

// A value placed on the four-decade log display of the axis [lo, hi].
[[nodiscard]] double logMap(double y, double lo, double hi);

// One y axis [lo, hi] on a plot height pixels high.
struct YAxisMap {
    double lo = 0.0;
    double pixelsPerUnit = 0.0;
    int height = 0;

    YAxisMap(double lo_, double hi_, int height_)
        : lo(lo_), pixelsPerUnit(height_ / (hi_ - lo_)), height(height_) {}

    // Points are never clipped vertically: one above the top lands on row 0,
    // one below the bottom on the row above the bottom. kNoPixel for NaN.
    [[nodiscard]] int py(double y, int pixelOffset) const {
        const int r = rnd((y - lo) * pixelsPerUnit);
        if (r == kNoPixel) {
            return kNoPixel;
        }
        const long long v = static_cast<long long>(height) - r + pixelOffset;
        return v < 0 ? 0 : v > height - 1 ? height - 1 : static_cast<int>(v);
    }
};

// Maps trace values onto a plot of width x height pixels whose top-left pixel
// is (0, 0). Values passed in already carry their display gains. The scales
// are taken once per paint, not per point.
class GraphMapping {
public:
    GraphMapping(double xMin, double xMax, int width, int height)
        : xMin_(xMin),
          xMax_(xMax),
          pixelsPerX_(width / (xMax - xMin)),
          width_(width),
          height_(height) {}

    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }

    [[nodiscard]] int px(double x) const { return rnd(xPixels(x)); }
    // x in pixels from the left edge, before rounding.
    [[nodiscard]] double xPixels(double x) const { return (x - xMin_) * pixelsPerX_; }
    // The values of xPixels that px rounds to column c (c >= 0), half open.
    [[nodiscard]] static std::pair<double, double> columnBounds(int c) {
        // rnd truncates towards zero: column 0 reaches to -1.5.
        return {c == 0 ? -1.5 : c - 0.5, c + 0.5};
    }

    [[nodiscard]] YAxisMap yAxis(double lo, double hi) const { return {lo, hi, height_}; }
    [[nodiscard]] int py(double y, double lo, double hi, int pixelOffset) const {
        return yAxis(lo, hi).py(y, pixelOffset);
    }

    // A point left or right of the plot is not drawn and breaks its line.
    [[nodiscard]] bool inPlot(int px) const { return px >= 0 && px <= width_; }

    // The x value under a pixel column (clicks, drags, zoom boxes).
    [[nodiscard]] double xAt(int px) const { return xMin_ + (xMax_ - xMin_) * px / width_; }
    // The y value under a pixel row on the axis [lo, hi].
    [[nodiscard]] double yAt(int py, double lo, double hi) const {
        return lo + (hi - lo) * (height_ - py) / height_;
    }

private:
    double xMin_;
    double xMax_;
    double pixelsPerX_;
    int width_;
    int height_;
};

}  // namespace corvane
