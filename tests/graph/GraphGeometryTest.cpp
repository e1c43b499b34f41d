#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "FakePlan.h"
#include "graph/GraphGeometry.h"
#include "graph/GraphModel.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

FractionLabel number(int n) { return {FractionLabel::Kind::Number, n}; }

std::string text(const TickLabel& label) { return label.text.data(); }

// A 100 x 200 plot; x 0..10 puts x = k on column 10k; the YY axis 0..5 gives
// 40 px per unit, so a mark step of 1.5 rises 60 px and one of 1.25 50 px.
class GraphGeometryTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 100;
    static constexpr int kHeight = 200;

    GraphGeometryTest() {
        model.setXRange(0.0, 10.0);
        model.setYRanges(0.0, 5.0, 0.0, 5.0, false, false);
        model.setMarkTrace(kSlotRatio, true, 0.1, 0.0, false, 0.0);
        model.setFractionPlan(&plan);
    }

    void setMarks(std::vector<double> x, std::vector<double> y) {
        ASSERT_TRUE(
            model.setTraceData(x.data(), y.data(), static_cast<int>(x.size()), kSlotRatio, 1.0));
    }
    std::vector<MarkTick> ticks() {
        std::vector<MarkTick> out;
        GraphGeometry(model, kWidth, kHeight).markTicks(kSlotRatio, lastTick, out);
        return out;
    }
    std::vector<int> tickColumns() {
        std::vector<int> columns;
        for (const MarkTick& t : ticks()) {
            columns.push_back(t.line->from.x);
        }
        return columns;
    }
    void setContext(auto&& change) {
        GraphContext context = model.context();
        change(context);
        model.setContext(context);
    }

    GraphModel model;
    test::FakePlan plan;
    std::optional<int> lastTick;
};

TEST_F(GraphGeometryTest, MarkLabelsFollowTheFractionLookup) {
    plan.labels[1.0] = {FractionLabel::Kind::R, 0};
    plan.labels[3.0] = {FractionLabel::Kind::A, 0};
    plan.labels[5.0] = number(4);  // value 2.0: "A" whatever the number
    plan.labels[9.0] = number(3);
    // The first point rises from the bottom; 1.25 rises only 50 px.
    setMarks({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {1.5, 0, 1.5, 0, 2.0, 0, 1.5, 0, 1.5, 0, 1.25});
    const auto out = ticks();
    ASSERT_EQ(out.size(), 5u);
    // From the bottom row up to, not including, H - 0.1 H; label box left.
    EXPECT_EQ(out[4].line->from, (PixelPoint{90, 181}));
    EXPECT_EQ(out[4].line->to, (PixelPoint{90, 199}));
    EXPECT_EQ(text(out[4].label), "3");
    EXPECT_EQ(out[4].label.rect, (PixelRect{77, 184, 89, 196}));
    EXPECT_FALSE(out[4].blackPen);
    EXPECT_FALSE(lastTick);
    EXPECT_EQ(text(out[0].label), "R");
    EXPECT_EQ(out[0].label.rect, (PixelRect{11, 184, 23, 196}));  // right of the tick
    EXPECT_TRUE(out[0].label.alignLeft);
    EXPECT_EQ(text(out[1].label), "A");
    EXPECT_EQ(text(out[2].label), "A");
    EXPECT_TRUE(out[3].label.empty());  // no fraction: a bare tick

    // A run that started late ignores marks outside any fraction.
    setContext([](GraphContext& c) { c.runStartOffset = 2.0; });
    EXPECT_THAT(tickColumns(), ElementsAre(10, 30, 50, 90));
}

TEST_F(GraphGeometryTest, PastTheLastFractionEveryHighPointIsAnEdge) {
    plan.count = 3;
    plan.labels[1.0] = number(2);
    plan.labels[4.0] = number(3);
    plan.labels[5.0] = number(3);
    setMarks({1, 2, 3, 4, 5, 6}, {1.5, 1.5, 0, 1.5, 1.5, 0});
    EXPECT_THAT(tickColumns(), ElementsAre(10, 40, 50));
}

TEST_F(GraphGeometryTest, LiveTicksAreBlackAndShiftAutoMarksByTheStartOffset) {
    model.setXRange(0.0, 20.0);                                  // 5 px per mm
    model.setMarkTrace(kSlotRatio, true, 0.1, -4.0, true, 4.0);  // start offset -4 mm
    setMarks({1, 10, 11, 16, 17}, {0, 1.5, 0, 2.0, 0});
    setContext([](GraphContext& c) {
        c.liveRun = true;
        c.recording = true;
    });
    // x values after the first carry the -4 shift: 6 mm and 12 mm.
    const auto out = ticks();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_TRUE(out[0].blackPen);
    EXPECT_EQ(out[0].line->from.x, 30);
    EXPECT_EQ(out[1].line->from.x, 60 - 19);  // moved by rnd(-4 / 20 * 100): -19.5 truncated
    EXPECT_EQ(lastTick, 41);
}

TEST_F(GraphGeometryTest, BoundariesGiveWayToTheLastMarkTick) {
    plan.boundaries = {4.0, 5.0, 6.8, 6.9, 9.0, 15.0, 9.5};
    plan.numberOffset = 10;
    std::vector<double> scratch;
    std::vector<BoundaryTick> out;
    auto columns = [&](std::optional<int> last) {
        GraphGeometry(model, kWidth, kHeight).boundaryTicks(last, scratch, out);
        std::vector<int> c;
        for (const BoundaryTick& b : out) {
            c.push_back(b.line->from.x);
        }
        return c;
    };
    // Stops at the first boundary right of the plot.
    EXPECT_THAT(columns(std::nullopt), ElementsAre(40, 50, 68, 69, 90));
    // Not at or left of the last tick, nor within 18 px right of it.
    EXPECT_THAT(columns(50), ElementsAre(69, 90));
    EXPECT_EQ(text(out[0].label), "14");  // index 3 + 1 + offset 10
    EXPECT_EQ(out[0].label.rect, (PixelRect{56, 184, 68, 196}));
    EXPECT_EQ(out[0].line->from, (PixelPoint{69, 181}));

    setContext([](GraphContext& c) { c.eventMarksShown = false; });
    EXPECT_THAT(columns(std::nullopt), IsEmpty());
}

TEST_F(GraphGeometryTest, TraceLinesBreakAtPointsOutsideThePlot) {
    std::vector<PixelPoint> points;
    std::vector<int> runEnds;
    auto lines = [&](std::vector<double> x) {
        const std::vector<double> y(x.size(), 2.5);
        EXPECT_TRUE(
            model.setTraceData(x.data(), y.data(), static_cast<int>(x.size()), kSlotAbsA, 1.0));
        GraphGeometry(model, kWidth, kHeight).traceLines(kSlotAbsA, true, points, runEnds);
    };
    lines({-5, -4, -3, -2});
    EXPECT_THAT(points, IsEmpty());
    // 11 is right of the plot; the lone point at 5 has nothing to join.
    lines({1, 2, 11, 3, 4, -1, 5, 12, 6, 7});
    EXPECT_THAT(runEnds, ElementsAre(2, 4, 6));
    EXPECT_EQ(points[2], (PixelPoint{30, 100}));
    EXPECT_EQ(points[4], (PixelPoint{60, 100}));

    // Callers keep the ranges non-empty; an empty one just draws nothing.
    model.setXRange(3.0, 3.0);
    lines({1, 3, 4});
    EXPECT_THAT(points, IsEmpty());
    model.setXRange(0.0, 10.0);
    model.setYRanges(2.5, 2.5, 0.0, 5.0, false, false);
    lines({1, 3, 4});
    EXPECT_THAT(points, IsEmpty());
}

TEST_F(GraphGeometryTest, ADenseColumnKeepsItsFirstExtremesAndLast) {
    const std::vector<double> x{1.0, 1.01, 1.02, 1.03, 1.04, 2.0};
    const std::vector<double> y{2.0, 4.0, 0.5, 3.0, 2.5, 2.5};
    ASSERT_TRUE(model.setTraceData(x.data(), y.data(), 6, kSlotAbsA, 1.0));
    std::vector<PixelPoint> points;
    std::vector<int> runEnds;
    GraphGeometry(model, kWidth, kHeight).traceLines(kSlotAbsA, true, points, runEnds);
    // The nearer extreme first: 180 is 60 rows from 120, 40 is 80.
    EXPECT_THAT(points, ElementsAre(PixelPoint{10, 120}, PixelPoint{10, 180}, PixelPoint{10, 40},
                                    PixelPoint{10, 100}, PixelPoint{20, 100}));
    GraphGeometry(model, kWidth, kHeight).traceLines(kSlotAbsA, false, points, runEnds);
    EXPECT_EQ(points.size(), 6u);
}

TEST_F(GraphGeometryTest, ColumnSpansAreTheRowsThePenSetsInEachColumn) {
    // Columns 10, 11, 15, 15, 30, then a lone point after a break.
    const std::vector<double> x{1.0, 1.0, 1.0, 1.1, 1.5, 1.51, 3.0, NAN, 5.0};
    const std::vector<double> y{2.0, 4.0, 3.0, 1.0, 2.5, 3.5, 1.5, 1.0, 1.0};
    ASSERT_TRUE(model.setTraceData(x.data(), y.data(), static_cast<int>(x.size()), kSlotAbsA, 1.0));
    std::vector<ColumnSpan> spans;
    std::vector<PixelSegment> steps;
    const GraphGeometry geometry(model, kWidth, kHeight);
    // A 1 px pen: rows 120, 40, 80 in column 10; the step down to row 160
    // in column 11 sets column 10's rows to 159 and 160 in column 11. The
    // steps over several columns are segments.
    geometry.traceSpans(kSlotAbsA, 1, spans, steps);
    EXPECT_THAT(spans, ElementsAre(ColumnSpan{10, 40, 159}, ColumnSpan{11, 160, 160}, ColumnSpan{15, 60, 100},
                                   ColumnSpan{30, 140, 140}));
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].from, (PixelPoint{11, 160}));
    EXPECT_EQ(steps[0].to, (PixelPoint{15, 100}));
    EXPECT_EQ(steps[1].to, (PixelPoint{30, 140}));
    // A 3 px pen: the steep step is halved at row 120, and the run's ends
    // are square caps a row long.
    geometry.traceSpans(kSlotAbsA, 3, spans, steps);
    EXPECT_THAT(spans, ElementsAre(ColumnSpan{10, 40, 121}, ColumnSpan{11, 120, 160}, ColumnSpan{15, 60, 100},
                                   ColumnSpan{30, 139, 141}));
    // A level step reaches half the pen across the line.
    const std::vector<double> level{2.0, 2.0};
    const std::vector<double> at{1.0, 1.1};
    ASSERT_TRUE(model.setTraceData(at.data(), level.data(), 2, kSlotAbsA, 1.0));
    GraphGeometry(model, kWidth, kHeight).traceSpans(kSlotAbsA, 5, spans, steps);
    EXPECT_THAT(spans, ElementsAre(ColumnSpan{10, 118, 122}, ColumnSpan{11, 118, 122}));
}

TEST_F(GraphGeometryTest, CursorsOnThePlotWithHandlesUnlessRecording) {
    model.setCursorList(true, {{5.0, true, 100}, {12.0, false, 0}, {0.5, true, 3}});
    std::vector<PixelSegment> lines;
    std::vector<PixelSegment> handles;
    const GraphGeometry geometry(model, kWidth, kHeight);
    geometry.cursorLines(lines, handles);
    ASSERT_EQ(lines.size(), 2u);  // 12.0 is right of the plot
    EXPECT_EQ(lines[0].from, (PixelPoint{50, 1}));
    EXPECT_EQ(lines[0].to, (PixelPoint{50, 198}));
    // A full box at 50; at column 5 the left side (-2) and top side (-4)
    // fall outside and are left out.
    EXPECT_EQ(handles.size(), 4u + 2u);
    EXPECT_FALSE(geometry.cursorsRed());

    setContext([](GraphContext& c) {
        c.recording = true;
        c.overlayOrStandardShown = true;
    });
    geometry.cursorLines(lines, handles);
    EXPECT_THAT(handles, IsEmpty());
    EXPECT_TRUE(geometry.cursorsRed());
}

}  // namespace
}  // namespace corvane
