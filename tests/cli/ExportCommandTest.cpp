#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"
#include "base/TextFormat.h"

namespace corvane {
namespace {

const std::string kCli = std::string(CORVANE_BINARY_DIR) + "/src/cli/corvane-cli";

test::Finished cli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    return test::runToEnd(std::move(args));
}

// A two-channel run of `rows` samples 0.1 mm apart with one Abs A peak.
std::string run(int rows, int peakAt) {
    std::string text =
        "Corvane Text Data File: r.csv\nVersion: 1\nDate: 2024-05-06\nTime: 10:00:00\n\n"
        "pC: 150\nSample Interval: 50 ms\nA:B Duty Cycle: 60:40\nSamples/mm: 20.00\n"
        "Scan Speed: 1.00 mm/sec\nScan Distance: 85.0 mm\n\nData Columns:\n"
        "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < rows; ++i) {
        text += formatText("1000, 500, 900, 450, %.2f, %.6f, %.2f, 0.400000, %.2f, 1.0\n", 0.1 * i,
                           i == peakAt ? 2.0 : 0.01 * (i % 5), 0.1 * i + 0.05, 0.1 * i + 0.05);
    }
    return text;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

class ExportCommand : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string a = dir.write("a.csv", run(20, 5)).string();
    std::string b = dir.write("b.csv", run(15, 8)).string();
    std::string c = dir.write("c.csv", run(10, 2)).string();
    std::string out = (dir / "out.csv").string();
};

TEST_F(ExportCommand, WritesOffsetsGivenOrFoundByTheAlignSearch) {
    const auto given = cli({"export", "-o", out, "--offset", "9", "--offset", "-2", "--offset", "3.7", a, b, c});
    ASSERT_EQ(given.exitCode, 0) << given.err;
    EXPECT_EQ(given.out, "Data exported successfully to: " + out + "\n");
    const auto file = lines(dir.read("out.csv"));
    ASSERT_GT(file.size(), 25u);
    EXPECT_EQ(file[1], "Corvane Files Exported: a.csv, b.csv, c.csv");
    EXPECT_EQ(file[3], "a.csv: 0 samples") << "the reference counts as 0";
    EXPECT_EQ(file[4], "b.csv: -2 samples");
    EXPECT_EQ(file[5], "c.csv: 4 samples") << "3.7 samples is 4 to the nearest sample";
    EXPECT_EQ(file[10], "Piston Speed (mm/sec), 1.00, 1.00, 1.00");
    EXPECT_EQ(file[23], "Distance(mm), a.csv_Absorbance, b.csv_Absorbance, c.csv_Absorbance");
    EXPECT_EQ(file[24], ", , 0.000000, ") << "b starts two rows before the reference";

    // b's peak is 3 samples after a's, c's 3 before: aligned, they share a row.
    const auto aligned = cli({"export", "-o", (dir / "aligned.csv").string(), "--align", a, b, c});
    ASSERT_EQ(aligned.exitCode, 0) << aligned.err;
    const auto alignedFile = lines(dir.read("aligned.csv"));
    EXPECT_EQ(alignedFile[4], "b.csv: -3 samples");
    EXPECT_EQ(alignedFile[5], "c.csv: 3 samples");
    const auto peakRow = std::find_if(alignedFile.begin() + 23, alignedFile.end(),
                                      [](const std::string& l) { return l.find("2.000000") != std::string::npos; });
    ASSERT_NE(peakRow, alignedFile.end());
    EXPECT_EQ(*peakRow, "0.50, 2.000000, 2.000000, 2.000000");

    // A window beyond c's end (it reaches 0.9 mm): nothing is written.
    const auto none = cli({"export", "-o", (dir / "none.csv").string(), "--align", "--x", "mm", "--from", "1.2", "--to", "1.9", a,
                           b, c});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no peak in the window: " + c), std::string::npos) << none.err;
    EXPECT_FALSE(dir.exists("none.csv"));
}

TEST_F(ExportCommand, RefusesWhatItCannotDoAndLeavesNothingBehind) {
    const auto five = cli({"export", "-o", out, a, b, c, a, b});
    EXPECT_EQ(five.exitCode, 2);
    EXPECT_NE(five.err.find("2 to 4 runs, 5 given"), std::string::npos) << five.err;
    EXPECT_EQ(cli({"export", "-o", out, a}).exitCode, 2);
    EXPECT_EQ(cli({"export", "-o", out, "--offset", "1", "--offset", "2", "--offset", "3", a, b}).exitCode, 2);
    EXPECT_EQ(cli({"export", "-o", out, "--align", "--offset", "1", a, b}).exitCode, 2);
    EXPECT_EQ(cli({"export", "-o", out, "--from", "1", "--to", "2", a, b}).exitCode, 2) << "a window without --align";

    const auto missing = cli({"export", "-o", out, a, (dir / "gone.csv").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Error, unable to open file: " + (dir / "gone.csv").string()), std::string::npos);

    const auto notRun = cli({"export", "-o", out, a, dir.write("notes.txt", "hello\n").string()});
    EXPECT_EQ(notRun.exitCode, 1);
    EXPECT_NE(notRun.err.find("unable to find header"), std::string::npos);

    ASSERT_EQ(cli({"export", "-o", (dir / "first.csv").string(), a, b}).exitCode, 0);
    const auto bundled = cli({"export", "-o", out, (dir / "first.csv").string(), c});
    EXPECT_EQ(bundled.exitCode, 1);
    EXPECT_NE(bundled.err.find("is an exported Corvane file. It cannot be compared"), std::string::npos);

    const auto noFolder = cli({"export", "-o", (dir / "a.csv" / "x.csv").string(), a, b});
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_NE(noFolder.err.find("the folder to write into does not exist"), std::string::npos) << noFolder.err;
    const auto locked = dir / "locked";
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0555);
    if (::geteuid() != 0) {
        const auto unwritable = cli({"export", "-o", (locked / "x.csv").string(), a, b});
        EXPECT_EQ(unwritable.exitCode, 1);
        EXPECT_NE(unwritable.err.find("no permission to write"), std::string::npos) << unwritable.err;
    }
    ::chmod(locked.c_str(), 0755);
    EXPECT_TRUE(std::filesystem::is_empty(locked));
    EXPECT_FALSE(dir.exists("out.csv"));

    // The same output twice: the second is refused, the first kept, unless --force.
    const auto first = dir.read("first.csv");
    const auto again = cli({"export", "-o", (dir / "first.csv").string(), "--offset", "0", "--offset", "4", a, b});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("already exists; give --force"), std::string::npos);
    EXPECT_EQ(dir.read("first.csv"), first);
    EXPECT_EQ(cli({"export", "-o", (dir / "first.csv").string(), "--force", "--offset", "0", "--offset", "4", a, b})
                  .exitCode,
              0);
    EXPECT_NE(dir.read("first.csv").find("b.csv: 4 samples"), std::string::npos);

    // Never over one of its own runs, --force or not.
    const auto runA = test::readFile(a);
    const auto overInput = cli({"export", "--force", "-o", a, a, b});
    EXPECT_EQ(overInput.exitCode, 1);
    EXPECT_NE(overInput.err.find("is one of the files this command reads"), std::string::npos) << overInput.err;
    EXPECT_EQ(test::readFile(a), runA);
}

TEST_F(ExportCommand, InfoSummarisesManyFilesOneJsonLineEach) {
    const auto missing = (dir / "gone.csv").string();
    const auto result = cli({"info", "--json", a, missing, b});
    EXPECT_EQ(result.exitCode, 1) << "a file could not be read";
    const auto objects = lines(result.out);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_TRUE(objects[0].starts_with("{\"file\":\"" + a + "\",\"layout\":\"two_channel\""));
    EXPECT_NE(objects[0].find("\"samples\":20}"), std::string::npos);
    EXPECT_EQ(objects[1], "{\"file\":\"" + missing + "\",\"error\":\"Error, unable to open file: " + missing + "\"}");
    EXPECT_NE(objects[2].find("\"samples\":15}"), std::string::npos);

    const auto text = cli({"info", a, b});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("samples: 20\nformat: corvane\nx_unit: mm\ny_unit: AU\nmarks: 0\n\nfile: " + b),
              std::string::npos)
        << text.out;
}

}  // namespace
}  // namespace corvane
