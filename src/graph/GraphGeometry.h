#pragma once

#include <array>
#include <optional>
#include <vector>

#include "graph/GraphMapping.h"
#include "graph/GraphModel.h"
#include "graph/PixelGeometry.h"

namespace corvane {

// A short text in a box beside a tick.
struct TickLabel {
    std::array<char, 16> text{};  // empty: no label
    PixelRect rect;
    bool alignLeft = false;  // right-aligned otherwise, centred vertically

    [[nodiscard]] bool empty() const { return text[0] == '\0'; }
};

// An event-mark tick at a rising edge of the mark trace.
struct MarkTick {
    std::optional<PixelSegment> line;  // none when the tick falls on the right edge
    bool blackPen = false;             // the slot's own pen otherwise
    TickLabel label;
};

// A fraction boundary of the attached plan.
struct BoundaryTick {
    std::optional<PixelSegment> line;
    TickLabel label;
};

// The rows a line sets in one pixel column, top to bottom, both included.
struct ColumnSpan {
    int x = 0;
    int top = 0;
    int bottom = 0;

    friend bool operator==(const ColumnSpan&, const ColumnSpan&) = default;
};

struct TraceMarker {
    PixelPoint centre;
    int radius = 0;

    friend bool operator==(const TraceMarker&, const TraceMarker&) = default;
};

// Where everything of the model lands on a plot of width x height pixels.
// scale stretches the fixed pixel lengths (label boxes, marker radii, the
// rising-edge threshold, ...) for a printer or a large bitmap; 1 on screen.
// Output goes into caller-owned vectors so a painter can reuse them.
class GraphGeometry {
public:
    GraphGeometry(const GraphModel& model, int width, int height, double scale = 1.0);

    [[nodiscard]] const GraphMapping& mapping() const { return mapping_; }

    // Three horizontal lines, and four vertical ones (nine with ten x
    // divisions).
    void gridLines(std::vector<PixelSegment>& out) const;

    // The slot's line as polylines: run k is points[runEnds[k-1] ..
    // runEnds[k]). A point left or right of the plot ends a run. With
    // reduceDenseColumns each stretch of consecutive points in one pixel
    // column keeps only its first, lowest, highest and last point, which
    // sets the same pixels with a 1 px pen. Points before `from` are left
    // out (a picture that has them already gets the line on from there).
    void traceLines(int slot, bool reduceDenseColumns, std::vector<PixelPoint>& points,
                    std::vector<int>& runEnds, std::size_t from = 0) const;
    void traceMarkers(int slot, std::vector<TraceMarker>& out, std::size_t from = 0) const;
    // The same line as the rows a pen penWidth pixels wide sets per pixel
    // column (a wide pen's w columns centred on it), for a dense solid
    // trace: consecutive points in one column, or in neighbouring columns,
    // set one unbroken run of rows in each column, so a column is one span
    // however many points fall in it. With a 1 px pen these are the pixels
    // the line sets; with a wider one within a pixel of its stroke. A step
    // over more than one column is left as a segment. Runs end where
    // traceLines ends them; a lone point sets nothing.
    void traceSpans(int slot, int penWidth, std::vector<ColumnSpan>& spans,
                    std::vector<PixelSegment>& steps) const;

    // The ticks of a mark-style slot. lastTickPx carries the column of the
    // last tick taken while recording or collecting, across slots, for the
    // boundaries.
    void markTicks(int slot, std::optional<int>& lastTickPx, std::vector<MarkTick>& out) const;
    // The plan's boundaries, those under or just right of the last mark tick
    // left out. scratch holds the plan's positions.
    void boundaryTicks(std::optional<int> lastTickPx, std::vector<double>& scratch,
                       std::vector<BoundaryTick>& out) const;

    // Cursor lines and the sides of the handle boxes; red or black pen.
    [[nodiscard]] bool cursorsRed() const;
    void cursorLines(std::vector<PixelSegment>& lines,
                     std::vector<PixelSegment>& handleSides) const;
    // The AUTO-ALIGN line with its end ticks.
    void dragLine(std::vector<PixelSegment>& out) const;
    // The outline of a rectangle given by any two opposite corners.
    static void outline(const PixelRect& rect, std::vector<PixelSegment>& out);

private:
    [[nodiscard]] YAxisMap yAxisOf(int slot) const;
    [[nodiscard]] int scaled(double pixels) const { return rnd(pixels * scale_); }
    // An axis-parallel line drawn from `from` towards `to` without the end
    // pixel, clipped to the plot; nothing when no pixel is left.
    [[nodiscard]] std::optional<PixelSegment> clippedLine(PixelPoint from, PixelPoint to) const;
    void addLine(PixelPoint from, PixelPoint to, std::vector<PixelSegment>& out) const {
        if (const auto line = clippedLine(from, to)) {
            out.push_back(*line);
        }
    }

    const GraphModel& model_;
    GraphMapping mapping_;
    int width_;
    int height_;
    double scale_;
};

}  // namespace corvane
