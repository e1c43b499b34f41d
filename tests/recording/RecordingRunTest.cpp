// Whole runs against the simulated unit: connection, warm-up, the piston at
// the upper limit, recording, pause, stop, the save question, the file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "RecordingBench.h"
#include "recording/SampleReader.h"
#include "runs/RunDataFile.h"
#include "runs/TempFolder.h"
#include "app/ConfigFile.h"
#include "recording/De1Source.h"
#include "runs/OverlayPlanBlock.h"

namespace corvane::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::int64_t kLongWaitMs = 120000;

// Where along the file's positions channel A's absorbance is highest within
// [from, to] mm.
double peakPosition(const std::vector<SampleRecord>& rows, double from, double to) {
    double best = -1e9;
    double at = std::nan("");
    for (const auto& row : rows) {
        if (row.positionA >= from && row.positionA <= to && row.absorbanceA > best) {
            best = row.absorbanceA;
            at = row.positionA;
        }
    }
    return at;
}

TEST(RecordingRun, WholeTwoChannelRunIsSavedWithTheProfileWhereTheUnitHasIt) {
    RecordingBench bench;
    ASSERT_TRUE(bench.connect());

    // The connection window's lines: the countdown only counts down, and
    // the piston comes up from where the unit left it.
    const auto lines = bench.connection.messages();
    std::vector<int> countdown;
    for (const auto& line : lines) {
        int left = 0;
        if (std::sscanf(line.c_str(), "Warming up, time remaining = %d seconds, press any key to skip",
                        &left) == 1) {
            countdown.push_back(left);
        }
    }
    ASSERT_GE(countdown.size(), 5U);
    EXPECT_TRUE(std::is_sorted(countdown.rbegin(), countdown.rend()));
    EXPECT_EQ(std::adjacent_find(countdown.begin(), countdown.end()), countdown.end());
    EXPECT_LE(countdown.front(), 15);
    EXPECT_GE(countdown.back(), 1);
    const auto after = std::find(lines.begin(), lines.end(), "Warmup sequence completed.");
    ASSERT_NE(after, lines.end());
    EXPECT_THAT(std::vector<std::string>(after, lines.end()),
                ElementsAre("Warmup sequence completed.", "Moving piston to upper limit switch...",
                            "Piston positioned to upper limit."));
    EXPECT_TRUE(bench.unit().atUpperLimit());
    EXPECT_EQ(bench.controller.recordCaption(), "START RECORD (F1)");

    bench.controller.startStop();
    ASSERT_TRUE(bench.controller.isRecording());
    EXPECT_EQ(bench.controller.recordCaption(), "STOP RECORD (F1)");
    EXPECT_EQ(bench.unit().mode(), kModeManual);
    const auto tempFile = bench.controller.tempFile();
    EXPECT_EQ(tempFile.parent_path(), bench.folder / "TEMP");
    EXPECT_TRUE(tempFile.filename().string().starts_with("temp__"));

    // Paused after the top peak: the piston stops; F1 resumes the same run.
    ASSERT_TRUE(bench.waitFor([&] { return bench.unit().pistonPositionMm() > 33.0; }, kLongWaitMs));
    bench.controller.pauseResume();
    EXPECT_EQ(bench.controller.pauseCaption(), "Resume (F3)");
    EXPECT_TRUE(bench.controller.isPaused());
    EXPECT_EQ(bench.unit().mode(), kModeSetup);
    bench.controller.startStop();
    EXPECT_EQ(bench.controller.pauseCaption(), "Pause (F3)");
    EXPECT_FALSE(bench.controller.isPaused());
    EXPECT_EQ(bench.controller.tempFile(), tempFile);
    EXPECT_EQ(bench.tempRuns().size(), 1U);

    ASSERT_TRUE(bench.waitFor([&] { return bench.unit().pistonPositionMm() > 60.0; }, kLongWaitMs));
    EXPECT_GT(bench.display.samples(), 100);
    const auto saved = bench.folder / "runs" / "profile.csv";
    std::filesystem::create_directories(saved.parent_path());
    bench.prompter.answerYes();
    bench.prompter.scriptFile(saved.string());
    bench.controller.startStop();

    EXPECT_FALSE(bench.controller.isRecording());
    EXPECT_EQ(bench.controller.recordCaption(), "START RECORD (F1)");
    EXPECT_EQ(bench.controller.pauseCaption(), "PAUSE (F3)");
    EXPECT_TRUE(bench.unit().atUpperLimit());
    EXPECT_THAT(bench.prompter.transcript(), Contains("question: Do you wish to save this run? -> Yes"));
    ASSERT_EQ(bench.prompter.fileRequests().size(), 1U);
    EXPECT_EQ(bench.prompter.fileRequests()[0].filter,
              "CSV Text Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
    EXPECT_EQ(bench.prompter.fileRequests()[0].defaultExtension, "csv");
    EXPECT_EQ(bench.controller.savedFile(), saved);
    EXPECT_TRUE(bench.tempRuns().empty());
    EXPECT_EQ(bench.prompter.unscripted(), 0);
    EXPECT_EQ(bench.controller.lastDataFolder(), saved.parent_path().string());
    EXPECT_THAT(readFile(bench.folder / "prefs.cfg"),
                HasSubstr("lastdatafolder " + saved.parent_path().string()));

    RunDataFile file;
    ASSERT_EQ(file.read(saved), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(file.layout(), RunFileLayout::TwoChannel);
    EXPECT_EQ(file.header().fileTitle, "profile.csv");
    const auto& rows = file.samples();
    ASSERT_GT(rows.size(), 200U);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_GT(rows[i].positionA, rows[i - 1].positionA) << "row " << i;
        ASSERT_GT(rows[i].positionB, rows[i - 1].positionB) << "row " << i;
    }
    // The peaks lie where the unit's gradient has them: the meniscus depth
    // plus each peak's depth below it.
    const double meniscus = bench.rig.config().kelvo.meniscusMm;
    for (const auto& peak : bench.unit().profile().peaks()) {
        const double expected = meniscus + peak.depthMm;
        if (expected > 58.0) {
            continue;
        }
        EXPECT_NEAR(peakPosition(rows, expected - 2.0, expected + 2.0), expected, 0.3) << peak.name;
    }
}

TEST(RecordingRun, ARunNotSavedStaysInTempAndRescuesWhole) {
    RecordingBench bench;
    bench.connection.setSkipWarmup(true);
    ASSERT_TRUE(bench.connect());

    // Declined: the file stays in TEMP, cleaned.
    bench.controller.setRunName("spin1");
    bench.controller.startStop();
    ASSERT_TRUE(bench.waitFor([&] { return bench.unit().pistonPositionMm() > 30.0; }, kLongWaitMs));
    bench.prompter.answerNo();
    bench.controller.startStop();
    EXPECT_EQ(bench.prompter.fileRequests().size(), 0U);
    const auto kept = bench.controller.tempFile();
    EXPECT_TRUE(kept.filename().string().starts_with("temp_spin1_"));
    EXPECT_THAT(bench.tempRuns(), ElementsAre(kept));
    EXPECT_FALSE(bench.controller.savedFile());

    // Cancelled save dialog: kept too, beside the first.
    bench.controller.startStop();
    ASSERT_TRUE(bench.waitFor([&] { return bench.unit().pistonPositionMm() > 30.0; }, kLongWaitMs));
    bench.prompter.answerYes();
    bench.prompter.scriptFile(std::nullopt);
    bench.controller.startStop();
    EXPECT_EQ(bench.tempRuns().size(), 2U);
    EXPECT_NE(bench.controller.tempFile(), kept);

    // The rescue saves the first one whole.
    const auto rows = dataRows(kept);
    ASSERT_GT(rows.size(), 20U);
    TempFolder temp({bench.folder.path(), bench.folder / "TEMP"}, bench.prompter);
    bench.prompter.scriptFile((bench.folder / "rescued.csv").string());
    ASSERT_TRUE(temp.saveCopy(kept, "Choose new filename for lost data", true));
    EXPECT_EQ(dataRows(bench.folder / "rescued.csv"), rows);
    EXPECT_EQ(bench.prompter.unscripted(), 0);
}

}  // namespace
}  // namespace corvane::test

namespace corvane::test {
namespace {

TEST(RecordingRun, De1RunNumbersItsFractionsAndClosesWithAnEventRow) {
    // Only a DE-1 box, on COM 4; the configured port is the unit's COM 3.
    SimRigConfig config;
    config.withKelvo = false;
    config.withDe1 = true;
    RecordingBench bench(config);
    ASSERT_TRUE(bench.connect(3));
    EXPECT_EQ(bench.session.comPort(), 4);
    EXPECT_EQ(ConfigFile(bench.folder / "prefs.cfg").getInt("[prefs]", "comport"), 4);
    ASSERT_TRUE(bench.session.de1Source());
    for (const auto& line : bench.connection.messages()) {
        EXPECT_FALSE(line.starts_with("Warming up")) << line;
    }

    Em1RunWriter::Setup setup;
    setup.settings.autosendEventMarks = true;
    setup.settings.signalType = Em1Settings::kEventTriggered;
    setup.settings.delayType = Em1Settings::kNoDelay;
    setup.settings.speed = 0.5;
    setup.settings.fractionDistance = 1.0;
    setup.settings.numberOfFractions = 4;
    setup.settings.totalDistance = 4.0;
    setup.tubingLength = 100.0;
    bench.controller.setDe1Setup(setup);
    bench.controller.startStop();
    ASSERT_TRUE(bench.controller.isRecording());
    De1Source& source = *bench.session.reader()->de1Source();
    ASSERT_TRUE(bench.waitFor([&] { return source.FractionsComplete(); }, 120000));
    bench.clock.sleepMs(1500);

    const auto saved = bench.folder / "de1.csv";
    bench.prompter.answerYes();
    bench.prompter.scriptFile(saved.string());
    bench.controller.startStop();
    EXPECT_THAT(bench.prompter.transcript(),
                ElementsAre("message: Open the air needle valve and press the AIR key on the "
                            "keyboard to recover gradient in the tubing.",
                            "question: Do you wish to save this run? -> Yes",
                            "save:  -> " + saved.string()));
    EXPECT_FALSE(source.RunActive());
    ASSERT_EQ(bench.display.de1Spans().size(), 1U);

    RunDataFile file;
    ASSERT_EQ(file.read(saved), RunDataFile::ReadStatus::Ok);
    ASSERT_EQ(file.layout(), RunFileLayout::Em1);
    ASSERT_TRUE(file.header().em1);
    EXPECT_EQ(file.header().em1->settings.numberOfFractions, 4);
    const auto& rows = file.em1Samples();
    ASSERT_GT(rows.size(), 50U);
    std::vector<int> fractions;
    for (const auto& row : rows) {
        if (row.fraction > 0) {
            fractions.push_back(row.fraction);
        }
    }
    // The collector's marks and the fractions sent, numbered from 1 on, and
    // the run's closing row.
    ASSERT_GE(fractions.size(), 5U);
    for (std::size_t i = 0; i < fractions.size(); ++i) {
        EXPECT_EQ(fractions[i], static_cast<int>(i) + 1);
    }
    EXPECT_TRUE(rows.back().eventMark);
    EXPECT_NEAR(bench.display.de1Spans()[0], rows.back().distance - file.header().em1->deadVolumeDistance,
                0.5);
}

// Only a DE-1 box, connected; an event-triggered run without automatic
// marks, so the run ends with a closing row.
struct De1Bench : RecordingBench {
    De1Bench() : RecordingBench(rig()) {}
    static SimRigConfig rig() {
        SimRigConfig config;
        config.withKelvo = false;
        config.withDe1 = true;
        return config;
    }
    // Starts the run and waits until it has some rows.
    bool startRun() {
        if (!connect(3)) {
            return false;
        }
        Em1RunWriter::Setup setup;
        setup.settings.signalType = Em1Settings::kEventTriggered;
        setup.settings.speed = 0.5;
        controller.setDe1Setup(setup);
        controller.startStop();
        return controller.isRecording() && waitForRecords(25);
    }
    // Waits until n more records have come in.
    bool waitForRecords(int n) {
        const int from = display.samples();
        return waitFor([&] { return display.samples() >= from + n; }, 10000);
    }
};

TEST(RecordingRun, ADe1RunByAStandardRunsPlanIsCheckedFirstThenCutByItsZones) {
    De1Bench bench;
    ASSERT_TRUE(bench.connect(3));
    De1Source& source = *bench.session.reader()->de1Source();
    Em1RunWriter::Setup setup;
    setup.settings.autosendEventMarks = true;
    setup.settings.signalType = Em1Settings::kEventTriggered;
    setup.settings.speed = 0.5;
    setup.settings.fractionDistance = 5.0;
    setup.settings.numberOfFractions = 9;
    bench.controller.setDe1Setup(setup);
    const auto tempRuns = [&] {
        std::error_code error;
        const auto dir = bench.folder / "TEMP";
        return std::filesystem::exists(dir, error)
                   ? std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator())
                   : 0;
    };
    const auto before = tempRuns();

    // Refused runs say so once and leave nothing behind: no file, no run on the box.
    const auto refused = [&](const char* why) {
        bench.prompter.clear();
        bench.controller.startStop();
        EXPECT_FALSE(bench.controller.isRecording()) << why;
        EXPECT_FALSE(source.RunActive()) << why;
        EXPECT_EQ(bench.controller.recordCaption(), RecordingController::kStartCaption) << why;
        EXPECT_EQ(tempRuns(), before) << why;
        return bench.prompter.transcript();
    };
    bench.controller.setStandardRunPlan(StandardRunPlan{OverlayPlan{}, 0.1});
    EXPECT_THAT(refused("no zones"), ElementsAre("message: Error, no overlay plan available."));
    // 2 mm a fraction at 0.1 ml/mm: 0.20 ml into a 0.15 ml vessel.
    const OverlayPlan plan{{{0.0, 2.0, 1}, {2.0, 3.0, 2}}, 0};
    bench.controller.setStandardRunPlan(StandardRunPlan{plan, 0.1});
    bench.controller.setCollectionLimit(0.15);
    EXPECT_THAT(refused("overflow"),
                ElementsAre("message: The collection limit of 0.15 ml was exceeded in the following zones:\n"
                            "Zone 1 requires 0.20 ml per fraction.\n"));

    // Auto + manual fractionation: the vessel is changed automatically, so
    // the same plan is not refused, and the run's plan says autofrac 1.
    bench.controller.setFractionationKind(1);
    bench.prompter.clear();
    bench.controller.startStop();
    ASSERT_TRUE(bench.controller.isRecording());
    EXPECT_TRUE(bench.prompter.transcript().empty());
    const auto automatic = readOverlayPlanFile(bench.controller.tempFile());
    ASSERT_TRUE(automatic && automatic->found);
    EXPECT_EQ(automatic->plan.autofrac, 1);
    bench.prompter.answerNo();
    bench.controller.startStop();
    ASSERT_FALSE(bench.controller.isRecording());
    bench.controller.setFractionationKind(0);

    // A vessel it fits: the run starts, its header carries the plan and the
    // marks follow the zones (3 of them, not the settings' 9).
    bench.controller.setCollectionLimit(0.2);
    bench.prompter.clear();
    bench.controller.startStop();
    ASSERT_TRUE(bench.controller.isRecording());
    EXPECT_TRUE(bench.prompter.transcript().empty());
    const auto written = readOverlayPlanFile(bench.controller.tempFile());
    ASSERT_TRUE(written && written->found);
    EXPECT_EQ(written->plan, plan);
    RunDataFile header;
    ASSERT_EQ(header.readHeader(bench.controller.tempFile()), RunDataFile::ReadStatus::Ok);
    ASSERT_TRUE(header.header().em1);
    EXPECT_EQ(header.header().em1->settings.numberOfFractions, 3);
    EXPECT_DOUBLE_EQ(header.header().em1->settings.totalDistance, 3.0);
    ASSERT_TRUE(bench.waitFor([&] { return source.FractionsComplete(); }, kLongWaitMs));
    EXPECT_EQ(source.MarksSent(), 3);
    bench.prompter.answerNo();
    bench.controller.startStop();
    EXPECT_FALSE(bench.controller.isRecording());
}

TEST(RecordingRun, NoDe1RowFollowsTheClosingRowWhileTheSampleLockIsBusy) {
    De1Bench bench;
    ASSERT_TRUE(bench.startRun());
    // Another thread holds the sample lock over the stop, as a key press or
    // a sampling turn may, so a pause could not be had within its limit.
    SampleLock& lock = bench.session.reader()->sampleLock();
    std::atomic<bool> holding{false};
    std::atomic<bool> release{false};
    std::jthread holder([&] {
        lock.lock();
        holding = true;
        while (!release) {
            bench.clock.sleepMs(5);
        }
        lock.unlock();
    });
    // Waiting in the clock: a thread spinning here would hold time still,
    // and with it the sampling turn that may have the lock.
    while (!holding) {
        bench.clock.sleepMs(1);
    }
    // Sampling goes on while the save question waits for its answer.
    bench.prompter.beforeAnswering([&](const std::string&) {
        release = true;
        EXPECT_TRUE(bench.waitForRecords(10));
    });
    bench.prompter.answerNo();
    bench.controller.startStop();
    holder.join();

    RunDataFile file;
    ASSERT_EQ(file.read(bench.controller.tempFile()), RunDataFile::ReadStatus::Ok);
    const auto& rows = file.em1Samples();
    ASSERT_GT(rows.size(), 20U);
    EXPECT_TRUE(rows.back().eventMark) << "the closing row comes last";
    EXPECT_FALSE(rows[rows.size() - 2].eventMark);
    EXPECT_EQ(rows.back().distance, rows[rows.size() - 2].distance)
        << "at the distance of the run's last row";
}

// From here on every write of this process to `file` fails as on a full
// disk: its open descriptor is pointed at /dev/full.
bool FillTheDiskUnder(const std::filesystem::path& file) {
    const auto target = std::filesystem::canonical(file);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) != target) {
            continue;
        }
        const int fd = std::stoi(entry.path().filename().string());
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        const bool moved = full >= 0 && ::dup2(full, fd) == fd;
        if (full >= 0) {
            ::close(full);
        }
        return moved;
    }
    return false;
}

TEST(RecordingRun, ADe1RunWhoseEndCannotBeWrittenIsToldAndStaysInTempAsRecorded) {
    De1Bench bench;
    ASSERT_TRUE(bench.startRun());
    const auto temp = bench.controller.tempFile();
    ASSERT_TRUE(FillTheDiskUnder(temp));
    // Rows that no longer reach the file; after them nothing more can.
    ASSERT_TRUE(bench.waitForRecords(5));
    const auto recorded = readFile(temp);
    ASSERT_GT(dataRowsOf(recorded).size(), 20U);

    bench.controller.startStop();
    EXPECT_THAT(bench.prompter.transcript(),
                ElementsAre("message: Open the air needle valve and press the AIR key on the "
                            "keyboard to recover gradient in the tubing.",
                            "message: Error, the end of this run could not be written to " +
                                temp.string() +
                                " (the disk may be full or the file gone). The run stays in TEMP "
                                "as it was recorded; rescue it from there."));
    EXPECT_FALSE(bench.controller.isRecording());
    EXPECT_FALSE(bench.controller.savedFile());
    EXPECT_THAT(bench.tempRuns(), ElementsAre(temp));
    EXPECT_EQ(readFile(temp), recorded) << "neither cleaned nor replaced";
}

TEST(RecordingRun, ADe1RunTellsHowFarItsMarksLieAheadOfItsTrace) {
    De1Bench bench;
    ASSERT_TRUE(bench.connect(3));
    Em1RunWriter::Setup setup;
    setup.settings.signalType = Em1Settings::kEventTriggered;
    setup.settings.speed = 0.5;
    setup.settings.deadVolume = 0.286;  // 2 mm of the default tube's 0.143 ml/mm
    bench.controller.setDe1Setup(setup);
    bench.controller.startStop();
    ASSERT_TRUE(bench.controller.isRecording());
    EXPECT_NEAR(bench.controller.runStartOffsetMm(), 2.0, 1e-9);
    bench.prompter.answerNo();
    bench.controller.startStop();
    ASSERT_FALSE(bench.controller.isRecording());
    // Still the run on show until the next one starts.
    EXPECT_NEAR(bench.controller.runStartOffsetMm(), 2.0, 1e-9);
}

// No rotor in the run description: the standard run's own tube, the one its
// plan is checked with, also gives the run's dead-volume distance and the
// file's figures, not the default tube's.
TEST(RecordingRun, ADe1RunWithoutARotorMeasuresWithTheStandardRunsTube) {
    De1Bench bench;
    ASSERT_TRUE(bench.connect(3));
    Em1RunWriter::Setup setup;
    setup.settings.signalType = Em1Settings::kEventTriggered;
    setup.settings.speed = 0.5;
    setup.settings.deadVolume = 0.3;  // 1.5 mm at 0.2 ml/mm, 2.10 mm at the default 0.143
    bench.controller.setDe1Setup(setup);
    bench.controller.setStandardRunPlan(StandardRunPlan{OverlayPlan{{{0.0, 4.0, 2}}, 0}, 0.2});
    bench.controller.startStop();
    ASSERT_TRUE(bench.controller.isRecording());
    EXPECT_NEAR(bench.controller.runStartOffsetMm(), 1.5, 1e-9);
    RunDataFile header;
    ASSERT_EQ(header.readHeader(bench.controller.tempFile()), RunDataFile::ReadStatus::Ok);
    ASSERT_TRUE(header.header().em1);
    EXPECT_DOUBLE_EQ(header.header().em1->deadVolumeDistance, 1.5);
    bench.prompter.answerNo();
    bench.controller.startStop();
}

}  // namespace
}  // namespace corvane::test
