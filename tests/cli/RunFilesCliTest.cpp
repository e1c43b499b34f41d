#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>
#include <string>

#include "TempDir.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCopy.h"

namespace corvane {
namespace {

using test::namesIn;

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
        // A reader that waits on a pipe or a device would hang the test; the
        // time limit turns that into a failure (exit 124).
        const auto command = "cd '" + dir.str() + "' && timeout 60 '" + kCli + "' " + arguments +
                             " 2>'" + errFile.string() + "'";
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
                  "\",\"layout\":\"six_column\",\"format\":\"corvane\",\"title\":\"six.csv\",\"version\":\"1.2\","
                  "\"date\":null,\"time\":null,\"experiment\":\"\",\"user\":\"\",\"uv_unit\":\"\","
                  "\"rotor_manufacturer\":\"\",\"rotor_model\":\"\",\"gradient\":null,"
                  "\"volume_per_mm\":null,\"rotor_speed_krpm\":null,\"spin_time\":null,\"w2t\":null,"
                  "\"sample_volume_ml\":null,\"number_of_tubes\":null,\"temperature\":null,"
                  "\"unit_settings\":null,\"de1\":null,\"overlay_plan\":null,\"collected_fractions\":null,"
                  "\"x_unit\":\"mm\",\"y_unit\":\"AU\",\"marks\":[],\"samples\":2,\"rows\":["
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

const std::string kRunHeader = "Corvane Text Data File: temp.csv\nDate: 2024-1-1\nTime: 1:02:03\n\n"
                               "Data Columns:\n" + std::string(kTwoChannelColumns) + "\n";
const std::string kRows = "1, 1, 1, 1, 0.10, 0.1, 0.05, 0.1, 0.05, 1\n"
                          "2, 2, 2, 2, 0.10, 0.1, 0.05, 0.1, 0.05, 1\n"
                          "3, 3, 3, 3, 0.20, 0.1, 0.15, 0.1, 0.15, 1\n";

TEST_F(RunFilesCli, OnlyRegularFilesAreReadAndNothingWaitsOnAPipeOrADevice) {
    ASSERT_EQ(::mkfifo((dir / "pipe.csv").c_str(), 0644), 0);
    std::filesystem::create_directory(dir / "folder.csv");
    for (const char* command : {"info", "dedupe", "rescue"}) {
        for (const std::string file : {"pipe.csv", "/dev/zero", "/dev/urandom", "folder.csv"}) {
            const auto result = run(std::string(command) + " " + file +
                                    (command == std::string("rescue") ? " -o out.csv" : ""));
            EXPECT_EQ(result.exit, 1) << command << " " << file;
            EXPECT_EQ(result.err.rfind(std::string("corvane-cli ") + command + ": ", 0), 0u)
                << result.err;
            EXPECT_NE(result.err.find(file), std::string::npos) << result.err;
        }
    }
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"folder.csv", "pipe.csv", "stderr.txt"}));

    // Larger than any run (sparse: no room taken): refused before its rows
    // fill the memory.
    std::filesystem::resize_file(dir.write("huge.csv", ""), kMaxRunFileBytes + 1);
    const auto huge = run("info huge.csv");
    EXPECT_EQ(huge.exit, 1);
    EXPECT_EQ(huge.err, "corvane-cli info: larger than 1024 MB, too large for a run file: huge.csv\n");
}

TEST_F(RunFilesCli, RescueChecksFirstCopiesSecondAndDeletesLast) {
    // Nothing a rescue cannot clean is copied, and its source stays.
    dir.write("TEMP/junk.csv", "junk\n");
    dir.write("TEMP/export.csv", "Corvane Export File\nrun1.csv, 0\n");
    dir.write("TEMP/one_line.csv", std::string(2 << 20, 'x'));
    for (const char* lost : {"TEMP/junk.csv", "TEMP/export.csv", "TEMP/one_line.csv"}) {
        const auto result = run(std::string("rescue ") + lost + " -o saved.csv");
        EXPECT_EQ(result.exit, 1) << lost;
        EXPECT_EQ(result.err, std::string("Invalid data header found in file: ") + lost + "\n");
        EXPECT_TRUE(dir.exists(lost));
    }
    EXPECT_FALSE(dir.exists("saved.csv"));

    // A file at the target is replaced only when asked to.
    dir.write("TEMP/temp_lost.csv", kRunHeader + kRows);
    dir.write("saved.csv", "somebody's run\n");
    const auto refused = run("rescue TEMP/temp_lost.csv -o saved.csv");
    EXPECT_EQ(refused.exit, 1);
    EXPECT_EQ(refused.err, "corvane-cli rescue: saved.csv already exists; give --force to replace it\n");
    EXPECT_EQ(dir.read("saved.csv"), "somebody's run\n");
    EXPECT_TRUE(dir.exists("TEMP/temp_lost.csv"));
    const auto forced = run("rescue TEMP/temp_lost.csv -o saved.csv --force");
    EXPECT_EQ(forced.exit, 0) << forced.err;
    EXPECT_FALSE(dir.exists("TEMP/temp_lost.csv"));
    RunDataFile saved;
    ASSERT_EQ(saved.read(dir / "saved.csv"), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(saved.header().fileTitle, "saved.csv");
    EXPECT_EQ(saved.samples().size(), 2U);

    // A run written with lone CRs (older desktop systems) is rescued whole.
    auto crOnly = kRunHeader + kRows;
    std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
    dir.write("TEMP/temp_old.csv", crOnly);
    const auto old = run("rescue TEMP/temp_old.csv -o old.csv");
    EXPECT_EQ(old.exit, 0) << old.err;
    ASSERT_EQ(saved.read(dir / "old.csv"), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(saved.header().fileTitle, "old.csv");
    EXPECT_EQ(saved.samples().size(), 2U);
    EXPECT_EQ(namesIn(dir / "TEMP"),
              (std::vector<std::string>{"export.csv", "junk.csv", "one_line.csv"}));
}

// What a command says is what happened: a file far beyond any run is too
// large (not missing, not unreadable), a path too long for the file system
// is too long (not a missing folder), a name's line break is shown as its
// code, and no output is one of the command's inputs.
TEST_F(RunFilesCli, MessagesSayWhatIsWrongWithTheFile) {
    const auto big = dir.write("big.csv", kRunHeader + kRows);
    std::filesystem::resize_file(big, std::uintmax_t{2} << 30);  // sparse: no disk taken
    for (const char* command :
         {"plan big.csv --zone 0 5 5 --limit 100", "export -o e.csv big.csv big.csv", "align big.csv big.csv",
          "info big.csv"}) {
        const auto result = run(command);
        EXPECT_EQ(result.exit, 1) << command;
        EXPECT_NE(result.err.find("larger than 1024 MB, too large for a run file: big.csv"), std::string::npos)
            << command << ": " << result.err;
    }

    dir.write("TEMP/temp_lost.csv", kRunHeader + kRows);
    const std::string deep(4100, 'd');
    const auto tooLong = run("rescue TEMP/temp_lost.csv -o " + deep + "/x.csv");
    EXPECT_EQ(tooLong.exit, 1);
    EXPECT_NE(tooLong.err.find("Error, the path is too long (at most 4088 bytes with its folders)"),
              std::string::npos)
        << tooLong.err.substr(0, 200);

    const auto self = run("rescue TEMP/temp_lost.csv -o TEMP/temp_lost.csv --force");
    EXPECT_EQ(self.exit, 1);
    EXPECT_NE(self.err.find("is one of the files this command reads"), std::string::npos) << self.err;
    EXPECT_EQ(dir.read("TEMP/temp_lost.csv"), kRunHeader + kRows);

    dir.write("TEMP/line\nbreak.csv", kRunHeader + kRows);
    const auto named = run("rescue 'TEMP/line\nbreak.csv' -o 'saved\x1b[2J.csv'");
    EXPECT_EQ(named.exit, 0) << named.err;
    EXPECT_EQ(named.out, "TEMP/line\\x0abreak.csv successfully rescued and saved to: saved\\x1b[2J.csv\n");
}

// A rescue deletes its source only when the copy holds the whole of it: rows
// it cannot read are told by line and keep the source, and a row too long to
// read whole refuses the rescue instead of being cut. dedupe tells the same.
TEST_F(RunFilesCli, RescueKeepsASourceItCouldNotCopyWhole) {
    const std::string damaged = kRunHeader + "1, 1, 1, 1, 0.10, 0.1, 0.05, 0.1, 0.05, 1\n" +
                                "2, 2, 2, 2, 0.2" + std::string(1, '\0') + ", 0.1, 0.15, 0.1, 0.15, 1\n" +
                                "3, 3, 3, 3, 0.30, 0.1, 0.25, 0.1, 0.25, 1\n";
    dir.write("TEMP/temp_lost.csv", damaged);
    const auto rescue = run("rescue TEMP/temp_lost.csv -o saved.csv");
    EXPECT_EQ(rescue.exit, 0) << rescue.err;
    EXPECT_EQ(rescue.out,
              "Warning: 1 row of TEMP/temp_lost.csv could not be read and was left out (line 8).\n"
              "TEMP/temp_lost.csv successfully rescued and saved to: saved.csv\n"
              "The temporary file was kept (rows of it could not be read): TEMP/temp_lost.csv\n");
    EXPECT_EQ(dir.read("TEMP/temp_lost.csv"), damaged);
    RunDataFile saved;
    ASSERT_EQ(saved.read(dir / "saved.csv"), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(saved.samples().size(), 2U);

    dir.write("damaged.csv", damaged);
    const auto dedupe = run("dedupe damaged.csv");
    EXPECT_EQ(dedupe.exit, 0) << dedupe.err;
    EXPECT_EQ(dedupe.out, "Warning: 1 row of damaged.csv could not be read and was left out (line 8).\n");

    const std::string longRow = kRunHeader + kRows + "4, 4, 4, 4, 0.30, " + std::string(2 << 20, '1') + "\n";
    dir.write("TEMP/temp_long.csv", longRow);
    const auto refused = run("rescue TEMP/temp_long.csv -o long.csv");
    EXPECT_EQ(refused.exit, 1);
    EXPECT_NE(refused.err.find("line 10 of TEMP/temp_long.csv is longer than"), std::string::npos) << refused.err;
    EXPECT_EQ(dir.read("TEMP/temp_long.csv"), longRow);
    EXPECT_FALSE(dir.exists("long.csv"));
}

TEST_F(RunFilesCli, DedupeKeepsReadOnlyFilesAndWritesThroughLinks) {
    const auto locked = dir.write("locked.csv", kRunHeader + kRows);
    ::chmod(locked.c_str(), 0444);
    const auto refused = run("dedupe locked.csv");
    EXPECT_EQ(refused.exit, 1);
    EXPECT_EQ(refused.err, "Error, the file is read-only; it was not changed: locked.csv\n");
    EXPECT_EQ(dir.read("locked.csv"), kRunHeader + kRows);
    struct stat info {};
    ASSERT_EQ(::stat(locked.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);

    const auto real = dir.write("data/real.csv", kRunHeader + kRows);
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, dir / "link.csv");
    const auto cleaned = run("dedupe link.csv");
    EXPECT_EQ(cleaned.exit, 0) << cleaned.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.csv"));
    RunDataFile file;
    ASSERT_EQ(file.read(real), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(file.samples().size(), 2U);
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(RunFilesCli, InfoShowsControlCharactersOfAFileVisibly) {
    const std::string title = std::string("red\x1b[31m\x07") + '\0' + "after NUL\xc2\x9b";
    dir.write("line\nbreak.csv", "Corvane Text Data File: " + title + "\nUser: Ann\rLee\n\nData Columns:\n" +
                                     std::string(kTwoChannelColumns) + "\n");
    const auto result = run("info 'line\nbreak.csv'");
    EXPECT_EQ(result.exit, 0) << result.err;
    EXPECT_NE(result.out.find("file: line\\x0abreak.csv\nlayout: two_channel\n"
                              "title: red\\x1b[31m\\x07\\x00after NUL\\xc2\\x9b\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("\nuser: Ann\nrotor: "), std::string::npos) << "a lone CR ends a line";
    EXPECT_EQ(result.out.find('\x1b'), std::string::npos);
}

// A description without its temperature or tube count says nothing of them:
// the description's own defaults (25 deg C, 2 tubes) are no reading.
TEST_F(RunFilesCli, InfoJsonGivesNullForDescriptionLinesTheFileLacks) {
    const std::string rows = "\nData Columns:\n" + std::string(kTwoChannelColumns) +
                             "\n1000, 500, 900, 450, 1.00, 0.200000, 0.90, 0.400000, 0.90, 0.5\n";
    dir.write("bare.csv", "Corvane Text Data File: bare.csv\nUser: Ann Lee\nSpeed: 36 krpm\n" + rows);
    dir.write("full.csv", "Corvane Text Data File: full.csv\nUser: Ann Lee\nNumber of Tubes: 6\n"
                          "Temperature: 4.5 deg C\n" + rows);
    const auto bare = run("info --json bare.csv");
    EXPECT_EQ(bare.exit, 0) << bare.err;
    EXPECT_NE(bare.out.find("\"rotor_speed_krpm\":\"36\""), std::string::npos) << bare.out;
    EXPECT_NE(bare.out.find("\"number_of_tubes\":null,\"temperature\":null,"), std::string::npos) << bare.out;
    const auto full = run("info --json full.csv");
    EXPECT_EQ(full.exit, 0) << full.err;
    EXPECT_NE(full.out.find("\"number_of_tubes\":6,\"temperature\":4.5,"), std::string::npos) << full.out;
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// A two-channel run of 30 samples 0.1 mm apart from startMm, Abs A peaking
// at sample `peak` (twice when twin is given: the first counts).
std::string alignRun(int peak, double startMm, int twin = -1) {
    std::string text =
        "Corvane Text Data File: a.csv\n\nData Columns:\n"
        "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < 30; ++i) {
        const double mm = startMm + 0.1 * i;
        char row[160];
        std::snprintf(row, sizeof row, "1, 2, 1, 2, %.2f, %.6f, %.2f, 0.100000, %.2f, 1.0\n", mm,
                      i == peak || i == twin ? 0.9 : 0.05, mm, mm);
        text += row;
    }
    return text;
}

TEST_F(RunFilesCli, AlignFindsPeaksAndOffsetsOnBothAxes) {
    dir.write("ref.csv", alignRun(12, 1.0));
    dir.write("late.csv", alignRun(17, 3.0, 25));
    // By sample number: 12 - 17.
    auto result = run("align --json ref.csv late.csv");
    EXPECT_EQ(result.exit, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"reference\":{\"file\":\"ref.csv\",\"peak_index\":12,\"peak_position\":2.2},"
              "\"runs\":[{\"file\":\"late.csv\",\"peak_index\":17,\"peak_position\":4.7,"
              "\"offset_samples\":-5,\"offset_mm\":null}]}\n");
    // In mm: of late.csv's equal peaks (4.7 and 5.5 mm) the first counts.
    result = run("align --x mm --from 1.0 --to 9.0 ref.csv late.csv");
    EXPECT_EQ(result.exit, 0) << result.err;
    EXPECT_NE(result.out.find("late.csv: peak at sample 17, 4.70 mm"), std::string::npos) << result.out;
    result = run("align --x mm --from 5.0 --to 9.0 ref.csv late.csv");
    EXPECT_EQ(result.exit, 1);  // the reference ends at 3.9 mm
    EXPECT_NE(result.err.find("the reference has no peak in the window"), std::string::npos);
    // A window given right to left: late.csv moves 2.2 - 4.7 mm.
    result = run("align --x mm --from 9.0 --to 0.0 --json ref.csv late.csv");
    EXPECT_EQ(result.exit, 0) << result.err;
    EXPECT_NE(result.out.find("\"offset_mm\":-2.5"), std::string::npos) << result.out;

    // Usage and files.
    EXPECT_EQ(run("align ref.csv").exit, 2);
    EXPECT_EQ(run("align --from 1 ref.csv late.csv").exit, 2);
    EXPECT_EQ(run("align --x inches ref.csv late.csv").exit, 2);
    dir.write("junk.csv", "no run here\n");
    result = run("align ref.csv junk.csv");
    EXPECT_EQ(result.exit, 1);
    EXPECT_NE(result.err.find("Error, unable to find header in file: junk.csv"), std::string::npos);
    EXPECT_EQ(run("align ref.csv .").exit, 1);  // a folder is refused
}

}  // namespace
}  // namespace corvane
