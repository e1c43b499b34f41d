#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"

namespace corvane {
namespace {

const std::string kCli = std::string(CORVANE_BINARY_DIR) + "/src/cli/corvane-cli";

test::Finished config(std::vector<std::string> args) {
    args.insert(args.begin(), {kCli, "config"});
    return test::runToEnd(std::move(args));
}

TEST(ConfigCommand, GetPrintsValuesInTheStoresFormats) {
    test::TempDir dir;
    const auto file = dir.write("prefs.cfg",
                                "[prefs]\nlastuser Ann Lee\nymax 1.5\ncolors 1 2 3\nspan 2.5 x\n").string();
    EXPECT_EQ(config({"get", file, "[prefs]", "lastuser"}).out, "Ann Lee\n");
    EXPECT_EQ(config({"get", file, "[prefs]", "ymax", "--double"}).out, "1.500000\n");
    EXPECT_EQ(config({"get", file, "[prefs]", "ymax", "--int"}).out, "1\n");
    EXPECT_EQ(config({"get", file, "[prefs]", "colors", "--ints", "2"}).out, "1 2\n");
    EXPECT_EQ(config({"get", file, "[prefs]", "colors", "--ints", "5"}).out, "1 2 3\n");
    EXPECT_EQ(config({"get", file, "[prefs]", "span", "--doubles", "3"}).out, "2.500000\n");

    const auto missing = config({"get", file, "[prefs]", "comport"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(config({"get", file, "[Prefs]", "lastuser"}).exitCode, 1);
}

TEST(ConfigCommand, SetAndRemoveEditTheFileInPlace) {
    test::TempDir dir;
    const auto file = dir.write("prefs.cfg", "[prefs]\ncomport 3\nlastuser Ann\n").string();
    EXPECT_EQ(config({"set", file, "[prefs]", "comport", "12", "--int"}).exitCode, 0);
    EXPECT_EQ(config({"set", file, "[prefs]", "xaxisposrange", "80", "--double"}).exitCode, 0);
    EXPECT_EQ(config({"set", file, "[scan]", "note", "two words"}).exitCode, 0);
    EXPECT_EQ(config({"remove", file, "[prefs]", "lastuser"}).exitCode, 0);
    EXPECT_EQ(dir.read("prefs.cfg"),
              "[prefs]\nxaxisposrange 80.000000\ncomport 12\n[scan]\nnote two words\n");

    EXPECT_EQ(config({"remove", file, "[prefs]", "lastuser"}).exitCode, 1) << "already gone";
    EXPECT_EQ(config({"set", file, "[prefs]", "ymax", "2e30", "--double"}).exitCode, 1);
    EXPECT_EQ(config({"set", file, "[prefs]", "comport", "twelve", "--int"}).exitCode, 2);
    EXPECT_EQ(dir.read("prefs.cfg"),
              "[prefs]\nxaxisposrange 80.000000\ncomport 12\n[scan]\nnote two words\n");
}

TEST(ConfigCommand, NeverCreatesAFileAndExplainsUsage) {
    test::TempDir dir;
    const auto file = (dir / "prefs.cfg").string();
    const auto set = config({"set", file, "[prefs]", "comport", "3", "--int"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_NE(set.err.find("prefs.cfg does not exist (a settings file is never created)"), std::string::npos)
        << set.err;
    EXPECT_FALSE(dir.exists("prefs.cfg"));

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{}, {"get", file, "[prefs]"}, {"frob", file, "a", "b"},
          {"get", file, "[prefs]", "k", "--ints"}, {"get", file, "[prefs]", "k", "--int", "--double"},
          {"set", file, "[prefs]", "k", "1", "--ints", "2"}, {"remove", file, "[prefs]", "k", "--int"}}) {
        const auto run = config(wrong);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.rfind("usage: corvane-cli config", 0), 0u);
    }
}

// Only what reads as a settings file is rewritten: binary data, wide text
// and run files are refused whole, and a section is named with its brackets
// unless the file has it bare (as the rotor list's makers are).
TEST(ConfigCommand, ChangesOnlyFilesThatReadAsSettingsFiles) {
    test::TempDir dir;
    const std::string junk("\x7f" "ELF\x02\x01\r\n\x00\x00 k 1\r\n", 16);
    const std::string wide("\xff\xfe[\x00p\x00]\x00\n\x00", 10);
    const std::string run = "Corvane Text Data File: run.csv\nVersion: 0.1.0\n\nData Columns:\n"
                            "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, "
                            "ratioA/B\n1, 1, 1, 1, 0.10, 0.1, 0.05, 0.1, 0.05, 1.0\n";
    for (const auto& [name, content, why] :
         {std::tuple{"junk.bin", junk, "it holds binary data or wide text"},
          {"wide.cfg", wide, "it holds binary data or wide text"},
          {"run.csv", run, "it is a run file"}}) {
        const auto file = dir.write(name, content);
        const auto set = config({"set", file.string(), "[prefs]", "k", "2"});
        EXPECT_EQ(set.exitCode, 1) << name;
        EXPECT_NE(set.err.find("does not read as a settings file (" + std::string(why) + "); it was not changed"),
                  std::string::npos)
            << set.err;
        EXPECT_EQ(config({"remove", file.string(), "[prefs]", "k"}).exitCode, 1);
        EXPECT_EQ(test::readFile(file), content) << name;
    }

    const auto prefs = dir.write("prefs.cfg", "[prefs]\nk 1\n");
    const auto bare = config({"set", prefs.string(), "prefs", "k", "2"});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_NE(bare.err.find("a section is written with its brackets (\"[prefs]\")"), std::string::npos) << bare.err;
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\nk 1\n");
    const auto rotors = dir.write("rotors.txt", "Maker\nR1 20.0 109.0 0.433\n");
    EXPECT_EQ(config({"set", rotors.string(), "Maker", "R2", "20.0 71.0 0.098"}).exitCode, 0);
    EXPECT_EQ(dir.read("rotors.txt"), "Maker\nR2 20.0 71.0 0.098\nR1 20.0 109.0 0.433\n");

    // Far beyond any settings file: said so, not "cannot read".
    const auto huge = dir.write("huge.cfg", "[prefs]\n");
    std::filesystem::resize_file(huge, (16u << 20) + 1);
    const auto get = config({"get", huge.string(), "[prefs]", "k"});
    EXPECT_EQ(get.exitCode, 1);
    EXPECT_NE(get.err.find("is larger than 16 MiB, too large for a settings file"), std::string::npos) << get.err;
}

TEST(ConfigCommand, ChangesRespectReadOnlyFilesLinksAndPipes) {
    test::TempDir dir;
    const auto locked = dir.write("locked.cfg", "[prefs]\nk 1\n");
    ::chmod(locked.c_str(), 0444);
    for (const std::vector<std::string>& change :
         {std::vector<std::string>{"set", locked.string(), "[prefs]", "k", "2"},
          {"remove", locked.string(), "[prefs]", "k"}}) {
        const auto run = config(change);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "corvane-cli config: Error, the file is read-only; it was not changed: " +
                               locked.string() + "\n");
    }
    EXPECT_EQ(dir.read("locked.cfg"), "[prefs]\nk 1\n");
    struct stat info {};
    ASSERT_EQ(::stat(locked.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);

    const auto real = dir.write("real.cfg", "[prefs]\nk 1\n");
    const auto link = dir.path() / "link.cfg";
    std::filesystem::create_symlink(real, link);
    EXPECT_EQ(config({"set", link.string(), "[prefs]", "k", "2"}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(dir.read("real.cfg"), "[prefs]\nk 2\n");

    // A pipe is neither waited on nor replaced (the time limit turns a wait
    // into a failure).
    const auto pipe = dir.path() / "pipe.cfg";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    for (const char* verb : {"get", "set"}) {
        auto args = std::vector<std::string>{"/usr/bin/timeout", "60", kCli, "config", verb, pipe.string(), "[prefs]", "k"};
        if (verb == std::string("set")) args.push_back("1");
        EXPECT_EQ(test::runToEnd(args).exitCode, 1) << verb;
    }
    EXPECT_EQ(std::filesystem::status(pipe).type(), std::filesystem::file_type::fifo);
}

TEST(ConfigCommand, ASetRemovesWhatAKilledOneLeftBehind) {
    test::TempDir dir;
    const auto file = dir.write("prefs.cfg", "[prefs]\nk 1\n");
    const auto leftover = dir.write(".prefs.cfg.replacing-Qw3Rt5", "[prefs]\nk");
    std::filesystem::last_write_time(
        leftover, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1));
    EXPECT_EQ(config({"set", file.string(), "[prefs]", "k", "2"}).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\nk 2\n");
}

TEST(ConfigCommand, SetsFromManyProgramsAtOnceLoseNoKey) {
    test::TempDir dir;
    const auto file = dir.write("prefs.cfg", "[prefs]\n").string();
    constexpr int kPrograms = 12;
    std::vector<std::unique_ptr<test::ChildProcess>> programs;
    for (int i = 0; i < kPrograms; ++i) {
        programs.push_back(std::make_unique<test::ChildProcess>(std::vector<std::string>{
            kCli, "config", "set", file, "[prefs]", "key" + std::to_string(i), std::to_string(i)}));
    }
    for (auto& program : programs) {
        EXPECT_EQ(program->wait(), 0);
    }
    const auto text = dir.read("prefs.cfg");
    for (int i = 0; i < kPrograms; ++i) {
        EXPECT_NE(text.find("key" + std::to_string(i) + " " + std::to_string(i) + "\n"),
                  std::string::npos)
            << text;
    }
}

}  // namespace
}  // namespace corvane
