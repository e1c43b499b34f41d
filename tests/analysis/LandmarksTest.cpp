#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "SyntheticProfiles.h"
#include "analysis/ProfileAnalysis.h"
#include "sim/SimProfile.h"

namespace corvane {
namespace {

bool hasWarning(const ProfileAnalysis& a, const std::string& text) {
    return std::any_of(a.warnings.begin(), a.warnings.end(),
                       [&](const std::string& w) { return w.find(text) != std::string::npos; });
}

// The simulator's gradient with its sucrose slope taken away by a line
// through the stretch between the top peak and 40S and the stretch after
// the last polysome.
AnalysisSettings lineUnderTheGradient() {
    AnalysisSettings s;
    s.baseline.kind = BaselineKind::Line;
    s.baseline.windows = {12, 14, 72, 75};
    return s;
}

// Where each of the simulator's peaks should be found, by landmark name.
std::vector<std::pair<std::string, double>> simulatorLandmarks() {
    std::vector<std::pair<std::string, double>> expected;
    for (const auto& peak : SimProfile::polysomePeaks()) {
        std::string name = peak.name;
        if (name.starts_with("polysome ")) name = name.substr(9);
        expected.emplace_back(name, peak.depthMm);
    }
    return expected;
}

TEST(Landmarks, TheSimulatorsGradientIsReadPeakByPeakWithinTwoSamples) {
    const Profile p = test::simulatedGradient(0.1, 75.0, 0.0005);
    const auto a = analyseProfile(p, lineUnderTheGradient());
    ASSERT_TRUE(a.ok()) << a.problem;
    EXPECT_FALSE(a.landmarks.reversed);
    EXPECT_GT(a.landmarks.confidence, 0.9);
    const auto expected = simulatorLandmarks();
    ASSERT_GE(a.landmarks.found.size(), 9u) << "top, 40S, 60S, 80S and at least polysomes 2 to 6";
    for (std::size_t k = 0; k < a.landmarks.found.size(); ++k) {
        const auto& l = a.landmarks.found[k];
        EXPECT_EQ(l.name, expected[k].first);
        EXPECT_NEAR(p.x[l.index], expected[k].second, 2 * 0.1 + 1e-9) << l.name;
        EXPECT_GT(l.confidence, 0.8) << l.name;
    }
    EXPECT_FALSE(hasWarning(a, "polysome")) << a.warnings.front();
    EXPECT_FALSE(hasWarning(a, "40S"));
}

TEST(Landmarks, AProfileRecordedFromTheBottomUpIsReadTheOtherWay) {
    // The heaviest material first: the same gradient read from 75 mm up to 0.
    const Profile down = test::simulatedGradient(0.1, 75.0, 0.0005);
    Profile up = down;
    std::reverse(up.y.begin(), up.y.end());
    AnalysisSettings settings = lineUnderTheGradient();
    settings.baseline.windows = {0, 3, 61, 63};
    const auto a = analyseProfile(up, settings);
    ASSERT_TRUE(a.ok());
    EXPECT_TRUE(a.landmarks.reversed);
    EXPECT_TRUE(hasWarning(a, "from the bottom of the gradient to its top"));
    const auto expected = simulatorLandmarks();
    ASSERT_GE(a.landmarks.found.size(), 9u);
    for (std::size_t k = 0; k < a.landmarks.found.size(); ++k) {
        EXPECT_EQ(a.landmarks.found[k].name, expected[k].first);
        EXPECT_NEAR(up.x[a.landmarks.found[k].index], 75.0 - expected[k].second, 0.2 + 1e-9);
    }
    // The regions are the same stretches read the other way, with the same areas.
    const auto forward = analyseProfile(down, lineUnderTheGradient());
    for (const char* name : {"top", "40S", "60S", "80S", "polysomes", "total"}) {
        ASSERT_NE(findRegion(a.regions, name), nullptr) << name;
        EXPECT_NEAR(findRegion(a.regions, name)->area, findRegion(forward.regions, name)->area, 0.01) << name;
    }
}

TEST(Landmarks, SubunitsThatDoNotResolveAreSaidSo) {
    // 40S and 60S one broad hump: one peak between the top and 80S.
    const auto x = test::evenX(0, 70, 0.1);
    const Profile p = test::bumps(x, {{4, 2, 1.2}, {21, 2.5, 0.4}, {30, 1.3, 0.9}, {37, 1.3, 0.5}, {42.5, 1.3, 0.4},
                                      {47.5, 1.3, 0.3}, {52, 1.3, 0.2}}, 0.05, 0.0005);
    const auto a = analyseProfile(p, AnalysisSettings{});
    ASSERT_TRUE(a.ok());
    EXPECT_EQ(a.landmarks.find("40S"), nullptr);
    ASSERT_NE(a.landmarks.find("60S"), nullptr);
    ASSERT_NE(a.landmarks.find("80S"), nullptr);
    EXPECT_NEAR(x[a.landmarks.find("80S")->index], 30.0, 0.2);
    EXPECT_NEAR(x[a.landmarks.find("5")->index], 52.0, 0.2);
    EXPECT_TRUE(hasWarning(a, "40S not resolved"));
    EXPECT_LT(a.landmarks.find("60S")->confidence, a.landmarks.find("80S")->confidence);
    EXPECT_EQ(findRegion(a.regions, "40S"), nullptr);
    EXPECT_FALSE(a.ratios.s60s40.value);
    EXPECT_TRUE(a.ratios.pm.value);
}

TEST(Landmarks, SomethingElseThanAPolysomeProfileIsSaidToFitPoorly) {
    const auto x = test::evenX(0, 50, 0.1);
    const auto two = analyseProfile(test::bumps(x, {{10, 2, 1.0}, {35, 2, 0.7}}, 0.0, 0.001), AnalysisSettings{});
    ASSERT_TRUE(two.ok());
    EXPECT_LT(two.landmarks.confidence, 0.5);
    EXPECT_TRUE(hasWarning(two, "fits poorly"));
    const auto none = analyseProfile(test::bumps(x, {}, 0.2, 0.001), AnalysisSettings{});
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none.landmarks.found.empty());
    EXPECT_TRUE(hasWarning(none, "no peaks"));
    ASSERT_EQ(none.regions.size(), 1u);
    EXPECT_EQ(none.regions[0].region.name, "total");
    EXPECT_FALSE(none.ratios.pm.value);
}

}  // namespace
}  // namespace corvane
