#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <memory>
#include <vector>

#include "SyntheticProfiles.h"
#include "analysis/Baseline.h"
#include "analysis/ProfileAnalysis.h"
#include "analysis/Regions.h"

namespace corvane {
namespace {

Baseline level(double value) {
    Baseline b;
    b.level = value;
    return b;
}

TEST(Areas, AGaussianAndATriangleMatchTheirClosedForms) {
    const test::Bump bump{25.0, 1.3, 0.8};
    const Profile p = test::bumps(test::evenX(0, 50, 0.1), {bump}, 0.2);
    const AreaIntegral integral(p.x, p.y, level(0.2));
    const double area = integral.over(0, static_cast<double>(p.size() - 1));
    EXPECT_NEAR(area / bump.area(), 1.0, 0.005);
    // Within one width either side: erf(1/sqrt 2) of it.
    const double within = integral.over(*positionOfX(p.x, 25.0 - 1.3), *positionOfX(p.x, 25.0 + 1.3));
    EXPECT_NEAR(within / (bump.area() * std::erf(1.0 / std::sqrt(2.0))), 1.0, 0.005);

    // A triangle 4 wide and 3 high with its corners on samples: 6, exactly,
    // and half of it to its apex, wherever the samples fall.
    const std::vector<double> x{0.0, 0.7, 1.0, 2.0, 2.5, 3.1, 4.0};
    std::vector<double> y;
    for (const double v : x) y.push_back(v <= 2.0 ? 1.5 * v : 3.0 - 1.5 * (v - 2.0));
    const AreaIntegral triangle(x, y, level(0.0));
    EXPECT_NEAR(triangle.over(0, 6), 6.0, 1e-12);
    EXPECT_NEAR(triangle.over(0, 3), 3.0, 1e-12);
    EXPECT_NEAR(triangle.over(6, 0), -6.0, 1e-12) << "backwards is negative";
}

TEST(Areas, UnevenXAndBoundariesBetweenSamples) {
    // The same Gaussian sampled unevenly: bunched on one side, sparse on the other.
    const test::Bump bump{10.0, 1.0, 2.0};
    std::vector<double> x;
    for (double v = 0.0; v < 10.0; v += 0.05) x.push_back(v);
    for (double v = 10.0; v <= 20.0; v += 0.23) x.push_back(v);
    const Profile p = test::bumps(x, {bump});
    const AreaIntegral integral(p.x, p.y, level(0.0));
    EXPECT_NEAR(integral.over(0, static_cast<double>(p.size() - 1)) / bump.area(), 1.0, 0.005);
    const auto middle = positionOfX(p.x, 10.0);
    ASSERT_TRUE(middle);
    EXPECT_NEAR(integral.over(0, *middle) / (bump.area() / 2), 1.0, 0.005);
    EXPECT_NEAR(integral.over(*middle, static_cast<double>(p.size() - 1)) / (bump.area() / 2), 1.0, 0.005);

    // A straight line between samples is integrated exactly, fractions included.
    const std::vector<double> lx{0.0, 1.0, 3.0};
    const std::vector<double> ly{0.0, 2.0, 2.0};
    const AreaIntegral line(lx, ly, level(0.0));
    EXPECT_NEAR(line.over(0.5, 1.5), 0.75 + 2.0, 1e-12) << "x 0.5..1 under the ramp from 1 to 2, then x 1..2 at 2";
    EXPECT_NEAR(xAtPosition(lx, 1.25), 1.5, 1e-12);
    // Summed directly, the same areas, pieces between samples included.
    for (const auto& [from, to] :
         {std::pair{0.5, 1.5}, {0.0, 2.0}, {1.25, 1.75}, {1.75, 0.25}, {2.0, 2.0}, {-1.0, 9.0}}) {
        EXPECT_NEAR(areaBetween(lx, ly, level(0.0), from, to), line.over(from, to), 1e-12) << from << " " << to;
        EXPECT_NEAR(areaBetween(p.x, p.y, level(0.1), from * 100, to * 100),
                    integral.over(from * 100, to * 100) - 0.1 * (xAtPosition(p.x, std::clamp(to * 100, 0.0, 299.0)) -
                                                                 xAtPosition(p.x, std::clamp(from * 100, 0.0, 299.0))),
                    1e-9);
    }
    EXPECT_NEAR(*positionOfX(lx, 1.5), 1.25, 1e-12);
    EXPECT_EQ(*positionOfX(lx, 99.0), 2.0) << "beyond the profile: its nearest end";
    EXPECT_EQ(*positionOfX(lx, -5.0), 0.0);
}

TEST(Areas, ALineBaselineComesOffExactlyWhereverXRuns) {
    // x uneven and running back twice; the baseline a sloping line.
    const std::vector<double> x{0.0, 0.4, 1.5, 1.2, 2.0, 3.5, 3.1, 4.0, 6.0};
    const std::vector<double> y{0.2, 0.9, 1.7, 1.1, 0.6, 0.4, 0.5, 0.3, 0.25};
    Baseline line;
    line.kind = BaselineKind::Line;
    line.fromX = 1.0;
    line.level = 0.1;
    line.toX = 5.0;
    line.toLevel = 0.3;
    const AreaIntegral running(x, y, line);
    for (const auto& [from, to] : {std::pair{0.0, 8.0}, {0.5, 3.25}, {2.75, 6.5}, {7.5, 1.0}}) {
        // Summed directly: the area under y less the line's, in closed form.
        EXPECT_NEAR(areaBetween(x, y, line, from, to), running.over(from, to), 1e-12) << from << " " << to;
    }
}

TEST(Areas, BelowTheBaselineCountsNegative) {
    const std::vector<double> x{0, 1, 2, 3, 4};
    const std::vector<double> y{0, 1, 0, -1, 0};
    const AreaIntegral integral(x, y, level(0.0));
    EXPECT_NEAR(integral.over(0, 2), 1.0, 1e-12);
    EXPECT_NEAR(integral.over(2, 4), -1.0, 1e-12);
    EXPECT_NEAR(integral.over(0, 4), 0.0, 1e-12);
}

TEST(Baseline, LevelsBeforeAndAfterTheGradientAndALineThroughTwoWindows) {
    // Flat at 0.1 for the first 100 samples, a peak, then 0.3 at the end:
    // the line through the two flat windows runs from 0.1 to 0.3.
    Profile p = test::bumps(test::evenX(0, 99.9, 0.1), {{50, 3, 1}}, 0.0, 0.001, 2);
    for (std::size_t i = 0; i < p.size(); ++i) {
        p.y[i] += 0.1 + 0.2 * (p.x[i] >= 80.0 ? 1.0 : p.x[i] > 20 ? (p.x[i] - 20) / 60 : 0.0);
    }
    std::string problem;
    BaselineChoice choice;
    EXPECT_NEAR(fitBaseline(p, choice, problem)->level, 0.1, 0.001);
    choice.kind = BaselineKind::End;
    EXPECT_NEAR(fitBaseline(p, choice, problem)->level, 0.3, 0.001);
    choice.kind = BaselineKind::Line;
    choice.windows = {0, 10, 90, 100};
    const auto line = fitBaseline(p, choice, problem);
    ASSERT_TRUE(line);
    EXPECT_NEAR(line->at(0, 5.0), 0.1, 0.001);
    EXPECT_NEAR(line->at(0, 95.0), 0.3, 0.001);
    EXPECT_NEAR(line->at(0, 50.0), 0.2, 0.001);
    choice.windows = {200, 210, 90, 100};
    EXPECT_FALSE(fitBaseline(p, choice, problem));
    EXPECT_EQ(problem, "no sample between 200 and 210 for the baseline");
    choice.windows = {0, 10, 10, 0};
    EXPECT_FALSE(fitBaseline(p, choice, problem));
}

TEST(Baseline, ABlankGradientIsLinedUpThenTakenAway) {
    // A gradient that rises with depth behind a meniscus step at 23.5 mm,
    // recorded once blank and once with two peaks, the blank's piston
    // 1.3 mm further on.
    const auto gradient = [](double x, double meniscus) {
        return x < meniscus ? 0.25 : 0.35 + 0.004 * (x - meniscus);
    };
    const test::Bump first{40, 1.2, 0.6};
    const test::Bump second{55, 1.5, 0.4};
    Profile run = test::bumps(test::evenX(0, 80, 0.1), {first, second}, 0.0, 0.001, 8);
    auto blank = std::make_shared<Profile>(test::bumps(test::evenX(0, 80, 0.1), {}, 0.0, 0.001, 9));
    for (std::size_t i = 0; i < run.size(); ++i) run.y[i] += gradient(run.x[i], 23.5);
    for (std::size_t i = 0; i < blank->size(); ++i) blank->y[i] += gradient(blank->x[i], 24.8);
    EXPECT_NEAR(blankShift(run, *blank), -1.3, 0.05);

    AnalysisSettings settings;
    settings.baseline.kind = BaselineKind::Blank;
    settings.baseline.blank = blank;
    settings.regions = {{"first", 35, 47}, {"second", 47, 65}};
    const auto a = analyseProfile(run, settings);
    ASSERT_TRUE(a.ok()) << a.problem;
    EXPECT_NEAR(a.regions[0].area / first.area(), 1.0, 0.01);
    EXPECT_NEAR(a.regions[1].area / second.area(), 1.0, 0.01);
}

}  // namespace
}  // namespace corvane
