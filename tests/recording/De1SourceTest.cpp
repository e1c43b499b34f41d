// A DE-1 run against the simulated interface box: records at the sample
// rate, distance at the run's speed, the zero, the event marks sent to the
// collector and the loss of the box.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "TestClocks.h"
#include "recording/De1Source.h"
#include "sim/SimRig.h"

namespace corvane {
namespace {

struct Events : De1EventSink {
    std::vector<De1Event> seen;
    void onDe1Event(const De1Event& event) override { seen.push_back(event); }
};

// The box pulses its event input once, at power-on (the collector's start
// mark), unless told to pulse never (0).
struct De1Run {
    test::ManualClock clock;
    SimRig rig;
    Events events;
    std::unique_ptr<De1Source> source;

    explicit De1Run(std::int64_t fractionIntervalMs = 1'000'000) : rig(clock, config(fractionIntervalMs)) {
        BridgeHandle handle = 0;
        EXPECT_EQ(rig.bridge().open("DE1B0042", kOpenBySerialNumber, handle), kBridgeOk);
        EXPECT_EQ(rig.bridge().setTimeouts(handle, 100, 100), kBridgeOk);
        EXPECT_EQ(rig.bridge().setBaudRate(handle, 115200), kBridgeOk);
        source = std::make_unique<De1Source>(rig.bridge(), clock, handle, 0.0, &events);
    }
    static SimRigConfig config(std::int64_t fractionIntervalMs) {
        SimRigConfig c;
        c.withKelvo = false;
        c.withDe1 = true;
        c.de1.noiseCounts = 0.0;
        c.de1.fractionIntervalMs = fractionIntervalMs;
        return c;
    }
    std::vector<SampleRecord> start(const Em1Settings& settings, std::int64_t ms,
                                    const OverlayPlan* zones = nullptr) {
        return start(De1RunPlan::from(settings, std::nullopt, zones), ms);
    }
    std::vector<SampleRecord> start(const De1RunPlan& plan, std::int64_t ms) {
        source->StartRun(plan);
        std::vector<SampleRecord> records;
        for (const auto end = clock.nowMs() + ms; clock.nowMs() < end;) {
            SampleRecord record;
            if (source->GetSample(record) == 0) {
                records.push_back(record);
            }
        }
        return records;
    }
};

Em1Settings Marks(double distance, int number, int delayType = Em1Settings::kNoDelay) {
    Em1Settings s;
    s.speed = 0.5;
    s.aufs = 7;  // 2.00, as the box is set
    s.fractionDistance = distance;
    s.numberOfFractions = number;
    s.autosendEventMarks = true;
    s.delayType = delayType;
    return s;
}

std::vector<double> MarkPositions(const std::vector<SampleRecord>& records) {
    std::vector<double> at;
    for (const auto& r : records) {
        if (r.sampleA > 0x8000) {
            at.push_back(r.positionA);
        }
    }
    return at;
}

TEST(De1Source, HandsOnOneRecordPerSamplePeriodAtTheRunsSpeedAndScale) {
    De1Run run(0);
    auto settings = Marks(1.0, 1);
    settings.autozeroAtStart = true;
    const auto records = run.start(settings, 1950);

    ASSERT_EQ(records.size(), 20u);  // 10 a second
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_NEAR(records[i].positionA - records[0].positionA, 0.05 * double(i), 1e-9);
    }
    // Needles in air: 0.01 AU on the box's 2.00 scale is 315 counts, our zero.
    EXPECT_EQ(records[0].sourceA, 315u);
    EXPECT_NEAR(records[0].absorbanceB, 315.0 / 63053.0, 1e-12);
    EXPECT_NEAR(run.source->ZeroSignal(), 315.0, 1e-9);
    EXPECT_NEAR(records.back().absorbanceA, 0.0, 1e-9);
    EXPECT_TRUE(MarkPositions(records).empty());  // no start mark from the collector, no marks
}

TEST(De1Source, SendsAMarkEveryFractionDistanceAfterTheCollectorsStartMark) {
    De1Run run;
    const auto at = MarkPositions(run.start(Marks(1.0, 3), 10000));

    EXPECT_TRUE(run.source->FractionsComplete());
    ASSERT_EQ(at.size(), 4u);  // the start mark, then our three pulses' echoes
    for (std::size_t i = 0; i < at.size(); ++i) {
        EXPECT_NEAR(at[i], double(i), 0.06);
    }
    EXPECT_EQ(run.source->link().EventCount(), 1);  // only the collector's own counts
    ASSERT_EQ(run.events.seen.size(), 4u);
    EXPECT_TRUE(run.events.seen[0].counted);
    EXPECT_FALSE(run.events.seen[1].counted);
}

TEST(De1Source, ADelayedRunRestartsOnceTheDeadVolumeHasPassed) {
    De1Run run;
    auto settings = Marks(2.0, 2, Em1Settings::kEventWithDelay);
    settings.deadVolume = 0.143;  // 1 mm at the default tube's 0.143 ml/mm
    const auto at = MarkPositions(run.start(settings, 12000));
    ASSERT_EQ(at.size(), 4u);
    EXPECT_NEAR(at[1], 1.0, 0.06);
    EXPECT_NEAR(at[2], 3.0, 0.06);
    EXPECT_NEAR(at[3], 5.0, 0.06);
}

TEST(De1Source, AZonePlanCutsEachZoneIntoItsOwnFractionsInsteadOfTheEvenDistance) {
    // 0-2 mm in 2 fractions, 2-2 mm empty, 2-5 mm in 1: ends at 1, 2, 2, 5.
    const OverlayPlan zones{{{0.0, 2.0, 2}, {2.0, 2.0, 1}, {2.0, 5.0, 1}}, 0};
    {
        De1Run run;
        const auto at = MarkPositions(run.start(Marks(0.3, 40), 14000, &zones));
        EXPECT_TRUE(run.source->FractionsComplete());
        EXPECT_EQ(run.source->MarksSent(), 4);
        // The two marks of the empty zone's ends come as fast as the pulses
        // go out: the echoes of 2 mm may merge, the last lies at 5 mm.
        ASSERT_GE(at.size(), 4u);
        EXPECT_NEAR(at[1], 1.0, 0.06);
        EXPECT_NEAR(at[2], 2.0, 0.06);
        EXPECT_NEAR(at.back(), 5.0, 0.2);
    }
    {
        // Delayed: the restart after the dead volume, the zones after it.
        De1Run run;
        auto settings = Marks(0.3, 40, Em1Settings::kEventWithDelay);
        settings.deadVolume = 0.143;
        const auto at = MarkPositions(run.start(settings, 14000, &zones));
        EXPECT_EQ(run.source->MarksSent(), 5);
        ASSERT_GE(at.size(), 4u);
        EXPECT_NEAR(at[1], 1.0, 0.06);
        EXPECT_NEAR(at[2], 2.0, 0.06);
        EXPECT_NEAR(at.back(), 6.0, 0.2);
    }
}

TEST(De1Source, AnAutomaticMarksEchoIsRecordedAsAnAutomaticFraction) {
    De1Run run(0);
    run.source->RaiseAutomaticMark();
    const auto records = run.start(Marks(0.5, 3), 1000);
    ASSERT_EQ(MarkPositions(records).size(), 1u);
    EXPECT_EQ(std::ranges::count(records, 0xFFFFu, &SampleRecord::sampleA), 1);
}

// Auto + manual: between the plan's marks every 3 mm, a vessel of 1.2 mm is
// changed automatically, counted from the last mark of any kind.
TEST(De1Source, AutoPlusManualChangesAFullVesselBetweenThePlansMarks) {
    De1Run run;
    auto plan = De1RunPlan::from(Marks(3.0, 2), std::nullopt);
    plan.automaticFractionMm = 1.2;
    const auto records = run.start(plan, 14000);
    std::vector<double> automatic;
    for (const auto& r : records) {
        if (r.sampleA == 0xFFFFu) {
            automatic.push_back(r.positionA);
        }
    }
    EXPECT_EQ(run.source->MarksSent(), 2);  // the plan's own, as before
    ASSERT_EQ(automatic.size(), 4u) << ::testing::PrintToString(MarkPositions(records));
    const std::vector<double> expected = {1.2, 2.4, 4.2, 5.4};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(automatic[i], expected[i], 0.1) << i;
    }
    // Once the plan's last mark is out, no more vessels are changed.
    EXPECT_TRUE(run.source->FractionsComplete());
}

TEST(De1Source, AFractionAdvanceIsRecordedAsANumberedMarkAndLeavesThePlanAlone) {
    De1Run run(0);
    run.source->RaiseFractionAdvance();
    const auto records = run.start(Marks(0.5, 3), 1000);
    const auto marks = MarkPositions(records);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(std::ranges::count(records, 0xFFFFu, &SampleRecord::sampleA), 0);
    EXPECT_EQ(run.source->MarksSent(), 0);
    EXPECT_EQ(run.source->link().EventCount(), 0);  // the collector counted none
}

TEST(De1Source, ASilentBoxIsLostAfterThreeSeconds) {
    De1Run run(0);
    (void)run.start(Marks(1.0, 1), 200);
    run.rig.de1()->setFaults(SimFaults{.silent = true});
    SampleRecord record;
    EXPECT_EQ(run.source->GetSample(record), De1Source::kNoReading);
    run.clock.advance(2500);
    EXPECT_FALSE(run.source->LinkLost());
    run.clock.advance(1000);
    EXPECT_TRUE(run.source->LinkLost());
}

}  // namespace
}  // namespace corvane
