// The recording commands around the run: the TEMP limit, the zero
// calibration and its factors, and a unit that falls silent mid-run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "RecordingBench.h"
#include "app/ConfigFile.h"
#include "recording/SampleReader.h"
#include "runs/RunDataFile.h"
#include "runs/TempFolder.h"

namespace corvane::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

SampleRecord counts(std::uint32_t sampleA, std::uint32_t sourceA, std::uint32_t sampleB,
                    std::uint32_t sourceB) {
    SampleRecord record;
    record.sampleA = sampleA;
    record.sourceA = sourceA;
    record.sampleB = sampleB;
    record.sourceB = sourceB;
    return record;
}

void fillTemp(const TempDir& folder, int from, int to) {
    for (int i = from; i < to; ++i) {
        folder.write("TEMP/temp_old_" + std::to_string(i) + ".csv",
                     "Corvane Text Data File: x\nDate: 2024-01-01\nTime: 10:00:" +
                         std::to_string(10 + i) + "\n");
    }
}

TEST(RecordingCommands, TempLimitAsksAtTwentyRunsAndNoSwitchesTheLimitOffForGood) {
    RecordingBench bench;
    fillTemp(bench.folder, 0, 19);
    // No acquisition object: the start gets as far as saying so.
    bench.controller.startStop();
    EXPECT_THAT(bench.prompter.transcript(),
                ElementsAre("message: Error, no data parser object available!"));
    EXPECT_EQ(bench.controller.recordCaption(), "START RECORD (F1)");

    fillTemp(bench.folder, 19, 20);
    bench.prompter.clear();
    bench.prompter.answerNo();
    bench.controller.startStop();
    EXPECT_THAT(bench.prompter.transcript(),
                ElementsAre("question: The TEMP folder is full. Do you want to discard the oldest "
                            "runs to make room for the temporary files from this session? -> No",
                            "message: Error, no data parser object available!"));
    EXPECT_EQ(bench.tempRuns().size(), 20U);
    EXPECT_EQ(ConfigFile(bench.folder / "prefs.cfg").getInt("[prefs]", "allow_unlimited_tempfiles"), 1);

    fillTemp(bench.folder, 20, 25);
    bench.prompter.clear();
    bench.controller.startStop();
    EXPECT_THAT(bench.prompter.transcript(),
                ElementsAre("message: Error, no data parser object available!"));
    // A controller made later reads the switch and asks nothing either.
    RecordingController later({bench.folder.path(), bench.prompter, bench.folders, bench.clock, bench.display,
                               bench.session});
    EXPECT_TRUE(later.unlimitedTempFiles());
}

TEST(RecordingCommands, TempLimitYesKeepsTheNineteenNewest) {
    RecordingBench bench;
    fillTemp(bench.folder, 0, 20);
    bench.prompter.answerYes();
    bench.controller.startStop();
    ASSERT_EQ(bench.tempRuns().size(), 19U);
    EXPECT_FALSE(bench.folder.exists("TEMP/temp_old_0.csv"));
    EXPECT_TRUE(bench.folder.exists("TEMP/temp_old_1.csv"));
}

TEST(RecordingCommands, ZeroTakesTheLatestCountsAndAsksAboutFactorsOutOfRange) {
    RecordingBench bench;
    // Without an acquisition object there is nothing to zero.
    bench.controller.zero();
    EXPECT_THAT(bench.prompter.texts(), ElementsAre("No data available to save!"));
    bench.prompter.clear();

    bench.session.createSampleReader(true, 0);
    SampleReader& reader = *bench.session.reader();
    // Stored factors of 0 (and missing ones) load as 2.0.
    EXPECT_EQ(bench.controller.factors(), (std::array<double, 2>{2.0, 2.0}));
    EXPECT_EQ(reader.sourceFactors(), (std::array<double, 2>{2.0, 2.0}));

    // A zero source reading: nothing happens, nothing is said.
    bench.controller.onSample(counts(100, 0, 100, 1000));
    bench.controller.zero();
    EXPECT_TRUE(bench.prompter.texts().empty());

    // The limits themselves pass without a question.
    const int clearsBefore = bench.display.clears();
    bench.controller.onSample(counts(100, 1000, 10000, 1000));
    bench.controller.zero();
    EXPECT_THAT(bench.prompter.texts(), ElementsAre("Zero calibration completed."));
    EXPECT_EQ(reader.sourceFactors(), (std::array<double, 2>{0.1, 10.0}));
    EXPECT_GT(bench.display.clears(), clearsBefore);
    {
        const ConfigFile prefs(bench.folder / "prefs.cfg");
        EXPECT_DOUBLE_EQ(prefs.getDouble("[data]", "factor_a"), 0.1);
        EXPECT_DOUBLE_EQ(prefs.getDouble("[data]", "factor_b"), 10.0);
    }

    // Just below the range: asked about A first; No changes nothing.
    bench.prompter.clear();
    bench.controller.onSample(counts(999, 10000, 500, 1000));
    bench.prompter.answerNo();
    bench.controller.zero();
    EXPECT_THAT(bench.prompter.transcript(),
                ElementsAre("question: Factor A is 0.099900, do you wish to continue? -> No"));
    EXPECT_EQ(reader.sourceFactors(), (std::array<double, 2>{0.1, 10.0}));

    // Yes to A, then B out of range is asked about as well.
    bench.prompter.clear();
    bench.controller.onSample(counts(999, 10000, 10001, 1000));
    bench.prompter.answerYes();
    bench.prompter.answerYes();
    bench.controller.zero();
    EXPECT_THAT(bench.prompter.transcript(),
                ElementsAre("question: Factor A is 0.099900, do you wish to continue? -> Yes",
                            "question: Factor B is 10.001000, do you wish to continue? -> Yes",
                            "message: Zero calibration completed."));
    EXPECT_EQ(reader.sourceFactors(), (std::array<double, 2>{0.0999, 10.001}));

    // What was stored is what a later controller loads.
    RecordingController later({bench.folder.path(), bench.prompter, bench.folders, bench.clock, bench.display,
                               bench.session});
    EXPECT_EQ(later.factors(), (std::array<double, 2>{0.0999, 10.001}));
}

TEST(RecordingCommands, ZeroThatCannotHaveTheSampleLockSaysSoAndKeepsTheFactors) {
    RecordingBench bench;
    bench.session.createSampleReader(true, 0);
    SampleReader& reader = *bench.session.reader();
    // Held for longer than a whole key press may hold it.
    std::atomic<bool> holding{false};
    std::jthread holder([&] {
        reader.sampleLock().lock();
        holding = true;
        bench.clock.sleepMs(60000);
        reader.sampleLock().unlock();
    });
    while (!holding) {
        bench.clock.sleepMs(1);
    }
    bench.controller.onSample(counts(1000, 1000, 500, 1000));
    bench.controller.zero();
    EXPECT_THAT(bench.prompter.texts(),
                ElementsAre("Error, the new factors could not be applied while the unit was busy. "
                            "Please try again."));
    EXPECT_EQ(bench.controller.factors(), (std::array<double, 2>{2.0, 2.0}));
    EXPECT_EQ(reader.sourceFactors(), (std::array<double, 2>{2.0, 2.0}));
    EXPECT_EQ(ConfigFile(bench.folder / "prefs.cfg").getDouble("[data]", "factor_a"), 0.0)
        << "nothing stored";
}

TEST(RecordingCommands, TheScanSetupsOwnScanHoldsRunsAndPauseAndGivesThemBack) {
    RecordingBench bench;
    bench.connection.setSkipWarmup(true);
    ASSERT_TRUE(bench.connect());
    bench.controller.setScanSetupMode(true);
    EXPECT_EQ(bench.controller.pauseCaption(), "Pause (F3)");
    EXPECT_FALSE(bench.controller.pauseEnabled());
    bench.controller.startStop();
    EXPECT_FALSE(bench.controller.isRecording());
    EXPECT_EQ(bench.controller.recordCaption(), "START RECORD (F1)");
    EXPECT_THAT(bench.prompter.texts(), ElementsAre(RecordingController::kScanSetupScanning));
    bench.controller.pauseResume();
    EXPECT_FALSE(bench.controller.isPaused());

    bench.controller.setScanSetupMode(false);
    EXPECT_EQ(bench.controller.pauseCaption(), "PAUSE (F3)");
    EXPECT_TRUE(bench.controller.pauseEnabled());
    bench.controller.startStop();
    EXPECT_TRUE(bench.controller.isRecording());
    bench.controller.setScanSetupMode(true);
    bench.controller.setScanSetupMode(false);
    EXPECT_EQ(bench.controller.pauseCaption(), "Pause (F3)");  // the run goes on, not paused
    EXPECT_TRUE(bench.controller.pauseEnabled());
    bench.prompter.answerNo();
    bench.controller.startStop();
    EXPECT_FALSE(bench.controller.isRecording());
}

TEST(RecordingCommands, AZeroWithoutPrefsCfgIsToldYetCompletedAndRefreshed) {
    RecordingBench bench;
    bench.session.createSampleReader(true, 0);
    std::filesystem::remove(bench.folder / "prefs.cfg");
    const int clearsBefore = bench.display.clears();
    bench.controller.onSample(counts(500, 1000, 800, 1000));
    bench.controller.zero();
    EXPECT_THAT(bench.prompter.texts(), ElementsAre("Error, prefs.cfg file could not be found or opened.",
                                                    "Zero calibration completed."));
    EXPECT_EQ(bench.session.reader()->sourceFactors(), (std::array<double, 2>{0.5, 0.8}));
    EXPECT_GT(bench.display.clears(), clearsBefore);
    EXPECT_FALSE(bench.folder.exists("prefs.cfg"));  // never created by the store
}

TEST(RecordingCommands, FactorsNeedPrefsCfg) {
    RecordingBench bench;
    std::filesystem::remove(bench.folder / "prefs.cfg");
    EXPECT_FALSE(bench.controller.loadFactors());
    EXPECT_FALSE(bench.controller.saveFactors());
    EXPECT_THAT(bench.prompter.texts(),
                ElementsAre("Error, prefs.cfg file could not be found or opened.",
                            "Error, prefs.cfg file could not be found or opened."));
}

TEST(RecordingCommands, SilentUnitMidRunIsReportedOnceAndTheStopKeepsTheRun) {
    RecordingBench bench;
    bench.connection.setSkipWarmup(true);
    ASSERT_TRUE(bench.connect());
    // At the upper limit a quiet unit is not a lost link.
    bench.unit().setFaults(SimFaults{.silent = true});
    bench.clock.sleepMs(12000);
    EXPECT_EQ(bench.poster.count(UserMsg::LinkLost), 0);
    bench.unit().setFaults({});

    bench.controller.startStop();
    ASSERT_TRUE(bench.waitFor([&] { return bench.unit().pistonPositionMm() > 30.0; }, 60000));
    const auto tempFile = bench.controller.tempFile();
    bench.unit().setFaults(SimFaults{.silent = true});
    ASSERT_TRUE(bench.poster.waitFor(UserMsg::LinkLost, 1, std::chrono::seconds(30)));
    bench.clock.sleepMs(15000);
    EXPECT_EQ(bench.poster.count(UserMsg::LinkLost), 1);

    // The window's answer to the message: stop as the record button does.
    bench.prompter.clear();
    bench.prompter.answerNo();
    bench.controller.stopRecording();
    EXPECT_THAT(bench.prompter.transcript(),
                ElementsAre("message: The uv unit did not respond to a command... you may need to "
                            "restart it.",
                            "message: Error, unable to go to upper limit.",
                            "question: Do you wish to save this run? -> No"));
    EXPECT_EQ(bench.controller.recordCaption(), "START RECORD (F1)");
    EXPECT_THAT(bench.tempRuns(), ElementsAre(tempFile));

    const auto rows = dataRows(tempFile);
    ASSERT_GT(rows.size(), 20U);
    TempFolder temp({bench.folder.path(), bench.folder / "TEMP"}, bench.prompter);
    bench.prompter.scriptFile((bench.folder / "rescued.csv").string());
    ASSERT_TRUE(temp.saveCopy(tempFile, "Choose new filename for lost data", true));
    EXPECT_EQ(dataRows(bench.folder / "rescued.csv"), rows);
    RunDataFile rescued;
    ASSERT_EQ(rescued.read(bench.folder / "rescued.csv"), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(rescued.samples().size(), rows.size());
}

}  // namespace
}  // namespace corvane::test
