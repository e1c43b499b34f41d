// Two writers meet one file: two runs saved under one name, a rewrite of a
// run being recorded, two rewrites of one file at once, a rescue whose source
// grows or holds rows it cannot read. Each race is run many times over: a
// loss that happens once in a while shows within seconds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "app/ConfigFile.h"
#include "app/FileReplace.h"
#include "base/WriterLock.h"
#include "runs/OverlayPlanBlock.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCleaner.h"
#include "runs/RunRecorder.h"
#include "runs/TempFolder.h"

namespace corvane {
namespace {

using ::testing::HasSubstr;

constexpr CalendarTime kNow{2024, 3, 5, 9, 7, 3};

SampleRecord sampleAt(std::uint32_t n) {
    SampleRecord r;
    r.sampleA = 1000 + n;
    r.sourceA = 500;
    r.sampleB = 900 + n;
    r.sourceB = 450;
    r.positionA = 0.1 * n;
    r.positionB = 0.1 * n - 0.05;
    return r;
}

std::vector<std::uint32_t> samplesIn(const std::filesystem::path& file) {
    RunDataFile run;
    std::vector<std::uint32_t> samples;
    if (run.read(file) == RunDataFile::ReadStatus::Ok) {
        for (const auto& s : run.samples()) samples.push_back(s.sampleA);
    }
    return samples;
}

class RunFileRaces : public ::testing::Test {
protected:
    RunFileRaces() { std::filesystem::create_directories(dir.path() / "TEMP"); }

    RunRecorder recorder(test::ScriptedPrompter& prompter) {
        return RunRecorder(prompter, {dir.path(), dir.path() / "TEMP"}, [] { return kNow; });
    }
    // A run of rows first..last, recorded and left open.
    void record(RunRecorder& r, const std::string& name, std::uint32_t first, std::uint32_t last) {
        ASSERT_TRUE(r.open(dir.path() / "TEMP" / name, {}));
        for (auto n = first; n <= last; ++n) r.writeSample(sampleAt(n));
    }

    test::TempDir dir;
};

// Two runs finished at once and saved under one name, as two scripts with
// the same -o do: one takes the name, the other stays whole in TEMP and
// says why; the saved file is the winner's, never a mix, never both lost.
TEST_F(RunFileRaces, TwoRunsSavedUnderOneNameKeepOneThereAndTheOtherInTemp) {
    const auto target = dir.path() / "same.csv";
    for (int round = 0; round < 200; ++round) {
        test::ScriptedPrompter prompterA, prompterB;
        auto a = recorder(prompterA);
        auto b = recorder(prompterB);
        record(a, "temp_a.csv", 1, 5);
        record(b, "temp_b.csv", 101, 107);
        const auto tempA = a.path();
        const auto tempB = b.path();
        std::atomic<bool> go{false};
        bool savedA = false;
        bool savedB = false;
        std::thread first([&] {
            while (!go.load()) {}
            savedA = a.saveAs(target, ExistingTarget::Keep);
        });
        std::thread second([&] {
            while (!go.load()) {}
            savedB = b.saveAs(target, ExistingTarget::Keep);
        });
        go.store(true);
        first.join();
        second.join();
        ASSERT_NE(savedA, savedB) << "round " << round;
        const auto& lostPrompter = savedA ? prompterB : prompterA;
        const auto& kept = savedA ? tempB : tempA;
        const std::vector<std::uint32_t> rowsA{1001, 1002, 1003, 1004, 1005};
        const std::vector<std::uint32_t> rowsB{1101, 1102, 1103, 1104, 1105, 1106, 1107};
        EXPECT_EQ(samplesIn(target), savedA ? rowsA : rowsB);
        EXPECT_EQ(samplesIn(kept).size(), savedA ? 7U : 5U);
        EXPECT_EQ(lostPrompter.texts(),
                  std::vector<std::string>{"Error, the file already exists: " + target.string()});
        std::filesystem::remove(target);
        std::filesystem::remove(kept);
        ASSERT_FALSE(std::filesystem::exists(savedA ? tempA : tempB));
    }
}

// --force names the file that was there when the command started: that one
// is replaced, a name that has come free is taken, and a file that has taken
// the name since (another run's) is kept.
TEST_F(RunFileRaces, AReplacingSaveReplacesOnlyTheFileItWasToldOf) {
    const auto target = dir.path() / "run.csv";
    test::TempDir other;
    const auto told = [&] {
        const auto file = openRegularFile(target);
        return fileStateOf(::fileno(file.get()));
    };
    test::ScriptedPrompter prompter;

    dir.write("run.csv", "an old run\n");
    const auto oldOne = told();
    auto r = recorder(prompter);
    record(r, "temp_1.csv", 1, 3);
    ASSERT_TRUE(r.saveAs(target, ExistingTarget::Replace, oldOne));
    EXPECT_EQ(samplesIn(target).size(), 3U);

    // Another run has saved there since: it stays, this one stays in TEMP.
    const auto nowThere = test::readFile(target);
    record(r, "temp_2.csv", 1, 4);
    const auto temp2 = r.path();
    EXPECT_FALSE(r.saveAs(target, ExistingTarget::Replace, oldOne));
    EXPECT_EQ(test::readFile(target), nowThere);
    EXPECT_EQ(samplesIn(temp2).size(), 4U);

    // The name has come free: taken.
    std::filesystem::remove(target);
    record(r, "temp_3.csv", 1, 2);
    ASSERT_TRUE(r.saveAs(target, ExistingTarget::Replace, oldOne));
    EXPECT_EQ(samplesIn(target).size(), 2U);
}

// While a run is recorded its recorder holds the rewrite lock: a plan, a
// clean-up pass, a settings edit and a whole-file write each wait for it
// and are then refused, and the run keeps every row.
TEST_F(RunFileRaces, EveryRewriteRefusesARunBeingRecorded) {
    test::ScriptedPrompter prompter;
    auto r = recorder(prompter);
    record(r, "temp_run.csv", 1, 10);
    const auto run = r.path();
    const auto before = test::readFile(run);

    PlanWriteResult planned = PlanWriteResult::Ok;
    bool cleaned = true;
    int configSaved = 0;
    bool configHeld = false;
    std::error_code written;
    test::ScriptedPrompter cleanerPrompter;
    std::vector<std::thread> rewrites;
    rewrites.emplace_back([&] { planned = writeOverlayPlan(run, OverlayPlan{{{0.0, 5.0, 5}}, 0}, std::nullopt); });
    rewrites.emplace_back([&] {
        RunFileCleaner cleaner(cleanerPrompter);
        cleaned = cleaner.removeDuplicates(run);
    });
    rewrites.emplace_back([&] {
        ConfigFile file(run);
        (void)file.setString("[prefs]", "key", "value");
        configHeld = file.heldElsewhere();
        configSaved = file.save();
    });
    rewrites.emplace_back([&] { (void)writeWholeFile(run, "gone", ExistingTarget::Replace, written); });
    for (auto& t : rewrites) t.join();

    EXPECT_EQ(planned, PlanWriteResult::Busy);
    EXPECT_FALSE(cleaned);
    EXPECT_EQ(cleanerPrompter.texts(), std::vector<std::string>{heldFileProblem(run)});
    EXPECT_TRUE(configHeld);
    EXPECT_EQ(configSaved, -1);
    EXPECT_EQ(written, std::errc::device_or_resource_busy);
    EXPECT_EQ(test::readFile(run), before);

    r.writeSample(sampleAt(11));
    ASSERT_TRUE(r.closeAsIs());
    EXPECT_EQ(samplesIn(run).size(), 11U);
    EXPECT_EQ(planWriteMessage(PlanWriteResult::Busy, run, run, 0), heldFileProblem(run));
}

// A plan and a duplicate removal on one file at once: they take turns, so
// the file ends with the plan and without the repeated rows, every time.
TEST_F(RunFileRaces, APlanAndADuplicateRemovalAtOnceBothReachTheFile) {
    const std::string header = "Corvane Text Data File: run.csv\nVersion: 0.1.0\nDate: 2024-01-02\n"
                               "Time: 10:00:00\n\nData Columns:\n" + std::string(kTwoChannelColumns) + "\n";
    const std::string rows = "1, 1, 1, 1, 0.10, 0.1, 0.05, 0.1, 0.05, 1.0\n"
                             "2, 2, 2, 2, 0.10, 0.2, 0.05, 0.2, 0.05, 1.0\n"
                             "3, 3, 3, 3, 0.20, 0.3, 0.15, 0.3, 0.15, 1.0\n"
                             "4, 4, 4, 4, 0.20, 0.4, 0.15, 0.4, 0.15, 1.0\n"
                             "5, 5, 5, 5, 0.30, 0.5, 0.25, 0.5, 0.25, 1.0\n";
    const OverlayPlan plan{{{0.0, 0.3, 3}}, 0};
    for (int round = 0; round < 100; ++round) {
        const auto file = dir.write("run.csv", header + rows);
        test::ScriptedPrompter prompter;
        std::atomic<bool> go{false};
        PlanWriteResult planned = PlanWriteResult::CannotRead;
        bool cleaned = false;
        std::thread planner([&] {
            while (!go.load()) {}
            planned = writeOverlayPlan(file, plan, std::nullopt);
        });
        std::thread cleaner([&] {
            while (!go.load()) {}
            RunFileCleaner c(prompter);
            cleaned = c.removeDuplicates(file);
        });
        go.store(true);
        planner.join();
        cleaner.join();
        ASSERT_EQ(planned, PlanWriteResult::Ok);
        ASSERT_TRUE(cleaned) << ::testing::PrintToString(prompter.texts());
        const auto text = test::readFile(file);
        ASSERT_THAT(text, HasSubstr("[overlay plan]")) << "round " << round;
        ASSERT_EQ(samplesIn(file), (std::vector<std::uint32_t>{1, 3, 5})) << "round " << round;
    }
}

// A row appended to a lost run once it has been copied, while the copy is
// cleaned (by a writer that takes the rewrite lock for it): the source goes
// only if it is as it was copied, so every row is in the rescued file or
// still in the source.
TEST_F(RunFileRaces, ARescueNeverDeletesASourceThatGrewWhileItWasCopied) {
    const std::string header = "Corvane Text Data File: temp_lost.csv\nVersion: 0.1.0\nDate: 2024-01-02\n"
                               "Time: 10:00:00\n\nData Columns:\n" + std::string(kTwoChannelColumns) + "\n";
    const auto row = [](int n) {
        const auto mm = std::to_string(n) + ".00";
        return std::to_string(n) + ", 1, 1, 1, " + mm + ", 0.1, " + mm + ", 0.1, 0.00, 1.0\n";
    };
    std::string rows;
    for (int n = 1; n <= 2000; ++n) rows += row(n);
    // When the row comes (during the rescue, or after it) is the machine's
    // to say; every round holds either way.
    for (int round = 0; round < 100; ++round) {
        const auto source = dir.write("TEMP/temp_lost.csv", header + rows);
        const auto target = dir.path() / "rescued.csv";
        auto partial = target;
        partial += ".part";
        std::atomic<bool> done{false};
        std::atomic<int> appended{2000};
        std::thread writer([&] {
            // Once the copy beside the target is whole, a moment later.
            std::error_code error;
            while (!done.load() && std::filesystem::file_size(partial, error) < header.size() + rows.size() - 20) {
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50 * (round % 40)));
            const EditLock lock(source);
            const int fd = ::open(source.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
            if (fd < 0) return;  // gone: the rescue took it whole
            const auto text = row(2001);
            if (::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
                appended.store(2001);
            }
            ::close(fd);
        });
        test::ScriptedPrompter prompter;
        prompter.scriptFile(target.string());
        TempFolder temp({dir.path(), dir.path() / "TEMP"}, prompter);
        const auto saved = temp.saveCopy(source, "Choose new filename for lost data", true, {}, ExistingTarget::Keep);
        done.store(true);
        writer.join();
        const auto last = static_cast<std::uint32_t>(appended.load());
        if (std::filesystem::exists(source)) {
            EXPECT_EQ(samplesIn(source).back(), last);
        } else {
            ASSERT_TRUE(saved);
            const auto rescued = samplesIn(target);
            ASSERT_FALSE(rescued.empty());
            EXPECT_EQ(rescued.back(), last) << "round " << round << ": the source was deleted, rows after "
                                            << rescued.back() << " are gone";
        }
        std::filesystem::remove(target);
        std::filesystem::remove(source);
    }
}

// Rows a rescue cannot read (a NUL in them) are told by line and keep the
// source: the rescued file does not hold the whole run.
TEST_F(RunFileRaces, ARescueThatLeavesRowsOutSaysWhichAndKeepsTheSource) {
    const std::string header = "Corvane Text Data File: temp_lost.csv\nVersion: 0.1.0\nDate: 2024-01-02\n"
                               "Time: 10:00:00\n\nData Columns:\n" + std::string(kTwoChannelColumns) + "\n";
    const std::string rows = "1, 1, 1, 1, 0.10, 0.1, 0.05, 0.1, 0.05, 1.0\n" +
                             std::string("2, 2, 2, 2, 0.2\0, 0.2, 0.15, 0.2, 0.15, 1.0\n", 44) +
                             "3, 3, 3, 3, 0.30, 0.3, 0.25, 0.3, 0.25, 1.0\n" +
                             std::string("\0\0\0\0\n", 5) +
                             "5, 5, 5, 5, 0.50, 0.5, 0.45, 0.5, 0.45, 1.0\n";
    const auto source = dir.write("TEMP/temp_lost.csv", header + rows);
    const auto target = dir.path() / "rescued.csv";
    test::ScriptedPrompter prompter;
    prompter.scriptFile(target.string());
    TempFolder temp({dir.path(), dir.path() / "TEMP"}, prompter);
    ASSERT_TRUE(temp.saveCopy(source, "Choose new filename for lost data", true, {}, ExistingTarget::Keep));
    EXPECT_EQ(samplesIn(target), (std::vector<std::uint32_t>{1, 3, 5}));
    EXPECT_EQ(test::readFile(source), header + rows);
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{
                  "Choose new filename for lost data",
                  "Warning: 2 rows of " + source.string() + " could not be read and were left out (lines 9, 11).",
                  source.string() + " successfully rescued and saved to: " + target.string(),
                  "The temporary file was kept (rows of it could not be read): " + source.string()}));
}

}  // namespace
}  // namespace corvane
