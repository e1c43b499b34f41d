#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "SyntheticProfiles.h"
#include "analysis/Peaks.h"
#include "analysis/Saturation.h"
#include "analysis/SignalStats.h"
#include "analysis/Smoothing.h"

namespace corvane {
namespace {

std::vector<std::size_t> indices(const std::vector<Extremum>& found) {
    std::vector<std::size_t> out;
    for (const auto& e : found) out.push_back(e.index);
    return out;
}

TEST(Peaks, ProminenceIsTheRiseAboveTheHigherOfTheTwoSeparatingLows) {
    //              0  1  2  3  4  5  6  7  8  9 10 11 12
    const std::vector<double> y{0, 5, 1, 3, 2, 9, 4, 6, 6, 6, 0, 7, 0};
    const auto peaks = findPeaks(y, 0.0);
    ASSERT_EQ(indices(peaks), (std::vector<std::size_t>{1, 3, 5, 8, 11}));
    EXPECT_EQ(peaks[0].prominence, 4.0) << "5 over the 1 that parts it from the 9 (the start's 0 is lower)";
    EXPECT_EQ(peaks[1].prominence, 1.0) << "3 between 1 and 2: the higher low is 2";
    EXPECT_EQ(peaks[2].prominence, 9.0) << "the highest peak: its lowest low on either side, 0";
    EXPECT_EQ(peaks[3].prominence, 2.0) << "the middle of the flat top 6 6 6, over the 4";
    EXPECT_EQ(peaks[3].leftBase, 6u);
    EXPECT_EQ(peaks[4].prominence, 7.0);
    EXPECT_EQ(indices(findPeaks(y, 2.0)), (std::vector<std::size_t>{1, 5, 8, 11}));
    // Valleys are the same thing upside down.
    const auto valleys = findValleys(y, 1.5);
    EXPECT_EQ(indices(valleys), (std::vector<std::size_t>{2, 6, 10}));
    EXPECT_EQ(valleys[0].prominence, 4.0) << "1 under the 5 that parts it from the start's 0";
    // Ends and too few samples give nothing.
    EXPECT_TRUE(findPeaks(std::vector<double>{3, 2, 1}, 0.0).empty());
    EXPECT_TRUE(findPeaks(std::vector<double>{1, 2}, 0.0).empty());
}

TEST(Peaks, AgreeWithTheDefinitionOnRandomSignalsWithFlatStretches) {
    // The definition walked sample by sample: from a top (the middle of a
    // flat top) out to each side until something higher or the end.
    const auto byDefinition = [](const std::vector<double>& y) {
        std::vector<std::pair<std::size_t, double>> found;
        for (std::size_t i = 1; i + 1 < y.size(); ++i) {
            if (!(y[i] > y[i - 1])) continue;
            std::size_t end = i;
            while (end + 1 < y.size() && y[end + 1] == y[i]) ++end;
            if (end + 1 == y.size() || y[end + 1] > y[i]) continue;
            const std::size_t top = i + (end - i) / 2;
            double left = y[top];
            for (std::size_t k = top; k-- > 0 && y[k] <= y[top];) left = std::min(left, y[k]);
            double right = y[top];
            for (std::size_t k = top + 1; k < y.size() && y[k] <= y[top]; ++k) right = std::min(right, y[k]);
            found.emplace_back(top, y[top] - std::max(left, right));
        }
        return found;
    };
    const auto negated = [](std::vector<double> y) {
        for (double& v : y) v = -v;
        return y;
    };
    // Few values make many ties and flat stretches; smooth waves with noise
    // make long swings, which the search takes a shorter way through.
    test::Noise noise(17);
    for (int round = 0; round < 400; ++round) {
        std::vector<double> y;
        const auto n = static_cast<std::size_t>(3 + round % 40 + (round % 3 == 0 ? 200 : 0));
        for (std::size_t i = 0; i < n; ++i) {
            const double wave = round % 2 == 0 ? 4.0 * std::sin(static_cast<double>(i) / 7.0) : 0.0;
            y.push_back(std::round(wave + 3.0 * noise(1.0)) / (round % 5 == 0 ? 1.0 : 3.0));
        }
        for (const double threshold : {0.0, 0.3, 1.0, 2.0, 4.5}) {
            for (const bool valleys : {false, true}) {
                const auto expected = byDefinition(valleys ? negated(y) : y);
                std::vector<std::pair<std::size_t, double>> wanted;
                for (const auto& e : expected) {
                    if (e.second >= threshold) wanted.push_back(e);
                }
                const auto found = valleys ? findValleys(y, threshold) : findPeaks(y, threshold);
                ASSERT_EQ(found.size(), wanted.size()) << "round " << round << " threshold " << threshold;
                for (std::size_t k = 0; k < found.size(); ++k) {
                    ASSERT_EQ(found[k].index, wanted[k].first) << "round " << round << " threshold " << threshold;
                    ASSERT_EQ(found[k].prominence, wanted[k].second) << "round " << round << " threshold " << threshold;
                }
            }
        }
    }
}

TEST(Peaks, NoiseGivesNoPeaksAboveAThresholdOfSeveralNoiseLevels) {
    const auto x = test::evenX(0, 100, 0.05);
    const std::vector<test::Bump> truth{{20, 1.5, 1.0}, {40, 1.0, 0.3}, {47, 1.2, 0.2}, {80, 3.0, 0.05}};
    const Profile p = test::bumps(x, truth, 0.1, 0.002, 3);
    EXPECT_NEAR(noiseLevel(p.y), 0.002, 0.0002);
    const auto s = smoothed(p.y, resolvedSmoothing(Smoothing{}, p.size()));
    const auto peaks = findPeaks(s, 8.0 * noiseLevel(p.y));
    ASSERT_EQ(peaks.size(), truth.size());
    for (std::size_t k = 0; k < truth.size(); ++k) {
        EXPECT_NEAR(x[peaks[k].index], truth[k].centre, 0.1 * truth[k].width) << "a tenth of its width";
    }
    EXPECT_GT(findPeaks(p.y, 0.0).size(), 300u) << "without a threshold every wiggle is a peak";
}

TEST(Peaks, TheStreamingRuleFindsTheSamePeaksAndTheValleysBetween) {
    const auto x = test::evenX(0, 60, 0.1);
    const Profile p = test::bumps(x, {{10, 1.0, 1.0}, {18, 1.0, 0.6}, {30, 2.0, 0.8}, {45, 1.0, 0.3}}, 0.0, 0.003, 5);
    const auto s = smoothed(p.y, resolvedSmoothing(Smoothing{}, p.size()));
    const double prominence = 0.05;
    std::vector<ExtremaTracker::Turn> turns;
    ExtremaTracker tracker(prominence);
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (const auto turn = tracker.push(i, s[i])) {
            ASSERT_TRUE(turns.empty() || turns.back().peak != turn->peak) << "turns alternate";
            ASSERT_LT(turn->index, i);
            turns.push_back(*turn);
        }
    }
    std::vector<std::size_t> peaks;
    std::vector<std::size_t> valleys;
    for (const auto& t : turns) (t.peak ? peaks : valleys).push_back(t.index);
    EXPECT_EQ(peaks, indices(findPeaks(s, prominence)));
    EXPECT_EQ(valleys, indices(findValleys(s, prominence)));
    EXPECT_EQ(valleys.size(), 3u);
}

TEST(Saturation, AClippedTopIsAPlateauARoundOneIsNot) {
    const auto x = test::evenX(0, 60, 0.1);
    Profile p = test::bumps(x, {{15, 2.0, 2.5}, {35, 1.5, 1.0}}, 0.05, 0.001, 11);
    const double noise = noiseLevel(p.y);
    EXPECT_TRUE(findSaturation(p.y, noise, std::nullopt).empty()) << "round tops";
    // The detector stops at 2.0: the first peak is cut flat, with its noise.
    test::Noise jitter(4);
    std::size_t first = 0;
    std::size_t last = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p.y[i] > 2.0) {
            p.y[i] = 2.0 + jitter(0.0005);
            first = first == 0 ? i : first;
            last = i;
        }
    }
    const auto clipped = findSaturation(p.y, noiseLevel(p.y), std::nullopt);
    ASSERT_EQ(clipped.size(), 1u);
    EXPECT_NEAR(static_cast<double>(clipped[0].from), static_cast<double>(first), 2.0);
    EXPECT_NEAR(static_cast<double>(clipped[0].to), static_cast<double>(last), 2.0);
    // With the detector's full scale known, a second, lower clip level is not
    // the top; the cut peak still is.
    EXPECT_EQ(findSaturation(p.y, noiseLevel(p.y), 2.0).size(), 1u);
    EXPECT_TRUE(findSaturation(p.y, noiseLevel(p.y), 3.0).empty());
    // A flat blank has no plateau, however flat.
    EXPECT_TRUE(findSaturation(std::vector<double>(500, 0.3), 0.0, std::nullopt).empty());
}

TEST(Saturation, AFinelySampledRoundTopIsNoPlateau) {
    // 20 000 samples across one peak: hundreds lie within the noise of its top.
    const Profile p = test::bumps(test::evenX(0, 100, 0.005), {{50, 8.0, 1.0}}, 0.0, 0.0005, 9);
    EXPECT_TRUE(findSaturation(p.y, noiseLevel(p.y), std::nullopt).empty());
}

TEST(Saturation, TouchingCountsTheTrapezoidsBesideAClippedSample) {
    const std::vector<IndexRange> plateau{{10, 12}};
    EXPECT_TRUE(touchesAny(plateau, 0.0, 10.0));
    EXPECT_TRUE(touchesAny(plateau, 12.5, 20.0));
    EXPECT_TRUE(touchesAny(plateau, 20.0, 9.5)) << "either order";
    EXPECT_FALSE(touchesAny(plateau, 13.0, 20.0));
    EXPECT_FALSE(touchesAny(plateau, 0.0, 9.0));
}

}  // namespace
}  // namespace corvane
