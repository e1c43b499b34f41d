#pragma once

#include <QFont>
#include <QPen>
#include <QPoint>
#include <QSize>
#include <array>
#include <optional>
#include <vector>

#include "graph/GraphGeometry.h"
#include "graph/GraphModel.h"

class QPainter;

namespace corvane {

// Pens, fonts and fixed lengths of one drawing of the graph: 1 px pens and
// an 8 point font on screen, wider pens and larger lengths on a printed page
// or a large bitmap.
struct GraphPaintStyle {
    double scale = 1.0;      // stretches label boxes, markers, handle boxes, ...
    double lineWidth = 1.0;  // traces, ticks, cursors, boxes (dashed traces half as wide, at least 1 px)
    double gridWidth = 1.0;
    Rgb gridColour{0, 0, 0};
    double fontPixelSize = 11.0;  // 8 points at 96 dpi
    // Dense traces keep only what changes pixels (see GraphGeometry).
    bool reduceDenseColumns = true;
    // ... and on a bitmap are drawn as one filled span per pixel column
    // (GraphGeometry::traceSpans): the same pixels with a 1 px pen, within
    // a pixel with a wider one.
    bool spanDenseColumns = true;
    // The message, selection box, cursors, drag line and zoom box: what the
    // user works with on screen, left off a printed page.
    bool interactive = true;

    // 1 px lines and 8 point labels on a screen of the given dpi.
    [[nodiscard]] static GraphPaintStyle screen(double logicalDpi = 96.0);
    // A page drawn s times the size of the on-screen plot at the given dpi:
    // pens s wide, a grey dotted grid s/2 wide, labels of 4 s points.
    [[nodiscard]] static GraphPaintStyle page(double s, double dpi);
};

// Draws a GraphModel onto any QPaintDevice: the widget, a QImage, a printer.
// One painter per target; it keeps its buffers between paints so that a
// repaint allocates nothing once the traces have reached their length.
class GraphPainter {
public:
    explicit GraphPainter(const GraphPaintStyle& style = GraphPaintStyle{});

    void setStyle(const GraphPaintStyle& style);
    [[nodiscard]] const GraphPaintStyle& style() const { return style_; }

    // Draws the whole picture with the plot's top-left corner at the
    // painter's origin. Back to front: white background, grid, slots 0 to 7
    // (mark-style slots as ticks), then on screen the message, selection box,
    // cursors, drag line or zoom box, and last the fraction boundaries and
    // plan zones. Reads the model only.
    void paint(QPainter& painter, const GraphModel& model, QSize plot);

    // The picture in two layers, for a picture kept between paints: the
    // data layer (background, grid, traces, mark ticks, markers) and what is
    // drawn over it on every paint (message, boxes, cursors, boundaries,
    // zones). paintData gives the column of the last mark tick taken live,
    // which paintOverlay needs for the boundaries.
    void paintData(QPainter& painter, const GraphModel& model, QSize plot,
                   std::optional<int>& lastTickPx);
    void paintOverlay(QPainter& painter, const GraphModel& model, QSize plot,
                      std::optional<int> lastTickPx);
    // Draws onto a data layer that shows each slot up to point from[slot]
    // (an index into the slot) the slots' later points, joined to the last
    // one drawn. Mark-style slots are not drawn this way. The box that holds
    // what was drawn, or nothing.
    std::optional<PixelRect> paintNewPoints(QPainter& painter, const GraphModel& model, QSize plot,
                                            const std::array<std::size_t, kTraceSlots>& from);

private:
    void drawSegments(QPainter& painter, const std::vector<PixelSegment>& segments);
    void drawTrace(QPainter& painter, const GraphGeometry& geometry, const GraphModel& model,
                   int slot, std::size_t from = 0);
    // A dense trace as column spans; false when the trace is sparse (the
    // polyline then draws it).
    bool drawTraceSpans(QPainter& painter, const GraphGeometry& geometry, int slot, QColor colour);
    void drawMarkers(QPainter& painter, const GraphGeometry& geometry, const GraphModel& model,
                     int slot, std::size_t from = 0);
    void drawMarkTicks(QPainter& painter, const GraphGeometry& geometry, const GraphModel& model,
                       int slot, std::optional<int>& lastTickPx);
    void drawLabel(QPainter& painter, const TickLabel& label);
    void drawInteractive(QPainter& painter, const GraphGeometry& geometry, const GraphModel& model);
    void drawAnnotations(QPainter& painter, const GraphMapping& mapping, const GraphModel& model);

    GraphPaintStyle style_;
    QFont font_;
    QPen gridPen_;
    QPen blackPen_;
    QPen greenPen_;
    QPen redPen_;
    QPen greyTextPen_;

    std::vector<PixelPoint> points_;
    std::vector<ColumnSpan> spans_;
    std::vector<int> runEnds_;
    std::vector<QPoint> qpoints_;
    std::vector<TraceMarker> markers_;
    std::vector<MarkTick> markTicks_;
    std::vector<BoundaryTick> boundaryTicks_;
    std::vector<PixelSegment> segments_;
    std::vector<PixelSegment> handleSides_;
    std::vector<double> positions_;
};

}  // namespace corvane
