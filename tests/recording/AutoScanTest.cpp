// The meniscus search and the auto scan, against a unit that sends exactly
// the running packets a test scripts, and against the simulated unit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "LinkTestSupport.h"
#include "RecordingBench.h"
#include "recording/AutoScan.h"
#include "recording/SampleReader.h"
#include "runs/RunDataFile.h"
#include "sim/SimProfile.h"
#include "sim/SimSerialPortApi.h"

namespace corvane::test {
namespace {

using ::testing::ElementsAre;

class CountingHandler : public SampleHandler {
public:
    void onSample(const SampleRecord&) override { ++samples; }
    int samples = 0;
};

// An acquisition object on a unit in auto mode whose running packets the
// test writes, single-threaded on a clock that moves by itself.
struct ScriptedAutoUnit {
    ScriptedAutoUnit() : unit(clock), bridge(clock), ports(clock) {
        bridge.addDevice(unit, "SCRIPT01", 5);
        ports.addPort(5, unit);
        writePrefs(folder);
        SampleReaderConfig config;
        config.workingFolder = folder.path();
        config.comPort = 5;
        reader = std::make_unique<SampleReader>(
            SampleReaderSeams{ports, bridge, clock, prompter, &poster, {}, false}, config);
        unit.inject(EncodeCmd1(UnitBeat(kModeAuto)));
        for (int i = 0; i < 10 && !reader->link()->lastCmd1(); ++i) {
            Cmd2 ignored;
            (void)reader->link()->ReadCmd2(ignored);
            reader->link()->ParseHeartbeat();
        }
        autoScan.setSelected(true);
    }
    ~ScriptedAutoUnit() { reader.reset(); }

    // One running packet: channel A or B, its sample reading, the piston at mm.
    void send(bool channelA, std::uint32_t sample, double mm) {
        unit.inject(EncodeCmd2(Cmd2{sample, 10000, channelA ? kCmd2ChannelA : std::uint8_t{2},
                                    static_cast<std::uint16_t>(mm * 100.0 + 0.5), 10, 0}));
    }

    ManualClock clock;
    ScriptedUnit unit;
    SimBridgeLibrary bridge;
    SimSerialPortApi ports;
    TempDir folder;
    ScriptedPrompter prompter;
    RecordingPoster poster;
    ShownDisplay display;
    CountingHandler handler;
    ReceiveHolds holds;
    std::unique_ptr<SampleReader> reader;
    AutoScan autoScan{{clock, prompter, display, handler, holds}};
};

TEST(MeniscusSearch, DropOfOneCountBelowTheThresholdOnChannelAIsTheMeniscus) {
    ScriptedAutoUnit bench;
    ASSERT_TRUE(bench.reader->link()->InAutoMode(0));
    // Baseline: channel B packets do not count; the fifth A packet's reading
    // is the one the search starts from. Were B counted, the A readings of
    // 5000 would be searched against 10000 and taken for the meniscus.
    bench.send(true, 10000, 20.00);
    for (int i = 0; i < 4; ++i) {
        bench.send(false, 100, 20.01 + i * 0.01);
    }
    for (int i = 0; i < 4; ++i) {
        bench.send(true, 5000, 20.10 + i * 0.10);
    }
    // The search: exactly 0.96 of the reading before is no meniscus, a B
    // packet far below is none either, one count under 0.96 is. (Without
    // the first B packet's source reading the reader would hand no record
    // on for the 4800.)
    bench.send(false, 10000, 20.95);
    bench.send(true, 4800, 21.00);
    bench.send(false, 10, 21.05);
    bench.send(true, 4607, 21.10);
    bench.send(true, 100, 21.20);

    int refreshes = 0;
    ASSERT_TRUE(bench.autoScan.FindMeniscus(bench.reader.get(), [&] { ++refreshes; }));
    EXPECT_EQ(refreshes, 1);
    EXPECT_DOUBLE_EQ(bench.reader->link()->GetPositionOffset(), 21.10);
    EXPECT_TRUE(bench.autoScan.meniscusSearched());
    EXPECT_FALSE(bench.autoScan.busy());
    EXPECT_FALSE(bench.holds.held());
    EXPECT_EQ(bench.handler.samples, 3);
    EXPECT_TRUE(bench.prompter.texts().empty());
}

TEST(MeniscusSearch, FailuresSayWhatWasMissingAndLeaveThePositionAlone) {
    {
        ScriptedAutoUnit bench;
        bench.send(true, 10000, 20.0);
        bench.send(false, 10000, 20.0);
        bench.send(true, 10000, 20.1);
        bench.reader->link()->SetPositionOffset(3.0);
        EXPECT_FALSE(bench.autoScan.FindMeniscus(bench.reader.get(), {}));
        EXPECT_THAT(bench.prompter.texts(),
                    ElementsAre("Only got 2 scanning data packets. You may need to restart the Kelvo."));
        EXPECT_EQ(bench.reader->link()->GetPositionOffset(), 0.0);
    }
    {
        ScriptedAutoUnit bench;
        EXPECT_FALSE(bench.autoScan.FindMeniscus(bench.reader.get(), {}));
        EXPECT_THAT(bench.prompter.texts(),
                    ElementsAre("Error, unable to get any scanning data packets. You may need to "
                                "restart the Kelvo."));
    }
    {
        // Five baseline packets, then a stream that never drops: 120 s.
        ScriptedAutoUnit bench;
        for (int i = 0; i < 40; ++i) {
            bench.send(true, 10000 - static_cast<std::uint32_t>(i), 20.0 + i * 0.1);
        }
        int refreshes = 0;
        EXPECT_FALSE(bench.autoScan.FindMeniscus(bench.reader.get(), [&] { ++refreshes; }));
        EXPECT_THAT(bench.prompter.texts(), ElementsAre("Error, unable to find meniscus."));
        EXPECT_EQ(refreshes, 0);
        EXPECT_EQ(bench.reader->link()->GetPositionOffset(), 0.0);
    }
    {
        // Nothing to search without auto-scan; outside auto mode, an error.
        ScriptedAutoUnit bench;
        bench.autoScan.setSelected(false);
        EXPECT_TRUE(bench.autoScan.FindMeniscus(nullptr, {}));
        EXPECT_FALSE(bench.autoScan.meniscusSearched());
        bench.autoScan.setSelected(true);
        bench.unit.inject(EncodeCmd1(UnitBeat(kModeManual)));
        Cmd2 ignored;
        (void)bench.reader->link()->ReadCmd2(ignored);
        bench.reader->link()->ParseHeartbeat();
        EXPECT_FALSE(bench.autoScan.FindMeniscus(bench.reader.get(), {}));
        EXPECT_THAT(bench.prompter.texts(), ElementsAre("Error, Kelvo is no longer in auto mode."));
    }
}

TEST(AutoScanRun, ScanFindsTheMeniscusAndRecordsFromIt) {
    RecordingBench bench;
    bench.connection.setSkipWarmup(true);
    ASSERT_TRUE(bench.connect());
    bench.controller.setAutoScan(true);
    bench.controller.setTargetPosition(15.0);
    // The piston goes down to the tube top (20 mm), past the target.
    ASSERT_TRUE(bench.controller.moveToTargetPosition());
    EXPECT_EQ(bench.unit().mode(), kModeAuto);
    EXPECT_GE(bench.unit().pistonPositionMm(), 15.0);

    // The unit's time moves only while the test waits, so START RECORD
    // reaches it while the needles are still in air.
    std::jthread scan([&] { EXPECT_TRUE(bench.controller.startAutoScan()); });
    ASSERT_TRUE(bench.waitFor([&] { return bench.controller.autoScan().scanRunning(); }, 30000));
    bench.controller.startStop();
    ASSERT_TRUE(bench.controller.isRecording());
    // Position zero is where channel A first read the liquid.
    const double offset = bench.session.link()->GetPositionOffset();
    EXPECT_NEAR(offset, bench.rig.config().kelvo.meniscusMm, 0.3);
    scan.join();
    EXPECT_TRUE(bench.prompter.texts().empty());

    ASSERT_TRUE(bench.waitFor([&] { return bench.unit().pistonPositionMm() > 40.0; }, 60000));
    bench.prompter.answerNo();
    bench.controller.startStop();
    const auto rows = dataRows(bench.controller.tempFile());
    ASSERT_GT(rows.size(), 50U);
    RunDataFile file;
    ASSERT_EQ(file.read(bench.controller.tempFile()), RunDataFile::ReadStatus::Ok);
    // Positions are measured from the meniscus: the tallest peak recorded
    // sits at the depth where the unit's profile has its tallest peak over
    // the span the run covered.
    const auto& samples = file.samples();
    const double first = samples.front().positionA + 1.0;
    const double last = samples.back().positionA - 1.0;
    ASSERT_LT(first, last);
    double best = 0.0;
    double at = 0.0;
    for (const auto& row : samples) {
        if (row.positionA >= first && row.positionA <= last && row.absorbanceA > best) {
            best = row.absorbanceA;
            at = row.positionA;
        }
    }
    double expectedBest = 0.0;
    double expectedAt = 0.0;
    for (double depth = first; depth <= last; depth += 0.01) {
        const double a = bench.unit().profile().absorbance(SimChannel::A, depth);
        if (a > expectedBest) {
            expectedBest = a;
            expectedAt = depth;
        }
    }
    EXPECT_NEAR(at, expectedAt, 0.4);
}

}  // namespace
}  // namespace corvane::test
