#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SyntheticProfiles.h"
#include "analysis/Smoothing.h"

namespace corvane {
namespace {

std::vector<double> cubic(std::size_t n) {
    std::vector<double> y;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / 10.0;
        y.push_back(0.5 - 1.5 * t + 0.25 * t * t - 0.01 * t * t * t);
    }
    return y;
}

TEST(Smoothing, WeightsAreTheTextbookOnes) {
    // Window 5, degree 2: (-3, 12, 17, 12, -3) / 35; the slope: (-2, -1, 0, 1, 2) / 10.
    const auto value = savitzkyGolayWeights(5, 2, 0, 0);
    const double expected[] = {-3, 12, 17, 12, -3};
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_NEAR(value[k], expected[k] / 35.0, 1e-12);
    }
    const auto slope = savitzkyGolayWeights(5, 2, 1, 0);
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_NEAR(slope[k], (static_cast<double>(k) - 2.0) / 10.0, 1e-12);
    }
}

TEST(Smoothing, APolynomialOfTheFilterDegreeComesThroughWholeEndsIncluded) {
    const auto y = cubic(300);
    for (const int window : {5, 21, 51}) {
        const Smoothing sg{SmoothingKind::SavitzkyGolay, window, 3};
        const auto s = smoothed(y, sg);
        const auto slope = smoothedSlope(y, sg);
        for (std::size_t i = 0; i < y.size(); ++i) {
            ASSERT_NEAR(s[i], y[i], 1e-9) << "window " << window << " sample " << i;
            const double t = static_cast<double>(i) / 10.0;
            ASSERT_NEAR(slope[i], (-1.5 + 0.5 * t - 0.03 * t * t) / 10.0, 1e-9) << i;
        }
    }
    // A moving average keeps a line in the middle and gives its slope everywhere.
    std::vector<double> line;
    for (int i = 0; i < 50; ++i) line.push_back(2.0 + 0.5 * i);
    const Smoothing ma{SmoothingKind::MovingAverage, 7, 0};
    const auto s = smoothed(line, resolvedSmoothing(ma, line.size()));
    EXPECT_NEAR(s[25], line[25], 1e-12);
    EXPECT_NEAR(s[0], line[3], 1e-12) << "an end takes the mean of the first window";
    for (const double v : smoothedSlope(line, resolvedSmoothing(ma, line.size()))) {
        ASSERT_NEAR(v, 0.5, 1e-12);
    }
}

TEST(Smoothing, QuietsNoiseButKeepsAPeakHeight) {
    const auto x = test::evenX(0, 100, 0.1);
    const test::Bump bump{50.0, 2.0, 1.0};
    const Profile clean = test::bumps(x, {bump});
    const Profile noisy = test::bumps(x, {bump}, 0.0, 0.02);
    const Smoothing s = resolvedSmoothing(Smoothing{}, x.size());
    EXPECT_EQ(s.window, 11);
    const auto out = smoothed(noisy.y, s);
    double before = 0.0;
    double after = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        before += std::pow(noisy.y[i] - clean.y[i], 2);
        after += std::pow(out[i] - clean.y[i], 2);
    }
    EXPECT_LT(after, before / 3.0);
    EXPECT_NEAR(smoothed(clean.y, s)[500], 1.0, 1e-4) << "a degree-3 fit barely flattens a top 20 samples wide";
}

TEST(Smoothing, StreamingGivesTheSameNumbersAsTheWholeProfile) {
    const Profile p = test::bumps(test::evenX(0, 30, 0.1), {{12.0, 1.5, 1.0}, {20.0, 1.0, 0.4}}, 0.1, 0.01);
    for (const Smoothing s : {Smoothing{SmoothingKind::SavitzkyGolay, 15, 3},
                              Smoothing{SmoothingKind::MovingAverage, 9, 0},
                              Smoothing{SmoothingKind::None, 0, 0}}) {
        for (const std::size_t length : {p.size(), std::size_t{6}}) {
            const std::span<const double> y(p.y.data(), length);
            const Smoothing whole = resolvedSmoothing(s, length);
            const auto values = smoothed(y, whole);
            const auto slopes = smoothedSlope(y, whole);
            StreamingSmoother stream(s);
            std::vector<StreamingSmoother::Point> points;
            for (std::size_t i = 0; i < length; ++i) {
                const std::size_t before = points.size();
                stream.push(y[i], points);
                for (std::size_t k = before; k < points.size(); ++k) {
                    ASSERT_LE(points[k].index + stream.delay(), i) << "a point comes no earlier than its window";
                }
            }
            stream.finish(points);
            ASSERT_EQ(points.size(), length) << smoothingText(s);
            for (std::size_t i = 0; i < length; ++i) {
                ASSERT_EQ(points[i].index, i);
                ASSERT_NEAR(points[i].value, values[i], 1e-12) << smoothingText(s) << " " << i;
                ASSERT_NEAR(points[i].slope, slopes[i], 1e-12) << smoothingText(s) << " " << i;
            }
        }
    }
}

TEST(Smoothing, TextFormsAndTheirLimits) {
    EXPECT_EQ(parseSmoothing("sg:21:3"), (Smoothing{SmoothingKind::SavitzkyGolay, 21, 3}));
    EXPECT_EQ(parseSmoothing("ma:9"), (Smoothing{SmoothingKind::MovingAverage, 9, 0}));
    EXPECT_EQ(parseSmoothing("none")->kind, SmoothingKind::None);
    EXPECT_EQ(parseSmoothing("auto"), Smoothing{});
    for (const char* bad : {"sg:20:3", "sg:21:21", "sg:21:7", "ma:1", "ma:x", "sg:21", "sg:5001:3", "mean:5", ""}) {
        EXPECT_FALSE(parseSmoothing(bad)) << bad;
    }
    for (const char* text : {"sg:21:3", "ma:9", "none", "auto"}) {
        EXPECT_EQ(smoothingText(*parseSmoothing(text)), text);
    }
    // Resolved for short profiles: never longer than the profile, the order below the window.
    const Smoothing shortened = resolvedSmoothing(Smoothing{SmoothingKind::SavitzkyGolay, 51, 5}, 8);
    EXPECT_EQ(shortened.window, 7);
    EXPECT_EQ(shortened.order, 5);
    EXPECT_EQ(resolvedSmoothing(Smoothing{}, 2).window, 1);
    EXPECT_EQ(resolvedSmoothing(Smoothing{}, 1000000).window, 51);
    EXPECT_EQ(resolvedSmoothing(Smoothing{}, 100).window, 5);
}

}  // namespace
}  // namespace corvane
