#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>

#include "FakePlan.h"
#include "QtTestApp.h"
#include "graph/GraphPainter.h"

namespace corvane {
namespace {

using test::countInColumn;
using test::countInRow;
using test::kBlack;
using test::kWhite;

constexpr Rgb kRed{255, 1, 0};      // slot 2
constexpr Rgb kDarkRed{160, 0, 0};  // slot 6
constexpr Rgb kGreen{0, 255, 0};    // boundary pen

// A 200 x 200 plot: x 0..20 is 10 px per unit, y 0..5 is 40 px per unit and
// the YY axis 0..2.5 is 80 px per unit.
class GraphPainterTest : public ::testing::Test {
protected:
    GraphPainterTest() {
        test::qtApp();
        model.setXRange(0.0, 20.0);
        model.setYRanges(0.0, 5.0, 0.0, 2.5, false, false);
    }

    QImage paint(GraphPaintStyle style = GraphPaintStyle::screen()) {
        QImage image(200, 200, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QPainter p(&image);
        GraphPainter(style).paint(p, model, image.size());
        return image;
    }
    void set(int slot, std::vector<double> x, std::vector<double> y) {
        ASSERT_TRUE(model.setTraceData(x.data(), y.data(), static_cast<int>(x.size()), slot, 1.0));
    }
    static int nonWhite(const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            n += image.width() - countInRow(image, y, kWhite);
        }
        return n;
    }

    GraphModel model;
};

TEST_F(GraphPainterTest, ATraceLeftOfThePlotDrawsNothingAndOthersAreHeldToTheEdgeRows) {
    EXPECT_EQ(nonWhite(paint()), 0);  // before any data: a white area
    set(kSlotAbsA, {-9, -8, -7, -6}, {1, 4, 2, 3});
    EXPECT_EQ(nonWhite(paint()), 0);

    // Far above, then far below: the line runs along the top row, down the
    // whole height and along the bottom row, never clipped away.
    set(kSlotAbsA, {5, 10, 10, 15}, {40, 40, -40, -40});
    const QImage image = paint();
    EXPECT_EQ(countInRow(image, 0, kRed), 51);
    EXPECT_EQ(countInRow(image, 199, kRed), 51);
    EXPECT_EQ(countInColumn(image, 100, kRed), 200);
    EXPECT_EQ(nonWhite(image), 51 + 51 + 198);
}

TEST_F(GraphPainterTest, APageDrawsWiderPensAndLeavesTheCursorsOff) {
    set(kSlotAbsA, {5, 5}, {1, 4});
    model.setCursorList(true, {GraphCursor{15.0, false, 0}});
    const QImage image = paint(GraphPaintStyle::page(2.0, 100.0));
    int redColumns = 0;
    for (int x = 45; x < 55; ++x) {
        redColumns += countInColumn(image, x, kRed) > 100 ? 1 : 0;
    }
    EXPECT_EQ(redColumns, 2);
    EXPECT_EQ(countInColumn(image, 150, kBlack), 0);
}

TEST_F(GraphPainterTest, AMarkStepOf60PixelsDrawsOneTickAndOneLabelAndOf50None) {
    test::FakePlan plan;
    plan.otherwise = {FractionLabel::Kind::Number, 7};
    model.setFractionPlan(&plan);
    model.setMarkTrace(kSlotRatio, true, 0.1, 0.0, false, 0.0);
    // 0.25 sits on row 180; 1.0 is 60 px above it, 0.875 50 px.
    set(kSlotRatio, {2, 8, 9, 14}, {0.25, 0.25, 1.0, 0.25});
    QImage image = paint();
    int tickColumns = 0;
    for (int x = 0; x < 200; ++x) {
        tickColumns += countInColumn(image, x, kDarkRed) > 0 ? 1 : 0;
    }
    EXPECT_EQ(tickColumns, 1);
    EXPECT_EQ(countInColumn(image, 90, kDarkRed), 19);  // rows 181..199
    // The label "7" in its box left of the tick, and nothing else drawn.
    const QRect box(77, 184, 12, 12);
    int labelPixels = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (x != 90 && !test::isColour(image, x, y, kWhite)) {
                EXPECT_TRUE(box.contains(x, y)) << x << "," << y;
                ++labelPixels;
            }
        }
    }
    EXPECT_GT(labelPixels, 4);

    set(kSlotRatio, {2, 8, 9, 14}, {0.25, 0.25, 0.875, 0.25});
    EXPECT_EQ(nonWhite(paint()), 0);
}

TEST_F(GraphPainterTest, GridHasThreeRowsAndFourOrNineColumnsOfDots) {
    set(kSlotAbsA, {-1}, {0});
    model.setShowGrid(true);
    auto gridLines = [](const QImage& image) {
        int rows = 0;
        int columns = 0;
        for (int i = 0; i < 200; ++i) {
            rows += countInRow(image, i, kBlack) > 40 ? 1 : 0;
            columns += countInColumn(image, i, kBlack) > 40 ? 1 : 0;
        }
        return std::pair(rows, columns);
    };
    const QImage image = paint();
    EXPECT_EQ(gridLines(image), std::pair(3, 4));
    EXPECT_LT(countInColumn(image, 40, kBlack), 150);  // dotted, not solid
    model.setTenXDivisions(true);
    EXPECT_EQ(gridLines(paint()), std::pair(3, 9));
}

TEST_F(GraphPainterTest, ReducingDenseColumnsLeavesThePictureUnchanged) {
    // 20000 noisy points, some above, below and beside the plot, on both
    // axes, one slot shifted by a pixel offset.
    std::vector<double> x;
    std::vector<double> y;
    for (int i = 0; i < 20000; ++i) {
        x.push_back(-1.0 + 22.0 * i / 20000);
        y.push_back(2.5 + 2.7 * std::sin(i * 0.013) + 0.8 * std::sin(i * 1.7));
    }
    set(kSlotAbsA, x, y);
    set(kSlotRatio, x, y);
    set(kSlotAbsB, x, y);
    model.setTracePixelOffset(kSlotAbsB, 0.5, 5.0, 200);
    model.setTraceStyle(kSlotAbsB, true, false);
    model.setTraceXGain(kSlotAbsA, 1.3);

    GraphPaintStyle everyPoint = GraphPaintStyle::screen();
    everyPoint.reduceDenseColumns = false;
    EXPECT_EQ(paint(), paint(everyPoint));
}

TEST_F(GraphPainterTest, ABoundaryUnderOrJustRightOfTheLastMarkTickIsNotDrawn) {
    test::FakePlan plan;
    plan.boundaries = {10.0, 11.0, 15.0};
    model.setFractionPlan(&plan);
    model.setMarkTrace(kSlotRatio, true, 0.1, 0.0, false, 0.0);
    set(kSlotRatio, {5, 10, 11}, {0.25, 1.0, 0.25});
    GraphContext context;
    context.liveRun = true;
    context.recording = true;
    model.setContext(context);

    const QImage image = paint();
    EXPECT_EQ(countInColumn(image, 100, kBlack), 19);  // the mark tick, black while recording
    EXPECT_EQ(countInColumn(image, 100, kGreen), 0);
    EXPECT_EQ(countInColumn(image, 110, kGreen), 0);  // within 18 px of the tick
    EXPECT_EQ(countInColumn(image, 150, kGreen), 19);

    // Not recording: no tick is the last taken, every boundary shows.
    context.recording = false;
    model.setContext(context);
    EXPECT_EQ(countInColumn(paint(), 110, kGreen), 19);
}

}  // namespace
}  // namespace corvane
