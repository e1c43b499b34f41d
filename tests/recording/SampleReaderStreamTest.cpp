// The acquisition stream against streaming units: the plain port's text lines
// (scripted, simulated in process, and through the kernel on a pty served by
// corvane-sim), and a manual-mode scan of the simulated unit over the link.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "ChildProcess.h"
#include "ReaderTestSupport.h"
#include "link/PosixSerialPortApi.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using std::chrono::milliseconds;

class TextReader : public ::testing::Test, public test::ScriptedBench {
protected:
    void SetUp() override {
        open(config(false));
        ASSERT_TRUE(reader->plainPortOpen());
        ASSERT_EQ(reader->link(), nullptr);
    }
    // Calls until a record comes (or `calls` run out); the codes other than
    // "no complete line yet", in order.
    std::vector<int> codesUntilRecord(int calls = 100) {
        std::vector<int> codes;
        for (int i = 0; i < calls; ++i) {
            const int code = reader->GetSample(record);
            if (code != SampleReader::kNoLine) {
                codes.push_back(code);
            }
            if (code == SampleReader::kOk) {
                break;
            }
        }
        return codes;
    }
};

TEST_F(TextReader, FiveIntegersMakeARecordAtTheGivenPosition) {
    send("1000,100,500,500,1234\r\n");
    EXPECT_THAT(codesUntilRecord(), ElementsAre(SampleReader::kOk));
    EXPECT_EQ(record.sampleA, 1000u);
    EXPECT_EQ(record.sampleB, 100u);
    EXPECT_EQ(record.sourceA, 500u);
    EXPECT_EQ(record.sourceB, 500u);
    EXPECT_DOUBLE_EQ(record.absorbanceA, 0.0);
    EXPECT_DOUBLE_EQ(record.absorbanceB, 1.0);
    EXPECT_DOUBLE_EQ(record.positionA, 12.34);
    EXPECT_DOUBLE_EQ(record.positionB, 12.34);
    EXPECT_DOUBLE_EQ(record.ratio, 0.0) << "its own ratio: no neighbour is waited for";

    send("\n\r10,1000,500,500,-50\n");
    EXPECT_THAT(codesUntilRecord(), ElementsAre(SampleReader::kOk));
    EXPECT_DOUBLE_EQ(record.positionA, -0.5);
    EXPECT_TRUE(std::isnan(record.ratio)) << "absorbance B of 0";
}

TEST_F(TextReader, OverlongAndMalformedLinesAreDroppedAndTheNextLineIsRead) {
    send(std::string(300, 'x') + "\n1,2,3,4\n1,2,3,4,5,6\n10,20,30,40,50\n");
    // 256 characters go at once; the other 44 end as a line of their own.
    EXPECT_THAT(codesUntilRecord(),
                ElementsAre(SampleReader::kLineTooLong, SampleReader::kNotASample,
                            SampleReader::kNotASample, SampleReader::kNotASample,
                            SampleReader::kOk));
    EXPECT_EQ(record.sampleA, 10u);
    EXPECT_EQ(record.sourceB, 40u);
    EXPECT_DOUBLE_EQ(record.positionB, 0.5);
}

TEST_F(TextReader, AStreamOfBareLineEndsNeverFillsTheRing) {
    for (int round = 0; round < 3; ++round) {
        send(std::string(3000, '\r'));
        for (int i = 0; i < 200; ++i) {
            ASSERT_EQ(reader->GetSample(record), SampleReader::kNoLine);
        }
    }
    send("1,2,3,4,5\r\n");
    EXPECT_THAT(codesUntilRecord(), ElementsAre(SampleReader::kOk));
}

TEST_F(TextReader, RowsAreWrittenWhileRecording) {
    const auto run = folder / "TEMP" / "text.csv";
    ASSERT_TRUE(writer->OpenRunFile(run, {}));
    send("1000,100,500,500,1234\r\n");
    ASSERT_THAT(codesUntilRecord(), ElementsAre(SampleReader::kOk));
    EXPECT_THAT(test::DataRows(run),
                ElementsAre("1000, 500, 100, 500, 12.34, 0.000000, 12.34, 1.000000, 12.34, 0.000000"));
}

TEST_F(TextReader, AReadErrorIsToldWithItsCodeWithoutBlocking) {
    ports.setReadFails(5, true);
    EXPECT_EQ(reader->GetSample(record), SampleReader::kNoPacket);
    EXPECT_THAT(prompter.transcript(), ElementsAre("notify: Error: 30 trying to read serial data."));
}

// A simulated unit in text-line mode, scanning down from power-on.
struct TextUnitBench {
    TextUnitBench() : rig(clock, textConfig()) {}
    static SimRigConfig textConfig() {
        SimRigConfig config;
        config.kelvo.textLineMode = true;
        return config;
    }
    ~TextUnitBench() { reader.reset(); }

    test::ManualClock clock;
    SimRig rig;
    test::TempDir folder;
    test::ScriptedPrompter prompter;
    std::unique_ptr<SampleReader> reader;
};

TEST(TextUnit, AnswersThePingAndStreamsAScanAfterADrain) {
    TextUnitBench bench;
    SampleReaderConfig config;
    config.workingFolder = bench.folder.path();
    config.comPort = 3;
    config.useLink = false;
    bench.reader = std::make_unique<SampleReader>(
        SampleReaderSeams{bench.rig.ports(), bench.rig.bridge(), bench.clock, bench.prompter,
                          nullptr, nullptr, true},
        config);
    SampleReader& reader = *bench.reader;
    ASSERT_TRUE(reader.plainPortOpen());
    EXPECT_TRUE(reader.Ping());
    EXPECT_EQ(bench.rig.kelvo()->pingsAnswered(), 1);
    EXPECT_TRUE(reader.Drain());

    std::vector<double> positions;
    SampleRecord record;
    for (int i = 0; i < 400 && positions.size() < 20; ++i) {
        if (reader.GetSample(record) == SampleReader::kOk) {
            positions.push_back(record.positionA);
        }
    }
    ASSERT_EQ(positions.size(), 20u);
    // 1 mm/s with a line every 100 ms.
    for (std::size_t i = 2; i < positions.size(); ++i) {
        EXPECT_NEAR(positions[i] - positions[i - 1], 0.1, 0.011) << i;
    }
    EXPECT_TRUE(bench.prompter.transcript().empty());
}

TEST(TextUnit, ReadsLinesThroughTheKernelFromCorvaneSim) {
    test::TempDir folder;
    const auto ptyLink = folder / "kelvo-text";
    test::ChildProcess sim({std::string(CORVANE_BINARY_DIR) + "/src/sim/corvane-sim", "--text",
                            "--link", ptyLink.string()});
    ASSERT_TRUE(sim.started());
    ASSERT_FALSE(sim.readLine().empty());
    folder.write("prefs.cfg", "[prefs]\ncomport 7\n[ports]\ncom7 " + ptyLink.string() + "\n");

    SteadyClock clock;
    test::ScriptedPrompter prompter;
    PosixSerialPortApi ports(folder.path(), folder.path());
    SimBridgeLibrary noBridge(clock);
    SampleReaderConfig config;
    config.workingFolder = folder.path();
    config.comPort = 7;
    config.useLink = false;
    SampleReader reader({ports, noBridge, clock, prompter, nullptr, nullptr, true},
                        config);
    ASSERT_TRUE(reader.plainPortOpen());
    EXPECT_TRUE(reader.Ping());

    std::vector<SampleRecord> records;
    SampleRecord record;
    for (int i = 0; i < 300 && records.size() < 10; ++i) {
        if (reader.GetSample(record) == SampleReader::kOk) {
            records.push_back(record);
        }
    }
    ASSERT_EQ(records.size(), 10u);
    // The first line may have been cut by the drain at opening; the rest are whole.
    for (std::size_t i = 2; i < records.size(); ++i) {
        EXPECT_GT(records[i].positionA, records[i - 1].positionA) << i;
        EXPECT_GT(records[i].sourceA, 100000u);
        EXPECT_GT(records[i].sourceB, 100000u);
    }
    EXPECT_TRUE(reader.Drain());
    EXPECT_TRUE(prompter.transcript().empty());
}

// The unit as the link sees it, with its heartbeat thread, at five times the
// speed; the reader owns the link.
struct LinkedUnitBench {
    explicit LinkedUnitBench(SimRigConfig config = {}) : rig(clock, std::move(config)) {
        folder.write("prefs.cfg", "[prefs]\ncomport 3\n");
        SampleReaderConfig c;
        c.workingFolder = folder.path();
        c.comPort = 3;
        reader = std::make_unique<SampleReader>(
            SampleReaderSeams{rig.ports(), rig.bridge(), clock, prompter, &poster, nullptr, true}, c);
    }
    ~LinkedUnitBench() {
        loop.reset();
        reader.reset();
    }
    // Until n records have come in (real time, generously).
    std::vector<SampleRecord> waitForRecords(std::size_t n) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (loop->records().size() < n && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(milliseconds(20));
        }
        return loop->records();
    }
    // Factors that make the absorbance the simulated profile's.
    [[nodiscard]] bool zeroOnTheOptics() {
        const auto& optics = rig.kelvo()->config().optics;
        return reader->SetSourceFactors(optics.sampleRateA / optics.sourceRateA,
                                        optics.sampleRateB / optics.sourceRateB);
    }

    test::ScaledClock clock{5.0};
    SimRig rig;
    test::TempDir folder;
    test::ScriptedPrompter prompter;
    test::RecordingPoster poster;
    std::unique_ptr<SampleReader> reader;
    std::unique_ptr<test::ReceiveLoop> loop;
};

TEST(LinkedUnit, SourceFactorsChangeWhileTheReceiveLoopRuns) {
    SimRigConfig config;
    config.kelvo.powerOnMode = kModeSetup;
    LinkedUnitBench bench(config);
    bench.loop = std::make_unique<test::ReceiveLoop>(*bench.reader, bench.clock);
    ASSERT_GE(bench.waitForRecords(5).size(), 5u);

    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(bench.reader->SetSourceFactors(1.0 + i % 2, 1.0)) << i;
        bench.clock.sleepMs(30);
    }
    ASSERT_TRUE(bench.zeroOnTheOptics());
    bench.loop->clear();
    const auto records = bench.waitForRecords(5);
    ASSERT_GE(records.size(), 5u);
    const double expected = bench.rig.kelvo()->absorbanceAt(SimChannel::A, 35.0);
    for (const auto& r : records) {
        EXPECT_NEAR(r.positionA, 35.0, 1e-9);
        EXPECT_NEAR(r.absorbanceA, expected, 0.005);
    }
}

TEST(LinkedUnit, AManualScanGivesRisingPositionsAndTheProfilesAbsorbance) {
    LinkedUnitBench bench;
    bench.loop = std::make_unique<test::ReceiveLoop>(*bench.reader, bench.clock);
    UvLink& link = *bench.reader->link();
    ASSERT_TRUE(bench.zeroOnTheOptics());
    ASSERT_TRUE(bench.poster.waitFor(UserMsg::LinkStats, 1, std::chrono::seconds(20)));
    ASSERT_TRUE(link.EnterManualMode());
    ASSERT_TRUE(link.PressKey(4));
    bench.loop->clear();
    // About 40 mm/10 of travel: 80 readings.
    const auto records = bench.waitForRecords(80);
    ASSERT_GE(records.size(), 80u);

    SimKelvoUnit& unit = *bench.rig.kelvo();
    std::vector<double> positionsA;
    std::vector<double> positionsB;
    double worstA = 0.0;
    double worstB = 0.0;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const auto& r = records[i];
        const auto& before = records[i - 1];
        // Every reading carries noise, so a channel's fresh reading shows in
        // its sample count.
        if (r.sampleA != before.sampleA) {
            positionsA.push_back(r.positionA);
            worstA = std::max(worstA, std::abs(r.absorbanceA - unit.absorbanceAt(SimChannel::A, r.positionA)));
        }
        if (r.sampleB != before.sampleB) {
            positionsB.push_back(r.positionB);
            worstB = std::max(worstB, std::abs(r.absorbanceB - unit.absorbanceAt(SimChannel::B, r.positionB)));
        }
    }
    ASSERT_GT(positionsA.size(), 30u);
    ASSERT_GT(positionsB.size(), 30u);
    const auto strictlyRising = [](const std::vector<double>& v) {
        return std::adjacent_find(v.begin(), v.end(), std::greater_equal<>()) == v.end();
    };
    EXPECT_TRUE(strictlyRising(positionsA));
    EXPECT_TRUE(strictlyRising(positionsB));
    EXPECT_LT(worstA, 0.004);
    EXPECT_LT(worstB, 0.004);
    EXPECT_TRUE(bench.prompter.transcript().empty());
}

}  // namespace
}  // namespace corvane
