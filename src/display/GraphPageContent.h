#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "display/PageTexts.h"
#include "base/CalendarTime.h"
#include "graph/GraphLegend.h"
#include "graph/Rgb.h"

namespace corvane {

class GraphCursors;
class GraphOverlays;
class GraphView;
struct RunDescription;

// Everything a graph page shows besides the plot itself, as text: the
// header over the plot, the legends, the readouts at the cursors and a DE-1
// run's settings box. The plot is drawn from the graph's model; this is the
// run around it.
struct GraphPageContent {
    std::string documentTitle;  // the current run's file name
    XAxisType xAxis = XAxisType::SampleNumber;
    // The ranges and divisions are the model's, as the plot draws them.
    bool yyLabels = false;  // the right-hand axis carries values
    std::string yTitle;
    std::string yyTitle;  // empty: no title on the right

    PageTable header;         // the current run (and the overlay)
    PageTable compareLegend;  // compare mode only
    PageTable overlayLegend;  // with an overlay only
    PageTable legend;         // the graph's legend, while it is shown
    std::vector<PageLines> readouts;
    std::vector<PageLines> cursorBlocks;
    PageLines settingsBox;  // DE-1 runs only
};

// What the page takes from the window beside the view: the traces as the
// graph draws them (traceLegend), whether its legend is shown, and the live
// run's file name and start (a live run not recorded: when the page is made).
struct PageSource {
    GraphLegend drawn;
    bool legendShown = true;
    std::string liveName;
    std::optional<CalendarTime> liveStarted;
};

// The page content of a window's graph as it is now: the shown run (or the
// live one), the overlay, the cursors and the standard run; in a compare
// window its sets, named in the compare legend in their colours. colours
// are the model's slot colours 0 to 5 (a compare set k draws in slot k).
// liveDe1: the description of the live DE-1 run (its settings and the
// user's details), which a run file carries in its header once saved; the
// settings box of a live DE-1 page comes from it.
[[nodiscard]] GraphPageContent graphPageContent(const GraphView& view, const GraphCursors& cursors,
                                                const GraphOverlays* overlays, const std::array<Rgb, 6>& colours,
                                                const RunDescription* liveDe1 = nullptr,
                                                const PageSource& source = {});

}  // namespace corvane
