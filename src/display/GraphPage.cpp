#include "display/GraphPage.h"

#include <cctype>

#include "base/TextFormat.h"
#include "graph/AxisTicks.h"

namespace corvane {

namespace {

constexpr double kPointsPerInch = 72.0;
// The resolution the page's font sizes are counted at.
constexpr double kLayoutDpi = 100.0;
// As many y labels as the window's axis shows on the standard graph.
constexpr int kMostYLabels = 7;
constexpr double kLandscapePlotInches = 9.5;
constexpr double kLandscapePageInches = 11.0;

int inches(double dpi, double in) { return static_cast<int>(dpi * in + 0.5); }

}  // namespace

PageGeometry pageGeometry(PageTarget target) {
    const double dpi = target.dpi;
    const double plotInches = target.landscape ? 9.5 : 5.0;
    PageGeometry g;
    g.s = dpi * plotInches / kStandardPlotWidth;
    g.pageWidth = inches(dpi, target.landscape ? 11.0 : 8.5);
    g.pageHeight = inches(dpi, target.landscape ? 8.5 : 11.0);
    g.plot.left = inches(dpi, target.landscape ? 0.75 : 2.0);
    g.plot.top = inches(dpi, target.landscape ? 1.2 : 3.5);
    g.plot.right = g.plot.left + static_cast<int>(g.s * kStandardPlotWidth + 0.5);
    g.plot.bottom = g.plot.top + static_cast<int>(g.s * kStandardPlotHeight + 0.5);
    // The fonts follow the page's width, not the plot's: text set for the
    // portrait page's narrow plot (5 in against 9.5) came out half the
    // landscape size and too small to read; against the page's width it is
    // now as large as on a landscape page.
    const double pageInches = target.landscape ? 11.0 : 8.5;
    const double textScale = dpi * kLandscapePlotInches / kStandardPlotWidth * pageInches / kLandscapePageInches;
    g.smallFontPoints = 4.0 * textScale;
    g.largeFontPoints = 6.0 * textScale;
    g.smallFontPixels = g.smallFontPoints * kLayoutDpi / kPointsPerInch;
    g.largeFontPixels = g.largeFontPoints * kLayoutDpi / kPointsPerInch;
    g.framePen = 2.0 * g.s;
    g.gridPen = g.s / 2.0;
    g.linePen = g.s;
    return g;
}

PageTarget printTarget(int printQuality, bool portrait) {
    int dpi = 150;
    if (printQuality > 0) {
        dpi = printQuality;
    } else if (printQuality == kPrintQualityHigh) {
        dpi = 600;
    } else if (printQuality == kPrintQualityMedium) {
        dpi = 300;
    }
    return PageTarget{!portrait, dpi};
}

PageFileKind pageFileKind(std::string_view path) {
    auto endsWith = [&](std::string_view tail) {
        if (path.size() < tail.size()) {
            return false;
        }
        const std::string_view end = path.substr(path.size() - tail.size());
        for (std::size_t i = 0; i < tail.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(end[i])) != tail[i]) {
                return false;
            }
        }
        return true;
    };
    if (endsWith(".pdf")) {
        return PageFileKind::Pdf;
    }
    if (endsWith(".svg")) {
        return PageFileKind::Svg;
    }
    if (endsWith("png")) {
        return PageFileKind::Png;
    }
    if (endsWith("tif") || endsWith("iff")) {
        return PageFileKind::Tiff;
    }
    return PageFileKind::Bmp;
}

const char* pageFileKindName(PageFileKind kind) {
    switch (kind) {
        case PageFileKind::Png: return "png";
        case PageFileKind::Tiff: return "tiff";
        case PageFileKind::Pdf: return "pdf";
        case PageFileKind::Svg: return "svg";
        default: return "bmp";
    }
}

std::vector<AxisLabel> xAxisLabels(double xMin, double xMax, bool tenDivisions, XAxisType axis) {
    const int divisions = tenDivisions ? 10 : 5;
    std::vector<AxisLabel> labels;
    labels.reserve(static_cast<std::size_t>(divisions) + 1);
    for (int i = 0; i <= divisions; ++i) {
        const double at = static_cast<double>(i) / divisions;
        const double value = xMin + (xMax - xMin) * at;
        labels.push_back({formatText(xAxisWords(axis).format, value), at});
    }
    return labels;
}

std::vector<AxisLabel> yAxisLabels(double yMin, double yMax, bool logScale) {
    std::vector<AxisLabel> labels;
    if (!(yMax > yMin)) {
        return labels;
    }
    for (AxisTick& tick : logScale ? logTicks(yMin, yMax) : linearTicks(yMin, yMax, kMostYLabels)) {
        labels.push_back({std::move(tick.label), (tick.value - yMin) / (yMax - yMin)});
    }
    return labels;
}

const char* xAxisTitle(XAxisType axis) { return xAxisWords(axis).pageTitle; }

}  // namespace corvane
