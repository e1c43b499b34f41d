#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
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
const std::filesystem::path kProfiles = std::filesystem::path(CORVANE_FIXTURES_DIR) / "profiles";
const std::filesystem::path kRuns = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs";

test::Finished cli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    return test::runToEnd(std::move(args));
}

std::string profile(const char* name) { return (kProfiles / name).string(); }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ProfileCli, InfoJsonGivesEveryProfileAndRunItsLineWithFormatSamplesUnitsAndMarks) {
    const auto info = cli({"info", "--json", profile("plain.pks"), (kRuns / "em1.csv").string(),
                           profile("fractions.asc"), profile("semicolon_bom.csv"), profile("utf16.txt")});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const auto out = lines(info.out);
    ASSERT_EQ(out.size(), 5U) << info.out;
    EXPECT_TRUE(contains(out[0], "\"format\":\"pks\",\"layout\":null,\"channel\":\"Val\",\"x_name\":\"El Tm\","
                                 "\"x_unit\":\"min\",\"y_unit\":\"detector units\","
                                 "\"marks\":[{\"x\":0.068333,\"label\":\"1/1\"},{\"x\":0.11,\"label\":\"1/2\"},"))
        << out[0];
    EXPECT_TRUE(out[0].ends_with("\"samples\":320}")) << out[0];  // the end marker is no sample
    EXPECT_TRUE(out[2].ends_with("\"samples\":300}")) << out[2];
    // Our run keeps every key it had and gains the profile's.
    EXPECT_TRUE(contains(out[1], "\"layout\":\"de1\",\"format\":\"corvane\",\"title\":")) << out[1];
    EXPECT_TRUE(contains(out[1], "\"x_unit\":\"mm\",\"y_unit\":\"AU\",\"marks\":[{\"x\":0,\"label\":\"0\"},"))
        << out[1];
    EXPECT_TRUE(contains(out[2], "\"format\":\"asc\"")) << out[2];
    EXPECT_TRUE(contains(out[2], "\"x_unit\":\"ml\",\"y_unit\":\"AU (mAU / 1000)\","
                                 "\"marks\":[{\"x\":0.5,\"label\":\"1\"},"))
        << out[2];
    EXPECT_TRUE(contains(out[3], "\"format\":\"table\",\"layout\":null,\"channel\":\"Extinktion\",\"x_name\":\"Zeit "
                                 "[min]\",\"x_unit\":\"min\",\"y_unit\":\"detector units\",\"marks\":[],\"samples\":250}"))
        << out[3];
    EXPECT_TRUE(contains(out[4], "\"channel\":\"A254 (mAU)\"")) << out[4];

    const auto rows = cli({"info", "--json", "--rows", "--y-column", "A280", profile("volume.tsv")});
    ASSERT_EQ(rows.exitCode, 0) << rows.err;
    EXPECT_TRUE(contains(rows.out, "\"channel\":\"A280 (mAU)\"")) << rows.out;
    EXPECT_TRUE(contains(rows.out, "\"rows\":[{\"x\":0,\"y\":0.025},{\"x\":0.05,")) << rows.out;
}

TEST(ProfileCli, InfoTextShowsAProfileAndRefusesWhatIsNeitherRunNorProfile) {
    const auto text = cli({"info", profile("german_crlf.pks"), (kRuns / "two_channel.csv").string()});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_TRUE(contains(text.out, "format: pks\nchannel: Val\nx_name: El Tm\nx_unit: min\ny_unit: detector units\n"
                                   "samples: 260\nmarks: 22\nmark: 1/1 at 0.0017 min\n"))
        << text.out;
    EXPECT_TRUE(contains(text.out, "samples: 4\nformat: corvane\nx_unit: mm\ny_unit: AU\nmarks: 0\n")) << text.out;

    test::TempDir dir;
    const auto notes = dir.write("notes.txt", "just some notes\n").string();
    const auto broken = dir.write("broken.pks", "# El Tm Val\n1 0,1 2,0\n2 0,2\n").string();
    const auto junk = dir.write("junk.dat", std::string("\x01\x02\x00\xff", 4)).string();
    const auto wide = dir.write("wide.txt", "x\t" + std::string(3 << 20, '5')).string();
    const auto bad = cli({"info", "--json", notes, profile("comma.csv"), broken, junk, wide});
    EXPECT_EQ(bad.exitCode, 1);
    const auto out = lines(bad.out);
    ASSERT_EQ(out.size(), 5U) << bad.out;
    EXPECT_TRUE(contains(out[0], "Error, unable to find header in file: " + notes +
                                     "; not a table profile: no rows of numbers"))
        << out[0];
    EXPECT_TRUE(contains(out[1], "\"format\":\"table\"")) << out[1];
    EXPECT_TRUE(contains(out[2], "not a .pks profile: line 3 has 2 fields where the rows above have 3")) << out[2];
    EXPECT_TRUE(contains(out[3], "binary data")) << out[3];
    EXPECT_TRUE(contains(out[4], "line 1 is longer than 1 MB")) << out[4];

    // Our own run without its column header keeps its message as it was.
    const auto noHeader = cli({"info", (kRuns / "no_header.csv").string()});
    EXPECT_EQ(noHeader.err, "Error, unable to find header in file: " + (kRuns / "no_header.csv").string() + "\n");
    const auto column = cli({"info", "--y-column", "A999", profile("volume.tsv")});
    EXPECT_EQ(column.exitCode, 1);
    EXPECT_TRUE(contains(column.err, "no column named \"A999\"")) << column.err;
}

TEST(ProfileCli, ProfilesAreReadOnlyForEveryCommandThatWrites) {
    test::TempDir dir;
    const std::string original = test::readFile(kProfiles / "plain.pks");
    const auto pks = dir.write("old.pks", original).string();
    const std::vector<std::vector<std::string>> writers = {
        {"plan", pks, "--zone", "0", "1", "1"}, {"dedupe", pks}, {"rescue", pks, "-o", (dir / "saved.csv").string()}};
    for (const auto& args : writers) {
        const auto done = cli(args);
        EXPECT_EQ(done.exitCode, 1) << args[0];
        EXPECT_TRUE(contains(done.err, "corvane-cli " + args[0] + ": " + pks +
                                           " is a profile of another instrument (pks); profiles are read-only"))
            << done.err;
        EXPECT_EQ(dir.read("old.pks"), original) << args[0];
    }
    EXPECT_FALSE(dir.exists("saved.csv"));
}

TEST(ProfileCli, AlignLinesProfilesUpOnSamplesOrOnTheirOwnUnit) {
    const auto mixed = cli({"align", (kRuns / "two_channel.csv").string(), profile("plain.pks")});
    ASSERT_EQ(mixed.exitCode, 0) << mixed.err;
    // The run peaks at its sample 3, plain.pks at row 26 (index 25).
    EXPECT_TRUE(contains(mixed.out, "plain.pks: peak at sample 25, 0.0433 min, Val 37.924600; offset -22 samples\n"))
        << mixed.out;

    const auto units = cli({"align", "--x", "mm", (kRuns / "two_channel.csv").string(), profile("plain.pks")});
    EXPECT_EQ(units.exitCode, 1);
    EXPECT_TRUE(contains(units.err, "--x mm, but the x of " + profile("plain.pks") + " is in min")) << units.err;

    // Two recordings in minutes line up in minutes: german_crlf.pks peaks at
    // row 21, plain.pks at row 26 (0.0350 and 0.0433 min); 0.008333 min is
    // 5.02 of german_crlf.pks's samples (260 over 0.4317 min).
    const auto minutes = cli({"align", "--json", "--x", "min", "--from", "0", "--to", "0.2", profile("plain.pks"),
                              profile("german_crlf.pks")});
    ASSERT_EQ(minutes.exitCode, 0) << minutes.err;
    EXPECT_TRUE(contains(minutes.out, "\"peak_index\":20,\"peak_position\":0.035,\"offset_samples\":5,")) << minutes.out;
    EXPECT_TRUE(contains(minutes.out, "\"offset_mm\":null,\"offset_x\":0.008333}")) << minutes.out;
}

TEST(ProfileCli, ExportTakesProfilesWithOnlyWhatTheirFilesTell) {
    test::TempDir dir;
    const auto out = (dir / "out.csv").string();
    const auto run = (kRuns / "two_channel.csv").string();
    const auto done = cli({"export", "-o", out, run, profile("plain.pks")});
    ASSERT_EQ(done.exitCode, 0) << done.err;
    const auto file = lines(dir.read("out.csv"));
    const auto row = [&](const std::string& label) {
        for (const auto& line : file) {
            if (line.starts_with(label)) return line;
        }
        return std::string();
    };
    EXPECT_EQ(row("Piston Speed (mm/sec)"), "Piston Speed (mm/sec), 1.00, ");
    EXPECT_EQ(row("Type of Start"), "Type of Start, No delay, ");
    EXPECT_EQ(row("Total Number Samples"), "Total Number Samples, 4, 320");
    EXPECT_EQ(row("Run Date"), "Run Date, 2023-11-07, ");
    EXPECT_EQ(row("X-axis Gain"), "X-axis Gain, 1.000, 1.000");
    EXPECT_EQ(row("Distance(mm)"), "Distance(mm), two_channel.csv_Absorbance, plain.pks_Absorbance");

    // A profile as the reference names the first column by its own unit.
    const auto asc = cli({"export", "-o", (dir / "asc.csv").string(), profile("fractions.asc"), run});
    ASSERT_EQ(asc.exitCode, 0) << asc.err;
    const auto ascFile = lines(dir.read("asc.csv"));
    const auto heading = std::find(ascFile.begin(), ascFile.end(), "Data Columns:");
    ASSERT_NE(heading, ascFile.end());
    EXPECT_EQ(heading[1], "Volume(ml), fractions.asc_Absorbance, two_channel.csv_Absorbance");
    EXPECT_EQ(heading[2], "0.000, 0.050000, 0.200000");
}

// A table of four columns: volume, a note ("-" for none; one "peak", so the
// first two columns are no profile), A260 peaking at 900 mAU at row 30 and
// A280 at 800 mAU at row 60, each 1.6 ml wide at its foot.
std::string wideTable() {
    std::string text = "Volume (ml)\tNote\tA260 (mAU)\tA280 (mAU)\n";
    const auto peak = [](int i, int top) { return std::max(0.0, 1.0 - std::abs(i - top) / 8.0); };
    for (int i = 0; i < 100; ++i) {
        text += formatText("%.2f\t%s\t%.1f\t%.1f\n", 0.1 * i, i == 30 ? "peak" : "-", 100.0 + 800.0 * peak(i, 30),
                           50.0 + 750.0 * peak(i, 60));
    }
    return text;
}

// --x-column and --y-column mean the same in every command that reads a
// profile: a table's columns by name (with or without the unit) or number,
// refused alike where the column is not there or no file is a table.
TEST(ProfileCli, EveryCommandThatReadsAProfileChoosesATablesColumnsAlike) {
    test::TempDir dir;
    const auto wide = dir.write("wide.tsv", wideTable()).string();
    const auto out = (dir / "out.csv").string();
    struct Command {
        std::vector<std::string> args;
        bool twoFiles;  // align and export take two files or more
    };
    const std::vector<Command> commands = {{{"info", "--json"}, false},
                                           {{"align"}, true},
                                           {{"export", "--force", "-o", out}, true},
                                           {{"analyze", "--json"}, false},
                                           {{"collect", "--preview", "--start-level", "0.3"}, false}};
    const auto run = [&](const Command& c, std::vector<std::string> options, const std::string& file) {
        auto args = c.args;
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(file);
        if (c.twoFiles) args.push_back(file);
        return cli(args);
    };
    for (const auto& c : commands) {
        const std::string name = c.args.front();
        const auto byDefault = run(c, {}, wide);
        EXPECT_EQ(byDefault.exitCode, 1) << name;
        EXPECT_TRUE(contains(byDefault.err + byDefault.out, "line 32: column 2 holds"))
            << name << ": " << byDefault.err << byDefault.out;
        for (const auto& chosen : {std::vector<std::string>{"--y-column", "A280"},
                                   std::vector<std::string>{"--x-column", "volume (ml)", "--y-column", "4"}}) {
            const auto done = run(c, chosen, wide);
            EXPECT_EQ(done.exitCode, 0) << name << ": " << done.err;
        }
        const auto missing = run(c, {"--y-column", "A999"}, wide);
        EXPECT_EQ(missing.exitCode, 1) << name;
        EXPECT_TRUE(contains(missing.err + missing.out, "no column named")) << name << ": " << missing.err;
        const auto tooFar = run(c, {"--x-column", "1", "--y-column", "5"}, wide);
        EXPECT_EQ(tooFar.exitCode, 1) << name;
        EXPECT_TRUE(contains(tooFar.err + tooFar.out, "column 5 asked for, but the table has 4 columns")) << name;
        const auto pks = run(c, {"--y-column", "2"}, profile("plain.pks"));
        EXPECT_EQ(pks.exitCode, 1) << name;
        EXPECT_TRUE(contains(pks.err, "corvane-cli " + name + ": --y-column chooses a plain table's columns, and " +
                                          (c.twoFiles ? std::string("none of the files is one")
                                                      : profile("plain.pks") + " is a .pks profile, which holds one "
                                                                               "signal")))
            << pks.err;
        EXPECT_TRUE(pks.out.empty()) << name << ": refused before anything is written";
    }
    // What each command took is the column chosen.
    const auto info = cli({"info", "--json", "--y-column", "3", wide});
    EXPECT_TRUE(contains(info.out, "\"x_name\":\"Volume (ml)\",\"x_unit\":\"ml\",\"y_unit\":\"AU (mAU / 1000)\"")) << info.out;
    EXPECT_TRUE(contains(info.out, "\"channel\":\"A260 (mAU)\"")) << info.out;
    EXPECT_TRUE(contains(cli({"analyze", "--json", "--y-column", "A280", wide}).out, "\"channel\":\"A280 (mAU)\""));
    // Beside a run of ours and a .pks file, which are read as they are.
    const auto align = cli({"align", "--y-column", "A280", (kRuns / "two_channel.csv").string(), wide,
                            profile("plain.pks")});
    ASSERT_EQ(align.exitCode, 0) << align.err;
    EXPECT_TRUE(contains(align.out, "wide.tsv: peak at sample 60, 6.00 ml, A280 (mAU) 0.800000;")) << align.out;
    EXPECT_TRUE(contains(align.out, "plain.pks: peak at sample 25,")) << align.out;
    ASSERT_EQ(cli({"export", "--force", "-o", out, "--y-column", "4", wide, profile("plain.pks")}).exitCode, 0);
    const auto exported = lines(dir.read("out.csv"));
    const auto heading = std::find(exported.begin(), exported.end(), "Data Columns:");
    ASSERT_GT(exported.end() - heading, 62);
    EXPECT_EQ(heading[1], "Volume(ml), wide.tsv_Absorbance, plain.pks_Absorbance");
    EXPECT_TRUE(heading[62].starts_with("6.000, 0.800000, ")) << heading[62];
    const auto collect = cli({"collect", "--preview", "--json", "--start-level", "0.3", "--y-column", "A260", wide});
    ASSERT_EQ(collect.exitCode, 0) << collect.err;
    // One fraction about the A260 peak at 3 ml (A280's is at 6 ml).
    EXPECT_TRUE(contains(collect.out, "{\"number\":2,\"from\":2.5")) << collect.out;
    EXPECT_TRUE(contains(collect.out, ",\"to\":3.4")) << collect.out;
}

}  // namespace
}  // namespace corvane
