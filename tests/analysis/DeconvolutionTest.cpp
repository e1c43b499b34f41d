#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "SyntheticProfiles.h"
#include "analysis/Deconvolution.h"
#include "analysis/ProfileAnalysis.h"
#include "analysis/Smoothing.h"

namespace corvane {
namespace {

Deconvolution fit(const Profile& p, double fromX, double toX, PeakShape shape, int components) {
    AnalysisSettings s;
    s.baseline.kind = BaselineKind::Constant;
    s.regions = {{"all", p.x.front(), p.x.back()}};
    s.deconvolution = AnalysisSettings::Deconvolve{fromX, toX, shape, components};
    const auto a = analyseProfile(p, s);
    EXPECT_TRUE(a.ok()) << a.problem;
    return a.deconvolution.value_or(Deconvolution{});
}

// 40S, 60S and 80S run together: one hump with shoulders, 1 % noise of the tallest.
const std::vector<test::Bump> kRunTogether{{20.0, 1.0, 0.6}, {21.5, 1.0, 0.8}, {23.0, 1.0, 1.0}};

TEST(Deconvolution, ThreeGaussiansOneAndAHalfWidthsApartUnderOnePercentNoise) {
    // 100 samples a width: what 3 % needs at this noise (at 20 a width the
    // areas scatter about 2 % either way from draw to draw, see the notes).
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
        const Profile p = test::bumps(test::evenX(14, 29, 0.01), kRunTogether, 0.0, 0.01, seed);
        const auto d = fit(p, 14, 29, PeakShape::Gaussian, 3);
        ASSERT_TRUE(d.converged) << seed;
        ASSERT_EQ(d.components.size(), 3u);
        EXPECT_EQ(d.widths, PeakWidths::Shared) << "too close for widths of their own";
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_NEAR(d.components[k].area / kRunTogether[k].area(), 1.0, 0.03) << "seed " << seed << " peak " << k;
            EXPECT_NEAR(d.components[k].x, kRunTogether[k].centre, 0.05) << "seed " << seed << " peak " << k;
        }
        EXPECT_NEAR(d.residual, 0.01, 0.001) << "what is left is the noise";
    }
}

TEST(Deconvolution, NoDrawOfTheNoiseThrowsTheAreasOff) {
    // Sparser samples scatter the areas more, but a fit never trades one
    // peak's area for its neighbour's: free widths once did, for some draws.
    for (std::uint64_t seed = 1; seed <= 60; ++seed) {
        const Profile p = test::bumps(test::evenX(14, 29, 0.05), kRunTogether, 0.0, 0.01, seed);
        const auto d = fit(p, 14, 29, PeakShape::Gaussian, 3);
        ASSERT_EQ(d.components.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            ASSERT_NEAR(d.components[k].area / kRunTogether[k].area(), 1.0, 0.08) << "seed " << seed << " peak " << k;
        }
    }
    // Peaks that stand apart keep widths of their own: the simulator's subunits and monosome.
    const std::vector<test::Bump> apart{{20.0, 1.1, 0.22}, {25.0, 1.2, 0.35}, {31.0, 1.4, 0.95}};
    const auto d = fit(test::bumps(test::evenX(15, 36, 0.1), apart, 0.0, 0.005, 3), 15, 36, PeakShape::Gaussian, 0);
    EXPECT_EQ(d.widths, PeakWidths::Free);
    ASSERT_EQ(d.components.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_NEAR(d.components[k].width, apart[k].width, 0.02);
        EXPECT_NEAR(d.components[k].area / apart[k].area(), 1.0, 0.02);
    }
}

TEST(Deconvolution, ASkewedPeakIsFittedWithItsTwoSides) {
    // Narrow on the left (0.8), wide on the right (1.6), next to a Gaussian.
    Profile p;
    test::Noise noise(6);
    for (const double x : test::evenX(0, 30, 0.05)) {
        const double z = (x - 12.0) / (x < 12.0 ? 0.8 : 1.6);
        p.x.push_back(x);
        p.y.push_back(0.9 * std::exp(-0.5 * z * z) + test::Bump{18.0, 1.0, 0.5}.at(x) + noise(0.002));
    }
    const auto d = fit(p, 5, 25, PeakShape::Skewed, 2);
    ASSERT_TRUE(d.converged);
    ASSERT_EQ(d.components.size(), 2u);
    EXPECT_NEAR(d.components[0].x, 12.0, 0.05);
    EXPECT_NEAR(d.components[0].width, 1.2, 0.02);
    EXPECT_NEAR(d.components[0].skew, (1.6 - 0.8) / (1.6 + 0.8), 0.02);
    EXPECT_NEAR(d.components[0].area, 0.9 * std::sqrt(std::acos(-1.0) / 2.0) * 2.4, 0.01);
    EXPECT_NEAR(d.components[1].skew, 0.0, 0.05);
    // A Gaussian fit to the same leaves a larger residual.
    EXPECT_GT(fit(p, 5, 25, PeakShape::Gaussian, 2).residual, 3.0 * d.residual);
}

TEST(Deconvolution, CountsPeaksWhenNotToldAndRefusesTooShortAStretch) {
    const Profile p = test::bumps(test::evenX(0, 40, 0.1), {{10, 1.5, 1.0}, {20, 1.5, 0.6}, {30, 1.5, 0.3}});
    EXPECT_EQ(fit(p, 0, 40, PeakShape::Gaussian, 0).components.size(), 3u);
    EXPECT_EQ(fit(p, 15, 25, PeakShape::Gaussian, 0).components.size(), 1u);
    std::string problem;
    const auto s = smoothed(p.y, resolvedSmoothing(Smoothing{}, p.size()));
    EXPECT_FALSE(deconvolve(p.x, p.y, s, DeconvolutionChoice{10, 20, PeakShape::Gaussian, 4}, problem));
    EXPECT_EQ(problem, "11 samples are too few to fit 4 peaks");
    EXPECT_FALSE(deconvolve(p.x, p.y, s, DeconvolutionChoice{0, 400, PeakShape::Gaussian, 9}, problem));
}

}  // namespace
}  // namespace corvane
