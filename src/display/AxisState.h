#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "display/Channels.h"
#include "graph/AxisScaling.h"

namespace corvane {

// The x axis: the sample number or the piston's position (the window's
// two), or, as DE-1 SETUP's graph axes choose, the volume the position
// stands for, or the time from the run's start.
enum class XAxisType : int { SampleNumber = 0, Millimetres = 1, Millilitres = 2, Seconds = 3, Minutes = 4 };

// The axes a run is laid on by its position (mm, ml) rather than by its
// sample count (number, s, min).
[[nodiscard]] constexpr bool byPosition(XAxisType type) {
    return type == XAxisType::Millimetres || type == XAxisType::Millilitres;
}
// "mm", "number", "ml", "s", "min": what the command line and the
// settings call an axis; nothing for anything else.
[[nodiscard]] std::optional<XAxisType> xAxisTypeNamed(std::string_view name);

// How an axis writes its values: the printf format of a value, its unit
// after it (none for sample numbers), and its titles on the page and beside
// the window's plot.
struct XAxisWords {
    const char* format;
    const char* unit;
    const char* pageTitle;
    const char* windowTitle;
};
[[nodiscard]] XAxisWords xAxisWords(XAxisType type);
// A value with its unit: "12.50 mm", "300".
[[nodiscard]] std::string xValueText(double x, XAxisType type);

// The four axis boxes with spins beside the graph.
enum class AxisBox { YMax, YMin, YYMax, YYMin };

// The texts beside the graph's axes.
struct AxisTexts {
    std::string yMax;
    std::string yMin;
    std::string yyMax;
    std::string yyMin;
    std::string windowMm;       // "%.2f"
    std::string windowSamples;  // "%.0f"
};

// The view FOCUS saves and RESET brings back: the channel switches and the
// three ranges.
struct GraphViewState {
    std::array<bool, kChannelCount> shown{};
    AxisRange x;
    AxisRange y;
    AxisRange yy;
};

// The view settings the window keeps in "prefs.cfg".
struct ViewSettings {
    std::array<bool, kChannelCount> shown{true, true, true, true, true, true, true};
    double windowSamples = 500.0;
    double windowMm = 100.0;
    double xMin = 0.0;
    double xMax = 500.0;
    AxisRange y{0.0, 2.0};
    AxisRange yy{0.0, 2.0};
    bool xAutoScale = false;
    bool yAutoScale = false;
    bool yyAutoScale = false;
    bool showGrid = false;
    bool logScale = false;
    int aufs = 0;
    int xAutoWidth = 25000;
};

// Graph Options' Apply, checked already: the switches and the typed limits.
struct GraphOptions {
    bool showGrid = false;
    bool xAutoScale = false;
    bool yAutoScale = false;
    bool yyAutoScale = false;
    bool logScale = false;
    int xAutoWidth = 25000;
    AxisRange x;
    AxisRange y;
    AxisRange yy;
};

// The graph's axes as the operator set them: the channels switched on, the
// x axis (sample number or mm) with its window widths and range, the Y and
// YY ranges with their auto-scales and log scale, the grid, the AUFS step
// of DE-1 data, the event marks, and the view a zoom saved. Plain values
// and the rules that change them; what is drawn on them is a Scene's.
//
// Where a rule depends on what is shown (the whole of a loaded run, a DE-1
// range), the caller hands that in.
//
// Threads: the window's thread.
class AxisState {
public:
    static constexpr double kDefaultSampleWindow = 500.0;
    static constexpr int kMaxAutoWidth = 25000;
    static constexpr int kMinAutoWidth = 100;
    // One wheel step zooms by this factor.
    static constexpr double kWheelZoom = 0.8;

    void apply(const ViewSettings& settings);
    [[nodiscard]] ViewSettings settings() const;

    // --- Channels ---
    [[nodiscard]] const std::array<bool, kChannelCount>& shown() const { return shown_; }
    [[nodiscard]] bool channelShown(int channel) const;
    void setChannelShown(int channel, bool shown);
    // The Y controls hide when no Y channel is on.
    [[nodiscard]] bool anyYChannel() const;

    // --- X ---
    [[nodiscard]] XAxisType xAxisType() const { return xAxisType_; }
    // x is a run's position (mm or ml): the window by position applies.
    [[nodiscard]] bool byPosition() const { return corvane::byPosition(xAxisType_); }
    // The axis switches; the range becomes `whole` (a loaded run shown
    // whole) or else the window from 0.
    void setXAxisType(XAxisType type, std::optional<AxisRange> whole);
    [[nodiscard]] AxisRange xRange() const { return {xMin_, xMax_}; }
    void setXRange(AxisRange x);
    [[nodiscard]] bool xAutoScale() const { return xAutoScale_; }
    [[nodiscard]] int xAutoWidth() const { return xAutoWidth_; }
    [[nodiscard]] double windowMm() const { return windowMm_; }
    [[nodiscard]] double windowSamples() const { return windowSamples_; }
    void setWindowSamples(double samples) { windowSamples_ = samples; }
    [[nodiscard]] std::string windowText(bool mm) const;
    // A typed window width (mm or samples): false when not taken. On the
    // current axis with `centred` the window is centred on the main cursor
    // (setWindowCentre), else on the middle of what is shown.
    bool windowSizeEdited(bool mm, std::string_view text, bool centred);
    // A spin click on a window box: the width doubles (up) or halves.
    bool windowSizeSpin(bool mm, bool up, bool centred);
    void setWindowCentre(std::optional<double> x) { windowCentre_ = x; }
    [[nodiscard]] bool windowCentred() const { return windowCentre_.has_value(); }

    // --- Y and YY ---
    [[nodiscard]] AxisRange yRange() const { return {yMin_, yMax_}; }
    [[nodiscard]] AxisRange yyRange() const { return {yyMin_, yyMax_}; }
    void setYYRange(AxisRange yy);
    // The Y range set from outside the auto-scale (a profile of another
    // instrument fitted as it opens).
    void setYRange(AxisRange y);
    [[nodiscard]] bool yAutoScale() const { return yAutoScale_; }
    [[nodiscard]] bool yyAutoScale() const { return yyAutoScale_; }
    // Y auto-scale off on DE-1 data puts the AUFS range back.
    void setYAutoScale(bool on, bool de1);
    void setYYAutoScale(bool on) { yyAutoScale_ = on; }
    [[nodiscard]] bool logScale() const { return logScale_; }
    [[nodiscard]] bool showGrid() const { return showGrid_; }
    void setShowGrid(bool on) { showGrid_ = on; }
    [[nodiscard]] AxisTexts axisTexts() const;
    // A typed limit ("%lf"): false for a text that is not a number.
    bool axisTextEdited(AxisBox box, std::string_view text);
    // One spin click: the box's text moved by a quarter of its axis range.
    bool axisSpin(AxisBox box, std::string_view text, bool up);
    // A live run's values outside a Y range that no auto-scale follows (one
    // saved from a zoom of a file, say): the range widens to show them, a
    // twentieth of its span to spare on the side that moved. The range from
    // before is kept for the files shown later and for the settings, until
    // the operator sets one of his own. False once he has (or with Y
    // auto-scale or log scale on): this live run is then left as he set it.
    bool widenForLive(AxisRange values);
    // A file is shown: a live widening still standing gives way to the
    // range it widened.
    void endLiveWidening();
    // The auto-scales that are on take the extremes found (a log axis whole
    // decades, a flat signal opened a little); nothing found keeps a limit.
    void autoScale(const std::optional<AxisRange>& y, const std::optional<AxisRange>& yy);
    // DE-1 data without Y auto-scale: 0 to the AUFS step's value, or in
    // volts 0.0 to 1.0.
    void useAufsRange();
    // DE-1 SETUP's graph y axis "0.0-1.0 V": DE-1 data shown in volts.
    [[nodiscard]] bool volts() const { return volts_; }
    void setVolts(bool on) { volts_ = on; }

    // --- Options, zoom, full range ---
    // With X auto-scale on the range becomes `whole`; with Y auto-scale off
    // and log on the typed y range is widened to four decades.
    void applyOptions(const GraphOptions& options, std::optional<AxisRange> whole);
    [[nodiscard]] GraphViewState viewState() const;
    // FOCUS (or the first wheel step): saved unless a zoom is active; true
    // when saved now.
    bool saveViewForZoom();
    [[nodiscard]] bool zoomActive() const { return savedView_.has_value(); }
    void dropSavedView() { savedView_.reset(); }
    // A FOCUS box in axis units (either corner order): Y auto-scale goes
    // off, the yy range stays. False for a click, not a box.
    bool applyZoom(AxisRange x, AxisRange y);
    // The wheel: steps > 0 zoom in around (x, y), < 0 out; y when yAxis.
    bool wheelZoom(double x, double y, int steps, bool yAxis);
    // RESET beside FOCUS: the view the first FOCUS saved.
    bool resetZoom();
    // RESET beside the window size: x is `whole`, its width the window's,
    // Y and YY auto-scale on.
    void resetFullRange(AxisRange whole);
    // The Y limits no longer come from the last auto-scale (the texts say so).
    void forgetAutoScaled() { yAutoScaled_ = false; }

    // --- AUFS and event marks (DE-1) ---
    [[nodiscard]] int aufsIndex() const { return aufsIndex_; }
    void setAufsIndex(int step);
    // "0.01" ... "1.00", "2.00".
    [[nodiscard]] std::string aufsLabel() const;
    [[nodiscard]] bool eventMarksShown() const { return eventMarksShown_; }
    void setEventMarksShown(bool shown) { eventMarksShown_ = shown; }

private:
    void setAxisLimit(AxisBox box, double value);

    std::array<bool, kChannelCount> shown_{true, true, true, true, true, true, true};
    XAxisType xAxisType_ = XAxisType::SampleNumber;
    double xMin_ = 0.0;
    double xMax_ = kDefaultSampleWindow;
    double yMin_ = 0.0;
    double yMax_ = 2.0;
    double yyMin_ = 0.0;
    double yyMax_ = 2.0;
    bool xAutoScale_ = false;
    bool yAutoScale_ = false;
    bool yyAutoScale_ = false;
    bool yAutoScaled_ = false;  // the Y limits come from the last auto-scale
    bool logScale_ = false;
    bool showGrid_ = false;
    int xAutoWidth_ = kMaxAutoWidth;
    double windowSamples_ = kDefaultSampleWindow;
    double windowMm_ = 100.0;
    int aufsIndex_ = 0;
    bool eventMarksShown_ = true;
    bool volts_ = false;
    std::optional<GraphViewState> savedView_;
    // The Y range before a live run widened it, and the range it widened to.
    std::optional<AxisRange> keptY_;
    AxisRange widenedY_;
    std::optional<double> windowCentre_;
};

}  // namespace corvane
