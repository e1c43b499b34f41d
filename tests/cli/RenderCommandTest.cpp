// corvane-cli render as a script calls it: a page file from a run file with
// no display, and clear refusals for what it cannot do.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SyntheticProfiles.h"
#include "TempDir.h"
#include "base/TextFormat.h"

namespace corvane {
namespace {

const std::string kCli = std::string(CORVANE_BINARY_DIR) + "/src/cli/corvane-cli";
const std::string kRuns = std::string(CORVANE_FIXTURES_DIR) + "/runs/";

test::Finished render(std::vector<std::string> args) {
    args.insert(args.begin(), {kCli, "render"});
    return test::runToEnd(std::move(args));
}

std::string head(const std::filesystem::path& path, std::size_t n) { return test::readFile(path).substr(0, n); }

TEST(RenderCommand, WritesEachKindWithoutADisplay) {
    test::TempDir dir;
    // No display at all: the command must bring its own platform.
    unsetenv("DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    const auto png = dir / "page.png";
    const auto done = render({"--x", "mm", "--cursor", "1.0", "--overlay", kRuns + "two_channel.csv", "-o",
                              png.string(), kRuns + "two_channel.csv"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(head(png, 4), "\x89PNG");
    EXPECT_EQ(render({"-o", (dir / "p.PDF").string(), kRuns + "em1.csv"}).exitCode, 0);
    EXPECT_EQ(head(dir / "p.PDF", 5), "%PDF-");
    EXPECT_EQ(render({"--dpi", "300", "--portrait", "-o", (dir / "p.svg").string(), kRuns + "em1.csv"}).exitCode, 0);
    EXPECT_NE(test::readFile(dir / "p.svg").find("<svg"), std::string::npos);
    EXPECT_EQ(render({"-o", (dir / "p.xyz").string(), kRuns + "two_channel.csv"}).exitCode, 0);
    EXPECT_EQ(head(dir / "p.xyz", 2), "BM");
}

TEST(RenderCommand, TheVolumeAndTimeAxesAndVolts) {
    // An SVG page keeps its text: the axis's title and its labels.
    test::TempDir dir;
    const auto page = [&](std::vector<std::string> options, const std::string& run) {
        const auto svg = dir / "axes.svg";
        options.insert(options.end(), {"-o", svg.string(), kRuns + run});
        const auto done = render(options);
        EXPECT_EQ(done.exitCode, 0) << done.err;
        return test::readFile(svg);
    };
    EXPECT_NE(page({"--x", "min"}, "two_channel.csv").find("Time (min)"), std::string::npos);
    EXPECT_NE(page({"--x", "s"}, "two_channel.csv").find("Time (sec)"), std::string::npos);
    const std::string ml = page({"--x", "ml"}, "two_channel.csv");
    EXPECT_NE(ml.find("Volume (ml)"), std::string::npos);
    EXPECT_NE(ml.find(">0.13<"), std::string::npos) << "0.90 mm at 0.143 ml/mm";
    // A DE-1 run in volts: its highest value, 0.03 AU at a full scale of
    // 0.20, is 0.15 V, near the top of its auto-scaled y axis, labelled at
    // round values and titled in volts.
    const std::string volts = page({"--y", "volts"}, "em1.csv");
    EXPECT_NE(volts.find(">0.14<"), std::string::npos);
    EXPECT_NE(volts.find("Voltage (V)"), std::string::npos);
    const std::string au = page({"--y", "au"}, "em1.csv");
    EXPECT_EQ(au.find(">0.14<"), std::string::npos);
    EXPECT_NE(au.find(">0.030<"), std::string::npos);
    EXPECT_NE(au.find("Absorbance (AU)"), std::string::npos);
    EXPECT_EQ(render({"--x", "furlong", "-o", (dir / "f.png").string(), kRuns + "two_channel.csv"}).exitCode, 2);
    EXPECT_EQ(render({"--y", "mV", "-o", (dir / "f.png").string(), kRuns + "em1.csv"}).exitCode, 2);
}

TEST(RenderCommand, RefusesWhatItCannotReadWriteOrDo) {
    test::TempDir dir;
    const auto missing = render({"-o", (dir / "a.png").string(), (dir / "nope.csv").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("nope.csv"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "a.png"));

    const auto notRun = render({"-o", (dir / "a.png").string(), kRuns + "no_header.csv"});
    EXPECT_EQ(notRun.exitCode, 1);

    const auto unwritable = render({"-o", (dir / "no folder" / "a.png").string(), kRuns + "two_channel.csv"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("corvane-cli render"), std::string::npos);

    EXPECT_EQ(render({"--channels", "absA,bogus", "-o", (dir / "c.png").string(), kRuns + "two_channel.csv"}).exitCode,
              2);
    EXPECT_EQ(render({"--dpi", "0", "-o", (dir / "c.png").string(), kRuns + "two_channel.csv"}).exitCode, 2);
    EXPECT_EQ(render({kRuns + "two_channel.csv"}).exitCode, 2);

    // A run far beyond any recording is too large, not unreadable; a path
    // longer than the system takes is too long, not a missing folder.
    const auto big = dir / "big.csv";
    std::filesystem::copy_file(kRuns + "two_channel.csv", big);
    std::filesystem::resize_file(big, std::uintmax_t{2} << 30);  // sparse: no disk taken
    const auto tooBig = render({"-o", (dir / "big.png").string(), big.string()});
    EXPECT_EQ(tooBig.exitCode, 1);
    EXPECT_EQ(tooBig.err, "corvane-cli render: larger than 1024 MB, too large for a run file: " + big.string() + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "big.png"));
    const auto tooLong = render({"-o", (dir / std::string(4100, 'd') / "a.png").string(), kRuns + "two_channel.csv"});
    EXPECT_EQ(tooLong.exitCode, 1);
    EXPECT_EQ(tooLong.err.rfind("corvane-cli render: Error, the path is too long (at most 4088 bytes", 0), 0U)
        << tooLong.err.substr(0, 200);
}

// A two-channel run of 100 samples whose Abs A peaks at sample `peak`.
std::string peakRun(const std::string& name, int peak) {
    std::string text = "Corvane Text Data File: " + name + "\nVersion: 1\nDate: 2024-02-29\nTime: 08:05:09\n\n"
                       "Data Columns:\n"
                       "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < 100; ++i) {
        const double abs = 0.1 + std::exp(-(i - peak) * (i - peak) / 20.0);
        text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, 0.500000, %.2f, 2.000000\n", 0.05 * i, abs,
                           0.05 * i, 0.05 * i);
    }
    return text;
}

TEST(RenderCommand, ComparePageNamesEachSetInItsColourAndPlacement) {
    test::TempDir dir;
    const auto a = dir.write("a.csv", peakRun("a.csv", 40));
    const auto b = dir.write("b.csv", peakRun("b.csv", 70));
    const auto svg = dir / "c.svg";
    const auto done = render({"--compare", b.string(), "--compare", kRuns + "two_channel.csv", "--offset", "0",
                              "--offset", "300", "-o", svg.string(), a.string()});
    ASSERT_EQ(done.exitCode, 0) << done.err;
    const std::string page = test::readFile(svg);
    for (const char* text : {"Filenames", "Color", "a.csv", "b.csv", "two_channel.csv", "300 samples"}) {
        EXPECT_NE(page.find(text), std::string::npos) << text;
    }
    // DS1 to DS3 in their default colours, swatch and trace alike.
    for (const char* colour : {"#ff0100", "#0000ff", "#010101"}) {
        EXPECT_NE(page.find(colour), std::string::npos) << colour;
    }
    EXPECT_EQ(page.find("#00ff01"), std::string::npos);  // no fourth set

    // --align gives the offset `align` reports for the same runs.
    const auto found = test::runToEnd({kCli, "align", a.string(), b.string()});
    ASSERT_EQ(found.exitCode, 0) << found.err;
    const auto at = found.out.find("offset ");
    ASSERT_NE(at, std::string::npos) << found.out;
    const double offset = std::stod(found.out.substr(at + 7));
    EXPECT_NE(offset, 0.0);
    ASSERT_EQ(render({"--compare", b.string(), "--align", "-o", svg.string(), a.string()}).exitCode, 0);
    EXPECT_NE(test::readFile(svg).find(formatText("%.0f samples", offset)), std::string::npos);
}

TEST(RenderCommand, ComparePageRefusesWhatTheCompareWindowWould) {
    test::TempDir dir;
    const std::string run = kRuns + "two_channel.csv";
    const std::string out = (dir / "c.png").string();
    const auto refused = [&](std::vector<std::string> args, int code, const char* says) {
        const auto done = render(std::move(args));
        EXPECT_EQ(done.exitCode, code) << done.err;
        EXPECT_NE(done.err.find(says), std::string::npos) << done.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    };
    refused({"--compare", run, "--compare", run, "--compare", run, "--compare", run, "-o", out, run}, 2, "2 to 4");
    refused({"--compare", run, "--overlay", run, "-o", out, run}, 2, "--overlay");
    refused({"--compare", run, "--channels", "absA,absB", "-o", out, run}, 2, "one channel");
    refused({"--offset", "5", "-o", out, run}, 2, "--compare");
    refused({"--compare", run, "--align", "--offset", "5", "-o", out, run}, 2, "--align");
    refused({"--compare", kRuns + "export.csv", "-o", out, run}, 1, "cannot be compared");
    refused({"--compare", (dir / "gone.csv").string(), "-o", out, run}, 1, "gone.csv");
}

TEST(RenderCommand, OutputIsReplacedWholeAndNeverARun) {
    test::TempDir dir;
    const auto a = dir.write("a.csv", peakRun("a.csv", 40));
    const std::string before = test::readFile(a);

    // Saving over the run drawn would lose it.
    const auto overRun = render({"-o", a.string(), a.string()});
    EXPECT_EQ(overRun.exitCode, 1);
    EXPECT_NE(overRun.err.find("a.csv"), std::string::npos);
    EXPECT_EQ(test::readFile(a), before);

    // Nor over a run it does not draw, nor another kind of file, unless
    // --force says so; a link to the run drawn is the run, --force or not.
    const auto b = dir.write("b.csv", peakRun("b.csv", 60));
    const std::string runB = test::readFile(b);
    const auto overOtherRun = render({"-o", b.string(), a.string()});
    EXPECT_EQ(overOtherRun.exitCode, 1);
    EXPECT_NE(overOtherRun.err.find("is not a bmp page; give --force"), std::string::npos) << overOtherRun.err;
    EXPECT_EQ(test::readFile(b), runB);
    std::filesystem::create_symlink(a, dir / "link.png");
    EXPECT_EQ(render({"--force", "-o", (dir / "link.png").string(), a.string()}).exitCode, 1);
    EXPECT_EQ(test::readFile(a), before);
    const auto notes = dir.write("notes.png", "my notes");
    EXPECT_EQ(render({"-o", notes.string(), a.string()}).exitCode, 1);
    EXPECT_EQ(test::readFile(notes), "my notes");
    ASSERT_EQ(render({"--force", "-o", notes.string(), a.string()}).exitCode, 0);
    EXPECT_EQ(head(notes, 4), "\x89PNG");

    // An earlier page of its kind is replaced; a page of another kind is not.
    const auto png = dir / "page.png";
    ASSERT_EQ(render({"-o", png.string(), a.string()}).exitCode, 0);
    const auto first = test::readFile(png);
    ASSERT_EQ(render({"--x", "mm", "-o", png.string(), a.string()}).exitCode, 0);
    EXPECT_EQ(head(png, 4), "\x89PNG");
    EXPECT_NE(test::readFile(png), first);
    std::filesystem::copy_file(png, dir / "page.svg");
    EXPECT_EQ(render({"-o", (dir / "page.svg").string(), a.string()}).exitCode, 1);

    // A folder the system will not let anyone write, root included.
    const auto locked = render({"-o", "/proc/corvane-page.png", a.string()});
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_NE(locked.err.find("cannot write"), std::string::npos) << locked.err;
}

TEST(RenderCommand, AnalysisShadesTheRunsRegionsWithTheirNamesOnThePage) {
    test::TempDir dir;
    const auto run = dir.write("polysomes.csv", test::runFileText(test::polysomeProfile()));
    const auto svg = dir / "page.svg";
    const auto page = [&](std::vector<std::string> options) {
        options.insert(options.end(), {"-o", svg.string(), run.string()});
        const auto done = render(options);
        EXPECT_EQ(done.exitCode, 0) << done.err;
        return test::readFile(svg);
    };
    const std::string shaded = page({"--x", "mm", "--analysis"});
    for (const char* name : {">top<", ">40S<", ">60S<", ">80S<", ">polysomes<"}) {
        EXPECT_NE(shaded.find(name), std::string::npos) << name;
    }
    EXPECT_EQ(shaded.find(">total<"), std::string::npos);  // it spans the others
    EXPECT_EQ(page({"--x", "mm"}).find(">80S<"), std::string::npos);
    // The same marks on the page of a comparison: RUN's.
    EXPECT_NE(page({"--analysis", "--compare", run.string()}).find(">80S<"), std::string::npos);
    EXPECT_EQ(render({"--analysis", "-o", (dir / "p.png").string(), kRuns + "no_such.csv"}).exitCode, 1);

    // analyze's own options, parsed as analyze parses them, x on the page's axis.
    const std::string given = page({"--analysis", "--x", "index", "--region", "first=100:300", "--region",
                                    "second=300:520", "--baseline", "line:0:50:1000:1100", "--smooth", "ma:9"});
    for (const char* name : {">first<", ">second<"}) {
        EXPECT_NE(given.find(name), std::string::npos) << name;
    }
    EXPECT_EQ(given.find(">80S<"), std::string::npos) << "given regions replace the found ones";
    EXPECT_NE(page({"--analysis", "--x", "native", "--region", "mm=15:25"}).find(">mm<"), std::string::npos);
    const auto outside = render({"--analysis", "--x", "native", "--region", "far=100:120", "-o", svg.string(),
                                 run.string()});
    EXPECT_EQ(outside.exitCode, 1);
    EXPECT_NE(outside.err.find("region far (100 to 120) holds no part of the profile"), std::string::npos)
        << outside.err;
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--analysis", "--baseline", "line:1:2"}, {"--analysis", "--smooth", "sg:4:3"},
          {"--analysis", "--region", "a=1:1"}, {"--analysis", "--channel", "absC"}, {"--smooth", "none"}}) {
        auto args = wrong;
        args.insert(args.end(), {"-o", svg.string(), run.string()});
        EXPECT_EQ(render(args).exitCode, 2) << wrong[1];
    }
    const auto noBlank = render({"--analysis", "--baseline", "blank=nothing.csv", "-o", svg.string(), run.string()});
    EXPECT_EQ(noBlank.exitCode, 1);
    EXPECT_NE(noBlank.err.find("Error, unable to open file: nothing.csv"), std::string::npos) << noBlank.err;
}

// Profiles of other instruments: drawn on their own x unless --x asks for
// an axis they have not; beside our runs on the axis every file converts to.
TEST(RenderCommand, ProfilesAreDrawnOnTheirOwnXAndComparedWhereEveryFileConverts) {
    test::TempDir dir;
    const std::string profiles = std::string(CORVANE_FIXTURES_DIR) + "/profiles/";
    const auto svg = dir / "p.svg";
    const auto page = [&](std::vector<std::string> args) {
        args.insert(args.end() - 1, {"-o", svg.string()});
        const auto done = render(args);
        EXPECT_EQ(done.exitCode, 0) << done.err;
        return done.exitCode == 0 ? test::readFile(svg) : std::string();
    };
    EXPECT_NE(page({profiles + "german_crlf.pks"}).find("Time (min)"), std::string::npos);
    EXPECT_NE(page({profiles + "fractions.asc"}).find("Volume (ml)"), std::string::npos);
    EXPECT_NE(page({"--x", "samples", profiles + "fractions.asc"}).find("Sample Number"), std::string::npos);
    // Our run under a profile's minutes, by its sample interval.
    EXPECT_NE(page({"--overlay", profiles + "plain.pks", kRuns + "two_channel.csv"}).find("Time (min)"),
              std::string::npos);

    const std::string ml = page({"--compare", profiles + "fractions.asc", "--compare", profiles + "volume.tsv",
                                 kRuns + "two_channel.csv"});
    EXPECT_NE(ml.find("x: Volume (ml)"), std::string::npos);
    EXPECT_NE(ml.find("fractions.asc"), std::string::npos);
    const std::string points =
        page({"--compare", profiles + "fractions.asc", "--align", profiles + "plain.pks"});
    EXPECT_NE(points.find("x: Sample Number"), std::string::npos);

    // A profile in minutes has no mm: said, nothing written.
    std::filesystem::remove(svg);
    const auto mm = render({"--x", "mm", "-o", svg.string(), profiles + "plain.pks"});
    EXPECT_EQ(mm.exitCode, 1);
    EXPECT_NE(mm.err.find("give --x min"), std::string::npos) << mm.err;
    EXPECT_FALSE(std::filesystem::exists(svg));
    const auto junk = render({"-o", svg.string(), dir.write("junk.ods", "PK\x03\x04").string()});
    EXPECT_EQ(junk.exitCode, 1);
    EXPECT_NE(junk.err.find("save it as CSV"), std::string::npos) << junk.err;
}

// A table's columns as every command that reads a profile takes them: the
// page draws the ones chosen, for RUN, the overlay and the compared files.
TEST(RenderCommand, DrawsATablesColumnsChosenByNameOrNumber) {
    test::TempDir dir;
    std::string text = "Time (min)\tVolume (ml)\tA254 (mAU)\tCond (mS/cm)\n";
    for (int i = 0; i < 200; ++i) {
        text += formatText("%.3f\t%.2f\t%.1f\t%.2f\n", i / 60.0, 0.05 * i, i == 90 ? 700.0 : 40.0, 5.0 + 0.1 * i);
    }
    const auto table = dir.write("gradient.tsv", text).string();
    const auto svg = (dir / "t.svg").string();
    const auto page = [&](std::vector<std::string> args) {
        args.insert(args.end() - 1, {"--force", "-o", svg});
        const auto done = render(args);
        EXPECT_EQ(done.exitCode, 0) << done.err;
        return done.exitCode == 0 ? test::readFile(svg) : std::string();
    };
    const std::string first = page({table});
    EXPECT_NE(first.find("Time (min)"), std::string::npos);
    const std::string chosen = page({"--x-column", "Volume", "--y-column", "4", table});
    EXPECT_NE(chosen.find("Volume (ml)"), std::string::npos);
    EXPECT_NE(chosen.find(">20<"), std::string::npos) << "the y axis up to the conductivity's top";
    EXPECT_EQ(first.find(">20<"), std::string::npos) << "A254 in AU stays under 1";
    EXPECT_NE(chosen.find(">mS/cm<"), std::string::npos) << "titled in the column's unit";
    EXPECT_EQ(chosen.find("Time (min)"), std::string::npos);
    const std::string pks = std::string(CORVANE_FIXTURES_DIR) + "/profiles/plain.pks";
    EXPECT_NE(page({"--y-column", "A254", "--overlay", table, pks}).find("Time (min)"), std::string::npos);
    EXPECT_NE(page({"--x-column", "2", "--y-column", "3", "--compare", table, kRuns + "two_channel.csv"})
                  .find("x: Volume (ml)"),
              std::string::npos);

    std::filesystem::remove(svg);
    const auto missing = render({"--y-column", "A999", "-o", svg, table});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no column named \"A999\""), std::string::npos) << missing.err;
    const auto notTable = render({"--x-column", "1", "-o", svg, "--compare", pks, kRuns + "two_channel.csv"});
    EXPECT_EQ(notTable.exitCode, 1);
    EXPECT_NE(notTable.err.find("corvane-cli render: --x-column chooses a plain table's columns, and none of the "
                                "files is one"),
              std::string::npos)
        << notTable.err;
    EXPECT_FALSE(std::filesystem::exists(svg));
}

}  // namespace
}  // namespace corvane
