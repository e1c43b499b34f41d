// corvane-cli record with the run's description, and info on a preset run
// file, as a user runs them in a folder of their own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"
#include "app/ConfigFile.h"
#include "runs/PresetRunFile.h"
#include "runs/RunDataFile.h"

namespace corvane {
namespace {

using ::testing::HasSubstr;
using test::runToEnd;
using test::TempDir;

const std::string kCli = std::string(CORVANE_BINARY_DIR) + "/src/cli/corvane-cli";
const std::filesystem::path kFixtures = std::filesystem::path(CORVANE_FIXTURES_DIR) / "setup";

test::Finished inFolder(const TempDir& folder, const std::string& arguments) {
    return runToEnd({"/bin/sh", "-c", "cd '" + folder.str() + "' && exec '" + kCli + "' " + arguments});
}

TEST(RecordDescriptionCli, TheUsersStoredSettingsAndTheOptionsReachTheHeaderAndNothingIsWritten) {
    TempDir folder;
    const std::string annFile =
        "[user_settings]\nmanufacturer 0\nrotor_type 4\nspeed_00-04 38\ngradient_00-04 sucrose\n"
        "gradientPct1_00-04 10\ngradientPct2_00-04 50\ntemperature_00-04 -21\nnumtubes_00-04 6\n";
    folder.write("Users/Ann/settings.txt", annFile);
    const auto run = inFolder(folder, "record --simulate --sim-speed 10 --skip-warmup --seconds 5 --user Ann "
                                      "--experiment '10-50% sucrose' --tubes 4 -o r.csv");
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const auto info = runToEnd({kCli, "info", "--json", (folder / "r.csv").string()});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr("\"experiment\":\"10-50% sucrose\",\"user\":\"Ann\""));
    EXPECT_THAT(info.out, HasSubstr("\"rotor_manufacturer\":\"Beckman\",\"rotor_model\":\"SW41Ti\""));
    // Every header value, the unit's settings too: 100 ms samples at 1 mm/s.
    EXPECT_THAT(info.out, HasSubstr("\"rotor_speed_krpm\":\"38\""));
    EXPECT_THAT(info.out, HasSubstr("\"number_of_tubes\":4,\"temperature\":4,"));
    EXPECT_THAT(info.out, HasSubstr("\"sample_interval_ms\":100,\"samples_per_sec\":10,"));
    EXPECT_THAT(info.out, HasSubstr("\"scan_speed\":1,"));
    EXPECT_THAT(folder.read("r.csv"), HasSubstr("\nSpeed: 38 krpm\n")) << "the unit the USER page asks for";
    RunDataFile file;
    ASSERT_EQ(file.read(folder / "r.csv"), RunDataFile::ReadStatus::Ok);
    const RunInfo& r = file.header().info;
    EXPECT_EQ(r.speed, "38");
    EXPECT_EQ(r.gradientPercent2, 50.0);
    EXPECT_EQ(r.temperature, 4.0);
    EXPECT_EQ(r.numberOfTubes, 4);  // the option wins
    EXPECT_NEAR(r.volumePerMm, 0.148, 1e-9);  // the rotor's, from rotors.txt
    // Read only: the user's file as it was, and no "lastuser".
    EXPECT_EQ(folder.read("Users/Ann/settings.txt"), annFile);
    EXPECT_EQ(ConfigFile(folder / "prefs.cfg").getString("[prefs]", "lastuser").value_or(""), "");
}

TEST(RecordDescriptionCli, AUserNameThatCannotBeAFolderIsRefusedBeforeAnythingIsMade) {
    TempDir folder;
    for (const char* name : {"../x", "a/b", " Ann"}) {
        const auto run = inFolder(folder, std::string("record --simulate --seconds 5 --user '") + name + "' -o r.csv");
        EXPECT_EQ(run.exitCode, 2) << name;
        EXPECT_THAT(run.err, HasSubstr("corvane-cli record: Error, the name")) << name;
    }
    const auto preset = inFolder(folder, "record --simulate --seconds 5 --preset nothing.txt -o r.csv");
    EXPECT_EQ(preset.exitCode, 2);
    EXPECT_THAT(preset.err, HasSubstr("not a preset run file: nothing.txt"));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(RecordDescriptionCli, ADe1RunFromAPresetCarriesItsSettingsAndTubing) {
    TempDir folder;
    std::filesystem::copy_file(kFixtures / "preset_full.txt", folder / "tube.txt");
    const auto run = inFolder(folder, "record --simulate --sim-speed 10 --de1 --seconds 4 --user Bo "
                                      "--preset tube.txt -o d.csv");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("user Bo has no stored settings"));
    const std::string text = folder.read("d.csv");
    // The preset's zones cut the run (0-10 mm in 2, 10-30 mm in 5), and the
    // header tells their fractions rather than the preset's even ones.
    for (const char* line : {"User: Bo\n", "UV Unit: DE-1\n", "Rotor Model: SW41Ti\n", "Volume per mm: 0.148 ml/mm\n",
                             "Absorbance Units Full Scale (AUFS): 0.10\n", "Delay: Event with Delay\n",
                             "EM1 Speed: 0.50 mm/sec\n", "Distance: 5.00 mm\n", "Number: 7\n",
                             "Length of Tubing: 100 mm\n", "Total Distance: 30.00 mm\n", "numzones 2\n"}) {
        EXPECT_THAT(text, HasSubstr(line));
    }
}

TEST(RecordDescriptionCli, APresetWhoseFractionsOverflowTheVesselIsRefusedBeforeRecording) {
    TempDir folder;
    std::filesystem::copy_file(kFixtures / "preset_full.txt", folder / "tube.txt");
    // The program's own settings, with a smaller vessel: zone 1 cuts 5 mm
    // fractions, 0.74 ml in the rotor's tube.
    std::filesystem::copy_file(std::filesystem::path(CORVANE_FIXTURES_DIR) / "../../resources/prefs.cfg",
                               folder / "prefs.cfg");
    {
        ConfigFile prefs(folder / "prefs.cfg");
        ASSERT_TRUE(prefs.setDouble("[collection]", "volume", 0.5));
    }
    const auto run = inFolder(folder, "record --simulate --sim-speed 10 --de1 --seconds 4 "
                                      "--preset tube.txt -o d.csv");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_THAT(run.err + run.out, HasSubstr("The collection limit of 0.50 ml was exceeded in the following zones:\n"
                                             "Zone 1 requires 0.74 ml per fraction.\n"));
    EXPECT_THAT(run.err + run.out, HasSubstr("the run did not start"));
    EXPECT_FALSE(std::filesystem::exists(folder / "d.csv"));
}

TEST(RecordDescriptionCli, InfoShowsAPresetRunFile) {
    const auto info = runToEnd({kCli, "info", "--json", (kFixtures / "preset_full.txt").string()});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr("\"layout\":\"preset_run\""));
    EXPECT_THAT(info.out, HasSubstr("\"number_of_fractions\":10"));
    EXPECT_THAT(info.out, HasSubstr("\"zones\":[{\"start\":0,\"end\":10,\"fractions\":2}"));
    const auto text = runToEnd({kCli, "info", (kFixtures / "preset_no_run_info.txt").string()});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_THAT(text.out, HasSubstr("de1_signal_type: 1\n"));
}

}  // namespace
}  // namespace corvane
