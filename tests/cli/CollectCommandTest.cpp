// corvane-cli collect --preview on profiles and runs with known peaks, its
// refusals, and record --collect-peaks on the simulated DE-1 bench, whose
// saved run the preview must read as the run cut it.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"
#include "base/TextFormat.h"

namespace corvane {
namespace {

const std::string kCli = std::string(CORVANE_BINARY_DIR) + "/src/cli/corvane-cli";

test::Finished cli(std::vector<std::string> args, const std::filesystem::path& folder = {}) {
    if (folder.empty()) {
        args.insert(args.begin(), kCli);
        return test::runToEnd(std::move(args));
    }
    std::string line = "cd '" + folder.string() + "' && exec '" + kCli + "'";
    for (const auto& arg : args) line += " '" + arg + "'";
    return test::runToEnd({"/bin/sh", "-c", line});
}

struct Row {
    double from = 0.0;
    double to = 0.0;
    std::string peak;
};

// The fractions of a JSON array of {"number", "from", "to", "peak"}.
std::vector<Row> rowsOf(const std::string& json) {
    std::vector<Row> rows;
    for (auto at = json.find("\"from\":"); at != std::string::npos; at = json.find("\"from\":", at + 1)) {
        Row row;
        row.from = std::stod(json.substr(at + 7));
        const auto to = json.find("\"to\":", at);
        row.to = std::stod(json.substr(to + 5));
        const auto peak = json.find("\"peak\":", to) + 7;
        row.peak = json.substr(peak, json.find('}', peak) - peak);
        rows.push_back(row);
    }
    return rows;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

double bump(double x, double centre, double width, double height) {
    const double z = (x - centre) / width;
    return height * std::exp(-0.5 * z * z);
}

// A table of another instrument: minutes against mAU, three peaks on 20 mAU.
std::string tableProfile() {
    std::string text = "Time (min)\tSignal (mAU)\n";
    for (int i = 0; i < 3000; ++i) {
        const double x = i * 0.01;
        const double y = 20.0 + bump(x, 8.0, 0.5, 300.0) + bump(x, 15.0, 0.7, 500.0) + bump(x, 22.0, 0.4, 200.0);
        text += formatText("%.2f\t%.3f\n", x, y);
    }
    return text;
}

TEST(CollectCli, PreviewOfAProfileInItsOwnUnitsWithLevelsInAu) {
    test::TempDir dir;
    const auto file = dir.write("profile.txt", tableProfile()).string();
    const auto json = cli({"collect", "--preview", file, "--start-level", "0.05", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    // 50 mAU above the baseline: each peak from centre - width * sqrt(2 ln(height / 50)).
    const double first = 8.0 - 0.5 * std::sqrt(2.0 * std::log(300.0 / 50.0));
    EXPECT_TRUE(json.out.starts_with("{\"file\":\"" + file + "\",\"fractions\":[{\"number\":1,\"from\":0,\"to\":"))
        << json.out;
    EXPECT_TRUE(contains(json.out, "\"peak\":null},{\"number\":2,\"from\":" + formatText("%.4f", first).substr(0, 5)))
        << json.out;
    EXPECT_TRUE(contains(json.out, "\"peak\":3},{\"number\":7,")) << json.out;
    EXPECT_TRUE(json.out.ends_with("\"to\":29.99,\"peak\":null}]}\n")) << json.out;

    const auto text = cli({"collect", "--preview", file, "--start-level", "0.05", "--per-peak", "2"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_TRUE(text.out.starts_with(file + ": 10 fractions, 3 peaks\n")) << text.out;
    EXPECT_TRUE(contains(text.out, formatText("   2  %.4f min to 8.0000 min  peak 1\n", first))) << text.out;

    // Between peaks a fraction every 5 minutes from the start and after each peak.
    const auto every = cli({"collect", "--preview", file, "--start-level", "0.05", "--between", "every:5"});
    ASSERT_EQ(every.exitCode, 0) << every.err;
    EXPECT_TRUE(contains(every.out, "   1  0.0000 min to 5.0000 min  between\n")) << every.out;
}

TEST(CollectCli, PreviewOfOurRunHoldsBackWhatItsDeadVolumeCannotSendInTime) {
    test::TempDir dir;
    std::string run =
        "Corvane Text Data File: r.csv\nVersion: 1\nDate: 2026-01-02\nTime: 03:04:05\n\n"
        "Absorbance Units Full Scale (AUFS): 1.00\n"
        "Event Mark-triggered gradient; (with distance; auto start and stop)\nDelay: No Delay\n"
        "Dead Volume: 0.014300 ml; Distance due to Dead Volume: 0.10 mm\n\nData Columns:\n"
        "Distance(mm), Absorbance, Fraction Number, Fraction Volume(ml)\n";
    for (int i = 1; i <= 1000; ++i) {
        const double x = i * 0.03;
        run += formatText("%.2f, %.6f, , \n", x, 0.01 + bump(x, 15.0, 1.0, 0.6));
    }
    const auto file = dir.write("r.csv", run).string();
    const double start = 15.0 - std::sqrt(2.0 * std::log(0.6 / 0.1));
    // A minimum width of a millimetre is waited out: with 0.1 mm of delay the
    // change falls late; with the delay given as a whole millimetre and more it falls at the start.
    const auto late = cli({"collect", "--preview", file, "--start-level", "0.1", "--min-width", "1", "--json"});
    ASSERT_EQ(late.exitCode, 0) << late.err;
    const auto fromOf = [](const std::string& out) {
        const auto at = out.find("\"number\":2,\"from\":");
        return at == std::string::npos ? -1.0 : std::stod(out.substr(at + 18));
    };
    EXPECT_NEAR(fromOf(late.out), start + 1.0 - 0.1, 0.2) << late.out;
    const auto inTime = cli({"collect", "--preview", file, "--start-level", "0.1", "--min-width", "1",
                             "--dead-volume", "0.3", "--volume-per-mm", "0.143", "--json"});
    ASSERT_EQ(inTime.exitCode, 0) << inTime.err;
    EXPECT_NEAR(fromOf(inTime.out), start, 0.04) << inTime.out;
}

TEST(CollectCli, RefusesWhatItCannotDoWithAClearMessage) {
    test::TempDir dir;
    const auto file = dir.write("profile.txt", tableProfile()).string();
    const auto noPreview = cli({"collect", file, "--start-level", "0.1"});
    EXPECT_EQ(noPreview.exitCode, 2);
    EXPECT_TRUE(contains(noPreview.err, "usage: corvane-cli collect --preview RUN")) << noPreview.err;
    const auto twoFiles = cli({"collect", "--preview", file, file, "--start-level", "0.1"});
    EXPECT_EQ(twoFiles.exitCode, 2);
    EXPECT_TRUE(contains(twoFiles.err, "one run at a time")) << twoFiles.err;
    const auto noStart = cli({"collect", "--preview", file});
    EXPECT_EQ(noStart.exitCode, 1);
    EXPECT_EQ(noStart.err, "corvane-cli collect: A peak needs a start level or a start slope.\n");
    const auto between = cli({"collect", "--preview", file, "--start-level", "0.1", "--between", "every"});
    EXPECT_EQ(between.exitCode, 1);
    EXPECT_TRUE(contains(between.err, "--between takes \"one\" or \"every:MM\"")) << between.err;
    const auto half = cli({"collect", "--preview", file, "--start-level", "0.1", "--dead-volume", "0.2"});
    EXPECT_EQ(half.exitCode, 1);
    EXPECT_TRUE(contains(half.err, "go together")) << half.err;
    const auto missing = cli({"collect", "--preview", (dir.path() / "none.csv").string(), "--start-level", "0.1"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(contains(missing.err, "Error, unable to open file:")) << missing.err;
    const auto delay = cli({"collect", "--preview", file, "--start-level", "0.1", "--delay-volume", "0.2"});
    EXPECT_EQ(delay.exitCode, 2);  // a live run's option
    EXPECT_TRUE(noPreview.out.empty() && noStart.out.empty() && missing.out.empty());
}

TEST(CollectCli, RecordCollectsByPeaksOnTheSimulatedBenchAndThePreviewAgrees) {
    test::TempDir dir;
    const auto folder = dir.path();
    const auto wrong = cli({"record", "--simulate", "--collect-peaks", "--start-level", "0.1", "-o", "x.csv"}, folder);
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(contains(wrong.err, "--collect-peaks goes with --de1")) << wrong.err;

    // The settings files first, then the monitor's full scale of 2.00 and 0.2 ml of tubing.
    ASSERT_EQ(cli({"record", "--simulate", "--de1", "--sim-speed", "20", "--seconds", "1", "-o", "first.csv"}, folder)
                  .exitCode,
              0);
    ASSERT_EQ(cli({"config", "set", "prefs.cfg", "[EM1_Settings]", "aufs", "7"}, folder).exitCode, 0);
    ASSERT_EQ(cli({"config", "set", "prefs.cfg", "[EM1_Settings]", "deadvolume", "0.2"}, folder).exitCode, 0);
    const std::vector<std::string> peakOptions = {"--start-level", "0.15", "--end-level", "0.12",
                                                  "--min-width", "0.5"};
    std::vector<std::string> record = {"record", "--simulate", "--de1", "--sim-speed", "20", "--seconds", "200",
                                       "--collect-peaks"};
    record.insert(record.end(), peakOptions.begin(), peakOptions.end());
    record.insert(record.end(), {"-o", "peaks.csv"});
    const auto recorded = cli(record, folder);
    ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
    EXPECT_TRUE(contains(recorded.err, "collected by peaks: ")) << recorded.err;

    const auto info = cli({"info", "--json", "peaks.csv"}, folder);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const auto at = info.out.find("\"collected_fractions\":[");
    ASSERT_NE(at, std::string::npos) << info.out;
    const auto live = rowsOf(info.out.substr(at, info.out.find(']', at) - at));
    std::vector<std::string> preview = {"collect", "--preview", "peaks.csv", "--json"};
    preview.insert(preview.end(), peakOptions.begin(), peakOptions.end());
    const auto previewed = cli(preview, folder);
    ASSERT_EQ(previewed.exitCode, 0) << previewed.err;
    EXPECT_TRUE(previewed.out.starts_with("{\"file\":\"peaks.csv\",\"fractions\":[{\"number\":1,"));
    const auto shown = rowsOf(previewed.out);
    ASSERT_EQ(shown.size(), live.size()) << previewed.out << info.out;
    ASSERT_GE(live.size(), 5u);  // the simulated gradient's peaks stand above 0.15 AU
    for (std::size_t i = 0; i < live.size(); ++i) {
        // The table keeps hundredths of a millimetre.
        EXPECT_NEAR(shown[i].from, live[i].from, 0.0051) << i;
        EXPECT_NEAR(shown[i].to, live[i].to, 0.0051) << i;
        EXPECT_EQ(shown[i].peak, live[i].peak) << i;
    }
}

}  // namespace
}  // namespace corvane
