#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "base/LineReader.h"
#include "base/WriterLock.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCleaner.h"

namespace corvane {
namespace {

const std::string kTwoChannelHeader =
    "Corvane Text Data File: run.csv\nVersion: 0.1.0\nDate: 2024-01-02\nTime: 10:00:00\n\n"
    "Data Columns:\n" + std::string(kTwoChannelColumns) + "\n";

const std::string kEm1Header =
    "Corvane Text Data File: em1.csv\nVersion: 0.1.0\nDate: 2024-01-02\nTime: 10:00:00\n\n"
    "Volume per mm: 0.125 ml/mm\n\n"
    "Absorbance Units Full Scale (AUFS): 0.10\n"
    "Dead Volume: 0.250000 ml; Distance due to Dead Volume: 2.00 mm\n"
    "\nData Columns:\n" + std::string(kEm1Columns) + "\n";

class RunFileCleanerTest : public ::testing::Test {
protected:
    RunFileCleanerTest() : cleaner(prompter) {
        std::filesystem::create_directories(dir.path() / "TEMP");
    }

    // A work file beside the run, or one of the names the messages give.
    bool scratchLeftBehind() const {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const auto name = entry.path().filename().string();
            if (name.starts_with(".") || name == "to.csv" || name.starts_with("temp_")) return true;
        }
        return false;
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    RunFileCleaner cleaner;
};

// The piston stood still twice; a row at 0 mm, a line that is no row, and the
// row that was being written when the program stopped (no line end).
TEST_F(RunFileCleanerTest, KeepsOnlyTheFirstSampleOfEachStandingPiston) {
    const auto file = dir.write("run.csv", kTwoChannelHeader +
                                               "1, 1, 1, 1, 0.00, 0.1, 0.00, 0.1, 0.00, 1.0\n"
                                               "2, 2, 2, 2, 0.10, 0.2, 0.05, 0.2, 0.05, 1.0\n"
                                               "3, 3, 3, 3, 0.10, 0.3, 0.05, 0.3, 0.05, 1.0\n"
                                               "4, 4, 4, 4, 0.20, 0.4, 0.15, 0.4, 0.15, 1.0\n"
                                               "a note\n"
                                               "5, 5, 5, 5, 0.20, 0.5, 0.15, 0.5, 0.15, 1.0\n"
                                               "6, 6, 6, 6, 0.25, 0.6, 0.15, 0.6, 0.15, 1.0\n"
                                               "7, 7, 7, 7, 0.30, 0.7, 0.25, 0.7, 0.25, 1.0\n"
                                               "8, 8, 8, 8, 0.40, 0.8, 0.3");
    ASSERT_TRUE(cleaner.removeDuplicates(file));
    EXPECT_EQ(test::readFile(file),
              kTwoChannelHeader +
                  "2, 2, 2, 2, 0.10, 0.200000, 0.05, 0.200000, 0.05, 1.000000\n"
                  "4, 4, 4, 4, 0.20, 0.400000, 0.15, 0.400000, 0.15, 1.000000\n"
                  "7, 7, 7, 7, 0.30, 0.700000, 0.25, 0.700000, 0.25, 1.000000\n");
    // The line that is no row is told (the header's seven lines, then the
    // fifth); the row in flight is not a row of the run.
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Warning: 1 row of " + file.string() +
                                                         " could not be read and was left out (line 12)."});
    EXPECT_FALSE(scratchLeftBehind());
}

// Rows as the link writes them: one channel's reading a row, the other
// channel's position carried. A damaged packet put channel A 40 mm ahead and a
// good B reading came before the next A; another put B a little behind the
// row before it, which is still kept.
TEST_F(RunFileCleanerTest, AFarPositionFromOneDamagedReadingCostsOnlyItsOwnRows) {
    std::string rows;
    const auto add = [&rows](int n, double a, double b) {
        rows += std::to_string(n) + ", 1, 1, 1, " + std::to_string(a) + ", 0.1, " + std::to_string(b) +
                ", 0.1, " + std::to_string(b) + ", 1.0\n";
    };
    double a = 0.0;
    double b = 0.0;
    for (int n = 1; n <= 60; ++n) {
        (n % 2 == 1 ? a : b) += 0.05;
        if (n == 20) {
            add(n, a + 40.0, b);  // the far A
        } else if (n == 21) {
            add(n, a + 40.0, b);  // carried into the next B row
        } else if (n == 40) {
            add(n, a, b - 0.07);  // a B a little behind
        } else {
            add(n, a, b);
        }
    }
    const auto file = dir.write("run.csv", kTwoChannelHeader + rows);
    ASSERT_TRUE(cleaner.removeDuplicates(file));
    RunDataFile run;
    ASSERT_EQ(run.read(file), RunDataFile::ReadStatus::Ok);
    std::vector<int> kept;
    for (const auto& sample : run.samples()) {
        EXPECT_LT(sample.positionA, 5.0);
        kept.push_back(static_cast<int>(sample.sampleA));
    }
    // One row per pair of readings, less the two that held the far A (one
    // of them is no pair's last row anyway) and the one with B behind, after
    // which the pairs end on the A rows.
    std::vector<int> expected;
    for (int n = 2; n <= 38; n += 2) {
        if (n != 20) expected.push_back(n);
    }
    for (int n = 41; n <= 59; n += 2) {
        expected.push_back(n);
    }
    EXPECT_EQ(kept, expected);
}

TEST_F(RunFileCleanerTest, AFileWithoutItsColumnHeaderIsLeftUntouched) {
    const std::string content = "Corvane Text Data File: x.csv\n1, 1, 1, 1, 0.1, 0.1, 0.1, 0.1, 0.1, 1\n";
    const auto file = dir.write("x.csv", content);
    EXPECT_FALSE(cleaner.removeDuplicates(file));
    EXPECT_EQ(prompter.texts(),
              std::vector<std::string>{"Invalid data header found in file: " + file.string()});
    EXPECT_EQ(test::readFile(file), content);
    EXPECT_FALSE(scratchLeftBehind());

    EXPECT_FALSE(cleaner.removeDuplicates(dir.path() / "missing.csv"));
    EXPECT_EQ(prompter.texts().back(), "Error, unable to remove duplicate samples from file: " +
                                           (dir.path() / "missing.csv").string());
}

// A row longer than the reader takes whole would be cut: the pass is
// refused and the file stays as it was, in either layout.
TEST_F(RunFileCleanerTest, ARowTooLongToReadWholeRefusesThePass) {
    const std::string longRow =
        "1, 1, 1, 1, 0.10, 0.1, 0.05, 0.1, 0.05, 1.0" + std::string(LineReader::kMaxLine, ' ') + "\n";
    const auto content = kTwoChannelHeader + "2, 2, 2, 2, 0.20, 0.2, 0.15, 0.2, 0.15, 1.0\n" + longRow;
    const auto file = dir.write("run.csv", content);
    EXPECT_FALSE(cleaner.removeDuplicates(file));
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Error, line 9 of " + file.string() + " is longer than " +
                                                         std::to_string(LineReader::kMaxLine) +
                                                         " bytes, too long for a row; the file was not changed."});
    EXPECT_EQ(test::readFile(file), content);
    const auto em1 = dir.write("em1.csv", kEm1Header + "1.00, 0.010000, 0, 0.000\n" + longRow);
    EXPECT_FALSE(cleaner.removeEm1Duplicates(em1));
    EXPECT_FALSE(scratchLeftBehind());
}

// The user's own files of the scratch names stay as they are; the work file
// a killed pass left beside a run goes with the next pass in that folder,
// unless it is new enough to belong to a pass still running.
TEST_F(RunFileCleanerTest, ScratchFilesTouchNoUserFileAndKilledPassesLeaveNothingForLong) {
    const auto file = dir.write("run.csv", kTwoChannelHeader + "1, 1, 1, 1, 0.10, 0.1, 0.10, 0.1, 0.10, 1\n");
    dir.write("to.csv", "the user's own to.csv\n");
    dir.write("TEMP/to.csv", "a rescued run called to.csv\n");
    const auto killed = dir.write(".older.csv.replacing-Ab12Cd", kTwoChannelHeader);
    std::filesystem::last_write_time(killed, std::filesystem::file_time_type::clock::now() -
                                                 std::chrono::seconds(kLeftoverAgeSeconds + 5));
    const auto running = dir.write(".other.csv.replacing-Ef34Gh", kTwoChannelHeader);

    ASSERT_TRUE(cleaner.removeDuplicates(file));
    EXPECT_EQ(dir.read("to.csv"), "the user's own to.csv\n");
    EXPECT_EQ(dir.read("TEMP/to.csv"), "a rescued run called to.csv\n");
    EXPECT_FALSE(std::filesystem::exists(killed));
    EXPECT_TRUE(std::filesystem::exists(running));
    std::size_t hidden = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        hidden += entry.path().filename().string().starts_with(".") ? 1 : 0;
    }
    EXPECT_EQ(hidden, 1u);  // the running pass's alone
}

TEST_F(RunFileCleanerTest, De1DuplicateRemovalKeepsEveryMarkInBothLayouts) {
    const auto current = dir.write("em1.csv", kEm1Header +
                                                  "0.00, 0.010000, 0, 0.000\n"
                                                  "0.00, 0.011000, , \n"
                                                  "0.10, 0.012000, , \n"
                                                  "0.10, 0.013000, , \n"
                                                  "0.10, 0.014000, R, 0.100\n"
                                                  "0.20, , A, 0.500\n"
                                                  "0.20, 0.015000, , \n"
                                                  "0.30, 0.016000, , \n");
    ASSERT_TRUE(cleaner.removeEm1Duplicates(current));
    EXPECT_EQ(test::readFile(current), kEm1Header +
                                           "0.00, 0.010000, 0, 0.000\n"
                                           "0.10, 0.012000, , \n"
                                           "0.10, 0.014000, R, 0.100\n"
                                           "0.20, , A, 0.500\n"
                                           "0.30, 0.016000, , \n");

    const std::string olderHeader = "Data Columns:\n" + std::string(kEm1EventColumns) + "\n";
    const auto older = dir.write("old.csv", olderHeader +
                                                "0.10, 0.010000, 0\n"
                                                "0.10, 0.020000, 1\n"
                                                "0.10, 0.030000, 0\n"
                                                "0.20, 0.040000, 2\n");
    ASSERT_TRUE(cleaner.removeEm1Duplicates(older));
    EXPECT_EQ(test::readFile(older), olderHeader +
                                         "0.10, 0.010000, 0\n"
                                         "0.10, 0.020000, 1\n"
                                         "0.20, 0.040000, 1\n");

    const auto twoChannel = dir.write("two.csv", kTwoChannelHeader);
    EXPECT_FALSE(cleaner.removeEm1Duplicates(twoChannel));
    EXPECT_EQ(prompter.texts(),
              std::vector<std::string>{"Error, unable to find header in file: " + twoChannel.string()});
    EXPECT_FALSE(scratchLeftBehind());
}

// Dead volume 0.25 ml at 0.125 ml/mm: every mark moves back 2.00 mm.
//   fraction 0 at 0.00 -> -2.00: no row below, stays on the first row.
//   R at 2.75 -> 0.75: rows 0.50 and 1.00 are equally near, the later wins.
//   1 at 3.00 -> 1.00: row 1.00 carries R, so the other of the pair, 1.25.
//   2 at 3.25 -> 1.25: 1.25 carries 1, the other of the pair is 1.50.
//   3 at 3.30 -> 1.30: 1.25 and 1.50 both carry: the next free row, 2.00.
//   A at 4.00 keeps its row at 2.00 mm.
// The line that is no row goes out first, straight after the header.
TEST_F(RunFileCleanerTest, MergesEventsBackByTheDeadVolumeOntoTheNearestFreeRow) {
    const auto file = dir.write("em1.csv", kEm1Header +
                                               "0.00, 0.100000, 0, 0.000\n"
                                               "0.50, 0.100000, , \n"
                                               "1.00, 0.100000, , \n"
                                               "1.25, 0.100000, , \n"
                                               "1.50, 0.100000, , \n"
                                               "2.00, 0.100000, , \n"
                                               "2.75, 0.200000, R, 0.344\n"
                                               "3.00, 0.200000, 1, 0.031\n"
                                               "3.25, 0.200000, 2, 0.031\n"
                                               "no row here\n"
                                               "3.30, 0.200000, 3, 0.006\n"
                                               "4.00, , A, 0.500\n"
                                               "4.50, 0.300000, , \n");
    ASSERT_TRUE(cleaner.mergeEvents(file));
    EXPECT_EQ(test::readFile(file), kEm1Header +
                                        "no row here\n"
                                        "0.00, 0.100000, 0, 0.000\n"
                                        "0.50, 0.100000, , \n"
                                        "1.00, 0.100000, R, 0.344\n"
                                        "1.25, 0.100000, 1, 0.031\n"
                                        "1.50, 0.100000, 2, 0.031\n"
                                        "2.00, 0.100000, 3, 0.006\n"
                                        "2.75, 0.200000, , \n"
                                        "3.00, 0.200000, , \n"
                                        "3.25, 0.200000, , \n"
                                        "3.30, 0.200000, , \n"
                                        "2.00, , A, 0.500\n"
                                        "4.50, 0.300000, , \n");
    EXPECT_TRUE(prompter.texts().empty());
    EXPECT_FALSE(scratchLeftBehind());
}

TEST_F(RunFileCleanerTest, EventMergeDropsWhatFallsBelowZeroAndSkipsFilesWithoutDeadVolume) {
    const auto file = dir.write("em1.csv", kEm1Header +
                                               "0.50, 0.100000, , \n"
                                               "1.50, , A, 0.500\n"
                                               "3.00, 0.200000, , \n");
    ASSERT_TRUE(cleaner.mergeEvents(file));
    EXPECT_EQ(test::readFile(file), kEm1Header + "0.50, 0.100000, , \n3.00, 0.200000, , \n");

    const std::string noDeadVolume = "Data Columns:\n" + std::string(kEm1Columns) +
                                     "\n1.00, 0.100000, 1, 0.100\n";
    const auto plain = dir.write("plain.csv", noDeadVolume);
    ASSERT_TRUE(cleaner.mergeEvents(plain));
    EXPECT_EQ(test::readFile(plain), noDeadVolume);

    const auto twoChannel = dir.write("two.csv",
                                      "Dead Volume: 1.000000 ml; Distance due to Dead Volume: 7.00 mm\n" +
                                          kTwoChannelHeader);
    EXPECT_FALSE(cleaner.mergeEvents(twoChannel));
    EXPECT_EQ(prompter.texts(),
              std::vector<std::string>{"Error, unable to find header in file: " + twoChannel.string()});
}

}  // namespace
}  // namespace corvane
