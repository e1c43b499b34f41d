// Preset run files: written in their fixed order, read back, refused.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "runs/PresetRunFile.h"

namespace corvane {
namespace {

using test::readFile;
using test::TempDir;

const std::filesystem::path kFixtures = std::filesystem::path(CORVANE_FIXTURES_DIR) / "setup";

PresetRun fullPreset() {
    PresetRun p;
    RunInfo r;
    r.rotorManufacturer = "Beckman";
    r.rotorModel = "SW41Ti";
    r.collectionVolume = 0.5;
    r.gradientPercent1 = 10.0;
    r.gradientPercent2 = 50.0;
    r.volumePerMm = 0.148;
    r.gradient = "sucrose";
    r.aufs = 3;
    r.manufacturerIndex = 0;
    r.numberOfTubes = 6;
    r.rotorModelIndex = 4;
    r.w2tExponent = 11;
    r.uvUnit = RunInfo::kDe1;
    r.sampleVolume = "0.5";
    r.speed = "38";
    r.spinTime = "16 h";
    r.w2tMantissa = "2.4";
    r.temperature = 4.0;
    p.runInfo = r;
    Em1Settings s;
    s.deadVolume = 0.1;
    s.fractionDistance = 5.0;
    s.samplesPerSec = 10.0;
    s.speed = 0.5;
    s.totalDistance = 50.0;
    s.aufs = 3;
    s.delayType = Em1Settings::kEventWithDelay;
    s.graphYAxisType = 1;
    s.numberOfFractions = 10;
    p.em1 = s;
    p.scan.scanDistance = 89.0;
    p.scan.autosendEventMarks = true;
    p.plan = OverlayPlan{{{0.0, 10.0, 2}, {10.0, 30.0, 5}}, 0};
    p.planFile = "/data/SR-ref.csv";
    return p;
}

TEST(PresetRunFile, IsWrittenInItsFixedOrderAndReadsBackTheSame) {
    const PresetRun preset = fullPreset();
    EXPECT_EQ(presetRunText(preset), readFile(kFixtures / "preset_full.txt"));

    TempDir dir;
    ASSERT_TRUE(writePresetRun(dir / "p.txt", preset));
    const auto back = readPresetRun(dir / "p.txt");
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, preset);
    ASSERT_TRUE(writePresetRun(dir / "again.txt", *back));
    EXPECT_EQ(dir.read("again.txt"), readFile(kFixtures / "preset_full.txt"));
}

TEST(PresetRunFile, WithoutARunDescriptionOrPlanTheScanSectionEndsWithNoZones) {
    PresetRun preset;
    Em1Settings s;
    s.deadVolume = 0.05;
    s.fractionDistance = 2.5;
    s.samplesPerSec = 5.0;
    s.speed = 0.3;
    s.totalDistance = 25.0;
    s.wavelength = 280.0;
    s.graphYAxisType = 1;
    s.graphXAxisType = 2;
    s.numberOfFractions = 10;
    s.signalType = Em1Settings::kManualTriggered;
    preset.em1 = s;
    const std::string text = presetRunText(preset);
    EXPECT_EQ(text, readFile(kFixtures / "preset_no_run_info.txt"));
    EXPECT_TRUE(text.ends_with("autosend_eventmarks 0\nnumzones 0\n"));

    const auto back = readPresetRun(kFixtures / "preset_no_run_info.txt");
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->runInfo);
    EXPECT_FALSE(back->plan);
    EXPECT_EQ(back->em1, preset.em1);
}

TEST(PresetRunFile, ReadsOlderKeysMissingNumbersAndRefusesWhatIsNoPreset) {
    TempDir dir;
    dir.write("old.txt",
              "[experiment_settings]\r\nmanufacturer Hitachi\r\nnumtubes 4\r\n\r\n[scan_settings]\r\n"
              "scan_distance 70.5\r\nscan_speed 1.0\r\nymax 2.5\r\n\r\n[overlay plan]\r\nnumzones 99999999\r\n"
              "zone001 0 5 1\r\nzone002 5 9\r\n");
    const auto old = readPresetRun(dir / "old.txt");
    ASSERT_TRUE(old);
    ASSERT_TRUE(old->runInfo);
    EXPECT_EQ(old->runInfo->rotorManufacturer, "Hitachi");
    EXPECT_EQ(old->runInfo->numberOfTubes, 4);
    EXPECT_EQ(old->runInfo->temperature, 0.0);  // missing numbers read as 0
    EXPECT_EQ(old->scan.scanDistance, 70.5);
    EXPECT_EQ(old->scan.extras, (std::vector<std::pair<std::string, double>>{{"scan_speed", 1.0}, {"ymax", 2.5}}));
    // A huge zone count stops at the first zone line missing.
    ASSERT_TRUE(old->plan);
    EXPECT_EQ(old->plan->zones, (std::vector<OverlayZone>{{0, 5, 1}, {5, 9, 0}}));

    dir.write("notes.txt", "shopping list\nmilk\n");
    EXPECT_FALSE(readPresetRun(dir / "notes.txt"));
    EXPECT_FALSE(readPresetRun(dir / "missing.txt"));
    EXPECT_FALSE(readPresetRun(dir.path()));
    dir.write("big.txt", "[scan_settings]\nscan_distance 1\n" + std::string(kMaxPresetFileBytes, '#'));
    EXPECT_FALSE(readPresetRun(dir / "big.txt"));
}

TEST(PresetRunFile, ATextTheFileCannotHoldIsNamedAndNothingIsWritten) {
    TempDir dir;
    PresetRun preset = fullPreset();
    preset.runInfo->gradient = "10-50 [w/v]";
    const std::string problem = presetTextProblem(preset);
    EXPECT_NE(problem.find("gradient \"10-50 [w/v]\""), std::string::npos) << problem;
    EXPECT_FALSE(writePresetRun(dir / "p.txt", preset));
    EXPECT_FALSE(dir.exists("p.txt"));
}

}  // namespace
}  // namespace corvane
