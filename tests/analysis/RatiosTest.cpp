#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "SyntheticProfiles.h"
#include "analysis/ProfileAnalysis.h"

namespace corvane {
namespace {

// Triangles 4 mm wide on a baseline of 0.1, feet touching, sampled every
// 0.25 mm after 4 mm of baseline: top 3 high, 40S 0.5, 60S 1, 80S 2,
// polysomes 1.5, 1, 0.5, then flat.
// Areas (height x 2): 6, 1, 2, 4 and 3 + 2 + 1 = 6.
Profile triangles() {
    const double heights[] = {3.0, 0.5, 1.0, 2.0, 1.5, 1.0, 0.5};
    Profile p;
    p.xUnit = "mm";
    for (double x = -4.0; x <= 40.0 + 1e-9; x += 0.25) {
        const auto k = static_cast<std::size_t>(std::max(x, 0.0) / 4.0);
        const double within = x - 4.0 * static_cast<double>(k);
        const double h = x >= 0.0 && k < 7 ? heights[k] : 0.0;
        p.x.push_back(x);
        p.y.push_back(0.1 + h * (1.0 - std::abs(within - 2.0) / 2.0));
    }
    return p;
}

AnalysisSettings plain() {
    AnalysisSettings s;
    s.smoothing = Smoothing{SmoothingKind::None, 0, 0};
    return s;
}

TEST(Ratios, TrianglesGiveTheHandComputedAreasAndRatios) {
    const auto a = analyseProfile(triangles(), plain());
    ASSERT_TRUE(a.ok()) << a.problem;
    EXPECT_DOUBLE_EQ(a.baseline.level, 0.1);
    const std::pair<const char*, double> areas[] = {{"top", 6.0}, {"40S", 1.0}, {"60S", 2.0}, {"80S", 4.0},
                                                    {"polysomes", 6.0}, {"total", 13.0}};
    for (const auto& [name, area] : areas) {
        ASSERT_NE(findRegion(a.regions, name), nullptr) << name;
        EXPECT_NEAR(findRegion(a.regions, name)->area, area, 1e-9) << name;
    }
    EXPECT_NEAR(*a.ratios.pm.value, 6.0 / 4.0, 1e-9);
    EXPECT_NEAR(*a.ratios.pTotal.value, 6.0 / 13.0, 1e-9);
    EXPECT_NEAR(*a.ratios.s60s40.value, 2.0, 1e-9);
    // The polysomes end at the foot of the last one: 28 mm.
    EXPECT_DOUBLE_EQ(xAtPosition(triangles().x, findRegion(a.regions, "polysomes")->region.to), 28.0);
}

TEST(Ratios, TheBaselineChoiceMovesThemAndIsTheUsers) {
    // The same triangles on a baseline that is 0.1 before and 0.2 after.
    Profile p = triangles();
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p.x[i] > 28.0) p.y[i] += 0.1;
    }
    AnalysisSettings before = plain();
    AnalysisSettings after = plain();
    after.baseline.kind = BaselineKind::End;
    const auto a = analyseProfile(p, before);
    const auto b = analyseProfile(p, after);
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_DOUBLE_EQ(b.baseline.level, 0.2);
    // With the later level every region loses 0.1 x its width: 80S 4 - 0.4,
    // and the ratios move.
    EXPECT_NEAR(findRegion(b.regions, "80S")->area, 3.6, 1e-9);
    EXPECT_NE(*a.ratios.pm.value, *b.ratios.pm.value);
    // Regions the user gives replace the landmarks' and are measured as given.
    AnalysisSettings given = plain();
    given.regions = {{"80S", 12, 16}, {"polysomes", 16, 28}, {"mine", 1.5, 2.5}};
    const auto c = analyseProfile(triangles(), given);
    ASSERT_TRUE(c.ok());
    ASSERT_EQ(c.regions.size(), 3u);
    EXPECT_NEAR(*c.ratios.pm.value, 1.5, 1e-9);
    EXPECT_FALSE(c.ratios.pTotal.value) << "no total given";
    EXPECT_NEAR(c.regions[2].area, 2.625, 1e-9) << "two trapezoids from 2.25 up to the top's apex at 3";
    given.regions = {{"far", 100, 120}};
    EXPECT_FALSE(analyseProfile(triangles(), given).ok());
}

TEST(Ratios, AClippedPeakHasNoHeightAndWarnsOnEveryAreaAndRatioThatHoldsIt) {
    // The 80S cut at 1.6 above the baseline by the detector.
    Profile p = triangles();
    for (double& y : p.y) y = std::min(y, 1.7);
    AnalysisSettings s = plain();
    s.fullScale = 1.7;
    const auto a = analyseProfile(p, s);
    ASSERT_TRUE(a.ok());
    ASSERT_EQ(a.saturated.size(), 2u) << "the top peak and 80S";
    const Landmark* monosome = a.landmarks.find("80S");
    ASSERT_NE(monosome, nullptr);
    EXPECT_FALSE(a.height(p, monosome->index)) << "no height read from a plateau";
    EXPECT_TRUE(a.height(p, a.landmarks.find("60S")->index));
    EXPECT_TRUE(findRegion(a.regions, "80S")->saturated);
    EXPECT_FALSE(findRegion(a.regions, "60S")->saturated);
    EXPECT_TRUE(a.ratios.pm.saturated);
    EXPECT_FALSE(a.ratios.s60s40.saturated);
    const auto warned = [&](const std::string& text) {
        return std::count_if(a.warnings.begin(), a.warnings.end(),
                             [&](const std::string& w) { return w.find(text) != std::string::npos; });
    };
    EXPECT_EQ(warned("the area of 80S includes a clipped plateau"), 1);
    EXPECT_EQ(warned("the ratio pm includes a clipped plateau"), 1);
    EXPECT_EQ(warned("the ratio s60_s40"), 0);
}

}  // namespace
}  // namespace corvane
