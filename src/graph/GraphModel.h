#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graph/FractionPlanHook.h"
#include "graph/NumberedFractions.h"
#include "graph/GraphAnnotations.h"
#include "graph/PixelGeometry.h"
#include "graph/Rgb.h"
#include "graph/TraceValues.h"

namespace corvane {

inline constexpr int kTraceSlots = 8;

// The eight trace slots. With an overlay or in compare mode the main window
// puts other channels into them (slot use belongs to the main window).
enum TraceSlotIndex : int {
    kSlotSampleA = 0,
    kSlotSourceA = 1,
    kSlotAbsA = 2,  // DE-1: Voltage
    kSlotSampleB = 3,
    kSlotSourceB = 4,
    kSlotAbsB = 5,
    kSlotRatio = 6,  // AbsA/AbsB; DE-1: Mark
    kSlotSpare = 7,  // a second data set's mark channel
};

// One trace: its points and how it is drawn.
struct TraceSlot {
    TraceValues x;
    TraceValues y;
    // A non-zero entry enlarges that point's marker; missing entries are 0.
    std::vector<int> pointFlag;
    Rgb colour;
    double yGain = 1.0;
    double xGain = 1.0;
    bool dashed = false;
    bool markers = false;
    // The event-mark trace: ticks at rising edges instead of a line, always
    // on the YY axis.
    bool markStyle = false;
    bool startLine = false;
    // When above 0, x values after the first are shifted by xShift on the
    // way in; for the mark trace it is also the tick height as a fraction of
    // the plot height.
    double xOffsetGate = 0.0;
    double xShift = 0.0;
    // Vertical shift in pixels added to every point.
    int pixelOffset = 0;
    // How many points were let go of from the front since the slot's data
    // was last replaced: the first point held is point firstIndex of what
    // was added. A kept picture knows from it which points it has drawn.
    std::uint64_t firstIndex = 0;

    [[nodiscard]] int count() const { return static_cast<int>(x.size()); }
};

// A cursor line as the graph draws it.
struct GraphCursor {
    double position = 0.0;  // x-axis units
    bool handleShown = false;
    int handleY = 0;  // the handle's centre row

    friend bool operator==(const GraphCursor&, const GraphCursor&) = default;
};

// What the main window knows about the run on show that changes the picture.
struct GraphContext {
    bool liveRun = false;            // a live run exists
    bool recording = false;          // ... and it is recording
    bool collectionPending = false;  // fraction collection steps are still to come
    bool eventMarksShown = true;     // "Show Event Marks" rather than "Do Not Show Event Marks"
    // Channel B of the data shown is a fluorescence channel (in compare
    // mode: of the reference data set).
    bool fluorescence = false;
    bool compareMode = false;
    bool compareReferenceShown = false;  // compare mode: the reference window is the one shown
    bool xAxisInMm = false;
    bool overlayOrStandardShown = false;  // an overlay or a standard run is on the graph
    double runStartOffset = 0.0;          // the current run's start offset, mm

    friend bool operator==(const GraphContext&, const GraphContext&) = default;
};

// Everything the graph shows, free of any window system. Not thread-safe:
// its owner serialises access (CGraphCtrl holds the trace lock around it).
//
// A picture kept between paints (GraphCanvas) needs to know what changed:
// revision() moves with every change of what the traces, grid and ticks
// look like, except points added at the end of a slot or let go of at its
// front (TraceSlot::firstIndex and count() tell those); overlayRevision()
// moves with what is drawn over them (message, cursors, boxes, drag line).
// Setting a value a member already has changes nothing.
class GraphModel {
public:
    GraphModel();

    // Copies n points into the slot: y times gain (unless gain is exactly
    // 1.0), x shifted after the first point when the slot's gate is open,
    // then the log mapping when log scale is on. Ignored when n < 1.
    bool setTraceData(const double* x, const double* y, int n, int slot, double gain);
    // Adds n points after the slot's last as setTraceData would have copied
    // them (gain, shift, log mapping); the slot's other points stay.
    bool appendTraceData(const double* x, const double* y, int n, int slot, double gain);
    // Lets go of the slot's n oldest points.
    void dropOldestPoints(int slot, int n);
    void setTracePointFlags(int slot, const int* flags, int n);
    // Removes the points and puts the slot's display settings (gains, style,
    // mark configuration, pixel offset) back to their defaults; the colour
    // stays.
    void clearTrace(int slot);
    void clearAllTraces();
    // Removes the points only.
    void emptyTrace(int slot);

    void setXRange(double min, double max);
    void setYRanges(double yMin, double yMax, double yyMin, double yyMax, bool logScale,
                    bool ratioOnYY);
    void getRanges(double& xMin, double& xMax, double& yMin, double& yMax) const;
    void getYYRange(double& min, double& max) const;

    void setTraceColour(int slot, Rgb colour);
    [[nodiscard]] Rgb getTraceColour(int slot) const;
    void resetColours();
    void setTraceStyle(int slot, bool dashed, bool markers);
    void setTraceYGain(int slot, double gain);
    void setTraceXGain(int slot, double gain);
    // Configures the event-mark trace. runStartOffset is the current run's
    // start offset; the graph keeps its negation when any slot has a start
    // line.
    void setMarkTrace(int slot, bool markStyle, double tickHeight, double xShift, bool startLine,
                      double runStartOffset);
    // A y offset in axis units becomes a pixel shift for a plot clientHeight
    // pixels high, where range is the y range the offset is measured on.
    void setTracePixelOffset(int slot, double offset, double range, int clientHeight);

    void setShowGrid(bool on) { change(showGrid_, on); }
    void setTenXDivisions(bool on) { change(tenXDivisions_, on); }
    void setOverlayMode(bool on) { change(overlayMode_, on); }
    void setShowPlanZones(bool on) { change(showPlanZones_, on); }
    void setContext(const GraphContext& context) { change(context_, context); }

    void setCursorList(bool show, std::vector<GraphCursor> cursors);
    // The AUTO-ALIGN line and the FOCUS box: started at a point, extended to
    // the mouse, read back for their start, cleared.
    void startDragLine(PixelPoint at);
    void extendDragLine(PixelPoint to);
    [[nodiscard]] std::optional<PixelPoint> dragLineStart() const;
    void clearDragLine() { changeOverlay(dragLine_, std::nullopt); }
    void startZoomBox(PixelPoint at);
    void extendZoomBox(PixelPoint to);
    [[nodiscard]] std::optional<PixelPoint> zoomBoxStart() const;
    void clearZoomBox() { changeOverlay(zoomBox_, std::nullopt); }
    void setSelectionBox(std::optional<PixelRect> box) { changeOverlay(selectionBox_, box); }
    // Not owned; null detaches. A plan that changes calls for a picture
    // rebuilt from scratch (redrawAll of the control).
    void setFractionPlan(const FractionPlanHook* plan) { change(fractionPlan_, plan); }
    // The fractions the shown run was cut into (collecting by peaks); while
    // there are any, they are numbered in place of the plan's.
    void setNumberedFractions(NumberedFractions fractions) { change(numbered_, fractions); }

    // What an analysis lays over the traces (drawn with the cursors, so a
    // dragged valley repaints no trace).
    void setAnnotations(GraphAnnotations annotations) { changeOverlay(annotations_, annotations); }
    [[nodiscard]] const GraphAnnotations& annotations() const { return annotations_; }

    // One line shown by the next paint. During a live run it stays until the
    // picture is rebuilt (redrawAll), as it would on a picture painted over.
    void showMessage(std::string text);
    [[nodiscard]] bool messageVisible() const;
    [[nodiscard]] const std::string& messageText() const { return messageText_; }
    // Called after each paint that went to the screen.
    void messagePainted();
    // The picture is being rebuilt from scratch.
    void redrawAll();

    // The slot's last x value without its shift; 0 for an empty slot.
    [[nodiscard]] double lastX(int slot) const;
    // Whether the slot is drawn against the YY (right) axis.
    [[nodiscard]] bool usesRightAxis(int slot) const;

    // An empty slot for an index outside 0..7.
    [[nodiscard]] const TraceSlot& slot(int slot) const;
    [[nodiscard]] double xMin() const { return xMin_; }
    [[nodiscard]] double xMax() const { return xMax_; }
    [[nodiscard]] double yMin() const { return yMin_; }
    [[nodiscard]] double yMax() const { return yMax_; }
    [[nodiscard]] double yyMin() const { return yyMin_; }
    [[nodiscard]] double yyMax() const { return yyMax_; }
    [[nodiscard]] bool logScale() const { return logScale_; }
    [[nodiscard]] bool ratioOnYY() const { return ratioOnYY_; }
    [[nodiscard]] bool showGrid() const { return showGrid_; }
    [[nodiscard]] bool tenXDivisions() const { return tenXDivisions_; }
    [[nodiscard]] bool overlayMode() const { return overlayMode_; }
    [[nodiscard]] bool showPlanZones() const { return showPlanZones_; }
    [[nodiscard]] bool fullGraphMode() const { return fullGraphMode_; }
    [[nodiscard]] const GraphContext& context() const { return context_; }
    [[nodiscard]] bool showCursors() const { return showCursors_; }
    [[nodiscard]] const std::vector<GraphCursor>& cursors() const { return cursors_; }
    [[nodiscard]] const std::optional<PixelRect>& dragLine() const { return dragLine_; }
    [[nodiscard]] const std::optional<PixelRect>& zoomBox() const { return zoomBox_; }
    [[nodiscard]] const std::optional<PixelRect>& selectionBox() const { return selectionBox_; }
    [[nodiscard]] const FractionPlanHook* fractionPlan() const {
        return numbered_.empty() ? fractionPlan_ : &numbered_;
    }
    [[nodiscard]] bool startLineFlag() const { return startLineFlag_; }
    [[nodiscard]] double startOffset() const { return startOffset_; }

    [[nodiscard]] std::uint64_t revision() const { return revision_; }
    [[nodiscard]] std::uint64_t overlayRevision() const { return overlayRevision_; }

private:
    enum class MessageState { None, Pending, Kept };

    [[nodiscard]] static bool valid(int slot) { return slot >= 0 && slot < kTraceSlots; }
    TraceSlot& at(int slot) { return slots_[static_cast<size_t>(slot)]; }
    template <class T, class U>
    void change(T& member, const U& value) {
        if (!(member == value)) {
            member = value;
            ++revision_;
        }
    }
    template <class T, class U>
    void changeOverlay(T& member, const U& value) {
        if (!(member == value)) {
            member = value;
            ++overlayRevision_;
        }
    }
    // Copies n points to the end of the slot (shift, gain, log mapping).
    void copyIn(TraceSlot& s, const double* x, const double* y, int n, int slot, double gain);

    std::array<TraceSlot, kTraceSlots> slots_;
    double xMin_ = 0.0;
    double xMax_ = 30.0;
    double yMin_ = 0.0;
    double yMax_ = 5.0;
    double yyMin_ = 0.0;
    double yyMax_ = 5.0;
    bool logScale_ = false;
    bool ratioOnYY_ = false;
    bool overlayMode_ = false;
    bool showPlanZones_ = false;
    bool tenXDivisions_ = false;
    bool fullGraphMode_ = false;
    bool showGrid_ = false;
    GraphContext context_;
    bool showCursors_ = false;
    std::vector<GraphCursor> cursors_;
    const FractionPlanHook* fractionPlan_ = nullptr;
    NumberedFractions numbered_;
    std::optional<PixelRect> dragLine_;
    std::optional<PixelRect> zoomBox_;
    std::optional<PixelRect> selectionBox_;
    GraphAnnotations annotations_;
    bool startLineFlag_ = false;
    double startOffset_ = 0.0;
    MessageState messageState_ = MessageState::None;
    std::string messageText_;
    std::uint64_t revision_ = 0;
    std::uint64_t overlayRevision_ = 0;
};

}  // namespace corvane
