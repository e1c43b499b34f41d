// Collecting by peaks on synthetic signals with known edges: separated
// peaks, noise, a shoulder, a peak that never returns to its baseline, a
// saturated peak; the delay, the fractions per peak and between peaks, and
// that no decision looks further ahead than the filter's half window.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "SyntheticProfiles.h"
#include "recording/PeakCutter.h"

namespace corvane {
namespace {

using test::Bump;

constexpr double kStep = 0.03;  // mm per sample: 0.3 mm/s at 10 samples/s

struct Signal {
    std::vector<double> x;
    std::vector<double> y;
};

Signal make(double length, const std::function<double(double)>& f, double noise = 0.0, std::uint64_t seed = 7) {
    Signal s;
    test::Noise n(seed);
    for (double x = 0.0; x <= length; x += kStep) {
        s.x.push_back(x);
        s.y.push_back(f(x) + (noise > 0.0 ? n(noise) : 0.0));
    }
    return s;
}

struct Outcome {
    std::vector<CollectedFraction> fractions;
    std::vector<PeakCutter::Cut> cuts;  // the pulses sent
    std::vector<double> sentAt;         // the sample's x when each pulse was sent
    std::vector<double> decidedAt;      // the newest sample's x when each change was decided
};

Outcome run(const PeakCollection& settings, const Signal& s, double delay = 3.0) {
    PeakCutter cutter(settings, delay);
    Outcome out;
    for (std::size_t i = 0; i < s.x.size(); ++i) {
        cutter.push(s.x[i], s.y[i], out.cuts);
        out.sentAt.resize(out.cuts.size(), s.x[i]);
        out.decidedAt.resize(cutter.decided(), s.x[i]);
    }
    cutter.finish();
    out.fractions = cutter.fractions();
    return out;
}

PeakCollection byLevel(double start, double end = 0.0) {
    PeakCollection p;
    p.enabled = true;
    p.startLevel = start;
    p.endLevel = end;
    return p;
}

// Where a Gaussian bump is at `level`: centre -/+ width * sqrt(2 ln(height / level)).
double halfSpan(const Bump& b, double level) { return b.width * std::sqrt(2.0 * std::log(b.height / level)); }

std::vector<const CollectedFraction*> peaksOf(const std::vector<CollectedFraction>& fractions, int peak) {
    std::vector<const CollectedFraction*> out;
    for (const auto& f : fractions) {
        if (f.peak == peak) out.push_back(&f);
    }
    return out;
}

void expectContiguous(const std::vector<CollectedFraction>& fractions) {
    for (std::size_t i = 0; i < fractions.size(); ++i) {
        EXPECT_EQ(fractions[i].number, static_cast<int>(i) + 1);
        EXPECT_LT(fractions[i].from, fractions[i].to) << "fraction " << i + 1;
        if (i > 0) {
            EXPECT_DOUBLE_EQ(fractions[i].from, fractions[i - 1].to);
        }
    }
}

const std::vector<Bump> kThree = {{10.0, 0.8, 0.5}, {20.0, 1.0, 0.8}, {30.0, 0.6, 0.4}};

double three(double x) {
    double y = 0.02;  // the baseline the levels are measured from
    for (const auto& b : kThree) y += b.at(x);
    return y;
}

TEST(PeakCutter, SeparatedPeaksEachGetOneFractionBetweenTheirTrueEdges) {
    const auto s = make(40.0, three);
    const auto out = run(byLevel(0.05), s);
    ASSERT_EQ(out.fractions.size(), 7u);
    expectContiguous(out.fractions);
    for (int k = 1; k <= 3; ++k) {
        const auto& b = kThree[static_cast<std::size_t>(k - 1)];
        const auto mine = peaksOf(out.fractions, k);
        ASSERT_EQ(mine.size(), 1u) << "peak " << k;
        EXPECT_NEAR(mine[0]->from, b.centre - halfSpan(b, 0.05), 0.03) << "peak " << k;
        EXPECT_NEAR(mine[0]->to, b.centre + halfSpan(b, 0.05), 0.03) << "peak " << k;
    }
    EXPECT_EQ(out.fractions.front().peak, 0);
    EXPECT_EQ(out.fractions.back().peak, 0);
    EXPECT_DOUBLE_EQ(out.fractions.back().to, s.x.back());
    // In time: every pulse due exactly the delay after its place, never
    // before it was decided, and sent on the first sample at or past that.
    ASSERT_EQ(out.cuts.size(), 6u);
    for (std::size_t i = 0; i < out.cuts.size(); ++i) {
        EXPECT_DOUBLE_EQ(out.cuts[i].sendAt, out.cuts[i].at + 3.0);
        EXPECT_GE(out.cuts[i].sendAt, out.decidedAt[i]);
        EXPECT_GE(out.sentAt[i], out.cuts[i].sendAt);
        EXPECT_LT(out.sentAt[i] - out.cuts[i].sendAt, kStep + 1e-9);
    }
}

TEST(PeakCutter, NoiseNeedsTheMinimumWidthAndThenLeavesTheEdgesInPlace) {
    // Noise of 0.01 AU at a level of 0.05: the smoothed signal wanders
    // across the level near each edge.
    const auto noisy = make(40.0, three, 0.01, 11);
    auto settings = byLevel(0.05, 0.04);
    settings.minWidthMm = 0.5;
    const auto out = run(settings, noisy);
    expectContiguous(out.fractions);
    for (int k = 1; k <= 3; ++k) {
        const auto& b = kThree[static_cast<std::size_t>(k - 1)];
        const auto mine = peaksOf(out.fractions, k);
        ASSERT_EQ(mine.size(), 1u) << "peak " << k;
        EXPECT_NEAR(mine[0]->from, b.centre - halfSpan(b, 0.05), 0.3) << "peak " << k;
        EXPECT_NEAR(mine[0]->to, b.centre + halfSpan(b, 0.04), 0.3) << "peak " << k;
    }
    EXPECT_EQ(out.fractions.size(), 7u);

    // A spike narrower than the minimum width is no peak; without the width it is one.
    const auto spiky = make(20.0, [](double x) { return 0.02 + Bump{10.0, 0.08, 0.3}.at(x); });
    EXPECT_EQ(run(settings, spiky).fractions.size(), 1u);
    EXPECT_EQ(run(byLevel(0.05), spiky).fractions.size(), 3u);
}

TEST(PeakCutter, AShoulderStaysInItsPeakWhileAValleyBelowTheEndLevelParts) {
    // A shoulder on the falling side: the sum never dips below the level between them.
    const Bump main{15.0, 1.0, 0.8};
    const Bump shoulder{17.2, 0.8, 0.3};
    const auto s = make(30.0, [&](double x) { return main.at(x) + shoulder.at(x); });
    const auto out = run(byLevel(0.1), s);
    ASSERT_EQ(out.fractions.size(), 3u);
    EXPECT_EQ(out.fractions[1].peak, 1);
    EXPECT_NEAR(out.fractions[1].to, shoulder.centre + halfSpan(shoulder, 0.1) + 0.05, 0.35);
    EXPECT_GT(out.fractions[1].to, shoulder.centre);

    // The same two far enough apart to fall below the level between them: two peaks.
    const Bump apart{20.0, 0.8, 0.3};
    const auto two = make(30.0, [&](double x) { return main.at(x) + apart.at(x); });
    const auto parted = run(byLevel(0.1), two);
    EXPECT_EQ(parted.fractions.size(), 5u);
    EXPECT_EQ(peaksOf(parted.fractions, 2).size(), 1u);
}

TEST(PeakCutter, APeakThatNeverReturnsToTheBaseline) {
    // Rises by 0.6 and falls back only to 0.25 above the start.
    const auto s = make(30.0, [](double x) {
        return 0.25 / (1.0 + std::exp(-(x - 12.0) * 4.0)) + Bump{12.0, 1.0, 0.35}.at(x);
    });
    // By level alone the peak stays open to the end of the run.
    const auto open = run(byLevel(0.1), s);
    ASSERT_EQ(open.fractions.size(), 2u);
    EXPECT_EQ(open.fractions[1].peak, 1);
    EXPECT_DOUBLE_EQ(open.fractions[1].to, s.x.back());
    EXPECT_EQ(open.cuts.size(), 1u);

    // With an end slope it ends where the fall flattens, and the raised
    // level does not start a second peak at once.
    auto settings = byLevel(0.1);
    settings.endSlope = 0.02;
    const auto ended = run(settings, s);
    ASSERT_EQ(ended.fractions.size(), 3u);
    EXPECT_EQ(ended.fractions[1].peak, 1);
    EXPECT_EQ(ended.fractions[2].peak, 0);
    EXPECT_GT(ended.fractions[1].to, 13.0);
    EXPECT_LT(ended.fractions[1].to, 16.5);
}

TEST(PeakCutter, ASaturatedPeakIsOnePeakAndItsFlatTopNeverEndsItBySlope) {
    // Clipped at 1.0 AU for about three millimetres.
    const Bump tall{15.0, 1.5, 1.6};
    const auto s = make(30.0, [&](double x) { return std::min(1.0, tall.at(x)); });
    const double lower = tall.centre - halfSpan(tall, 0.1);
    const double upper = tall.centre + halfSpan(tall, 0.1);

    auto bySlope = byLevel(0.1);
    bySlope.endLevel = 0.0;
    bySlope.endSlope = 0.05;
    bySlope.perPeak = 2;
    const auto out = run(bySlope, s);
    const auto mine = peaksOf(out.fractions, 1);
    ASSERT_EQ(mine.size(), 2u);
    EXPECT_NEAR(mine[0]->from, lower, 0.05);
    // The fall flattens below 0.05 AU/mm only near the foot.
    EXPECT_GT(mine[1]->to, upper - 0.5);
    // The cut inside lies within the peak, after the clipped top began.
    EXPECT_GT(mine[0]->to, lower + 1.0);
    EXPECT_LT(mine[0]->to, upper);
    EXPECT_EQ(peaksOf(out.fractions, 2).size(), 0u);
}

TEST(PeakCutter, FractionsPerPeakAndBetweenPeaksFallAtEqualDistances) {
    const Bump b{15.0, 1.2, 0.6};
    const auto s = make(30.0, [&](double x) { return b.at(x); });
    auto settings = byLevel(0.06);
    settings.perPeak = 3;
    settings.betweenEveryMm = 4.0;
    const auto out = run(settings, s, 6.0);
    expectContiguous(out.fractions);
    const auto mine = peaksOf(out.fractions, 1);
    ASSERT_EQ(mine.size(), 3u);
    const double width = 2.0 * halfSpan(b, 0.06);
    for (const auto* f : mine) {
        EXPECT_NEAR(f->to - f->from, width / 3.0, 0.1);
    }
    // Between: every 4 mm from the run's start, then from the peak's end.
    std::vector<double> betweenStarts;
    for (const auto& f : out.fractions) {
        if (f.peak == 0 && f.from > 0.0) betweenStarts.push_back(f.from);
    }
    ASSERT_GE(betweenStarts.size(), 4u);
    EXPECT_NEAR(betweenStarts[0], 4.0, 0.031);
    EXPECT_NEAR(betweenStarts[1], 8.0, 0.031);
    const double end = b.centre + halfSpan(b, 0.06);
    const auto after = std::find_if(betweenStarts.begin(), betweenStarts.end(), [&](double x) { return x > end; });
    ASSERT_NE(after, betweenStarts.end());
    EXPECT_NEAR(*after, end, 0.05);
    ASSERT_NE(after + 1, betweenStarts.end());
    EXPECT_NEAR(*(after + 1), *after + 4.0, 0.031);
}

TEST(PeakCutter, AShortDelayMovesLateChangesAndTheEndWithdrawsPulsesNotYetDue) {
    const Bump b{10.0, 1.0, 0.5};
    const auto s = make(20.0, [&](double x) { return b.at(x); });
    auto settings = byLevel(0.05);
    settings.minWidthMm = 1.0;
    // The start is known only a millimetre after it: a delay of 0.4 mm makes it late.
    const auto late = run(settings, s, 0.4);
    const double start = b.centre - halfSpan(b, 0.05);
    ASSERT_EQ(late.cuts.size(), 2u);
    EXPECT_NEAR(late.cuts[0].at, start + 1.0 - 0.4, 0.2);
    EXPECT_DOUBLE_EQ(late.cuts[0].sendAt, late.cuts[0].at + 0.4);
    EXPECT_DOUBLE_EQ(late.fractions[1].from, late.cuts[0].at);

    // A preview that may look as far as the thresholds need places it at the start.
    const auto preview = run(settings, s, PeakCutter::kNoDelayLimit);
    EXPECT_NEAR(preview.fractions[1].from, start, 0.03);
    EXPECT_DOUBLE_EQ(preview.cuts[0].sendAt, preview.cuts[0].at);

    // A run that ends before the end's pulse was due never cut there.
    PeakCutter cutter(settings, 3.0);
    std::vector<PeakCutter::Cut> cuts;
    const double end = b.centre + halfSpan(b, 0.05);
    std::size_t i = 0;
    for (; i < s.x.size() && s.x[i] < end + 1.0; ++i) cutter.push(s.x[i], s.y[i], cuts);
    ASSERT_EQ(cutter.decided(), 2u);
    ASSERT_EQ(cuts.size(), 1u);
    cutter.finish();
    ASSERT_EQ(cutter.fractions().size(), 2u);
    EXPECT_EQ(cutter.fractions()[1].peak, 1);
    EXPECT_DOUBLE_EQ(cutter.fractions()[1].to, s.x[i - 1]);
}

// Which changes a run ended after were sent follows from its samples alone:
// ended anywhere near a pulse, the cutter's table has exactly the changes it
// sent, so a preview of the same samples lists what the live run cut.
TEST(PeakCutter, AtTheEndExactlyTheSentChangesStand) {
    const auto s = make(40.0, three);
    const auto whole = run(byLevel(0.05), s);
    ASSERT_EQ(whole.cuts.size(), 6u);
    for (const double due : {whole.cuts[1].sendAt, whole.cuts[3].sendAt}) {
        for (const double around : {-kStep, -0.001, 0.0, 0.001, kStep}) {
            PeakCutter cutter(byLevel(0.05), 3.0);
            std::vector<PeakCutter::Cut> sent;
            Signal part;
            for (std::size_t i = 0; i < s.x.size() && s.x[i] <= due + around; ++i) {
                cutter.push(s.x[i], s.y[i], sent);
                part.x.push_back(s.x[i]);
                part.y.push_back(s.y[i]);
            }
            cutter.finish();
            EXPECT_EQ(cutter.fractions().size(), sent.size() + 1) << "ended at " << due + around;
            EXPECT_EQ(cutter.fractions(), previewFractions(part.x, part.y, byLevel(0.05), 3.0));
        }
    }
}

// A tube change by hand: the fraction whose liquid is arriving is split,
// the new part marked; changes of the thresholds still cut where they
// fall, and one that is withdrawn at the end leaves the hand's part alone.
TEST(PeakCutter, AChangeByHandSplitsTheFractionArrivingAtTheCollector) {
    const auto s = make(40.0, three);
    PeakCutter cutter(byLevel(0.05), 3.0);
    std::vector<PeakCutter::Cut> sent;
    std::size_t i = 0;
    // Before the first peak: a change at piston 5.0 splits the first fraction at 2.0.
    for (; s.x[i] < 5.0; ++i) cutter.push(s.x[i], s.y[i], sent);
    cutter.manualSplit(5.0);
    // Inside the second peak, with its start's pulse sent: split inside peak 2.
    for (; s.x[i] < 21.0; ++i) cutter.push(s.x[i], s.y[i], sent);
    cutter.manualSplit(21.0);
    for (; i < s.x.size(); ++i) cutter.push(s.x[i], s.y[i], sent);
    cutter.finish();
    const auto& f = cutter.fractions();
    ASSERT_EQ(f.size(), 9u);
    expectContiguous(f);
    EXPECT_TRUE(f[1].manual);
    EXPECT_DOUBLE_EQ(f[1].from, 2.0);
    EXPECT_EQ(f[1].peak, 0);
    EXPECT_EQ(f[4].peak, 2);
    EXPECT_EQ(f[5].peak, 2);
    EXPECT_TRUE(f[5].manual);
    EXPECT_DOUBLE_EQ(f[5].from, 18.0);
    int manual = 0;
    for (const auto& fraction : f) manual += fraction.manual ? 1 : 0;
    EXPECT_EQ(manual, 2);
    EXPECT_EQ(sent.size(), 6u);

    // At the very start the tubing's own liquid goes to the first tube: an
    // empty part at the run's start, not a fraction before it.
    PeakCutter early(byLevel(0.05), 3.0);
    for (std::size_t k = 0; k < 20; ++k) early.push(s.x[k], s.y[k], sent);
    early.manualSplit(1.0);
    early.finish();
    ASSERT_EQ(early.fractions().size(), 2u);
    EXPECT_DOUBLE_EQ(early.fractions()[1].from, s.x[0]);
    EXPECT_TRUE(early.fractions()[1].manual);

    // A change by hand after a change that is never sent: the withdrawn one
    // merges back, the hand's part stays.
    PeakCutter ending(byLevel(0.05), 3.0);
    std::vector<PeakCutter::Cut> out;
    const Bump& b = kThree[0];
    const double start = b.centre - halfSpan(b, 0.05);
    std::size_t k = 0;
    for (; s.x[k] < start + 1.0; ++k) ending.push(s.x[k], s.y[k], out);
    ASSERT_EQ(ending.decided(), 1u);
    ASSERT_TRUE(out.empty());
    ending.manualSplit(s.x[k - 1] + 3.0);  // its liquid: after the peak's start
    ending.finish();
    const auto& e = ending.fractions();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_TRUE(e[1].manual);
    EXPECT_EQ(e[0].peak, 1);
    EXPECT_DOUBLE_EQ(e[1].from, s.x[k - 1]);
}

TEST(PeakCutter, ADecisionNeverDependsOnSamplesBeyondTheFiltersHalfWindow) {
    const auto s = make(40.0, three, 0.005, 3);
    auto settings = byLevel(0.05);
    settings.perPeak = 2;
    settings.betweenEveryMm = 3.0;
    // Cut short at random places and continued with something else: every
    // cut decided before the split is the same as in the whole run.
    const auto whole = run(settings, s);
    for (const std::size_t split : {200u, 333u, 640u, 901u}) {
        PeakCutter cutter(settings, 3.0);
        std::vector<PeakCutter::Cut> cuts;
        for (std::size_t i = 0; i < split; ++i) cutter.push(s.x[i], s.y[i], cuts);
        const auto decided = cutter.decided();
        const auto before = cutter.fractions();
        for (std::size_t i = split; i < s.x.size(); ++i) cutter.push(s.x[i], 1.5 - s.y[i], cuts);
        ASSERT_LE(decided, whole.decidedAt.size());
        ASSERT_EQ(before.size(), decided + 1);
        for (std::size_t k = 1; k < before.size(); ++k) {
            EXPECT_DOUBLE_EQ(before[k].from, cutter.fractions()[k].from) << "split " << split << " cut " << k;
            EXPECT_DOUBLE_EQ(before[k].from, whole.fractions[k].from) << "split " << split << " cut " << k;
        }
    }
    // A level crossing is decided within the filter's half window (and one sample) of its place.
    const auto plain = run(byLevel(0.05), s);
    ASSERT_EQ(plain.decidedAt.size(), plain.fractions.size() - 1);
    for (std::size_t k = 0; k < plain.decidedAt.size(); ++k) {
        EXPECT_LE(plain.decidedAt[k] - plain.fractions[k + 1].from, (PeakCutter::kWindow / 2 + 1) * kStep + 1e-9);
    }
}

TEST(PeakCutter, RepeatedAndUnusableSamplesAreIgnored) {
    const Bump b{10.0, 1.0, 0.5};
    const auto s = make(20.0, [&](double x) { return b.at(x); });
    const auto clean = run(byLevel(0.05), s);
    Signal repeated;
    for (std::size_t i = 0; i < s.x.size(); ++i) {
        repeated.x.push_back(s.x[i]);
        repeated.y.push_back(s.y[i]);
        if (i % 50 == 0) {
            repeated.x.push_back(s.x[i]);  // a closing row repeats its sample
            repeated.y.push_back(s.y[i]);
            repeated.x.push_back(s.x[i]);
            repeated.y.push_back(std::nan(""));  // an automatic fraction's row has no absorbance
        }
    }
    EXPECT_EQ(run(byLevel(0.05), repeated).fractions, clean.fractions);
}

}  // namespace
}  // namespace corvane
