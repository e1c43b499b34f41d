#include <gtest/gtest.h>

#include <limits>

#include "graph/AxisScaling.h"

namespace corvane {
namespace {

TEST(AxisScaling, LogDecadeRangeGivesFourDecades) {
    EXPECT_EQ(LogDecadeRange(0.003, 0.8), (AxisRange{0.001, 10.0}));
    const auto fromZero = LogDecadeRange(0.0, 0.3);
    EXPECT_DOUBLE_EQ(fromZero.min, 0.0001);
    EXPECT_DOUBLE_EQ(fromZero.max, 1.0);
    EXPECT_EQ(LogDecadeRange(5000.0, 90000.0), (AxisRange{100.0, 1000000.0}));  // min above 100
    EXPECT_DOUBLE_EQ(LogDecadeRange(-1.0, 0.0005).max, 0.001);
    const auto huge = LogDecadeRange(0.0, std::numeric_limits<double>::infinity());
    EXPECT_TRUE(huge.max > 1e299);  // ends, and stays finite
}

TEST(AxisScaling, AutoScaleTakesTheExtremesOfFiniteValues) {
    auto live = AutoScaleRange::forLiveRun();
    EXPECT_FALSE(live.range().has_value());
    live.add(std::numeric_limits<double>::quiet_NaN());
    live.add(std::numeric_limits<double>::infinity());
    EXPECT_FALSE(live.range().has_value());
    live.add(0.4);
    live.add(-0.2);
    EXPECT_EQ(live.range(), (AxisRange{-0.2, 0.4}));

    // The starting extremes bound what a range can reach.
    auto loaded = AutoScaleRange::forLoadedFile();
    loaded.add(2e9);
    EXPECT_EQ(loaded.range(), (AxisRange{999999999.9, 2e9}));
}

TEST(AxisScaling, BoxTextsAndSpins) {
    EXPECT_EQ(axisLimitText(1.5, 1.0, false), "1.50");
    EXPECT_EQ(axisLimitText(1.5, 0.9, false), "1.500000");
    EXPECT_EQ(axisLimitText(1.5, 5.0, true), "1.500000");
    EXPECT_EQ(autoScaledLimitText(0.25, 0.5, false), "0.250000");
    EXPECT_EQ(autoScaledLimitText(3.25, 9.0, false), "3.2");
    EXPECT_EQ(autoScaledLimitText(999812.4, 700.0, false), "999812");

    EXPECT_EQ(spinAxisLimit("2.0", {0.0, 2.0}, true), 2.5);
    EXPECT_EQ(spinAxisLimit(" 0x", {0.0, 2.0}, false), -0.5);
    EXPECT_FALSE(spinAxisLimit("max", {0.0, 2.0}, true).has_value());
    EXPECT_EQ(parseAxisText("  -1.5e2 mm"), -150.0);
}

}  // namespace
}  // namespace corvane
