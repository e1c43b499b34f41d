// corvane-cli analyze as a script uses it: from a folder of its own, on a
// run the simulated instrument recorded there and on small runs written
// here with known areas.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SyntheticProfiles.h"
#include "TempDir.h"
#include "base/TextFormat.h"
#include "sim/SimKelvoUnit.h"
#include "sim/SimProfile.h"

namespace corvane {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kCli = std::string(CORVANE_BINARY_DIR) + "/src/cli/corvane-cli";

test::Finished inFolder(const test::TempDir& folder, const std::string& arguments, const std::string& env = "") {
    const std::string line = "cd '" + folder.str() + "' && " + env + " exec '" + kCli + "' " + arguments;
    return test::runToEnd({"/bin/sh", "-c", line});
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::vector<std::string> cells(const std::string& row) {
    std::vector<std::string> result;
    std::istringstream in(row);
    for (std::string cell; std::getline(in, cell, ',');) result.push_back(cell);
    if (!row.empty() && row.back() == ',') result.emplace_back();
    return result;
}

// The number after "key": in a JSON line, from `from` on.
double jsonNumber(const std::string& json, const std::string& key, std::size_t from = 0) {
    const auto at = json.find("\"" + key + "\":", from);
    if (at == std::string::npos) return NAN;
    return std::stod(json.substr(at + key.size() + 3));
}

// The x of a landmark in a JSON line.
double landmarkX(const std::string& json, const std::string& name) {
    const auto at = json.find("\"" + name + "\":{\"index\"", json.find("\"landmarks\":"));
    return at == std::string::npos ? NAN : jsonNumber(json, "x", at);
}

// A two-channel run whose Abs A is `absorbance` at positions 0.25 mm apart.
std::string runFile(const std::vector<double>& absorbance) {
    std::string text =
        "Corvane Text Data File: r.csv\nVersion: 1\nDate: 2024-05-06\nTime: 10:00:00\n\n"
        "pC: 150\nSample Interval: 50 ms\nA:B Duty Cycle: 60:40\nSamples/mm: 4.00\n"
        "Scan Speed: 1.00 mm/sec\nScan Distance: 50.0 mm\n\nData Columns:\n"
        "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (std::size_t i = 0; i < absorbance.size(); ++i) {
        const double x = 0.25 * static_cast<double>(i);
        text += formatText("1000, 500, 900, 450, %.2f, %.6f, %.2f, 0.400000, %.2f, 1.0\n", x, absorbance[i], x, x);
    }
    return text;
}

// Triangles 4 mm wide after 4 mm of baseline at 0.1: top, 40S, 60S, 80S
// and three polysomes, their heights given; areas are twice the heights.
std::vector<double> triangles(const std::vector<double>& heights) {
    std::vector<double> y;
    for (double x = 0.0; x <= 44.0 + 1e-9; x += 0.25) {
        const double from = x - 4.0;
        const auto k = static_cast<std::size_t>(std::max(from, 0.0) / 4.0);
        const double h = from >= 0.0 && k < heights.size() ? heights[k] : 0.0;
        y.push_back(0.1 + h * (1.0 - std::abs(from - 4.0 * static_cast<double>(k) - 2.0) / 2.0));
    }
    return y;
}

TEST(AnalyzeCommand, FindsTheSimulatedGradientsLandmarksOnARecordedRun) {
    test::TempDir folder;
    const auto recorded = inFolder(folder, "record --simulate --sim-speed 10 --skip-warmup --until-stop -o run.csv");
    ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
    const auto json = inFolder(folder, "analyze --json run.csv");
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto out = lines(json.out);
    ASSERT_EQ(out.size(), 1u);
    const std::string& line = out[0];
    EXPECT_THAT(line, StartsWith("{\"file\":\"run.csv\",\"format\":\"corvane\",\"channel\":\"absA\",\"samples\":"));
    EXPECT_THAT(line, HasSubstr("\"x_unit\":\"mm\""));
    EXPECT_THAT(line, HasSubstr("\"parameters\":{\"channel\":\"absA\",\"x_column\":\"\",\"y_column\":\"\","
                                "\"x\":\"native\",\"smooth\":\"sg:"));
    EXPECT_THAT(line, HasSubstr(":3\",\"baseline\":\"start\",\"prominence\":"));
    EXPECT_THAT(line, HasSubstr("\"saturated\":[]"));
    // Each peak of the simulator's gradient, below its meniscus, within two
    // samples (0.1 mm apart) of where it was put; the scan ends before the
    // last polysomes.
    const double meniscus = SimKelvoConfig{}.meniscusMm;
    int found = 0;
    for (const auto& peak : SimProfile::polysomePeaks()) {
        std::string name = peak.name.starts_with("polysome ") ? peak.name.substr(9) : peak.name;
        const double x = landmarkX(line, name);
        if (meniscus + peak.depthMm < 78.0) {
            EXPECT_NEAR(x, meniscus + peak.depthMm, 0.2) << name;
            ++found;
        }
    }
    EXPECT_GE(found, 8);
    for (const char* key : {"pm", "p_total", "s60_s40"}) {
        EXPECT_GT(jsonNumber(line, key, line.find("\"ratios\":")), 0.0) << key;
    }
    EXPECT_THAT(line, HasSubstr("\"regions\":[{\"name\":\"top\",\"from\":"));
    EXPECT_THAT(line, HasSubstr("\"baseline\":{\"kind\":\"start\",\"value\":"));

    // The CSV says the same, with '.' whatever the locale, and the same bytes every time.
    const auto csv = inFolder(folder, "analyze --csv run.csv", "LC_ALL=de_DE.UTF-8 LC_NUMERIC=de_DE.UTF-8");
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const auto rows = lines(csv.out);
    ASSERT_EQ(rows.size(), 2u);
    const auto header = cells(rows[0]);
    const auto row = cells(rows[1]);
    ASSERT_EQ(header.size(), row.size());
    const auto column = [&](const std::string& name) {
        return row[static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin())];
    };
    EXPECT_EQ(column("file"), "run.csv");
    EXPECT_DOUBLE_EQ(std::stod(column("80S_x")), landmarkX(line, "80S"));
    EXPECT_DOUBLE_EQ(std::stod(column("pm")), jsonNumber(line, "pm", line.find("\"ratios\":")));
    EXPECT_THAT(column("area_80S"), HasSubstr("."));
    EXPECT_EQ(inFolder(folder, "analyze --csv run.csv").out, csv.out);
    EXPECT_EQ(inFolder(folder, "analyze --json run.csv").out, json.out);

    // In sample numbers, the same landmarks at their sample numbers.
    const auto index = inFolder(folder, "analyze --json --x index run.csv");
    ASSERT_EQ(index.exitCode, 0);
    EXPECT_THAT(index.out, HasSubstr("\"x_unit\":\"sample\""));
    EXPECT_EQ(landmarkX(index.out, "80S"), jsonNumber(line, "index", line.find("\"80S\":{")));
}

// The simulator's gradient as other instruments write it: a .pks file
// against minutes (1 mm a second, decimal commas) and a table against
// volume (0.143 ml a mm) with two detector columns, 0.05 mm a sample.
std::string pksFile(const SimProfile& sim) {
    std::string text = "#        El Tm         Val   Rack   Tube    Peak   Waste\n";
    for (int i = 1; i <= 1600; ++i) {
        const double depth = 0.05 * i;
        std::string row = formatText("%-8d %12.6f %10.4f      1      %d   False   False\n", i, depth / 60.0,
                                     sim.absorbance(SimChannel::A, depth), 1 + i / 200);
        std::replace(row.begin(), row.end(), '.', ',');
        text += row;
    }
    return text;
}

std::string tableFile(const SimProfile& sim) {
    std::string text = "Volume (ml)\tA280 (mAU)\tA260 (mAU)\n";
    for (int i = 0; i < 1600; ++i) {
        const double depth = 0.05 * i;
        text += formatText("%.5f\t%.3f\t%.3f\n", 0.143 * depth, 1000.0 * sim.absorbance(SimChannel::B, depth),
                           1000.0 * sim.absorbance(SimChannel::A, depth));
    }
    return text;
}

TEST(AnalyzeCommand, ProfilesOfOtherInstrumentsAreAnalysedInTheirOwnUnits) {
    test::TempDir dir;
    const SimProfile sim;
    dir.write("gradient.pks", pksFile(sim));
    dir.write("gradient.tsv", tableFile(sim));
    const auto out = inFolder(dir, "analyze --json gradient.pks gradient.tsv");
    ASSERT_EQ(out.exitCode, 0) << out.err;
    const auto json = lines(out.out);
    ASSERT_EQ(json.size(), 2u);
    EXPECT_THAT(json[0], HasSubstr("\"format\":\"pks\""));
    EXPECT_THAT(json[0], HasSubstr("\"x_unit\":\"min\""));
    EXPECT_THAT(json[1], HasSubstr("\"format\":\"table\""));
    EXPECT_THAT(json[1], HasSubstr("\"x_unit\":\"ml\""));
    for (const auto& peak : SimProfile::polysomePeaks()) {
        const std::string name = peak.name.starts_with("polysome ") ? peak.name.substr(9) : peak.name;
        // The last two stand out too little: the slopes of the peaks beside
        // them move their tops in the sum.
        if (peak.depthMm > 60.0) continue;
        EXPECT_NEAR(landmarkX(json[0], name), peak.depthMm / 60.0, 2 * 0.05 / 60.0 + 1e-9) << name;
        EXPECT_NEAR(landmarkX(json[1], name), 0.143 * peak.depthMm, 2 * 0.143 * 0.05 + 1e-9) << name;
    }
    // The table's other detector column, by name: the same landmarks, other areas.
    const auto a260 = inFolder(dir, "analyze --json --y-column A260 gradient.tsv");
    ASSERT_EQ(a260.exitCode, 0) << a260.err;
    EXPECT_THAT(a260.out, HasSubstr("\"channel\":\"A260 (mAU)\""));
    EXPECT_THAT(a260.out, HasSubstr("\"y_column\":\"A260\""));
    EXPECT_NEAR(landmarkX(a260.out, "80S"), landmarkX(json[1], "80S"), 2 * 0.143 * 0.05 + 1e-9);
    EXPECT_NE(jsonNumber(a260.out, "pm"), jsonNumber(json[1], "pm"));
    const auto wrongColumn = inFolder(dir, "analyze --json --y-column A999 gradient.tsv");
    EXPECT_EQ(wrongColumn.exitCode, 1);
    EXPECT_THAT(wrongColumn.out, HasSubstr("\"error\":\"corvane-cli analyze: gradient.tsv is no profile: "));
}

// An imported table whose top peak the detector cut at 1.2, with its noise
// on the plateau: one peak there, saturated, and the names after it right.
TEST(AnalyzeCommand, AClippedTopIsOneSaturatedPeakInTheReport) {
    test::TempDir dir;
    Profile p = test::polysomeProfile();
    test::Noise noise(12);
    std::string text = "Volume (ml),Absorbance\n";
    for (std::size_t i = 0; i < p.size(); ++i) {
        text += formatText("%.4f,%.5f\n", p.x[i], std::min(p.y[i], 1.2) + noise(0.002));
    }
    dir.write("clipped.csv", text);
    const auto out = inFolder(dir, "analyze --json --x index clipped.csv");
    ASSERT_EQ(out.exitCode, 0) << out.err;
    const std::string& json = out.out;
    const auto peaks = json.substr(json.find("\"peaks\":"), json.find("\"valleys\":") - json.find("\"peaks\":"));
    const std::string flag = "\"saturated\":true";
    std::size_t saturated = 0;
    for (auto at = peaks.find(flag); at != std::string::npos; at = peaks.find(flag, at + 1)) {
        ++saturated;
    }
    EXPECT_EQ(saturated, 1u) << peaks;
    const auto top = json.find("\"top\":{\"index\"", json.find("\"landmarks\":"));
    EXPECT_EQ(json.substr(json.find("\"height\"", top), 31), "\"height\":null,\"saturated\":true,");
    const char* names[] = {"top", "40S", "60S", "80S", "2", "3", "4"};
    for (std::size_t k = 0; k < 7; ++k) {
        EXPECT_NEAR(landmarkX(json, names[k]), test::polysomeBumps()[k].centre / 0.05, 2.0) << names[k];
    }
    EXPECT_THAT(json, HasSubstr("the area of top includes a clipped plateau"));
    EXPECT_THAT(inFolder(dir, "analyze --x index clipped.csv").out, HasSubstr(" sample (clipped), 40S at "));
}

TEST(AnalyzeCommand, AFileThatCannotBeReadGetsItsLineAndTheOthersGoOn) {
    test::TempDir folder;
    folder.write("run.csv", runFile(triangles({3, 0.5, 1, 2, 1.5, 1, 0.5})));
    folder.write("notes.txt", "not a run\n");
    const auto out = inFolder(folder, "analyze --json run.csv missing.csv notes.txt run.csv");
    EXPECT_EQ(out.exitCode, 1);
    const auto json = lines(out.out);
    ASSERT_EQ(json.size(), 4u);
    EXPECT_THAT(json[0], StartsWith("{\"file\":\"run.csv\",\"format\""));
    EXPECT_EQ(json[1], "{\"file\":\"missing.csv\",\"error\":\"Error, unable to open file: missing.csv\"}");
    EXPECT_THAT(json[2], StartsWith("{\"file\":\"notes.txt\",\"error\":\"corvane-cli analyze: notes.txt is no profile: "
                                    "not a table profile: "));
    EXPECT_EQ(json[3], json[0]);
    EXPECT_THAT(out.err, HasSubstr("missing.csv"));
    const auto notAFile = inFolder(folder, "analyze --csv .");
    EXPECT_EQ(notAFile.exitCode, 1);
    EXPECT_THAT(lines(notAFile.out).back(), HasSubstr("this is a folder, not a file"));
}

TEST(AnalyzeCommand, AreasAndRatiosOfRunsWithKnownShapesAndTheirGroup) {
    test::TempDir dir;
    // Two replicates: P/M (1.5 + 1 + 0.5) / 2 = 1.5 and (2 + 1 + 0.5) / 2 = 1.75.
    dir.write("a.csv", runFile(triangles({3, 0.5, 1, 2, 1.5, 1, 0.5})));
    dir.write("b.csv", runFile(triangles({3, 0.5, 1, 2, 2, 1, 0.5})));
    const auto out = inFolder(dir, "analyze --json --smooth none --group ctrl=a.csv,b.csv");
    ASSERT_EQ(out.exitCode, 0) << out.err;
    const auto json = lines(out.out);
    ASSERT_EQ(json.size(), 3u);
    EXPECT_NEAR(jsonNumber(json[0], "pm"), 1.5, 1e-6);
    EXPECT_NEAR(jsonNumber(json[0], "p_total"), 6.0 / 13.0, 1e-6);
    EXPECT_NEAR(jsonNumber(json[0], "s60_s40"), 2.0, 1e-6);
    EXPECT_NEAR(jsonNumber(json[1], "pm"), 1.75, 1e-6);
    EXPECT_THAT(json[2], StartsWith("{\"group\":\"ctrl\",\"n\":2,\"files\":[\"a.csv\",\"b.csv\"],\"mean\":{\"pm\":"));
    EXPECT_NEAR(jsonNumber(json[2], "pm"), 1.625, 1e-6);
    EXPECT_NEAR(jsonNumber(json[2], "pm", json[2].find("\"sd\":")), std::sqrt(0.03125), 1e-6);

    // Regions given by hand replace the found ones, in mm or in sample numbers.
    const auto given = inFolder(dir, "analyze --json --region 80S=16:20 --region polysomes=20:32 a.csv");
    ASSERT_EQ(given.exitCode, 0) << given.err;
    EXPECT_THAT(given.out, HasSubstr("\"regions\":[{\"name\":\"80S\",\"from\":16,\"to\":20,\"area\":4"));
    EXPECT_NEAR(jsonNumber(given.out, "pm"), 1.5, 1e-6);
    const auto bySample = inFolder(dir, "analyze --json --x index --region 80S=64:80 a.csv");
    EXPECT_THAT(bySample.out, HasSubstr("{\"name\":\"80S\",\"from\":64,\"to\":80,\"area\":16"))
        << "in sample numbers the area counts samples, 4 a mm";

    // The CSV has a row per file and one for the group.
    const auto csv = inFolder(dir, "analyze --csv --smooth none --group ctrl=a.csv,b.csv");
    const auto rows = lines(csv.out);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_THAT(rows[1], StartsWith("a.csv,ctrl,corvane,absA,"));
    EXPECT_THAT(rows[3], StartsWith(",ctrl,,,,"));
    const auto header = cells(rows[0]);
    const auto group = cells(rows[3]);
    ASSERT_EQ(group.size(), header.size());
    const auto pm = std::find(header.begin(), header.end(), "pm") - header.begin();
    EXPECT_NEAR(std::stod(group[static_cast<std::size_t>(pm)]), 1.625, 1e-9);
    EXPECT_EQ(group[static_cast<std::size_t>(std::find(header.begin(), header.end(), "n") - header.begin())], "2");
}

TEST(AnalyzeCommand, BaselinesDeconvolutionAndWrongOptions) {
    test::TempDir dir;
    dir.write("a.csv", runFile(triangles({3, 0.5, 1, 2, 1.5, 1, 0.5})));
    const auto line = inFolder(dir, "analyze --json --baseline line:0:3:40:44 a.csv");
    EXPECT_THAT(line.out, HasSubstr("\"baseline\":{\"kind\":\"line\",\"value\":0.1,\"points\":[[1.5,0.1],[42,0.1]]}"));
    const auto level = inFolder(dir, "analyze --json --baseline 0.05 a.csv");
    EXPECT_THAT(level.out, HasSubstr("\"baseline\":{\"kind\":\"constant\",\"value\":0.05}"));
    const auto deconvolved = inFolder(dir, "analyze --json --deconvolve 8:20 --components 3 a.csv");
    ASSERT_EQ(deconvolved.exitCode, 0) << deconvolved.err;
    EXPECT_THAT(deconvolved.out, HasSubstr("\"deconvolution\":{\"components\":[{\"x\":"));
    EXPECT_THAT(deconvolved.out,
                HasSubstr("\"deconvolve\":{\"from\":8,\"to\":20,\"shape\":\"gaussian\",\"components\":3"));
    const auto tooFew = inFolder(dir, "analyze --json --deconvolve 8:9 --components 3 a.csv");
    EXPECT_EQ(tooFew.exitCode, 1);
    EXPECT_THAT(tooFew.out, HasSubstr("\"error\":\"corvane-cli analyze: a.csv: deconvolution: 5 samples are too few"));

    for (const char* wrong : {"--smooth sg:4:2 a.csv", "--baseline line:1:2 a.csv", "--x mm a.csv",
                              "--json --csv a.csv",
                              "--region 80S=3:3 a.csv", "--region a=1:2 --region a=3:4 a.csv", "--components 3 a.csv",
                              "--group =a.csv", "--prominence -1 a.csv", "", "--baseline blank= a.csv"}) {
        const auto out = inFolder(dir, std::string("analyze ") + wrong);
        EXPECT_EQ(out.exitCode, 2) << wrong;
        EXPECT_THAT(out.err, HasSubstr("usage: corvane-cli analyze")) << wrong;
        EXPECT_TRUE(out.out.empty()) << wrong;
    }
    const auto missingBlank = inFolder(dir, "analyze --baseline blank=none.csv a.csv");
    EXPECT_EQ(missingBlank.exitCode, 1);
    EXPECT_THAT(missingBlank.err, HasSubstr("none.csv"));
}

}  // namespace
}  // namespace corvane
