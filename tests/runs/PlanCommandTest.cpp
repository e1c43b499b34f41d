#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"
#include "base/TextFormat.h"
#include "runs/OverlayPlanBlock.h"
#include "runs/OverlayPlanRules.h"
#include "runs/RunDataFile.h"

namespace corvane {
namespace {

const std::string kCli = std::string(CORVANE_BINARY_DIR) + "/src/cli/corvane-cli";

std::string header(bool de1Lines) {
    std::string text =
        "Corvane Text Data File: run.csv\nVersion: 0.1.0\nDate: 2026-01-05\nTime: 10:00:00\n\n"
        "User: Ann\nExperiment name: liver\nUV Unit: Dual Wavelength\nRotor Manufacturer: \nRotor Model: \n"
        "Speed:  rpm\nGradient: \nTime: \nw2t:  x 10^0\nSample Volume:  ml\nNumber of Tubes: 1\n"
        "Volume per mm: 0.143 ml/mm\nTemperature: 4.0 deg C\n\n";
    if (de1Lines) {
        text += "Distance: 3.00 mm\nNumber: 12\nTotal Distance: 36.00 mm\n";
    }
    return text + "\nData Columns:\n"
                  "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
}

std::string rows(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += formatText("%d, %d, %d, %d, %.2f, %.6f, %.2f, %.6f, %.2f, %.6f\n", 1000 + i, 2000, 1100 + i, 2100,
                           i * 0.05, 0.1 + i * 1e-5, i * 0.05 + 0.02, 0.2, i * 0.05 + 0.02, 0.5);
    }
    return text;
}

std::string dataOf(const std::string& text) { return text.substr(text.find("Data Columns:")); }

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class PlanCommand : public ::testing::Test {
protected:
    test::Finished plan(std::vector<std::string> args) {
        args.insert(args.begin(), {kCli, "plan", run.string()});
        return test::runToEnd(std::move(args));
    }

    test::TempDir dir;
    std::filesystem::path run = dir / "SR-liver.csv";
};

TEST_F(PlanCommand, WritesOneBlockAndTheHeaderLinesLeavingTheRowsAlone) {
    const std::string original = header(true) + rows(50);
    dir.write("SR-liver.csv", original);
    const auto args = std::vector<std::string>{"--zone", "0", "10", "4", "--zone", "10", "30", "2", "--limit", "5"};
    for (int pass = 0; pass < 2; ++pass) {
        const auto done = plan(args);
        ASSERT_EQ(done.exitCode, 0) << done.err;
    }
    const std::string text = test::readFile(run);
    EXPECT_EQ(count(text, "[overlay plan]"), 1u);
    EXPECT_NE(text.find("\nDistance: 10.00 mm\nNumber: 6\nTotal Distance: 30.00 mm\n"), std::string::npos);
    EXPECT_NE(text.find("[overlay plan]\nnumzones 2\nzone001 0.00 10.00 4\nzone002 10.00 30.00 2\nautofrac 0\n\n"
                        "Data Columns:"),
              std::string::npos);
    EXPECT_EQ(dataOf(text), dataOf(original));
    RunDataFile read;
    EXPECT_EQ(read.read(run), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(read.sampleCount(), 50u);

    // info reports the plan with each zone's fraction.
    const auto info = test::runToEnd({kCli, "info", "--json", run.string()});
    EXPECT_NE(info.out.find("\"overlay_plan\":{\"zones\":[{\"start\":0,\"end\":10,\"fractions\":4,"
                            "\"fraction_distance\":2.5,\"fraction_volume\":0.3575},"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("\"autofrac\":0}"), std::string::npos);
}

TEST_F(PlanCommand, HeaderLinesAreOnlyRewrittenWhereTheRunHasThem) {
    dir.write("SR-liver.csv", header(false) + rows(3));
    ASSERT_EQ(plan({"--zone", "0", "5", "1", "--autofrac", "1"}).exitCode, 0);
    const std::string text = test::readFile(run);
    EXPECT_EQ(text.find("Distance:"), std::string::npos);
    EXPECT_EQ(text.find("Number:"), std::string::npos);
    EXPECT_NE(text.find("autofrac 1\n"), std::string::npos);
}

TEST_F(PlanCommand, RefusedPlansLeaveTheFileAsItWas) {
    const std::string original = header(true) + rows(3);
    dir.write("SR-liver.csv", original);
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--zone", "0", "10", "2", "--limit", "0.5"},
         "The collection limit of 0.50 ml was exceeded in the following zones:\nZone 1 requires 0.71 ml per "
         "fraction."},
        {{"--zone", "0", "10", "100", "--limit", "50"}, "Number of fractions must be 99 or less."},
        {{"--zone", "0", "10", "2", "--zone", "10", "8", "1"},
         "End position is less than start position for zone #2."},
        {{"--zone", "0", "ten", "2"}, "Invalid end position for zone #1."},
        {{"--zone", "0", "10", "2", "--zone", "11", "20", "1"}, "zone 2 starts at \"11\", but it must start at 10.00 mm"},
        {{"--zone", "1", "10", "2"}, "zone 1 starts at \"1\", but it must start at 0.00 mm"},
        {{"--zone", "0", "10", "2", "--volume-per-mm", "0"}, "Invalid volume per mm."},
    };
    for (const auto& c : cases) {
        const auto done = plan(c.args);
        EXPECT_EQ(done.exitCode, 1) << c.message;
        EXPECT_NE(done.err.find(c.message), std::string::npos) << done.err;
        EXPECT_EQ(test::readFile(run), original) << c.message;
    }
    // autofrac 1 passes the same plan the limit refused.
    EXPECT_EQ(plan({"--zone", "0", "10", "2", "--limit", "0.5", "--autofrac", "1"}).exitCode, 0);

    const auto notARun = test::runToEnd({kCli, "plan", dir.write("notes.txt", "hello\n").string(), "--zone",
                                         "0", "1", "1"});
    EXPECT_EQ(notARun.exitCode, 1);
    EXPECT_NE(notARun.err.find("Error, unable to find header in file:"), std::string::npos);
    const auto missing = test::runToEnd({kCli, "plan", (dir / "none.csv").string(), "--zone", "0", "1", "1"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(test::runToEnd({kCli, "plan", run.string()}).exitCode, 2);  // no zone
}

TEST_F(PlanCommand, ARunThatNamesNoTubeSaysHowToGiveItsVolumePerMm) {
    std::string text = header(false) + rows(3);
    text.replace(text.find("Volume per mm: 0.143 ml/mm\n"), 27, "");
    dir.write("SR-liver.csv", text);
    const auto refused = plan({"--zone", "0", "10", "2"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "corvane-cli plan: Invalid volume per mm. " + run.string() +
                               " names no volume per mm of its tube: give it with --volume-per-mm V (ml per mm of "
                               "tube height).\n");
    EXPECT_EQ(test::readFile(run), text);
    EXPECT_EQ(plan({"--zone", "0", "10", "2", "--volume-per-mm", "0.1"}).exitCode, 0);
}

// A process rewriting the plan again and again, killed at random points:
// each time the run is whole, with one plan or the other, its rows
// untouched, and the command that comes next succeeds with nothing of the
// killed write left behind.
TEST_F(PlanCommand, KilledRewriteLeavesTheOldRunOrTheNewOne) {
    // Large enough that one rewrite takes a while to read, write and sync.
    const std::string original = header(true) + rows(60000);
    dir.write("SR-liver.csv", original);
    const std::array<OverlayPlan, 2> plans = {OverlayPlan{{{0, 10, 4}}, 0},
                                              OverlayPlan{{{0, 10, 2}, {10, 30, 5}}, 0}};
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(writeOverlayPlan(run, plans[0], std::nullopt), PlanWriteResult::Ok);
    const auto oneRewrite = std::chrono::steady_clock::now() - began;

    std::mt19937 random(16);
    std::array<int, 2> seen{};
    for (int trial = 0; trial < 20; ++trial) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            for (std::size_t k = 1;; ++k) {
                (void)writeOverlayPlan(run, plans[k % 2], planHeaderLines(plans[k % 2]));
                if (k == 1) {
                    (void)!::write(ready[1], "r", 1);
                }
            }
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);  // it has rewritten once and goes on
        ::close(ready[0]);
        // Any moment passes the test; the spread lands the kills in
        // different parts of a rewrite.
        std::this_thread::sleep_for(oneRewrite * std::uniform_real_distribution<double>(0.0, 3.0)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        const std::string text = test::readFile(run);
        const auto read = readOverlayPlan(text);
        ASSERT_TRUE(read.plan == plans[0] || read.plan == plans[1]) << "trial " << trial;
        seen[read.plan == plans[0] ? 0 : 1] += 1;
        EXPECT_EQ(count(text, "[overlay plan]"), 1u);
        ASSERT_EQ(dataOf(text), dataOf(original)) << "trial " << trial;
        RunDataFile whole;
        EXPECT_EQ(whole.read(run), RunDataFile::ReadStatus::Ok);
        EXPECT_EQ(whole.sampleCount(), 60000u);
    }
    RecordProperty("first_plan", seen[0]);
    RecordProperty("second_plan", seen[1]);

    // The next save goes through. A killed write's temporary file is kept
    // for two seconds (its writer could still be between creating and
    // locking it); once older, the next save removes it.
    ASSERT_EQ(plan({"--zone", "0", "10", "2", "--limit", "50"}).exitCode, 0);
    const auto longAgo = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path() != run) {
            EXPECT_TRUE(entry.path().filename().string().starts_with(".SR-liver.csv.replacing-")) << entry.path();
            std::filesystem::last_write_time(entry.path(), longAgo);
        }
    }
    ASSERT_EQ(plan({"--zone", "0", "10", "3", "--limit", "50"}).exitCode, 0);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"SR-liver.csv"});
}

}  // namespace
}  // namespace corvane
