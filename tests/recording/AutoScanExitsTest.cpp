// Every way out of the scan start and of the move to the target position,
// against the simulated unit in auto mode (and a scripted one that never
// streams), single-threaded on a clock that moves by itself: the 120 s limit
// costs no real time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "RecordingBench.h"
#include "recording/AutoScan.h"
#include "recording/SampleReader.h"
#include "sim/SimRig.h"

namespace corvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kStartFailed = "Error sending command to Kelvo to start scan.";
constexpr const char* kNoResponse =
    "The uv unit did not respond to a command... you may need to restart it.";

// Positions as the window's position line gets them; `onShow` may act on the
// unit or the scan in between (the operator, a piston that turns back).
class WatchingDisplay : public RunDisplay {
public:
    void clearTraces() override {}
    void addSample(const SampleRecord&) override {}
    void redraw() override {}
    void setDe1Span(double) override {}
    void showPositionAndSpeed(double positionMm, double) override {
        shown.push_back(positionMm);
        if (onShow) {
            onShow(positionMm);
        }
    }

    std::vector<double> shown;
    std::function<void(double)> onShow;
};

class NoSamples : public SampleHandler {
public:
    void onSample(const SampleRecord&) override {}
};

// The simulated unit, already in auto mode, and the acquisition object on it.
struct AutoBench {
    explicit AutoBench(SimKelvoConfig unitConfig) : rig(clock, rigWith(std::move(unitConfig))) {
        writePrefs(folder);
        SampleReaderConfig config;
        config.workingFolder = folder.path();
        config.comPort = 3;
        reader = std::make_unique<SampleReader>(
            SampleReaderSeams{rig.ports(), rig.bridge(), clock, prompter, &poster, {}, false}, config);
        for (int i = 0; i < 100 && !reader->link()->lastCmd1(); ++i) {
            Cmd2 ignored;
            (void)reader->link()->ReadCmd2(ignored);
            reader->link()->ParseHeartbeat();
        }
    }
    ~AutoBench() { reader.reset(); }

    static SimRigConfig rigWith(SimKelvoConfig unit) {
        SimRigConfig config;
        config.kelvo = std::move(unit);
        return config;
    }
    SimKelvoUnit& unit() { return *rig.kelvo(); }

    ManualClock clock;
    TempDir folder;
    ScriptedPrompter prompter;
    RecordingPoster poster;
    SimRig rig;
    WatchingDisplay display;
    NoSamples samples;
    ReceiveHolds holds;
    std::unique_ptr<SampleReader> reader;
    AutoScan autoScan{{clock, prompter, display, samples, holds}};
};

// Auto mode, piston at the upper limit, a fast quiet scan: 4 mm/s, 50 ms.
SimKelvoConfig autoUnit(double scanDistanceMm = 80.0, std::int16_t scanSpeed = 40) {
    SimKelvoConfig unit;
    unit.powerOnMode = kModeAuto;
    unit.pistonStartMm = 0.0;
    unit.settings.uiIntegrationTime = 50;
    unit.settings.scanSpeed = scanSpeed;
    unit.settings.uiScanDist = static_cast<std::uint16_t>(scanDistanceMm * 100.0);
    unit.optics.noiseFraction = 0.0;
    unit.optics.noiseCounts = 0.0;
    return unit;
}

TEST(StartAutoScan, EndsAt25mmWhileThePistonStillMoves) {
    AutoBench bench(autoUnit());
    const auto start = bench.clock.nowMs();
    EXPECT_TRUE(bench.autoScan.StartAutoScan(*bench.reader));
    ASSERT_FALSE(bench.display.shown.empty());
    EXPECT_GE(bench.display.shown.back(), AutoScan::kScanLimitMm);
    EXPECT_LT(bench.display.shown.back(), AutoScan::kScanLimitMm + 0.5);
    EXPECT_GT(bench.unit().pistonSpeedMmPerS(), 0.0);
    // 25 mm at 4 mm/s, after the key's echo.
    EXPECT_LT(bench.clock.nowMs() - start, 10000);
    EXPECT_FALSE(bench.autoScan.scanRunning());
    EXPECT_THAT(bench.prompter.texts(), IsEmpty());
}

TEST(StartAutoScan, EndsWhenThePistonTurnsBackOrStopsShort) {
    {
        AutoBench bench(autoUnit());
        bench.display.onShow = [&](double mm) {
            if (mm > 10.0) {
                bench.unit().setPistonPositionMm(5.0);
            }
        };
        EXPECT_TRUE(bench.autoScan.StartAutoScan(*bench.reader));
        EXPECT_LT(bench.display.shown.back(), 6.0);
        EXPECT_THAT(bench.prompter.texts(), IsEmpty());
    }
    {
        // A scan of 10 mm ends there; the sequence sees the piston stand.
        AutoBench bench(autoUnit(10.0));
        EXPECT_TRUE(bench.autoScan.StartAutoScan(*bench.reader));
        EXPECT_NEAR(bench.display.shown.back(), 10.0, 0.05);
        EXPECT_EQ(bench.unit().pistonSpeedMmPerS(), 0.0);
        EXPECT_LT(bench.clock.nowMs(), AutoScan::kScanLimitMs);
    }
}

TEST(StartAutoScan, APistonThatNeverMovesRunsOutTheTwoMinutesAndAnAbortEndsAtOnce) {
    {
        AutoBench bench(autoUnit(80.0, 0));
        const auto start = bench.clock.nowMs();
        EXPECT_FALSE(bench.autoScan.StartAutoScan(*bench.reader));
        EXPECT_GE(bench.clock.nowMs() - start, AutoScan::kScanLimitMs);
        EXPECT_LT(bench.clock.nowMs() - start, AutoScan::kScanLimitMs + 10000);
        EXPECT_THAT(bench.prompter.texts(), IsEmpty());
    }
    {
        AutoBench bench(autoUnit());
        double abortedAt = 0.0;
        bench.display.onShow = [&](double mm) {
            if (mm > 3.0 && abortedAt == 0.0) {
                abortedAt = mm;
                bench.autoScan.requestAbort();
            }
        };
        EXPECT_FALSE(bench.autoScan.StartAutoScan(*bench.reader));
        EXPECT_EQ(bench.display.shown.back(), abortedAt);
        EXPECT_FALSE(bench.autoScan.scanRunning());
        EXPECT_THAT(bench.prompter.texts(), IsEmpty());
    }
}

TEST(StartAutoScan, OutsideAutoModeOrWithoutAnEchoItSaysSoAndScansNothing) {
    {
        auto unit = autoUnit();
        unit.powerOnMode = kModeManual;
        AutoBench bench(unit);
        EXPECT_FALSE(bench.autoScan.StartAutoScan(*bench.reader));
        EXPECT_THAT(bench.prompter.texts(),
                    ElementsAre("Error, Kelvo must be in auto mode in order to begin autoscan."));
        EXPECT_THAT(bench.unit().acceptedKeys(), IsEmpty());
    }
    {
        AutoBench bench(autoUnit());
        bench.unit().setFaults(SimFaults{.ignoreKeys = true});
        EXPECT_FALSE(bench.autoScan.StartAutoScan(*bench.reader));
        EXPECT_THAT(bench.prompter.texts(), ElementsAre(kNoResponse, kStartFailed));
        EXPECT_THAT(bench.display.shown, IsEmpty());
        EXPECT_EQ(bench.unit().pistonPositionMm(), 0.0);
    }
}

TEST(MoveToTargetPosition, FollowsThePistonToTheTargetOrUntilItStands) {
    {
        // Tube top 20 mm: the target of 15 mm is passed on the way.
        AutoBench bench(autoUnit());
        bench.reader->link()->SetTargetPosition(15.0);
        EXPECT_TRUE(bench.autoScan.MoveToTargetPosition(*bench.reader));
        EXPECT_GE(bench.display.shown.back(), 15.0);
        EXPECT_LT(bench.display.shown.back(), 15.5);
        EXPECT_THAT(bench.unit().acceptedKeys(), ElementsAre(3));
        EXPECT_FALSE(bench.autoScan.busy());
    }
    {
        // A target beyond the tube top: the piston stops at 20 mm and the
        // move ends once it has stood for the packet wait.
        AutoBench bench(autoUnit());
        bench.reader->link()->SetTargetPosition(30.0);
        double reachedMs = -1.0;
        bench.display.onShow = [&](double mm) {
            if (mm >= 20.0 && reachedMs < 0.0) {
                reachedMs = static_cast<double>(bench.clock.nowMs());
            }
        };
        EXPECT_TRUE(bench.autoScan.MoveToTargetPosition(*bench.reader));
        EXPECT_NEAR(bench.display.shown.back(), 20.0, 0.01);
        ASSERT_GE(reachedMs, 0.0);
        EXPECT_GE(static_cast<double>(bench.clock.nowMs()) - reachedMs, AutoScan::kPacketWaitMs);
        EXPECT_LT(static_cast<double>(bench.clock.nowMs()) - reachedMs, AutoScan::kPacketWaitMs + 500);
    }
}

TEST(MoveToTargetPosition, EndsAfterThreeSecondsWithoutAPacket) {
    // The key is echoed, but no running packet ever comes.
    ManualClock clock;
    ScriptedUnit unit(clock);
    SimBridgeLibrary bridge(clock);
    SimSerialPortApi ports(clock);
    bridge.addDevice(unit, "SCRIPT01", 5);
    ports.addPort(5, unit);
    TempDir folder;
    writePrefs(folder);
    ScriptedPrompter prompter;
    RecordingPoster poster;
    SampleReaderConfig config;
    config.workingFolder = folder.path();
    config.comPort = 5;
    auto reader = std::make_unique<SampleReader>(
        SampleReaderSeams{ports, bridge, clock, prompter, &poster, {}, false}, config);
    unit.setHeartbeat(UnitBeat(kModeAuto, AutoScan::kKeyTubeTop), 100);
    for (int i = 0; i < 100 && !reader->link()->lastCmd1(); ++i) {
        Cmd2 ignored;
        (void)reader->link()->ReadCmd2(ignored);
        reader->link()->ParseHeartbeat();
    }
    WatchingDisplay display;
    NoSamples samples;
    ReceiveHolds holds;
    AutoScan autoScan({clock, prompter, display, samples, holds});
    reader->link()->SetTargetPosition(10.0);

    EXPECT_TRUE(autoScan.MoveToTargetPosition(*reader));
    EXPECT_THAT(display.shown, IsEmpty());
    EXPECT_THAT(prompter.texts(), IsEmpty());
    EXPECT_THAT(KeysWritten(bridge), ElementsAre(AutoScan::kKeyTubeTop));
    reader.reset();
}

TEST(MoveToTargetPosition, AnAbortOrAKeyWithoutEchoEndsItFalse) {
    {
        AutoBench bench(autoUnit());
        bench.reader->link()->SetTargetPosition(15.0);
        bench.display.onShow = [&](double mm) {
            if (mm > 5.0) {
                bench.autoScan.requestAbort();
            }
        };
        EXPECT_FALSE(bench.autoScan.MoveToTargetPosition(*bench.reader));
        EXPECT_LT(bench.display.shown.back(), 6.0);
        EXPECT_THAT(bench.prompter.texts(), IsEmpty());
    }
    {
        // Already in auto mode: the tube-top key is the one unanswered.
        AutoBench bench(autoUnit());
        bench.unit().setFaults(SimFaults{.ignoreKeys = true});
        bench.reader->link()->SetTargetPosition(15.0);
        EXPECT_FALSE(bench.autoScan.MoveToTargetPosition(*bench.reader));
        EXPECT_THAT(bench.prompter.texts(), ElementsAre(kNoResponse, kStartFailed));
        EXPECT_THAT(bench.display.shown, IsEmpty());
    }
    {
        // From setup mode the auto key itself goes unanswered: no start message.
        auto unit = autoUnit();
        unit.powerOnMode = kModeSetup;
        AutoBench bench(unit);
        bench.unit().setFaults(SimFaults{.ignoreKeys = true});
        EXPECT_FALSE(bench.autoScan.MoveToTargetPosition(*bench.reader));
        EXPECT_THAT(bench.prompter.texts(), ElementsAre(kNoResponse));
        EXPECT_EQ(bench.unit().mode(), kModeSetup);
    }
}

}  // namespace
}  // namespace corvane::test
