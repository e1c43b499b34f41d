#pragma once

#include <string>
#include <utility>
#include <vector>

namespace corvane {

// A region of a profile shaded on the plot, its name at the top.
struct ShadedRegion {
    double from = 0.0;  // x-axis units
    double to = 0.0;
    std::string name;
    int colour = 0;        // an index into the painter's palette of soft colours
    bool warning = false;  // its area is not to be trusted (a clipped top): drawn hatched

    bool operator==(const ShadedRegion&) const = default;
};

// What a profile's analysis lays over the plot: its regions shaded, the
// boundaries between them (the valleys a user may drag) and the baseline the
// areas are measured from. Drawn over the traces on the screen and on the
// page alike; an empty one draws nothing.
struct GraphAnnotations {
    std::vector<ShadedRegion> regions;
    std::vector<double> boundaries;                   // x-axis units
    int activeBoundary = -1;                          // the one under the mouse or being dragged
    std::vector<std::pair<double, double>> baseline;  // (x, y) on the Y axis, joined by straight lines
    bool baselineActive = false;

    [[nodiscard]] bool empty() const { return regions.empty() && boundaries.empty() && baseline.empty(); }
    bool operator==(const GraphAnnotations&) const = default;
};

}  // namespace corvane
