#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "compare/AlignPeaks.h"
#include "compare/CompareOffsets.h"
#include "graph/Rgb.h"
#include "display/Channels.h"
#include "display/LiveTraces.h"
#include "graph/AxisScaling.h"
#include "runs/RunDataFile.h"

namespace corvane {

class CompareSets;
class GraphModel;
class LiveFeed;
class LiveGraph;

enum class XAxisType : int { SampleNumber = 0, Millimetres = 1 };

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

// The overlay's slots: the current run's Abs A, Abs B and ratio go to 0..2,
// the overlay's to 3..5.
inline constexpr int kOverlaySlotBase = 3;

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

// What the graph shows and how: the channels switched on, the x axis (sample
// number or mm) and its window, the Y and YY ranges and their auto-scales,
// the grid, the AUFS step of a DE-1 run, the event marks; the live run's
// traces (LiveTraces, from the LiveFeed's ring) or a loaded run file's; and
// the axis boxes' texts and what typing into them does.
//
// Threads: the window's thread only. The receive thread never reaches it:
// it leaves samples in the LiveFeed, and syncLive() takes them from there.
class GraphView {
public:
    static constexpr double kDefaultSampleWindow = 500.0;
    static constexpr int kMaxAutoWidth = 25000;
    static constexpr int kMinAutoWidth = 100;
    // One wheel step zooms by this factor.
    static constexpr double kWheelZoom = 0.8;

    GraphView(LiveFeed& feed, LiveGraph& graph);

    // --- Settings ---
    void apply(const ViewSettings& settings);
    [[nodiscard]] ViewSettings settings() const;

    // --- The picture ---
    // Rebuilds the trace slots from the data on show (live or loaded), runs
    // the auto-scales that are on and repaints whole. de1Source and
    // recording are the session's and the controller's states now.
    void refresh(bool de1Source, bool recording);
    void refresh() { refresh(de1Source_, recording_); }
    // The samples that arrived since: added to the live traces, the axes
    // moved, what changed repainted. Nothing while a file is shown.
    void syncLive();

    // --- Channels ---
    [[nodiscard]] bool channelShown(int channel) const;
    // Shows or hides a trace and redraws.
    void setChannelShown(int channel, bool shown);
    // "Sample A" ... "AbsA/AbsB"; DE-1 data names Abs A "Voltage" and the
    // ratio "Mark".
    [[nodiscard]] std::string channelCaption(int channel) const;
    // The Y controls hide when no Y channel is on; the YY controls show only
    // with the ratio on and data that is not DE-1.
    [[nodiscard]] bool yControlsVisible() const;
    [[nodiscard]] bool yyControlsVisible() const;

    // --- Axes ---
    [[nodiscard]] XAxisType xAxisType() const { return xAxisType_; }
    void setXAxisType(XAxisType type);
    [[nodiscard]] bool yAutoScale() const { return yAutoScale_; }
    [[nodiscard]] bool yyAutoScale() const { return yyAutoScale_; }
    void setYAutoScale(bool on);
    void setYYAutoScale(bool on);
    [[nodiscard]] bool showGrid() const { return showGrid_; }
    void setShowGrid(bool on);
    [[nodiscard]] bool xAutoScale() const { return xAutoScale_; }
    [[nodiscard]] bool logScale() const { return logScale_; }
    [[nodiscard]] int xAutoWidth() const { return xAutoWidth_; }
    // Graph Options' Apply, checked already: the switches and the typed
    // limits. With X auto-scale on a loaded run is shown whole; with Y
    // auto-scale off and log on the typed y range is widened to four decades.
    struct Options {
        bool showGrid = false;
        bool xAutoScale = false;
        bool yAutoScale = false;
        bool yyAutoScale = false;
        bool logScale = false;
        int xAutoWidth = kMaxAutoWidth;
        AxisRange x;
        AxisRange y;
        AxisRange yy;
    };
    void applyOptions(const Options& options);
    [[nodiscard]] AxisRange xRange() const { return {xMin_, xMax_}; }
    [[nodiscard]] AxisRange yRange() const { return {yMin_, yMax_}; }
    [[nodiscard]] AxisRange yyRange() const { return {yyMin_, yyMax_}; }
    [[nodiscard]] AxisTexts axisTexts() const;
    // A typed limit ("%lf"); an unreadable text changes nothing.
    void axisTextEdited(AxisBox box, std::string_view text);
    // One spin click: the box's text moved by a quarter of its axis range.
    void axisSpin(AxisBox box, std::string_view text, bool up);
    // A typed window width (mm or samples): true when it was taken (the
    // window then keeps it in the settings at once).
    bool windowSizeEdited(bool mm, std::string_view text);
    // A spin click on a window box: the width doubles (up) or halves.
    bool windowSizeSpin(bool mm, bool up);
    // A typed width centres the window on the main cursor when there is one.
    void setWindowCentre(std::optional<double> x) { windowCentre_ = x; }

    // --- Zoom ---
    [[nodiscard]] GraphViewState viewState() const;
    // FOCUS (or the first wheel step): the view is saved unless a zoom is
    // already active; true when it was saved now.
    bool saveViewForZoom();
    [[nodiscard]] bool zoomActive() const { return savedView_.has_value(); }
    // Applies a FOCUS box given in axis units (either corner order): Y
    // auto-scale goes off, the yy range stays.
    void applyZoom(AxisRange x, AxisRange y);
    // The mouse wheel: steps > 0 zoom in around (x, y), < 0 out; on the y
    // axis when yAxis (Shift), else on x.
    void wheelZoom(double x, double y, int steps, bool yAxis);
    // RESET beside FOCUS: the view saved by the first FOCUS.
    void resetZoom();
    // RESET beside the window size: the whole run on x (a recording live run
    // by mm: 0 to where it is now), Y and YY auto-scale on.
    void resetFullRange();
    [[nodiscard]] double windowMm() const { return windowMm_; }
    [[nodiscard]] double windowSamples() const { return windowSamples_; }
    [[nodiscard]] std::string windowText(bool mm) const;

    // --- AUFS and event marks (DE-1) ---
    [[nodiscard]] int aufsIndex() const { return aufsIndex_; }
    // A radio button under "Absorbance Units Full Scale (AUFS)": the DE-1
    // trace's range follows (unless Y is auto-scaled).
    void setAufs(int step);
    // "0.01" ... "1.00", "2.00".
    [[nodiscard]] std::string aufsLabel() const;
    [[nodiscard]] bool eventMarksShown() const { return eventMarksShown_; }
    void setEventMarksShown(bool shown);
    // The data on show is DE-1 data (a DE-1 source, else the file shown).
    [[nodiscard]] bool de1Mode() const;
    void setDe1Source(bool on) { de1Source_ = on; }
    // The live DE-1 run was started by OD sensing (its window starts there).
    void setOdSensingStart(bool on) { odSensingStart_ = on; }
    // How far (mm) the live run's event marks lie ahead of its trace; they
    // are drawn that much earlier, where the saved run will have them.
    void setRunStartOffset(double mm) { liveStartOffset_ = mm; }
    // The same for the run shown now: the live run's, or a loaded DE-1 run's
    // dead-volume distance while its marks are still as recorded (a run
    // file from TEMP, never saved or rescued); 0 otherwise.
    [[nodiscard]] double runStartOffset() const;

    // The current run's sample numbers (first, last) and, in mm, the
    // position of the next sample beyond x (right) or before it; nothing
    // when there is none.
    [[nodiscard]] std::optional<AxisRange> sampleNumberSpan() const;
    [[nodiscard]] std::optional<double> nextPosition(double x, bool right) const;
    // Moves the x window (a loaded run, or a live one held by a zoom).
    void showXRange(AxisRange x);

    // --- The overlay (set 1) over the current run (set 0) ---
    void setOverlay(RunDataFile file, std::filesystem::path path);
    void removeOverlay();
    [[nodiscard]] bool overlayShown() const { return overlay_.has_value(); }
    [[nodiscard]] const RunDataFile* overlay() const { return overlay_ ? &*overlay_ : nullptr; }
    [[nodiscard]] const std::filesystem::path& overlayPath() const { return overlayPath_; }
    // Gains and offsets of the sets shown together.
    [[nodiscard]] CompareOffsets& offsets() { return offsets_; }
    [[nodiscard]] const CompareOffsets& offsets() const { return offsets_; }
    // The set a slot shows (overlay: 3..5 are set 1, the rest set 0).
    [[nodiscard]] int setOfSlot(int slot) const;
    // The x shift of a set on the current axis: its x offset in samples, or
    // in mm that offset over the set's samples per mm.
    [[nodiscard]] double xShiftOf(int set) const;
    // The Abs A traces AUTO-ALIGN searches: the current run and the overlay.
    [[nodiscard]] std::vector<AlignTrace> alignTraces() const;
    // The samples of the current run and of the overlay at x (cursor readouts).
    [[nodiscard]] std::optional<SampleRecord> currentSampleAt(double x) const;
    [[nodiscard]] std::optional<SampleRecord> overlaySampleAt(double x) const;
    // Where the current run's sample at x lies on the other x axis: cursors
    // keep their sample across a switch. Nothing in compare mode or without samples.
    [[nodiscard]] std::optional<double> xOnOtherAxis(double x) const;
    // A standard run's trace is kept with its extremes for the auto-scale.
    void setStandardProfile(const RunDataFile* file) { standard_ = file; }

    // --- Compare mode: a compare window's sets, set k in slot k (in its
    // colour) and its DE-1 marks in slot k + 4; every set shows one channel ---
    // Null leaves compare mode. The sets are the compare window's and
    // outlive the view's use of them.
    void setCompareSets(const CompareSets* sets, int plotType, const std::array<Rgb, 4>& colours);
    [[nodiscard]] const CompareSets* compareSets() const { return compare_; }
    [[nodiscard]] int comparePlotType() const { return comparePlot_; }
    // The sample of compare set `set` drawn at x (its shift taken off);
    // nothing where the set has no sample drawn.
    [[nodiscard]] std::optional<SampleRecord> compareSampleAt(int set, double x) const;
    // The compare sets' x range on the current axis: by the x auto-scale
    // switch, or as with it on (every set whole) when `whole`.
    [[nodiscard]] AxisRange compareXRange(bool whole) const;
    // An overlay or compare sets are shown (AUTO-ALIGN and the trace drag work on them).
    [[nodiscard]] bool setsShown() const { return overlay_.has_value() || compare_ != nullptr; }

    // --- A loaded run ---
    // Shows the run whole on its x axis instead of the live run.
    void showFile(RunDataFile file, std::filesystem::path path);
    // Back to the live run, its sample window `windowSamples` wide.
    void closeFile(double windowSamples);
    [[nodiscard]] bool fileShown() const { return file_.has_value(); }
    [[nodiscard]] const std::filesystem::path& shownPath() const { return shownPath_; }
    [[nodiscard]] const RunDataFile* shownFile() const { return file_ ? &*file_ : nullptr; }

private:
    // A loaded run's slots, auto-scaled on its values inside the x range.
    void buildLoaded(GraphModel& model);
    // The overlay's slots; its values inside the x range widen the scans.
    void buildOverlay(GraphModel& model, AutoScaleRange& yScan, AutoScaleRange& yyScan);
    // A standard run's values inside the x range widen the Y scan.
    void scanStandard(AutoScaleRange& yScan) const;
    [[nodiscard]] std::array<int, kChannelCount> slotMap() const;
    void configureMarks(GraphModel& model, bool live);
    void setMarks(GraphModel& model, int slot) const;
    // The Y and YY ranges (auto-scaled where switched on), the x range, the
    // grid and the context into the model.
    void applyAxes(GraphModel& model, const std::optional<AxisRange>& yScan,
                   const std::optional<AxisRange>& yyScan);
    [[nodiscard]] LiveWindow liveWindow() const;
    [[nodiscard]] bool anyYChannel() const;
    // A loaded run whole, or the compare sets by their x rules.
    void fitXToShown();
    void setAxisLimit(AxisBox box, double value);
    // Compare mode's slots, auto-scaled on the sets' values inside the x range.
    void buildCompare(GraphModel& model);
    [[nodiscard]] std::vector<AlignTrace> compareAlignTraces() const;
    // The reference set as drawn: its first and last x, and in mm its
    // positions (the arrow keys step through them).
    [[nodiscard]] std::optional<AxisRange> compareSampleSpan() const;
    [[nodiscard]] std::vector<double> compareReferencePositions() const;
    // The run file a set shows: the current run (0) or the overlay (1), a compare set.
    [[nodiscard]] const RunDataFile* setFile(int set) const;

    LiveFeed& feed_;
    LiveGraph& graph_;
    LiveTraces live_;

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
    [[nodiscard]] double xShiftOf(int set, XAxisType axis) const;
    std::optional<RunDataFile> file_;
    std::filesystem::path shownPath_;
    std::optional<RunDataFile> overlay_;
    std::filesystem::path overlayPath_;
    const RunDataFile* standard_ = nullptr;
    const CompareSets* compare_ = nullptr;
    int comparePlot_ = 2;
    std::array<Rgb, 4> compareColours_{};
    CompareOffsets offsets_;
    std::optional<GraphViewState> savedView_;
    std::optional<double> windowCentre_;
    bool de1Source_ = false;  // the session's, as of the last refresh
    bool recording_ = false;  // the controller's, as of the last refresh
    bool odSensingStart_ = false;
    double liveStartOffset_ = 0.0;
    // The feed's generation the live traces last showed: a clear drops a
    // message kept on the live picture, as any picture rebuilt does.
    std::uint64_t shownGeneration_ = 0;
};

}  // namespace corvane
