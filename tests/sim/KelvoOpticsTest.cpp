// The simulated unit's readings, checked the way the program turns them into
// absorbance: zero the channels in water, then read the tube.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "TestClocks.h"
#include "UnitWire.h"
#include "sim/SimKelvoUnit.h"
#include "sim/SimProfile.h"

namespace corvane {
namespace {

using test::AbsorbanceOf;
using test::ManualClock;
using test::UnitPacket;
using test::UnitWire;

struct Counts {
    double sampleA = 0, sampleB = 0, sourceA = 0, sourceB = 0;
};

// Mean counts of two seconds of settings packets in setup mode.
Counts MeanCounts(SimKelvoConfig config) {
    config.powerOnMode = kModeSetup;
    ManualClock clock;
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    wire.run(2000);
    Counts mean;
    const auto cmd0s = wire.cmd0s();
    for (const auto& p : cmd0s) {
        mean.sampleA += p.cmd0.ulATODADataA0;
        mean.sampleB += p.cmd0.ulATODADataB0;
        mean.sourceA += p.cmd0.ulATODADataA1;
        mean.sourceB += p.cmd0.ulATODADataB1;
    }
    const double n = double(std::max<std::size_t>(cmd0s.size(), 1));
    return {mean.sampleA / n, mean.sampleB / n, mean.sourceA / n, mean.sourceB / n};
}

// The zero: the source factors that make pure water read 0.
std::pair<double, double> WaterFactors(SimKelvoConfig config) {
    config.medium = SimMedium::Water;
    const auto c = MeanCounts(config);
    return {c.sampleA / c.sourceA, c.sampleB / c.sourceB};
}

TEST(KelvoOptics, CountsSaturateAtTheAtodLimitAndPacketsStayValid) {
    ManualClock clock;
    SimKelvoConfig config;
    config.powerOnMode = kModeSetup;
    config.settings.ucATODGain = 1;
    config.settings.uiIntegrationTime = 1000;
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    wire.run(5000);
    EXPECT_EQ(wire.junkBytes(), 0u);
    ASSERT_GE(wire.cmd0s().size(), 4u);
    for (const auto& p : wire.cmd0s()) {
        EXPECT_EQ(p.cmd0.ulATODADataA1, kMaxAtodReading);
        EXPECT_EQ(p.cmd0.ulATODADataB1, kMaxAtodReading);
        EXPECT_LE(p.cmd0.ulATODADataA0, kMaxAtodReading);
        EXPECT_LE(p.cmd0.ulATODADataB0, kMaxAtodReading);
    }
    unit.setMode(kModeManual);
    wire.clear();
    wire.run(3000);
    ASSERT_FALSE(wire.cmd2s().empty());
    for (const auto& p : wire.cmd2s()) {
        EXPECT_EQ(p.cmd2.ulATODADataSource, kMaxAtodReading);
    }

    // At the usual settings the readings sit well inside the range and vary.
    const auto usual = MeanCounts(SimKelvoConfig{});
    EXPECT_LT(usual.sourceA, kMaxAtodReading / 2.0);
    EXPECT_GT(usual.sourceB, 10'000.0);
}

TEST(KelvoOptics, LowerPcAndALargerShareGiveMoreCounts) {
    SimKelvoConfig config;
    config.medium = SimMedium::Water;
    config.settings.ucATODGain = 4;
    const auto pc200 = MeanCounts(config);
    config.settings.ucATODGain = 2;
    const auto pc100 = MeanCounts(config);
    EXPECT_NEAR(pc100.sourceA / pc200.sourceA, 2.0, 0.04);
    EXPECT_NEAR(pc100.sampleB / pc200.sampleB, 2.0, 0.04);

    config.settings.ucATODGain = 4;
    config.settings.ucDutyCycleA = 80;
    const auto a80 = MeanCounts(config);
    config.settings.ucDutyCycleA = 20;
    const auto a20 = MeanCounts(config);
    EXPECT_NEAR(a80.sourceA / a20.sourceA, 4.0, 0.08);
    EXPECT_NEAR(a20.sourceB / a80.sourceB, 4.0, 0.08);
}

TEST(KelvoOptics, ReadingsImplyTheProfileAtThePositionsTheProgramComputes) {
    SimKelvoConfig config;
    config.powerOnMode = kModeManual;
    config.pistonStartMm = 0.0;
    const auto [kA, kB] = WaterFactors(config);

    ManualClock clock;
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    wire.pressKey(4);
    wire.run(70'000, 2);

    // Positions reach the program in hundredths of a mm: allow that much of
    // the steepest slope, plus the readings' noise.
    double steepestA = 0, steepestB = 0;
    for (double x = config.meniscusMm + 0.05; x < 100.0; x += 0.01) {
        steepestA = std::max(steepestA, std::abs(unit.absorbanceAt(SimChannel::A, x + 0.01) -
                                                 unit.absorbanceAt(SimChannel::A, x)) / 0.01);
        steepestB = std::max(steepestB, std::abs(unit.absorbanceAt(SimChannel::B, x + 0.01) -
                                                 unit.absorbanceAt(SimChannel::B, x)) / 0.01);
    }

    int inAir = 0, inLiquid = 0;
    double largestDifference = 0;
    for (const auto& p : wire.cmd2s()) {
        if (p.cmd2.iPistonSpeed <= 0) {
            continue;
        }
        const bool a = p.isChannelA();
        const double position = test::ReadingPositionMm(p.cmd2, config.settings.uiIntegrationTime,
                                                        config.settings.ucDutyCycleA);
        if (std::abs(position - config.meniscusMm) < 0.05) {
            continue;
        }
        const double measured = AbsorbanceOf(p.cmd2.ulATODADataSample, p.cmd2.ulATODADataSource, a ? kA : kB);
        const auto channel = a ? SimChannel::A : SimChannel::B;
        const double expected = unit.absorbanceAt(channel, position);
        const double tolerance = 0.011 * (a ? steepestA : steepestB) + 0.003;
        EXPECT_NEAR(measured, expected, tolerance) << (a ? "A" : "B") << " at " << position << " mm";
        if (position < config.meniscusMm) {
            ++inAir;
            EXPECT_NEAR(measured, config.optics.airAbsorbance, 0.003);
        } else {
            ++inLiquid;
            const auto other = a ? SimChannel::B : SimChannel::A;
            largestDifference = std::max(largestDifference, std::abs(expected - unit.absorbanceAt(other, position)));
        }
    }
    EXPECT_GT(inAir, 100);
    EXPECT_GT(inLiquid, 500);
    EXPECT_GT(largestDifference, 0.1) << "260 nm and 280 nm see the gradient differently";
}

TEST(KelvoOptics, WaterReadsZeroAndAirReadsTheAirAbsorbanceEverywhere) {
    for (const auto medium : {SimMedium::Water, SimMedium::Air}) {
        SimKelvoConfig config;
        config.powerOnMode = kModeManual;
        config.pistonStartMm = 0.0;
        config.settings.scanSpeed = 100;
        const auto [kA, kB] = WaterFactors(config);
        config.medium = medium;
        ManualClock clock;
        SimKelvoUnit unit(clock, config);
        UnitWire wire(clock, unit);
        wire.pressKey(4);
        wire.run(8000, 2);
        ASSERT_GT(wire.cmd2s().back().cmd2.uiPistonPos, 6000);
        const double expected = medium == SimMedium::Water ? 0.0 : config.optics.airAbsorbance;
        for (const auto& p : wire.cmd2s()) {
            const double k = p.isChannelA() ? kA : kB;
            EXPECT_NEAR(AbsorbanceOf(p.cmd2.ulATODADataSample, p.cmd2.ulATODADataSource, k), expected, 0.003);
        }
    }
}

TEST(KelvoOptics, TheGradientShowsATopPeakSubunitsAndDecayingPolysomes) {
    const SimProfile profile;
    struct Peak {
        double depth, a, b, prominence;
    };
    std::vector<Peak> peaks;
    double valley = profile.absorbance(SimChannel::A, 0.0);
    double before = valley;
    double here = profile.absorbance(SimChannel::A, 0.02);
    for (double d = 0.04; d < 90.0; d += 0.02) {
        const double after = profile.absorbance(SimChannel::A, d);
        valley = std::min(valley, here);
        if (here > before && here >= after) {
            peaks.push_back({d - 0.02, here, profile.absorbance(SimChannel::B, d - 0.02), here - valley});
            valley = here;
        }
        before = here;
        here = after;
    }
    // Top, 40S, 60S, 80S and at least four polysomes.
    ASSERT_GE(peaks.size(), 8u);
    for (const auto& p : peaks) {
        EXPECT_GT(p.a, p.b) << "nucleic acid reads higher at 260 nm, at " << p.depth << " mm";
        EXPECT_GT(p.b, 0.0);
    }
    for (std::size_t i = 1; i < peaks.size(); ++i) {
        EXPECT_LT(peaks[i].a, peaks[0].a) << "the top peak is the largest";
    }
    for (std::size_t i = 5; i < peaks.size(); ++i) {
        EXPECT_LT(peaks[i].prominence, peaks[i - 1].prominence) << "polysome peak at " << peaks[i].depth;
    }
    EXPECT_LT(peaks.back().depth, 90.0);
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

TEST(KelvoBench, TheReferenceLiquidReadsItsOdsAndTheLedSlideMovesOnlyTheSource) {
    SimKelvoConfig config;
    config.optics.noiseFraction = 0.0;
    config.optics.noiseCounts = 0.0;
    const auto [kA, kB] = WaterFactors(config);
    config.medium = SimMedium::Reference;
    const auto reference = MeanCounts(config);
    EXPECT_NEAR(-std::log10(reference.sampleA / (reference.sourceA * kA)), kSimReferenceOdA, 0.002);
    EXPECT_NEAR(-std::log10(reference.sampleB / (reference.sourceB * kB)), kSimReferenceOdB, 0.002);

    config.medium = SimMedium::Water;
    const auto nominal = MeanCounts(config);
    config.ledPositionA = 60.0;  // gain 1.1 instead of 1.0
    config.ledPositionB = 250.0;  // beyond the slide's end: held at 100
    const auto moved = MeanCounts(config);
    EXPECT_NEAR(moved.sourceA / nominal.sourceA, 1.1, 0.002);
    EXPECT_NEAR(moved.sourceB / nominal.sourceB, 1.5, 0.002);
    EXPECT_NEAR(moved.sampleA, nominal.sampleA, 1.0);
}

}  // namespace
}  // namespace corvane
