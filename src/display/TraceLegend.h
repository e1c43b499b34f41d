#pragma once

#include <string>

#include "graph/GraphLegend.h"

namespace corvane {

class GraphModel;
class GraphView;

// The slot a set's channel is drawn in on the view's graph (set 0 the
// current run, 1 the overlay), -1 where it is not drawn: beside an overlay
// the current run's absorbances and ratio move to slots 0 to 2.
[[nodiscard]] int slotOfChannel(const GraphView& view, int set, int channel);

// Every trace the graph draws, in slot order, named for the legend: its
// channel ("Abs A"; a DE-1 run's "Voltage"; "Fluorescence"), a profile of
// another instrument by its unit, an export file's set by its name, marks
// as "Mark"; the file it comes from (a live run: liveName), and its colour
// and style as the model draws it. A live run's channels switched on are
// listed before their first sample arrives.
[[nodiscard]] GraphLegend traceLegend(const GraphView& view, const GraphModel& model,
                                      const std::string& liveName = "Live run");

// The axis titles of the graph, on screen and on the page: the left axis
// by what its channels hold ("Absorbance (AU)", "Counts", both; a DE-1
// run's "Voltage (V)"; a profile's own unit), the right one only while it
// carries values (the ratio, or a profile's values of another unit).
struct YAxisTitles {
    std::string y;
    std::string yy;
};
[[nodiscard]] YAxisTitles yAxisTitles(const GraphView& view);

}  // namespace corvane
