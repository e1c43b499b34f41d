#include "display/GraphMouse.h"

#include <algorithm>
#include <cmath>

#include "display/GraphCursors.h"
#include "display/GraphOverlays.h"
#include "display/GraphView.h"
#include "display/LiveGraph.h"
#include "graph/GraphMapping.h"
#include "graph/GraphModel.h"

namespace corvane {

int PlotFrame::pxOf(double value) const { return rnd((value - x.min) / (x.max - x.min) * width); }

GraphMouse::GraphMouse(GraphView& view, GraphCursors& cursors, GraphOverlays& overlays, LiveGraph& graph,
                       std::function<int(PixelPoint)> hitTest)
    : view_(view), cursors_(cursors), overlays_(overlays), graph_(graph), hitTest_(std::move(hitTest)) {}

bool GraphMouse::armFocus() {
    zoomMode_ = true;
    overlays_.cancelAutoAlign();
    bool saved = false;
    view_.change([&saved](AxisState& axes) { saved = axes.saveViewForZoom(); });
    return saved;
}

MouseOutcome GraphMouse::press(PixelPoint at, const PlotFrame& plot) {
    MouseOutcome out;
    if (popup_ >= 0) {
        popup_ = -1;
        out.closePopup = true;
        return out;
    }
    if (handSlot_ >= 0 && overlays_.draggable(handSlot_)) {
        const int set = view_.scene().setOfSlot(handSlot_);
        const double xPerPixel = (plot.x.max - plot.x.min) / plot.width;
        // The set dragged moves by its own samples per mm, whatever else is shown.
        const double samplesPerX = view_.scene().samplesPerX(set, view_.axes().xAxisType());
        overlays_.beginDrag({set, at, view_.offsets().yOffset(set), view_.offsets().xOffset(set),
                             (plot.y.max - plot.y.min) / plot.height, xPerPixel * samplesPerX});
        return out;
    }
    const auto px = [&plot](double x) { return plot.pxOf(x); };
    if (cursors_.handleAt(at.x, at.y, plot.height, px)) {
        draggingCursor_ = true;
        return out;
    }
    if (const auto line = cursors_.lineAt(at.x, px); line && !cursors_.placeMode()) {
        popup_ = *line;
        out.openPopup = *line;
        return out;
    }
    if (!plot.inside(at)) {
        return out;
    }
    const double x = plot.xAt(at.x);
    if (cursors_.placeMode()) {
        cursors_.setPlaceMode(false);
        out.closeInstruction = true;
        out.shape = MouseShape::Arrow;
        (void)cursors_.add(x);
        out.cursorsChanged = true;
    } else if (!cursors_.empty()) {
        cursors_.moveMain(x);
        out.cursorsChanged = true;
    }
    if (overlays_.alignMode()) {
        (void)graph_.edit([&](GraphModel& m) { m.startDragLine(at); });
        graph_.redraw();
    } else if (zoomMode_) {
        (void)graph_.edit([&](GraphModel& m) { m.startZoomBox(at); });
        graph_.redraw();
    }
    return out;
}

MouseOutcome GraphMouse::move(PixelPoint at, const PlotFrame& plot) {
    MouseOutcome out;
    if (overlays_.drag().active()) {
        out.offsetsChanged = overlays_.dragTo(at);
        out.viewChanged = out.offsetsChanged;
        return out;
    }
    if (draggingCursor_) {
        if (plot.inside(at)) {
            cursors_.dragTo(plot.xAt(at.x), at.y);
            out.cursorsChanged = true;
        }
        return out;
    }
    const PixelPoint clamped{std::clamp(at.x, 0, plot.width - 1), std::clamp(at.y, 0, plot.height - 1)};
    bool banding = false;
    (void)graph_.edit([&](GraphModel& m) {
        if (overlays_.alignMode() && m.dragLineStart()) {
            m.extendDragLine(clamped);
            banding = true;
        } else if (zoomMode_ && m.zoomBoxStart()) {
            m.extendZoomBox(clamped);
            banding = true;
        }
    });
    if (banding) {
        graph_.redraw();
        return out;
    }
    if (overlays_.setsShown() && at.x >= 1 && at.x < plot.width - 1 && at.y >= 1 && at.y < plot.height - 1) {
        const int slot = hitTest_ ? hitTest_(at) : -1;
        const int shown = overlays_.draggable(slot) ? slot : -1;
        if ((shown >= 0) != (handSlot_ >= 0)) {
            out.shape = shown >= 0 ? MouseShape::Hand : MouseShape::Arrow;
        }
        handSlot_ = shown;
    } else if (handSlot_ >= 0) {
        handSlot_ = -1;
        out.shape = MouseShape::Arrow;
    }
    return out;
}

MouseOutcome GraphMouse::release(PixelPoint at, const PlotFrame& plot) {
    MouseOutcome out;
    // The handle's instruction has done its work once the cursor is let go.
    out.closeInstruction = draggingCursor_;
    draggingCursor_ = false;
    if (overlays_.drag().active()) {
        overlays_.endDrag();
        return out;
    }
    std::optional<PixelPoint> lineStart;
    std::optional<PixelPoint> boxStart;
    (void)graph_.edit([&](GraphModel& m) {
        lineStart = m.dragLineStart();
        boxStart = m.zoomBoxStart();
        m.clearDragLine();
        m.clearZoomBox();
    });
    if (overlays_.alignMode() && lineStart) {
        const int x1 = std::min(lineStart->x, at.x);
        const int x2 = std::max(lineStart->x, at.x);
        (void)overlays_.finishAutoAlign(plot.xAt(x1), plot.xAt(x2));
        out.closeInstruction = true;
        out.viewChanged = true;
        out.cursorsChanged = true;
    } else if (zoomMode_ && boxStart) {
        zoomMode_ = false;
        const PixelPoint end{std::clamp(at.x, 0, plot.width - 1), std::clamp(at.y, 0, plot.height - 1)};
        view_.change([&](AxisState& axes) {
            (void)axes.applyZoom({plot.xAt(boxStart->x), plot.xAt(end.x)}, {plot.yAt(boxStart->y), plot.yAt(end.y)});
        });
        out.closeInstruction = true;
        out.viewChanged = true;
        out.cursorsChanged = true;
    }
    graph_.redraw();
    return out;
}

MouseOutcome GraphMouse::wheel(PixelPoint at, const PlotFrame& plot, int steps, bool yAxis) {
    MouseOutcome out;
    if (steps == 0 || !plot.inside(at)) {
        return out;
    }
    view_.change([&](AxisState& axes) { (void)axes.wheelZoom(plot.xAt(at.x), plot.yAt(at.y), steps, yAxis); });
    out.viewChanged = true;
    out.cursorsChanged = true;
    return out;
}

bool GraphMouse::arrow(bool right) {
    const auto position = cursors_.mainPosition();
    if (!position) {
        return false;
    }
    const int step = cursors_.arrowStep(right);
    double next = *position;
    const XAxisType axis = view_.axes().xAxisType();
    if (!byPosition(axis)) {
        const auto span = view_.scene().sampleSpan(axis);
        next = *position + step * view_.scene().unitsOf(0, axis).scale;
        if (span) {
            next = std::clamp(next, span->min, span->max);
        }
    } else if (const auto p = view_.scene().nextPosition(*position, right, axis)) {
        next = *p;
    }
    cursors_.moveMain(next);
    const AxisRange x = view_.axes().xRange();
    const double width = x.max - x.min;
    if (next > x.max) {
        view_.showXRange({next - width, next});
    } else if (next < x.min) {
        view_.showXRange({next, next + width});
    }
    return true;
}

}  // namespace corvane
