#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "graph/AxisTicks.h"

namespace corvane {
namespace {

std::vector<std::string> labels(const std::vector<AxisTick>& ticks) {
    std::vector<std::string> out;
    for (const auto& t : ticks) {
        out.push_back(t.label);
    }
    return out;
}

TEST(AxisTicks, AwkwardLinearRangesGetReadableSteps) {
    // 0.22 milli-AU of noise: steps of 0.00005 with five decimals, so
    // neighbouring labels differ.
    EXPECT_EQ(labels(linearTicks(0.000934, 0.001154, 6)),
              (std::vector<std::string>{"0.00095", "0.00100", "0.00105", "0.00110", "0.00115"}));
    // A range across zero: whole hundreds, a plain "0", no "-0".
    EXPECT_EQ(labels(linearTicks(-313.9, 22.9, 6)),
              (std::vector<std::string>{"-300", "-200", "-100", "0"}));
    // Counts: no decimals; reversed limits give the same ticks.
    EXPECT_EQ(labels(linearTicks(400000.0, 0.0, 5)),
              (std::vector<std::string>{"0", "100000", "200000", "300000", "400000"}));
    // Ticks on both ends are kept despite rounding (0.1 * 3 is not 0.3).
    EXPECT_EQ(labels(linearTicks(0.0, 0.3, 4)), (std::vector<std::string>{"0.0", "0.1", "0.2", "0.3"}));
}

TEST(AxisTicks, StepIsTheSmallestOneTwoFiveThatFits) {
    EXPECT_DOUBLE_EQ(niceTickStep(10.0, 11), 1.0);
    EXPECT_DOUBLE_EQ(niceTickStep(10.0, 10), 2.0);
    EXPECT_DOUBLE_EQ(niceTickStep(10.0, 5), 5.0);
    EXPECT_DOUBLE_EQ(niceTickStep(10.0, 2), 10.0);
    for (const double span : {0.0007, 3.3, 47.0, 999.0, 123456.0}) {
        for (int n = 2; n < 12; ++n) {
            const auto ticks = linearTicks(0.1 * span, 1.1 * span, n);
            EXPECT_LE(static_cast<int>(ticks.size()), n) << span << " " << n;
            EXPECT_GE(ticks.size(), 1u) << span << " " << n;
        }
    }
}

TEST(AxisTicks, NothingForEmptyOrBrokenAxes) {
    EXPECT_TRUE(linearTicks(1.0, 1.0, 6).empty());
    EXPECT_TRUE(linearTicks(0.0, std::numeric_limits<double>::infinity(), 6).empty());
    EXPECT_TRUE(linearTicks(std::numeric_limits<double>::quiet_NaN(), 1.0, 6).empty());
    EXPECT_TRUE(logTicks(0.0, 10.0).empty());
    EXPECT_TRUE(logTicks(1.0, 1.0).empty());
}

TEST(AxisTicks, LogAxisHasOneTickPerDecadeWhereTheMappingPutsIt) {
    const auto ticks = logTicks(0.001, 10.0);
    EXPECT_EQ(labels(ticks), (std::vector<std::string>{"0.001", "0.01", "0.1", "1", "10"}));
    // The display maps y to lo + (hi - lo) * log10(y / lo) / 4.
    ASSERT_EQ(ticks.size(), 5u);
    EXPECT_DOUBLE_EQ(ticks[0].value, 0.001);
    EXPECT_DOUBLE_EQ(ticks[2].value, 0.001 + (10.0 - 0.001) / 2.0);
    EXPECT_DOUBLE_EQ(ticks[4].value, 10.0);
}

TEST(AxisTicks, FlatRangeOpensAroundTheValueOnly) {
    // A flat absorbance of 0.5: 0.495 to 0.505 (one per cent either side).
    const auto flat = openFlatRange({0.5, 0.5});
    EXPECT_DOUBLE_EQ(flat.min, 0.495);
    EXPECT_DOUBLE_EQ(flat.max, 0.505);
    // A flat zero: 0.001 either side.
    EXPECT_EQ(openFlatRange({0.0, 0.0}), (AxisRange{-0.001, 0.001}));
    // Any real range keeps its exact extremes: no margin.
    EXPECT_EQ(openFlatRange({0.2, 0.2000001}), (AxisRange{0.2, 0.2000001}));
}

}  // namespace
}  // namespace corvane
