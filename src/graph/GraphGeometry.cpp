#include "graph/GraphGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

namespace corvane {

namespace {

// A mark counts as a rising edge when it jumps more than this above the
// previous point: level changes of the mark channel are large, noise is not.
constexpr double kRisingEdgePx = 50.0;
// Boundary ticks are a tenth of the plot high, their labels centred on them.
constexpr double kBoundaryTickHeight = 0.1;
// A boundary this close right of the last mark tick would print its label
// over that tick's label.
constexpr double kBoundaryClearancePx = 18.0;
constexpr double kLabelWidthPx = 12.0;
constexpr double kLabelHeightPx = 12.0;
constexpr double kLabelHalfHeightPx = 6.0;
constexpr double kMarkerRadiusPx = 3.0;
constexpr double kFlaggedMarkerRadiusPx = 6.0;
constexpr double kDragTickPx = 20.0;
constexpr double kHandleBeforePx = 7.0;
constexpr double kHandleAfterPx = 8.0;

void setText(std::array<char, 16>& out, const char* text) {
    std::snprintf(out.data(), out.size(), "%s", text);
}

void setNumber(std::array<char, 16>& out, int number) {
    std::snprintf(out.data(), out.size(), "%d", number);
}

}  // namespace

GraphGeometry::GraphGeometry(const GraphModel& model, int width, int height, double scale)
    : model_(model),
      mapping_(model.xMin(), model.xMax(), width, height),
      width_(width),
      height_(height),
      scale_(scale) {}

std::optional<PixelSegment> GraphGeometry::clippedLine(PixelPoint from, PixelPoint to) const {
    // The end pixel is left out, so that a line drawn from the bottom edge
    // up to a height h covers exactly h rows.
    if (from.x == to.x && from.y != to.y) {
        if (from.x < 0 || from.x > width_ - 1) {
            return std::nullopt;
        }
        to.y += from.y < to.y ? -1 : 1;
        const int lo = std::max(std::min(from.y, to.y), 0);
        const int hi = std::min(std::max(from.y, to.y), height_ - 1);
        if (lo <= hi) {
            return PixelSegment{{from.x, lo}, {from.x, hi}};
        }
    } else if (from.y == to.y && from.x != to.x) {
        if (from.y < 0 || from.y > height_ - 1) {
            return std::nullopt;
        }
        to.x += from.x < to.x ? -1 : 1;
        const int lo = std::max(std::min(from.x, to.x), 0);
        const int hi = std::min(std::max(from.x, to.x), width_ - 1);
        if (lo <= hi) {
            return PixelSegment{{lo, from.y}, {hi, from.y}};
        }
    }
    return std::nullopt;
}

YAxisMap GraphGeometry::yAxisOf(int slot) const {
    return model_.usesRightAxis(slot) ? mapping_.yAxis(model_.yyMin(), model_.yyMax())
                                      : mapping_.yAxis(model_.yMin(), model_.yMax());
}

void GraphGeometry::gridLines(std::vector<PixelSegment>& out) const {
    out.clear();
    for (int i = 1; i <= 3; ++i) {
        const int y = rnd(height_ * i / 4.0);
        addLine({0, y}, {width_, y}, out);
    }
    const int divisions = model_.tenXDivisions() ? 10 : 5;
    for (int i = 1; i < divisions; ++i) {
        const int x = rnd(width_ * static_cast<double>(i) / divisions);
        addLine({x, 0}, {x, height_}, out);
    }
}

void GraphGeometry::traceLines(int slot, bool reduceDenseColumns, std::vector<PixelPoint>& points,
                               std::vector<int>& runEnds, std::size_t from) const {
    points.clear();
    runEnds.clear();
    const TraceSlot& s = model_.slot(slot);
    const size_t n = std::min(s.x.size(), s.y.size());
    const YAxisMap axis = yAxisOf(slot);
    const int offset = scaled(s.pixelOffset);

    size_t runStart = 0;
    bool haveColumn = false;
    int column = 0;
    int firstY = 0;
    int minY = 0;
    int maxY = 0;
    int lastY = 0;

    auto emit = [&](int x, int y) {
        if (points.size() > runStart && points.back() == PixelPoint{x, y}) {
            return;
        }
        points.push_back({x, y});
    };
    auto flushColumn = [&] {
        if (!haveColumn) {
            return;
        }
        emit(column, firstY);
        if (firstY - minY <= maxY - firstY) {
            emit(column, minY);
            emit(column, maxY);
        } else {
            emit(column, maxY);
            emit(column, minY);
        }
        emit(column, lastY);
        haveColumn = false;
    };
    auto endRun = [&] {
        flushColumn();
        // A lone point has nothing to connect to.
        if (points.size() - runStart >= 2) {
            runEnds.push_back(static_cast<int>(points.size()));
        } else {
            points.resize(runStart);
        }
        runStart = points.size();
    };

    for (size_t i = from; i < n; ++i) {
        const int px = mapping_.px(s.x[i] * s.xGain);
        if (!mapping_.inPlot(px)) {
            endRun();
            continue;
        }
        const int py = axis.py(s.y[i] * s.yGain, offset);
        if (py == kNoPixel) {
            endRun();
            continue;
        }
        if (!reduceDenseColumns) {
            emit(px, py);
            continue;
        }
        if (haveColumn && px == column) {
            minY = std::min(minY, py);
            maxY = std::max(maxY, py);
            lastY = py;
            continue;
        }
        flushColumn();
        column = px;
        firstY = minY = maxY = lastY = py;
        haveColumn = true;
    }
    endRun();
}

void GraphGeometry::traceSpans(int slot, int penWidth, std::vector<ColumnSpan>& spans,
                               std::vector<PixelSegment>& steps) const {
    spans.clear();
    steps.clear();
    const TraceSlot& s = model_.slot(slot);
    const size_t n = std::min(s.x.size(), s.y.size());
    const YAxisMap axis = yAxisOf(slot);
    const int offset = scaled(s.pixelOffset);
    const double halfPen = penWidth / 2.0;

    bool open = false;          // a column's span is being gathered
    ColumnSpan column;          // ... this one
    int lastY = 0;              // the row of the run's last point
    std::size_t runPoints = 0;  // points in the run so far
    std::size_t runSpans = 0;   // spans.size() and steps.size() when the run began
    std::size_t runSteps = 0;

    const auto take = [&](int top, int bottom) {
        column.top = std::min(column.top, std::min(top, bottom));
        column.bottom = std::max(column.bottom, std::max(top, bottom));
    };
    // A wide pen's stroke reaches beyond a point across the line's
    // direction: half the pen's width on a level step, nothing where the
    // line runs straight up or down (the joins are bevelled); a run's ends
    // are square caps.
    const auto reach = [halfPen](int dy) { return static_cast<int>(halfPen / std::sqrt(1.0 + dy * dy)); };
    const int capReach = penWidth > 1 ? static_cast<int>(halfPen) : 0;
    const auto endRun = [&] {
        if (open) {
            take(lastY - capReach, lastY + capReach);
            spans.push_back(column);
        }
        // A lone point has nothing to connect to.
        if (runPoints < 2) {
            spans.resize(runSpans);
            steps.resize(runSteps);
        }
        open = false;
        runPoints = 0;
        runSpans = spans.size();
        runSteps = steps.size();
    };

    // Most points of a dense trace fall in the column being gathered: for
    // them only the values' extremes are kept, and mapped to rows when the
    // column is left (the mapping keeps their order). Any point the quick
    // test is not sure of takes the full way below.
    const double* xs = s.x.data();
    const double* ys = s.y.data();
    const double xGain = s.xGain;
    const double yGain = s.yGain;
    double columnLo = 0.0;  // the column's bounds in xPixels
    double columnHi = -1.0;
    double low = 0.0;  // the extremes and the last of the values gathered since the column's last row
    double high = 0.0;
    double last = 0.0;
    bool gathered = false;
    const auto settle = [&] {
        if (gathered) {
            const int a = axis.py(low, offset);
            const int b = axis.py(high, offset);
            column.top = std::min(column.top, std::min(a, b));
            column.bottom = std::max(column.bottom, std::max(a, b));
            lastY = axis.py(last, offset);
            gathered = false;
        }
    };
    for (size_t i = 0; i < n; ++i) {
        const double at = mapping_.xPixels(xs[i] * xGain);
        const double value = ys[i] * yGain;
        if (open && at >= columnLo && at < columnHi && value == value) {
            low = gathered ? std::min(low, value) : value;
            high = gathered ? std::max(high, value) : value;
            last = value;
            gathered = true;
            ++runPoints;
            continue;
        }
        settle();
        const int px = rnd(at);
        const int py = mapping_.inPlot(px) ? axis.py(value, offset) : kNoPixel;
        if (py == kNoPixel) {
            endRun();
            continue;
        }
        ++runPoints;
        if (open && px == column.x) {
            // The common case of a dense trace: another point in the column.
            column.top = std::min(column.top, py);
            column.bottom = std::max(column.bottom, py);
        } else if (open && std::abs(px - column.x) == 1 && penWidth > 1) {
            // Each column takes the half of the step at its own end, as the
            // middle of the wide stroke runs.
            const int middle = lastY + (py - lastY) / 2;
            const int e = reach(py - lastY);
            take(lastY - e, lastY + e);
            take(lastY, middle);
            spans.push_back(column);
            column = {px, std::min(middle, py - e), std::max(middle, py + e)};
        } else if (open && std::abs(px - column.x) == 1) {
            // A 1 px line sets, in the left column, the rows from its end
            // there towards the other end, that row left out, and in the
            // right column its own end's row.
            const auto toward = [](int from, int to) { return to > from ? to - 1 : to < from ? to + 1 : to; };
            if (px > column.x) {
                take(lastY, toward(lastY, py));
                spans.push_back(column);
                column = {px, py, py};
            } else {
                spans.push_back(column);
                column = {px, std::min(py, toward(py, lastY)), std::max(py, toward(py, lastY))};
            }
        } else {
            if (open) {
                spans.push_back(column);
                steps.push_back({{column.x, lastY}, {px, py}});
                column = {px, py, py};
            } else {
                column = {px, py - capReach, py + capReach};
            }
            open = true;
        }
        lastY = py;
        std::tie(columnLo, columnHi) = GraphMapping::columnBounds(column.x);
    }
    settle();
    endRun();
}

void GraphGeometry::traceMarkers(int slot, std::vector<TraceMarker>& out, std::size_t from) const {
    out.clear();
    const TraceSlot& s = model_.slot(slot);
    if (!s.markers) {
        return;
    }
    const size_t n = std::min(s.x.size(), s.y.size());
    const YAxisMap axis = yAxisOf(slot);
    const int offset = scaled(s.pixelOffset);
    const int small = scaled(kMarkerRadiusPx);
    const int large = scaled(kFlaggedMarkerRadiusPx);
    for (size_t i = from; i < n; ++i) {
        const int px = mapping_.px(s.x[i] * s.xGain);
        const int py = axis.py(s.y[i] * s.yGain, offset);
        if (!mapping_.inPlot(px) || py == kNoPixel) {
            continue;
        }
        const bool flagged = i < s.pointFlag.size() && s.pointFlag[i] != 0;
        const TraceMarker marker{{px, py}, flagged ? large : small};
        if (out.empty() || !(out.back() == marker)) {
            out.push_back(marker);
        }
    }
}

void GraphGeometry::markTicks(int slot, std::optional<int>& lastTickPx,
                              std::vector<MarkTick>& out) const {
    out.clear();
    const TraceSlot& s = model_.slot(slot);
    if (!s.markStyle) {
        return;
    }
    const GraphContext& context = model_.context();
    const FractionPlanHook* plan = model_.fractionPlan();
    const size_t n = std::min(s.x.size(), s.y.size());
    const YAxisMap axis = mapping_.yAxis(model_.yyMin(), model_.yyMax());
    const int offset = scaled(s.pixelOffset);
    const double threshold = kRisingEdgePx * scale_;
    const int tickTop = truncatePx(height_ - height_ * s.xOffsetGate);
    const int labelBottom =
        truncatePx(height_ - height_ * s.xOffsetGate / 2 + kLabelHalfHeightPx * scale_);
    const int labelTop = labelBottom - scaled(kLabelHeightPx);
    const bool takenLive = context.recording || context.collectionPending;

    int previousY = height_;
    for (size_t i = 0; i < n; ++i) {
        const int px = mapping_.px(s.x[i] * s.xGain);
        const int py = axis.py(s.y[i] * s.yGain, offset);
        if (py == kNoPixel) {
            continue;
        }
        const bool rising = previousY - py > threshold;
        previousY = py;
        if (!rising || !mapping_.inPlot(px)) {
            continue;
        }
        const FractionLabel fraction = plan != nullptr ? plan->fractionAt(s.x[i]) : FractionLabel{};
        // With a start offset only marks that fall in a fraction of the plan
        // are drawn; without a plan no mark has a fraction to fall in.
        if (context.runStartOffset > 0.0 && plan != nullptr && fraction.kind == FractionLabel::Kind::None) {
            continue;
        }
        const bool autoMark = s.y[i] >= 2.0;
        int tickPx = px;
        if (autoMark && context.liveRun && s.xShift != 0.0) {
            tickPx += rnd(model_.startOffset() / (model_.xMax() - model_.xMin()) * width_);
        }
        if (takenLive) {
            lastTickPx = tickPx;
        }

        MarkTick tick;
        tick.blackPen = takenLive;
        tick.line = clippedLine({tickPx, height_}, {tickPx, tickTop});

        TickLabel& label = tick.label;
        label.rect = {tickPx - scaled(kLabelWidthPx + 1), labelTop, tickPx - scaled(1),
                      labelBottom};
        if (autoMark) {
            setText(label.text, "A");
        } else if (fraction.kind == FractionLabel::Kind::Number) {
            setNumber(label.text, fraction.number);
        } else if (fraction.kind == FractionLabel::Kind::A) {
            setText(label.text, "A");
        } else if (fraction.kind == FractionLabel::Kind::R) {
            setText(label.text, "R");
            label.rect.left = tickPx + scaled(1);
            label.rect.right = tickPx + scaled(kLabelWidthPx + 1);
            label.alignLeft = true;
        }
        out.push_back(tick);

        // Past the last fraction every mark starts a new one.
        if (plan != nullptr && fraction.kind == FractionLabel::Kind::Number &&
            fraction.number >= plan->fractionCount()) {
            previousY = height_;
        }
    }
}

void GraphGeometry::boundaryTicks(std::optional<int> lastTickPx, std::vector<double>& scratch,
                                  std::vector<BoundaryTick>& out) const {
    out.clear();
    const FractionPlanHook* plan = model_.fractionPlan();
    if (plan == nullptr || !model_.context().eventMarksShown) {
        return;
    }
    scratch.clear();
    plan->boundaryPositions(scratch);
    const int tickTop = truncatePx(height_ - height_ * kBoundaryTickHeight);
    const int labelBottom =
        truncatePx(height_ - height_ * kBoundaryTickHeight / 2 + kLabelHalfHeightPx * scale_);
    const int clearance = scaled(kBoundaryClearancePx);
    for (size_t i = 0; i < scratch.size(); ++i) {
        const int px = mapping_.px(scratch[i]);
        if (px == kNoPixel) {
            continue;
        }
        if (px > width_) {
            break;
        }
        if (px < 0) {
            continue;
        }
        // Collected fractions are shown by their mark ticks already.
        if (lastTickPx && (px <= *lastTickPx || px - *lastTickPx <= clearance)) {
            continue;
        }
        BoundaryTick tick;
        tick.line = clippedLine({px, height_}, {px, tickTop});
        setNumber(tick.label.text, static_cast<int>(i) + 1 + plan->fractionNumberOffset());
        tick.label.rect = {px - scaled(kLabelWidthPx + 1), labelBottom - scaled(kLabelHeightPx),
                           px - scaled(1), labelBottom};
        out.push_back(tick);
    }
}

bool GraphGeometry::cursorsRed() const {
    const GraphContext& context = model_.context();
    return context.recording && context.overlayOrStandardShown;
}

void GraphGeometry::cursorLines(std::vector<PixelSegment>& lines,
                                std::vector<PixelSegment>& handleSides) const {
    lines.clear();
    handleSides.clear();
    if (!model_.showCursors()) {
        return;
    }
    const GraphContext& context = model_.context();
    const bool handles =
        !context.recording || (context.compareMode && context.compareReferenceShown);
    const int before = scaled(kHandleBeforePx);
    const int after = scaled(kHandleAfterPx);
    auto inside = [](int v, int extent) { return v > 0 && v < extent - 1; };

    for (const GraphCursor& cursor : model_.cursors()) {
        const int px = mapping_.px(cursor.position);
        if (!mapping_.inPlot(px)) {
            continue;
        }
        addLine({px, 1}, {px, height_ - 1}, lines);
        if (!handles || !cursor.handleShown) {
            continue;
        }
        const int hy = scaled(cursor.handleY);
        const int left = px - before;
        const int right = px + after;
        const int top = hy - before;
        const int bottom = hy + after;
        if (inside(left, width_)) {
            handleSides.push_back({{left, top}, {left, bottom}});
        }
        if (inside(right, width_)) {
            handleSides.push_back({{right, top}, {right, bottom}});
        }
        if (inside(top, height_)) {
            handleSides.push_back({{left, top}, {right, top}});
        }
        if (inside(bottom, height_)) {
            handleSides.push_back({{left, bottom}, {right, bottom}});
        }
    }
    if (context.xAxisInMm && model_.startLineFlag() && !model_.cursors().empty()) {
        const int px = mapping_.px(model_.cursors().front().position);
        if (mapping_.inPlot(px)) {
            addLine({px, 1}, {px, height_ - 1}, lines);
        }
    }
}

void GraphGeometry::dragLine(std::vector<PixelSegment>& out) const {
    out.clear();
    const auto& line = model_.dragLine();
    if (!line) {
        return;
    }
    const int y = line->bottom;
    const int tick = scaled(kDragTickPx);
    addLine({line->left, y}, {line->right, y}, out);
    for (const int x : {line->left, line->right}) {
        addLine({x, y - tick}, {x, y + tick}, out);
    }
}

void GraphGeometry::outline(const PixelRect& rect, std::vector<PixelSegment>& out) {
    out.clear();
    const int left = std::min(rect.left, rect.right);
    const int right = std::max(rect.left, rect.right) - 1;
    const int top = std::min(rect.top, rect.bottom);
    const int bottom = std::max(rect.top, rect.bottom) - 1;
    if (right < left || bottom < top) {
        return;
    }
    out.push_back({{left, top}, {right, top}});
    out.push_back({{right, top}, {right, bottom}});
    out.push_back({{right, bottom}, {left, bottom}});
    out.push_back({{left, bottom}, {left, top}});
}

}  // namespace corvane
