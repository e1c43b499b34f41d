#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>
#include <cstdint>

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

TEST_F(GraphPainterTest, AnAnalysisShadesItsRegionsAndDrawsItsValleysAndBaselineWhereTheAxesPutThem) {
    set(kSlotAbsA, {-9, -8}, {1, 1});  // data (left of the plot): the graph is drawn whole
    GraphAnnotations marks;
    marks.regions.push_back({5.0, 10.0, "80S", 0, false});
    marks.boundaries = {10.0};
    marks.baseline = {{0.0, 1.0}, {20.0, 1.0}};
    model.setAnnotations(marks);
    const QImage image = paint();
    // Shaded from column 50 to 100, white beyond.
    const QColor inside = image.pixelColor(75, 100);
    EXPECT_NE(inside, QColor(Qt::white));
    EXPECT_GT(inside.blue(), inside.red());
    EXPECT_EQ(image.pixelColor(150, 100), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(40, 100), QColor(Qt::white));
    // The valley: a dashed line down column 100.
    const int dark = 200 - countInColumn(image, 100, kWhite);
    EXPECT_GT(dark, 60);
    EXPECT_EQ(countInColumn(image, 101, kWhite), 199) << "beside it, only the baseline";
    // The baseline at y 1: row 160, right across.
    const QColor base = image.pixelColor(150, 160);
    EXPECT_GT(base.red(), base.blue());
    EXPECT_LT(base.lightness(), 160);
    EXPECT_EQ(image.pixelColor(150, 150), QColor(Qt::white));

    // On a log axis the level has no place: no baseline; nothing at all without marks.
    model.setYRanges(0.001, 5.0, 0.0, 2.5, true, false);
    EXPECT_EQ(paint().pixelColor(150, 160), QColor(Qt::white));
    model.setAnnotations({});
    EXPECT_EQ(nonWhite(paint()), 0);
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

// A dashed overlay trace on a printer's page keeps dashes a reader sees:
// half the solid pen's width, dashes six widths long, not one device pixel.
TEST_F(GraphPainterTest, DashesOnAPrintedPageScaleWithItsPens) {
    set(kSlotAbsA, {0, 20}, {2.5, 2.5});
    model.setTraceStyle(kSlotAbsA, true, false);
    const auto longestRun = [](const QImage& image, int row) {
        int longest = 0;
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = QColor(image.pixel(x, row)) == QColor(255, 1, 0) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        return longest;
    };
    // On screen: a one pixel pen, dashes of six.
    EXPECT_EQ(longestRun(paint(), 100), 6);
    // At s = 8 (a 400 dpi page): a four pixel pen, dashes of 24, with gaps.
    const QImage page = paint(GraphPaintStyle::page(8.0, 400.0));
    EXPECT_EQ(longestRun(page, 100), 24);
    EXPECT_LT(countInRow(page, 100, kRed), 150);
    EXPECT_EQ(countInColumn(page, 13, kRed), 4) << "the pen's width";
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

// 20000 noisy points, some above, below and beside the plot, on both
// axes, one slot shifted by a pixel offset and dashed, one stretched.
void setNoisyTraces(GraphModel& model) {
    std::vector<double> x;
    std::vector<double> y;
    for (int i = 0; i < 20000; ++i) {
        x.push_back(-1.0 + 22.0 * i / 20000);
        y.push_back(2.5 + 2.7 * std::sin(i * 0.013) + 0.8 * std::sin(i * 1.7));
    }
    for (int slot : {kSlotAbsA, kSlotRatio, kSlotAbsB}) {
        ASSERT_TRUE(model.setTraceData(x.data(), y.data(), static_cast<int>(x.size()), slot, 1.0));
    }
    model.setTracePixelOffset(kSlotAbsB, 0.5, 5.0, 200);
    model.setTraceStyle(kSlotAbsB, true, false);
    model.setTraceXGain(kSlotAbsA, 1.3);
}

// The pixels where two pictures differ, and whether each of them has the
// other picture's colour within a pixel's reach in its own picture.
struct PictureDifference {
    int pixels = 0;
    int beyondAPixel = 0;
};
PictureDifference compare(const QImage& a, const QImage& b) {
    PictureDifference d;
    const auto near = [](const QImage& image, int x, int y, QRgb colour) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (image.rect().contains(x + dx, y + dy) && image.pixel(x + dx, y + dy) == colour) return true;
            }
        }
        return false;
    };
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                ++d.pixels;
                d.beyondAPixel += near(a, x, y, b.pixel(x, y)) && near(b, x, y, a.pixel(x, y)) ? 0 : 1;
            }
        }
    }
    return d;
}

TEST_F(GraphPainterTest, ReducingDenseColumnsLeavesThePictureUnchanged) {
    setNoisyTraces(model);
    GraphPaintStyle reduced = GraphPaintStyle::screen();
    reduced.spanDenseColumns = false;
    GraphPaintStyle everyPoint = reduced;
    everyPoint.reduceDenseColumns = false;
    EXPECT_EQ(paint(reduced), paint(everyPoint));
}

TEST_F(GraphPainterTest, ColumnSpansDrawANoisyRunAsItsLinesDoWithinAPixel) {
    // A run as the detector records it: 25000 samples of a few bands with
    // noise of about 2 % of the range from one sample to the next, Abs A,
    // Abs B and their ratio, drawn on the screen's plot with a 1 px pen and
    // on a page's plot with the pens of 100 and 300 dpi; the spans against
    // the lines drawn as they were before them. Where a line leaves the
    // plot Qt clips it before drawing, and a wide pen's slanted stroke and
    // a column's span part at the corners of steep steps: a few pixels
    // differ, and but for 1 in 2000 of the trace's pixels by a pixel at most.
    std::vector<double> x;
    std::vector<double> a;
    std::vector<double> b;
    std::vector<double> ratio;
    std::uint32_t seed = 7;
    const auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.08;
    };
    for (int i = 0; i < 25000; ++i) {
        const double mm = 85.0 * i / 25000;
        const auto band = [mm](double at, double width, double height) {
            return height * std::exp(-(mm - at) * (mm - at) / (width * width));
        };
        x.push_back(i);
        a.push_back(0.3 + band(22, 3, 0.9) + band(38, 2.2, 1.45) + noise());
        b.push_back(0.25 + band(22, 3, 0.35) + band(38, 2.2, 0.95) + noise());
        ratio.push_back(a.back() / b.back());
    }
    GraphModel run;
    run.setXRange(0.0, 25000.0);
    run.setYRanges(0.0, 2.0, 0.0, 4.0, false, false);
    for (const auto& [slot, y] : {std::pair{kSlotAbsA, &a}, {kSlotAbsB, &b}, {kSlotRatio, &ratio}}) {
        ASSERT_TRUE(run.setTraceData(x.data(), y->data(), static_cast<int>(x.size()), slot, 1.0));
    }
    const auto draw = [&run](QSize plot, const GraphPaintStyle& style) {
        QImage image(plot, QImage::Format_RGB32);
        QPainter p(&image);
        GraphPainter(style).paint(p, run, plot);
        return image;
    };
    for (const auto& [plot, pen] : {std::pair{QSize(630, 335), 1.0}, {QSize(950, 440), 2.0}, {QSize(1425, 660), 6.0}}) {
        SCOPED_TRACE(pen);
        const GraphPaintStyle spans = pen == 1.0 ? GraphPaintStyle::screen() : GraphPaintStyle::page(pen, 50.0 * pen);
        GraphPaintStyle lines = spans;
        lines.spanDenseColumns = false;
        const QImage drawn = draw(plot, spans);
        const PictureDifference d = compare(drawn, draw(plot, lines));
        const int inked = nonWhite(drawn);
        EXPECT_LT(d.pixels, inked * 3 / 100) << "of " << inked;
        EXPECT_LE(d.beyondAPixel, inked / 2000) << "of " << inked;
    }
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
