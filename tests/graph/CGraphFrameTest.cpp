#include <gtest/gtest.h>

#include <QPainter>
#include <string>
#include <vector>

#include "QtTestApp.h"
#include "TestClocks.h"
#include "graph/CGraphCtrl.h"
#include "graph/CGraphFrame.h"

namespace corvane {
namespace {

using test::isColour;
using test::kBlack;
using test::kWhite;

// A frame of 600 x 400 around a plot of x 0..100, y 0..2.
class CGraphFrameTest : public ::testing::Test {
protected:
    CGraphFrameTest() {
        frame.resize(600, 400);
        frame.setTitles("Position (mm)", "Absorbance (AU)", "");
        graph.edit([](GraphModel& m) {
            m.setXRange(0.0, 100.0);
            m.setYRanges(0.0, 2.0, 0.0, 5.0, false, false);
        });
        const std::vector<double> x{0.0, 50.0, 100.0};
        const std::vector<double> y{0.5, 1.5, 0.5};
        graph.setTraceData(x.data(), y.data(), 3, kSlotAbsB);
    }
    static std::vector<std::string> labels(const std::vector<CGraphFrame::PlacedTick>& ticks) {
        std::vector<std::string> out;
        for (const auto& t : ticks) {
            out.push_back(t.tick.label);
        }
        return out;
    }

    QApplication& app = test::qtApp();
    test::ManualClock clock;
    CGraphCtrl& graph = *new CGraphCtrl(clock);
    CGraphFrame frame{graph, nullptr};
};

TEST_F(CGraphFrameTest, LabelsSitOutsideThePlotWhereTheMappingPutsTheirValues) {
    const QRect plot = graph.geometry();
    EXPECT_EQ(plot, QRect(70, 8, 600 - 70 - 12, 400 - 8 - 38));
    const auto xs = frame.xTicks();
    ASSERT_FALSE(xs.empty());
    for (const auto& t : xs) {
        // x = value: pixel = left + rnd(value / 100 * width).
        EXPECT_EQ(t.pixel, plot.left() + static_cast<int>(t.tick.value / 100.0 * plot.width() + 0.5)) << t.tick.label;
    }
    EXPECT_EQ(labels(frame.yTicks(false)), (std::vector<std::string>{"0.0", "0.5", "1.0", "1.5", "2.0"}));
    EXPECT_EQ(frame.yTicks(false).back().pixel, plot.top());  // 2.0 at the top row

    const QImage picture = frame.grab().toImage();
    // The plot's own pixels: the trace's peak (1.5 at x 50) where the plot
    // maps it, the plot white where nothing is drawn.
    const int peakX = plot.left() + plot.width() / 2;
    const int peakY = plot.top() + plot.height() - static_cast<int>(1.5 / 2.0 * plot.height() + 0.5);
    EXPECT_TRUE(isColour(picture, peakX, peakY, {1, 1, 1})) << peakX << "," << peakY;
    EXPECT_TRUE(isColour(picture, plot.left() + 5, plot.top() + 5, kWhite));
    // Tick marks below the plot at the x ticks, label text in the margin.
    EXPECT_TRUE(isColour(picture, xs[1].pixel, plot.bottom() + 3, kBlack));
    int inkLeft = 0;
    for (int x = 0; x < plot.left() - 2; ++x) {
        for (int y = plot.top(); y < plot.bottom(); ++y) {
            inkLeft += qGray(picture.pixel(x, y)) < 100 ? 1 : 0;
        }
    }
    EXPECT_GT(inkLeft, 100);
}

TEST_F(CGraphFrameTest, RightAxisLogDecadesAndNoLabels) {
    frame.setTitles("Sample", "Absorbance (AU)", "Abs A / Abs B");
    EXPECT_EQ(graph.geometry().width(), 600 - 70 - 70);
    graph.edit([](GraphModel& m) { m.setYRanges(0.001, 10.0, 0.01, 100.0, true, false); });
    EXPECT_EQ(labels(frame.yTicks(false)), (std::vector<std::string>{"0.001", "0.01", "0.1", "1", "10"}));
    EXPECT_EQ(labels(frame.yTicks(true)).size(), 5u);

    frame.setLabelsShown(false);
    EXPECT_EQ(graph.geometry(), frame.rect());
}

}  // namespace
}  // namespace corvane
