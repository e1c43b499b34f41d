// Polysome profiles whose tallest peaks the detector cut flat: each plateau
// is one feature, found where it is and never read as a height, and every
// area and ratio that holds one says so.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "SyntheticProfiles.h"
#include "analysis/ProfileAnalysis.h"
#include "analysis/SignalStats.h"

namespace corvane {
namespace {

constexpr double kStep = 0.05;  // mm between samples

// The synthetic polysome profile's peaks with the top's and 80S's heights
// given, over a floor of 0.05.
std::vector<test::Bump> peaksWith(double top, double monosome) {
    std::vector<test::Bump> b = test::polysomeBumps();
    b[0].height = top;
    b[3].height = monosome;
    return b;
}

// The profile cut at `clip` by the detector, then its noise laid over all
// of it, plateaus included.
Profile clippedAt(const std::vector<test::Bump>& peaks, double clip, double noise, std::uint64_t seed) {
    Profile p = test::bumps(test::evenX(0.0, 55.0, kStep), peaks, 0.05);
    test::Noise random(seed);
    for (double& y : p.y) {
        y = std::min(y, clip) + (noise > 0.0 ? random(noise) : 0.0);
    }
    return p;
}

// Every landmark by name at its peak's centre, within two samples.
void expectLandmarksAtTheirPeaks(const Profile& p, const ProfileAnalysis& a, const std::string& label) {
    const char* names[] = {"top", "40S", "60S", "80S", "2", "3", "4"};
    const auto& truth = test::polysomeBumps();
    ASSERT_EQ(a.landmarks.found.size(), 7u) << label;
    for (std::size_t k = 0; k < 7; ++k) {
        const Landmark& l = a.landmarks.found[k];
        EXPECT_EQ(l.name, names[k]) << label;
        EXPECT_NEAR(p.x[l.index], truth[k].centre, 2 * kStep + 1e-9) << label << " " << l.name;
    }
}

// The samples the detector cut: the first and last above `clip` without noise.
IndexRange cutAt(const std::vector<test::Bump>& peaks, double clip, double around) {
    const Profile p = test::bumps(test::evenX(0.0, 55.0, kStep), peaks, 0.05);
    IndexRange r{p.size(), 0};
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p.y[i] > clip && std::abs(p.x[i] - around) < 5.0) {
            r.from = std::min(r.from, i);
            r.to = i;
        }
    }
    return r;
}

std::size_t peaksWithin(const ProfileAnalysis& a, const IndexRange& r) {
    return static_cast<std::size_t>(std::count_if(a.peaks.begin(), a.peaks.end(), [&](const Extremum& e) {
        return e.index + 10 >= r.from && e.index <= r.to + 10;
    }));
}

bool warned(const ProfileAnalysis& a, const std::string& text) {
    return std::any_of(a.warnings.begin(), a.warnings.end(),
                       [&](const std::string& w) { return w.find(text) != std::string::npos; });
}

TEST(ClippedProfiles, AClippedTopIsOnePeakAtItsMiddleAndTheLandmarksAfterItKeepTheirNames) {
    for (const auto& [noise, seed] : {std::pair{0.0, 1}, {0.002, 21}, {0.006, 2}, {0.006, 3}, {0.006, 4}}) {
        const std::string label = "noise " + std::to_string(noise) + " seed " + std::to_string(seed);
        const Profile p = clippedAt(test::polysomeBumps(), 1.2, noise, static_cast<std::uint64_t>(seed));
        const auto a = analyseProfile(p, {});
        ASSERT_TRUE(a.ok()) << a.problem;
        ASSERT_EQ(a.saturated.size(), 1u) << label;
        const IndexRange plateau = a.saturated[0];
        const IndexRange cut = cutAt(test::polysomeBumps(), 1.2, 8.0);
        EXPECT_NEAR(static_cast<double>(plateau.from), static_cast<double>(cut.from), 2.0) << label;
        EXPECT_NEAR(static_cast<double>(plateau.to), static_cast<double>(cut.to), 2.0) << label;
        EXPECT_EQ(peaksWithin(a, plateau), 1u) << label << ": the plateau's corners are no peaks";
        expectLandmarksAtTheirPeaks(p, a, label);
        const Landmark& top = a.landmarks.found[0];
        EXPECT_FALSE(a.height(p, top.index)) << label;
        EXPECT_TRUE(a.height(p, a.landmarks.find("80S")->index)) << label;
        // The top's area holds the plateau; the ribosomes' regions and ratios do not.
        EXPECT_TRUE(findRegion(a.regions, "top")->saturated) << label;
        for (const char* name : {"40S", "60S", "80S", "polysomes", "total"}) {
            EXPECT_FALSE(findRegion(a.regions, name)->saturated) << label << " " << name;
        }
        EXPECT_FALSE(a.ratios.pm.saturated || a.ratios.pTotal.saturated || a.ratios.s60s40.saturated) << label;
        EXPECT_TRUE(warned(a, "the area of top includes a clipped plateau")) << label;
        EXPECT_FALSE(warned(a, "the ratio")) << label;
    }
}

TEST(ClippedProfiles, AClippedMonosomeWarnsOnItsAreaTheTotalAndTheRatiosThatHoldIt) {
    // A top lower than the 80S, which the detector cuts at 0.95.
    for (const double noise : {0.0, 0.002}) {
        const std::string label = "noise " + std::to_string(noise);
        const Profile p = clippedAt(peaksWith(0.8, 1.3), 0.95, noise, 5);
        const auto a = analyseProfile(p, {});
        ASSERT_TRUE(a.ok()) << a.problem;
        ASSERT_EQ(a.saturated.size(), 1u) << label;
        const IndexRange cut = cutAt(peaksWith(0.8, 1.3), 0.95, 27.0);
        EXPECT_NEAR(static_cast<double>(a.saturated[0].from), static_cast<double>(cut.from), 2.0) << label;
        EXPECT_NEAR(static_cast<double>(a.saturated[0].to), static_cast<double>(cut.to), 2.0) << label;
        EXPECT_EQ(peaksWithin(a, a.saturated[0]), 1u) << label;
        expectLandmarksAtTheirPeaks(p, a, label);
        EXPECT_FALSE(a.height(p, a.landmarks.find("80S")->index)) << label;
        for (const char* name : {"80S", "total"}) {
            EXPECT_TRUE(findRegion(a.regions, name)->saturated) << label << " " << name;
        }
        for (const char* name : {"top", "40S", "60S", "polysomes"}) {
            EXPECT_FALSE(findRegion(a.regions, name)->saturated) << label << " " << name;
        }
        EXPECT_TRUE(a.ratios.pm.saturated && a.ratios.pTotal.saturated) << label;
        EXPECT_FALSE(a.ratios.s60s40.saturated) << label;
        EXPECT_TRUE(warned(a, "the ratio pm includes a clipped plateau")) << label;
        EXPECT_TRUE(warned(a, "the ratio p_total includes a clipped plateau")) << label;
        EXPECT_FALSE(warned(a, "the ratio s60_s40")) << label;
    }
}

TEST(ClippedProfiles, EveryPeakCutAtOneLevelIsAPlateauOfItsOwn) {
    // The top and the 80S both above a detector that stops at 0.9.
    const Profile p = clippedAt(test::polysomeBumps(), 0.9, 0.002, 8);
    const auto a = analyseProfile(p, {});
    ASSERT_TRUE(a.ok()) << a.problem;
    ASSERT_EQ(a.saturated.size(), 2u);
    for (const auto& plateau : a.saturated) {
        EXPECT_EQ(peaksWithin(a, plateau), 1u);
    }
    expectLandmarksAtTheirPeaks(p, a, "both cut");
    EXPECT_FALSE(a.height(p, a.landmarks.find("top")->index));
    EXPECT_FALSE(a.height(p, a.landmarks.find("80S")->index));
}

TEST(ClippedProfiles, RoundTopsUnderNoiseAreNoPlateaus) {
    // Noise up to a hundredth of the tallest peak: many samples of a round
    // top lie within its noise, yet the top still falls away at its ends.
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        for (const double noise : {0.001, 0.005, 0.015}) {
            const Profile p = clippedAt(test::polysomeBumps(), 10.0, noise, seed);
            EXPECT_TRUE(findSaturation(p.y, noiseLevel(p.y), std::nullopt).empty()) << noise << " " << seed;
        }
        // Broad peaks sampled finely, where a plateau's share of the width
        // does not tell them apart.
        const Profile broad =
            test::bumps(test::evenX(0, 100, 0.02), {{30, 6.0, 1.0}, {70, 6.0, 0.9}}, 0.0, 0.01, seed);
        EXPECT_TRUE(findSaturation(broad.y, noiseLevel(broad.y), std::nullopt).empty()) << seed;
    }
}

}  // namespace
}  // namespace corvane
