#pragma once

#include <string>
#include <vector>

#include "graph/Rgb.h"

namespace corvane {

// One drawn trace as the legend names it: what it shows ("Abs A", "Mark",
// a profile's unit), the run it comes from, and how it is drawn.
struct LegendEntry {
    std::string name;
    std::string file;
    Rgb colour;
    bool dashed = false;
    bool marks = false;  // event-mark ticks rather than a line
    int set = 0;         // 0 the current run, 1 the overlay; a compare set

    friend bool operator==(const LegendEntry&, const LegendEntry&) = default;
};

using GraphLegend = std::vector<LegendEntry>;

}  // namespace corvane
