// Mode, key and settings sequences against the simulated unit, on a clock that
// moves only when the link waits, so the 5 s, 20 s and 60 s limits cost no
// real time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "TestClocks.h"
#include "app/ConfigFile.h"

namespace corvane {
namespace {

using test::KeyLogLines;
using test::KeysWritten;
using test::LinkBench;
using test::ManualClock;
using test::ScriptedLink;
using test::UnitBeat;

constexpr const char* kNoResponse =
    "The uv unit did not respond to a command... you may need to restart it.";

// A scan speed whose two bytes differ, so a swapped re-send would show.
constexpr std::int16_t kScanSpeed = 0x0102;

SimRigConfig unitIn(std::uint8_t mode) {
    SimRigConfig config;
    config.kelvo.powerOnMode = mode;
    config.kelvo.settings.scanSpeed = kScanSpeed;
    return config;
}

struct Host : LinkHost {
    void showPositionAndSpeed(double mm, double speed) override { shown.push_back({mm, speed}); }
    void setPositionOffset(double mm) override { offsets.push_back(mm); }
    double pendingScanDistance() const override { return pending; }
    void clearPendingScanDistance() override { pending = 0.0; }
    bool sendSettings(const Cmd0Bytes& packet) override { return link->SendSettings(packet); }

    UvLink* link = nullptr;
    double pending = 0.0;
    std::vector<std::pair<double, double>> shown;
    std::vector<double> offsets;
};

TEST(ControlSequence, SetupModeFromPowerOnTakesKey1OnceThenNothing) {
    ManualClock clock;
    LinkBench bench(clock);
    auto& link = bench.open(false);
    EXPECT_TRUE(link.EnterSetupMode());
    EXPECT_TRUE(link.EnterSetupMode());
    EXPECT_EQ(bench.rig.kelvo()->mode(), kModeSetup);
    EXPECT_EQ(KeysWritten(bench.rig.bridge()), (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(KeyLogLines(bench.folder),
              (std::vector<std::string>{"entering setup mode.", "ucKey = 1", "entering setup mode.",
                                        "already in setup mode."}));
}

TEST(ControlSequence, ModesChangeKeyByKeyThroughSetup) {
    ManualClock clock;
    LinkBench bench(clock, unitIn(kModeAuto));
    auto& link = bench.open(false);
    auto& unit = *bench.rig.kelvo();

    EXPECT_TRUE(link.EnterManualMode());
    EXPECT_EQ(unit.mode(), kModeManual);
    EXPECT_TRUE(link.EnterManualMode());
    EXPECT_EQ(KeysWritten(bench.rig.bridge()), (std::vector<std::uint8_t>{5, 3}));
    EXPECT_EQ(KeyLogLines(bench.folder),
              (std::vector<std::string>{"entering manual mode.", "entering setup mode.", "ucKey = 5",
                                        "ucKey = 3", "entering manual mode.",
                                        "already in manual mode."}));

    EXPECT_TRUE(link.EnterCalibrationMode());
    EXPECT_EQ(unit.mode(), kModeCalibration);
    EXPECT_TRUE(link.ShortPacketMode());
    EXPECT_TRUE(link.EnterAutoMode());
    EXPECT_EQ(unit.mode(), kModeAuto);
    EXPECT_FALSE(link.ShortPacketMode());
    EXPECT_TRUE(link.EnterSetupMode());
    EXPECT_TRUE(link.EnterManualMode());
    EXPECT_EQ(KeysWritten(bench.rig.bridge()),
              (std::vector<std::uint8_t>{5, 3, 5, 4, 5, 2, 5, 3}));
}

TEST(ControlSequence, AKeyNeverEchoedIsSentFiveTimesEachAfterAFlushThenTheUserIsTold) {
    ManualClock clock;
    LinkBench bench(clock, unitIn(kModeSetup));
    auto& link = bench.open(false);
    bench.rig.kelvo()->setFaults(SimFaults{.ignoreKeys = true});
    auto& bridge = bench.rig.bridge();

    EXPECT_FALSE(link.PressKey(3));
    EXPECT_EQ(KeysWritten(bridge), (std::vector<std::uint8_t>(5, 3)));
    EXPECT_EQ(bridge.callsNamed("purge").size(), 1u + 5u);  // the one at open, then one per send
    EXPECT_EQ(bench.prompter.transcript(), (std::vector<std::string>{std::string("message: ") + kNoResponse}));
    EXPECT_EQ(KeyLogLines(bench.folder),
              (std::vector<std::string>{"ucKey = 3", "trying to press key again.", "ucKey = 3",
                                        "trying to press key again.", "ucKey = 3",
                                        "trying to press key again.", "ucKey = 3",
                                        "trying to press key again.", "ucKey = 3", "ucKey = 3",
                                        "no kelvo response."}));

    EXPECT_FALSE(link.PressKey(3, -1));
    EXPECT_EQ(KeysWritten(bridge).size(), 6u);
    EXPECT_EQ(bench.prompter.transcript().size(), 1u);
}

TEST(ControlSequence, OnlyTheEchoOfThePressedKeyAcknowledgesIt) {
    ScriptedLink s;
    s.unit.setHeartbeat(UnitBeat(kModeSetup, 2), 300);
    const auto start = s.clock.nowMs();
    EXPECT_FALSE(s.link->PressKey(3, -1));
    // Four heartbeats echoing another key end the wait before its 5 s.
    EXPECT_LT(s.clock.nowMs() - start, UvLink::kKeyAckMs);
    EXPECT_EQ(s.link->heartbeatsReceived(), 4);

    s.unit.setHeartbeat(UnitBeat(kModeSetup, 3), 300);
    EXPECT_TRUE(s.link->PressKey(3, -1));
    EXPECT_EQ(KeysWritten(s.bridge), (std::vector<std::uint8_t>{3, 3}));
    EXPECT_TRUE(s.prompter.transcript().empty());
}

TEST(ControlSequence, DutyCycleIsSentTwiceAndReportedForTheSettingsWithTheScanSpeedIntact) {
    ManualClock clock;
    LinkBench bench(clock, unitIn(kModeSetup));
    auto& link = bench.open(false);
    auto& bridge = bench.rig.bridge();

    ScanSettingsChange refused;
    EXPECT_FALSE(link.SetDutyCycle(0.95, &refused));
    EXPECT_TRUE(test::SettingsWritten(bridge).empty());
    EXPECT_FALSE(refused.dutyCyclePercentA);

    ScanSettingsChange changed;
    EXPECT_TRUE(link.SetDutyCycle(0.25, &changed));
    const auto sent = test::SettingsWritten(bridge);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], sent[1]);
    EXPECT_EQ(sent[0][3], 25);
    EXPECT_EQ(sent[0][12], 0x01);
    EXPECT_EQ(sent[0][13], 0x02);
    EXPECT_EQ(bench.rig.kelvo()->settings().scanSpeed, kScanSpeed);
    EXPECT_EQ(changed.dutyCyclePercentA, 25.0);
    EXPECT_EQ(changed.dutyCyclePercentB, 75.0);
    EXPECT_FALSE(changed.pcPotValue);
    EXPECT_EQ(bench.folder.read("prefs.cfg"), "[prefs]\ncomport 3\n") << "the link writes no settings";
    Cmd0 configuration;
    ASSERT_TRUE(link.ReadConfiguration(configuration));
    EXPECT_EQ(configuration.ucDutyCycleA, 25);
    double fraction = 0.0;
    EXPECT_TRUE(link.GetDutyCycle(fraction));
    EXPECT_DOUBLE_EQ(fraction, 0.25);
}

TEST(ControlSequence, PcPotGoesThroughTheQueueAndReturnsToTheModeItFound) {
    ManualClock clock;
    LinkBench bench(clock, unitIn(kModeManual));
    auto& link = bench.open(false);
    auto& unit = *bench.rig.kelvo();
    bench.hearUnit();

    ScanSettingsChange changed;
    EXPECT_TRUE(link.SetPcPot(3, &changed));
    EXPECT_EQ(unit.settings().ucATODGain, 3);
    EXPECT_EQ(unit.settings().scanSpeed, kScanSpeed);
    EXPECT_EQ(unit.mode(), kModeManual);
    EXPECT_EQ(KeysWritten(bench.rig.bridge()), (std::vector<std::uint8_t>{5, 3}));
    EXPECT_EQ(changed.pcPotValue, 4);

    const auto before = test::SettingsWritten(bench.rig.bridge()).size();
    EXPECT_FALSE(link.SetPcPot(8));
    EXPECT_EQ(test::SettingsWritten(bench.rig.bridge()).size(), before);
    EXPECT_EQ(link.GetPcPot(), 3);
}

TEST(ControlSequence, FirmwareWarningComesOnceAfterThreeMismatchesInARow) {
    ScriptedLink older;
    for (const std::uint8_t version : {12, 12, 13, 12, 12}) {
        ASSERT_TRUE(older.feedBeat(UnitBeat(kModeSetup, 0, 0, version)));
    }
    EXPECT_TRUE(older.prompter.transcript().empty());
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(older.feedBeat(UnitBeat(kModeSetup, 0, 0, 12)));
    }
    EXPECT_EQ(older.prompter.transcript(),
              (std::vector<std::string>{
                  "notify: Warning: Tellmar software should be upgraded to match UV firmware!"}));

    ScriptedLink newer;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(newer.feedBeat(UnitBeat(kModeSetup, 0, 0, 14)));
    }
    EXPECT_EQ(newer.prompter.transcript(),
              (std::vector<std::string>{
                  "notify: Warning: UV unit firmware should be upgraded to match Tellmar software!"}));
}

TEST(ControlSequence, KeyRequestIsAnsweredOncePerRisingEdge) {
    ManualClock clock;
    LinkBench bench(clock, unitIn(kModeSetup));
    auto& link = bench.open(false);
    auto& unit = *bench.rig.kelvo();
    auto runFor = [&](std::int64_t ms) {
        const Deadline deadline(clock, ms);
        while (!deadline.expired()) {
            Cmd0 ignored;
            (void)link.ReadCmd0(ignored);
            link.ParseHeartbeat();
        }
    };
    unit.setFaults(SimFaults{.holdControlBit3 = true});
    runFor(6000);
    EXPECT_EQ(KeysWritten(bench.rig.bridge()), (std::vector<std::uint8_t>{1}));

    unit.setFaults({});
    runFor(3000);
    unit.requestKey1();
    runFor(3000);
    EXPECT_EQ(KeysWritten(bench.rig.bridge()), (std::vector<std::uint8_t>{1, 1}));
    EXPECT_EQ(unit.acceptedKeys(), (std::vector<std::uint8_t>{1, 1}));
}

TEST(ControlSequence, UpperLimitIsReachedWithPositionsShownThenOffsetCleared) {
    ManualClock clock;
    LinkBench bench(clock, unitIn(kModeSetup));
    auto& link = bench.open(false);
    Host host;
    host.link = &link;
    link.GoToUpperLimit(host, false);

    EXPECT_TRUE(bench.rig.kelvo()->atUpperLimit());
    EXPECT_EQ(KeysWritten(bench.rig.bridge()), (std::vector<std::uint8_t>{3, 3}));
    ASSERT_GT(host.shown.size(), 10u);
    EXPECT_GT(host.shown.front().first, host.shown[host.shown.size() - 2].first);
    EXPECT_LT(host.shown.front().second, 0.0);  // moving up
    EXPECT_EQ(host.shown.back(), std::make_pair(0.0, 0.0));
    EXPECT_EQ(host.offsets, (std::vector<double>{0.0}));
    EXPECT_TRUE(bench.prompter.transcript().empty());
}

TEST(ControlSequence, UpperLimitGivesUpSilentlyAfterAMinute) {
    ManualClock clock;
    auto config = unitIn(kModeSetup);
    config.kelvo.upSpeedMmPerS = 0.1;
    LinkBench bench(clock, config);
    auto& link = bench.open(false);
    Host host;
    const auto start = clock.nowMs();
    link.GoToUpperLimit(host, false);
    EXPECT_GE(clock.nowMs() - start, UvLink::kUpperLimitMs);
    EXPECT_FALSE(bench.rig.kelvo()->atUpperLimit());
    EXPECT_TRUE(host.offsets.empty());
    EXPECT_TRUE(bench.prompter.transcript().empty());
}

TEST(ControlSequence, AutoUpperLimitSendsThePendingScanDistanceWithTheScanSpeedIntact) {
    ManualClock clock;
    LinkBench bench(clock, unitIn(kModeSetup));
    auto& link = bench.open(false);
    Host host;
    host.link = &link;
    host.pending = 12.34;
    link.GoToUpperLimit(host, true, UpperLimitVariant::Auto);

    EXPECT_EQ(KeysWritten(bench.rig.bridge()), (std::vector<std::uint8_t>{2, 2, 5}));
    EXPECT_EQ(bench.rig.kelvo()->settings().uiScanDist, 1234);
    EXPECT_EQ(bench.rig.kelvo()->settings().scanSpeed, kScanSpeed);
    EXPECT_EQ(host.pending, 0.0);
    EXPECT_EQ(host.offsets, (std::vector<double>{0.0}));
}


TEST(ControlSequence, CheckKnobAsksForTheKnobFullyCcwOnlyWhenItIsNot) {
    constexpr const char* kKnob = "Please ensure that the knob is fully CCW.";
    for (const std::uint8_t knob : {128, 129, 200}) {
        ManualClock clock;
        auto config = unitIn(kModeManual);
        config.kelvo.knobPosition = knob;
        LinkBench bench(clock, config);
        auto& link = bench.open(false);
        bench.hearUnit();
        link.CheckKnob();
        // It brings the unit to setup mode first, to read its settings packets.
        EXPECT_EQ(bench.rig.kelvo()->mode(), kModeSetup);
        if (knob == 128) {
            EXPECT_TRUE(bench.prompter.transcript().empty());
        } else {
            EXPECT_EQ(bench.prompter.transcript(), (std::vector<std::string>{std::string("message: ") + kKnob}));
        }
    }
}

TEST(ControlSequence, CheckKnobSaysWhenSetupModeCannotBeReachedAndWaitsTwoSecondsAtMost) {
    {
        ManualClock clock;
        LinkBench bench(clock, unitIn(kModeManual));
        auto& link = bench.open(false);
        bench.hearUnit();
        bench.rig.kelvo()->setFaults(SimFaults{.ignoreKeys = true});
        link.CheckKnob();
        EXPECT_EQ(bench.prompter.transcript(),
                  (std::vector<std::string>{std::string("message: ") + kNoResponse,
                                            "message: Error, unable to enter setup mode."}));
    }
    {
        // In setup mode, but no settings packet comes: nothing to say.
        ScriptedLink s;
        ASSERT_TRUE(s.feedBeat(UnitBeat(kModeSetup)));
        const auto start = s.clock.nowMs();
        s.link->CheckKnob();
        EXPECT_GE(s.clock.nowMs() - start, 2000);
        EXPECT_LT(s.clock.nowMs() - start, 2500);
        EXPECT_TRUE(s.prompter.transcript().empty());
    }
}

TEST(ControlSequence, WarmUpIsPostedAtTheFifteenthHeartbeatReceivedAndNeverAgain) {
    for (const bool recordingFirst : {false, true}) {
        ScriptedLink s;
        if (recordingFirst) {
            s.link->SetRecordingStarted(true);
        }
        for (int beat = 1; beat <= 20; ++beat) {
            ASSERT_TRUE(s.feedBeat(UnitBeat(kModeSetup)));
            const int expected = !recordingFirst && beat >= UvLink::kWarmupHeartbeats ? 1 : 0;
            EXPECT_EQ(s.poster.count(UserMsg::WarmedUp), expected) << "after heartbeat " << beat;
        }
    }
}

}  // namespace
}  // namespace corvane
