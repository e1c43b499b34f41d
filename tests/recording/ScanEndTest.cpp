// The end of a scan: the unit stops the piston at the end of its scan
// distance and says nothing; the recording notices, and the run ends as
// STOP RECORD ends it when the window asks for that.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

#include "RecordingBench.h"
#include "recording/ScanEnd.h"
#include "runs/RunDataFile.h"

namespace corvane::test {
namespace {

using ::testing::Contains;

constexpr std::int64_t kLongWaitMs = 120000;

TEST(ScanEndWatch, OnlyAPistonStillAtTheEndOfTheDistanceEndsTheScanOnce) {
    ScanEndWatch watch;
    watch.start(10.0, 2.0);
    std::int64_t t = 0;
    // Moving down, then stopped short of the end (a pause) for long: no end.
    EXPECT_FALSE(watch.note(2.0, 0.0, t));  // not moved yet
    EXPECT_FALSE(watch.note(6.0, 1.0, t += 100));
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(watch.note(7.0, 0.0, t += 100));
    }
    EXPECT_DOUBLE_EQ(watch.travelledMm(), 5.0);
    // At the end, within the slack, still: the end once it has stood still
    // long enough, and only once.
    EXPECT_FALSE(watch.note(11.6, 1.0, t += 100));
    EXPECT_FALSE(watch.note(11.6, 0.0, t += 100));
    EXPECT_FALSE(watch.note(11.6, 0.0, t + ScanEndWatch::kStillMs - 1));
    EXPECT_TRUE(watch.note(11.6, 0.0, t + ScanEndWatch::kStillMs));
    EXPECT_NEAR(watch.travelledMm(), 9.6, 1e-9);
    EXPECT_FALSE(watch.note(11.6, 0.0, t + 10 * ScanEndWatch::kStillMs));

    // A moment of speed 0 on the way does not count towards standing still.
    watch.start(4.0, std::nullopt);
    EXPECT_FALSE(watch.note(1.0, 1.0, 0));  // the first position is the start
    EXPECT_FALSE(watch.note(5.0, 0.0, 100));
    EXPECT_FALSE(watch.note(5.2, 1.0, 400));
    EXPECT_FALSE(watch.note(5.2, 0.0, 700));
    EXPECT_FALSE(watch.note(5.2, 0.0, 1100));
    EXPECT_TRUE(watch.note(5.2, 0.0, 1200));

    // No distance known, or stopped: nothing ends.
    watch.start(std::nullopt, 0.0);
    EXPECT_FALSE(watch.note(0.0, 1.0, 0));
    EXPECT_FALSE(watch.note(90.0, 0.0, 100000));
    watch.start(1.0, 0.0);
    watch.stop();
    EXPECT_FALSE(watch.note(0.5, 1.0, 0));
    EXPECT_FALSE(watch.note(1.0, 0.0, 100000));
}

TEST(ScanEndWatch, TheTextsOfTheEndAndOfTheWayBack) {
    EXPECT_EQ(scanEndText(59.996), "End of the scan: the piston stopped after 60.00 mm.");
    EXPECT_EQ(pistonReturnText(45.0, -5.0), "Piston returning to the upper limit: 45.0 mm, about 9 s left");
    EXPECT_EQ(pistonReturnText(10.0, -3.0), "Piston returning to the upper limit: 10.0 mm, about 4 s left");
    EXPECT_EQ(pistonReturnText(10.0, 0.0), "");  // standing
    EXPECT_EQ(pistonReturnText(10.0, 2.0), "");  // scanning down
    EXPECT_EQ(pistonReturnText(0.0, -5.0), "");  // there
}

SimRigConfig shortScan() {
    SimRigConfig config = fastRig();
    config.kelvo.settings.uiScanDist = 800;  // 8 mm at 4 mm/s
    return config;
}

struct ScanEndRun : ::testing::Test {
    void SetUp() override {
        bench.connection.setSkipWarmup(true);
        ASSERT_TRUE(bench.connect());
        bench.controller.setScanEndAction([this](double mm) {
            travelled = mm;
            ++endings;
        });
        bench.controller.setAfterTwoChannelRun([this] { ++followed; });
    }

    RecordingBench bench{shortScan()};
    std::atomic<double> travelled{-1.0};
    std::atomic<int> endings{0};
    std::atomic<int> followed{0};
};

TEST_F(ScanEndRun, TheRunEndsWhereTheUnitStopsThePistonAndIsFollowedAsStopRecordIs) {
    // The graph shows samples before any run: they are not recorded ones.
    ASSERT_TRUE(bench.waitFor([&] { return bench.display.samples() > 20; }, kLongWaitMs));
    EXPECT_EQ(bench.controller.recordedSamples(), 0);
    EXPECT_EQ(bench.controller.recordedText(), "Recorded 0 samples");

    bench.controller.startStop();
    ASSERT_TRUE(bench.controller.isRecording());
    ASSERT_TRUE(bench.waitFor([&] { return endings.load() > 0; }, kLongWaitMs));
    EXPECT_NEAR(travelled.load(), 8.0, ScanEndWatch::kSlackMm);
    EXPECT_NEAR(bench.unit().pistonPositionMm(), 8.0, 0.05);
    EXPECT_DOUBLE_EQ(bench.unit().pistonSpeedMmPerS(), 0.0);
    // 8 mm at 4 mm/s and 20 samples a second: about 40 samples.
    EXPECT_GE(bench.controller.recordedSamples(), 35);
    EXPECT_LE(bench.controller.recordedSamples(), 60);
    // The window decides whether the run stops: it still records.
    EXPECT_TRUE(bench.controller.isRecording());

    const auto saved = bench.folder / "scan.csv";
    bench.prompter.answerYes();
    bench.prompter.scriptFile(saved.string());
    const std::int64_t atTheEnd = bench.controller.recordedSamples();
    bench.controller.finishScan();
    EXPECT_FALSE(bench.controller.isRecording());
    EXPECT_EQ(followed.load(), 1);
    // The piston's way back and the questions are not counted.
    EXPECT_LE(bench.controller.recordedSamples(), atTheEnd + 1);
    (void)bench.waitFor([] { return false; }, 1000);
    EXPECT_LE(bench.controller.recordedSamples(), atTheEnd + 1);
    EXPECT_THAT(bench.prompter.transcript(), Contains("question: Do you wish to save this run? -> Yes"));
    EXPECT_TRUE(bench.unit().atUpperLimit());
    RunDataFile file;
    ASSERT_EQ(file.read(saved), RunDataFile::ReadStatus::Ok);
    ASSERT_FALSE(file.samples().empty());
    EXPECT_NEAR(file.samples().back().positionA, 8.0, 0.5);

    // The operator was quicker: a late end finds no run and does nothing.
    bench.controller.finishScan();
    EXPECT_EQ(followed.load(), 1);
    EXPECT_EQ(endings.load(), 1);
    EXPECT_EQ(bench.prompter.unscripted(), 0);
}

TEST_F(ScanEndRun, APausedScanIsNoEndAndTheResumedOneEndsAtTheSameDistance) {
    bench.controller.startStop();
    ASSERT_TRUE(bench.waitFor([&] { return bench.unit().pistonPositionMm() > 3.0; }, kLongWaitMs));
    bench.controller.pauseResume();
    ASSERT_TRUE(bench.controller.isPaused());
    const std::int64_t recorded = bench.controller.recordedSamples();
    const double stoppedAt = bench.unit().pistonPositionMm();
    (void)bench.waitFor([] { return false; }, 3000);
    EXPECT_EQ(endings.load(), 0);
    // Paused, the graph goes on but the count does not.
    EXPECT_EQ(bench.controller.recordedSamples(), recorded);
    EXPECT_NEAR(bench.unit().pistonPositionMm(), stoppedAt, 0.01);

    bench.controller.startStop();  // resumes
    ASSERT_FALSE(bench.controller.isPaused());
    ASSERT_TRUE(bench.waitFor([&] { return endings.load() > 0; }, kLongWaitMs));
    EXPECT_NEAR(travelled.load(), 8.0, ScanEndWatch::kSlackMm);
    bench.prompter.answerNo();
    bench.controller.finishScan();
    EXPECT_FALSE(bench.controller.isRecording());
    EXPECT_EQ(followed.load(), 1);
}

}  // namespace
}  // namespace corvane::test
