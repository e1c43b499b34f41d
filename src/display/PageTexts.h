#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/CalendarTime.h"
#include "display/AxisState.h"
#include "compare/CompareOffsets.h"
#include "graph/GraphLegend.h"
#include "graph/Rgb.h"
#include "runs/SampleRecord.h"

namespace corvane {

struct Em1Settings;
struct RunInfo;

// One cell of a page table; a swatch is a small box in the colour, drawn
// before the text.
struct PageCell {
    std::string text;
    std::optional<Rgb> swatch;
    // The swatch as a short line of the trace's style instead of a box.
    bool line = false;
    bool dashed = false;
};

// A table of the page: column headings of up to two lines, then rows.
struct PageTable {
    struct Column {
        std::string top;
        std::string bottom;
    };
    std::vector<Column> columns;
    std::vector<std::vector<PageCell>> rows;

    [[nodiscard]] bool empty() const { return rows.empty(); }
};

// One data set as the page names it: the current run, the overlay, or a
// compare set.
struct PageSet {
    std::string fileName;  // file name only
    std::optional<CalendarTime> recorded;
    SetPlacement placement;
    Rgb colour;
};

// The header over the plot: per set "Filename", "Date", "Time" and its
// offsets and gains.
[[nodiscard]] PageTable headerTable(const std::vector<PageSet>& sets);
// The compare legend: the same per set, with a colour box in the set's colour;
// axisNote, if any, over the file names (which x the sets share).
[[nodiscard]] PageTable compareLegend(const std::vector<PageSet>& sets, const std::string& axisNote = {});
// With an overlay: which colour is which trace of the current run and of
// the overlay, named as the graph's legend names them (a profile by its
// unit, not as the ratio whose slot it takes): one row per name, the
// current run's swatch and the overlay's where each has that trace.
[[nodiscard]] PageTable overlayLegend(const GraphLegend& drawn);
// The graph's legend as a page table: each drawn trace's line in its colour
// and style, its name and its file.
[[nodiscard]] PageTable legendTable(const GraphLegend& drawn);

// A block of lines drawn together, its first line the title.
using PageLines = std::vector<std::string>;

// A run's values at the main cursor: "CURRENT:" or "OVERLAY:" with the file
// shown as folder and name joined by the platform's separator, its scan
// (sample number) and "%.3G" values; a value the run does not have (a
// profile's second channel and ratio) is left out.
[[nodiscard]] PageLines runReadout(const char* which, const std::string& folder, const std::string& name,
                                   const std::optional<SampleRecord>& sample, long long scan, bool fluorescence);
// One cursor's block: its label, then the sample's counts and values.
[[nodiscard]] PageLines cursorReadout(double position, XAxisType axis, const std::optional<SampleRecord>& sample,
                                      bool fluorescence);

// How a DE-1 run with a standard run collects.
enum class PageFractionation { None, Standard, AutoAndManual };
// The settings box of a DE-1 run, one line per setting, "Current Settings"
// first. aufsValue is the full scale in absorbance units.
[[nodiscard]] PageLines de1SettingsBox(const Em1Settings& settings, const RunInfo& info, double aufsValue,
                                       PageFractionation fractionation);

}  // namespace corvane
