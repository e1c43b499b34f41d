#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "app/ConfigFile.h"
#include "runs/RunDataFile.h"
#include "runs/TempFolder.h"
#include "base/FileHandle.h"
#include "base/WriterLock.h"
#include "base/TextFormat.h"

namespace corvane {
namespace {

std::string runText(const std::string& title, const std::string& dateLines, const std::string& rows) {
    return "Corvane Text Data File: " + title + "\nVersion: 0.1.0\n" + dateLines +
           "\nData Columns:\n" + std::string(kTwoChannelColumns) + "\n" + rows;
}

class TempFolderTest : public ::testing::Test {
protected:
    TempFolderTest() : temp({dir.path(), dir.path() / "TEMP"}, prompter) {
        std::filesystem::create_directories(dir.path() / "TEMP");
    }

    // A temporary run whose header says day d of January 2024, and whose file
    // time says the opposite: the later the header, the older the file.
    void addDatedRun(int day) {
        const auto name = formatText("TEMP/temp_run_%02d.csv", day);
        const auto path = dir.write(name, runText(name, formatText("Date: 2024-1-%d\nTime: 8:%02d:00\n", day, day), ""));
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(day));
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    TempFolder temp;
};

TEST_F(TempFolderTest, DiscardsOldestByHeaderDateNotFileTime) {
    for (int day = 1; day <= 24; ++day) {
        addDatedRun(day);
    }
    // No date and time lines: the oldest possible, though its file is the newest.
    dir.write("TEMP/temp_no_header.csv", "1, 2, 3\n");
    ASSERT_EQ(temp.countRuns(), 25);
    EXPECT_EQ(temp.discardOldest(19), 6);
    EXPECT_EQ(temp.countRuns(), 19);
    EXPECT_FALSE(dir.exists("TEMP/temp_no_header.csv"));
    for (int day = 1; day <= 5; ++day) {
        EXPECT_FALSE(dir.exists(formatText("TEMP/temp_run_%02d.csv", day))) << day;
    }
    EXPECT_TRUE(dir.exists("TEMP/temp_run_06.csv"));
    EXPECT_EQ(temp.discardOldest(19), 0);
}

TEST_F(TempFolderTest, CountsOnlyCsvFilesThatAreNotFolders) {
    EXPECT_FALSE(temp.hasLostData());
    dir.write("TEMP/notes.txt", "x");
    std::filesystem::create_directories(dir.path() / "TEMP" / "folder.csv");
    EXPECT_EQ(temp.countRuns(), 0);
    dir.write("TEMP/temp_a.csv", "x");
    dir.write("TEMP/OLD.CSV", "x");
    EXPECT_EQ(temp.countRuns(), 2);
    EXPECT_TRUE(temp.hasLostData());
}

TEST_F(TempFolderTest, PrepareMovesTheOlderTemporaryFilesIn) {
    std::filesystem::remove_all(dir.path() / "TEMP");
    dir.write("Tempfile3.csv", "older run 3\n");
    dir.write("run_TEMPFILE.CSV", "older run 4\n");
    dir.write("Tempfile5.csv.bak", "not a csv\n");
    dir.write("mine.csv", "the user's run\n");
    std::filesystem::create_directories(dir.path() / "tempfile_folder.csv");
    ASSERT_TRUE(temp.prepare());
    EXPECT_EQ(dir.read("TEMP/Tempfile3.csv"), "older run 3\n");
    EXPECT_EQ(dir.read("TEMP/run_TEMPFILE.CSV"), "older run 4\n");
    EXPECT_FALSE(dir.exists("Tempfile3.csv"));
    EXPECT_FALSE(dir.exists("run_TEMPFILE.CSV"));
    EXPECT_TRUE(dir.exists("Tempfile5.csv.bak"));
    EXPECT_TRUE(dir.exists("mine.csv"));
    EXPECT_TRUE(dir.exists("tempfile_folder.csv"));

    // A name already in TEMP is not overwritten.
    dir.write("Tempfile3.csv", "another run 3\n");
    ASSERT_TRUE(temp.prepare());
    EXPECT_EQ(dir.read("TEMP/Tempfile3.csv"), "older run 3\n");
    EXPECT_EQ(dir.read("TEMP/Tempfile3_2.csv"), "another run 3\n");
}

TEST_F(TempFolderTest, AFullFolderAsksOnceAndNoTurnsTheLimitOffForGood) {
    dir.write("prefs.cfg", "[prefs]\nbaudrate 57600\n");
    for (int day = 1; day <= 19; ++day) {
        addDatedRun(day);
    }
    bool unlimited = temp.unlimitedAllowed();
    EXPECT_FALSE(unlimited);
    temp.makeRoomForNewRun(unlimited);
    EXPECT_TRUE(prompter.transcript().empty());

    addDatedRun(20);
    prompter.answerYes();
    temp.makeRoomForNewRun(unlimited);
    EXPECT_EQ(prompter.transcript(),
              std::vector<std::string>{"question: The TEMP folder is full. Do you want to discard the "
                                       "oldest runs to make room for the temporary files from this "
                                       "session? -> Yes"});
    EXPECT_EQ(temp.countRuns(), 19);
    EXPECT_FALSE(dir.exists("TEMP/temp_run_01.csv"));

    addDatedRun(21);
    prompter.answerNo();
    temp.makeRoomForNewRun(unlimited);
    EXPECT_TRUE(unlimited);
    EXPECT_EQ(temp.countRuns(), 20);
    EXPECT_EQ(ConfigFile(dir.path() / "prefs.cfg").getInt("[prefs]", "allow_unlimited_tempfiles"), 1);
    EXPECT_TRUE(temp.unlimitedAllowed());
    prompter.clear();
    temp.makeRoomForNewRun(unlimited);
    EXPECT_TRUE(prompter.transcript().empty());
}

TEST_F(TempFolderTest, RescueRenamesCleansAndRemovesTheLostRun) {
    const auto lost = dir.write("TEMP/temp_crash.csv",
                                runText("temp_crash.csv", "Date: 2024-1-1\nTime: 8:00:00\n",
                                        "1, 1, 1, 1, 0.10, 0.1, 0.05, 0.1, 0.05, 1.0\n"
                                        "2, 2, 2, 2, 0.10, 0.2, 0.05, 0.2, 0.05, 1.0\n"
                                        "3, 3, 3, 3, 0.20, 0.3, 0.15, 0.3, 0.15, 1.0\n"
                                        "4, 4, 4, 4, 0.30, 0.4, 0.2"));
    const auto target = dir.path() / "data" / "rescued.csv";
    std::filesystem::create_directories(target.parent_path());
    prompter.scriptFile(lost.string());
    prompter.scriptFile(target.string());
    const auto saved = temp.rescueLostData("/home/ann/data");
    ASSERT_EQ(saved, target);
    EXPECT_FALSE(std::filesystem::exists(lost));
    EXPECT_EQ(test::readFile(target),
              runText("rescued.csv", "Date: 2024-1-1\nTime: 8:00:00\n",
                      "1, 1, 1, 1, 0.10, 0.100000, 0.05, 0.100000, 0.05, 1.000000\n"
                      "3, 3, 3, 3, 0.20, 0.300000, 0.15, 0.300000, 0.15, 1.000000\n"));
    const auto requests = prompter.fileRequests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[0].title, "Select lost data file to rescue");
    EXPECT_EQ(requests[0].filter, "CSV Text Files (*.csv)|*.csv|All Files (*.*)|*.*||");
    EXPECT_EQ(requests[0].initialFolder, (dir.path() / "TEMP").string());
    EXPECT_EQ(requests[1].title, "Choose new filename for lost data");
    EXPECT_EQ(requests[1].defaultExtension, "csv");
    EXPECT_EQ(requests[1].initialFolder, "/home/ann/data");
    EXPECT_EQ(prompter.texts().back(),
              lost.string() + " successfully rescued and saved to: " + target.string());
}

TEST_F(TempFolderTest, ADe1RunIsRescuedWithItsEventsMergedBack) {
    const auto lost = dir.write(
        "TEMP/temp_em1.csv",
        "Corvane Text Data File: temp_em1.csv\n\nVolume per mm: 0.125 ml/mm\n"
        "Dead Volume: 0.250000 ml; Distance due to Dead Volume: 2.00 mm\n\nData Columns:\n" +
            std::string(kEm1Columns) + "\n1.00, 0.100000, , \n3.00, 0.200000, 1, 0.250\n");
    const auto target = dir.path() / "em1.csv";
    prompter.scriptFile(target.string());
    ASSERT_TRUE(temp.saveCopy(lost, "Choose new filename for lost data", true));
    RunDataFile run;
    ASSERT_EQ(run.read(target), RunDataFile::ReadStatus::Ok);
    ASSERT_EQ(run.em1Samples().size(), 2U);
    EXPECT_EQ(run.em1Samples()[0].fraction, 1);
    EXPECT_EQ(run.em1Samples()[1].fraction, Em1Sample::kNoFraction);
}

TEST_F(TempFolderTest, SaveCopyReportsEachFailureAndKeepsTheSource) {
    const auto missing = dir.path() / "TEMP" / "gone.csv";
    EXPECT_FALSE(temp.saveCopy(missing, "Save Graph Data As", false));
    EXPECT_EQ(prompter.texts().back(), "Error, unable to open temporary file: " + missing.string());

    const auto source = dir.write("TEMP/temp_temp_data.csv", runText("x", "", "1, 1, 1, 1, 0.1, 0.1, 0.1, 0.1, 0.1, 1\n1, 1, 1, 1, 0.1, 0.1, 0.1, 0.1, 0.1, 1\n"));
    prompter.scriptFile(std::nullopt);
    EXPECT_FALSE(temp.saveCopy(source, "Save Graph Data As", false));
    EXPECT_TRUE(std::filesystem::exists(source));

    const auto nowhere = dir.path() / "no folder" / "x.csv";
    prompter.scriptFile(nowhere.string());
    EXPECT_FALSE(temp.saveCopy(source, "Save Graph Data As", false));
    EXPECT_EQ(prompter.texts().back(), "Error, unable to create file: " + nowhere.string());
    EXPECT_TRUE(std::filesystem::exists(source));

    // Without the rescue flag nothing is cleaned: both equal rows stay.
    const auto target = dir.path() / "graph.csv";
    prompter.scriptFile(target.string());
    ASSERT_TRUE(temp.saveCopy(source, "Save Graph Data As", false));
    EXPECT_EQ(prompter.texts().back(), "File: " + target.string() + " saved successfully.");
    RunDataFile run;
    ASSERT_EQ(run.read(target), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(run.samples().size(), 2U);
    EXPECT_FALSE(std::filesystem::exists(source));
}

// What a rescue refuses is refused before anything is written: no question,
// no file at the target, the source where it was.
TEST_F(TempFolderTest, ARescueChecksTheSourceBeforeItCopiesAnything) {
    const auto target = dir.path() / "x.csv";
    const auto refused = [&](const std::filesystem::path& lost, const std::string& message) {
        prompter.clear();
        prompter.scriptFile(target.string());
        EXPECT_FALSE(temp.saveCopy(lost, "Choose new filename for lost data", true));
        EXPECT_EQ(prompter.texts(), std::vector<std::string>{message}) << lost;
        EXPECT_TRUE(std::filesystem::exists(lost)) << lost;
        EXPECT_FALSE(std::filesystem::exists(target)) << lost;
    };
    // An export file has a column header, but no rows a rescue can clean.
    const auto exported = dir.write("TEMP/export.csv", "Corvane Export File\nrun1.csv, 0\n");
    refused(exported, "Invalid data header found in file: " + exported.string());

    // A run another program is still recording.
    const auto live = dir.write("TEMP/temp_live.csv", runText("temp_live.csv", "", "1, 1, 1, 1, 0.1, 0.1, 0.1, 0.1, 0.1, 1\n"));
    {
        const auto writer = openFile(live, "ab");
        ASSERT_TRUE(claimForWriting(writer.get()));
        refused(live, "Error, the file is still being written (a run being recorded?); it was left "
                      "as it is: " + live.string());
    }
    // Larger than any run (sparse: it takes no room on the disk).
    const auto huge = dir.write("TEMP/temp_huge.csv", runText("temp_huge.csv", "", ""));
    std::filesystem::resize_file(huge, kMaxRunFileBytes + 1);
    refused(huge, "Error, the file is larger than 1024 MB, too large for a run file: " + huge.string());
}

TEST_F(TempFolderTest, ARescueThatCannotBeFinishedLeavesTheSourceAndNoTarget) {
    const auto lost = dir.write("TEMP/temp_lost.csv",
                                runText("temp_lost.csv", "", "1, 1, 1, 1, 0.1, 0.1, 0.1, 0.1, 0.1, 1\n"));
    const auto original = test::readFile(lost);
    const auto target = dir.path() / "saved.csv";

    // A file at the target that may not be replaced.
    dir.write("saved.csv", "somebody's run\n");
    prompter.scriptFile(target.string());
    EXPECT_FALSE(temp.saveCopy(lost, "Choose new filename for lost data", true, {},
                               ExistingTarget::Keep));
    EXPECT_EQ(prompter.texts().back(), "Error, the file already exists: " + target.string());
    EXPECT_EQ(test::readFile(lost), original);
    EXPECT_EQ(dir.read("saved.csv"), "somebody's run\n");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().extension().string().find(".part"), std::string::npos) << entry.path();
    }
}

TEST_F(TempFolderTest, NamesTemporaryRunsByRunNameAndTime) {
    EXPECT_EQ(temp.runFilePath("tube3", {2024, 2, 9, 7, 5, 3}),
              dir.path() / "TEMP" / "temp_tube3_2024_02_09_07_05_03.csv");
}

}  // namespace
}  // namespace corvane
