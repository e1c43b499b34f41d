#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "display/AxisState.h"
#include "graph/PixelGeometry.h"

namespace corvane {

// What a graph page is drawn for: a printer page, a bitmap or a file.
struct PageTarget {
    bool landscape = true;
    int dpi = 100;
};

// The graph's client size at the standard window size. The page takes its
// scale from this pinned size, not from the window as it is now, so a page
// looks the same from every window size and its fonts are exactly 8 and 12
// points at 100 dpi.
inline constexpr int kStandardPlotWidth = 475;
inline constexpr int kStandardPlotHeight = 220;

// Where everything of a page goes, in device pixels.
struct PageGeometry {
    double s = 1.0;  // page pixels per plot pixel of the standard graph
    int pageWidth = 0;
    int pageHeight = 0;
    PixelRect plot;  // right and bottom one past the plot
    // Font sizes in points as counted at 100 dpi, where the page was laid
    // out; in device pixels at the target's resolution.
    double smallFontPoints = 0.0;
    double largeFontPoints = 0.0;
    double smallFontPixels = 0.0;
    double largeFontPixels = 0.0;
    double framePen = 0.0;  // solid black round the plot
    double gridPen = 0.0;   // dotted grey
    double linePen = 0.0;   // traces, ticks and the black pen
};

// The plot is 9.5 in wide on a landscape page (11 x 8.5 in) and 5 in on a
// portrait one (8.5 x 11 in), its height scaled alike; it sits 0.75 in from
// the left and 1.2 in from the top (landscape) or 2 in and 3.5 in (portrait).
[[nodiscard]] PageGeometry pageGeometry(PageTarget target);

// The printer's print quality: a positive value is its resolution; the
// named negative settings stand for 600 (high), 300 (medium) and 150 dpi.
inline constexpr int kPrintQualityHigh = -4;
inline constexpr int kPrintQualityMedium = -3;
[[nodiscard]] PageTarget printTarget(int printQuality, bool portrait);

// The file kind a saved page gets from its name: PNG, TIFF and BMP by the
// name's last three characters ("png", "tif" or "iff", anything else BMP),
// PDF and SVG by extension; case is ignored.
enum class PageFileKind { Bmp, Png, Tiff, Pdf, Svg };
[[nodiscard]] PageFileKind pageFileKind(std::string_view path);
[[nodiscard]] const char* pageFileKindName(PageFileKind kind);

// The save dialog's filter: PNG first (the dialog's default), the other
// bitmap kinds, then PDF and SVG.
inline constexpr const char* kGraphImageFilter =
    "PNG Files (*.png)|*.png|Bitmap Files (*.bmp)|*.bmp|TIFF Files (*.tif)|*.tif|"
    "PDF Files (*.pdf)|*.pdf|SVG Files (*.svg)|*.svg|All Files (*.*)|*.*||";

// One axis label: its text and where it goes along the axis (0 at the left
// or bottom end, 1 at the right or top end).
struct AxisLabel {
    std::string text;
    double at = 0.0;
};

// A label under every vertical grid line and both ends: 11 with ten
// divisions, 6 with five; "%.2f" in mm, "%.0f" by sample number.
[[nodiscard]] std::vector<AxisLabel> xAxisLabels(double xMin, double xMax, bool tenDivisions, XAxisType axis);
// The labels of a y axis at round values (1, 2 or 5 times a power of ten),
// as the window's axes have them, with as many decimals as the step needs;
// on a log axis one per decade. Labels a page can read at a glance and a
// notebook can quote, rather than the grid lines' odd values.
[[nodiscard]] std::vector<AxisLabel> yAxisLabels(double yMin, double yMax, bool logScale = false);
[[nodiscard]] const char* xAxisTitle(XAxisType axis);

}  // namespace corvane
