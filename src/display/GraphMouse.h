#pragma once

#include <functional>
#include <optional>
#include <string>

#include "graph/AxisScaling.h"
#include "graph/PixelGeometry.h"

namespace corvane {

class GraphCursors;
class GraphOverlays;
class GraphView;
class LiveGraph;

// The plot as the mouse sees it: its size in pixels and the ranges drawn.
struct PlotFrame {
    int width = 0;
    int height = 0;
    AxisRange x;
    AxisRange y;

    [[nodiscard]] bool inside(PixelPoint p) const { return p.x >= 0 && p.x < width && p.y >= 0 && p.y < height; }
    [[nodiscard]] double xAt(int px) const { return x.min + (x.max - x.min) * px / width; }
    [[nodiscard]] double yAt(int py) const { return y.min + (y.max - y.min) * (height - py) / height; }
    [[nodiscard]] int pxOf(double value) const;
};

enum class MouseShape { Arrow, Hand, Cross };

// What the window does after the logic has seen a mouse event.
struct MouseOutcome {
    bool cursorsChanged = false;  // cursor lines, labels, POSITION box and readouts
    bool viewChanged = false;     // ranges, slots: axis boxes and labels
    std::optional<int> openPopup;  // the cursor whose popup opens at the click
    bool closePopup = false;
    bool closeInstruction = false;
    std::optional<MouseShape> shape;
    bool offsetsChanged = false;  // a trace drag moved a set (the offsets panel follows)
};

// The mouse on the graph, routed as the main window does it: a press closes
// an open cursor popup and does nothing else; over an overlay's trace it
// starts a trace drag; then a moving cursor's handle starts its drag; a
// click on a cursor line opens its popup; inside the plot it places a new
// cursor (place mode) or moves the main cursor; and with AUTO-ALIGN or FOCUS
// armed it starts the drag line or the zoom box. Moves drag what is being
// dragged, or show the hand over an overlay's trace; the release ends the
// drags, and applies the FOCUS box or the AUTO-ALIGN search. The wheel
// zooms x around the mouse (Shift: y), its first step saving the view as
// FOCUS does.
//
// Threads: the window's thread.
class GraphMouse {
public:
    static constexpr const char* kFocusText =
        "Drag the cursor from top left to bottom right on the graph to zoom in on that region of the graph. "
        "Press the RESET button to zoom back out.";
    static constexpr const char* kPlaceText = "Move the mouse cursor to the location on the graph for the new data marker.";
    static constexpr const char* kMoveText = "Left-click and drag on the small box in the middle of the cursor to move it.";

    // hitTest: the slot whose colour is under the pixel, -1 for none.
    GraphMouse(GraphView& view, GraphCursors& cursors, GraphOverlays& overlays, LiveGraph& graph,
               std::function<int(PixelPoint)> hitTest);

    // FOCUS pressed: the zoom box is armed (the view saved by the first).
    // True when RESET becomes available now.
    bool armFocus();
    [[nodiscard]] bool focusArmed() const { return zoomMode_; }
    // A popup is open for this cursor (-1: none).
    void setPopup(int cursor) { popup_ = cursor; }
    [[nodiscard]] int popup() const { return popup_; }

    MouseOutcome press(PixelPoint at, const PlotFrame& plot);
    MouseOutcome move(PixelPoint at, const PlotFrame& plot);
    MouseOutcome release(PixelPoint at, const PlotFrame& plot);
    MouseOutcome wheel(PixelPoint at, const PlotFrame& plot, int steps, bool yAxis);

    // The arrow keys with cursors shown: the main cursor steps (by sample
    // number, clamped to the last sample; in mm to the next sample beyond
    // it) and the window scrolls when it passes an edge. False without a
    // main cursor.
    bool arrow(bool right);

private:
    GraphView& view_;
    GraphCursors& cursors_;
    GraphOverlays& overlays_;
    LiveGraph& graph_;
    std::function<int(PixelPoint)> hitTest_;
    bool zoomMode_ = false;
    bool draggingCursor_ = false;
    int popup_ = -1;
    int handSlot_ = -1;  // the slot under the hand cursor
};

}  // namespace corvane
