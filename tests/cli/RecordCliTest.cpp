// corvane-cli record as a user runs it: in a folder of its own, on the
// simulated instrument made ten times faster, and killed or interrupted
// half-way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <tuple>
#include <utility>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "RecordingBench.h"
#include "TempDir.h"
#include "app/Clock.h"
#include "runs/RunDataFile.h"

namespace corvane::test {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;

const std::string kCli = std::string(CORVANE_BINARY_DIR) + "/src/cli/corvane-cli";

// The command line, run in folder.
std::vector<std::string> inFolder(const TempDir& folder, const std::string& arguments) {
    return {"/bin/sh", "-c", "cd '" + folder.str() + "' && exec '" + kCli + "' " + arguments};
}

// Waits (real time) until the one temporary run holds at least n rows.
std::filesystem::path waitForRows(const TempDir& folder, std::size_t n) {
    SteadyClock clock;
    for (const Deadline limit(clock, 60000); !limit.expired(); clock.sleepMs(50)) {
        const auto runs = tempRuns(folder.path());
        if (runs.size() == 1 && dataRows(runs[0]).size() >= n) {
            return runs[0];
        }
    }
    return {};
}

// The complete lines of a file (a line cut short by a kill is left out).
std::vector<std::string> completeRows(const std::filesystem::path& file) {
    auto text = readFile(file);
    text.resize(text.rfind('\n') + 1);
    return dataRowsOf(text);
}

TEST(RecordCli, RecordsASimulatedRunThatInfoReads) {
    TempDir folder;
    const auto run = runToEnd(inFolder(folder, "record --simulate --sim-speed 10 --skip-warmup "
                                               "--seconds 20 --name tube1 -o run.csv"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("this folder had no prefs.cfg; the default settings files were "
                                   "copied here"));
    EXPECT_THAT(run.err, HasSubstr("Piston positioned to upper limit."));
    EXPECT_THAT(run.err, HasSubstr("recording to " + (folder / "TEMP").string() + "/temp_tube1_"));
    // A progress line a second; on a loaded machine one may come a little late.
    EXPECT_THAT(run.err, MatchesRegex("(.|\n)*\n +5\\.[0-9] s  Recorded [0-9]+ samples  Position "
                                      "[0-9.]+ mm  Speed 1\\.00 mm/sec  Abs A [0-9.]+\n(.|\n)*"));
    // The link's account of a clean line: nothing lost. Invalid bytes there may be: the rest of
    // the running stream where the unit changes to settings packets.
    EXPECT_THAT(run.err, MatchesRegex("(.|\n)*stopping: time is up\nlink: [1-9][0-9]* packets received, "
                                      "about 0 lost to invalid bytes \\(0\\.0 %\\); [0-9]+ invalid bytes "
                                      "skipped, 0 bytes lost behind the reader, 0 failed bridge calls\n"
                                      "Do you wish to save this run\\? Yes\n(.|\n)*"));
    EXPECT_THAT(run.out, MatchesRegex("saved .*/run\\.csv: [0-9]+ samples\n"));
    EXPECT_TRUE(tempRuns(folder.path()).empty());

    const auto info = runToEnd({kCli, "info", (folder / "run.csv").string()});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr("layout: two_channel\ntitle: run.csv\n"));
    RunDataFile file;
    ASSERT_EQ(file.read(folder / "run.csv"), RunDataFile::ReadStatus::Ok);
    EXPECT_THAT(run.out, HasSubstr(": " + std::to_string(file.sampleCount()) + " samples"));
    EXPECT_GT(file.sampleCount(), 100U);
    // No description was given; the unit's rates are in the header all the same.
    ASSERT_TRUE(file.header().device.has_value());
    EXPECT_EQ(file.header().device->scanSpeed, 1.0);
    EXPECT_GT(file.header().device->sampleIntervalMs, 0);
}

TEST(RecordCli, SaysWhyNoUnitWasHeardAndExitsThreeWhenTheUnitFellSilentMidRun) {
    {
        // Garbage only, as from a wrong line speed.
        TempDir folder;
        const auto run = runToEnd(inFolder(folder, "record --simulate --sim-speed 10 --sim-faults corrupt=1 "
                                                   "--skip-warmup --seconds 5 -o run.csv"));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_THAT(run.err, MatchesRegex("(.|\n)*\nConnection failed:\n  on COM3: [1-9][0-9]* bytes came and "
                                          "none formed a heartbeat \\(a wrong line speed, or a damaged "
                                          "line\\?\\)\n(.|\n)*"));
        EXPECT_FALSE(std::filesystem::exists(folder / "run.csv"));
    }
    {
        TempDir folder;
        const auto run = runToEnd(inFolder(folder, "record --simulate --sim-speed 10 --sim-faults silence=20+40 "
                                                   "--skip-warmup --seconds 60 -o run.csv"));
        EXPECT_EQ(run.exitCode, 3) << run.err;
        EXPECT_THAT(run.err, HasSubstr("stopping: the unit has been silent for more than 10 s\nlink: "));
        EXPECT_THAT(run.out, MatchesRegex("saved .*/run\\.csv: [1-9][0-9]* samples\n"));
        EXPECT_TRUE(tempRuns(folder.path()).empty());
    }
}

TEST(RecordCli, TheWarmUpOffersNoKeyWhereNoKeyCanReachIt) {
    TempDir folder;
    const auto run = runToEnd({"/bin/sh", "-c", "cd '" + folder.str() + "' && exec '" + kCli +
                                                    "' record --simulate --sim-speed 10 --seconds 1 -o run.csv "
                                                    "< /dev/null"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.err, MatchesRegex("(.|\n)*\nWarming up, time remaining = [0-9]+ seconds\n(.|\n)*"));
    EXPECT_THAT(run.err, Not(HasSubstr("press any key")));
}

TEST(RecordCli, RefusesAFullTempFolderUnlessAnOptionAnswers) {
    TempDir folder;
    for (int i = 0; i < 20; ++i) {
        folder.write("TEMP/temp_old_" + std::to_string(i) + ".csv", "Corvane Text Data File: x\n");
    }
    const auto run = runToEnd(inFolder(folder, "record --simulate -o run.csv"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("the TEMP folder is full (20 runs); give --discard-oldest-temp"));
    EXPECT_EQ(tempRuns(folder.path()).size(), 20U);
    EXPECT_EQ(runToEnd(inFolder(folder, "record --simulate --seconds 0 -o run.csv")).exitCode, 2);
}

TEST(RecordCli, KilledMidRunLeavesATempFileThatRescueSavesWhole) {
    TempDir folder;
    ChildProcess child(inFolder(folder, "record --simulate --sim-speed 10 --skip-warmup "
                                        "--until-stop -o run.csv"));
    ASSERT_TRUE(child.started());
    const auto temp = waitForRows(folder, 150);
    ASSERT_FALSE(temp.empty());
    child.kill();
    const auto written = completeRows(temp);
    ASSERT_GE(written.size(), 150U);

    const auto rescue = runToEnd({kCli, "rescue", temp.string(), "-o", (folder / "saved.csv").string()});
    ASSERT_EQ(rescue.exitCode, 0) << rescue.err;
    EXPECT_FALSE(std::filesystem::exists(temp));
    RunDataFile saved;
    ASSERT_EQ(saved.read(folder / "saved.csv"), RunDataFile::ReadStatus::Ok);
    // Each row carries one new reading (the channels alternate) and repeats
    // the other channel's; the rescue keeps one row per pair. Every reading
    // taken while the piston moved is there, up to the last full pair
    // before the kill.
    RunDataFile before;
    std::string text;
    for (const auto& row : written) {
        text += row + "\n";
    }
    ASSERT_EQ(before.parse("SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, "
                           "PositionB, ratioA/B\n" + text),
              RunDataFile::ReadStatus::Ok);
    ASSERT_EQ(before.samples().size(), written.size());
    using Reading = std::tuple<std::uint32_t, std::uint32_t, double>;
    std::set<Reading> keptA;
    std::set<Reading> keptB;
    for (const auto& row : saved.samples()) {
        keptA.emplace(row.sampleA, row.sourceA, row.positionA);
        keptB.emplace(row.sampleB, row.sourceB, row.positionB);
    }
    int checked = 0;
    const auto& rows = before.samples();
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
        if (rows[i].positionA > 0.0 && rows[i].positionB > 0.0) {
            EXPECT_TRUE(keptA.contains({rows[i].sampleA, rows[i].sourceA, rows[i].positionA})) << written[i];
            EXPECT_TRUE(keptB.contains({rows[i].sampleB, rows[i].sourceB, rows[i].positionB})) << written[i];
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

TEST(RecordCli, CtrlCSavesTheRunAndASecondLeavesItInTemp) {
    {
        TempDir folder;
        ChildProcess child(inFolder(folder, "record --simulate --sim-speed 10 --skip-warmup "
                                            "--until-stop -o run.csv"));
        ASSERT_FALSE(waitForRows(folder, 60).empty());
        child.interrupt();
        const auto errors = child.readErrors();
        EXPECT_EQ(child.wait(), 0) << errors;
        EXPECT_THAT(errors, HasSubstr("stopping: interrupted\n"));
        EXPECT_TRUE(std::filesystem::exists(folder / "run.csv"));
        EXPECT_TRUE(tempRuns(folder.path()).empty());
    }
    {
        TempDir folder;
        ChildProcess child(inFolder(folder, "record --simulate --sim-speed 10 --skip-warmup "
                                            "--until-stop -o run.csv"));
        const auto temp = waitForRows(folder, 60);
        ASSERT_FALSE(temp.empty());
        child.interrupt();
        // The second Ctrl+C comes once the stop has begun, and before it can
        // end: the command is held still while it is sent.
        auto errors = child.readErrorsUntil("stopping: interrupted\n");
        ASSERT_THAT(errors, HasSubstr("stopping: interrupted\n"));
        child.suspend();
        child.interrupt();
        child.resume();
        errors += child.readErrors();
        EXPECT_EQ(child.wait(), 130) << errors;
        EXPECT_THAT(errors, HasSubstr("interrupted again; the run stays in TEMP as " + temp.string()));
        EXPECT_FALSE(std::filesystem::exists(folder / "run.csv"));
        EXPECT_GE(completeRows(temp).size(), 60U);
    }
}

TEST(RecordCli, ChecksItsFileAndRunNameBeforeAnythingConnects) {
    TempDir folder;
    folder.write("run.csv", "an earlier run\n");
    const auto exists = runToEnd(inFolder(folder, "record --simulate -o run.csv"));
    EXPECT_EQ(exists.exitCode, 1);
    EXPECT_THAT(exists.err, HasSubstr("run.csv already exists; give --force to replace it"));
    EXPECT_EQ(folder.read("run.csv"), "an earlier run\n");
    // "temp_" + name + "_2024_03_05_09_07_03" + "-999" (a clash) + ".csv" is
    // at most 255 bytes, so the name at most 222.
    const auto tooLong =
        runToEnd(inFolder(folder, "record --simulate --name " + std::string(223, 'n') + " -o new.csv"));
    EXPECT_EQ(tooLong.exitCode, 2);
    EXPECT_THAT(tooLong.err, HasSubstr("Please use at most 222 characters."));
    EXPECT_EQ(runToEnd(inFolder(folder, "record --simulate -o missing/new.csv")).exitCode, 1);
    // Nothing was connected or set up.
    EXPECT_FALSE(folder.exists("prefs.cfg"));
    EXPECT_FALSE(folder.exists("TEMP"));

    // No TEMP folder can be made: found out before the piston moves.
    folder.write("TEMP", "a file\n");
    const auto noTemp = runToEnd(inFolder(folder, "record --simulate -o new.csv"));
    EXPECT_EQ(noTemp.exitCode, 1);
    EXPECT_THAT(noTemp.err, HasSubstr("cannot write run files into " + (folder / "TEMP").string()));
    EXPECT_THAT(noTemp.err, Not(HasSubstr("Moving piston")));
    EXPECT_EQ(folder.read("TEMP"), "a file\n");
}

TEST(RecordCli, TwoRecordingsStartedTogetherInOneFolderEachSaveTheirOwnRun) {
    TempDir folder;
    folder.write("A.csv", "an earlier run\n");
    const std::string record = "record --simulate --sim-speed 10 --skip-warmup --seconds 3 --name tube ";
    ChildProcess first(inFolder(folder, record + "--force -o A.csv"));
    ChildProcess second(inFolder(folder, record + "-o B.csv"));
    const auto firstOut = first.readOutput();
    const auto secondOut = second.readOutput();
    const auto firstErr = first.readErrors();
    const auto secondErr = second.readErrors();
    ASSERT_EQ(first.wait(), 0) << firstErr;
    ASSERT_EQ(second.wait(), 0) << secondErr;
    for (const auto& [name, out] : {std::pair{"A.csv", firstOut}, {"B.csv", secondOut}}) {
        RunDataFile run;
        ASSERT_EQ(run.read(folder / name), RunDataFile::ReadStatus::Ok) << name;
        EXPECT_EQ(run.header().fileTitle, name);
        // Its own rows only: as many as its program recorded.
        EXPECT_THAT(out, HasSubstr(std::string(name) + ": " + std::to_string(run.sampleCount()) +
                                   " samples\n"));
        EXPECT_GT(run.sampleCount(), 0U);
    }
    EXPECT_TRUE(tempRuns(folder.path()).empty());
}

// record on the simulated unit, ten times faster, with its faults (LIST of
// --sim-faults) and how long (--seconds S, or --until-stop), saving run.csv.
Finished recordWithFaults(const TempDir& folder, const std::string& faults, const std::string& length) {
    return runToEnd(inFolder(folder, "record --simulate --sim-speed 10 --skip-warmup --sim-faults " + faults + " " +
                                         length + " -o run.csv"));
}

// A file that takes the run's name while it is recorded (another run saved
// there) is never replaced: the run stays whole in TEMP, said so, exit 1.
// --force replaces only the file that was there when the command started.
TEST(RecordCli, ANameTakenDuringTheRunKeepsBothRuns) {
    for (const std::string force : {"", "--force "}) {
        TempDir folder;
        if (!force.empty()) folder.write("run.csv", "the file --force was given for\n");
        ChildProcess child(inFolder(folder, "record --simulate --sim-speed 10 --skip-warmup --seconds 8 " + force +
                                                "-o run.csv"));
        const auto temp = waitForRows(folder, 20);
        ASSERT_FALSE(temp.empty());
        // Another run saved under that name meanwhile.
        std::filesystem::remove(folder / "run.csv");
        folder.write("run.csv", "another run\n");
        const auto errors = child.readErrors();
        EXPECT_EQ(child.wait(), 1) << errors;
        EXPECT_THAT(errors, HasSubstr("the run was not saved; it stays in TEMP as " + temp.string()));
        EXPECT_EQ(folder.read("run.csv"), "another run\n");
        EXPECT_GE(completeRows(temp).size(), 20U);
    }
}

// A unit that is silent from the start (unplugged as the run begins) ends
// the run by the silence rule, and a run without a sample is never called
// saved; one that falls silent for a moment says so at the end.
TEST(RecordCli, SilenceFromTheStartEndsTheRunAndAMomentsSilenceIsTold) {
    {
        TempDir folder;
        const auto run = recordWithFaults(folder, "unplug=13+200", "--until-stop");
        EXPECT_NE(run.exitCode, 0) << run.err;
        EXPECT_THAT(run.err, HasSubstr("stopping: the unit has been silent for more than 10 s\n"));
        EXPECT_THAT(run.out, Not(HasSubstr("saved")));
        if (!std::filesystem::exists(folder / "run.csv")) {
            EXPECT_THAT(run.err, HasSubstr("no sample was recorded; nothing was saved"));
            EXPECT_TRUE(tempRuns(folder.path()).empty());
        }
    }
    {
        TempDir folder;
        const auto run = recordWithFaults(folder, "silence=25+3", "--seconds 40");
        EXPECT_EQ(run.exitCode, 0) << run.err;
        // The three seconds; on a loaded machine a moment of the sped-up
        // clock may count too.
        EXPECT_THAT(run.err, MatchesRegex("(.|\n)*\ncorvane-cli record: the unit was silent [0-9]+ times? during the "
                                          "run, [0-9.]+ s in all \\(the longest 3\\.[0-9] s, from [0-9.]+ s into the "
                                          "run\\); the samples of those moments are missing from the run\n(.|\n)*"));
    }
}

// A damaged line: the values that passed the checks damaged cannot be told
// row by row, so the closing lines say how many there may be.
TEST(RecordCli, TheClosingLinesTellHowManyValuesMayBeDamagedUnseen) {
    TempDir folder;
    const auto run = recordWithFaults(folder, "corrupt=0.03", "--seconds 20");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.err, MatchesRegex("(.|\n)*\ncorvane-cli record: the line damaged about [1-9][0-9]* packets; about "
                                      "1 in 700 damaged packets passes every check, so about [0-9]+\\.[0-9] values "
                                      "of this run may be wrong unseen\n(.|\n)*"));
    const auto clean = runToEnd(inFolder(folder, "record --simulate --sim-speed 10 --skip-warmup --seconds 5 "
                                                 "-o clean.csv"));
    EXPECT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_THAT(clean.err, Not(HasSubstr("may be wrong unseen")));
}

// Rows that do not reach the file (the disk is full) make the run fail: it
// stays in TEMP as far as it was written, for a rescue, and nothing is saved.
TEST(RecordCli, ADiskThatFillsKeepsTheRunInTempAndFails) {
    TempDir folder;
    // Writes beyond 8 KiB fail as on a full disk (the limit's signal ignored).
    const auto run = runToEnd({"/bin/sh", "-c",
                               "cd '" + folder.str() + "' && trap '' XFSZ && ulimit -f 16 && exec '" + kCli +
                                   "' record --simulate --sim-speed 10 --skip-warmup --seconds 20 -o run.csv"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("rows cannot be written to the run file (is the disk full?)"));
    EXPECT_THAT(run.err, MatchesRegex("(.|\n)*Error, [1-9][0-9]* rows of this run could not be written to "
                                      ".*TEMP/temp_.*"
                                      "\\.csv \\(the disk may be full\\)\\. The run stays in TEMP(.|\n)*"));
    EXPECT_FALSE(folder.exists("run.csv"));
    const auto temps = tempRuns(folder.path());
    ASSERT_EQ(temps.size(), 1U);
    EXPECT_GT(completeRows(temps[0]).size(), 10U);
}

}  // namespace
}  // namespace corvane::test
