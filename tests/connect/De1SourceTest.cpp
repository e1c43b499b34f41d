// The acquisition side of a DE-1 run against the simulated interface box:
// records at the sample rate, distance at the run's speed, the zero, the
// event marks sent to the collector and the loss of the box.

#include <gtest/gtest.h>

#include <vector>

#include "TestClocks.h"
#include "link/De1Source.h"
#include "sim/SimRig.h"

namespace corvane {
namespace {

using test::ManualClock;

struct Events : De1EventSink {
    std::vector<De1Event> seen;
    void onDe1Event(const De1Event& event) override { seen.push_back(event); }
};

SimRigConfig BoxOnly(std::int64_t fractionIntervalMs) {
    SimRigConfig config;
    config.withKelvo = false;
    config.withDe1 = true;
    config.de1.noiseCounts = 0.0;
    config.de1.aufs = 2.0;
    config.de1.fractionIntervalMs = fractionIntervalMs;
    return config;
}

// A rig whose box pulses its event input once, at power-on (the collector's
// start mark), unless told otherwise.
struct De1Run {
    ManualClock clock;
    SimRig rig;
    Events events;
    De1Source source;

    explicit De1Run(std::int64_t fractionIntervalMs = 1'000'000)
        : rig(clock, BoxOnly(fractionIntervalMs)), source(rig.bridge(), clock, openBox(), 0.0, &events) {}

    BridgeHandle openBox() {
        BridgeHandle handle = 0;
        EXPECT_EQ(rig.bridge().open("DE1B0042", kOpenBySerialNumber, handle), kBridgeOk);
        EXPECT_EQ(rig.bridge().setTimeouts(handle, 100, 100), kBridgeOk);
        EXPECT_EQ(rig.bridge().setBaudRate(handle, 115200), kBridgeOk);
        return handle;
    }

    // The records handed on while the clock runs for ms.
    std::vector<SampleRecord> recordFor(std::int64_t ms) {
        std::vector<SampleRecord> records;
        const auto end = clock.nowMs() + ms;
        while (clock.nowMs() < end) {
            SampleRecord record;
            if (source.GetSample(record) == 0) {
                records.push_back(record);
            }
        }
        return records;
    }
};

Em1Settings Marks(double distance, int number, int delayType = Em1Settings::kNoDelay) {
    Em1Settings s;
    s.samplesPerSec = 10.0;
    s.speed = 0.5;
    s.aufs = 7;  // 2.00, as the box is set
    s.fractionDistance = distance;
    s.numberOfFractions = number;
    s.autosendEventMarks = true;
    s.delayType = delayType;
    return s;
}

// Positions of the records that carry an event mark.
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
    settings.autosendEventMarks = false;
    run.source.StartRun(De1RunPlan::from(settings, std::nullopt));
    const auto records = run.recordFor(1950);

    ASSERT_EQ(records.size(), 20u);
    EXPECT_NEAR(records[0].positionA, 0.0, 0.005);  // the first reading's reply time
    for (std::size_t i = 0; i < records.size(); ++i) {
        // 100 ms at 0.5 mm/s
        EXPECT_NEAR(records[i].positionA - records[0].positionA, 0.05 * double(i), 1e-9);
        EXPECT_EQ(records[i].positionB, records[i].positionA);
        // Needles in air: 0.01 AU on the box's 2.00 scale, read back on ours.
        EXPECT_NEAR(records[i].absorbanceA, 0.01, 2e-4);
        EXPECT_EQ(records[i].sampleA, 0u);
    }
    EXPECT_EQ(records[0].sourceA, 315u);
    EXPECT_NEAR(records[0].absorbanceB, 315.0 / 63053.0, 1e-12);
}

TEST(De1Source, TakesTheZeroFromTheFirstReadingOfARunWithAutozero) {
    De1Run run(0);
    auto settings = Marks(1.0, 1);
    settings.autozeroAtStart = true;
    run.source.StartRun(De1RunPlan::from(settings, std::nullopt));
    const auto records = run.recordFor(500);
    ASSERT_FALSE(records.empty());
    EXPECT_NEAR(run.source.ZeroSignal(), 315.0, 1e-9);
    EXPECT_NEAR(records.back().absorbanceA, 0.0, 1e-9);
}

TEST(De1Source, SendsAMarkEveryFractionDistanceAfterTheCollectorsStartMark) {
    De1Run run;
    run.source.StartRun(De1RunPlan::from(Marks(1.0, 3), std::nullopt));
    const auto records = run.recordFor(10000);

    EXPECT_EQ(run.source.MarksSent(), 3);
    EXPECT_TRUE(run.source.FractionsComplete());
    const auto at = MarkPositions(records);
    ASSERT_EQ(at.size(), 4u);  // the start mark, then our three pulses' echoes
    EXPECT_NEAR(at[0], 0.0, 0.06);
    EXPECT_NEAR(at[1], 1.0, 0.06);
    EXPECT_NEAR(at[2], 2.0, 0.06);
    EXPECT_NEAR(at[3], 3.0, 0.06);
    EXPECT_EQ(run.source.link().EventCount(), 1);  // only the collector's own counts

    ASSERT_EQ(run.events.seen.size(), 4u);
    EXPECT_TRUE(run.events.seen[0].counted);
    EXPECT_FALSE(run.events.seen[1].counted);
    EXPECT_FALSE(run.events.seen[1].automatic);
}

TEST(De1Source, ADelayedRunRestartsOnceTheDeadVolumeHasPassed) {
    De1Run run;
    auto settings = Marks(2.0, 2, Em1Settings::kEventWithDelay);
    settings.deadVolume = 0.143;  // 1 mm at the default tube's 0.143 ml/mm
    const auto plan = De1RunPlan::from(settings, std::nullopt);
    EXPECT_DOUBLE_EQ(plan.deadVolumeDistanceMm, 1.0);
    run.source.StartRun(plan);
    const auto at = MarkPositions(run.recordFor(12000));

    ASSERT_EQ(at.size(), 4u);
    EXPECT_NEAR(at[1], 1.0, 0.06);
    EXPECT_NEAR(at[2], 3.0, 0.06);
    EXPECT_NEAR(at[3], 5.0, 0.06);
}

TEST(De1Source, SendsNoMarksWithoutTheStartMarkTheSwitchOrAnEventTriggeredRun) {
    {
        De1Run run(0);  // the collector never signals
        run.source.StartRun(De1RunPlan::from(Marks(0.5, 3), std::nullopt));
        EXPECT_TRUE(MarkPositions(run.recordFor(5000)).empty());
    }
    {
        De1Run run;
        auto settings = Marks(0.5, 3);
        settings.autosendEventMarks = false;
        run.source.StartRun(De1RunPlan::from(settings, std::nullopt));
        EXPECT_EQ(MarkPositions(run.recordFor(5000)).size(), 1u);
        EXPECT_EQ(run.rig.de1()->eventMarkRequestsReceived(), 0);
    }
    {
        De1Run run;
        auto settings = Marks(0.5, 3);
        settings.signalType = Em1Settings::kManualTriggered;
        run.source.StartRun(De1RunPlan::from(settings, std::nullopt));
        (void)run.recordFor(5000);
        EXPECT_EQ(run.rig.de1()->eventMarkRequestsReceived(), 0);
    }
}

TEST(De1Source, AnAutomaticMarksEchoIsRecordedAsAnAutomaticFraction) {
    De1Run run(0);
    (void)run.recordFor(300);
    run.source.RaiseAutomaticMark();
    const auto records = run.recordFor(1000);
    int automatic = 0;
    for (const auto& r : records) {
        automatic += r.sampleA == De1Source::kAutomaticMark ? 1 : 0;
    }
    EXPECT_EQ(automatic, 1);
    ASSERT_EQ(run.events.seen.size(), 1u);
    EXPECT_TRUE(run.events.seen[0].automatic);
}

TEST(De1Source, ASilentBoxIsLostAfterThreeSeconds) {
    De1Run run(0);
    (void)run.recordFor(200);
    auto faults = run.rig.de1()->faults();
    faults.silent = true;
    run.rig.de1()->setFaults(faults);

    SampleRecord record;
    EXPECT_EQ(run.source.GetSample(record), De1Source::kNoReading);
    run.clock.advance(2500);
    EXPECT_FALSE(run.source.LinkLost());
    run.clock.advance(1000);
    EXPECT_TRUE(run.source.LinkLost());
}

}  // namespace
}  // namespace corvane
