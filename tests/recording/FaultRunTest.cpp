// Whole runs on a unit with a bad line or a bad habit: what the user is told
// (each text once, nothing else), and that the run holds every row the
// recorder wrote. Every thread shares one virtual clock, so a 15 s silence
// costs no real time and the unit never streams ahead of the reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "RecordingBench.h"
#include "runs/RunDataFile.h"
#include "runs/TempFolder.h"

namespace corvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kSaveNo = "question: Do you wish to save this run? -> No";

// Connected on a clean line, recording.
struct FaultBench : RecordingBench {
    explicit FaultBench(SimRigConfig config = fastRig()) : RecordingBench(std::move(config)) {
        connection.setSkipWarmup(true);
        connected = connect();
        connecting = prompter.transcript();
        prompter.clear();
    }

    // Starts a run and lets it go on for ms of clock time.
    bool record(std::int64_t ms) {
        controller.startStop();
        if (!controller.isRecording()) {
            return false;
        }
        clock.sleepMs(ms);
        return true;
    }

    // STOP RECORD, No to the save question: the run stays in TEMP.
    void stop() {
        prompter.answerNo();
        controller.stopRecording();
    }

    [[nodiscard]] LinkTraffic traffic() { return session.link()->traffic(); }

    bool connected = false;
    // What the user was shown while the connection was made.
    std::vector<std::string> connecting;
};

// The farther channel position of each complete row of a run file.
std::vector<double> farPositions(const std::filesystem::path& run) {
    auto text = readFile(run);
    text.resize(text.rfind('\n') + 1);
    RunDataFile file;
    std::vector<double> positions;
    if (file.parse(text) == RunDataFile::ReadStatus::Ok) {
        for (const auto& sample : file.samples()) {
            positions.push_back(std::max(sample.positionA, sample.positionB));
        }
    }
    return positions;
}

// How far the channels had come by the last rows written: the median of the last
// nine, so a damaged far position among them does not count.
double farthestPosition(const std::filesystem::path& run) {
    auto positions = farPositions(run);
    if (positions.empty()) {
        return -1.0;
    }
    std::vector<double> last(positions.end() - std::min<std::ptrdiff_t>(std::ssize(positions), 9),
                             positions.end());
    std::nth_element(last.begin(), last.begin() + std::ssize(last) / 2, last.end());
    return last[last.size() / 2];
}

// After the stop the run is readable whole (every row complete) and still
// reaches as far as the rows written before it (the close keeps one row per
// pair of channel readings, so rows may go, but no stretch of the run; at the
// scan's end only one channel's last row is a pair's).
void expectWhole(const std::filesystem::path& run, double farthestWritten) {
    const auto rows = dataRows(run);
    RunDataFile file;
    ASSERT_EQ(file.read(run), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(file.samples().size(), rows.size());
    EXPECT_GT(rows.size(), 25U);
    const auto kept = farPositions(run);
    ASSERT_FALSE(kept.empty());
    EXPECT_GE(*std::max_element(kept.begin(), kept.end()), farthestWritten - 0.5);
}

struct DamagedLine {
    SimFaults faults;
    double wholeShare;  // of the running packets: 0.99^16 for 1 %, 0.9^16 for 10 %
};

void expectDamagedPacketsOnly(std::initializer_list<DamagedLine> cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "corrupt " << c.faults.corruptFraction << " drop "
                                        << c.faults.dropFraction);
        FaultBench bench;
        ASSERT_TRUE(bench.connected);
        // The line is bad from before the start: the keys that start the
        // scan lose their echoes now and then, and the scan must still be
        // started once. Counted once the run goes: the start's key press
        // flushes what has come.
        bench.unit().setFaults(c.faults);
        ASSERT_TRUE(bench.record(2000));
        const auto keysAtStart = bench.unit().acceptedKeys();
        const auto before = bench.traffic();
        const auto sentBefore = bench.unit().packetsSent(SimKelvoUnit::PacketKind::Running);
        bench.clock.sleepMs(40000);
        const auto during = bench.traffic();
        const auto sent = bench.unit().packetsSent(SimKelvoUnit::PacketKind::Running);
        const auto run = bench.controller.tempFile();
        const double farthest = farthestPosition(run);
        EXPECT_EQ(std::count(keysAtStart.begin(), keysAtStart.end(), 4), 1);
        EXPECT_GT(farthest, 35.0);
        bench.unit().setFaults({});
        bench.stop();

        // A bad line is no error the user could act on mid-run: nothing is
        // shown but the save question.
        EXPECT_THAT(bench.prompter.transcript(), ElementsAre(kSaveNo));
        const auto received = during.cmd2Packets - before.cmd2Packets;
        const auto whole = sent.whole - sentBefore.whole;
        const auto damaged = (sent.sent - sentBefore.sent) - whole;
        EXPECT_NEAR(static_cast<double>(whole) / static_cast<double>(sent.sent - sentBefore.sent),
                    c.wholeShare, 0.03);
        // What came whole was read (two at most still on the way), and a
        // damaged packet passes the check byte only by chance; the loss is
        // told as what it is.
        EXPECT_GE(received + 2, whole);
        EXPECT_LE(received, whole + 2 + damaged / 50);
        EXPECT_NEAR(static_cast<double>(during.packetsLost - before.packetsLost),
                    static_cast<double>(damaged), 0.05 * static_cast<double>(damaged) + 3);
        EXPECT_EQ(during.droppedBytes, before.droppedBytes);
        expectWhole(run, farthest);
    }
}

TEST(FaultRun, DamagedBytesCostTheDamagedPacketsAndNothingIsSaid) {
    expectDamagedPacketsOnly({DamagedLine{SimFaults{.corruptFraction = 0.01}, 0.851},
                              DamagedLine{SimFaults{.dropFraction = 0.01}, 0.851}});
}

// At 10 % damaged bytes a damaged running packet now and then passes both the
// check byte and the position check with a position ahead: the close must not
// trust it.
TEST(FaultRun, TenPercentDamagedBytesStillLeaveTheRunWhole) {
    expectDamagedPacketsOnly({DamagedLine{SimFaults{.corruptFraction = 0.10}, 0.185}});
}

TEST(FaultRun, FifteenSecondsOfSilenceStopTheRunOnceAndKeepWhatCameBefore) {
    FaultBench bench;
    ASSERT_TRUE(bench.connected);
    bench.unit().setFaults(SimFaults{.silence = {.afterMs = 15000, .forMs = 15000}});
    ASSERT_TRUE(bench.record(5000));
    const auto run = bench.controller.tempFile();
    ASSERT_TRUE(bench.poster.waitFor(UserMsg::LinkLost, 1, std::chrono::seconds(60)));
    const double farthest = farthestPosition(run);
    EXPECT_GT(farthest, 20.0);
    // The unit talks again five seconds after the loss was told: no second one.
    bench.clock.sleepMs(10000);
    EXPECT_EQ(bench.poster.count(UserMsg::LinkLost), 1);

    // The window's answer: stop as the record button does. The unit answers
    // again, so the piston goes home without a word.
    bench.stop();
    EXPECT_THAT(bench.prompter.transcript(), ElementsAre(kSaveNo));
    EXPECT_TRUE(bench.unit().atUpperLimit());
    expectWhole(run, farthest);
}

TEST(FaultRun, UnpluggedForAMomentTheRunGoesOnAndLongerIsALostLink) {
    FaultBench bench;
    ASSERT_TRUE(bench.connected);
    // The cable out for 4 s, 8 s into the run.
    bench.unit().setFaults(SimFaults{.unplug = {.afterMs = 8000, .forMs = 4000}});
    ASSERT_TRUE(bench.record(7000));
    const auto run = bench.controller.tempFile();
    const double beforeUnplug = farthestPosition(run);
    bench.clock.sleepMs(9000);
    EXPECT_EQ(bench.poster.count(UserMsg::LinkLost), 0);
    EXPECT_GT(farthestPosition(run), beforeUnplug + 10.0);
    EXPECT_GT(bench.traffic().bridgeFailures, 0u);
    EXPECT_THAT(bench.prompter.transcript(), IsEmpty());

    // Out for 12 s: a lost link, told once, and the run up to it kept.
    bench.unit().setFaults(SimFaults{.unplug = {.afterMs = 0, .forMs = 12000}});
    ASSERT_TRUE(bench.poster.waitFor(UserMsg::LinkLost, 1, std::chrono::seconds(60)));
    const double farthest = farthestPosition(run);
    bench.clock.sleepMs(5000);
    EXPECT_EQ(bench.poster.count(UserMsg::LinkLost), 1);
    bench.stop();
    EXPECT_THAT(bench.prompter.transcript(), ElementsAre(kSaveNo));
    expectWhole(run, farthest);
}

TEST(FaultRun, AnotherFirmwareIsToldOnceAndTheRunGoesOn) {
    for (const std::uint8_t version : {12, 14}) {
        auto config = fastRig();
        config.kelvo.menuVersion = version;
        FaultBench bench(config);
        ASSERT_TRUE(bench.connected);
        ASSERT_TRUE(bench.record(20000));
        const auto run = bench.controller.tempFile();
        const double farthest = farthestPosition(run);
        bench.stop();
        auto shown = bench.connecting;
        const auto after = bench.prompter.transcript();
        shown.insert(shown.end(), after.begin(), after.end());
        EXPECT_THAT(shown, ElementsAre(version < kMenuVersion
                                           ? "notify: Warning: Tellmar software should be upgraded "
                                             "to match UV firmware!"
                                           : "notify: Warning: UV unit firmware should be upgraded "
                                             "to match Tellmar software!",
                                       kSaveNo));
        expectWhole(run, farthest);
    }
}

// The unit hears nothing of the keys: each command that needed one says so
// once (after its five tries), and nothing is pressed on a unit in the wrong
// mode.
TEST(FaultRun, AUnitThatTakesNoKeyIsToldOncePerCommandAndTheRunIsKept) {
    constexpr const char* kNoResponse =
        "message: The uv unit did not respond to a command... you may need to restart it.";
    {
        SCOPED_TRACE("from the start");
        FaultBench bench;
        ASSERT_TRUE(bench.connected);
        bench.unit().setFaults(SimFaults{.ignoreKeys = true});
        ASSERT_TRUE(bench.record(30000));
        // Key 4 in setup mode would be the calibration key.
        EXPECT_THAT(bench.prompter.transcript(), ElementsAre(kNoResponse));
        EXPECT_EQ(bench.unit().mode(), kModeSetup);
        // The unit's stream is recorded as it comes, the piston standing.
        EXPECT_GT(dataRows(bench.controller.tempFile()).size(), 200U);
    }
    {
        SCOPED_TRACE("from the middle of a run");
        FaultBench bench;
        ASSERT_TRUE(bench.connected);
        ASSERT_TRUE(bench.record(15000));
        bench.unit().setFaults(SimFaults{.ignoreKeys = true});
        bench.clock.sleepMs(5000);
        const auto run = bench.controller.tempFile();
        const double farthest = farthestPosition(run);
        EXPECT_GT(farthest, 20.0);
        bench.stop();
        // The stop cannot bring the piston home, and says so.
        EXPECT_THAT(bench.prompter.transcript(),
                    ElementsAre(kNoResponse, "message: Error, unable to go to upper limit.", kSaveNo));
        EXPECT_FALSE(bench.unit().atUpperLimit());
        expectWhole(run, farthest);
    }
}

}  // namespace
}  // namespace corvane::test
