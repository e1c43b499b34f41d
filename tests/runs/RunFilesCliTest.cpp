#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "TempDir.h"
#include "runs/RunDataFile.h"

namespace corvane {
namespace {

const std::filesystem::path kFixtures = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs";
const std::string kCli = std::string(CORVANE_BINARY_DIR) + "/src/cli/corvane-cli";

struct Result {
    int exit = -1;
    std::string out;
    std::string err;
};

class RunFilesCli : public ::testing::Test {
protected:
    Result run(const std::string& arguments) {
        const auto errFile = dir.path() / "stderr.txt";
        const auto command = "cd '" + dir.str() + "' && '" + kCli + "' " + arguments + " 2>'" +
                             errFile.string() + "'";
        Result result;
        std::FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return result;
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
        const int status = pclose(pipe);
        result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.err = test::readFile(errFile);
        return result;
    }
    static std::string fixture(const char* name) { return "'" + (kFixtures / name).string() + "'"; }

    test::TempDir dir;
};

TEST_F(RunFilesCli, InfoJsonIsOneObjectWithSnakeCaseKeysAndNullForNaN) {
    const auto result = run("info --json --rows " + fixture("six_column.csv"));
    EXPECT_EQ(result.exit, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"file\":\"" + (kFixtures / "six_column.csv").string() +
                  "\",\"layout\":\"six_column\",\"title\":\"six.csv\",\"version\":\"1.2\","
                  "\"date\":null,\"time\":null,\"experiment\":\"\",\"user\":\"\",\"uv_unit\":\"\","
                  "\"rotor_manufacturer\":\"\",\"rotor_model\":\"\",\"gradient\":null,"
                  "\"volume_per_mm\":null,\"de1\":null,\"samples\":2,\"rows\":["
                  "{\"sample_a\":100,\"source_a\":50,\"sample_b\":200,\"source_b\":100,"
                  "\"absorbance_a\":0.25,\"absorbance_b\":0.5,\"ratio\":0.55,\"position_a\":0,"
                  "\"position_b\":0},"
                  "{\"sample_a\":101,\"source_a\":51,\"sample_b\":201,\"source_b\":101,"
                  "\"absorbance_a\":0.3,\"absorbance_b\":0.6,\"ratio\":0,\"position_a\":0,"
                  "\"position_b\":0}]}\n");

    const auto two = run("info --json --rows " + fixture("two_channel.csv"));
    EXPECT_NE(two.out.find("\"gradient\":{\"name\":\"Sucrose\",\"start_percent\":10,"
                           "\"end_percent\":50,\"units\":\"w/v\"}"),
              std::string::npos);
    EXPECT_NE(two.out.find("\"ratio\":null"), std::string::npos);

    const auto em1 = run("info --json --rows " + fixture("em1.csv"));
    EXPECT_NE(em1.out.find("\"trigger\":\"event\",\"delay\":\"event_with_delay\""), std::string::npos);
    EXPECT_NE(em1.out.find("{\"distance\":10.05,\"absorbance\":null,\"fraction\":\"A\","
                           "\"volume\":1,\"event\":true}"),
              std::string::npos);
}

TEST_F(RunFilesCli, InfoTextShowsTheHeaderAndTheRows) {
    const auto result = run("info --rows " + fixture("two_channel.csv"));
    EXPECT_EQ(result.exit, 0);
    EXPECT_NE(result.out.find("layout: two_channel\n"), std::string::npos);
    EXPECT_NE(result.out.find("date: 2023-11-07\ntime: 14:05:09\nexperiment: Polysome profile 3\n"
                              "user: Ann Lee\nrotor: Beckman SW41Ti\n"
                              "gradient: Sucrose 10.0% to 50.0% w/v\nsamples: 4\n"),
              std::string::npos);
    EXPECT_NE(result.out.find("1020, 510, 920, 460, 0.600000, 0.300000, 1.666667, 1.30, 1.25\n"),
              std::string::npos);
}

TEST_F(RunFilesCli, FailuresAndMisuseHaveTheirExitCodes) {
    const auto noHeader = run("info " + fixture("no_header.csv"));
    EXPECT_EQ(noHeader.exit, 1);
    EXPECT_EQ(noHeader.err, "Error, unable to find header in file: " + (kFixtures / "no_header.csv").string() + "\n");
    EXPECT_EQ(run("info missing.csv").exit, 1);
    EXPECT_EQ(run("info").exit, 2);
    EXPECT_EQ(run("info --csv x.csv").exit, 2);
    EXPECT_EQ(run("dedupe").exit, 2);
    EXPECT_EQ(run("rescue x.csv").exit, 2);
    EXPECT_EQ(run("dedupe missing.csv").exit, 1);
}

TEST_F(RunFilesCli, DedupeAndRescueCleanAsTheProgramDoes) {
    const std::string header = "Corvane Text Data File: temp.csv\nDate: 2024-1-1\nTime: 1:02:03\n\n"
                               "Data Columns:\n" + std::string(kTwoChannelColumns) + "\n";
    const std::string rows = "1, 1, 1, 1, 0.10, 0.1, 0.05, 0.1, 0.05, 1\n"
                             "2, 2, 2, 2, 0.10, 0.1, 0.05, 0.1, 0.05, 1\n"
                             "3, 3, 3, 3, 0.20, 0.1, 0.15, 0.1, 0.15, 1\n";
    dir.write("run.csv", header + rows);
    const auto dedupe = run("dedupe run.csv");
    EXPECT_EQ(dedupe.exit, 0) << dedupe.err;
    RunDataFile cleaned;
    ASSERT_EQ(cleaned.read(dir / "run.csv"), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(cleaned.samples().size(), 2U);

    dir.write("TEMP/temp_lost.csv", header + rows);
    const auto rescue = run("rescue TEMP/temp_lost.csv -o saved.csv");
    EXPECT_EQ(rescue.exit, 0) << rescue.err;
    EXPECT_EQ(rescue.out, "TEMP/temp_lost.csv successfully rescued and saved to: saved.csv\n");
    EXPECT_FALSE(dir.exists("TEMP/temp_lost.csv"));
    const auto saved = dir.read("saved.csv");
    EXPECT_EQ(saved.substr(0, saved.find('\n')), "Corvane Text Data File: saved.csv");
    ASSERT_EQ(cleaned.read(dir / "saved.csv"), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(cleaned.samples().size(), 2U);

    dir.write("notes.csv", "just notes\n");
    const auto refused = run("dedupe notes.csv");
    EXPECT_EQ(refused.exit, 1);
    EXPECT_EQ(refused.err, "Invalid data header found in file: notes.csv\n");
    EXPECT_EQ(dir.read("notes.csv"), "just notes\n");
}

}  // namespace
}  // namespace corvane
