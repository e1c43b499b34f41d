#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <optional>

#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"

class QPainter;

namespace corvane {

// The graph's picture kept between paints, so that a live run costs only
// its new points: the data layer (background, grid, traces, ticks) is kept
// in an image and brought up to date by drawing the points added since;
// the overlay (message, boxes, cursors, boundaries, zones) is drawn over it
// on every paint. A change of anything else (ranges, slots replaced,
// styles, size) redraws the data layer whole.
//
// Two ways this picture may differ from one drawn whole, both until the next
// whole redraw: the new points of a slot lie over the older points of the
// slots after it (a whole redraw puts slot 7 over slot 0 everywhere), and
// points let go of at the front of a slot stay on the picture until
// kStalePointLimit of them have gone (a live run lets go of one per sample
// once its ring is full; redrawing 25000 points for each would cost what
// the kept picture saves).
//
// Not thread-safe: one thread (the widget's) uses it, with the model locked.
class GraphCanvas {
public:
    static constexpr std::uint64_t kStalePointLimit = 20;

    explicit GraphCanvas(const GraphPaintStyle& style = GraphPaintStyle::screen());

    // Brings the kept picture up to date with the model for a plot of this
    // size. The part of the plot that now looks different (overlay changes
    // included); an empty rect when nothing changed.
    QRect update(const GraphModel& model, QSize plot, qreal devicePixelRatio = 1.0);
    // The next update redraws the data layer whole.
    void invalidate() { valid_ = false; }
    // Draws the kept picture (the part in `region`) and, given a model, the
    // overlay, with the plot's top-left corner at the painter's origin. Call
    // update first.
    void draw(QPainter& painter, const QRect& region, const GraphModel* model);

    [[nodiscard]] const QImage& picture() const { return picture_; }
    // How often the data layer was drawn whole, and how often only new
    // points were added to it (for tests and the benchmarks).
    [[nodiscard]] std::uint64_t wholeRedraws() const { return wholeRedraws_; }
    [[nodiscard]] std::uint64_t pointRedraws() const { return pointRedraws_; }
    [[nodiscard]] const GraphPainter& painter() const { return painter_; }

private:
    [[nodiscard]] bool needsWholeRedraw(const GraphModel& model, QSize plot, qreal ratio) const;
    void redrawWhole(const GraphModel& model, QSize plot, qreal ratio);

    GraphPainter painter_;
    QImage picture_;
    bool valid_ = false;
    std::uint64_t wholeRedraws_ = 0;
    std::uint64_t pointRedraws_ = 0;
    qreal ratio_ = 1.0;
    QSize plot_;
    std::uint64_t revision_ = 0;
    std::uint64_t overlayRevision_ = 0;
    // Per slot: the index (counted from the first point ever added, see
    // TraceSlot::firstIndex) one past the last point drawn, and the first
    // point held at the last whole redraw.
    std::array<std::uint64_t, kTraceSlots> drawnEnd_{};
    std::array<std::uint64_t, kTraceSlots> wholeFirst_{};
    std::optional<int> lastTickPx_;
};

}  // namespace corvane
