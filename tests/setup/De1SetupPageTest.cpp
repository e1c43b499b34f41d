// The DE-1 SETUP page: the fraction fields on worked numbers, the ordered
// checks with their texts, where the settings are kept, presets saved and
// applied, and what reaches the window.
#include <gtest/gtest.h>

#include "PageHost.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "app/ConfigFile.h"
#include "runs/Em1SettingsStore.h"
#include "setup/De1SetupPage.h"
#include "setup/GraphSetupPage.h"
#include "setup/PresetRunLists.h"

namespace corvane {
namespace {

using test::ManualClock;
using test::PageHost;
using test::ScriptedPrompter;
using test::TempDir;

TEST(FractionFields, KeepTotalNumberDistanceAndVolumeTogether) {
    FractionFields f(0.148);
    f.set(5.0, 10);
    EXPECT_EQ(f.total(), "50.00");
    EXPECT_EQ(f.volume(), "0.74");
    EXPECT_EQ(f.markText(), "Send event mark pulses to collector every 5.00 mm.");

    f.numberTyped("4");  // 50 / 4
    EXPECT_EQ(f.distance(), "12.50");
    EXPECT_EQ(f.volume(), "1.85");
    f.totalTyped("30");  // 30 / 4
    EXPECT_EQ(f.distance(), "7.50");

    f.distanceTyped("7");  // 30 / 7 = 4.29: four fractions, 28 mm
    EXPECT_EQ(f.number(), "4");
    EXPECT_EQ(f.total(), "28.00");
    EXPECT_EQ(f.distance(), "7");
    EXPECT_EQ(f.volume(), "1.04");
    EXPECT_EQ(f.markText(), "Send event mark pulses to collector every 7.00 mm.");

    f.distanceTyped("7");  // 28 / 7 = 4 exactly: T stays
    EXPECT_EQ(f.total(), "28.00");

    f.volumeTyped("2.96");  // 20 mm a fraction: 28 / 20 = 1.4
    EXPECT_EQ(f.distance(), "20.00");
    EXPECT_EQ(f.number(), "1");
    EXPECT_EQ(f.total(), "20.00");

    f.numberTyped("0");  // not above 0: nothing follows
    EXPECT_EQ(f.distance(), "20.00");
}

class De1PageTest : public ::testing::Test {
protected:
    De1PageTest() {
        dir.write("prefs.cfg", "[prefs]\nlastuser Ann\n[scan]\ndistance 89\n");
        dir.write("Users/Ann/settings.txt", "[user_settings]\n");
        RunInfo info;
        info.userName = "Ann";
        info.manufacturerIndex = 0;
        info.rotorModelIndex = 4;
        info.volumePerMm = 0.148;
        host.setRunInfo(info);
    }

    De1SetupPage& page() {
        page_ = std::make_unique<De1SetupPage>(De1SetupPage::Env{dir.path(), prompter, host, clock});
        page_->open();
        return *page_;
    }

    std::string em1(const std::filesystem::path& file, const char* key) {
        return ConfigFile(file).getString(kEm1Section, key).value_or("(none)");
    }

    TempDir dir;
    ScriptedPrompter prompter;
    PageHost host;
    ManualClock clock;
    std::unique_ptr<De1SetupPage> page_;
};

TEST_F(De1PageTest, OpensWithDefaultsThenStoredValuesAndShowsOdSensingAsEventWithDelay) {
    De1SetupPage& fresh = page();
    EXPECT_EQ(fresh.speed, "0.30");
    EXPECT_EQ(fresh.samplesEntry, 9);
    EXPECT_EQ(fresh.wavelengthEntry, 0);
    EXPECT_EQ(fresh.maxVolume, "5.00");

    dir.write("prefs.cfg", "[prefs]\nlastuser Ann\n[EM1_Settings]\naufs 4\ndelaytype 2\nspeed 0.8\n"
                           "autosend_eventmarks 1\n[collection]\nvolume 0\n");
    dir.write("Users/Ann/settings.txt",
              "[user_settings]\n[EM1_Settings]\nspeed_00_04 0.45\ndeadvolume_00_04 0.1\n[collection]\nvolume 1.5\n");
    De1SetupPage& p = page();
    EXPECT_EQ(p.aufs, 4);
    EXPECT_EQ(p.startType, 1);
    EXPECT_TRUE(p.autosend);
    EXPECT_EQ(p.speed, "0.45");  // the user's, for the rotor
    EXPECT_EQ(p.tubing, "100");
    EXPECT_EQ(p.maxVolume, "1.50");
}

// Two runs on one rotor: the AUFS and the rate chosen in the graph axes
// window before each are the ones the DE-1 SETUP page then shows and hands
// on, not those the rotor's first run left in the user's file.
TEST_F(De1PageTest, TheAufsAndRateChosenBeforeEachRunOnARotorAreTheOnesItTakes) {
    for (const auto& [aufs, entry] : {std::pair{3, 4}, std::pair{6, 9}}) {
        GraphSetupPage axes(dir.path(), prompter, host.runInfo());
        axes.open();
        axes.aufs = aufs;
        axes.samplesEntry = entry;
        ASSERT_TRUE(axes.store());
        De1SetupPage& p = page();
        EXPECT_EQ(p.aufs, aufs);
        EXPECT_EQ(p.samplesEntry, entry);
        ASSERT_TRUE(p.graph());
        EXPECT_EQ(host.de1Setup()->settings.aufs, aufs);
        EXPECT_EQ(host.de1Setup()->settings.samplesPerSec, entry + 1);
    }
    // The axes window opens at the rotor's own, as the page does.
    GraphSetupPage again(dir.path(), prompter, host.runInfo());
    again.open();
    EXPECT_EQ(again.aufs, 6);
    const auto user = dir / "Users" / "Ann" / "settings.txt";
    EXPECT_EQ(em1(user, "aufs_00_04"), "6");
    EXPECT_EQ(em1(user, "samplespersec_00_04"), "10");
    EXPECT_TRUE(prompter.texts().empty());
}

TEST_F(De1PageTest, TheVesselVolumeShowsTwoDecimalsAndOnlyAnEditChangesIt) {
    const auto user = dir / "Users" / "Ann" / "settings.txt";
    const auto stored = [&] { return ConfigFile(user).getDouble("[collection]", "volume"); };
    dir.write("Users/Ann/settings.txt", "[user_settings]\n[collection]\nvolume 0.25\n");
    ASSERT_TRUE(page().graph());
    EXPECT_EQ(page_->maxVolume, "0.25");
    EXPECT_EQ(stored(), 0.25);
    EXPECT_EQ(host.collectionVolume(), 0.25);

    // A value finer than the field shows is kept as it is while the field is left alone.
    dir.write("Users/Ann/settings.txt", "[user_settings]\n[collection]\nvolume 0.3333\n");
    ASSERT_TRUE(page().graph());
    EXPECT_EQ(page_->maxVolume, "0.33");
    EXPECT_EQ(stored(), 0.3333);
    page_->maxVolume = "0.4";
    ASSERT_TRUE(page_->graph());
    EXPECT_EQ(stored(), 0.4);
    EXPECT_EQ(host.collectionVolume(), 0.4);
}

TEST_F(De1PageTest, ARoundTripThroughThePageChangesNeitherTheTubingNorThePreset) {
    PresetRun preset;
    Em1Settings s;
    s.deadVolume = 0.1234;  // 146.8 mm of tubing
    s.fractionDistance = 2.0;
    s.numberOfFractions = 5;
    s.totalDistance = 10.0;
    preset.em1 = s;
    const auto file = dir / "p.txt";
    ASSERT_TRUE(writePresetRun(file, preset));
    const std::string before = dir.read("p.txt");
    host.setCurrentPreset(file);

    De1SetupPage& p = page();
    EXPECT_EQ(p.tubing, "146.8");
    ASSERT_TRUE(p.graph());
    EXPECT_TRUE(prompter.texts().empty());  // nothing changed: no question
    EXPECT_EQ(dir.read("p.txt"), before);
    EXPECT_EQ(host.de1Setup()->settings.deadVolume, 0.1234);
    EXPECT_EQ(em1(dir / "prefs.cfg", "deadvolume"), "0.123400");
    EXPECT_EQ(tubingText(150.0), "150");
    EXPECT_EQ(tubingText(0.0), "0");
}

TEST_F(De1PageTest, WithoutARotorFigureTheStandardRunsTubeGivesTheVolumes) {
    RunInfo info = *host.runInfo();
    info.volumePerMm = 0.0;
    host.setRunInfo(info);
    host.standardVolumePerMm = 0.2;
    De1SetupPage& p = page();
    p.fractions().distanceTyped("5");
    EXPECT_EQ(p.fractions().volume(), "1.00");  // not 0.72 of the default tube
    p.zones().load(OverlayPlan{{{0, 10, 4}}, 0});
    EXPECT_EQ(p.zones().volumeText(0), "0.50");
    // The vessel warning asks about the same figure.
    p.maxVolume = "0.9";
    prompter.answerNo();
    EXPECT_FALSE(p.graph());
    EXPECT_EQ(prompter.texts().size(), 1U);

    host.standardVolumePerMm = 0.0;
    EXPECT_EQ(page().fractions().volumePerMm(), 0.143);
}

TEST_F(De1PageTest, ChecksRunInOrderWithTheirTexts) {
    De1SetupPage& p = page();
    const auto failsWith = [&](const std::string& text) {
        prompter.clear();
        EXPECT_FALSE(p.validateAndStore(true));
        EXPECT_EQ(prompter.texts(), (std::vector<std::string>{text}));
    };
    p.samplesEntry = -1;
    failsWith("Invalid Samples/sec!");
    EXPECT_EQ(p.marked(), De1Field::SamplesPerSec);
    p.samplesEntry = 4;
    p.wavelengthEntry = -1;
    failsWith("Invalid Wavelength!");
    p.wavelengthEntry = 1;
    for (const char* speed : {"0.09", "1.51", "fast"}) {
        p.speed = speed;
        failsWith("Error, speed must be between 0.10 and 1.5 mm/sec.");
    }
    p.speed = "0.10";
    p.fractions().distanceTyped("99.01");
    failsWith("Invalid distance. Distance must be between 0.00 and 99.00 mm.");
    p.fractions().distanceTyped("99.00");
    p.fractions().numberTyped("100");
    failsWith("Invalid number. Number must be between 1 and 99.");
    p.fractions().numberTyped("99");
    p.startType = -1;
    failsWith("Invalid recording start type.");
    p.startType = 0;
    p.tubing = "-3";
    failsWith("Invalid value for tube length. Must be a real number greater than zero.");
    p.tubing = "0";  // what the field's tooltip asks for when the tubing is to be left out
    p.maxVolume = "0";
    failsWith("Invalid maximum volume per fraction.");
    p.maxVolume = "5.0";
    p.fractions().distanceTyped("1");
    prompter.clear();
    EXPECT_TRUE(p.validateAndStore(true));
    EXPECT_TRUE(prompter.texts().empty());
    p.speed = "1.5";
    EXPECT_TRUE(p.validateAndStore(true));

    // Everything stored on the way stays stored.
    const auto prefs = dir / "prefs.cfg";
    EXPECT_EQ(em1(prefs, "samplespersec"), "5");
    EXPECT_EQ(em1(prefs, "wavelength"), "1");
    EXPECT_EQ(std::stod(em1(prefs, "speed")), 1.5);
    EXPECT_EQ(em1(prefs, "number"), "99");
    EXPECT_EQ(std::stod(em1(prefs, "deadvolume")), 0.05);
    const auto user = dir / "Users" / "Ann" / "settings.txt";
    EXPECT_EQ(std::stod(em1(user, "speed_00_04")), 1.5);
    EXPECT_EQ(em1(user, "number_00_04"), "99");
}

TEST_F(De1PageTest, AVolumeAboveTheVesselIsAskedAboutAndNoStops) {
    De1SetupPage& p = page();
    p.maxVolume = "0.5";
    p.fractions().distanceTyped("10");  // 1.48 ml a fraction
    prompter.answerNo();
    EXPECT_FALSE(p.graph());
    EXPECT_EQ(prompter.texts().back(),
              "Warning: The \"volume/fraction\" quantity exceeds the \"Max. vol./fraction\" quantity. Are "
              "you sure you wish to continue?");
    EXPECT_FALSE(host.de1Setup());
    prompter.answerYes();
    EXPECT_TRUE(p.graph());
}

TEST_F(De1PageTest, GraphHandsTheSettingsAndTheTubingToTheWindow) {
    host.setSignalType(Em1Settings::kManualTriggered);
    De1SetupPage& p = page();
    p.aufs = 5;
    p.speed = "0.5";
    p.tubing = "150";
    p.startType = 1;
    p.autosend = true;
    p.fractions().set(2.0, 20);
    const auto step = p.graph();
    ASSERT_TRUE(step);
    EXPECT_EQ(step->next, SetupPage::Graph);
    ASSERT_TRUE(host.de1Setup());
    const auto& s = host.de1Setup()->settings;
    EXPECT_EQ(host.de1Setup()->tubingLength, 150.0);
    EXPECT_DOUBLE_EQ(s.deadVolume, 150 * 0.0005 + 0.05);
    EXPECT_EQ(s.aufs, 5);
    EXPECT_EQ(s.numberOfFractions, 20);
    EXPECT_EQ(s.totalDistance, 40.0);
    EXPECT_EQ(s.delayType, Em1Settings::kEventWithDelay);
    EXPECT_EQ(s.signalType, Em1Settings::kManualTriggered);
    EXPECT_TRUE(s.autosendEventMarks);
    EXPECT_EQ(host.runInfo()->aufs, 5);
    EXPECT_EQ(host.runInfo()->collectionVolume, 5.0);

    EXPECT_EQ(p.user().next, SetupPage::User);
    p.shortCheckList();
    p.detailedCheckList();
    EXPECT_EQ(host.posted, (std::vector<UserMsg>{UserMsg::OpenShortChecklist, UserMsg::OpenDetailedChecklist}));
}

TEST_F(De1PageTest, ZonesAreCheckedInOrderBeforeLeaving) {
    De1SetupPage& p = page();
    p.zones().load(OverlayPlan{{{0, 10, 2}, {10, 30, 5}, {30, 40, 1}}, 0});
    EXPECT_EQ(p.zones().distanceText(1), "4.00");
    EXPECT_EQ(p.zones().volumeText(1), "0.59");
    p.zones().rows()[1].end = "5";
    EXPECT_FALSE(p.graph());
    p.zones().rows()[1].end = "30";
    p.zones().rows()[2].number = "x";
    EXPECT_FALSE(p.graph());
    p.zones().rows()[0].end = "?";
    EXPECT_FALSE(p.graph());
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"End position is less than start position for zone #2.",
                                                          "Invalid number of fractions for zone #3.",
                                                          "Invalid end position for zone #1."}));
    p.zones().rows()[0].end = "10";
    p.zones().rows()[2].number = "1";
    ASSERT_TRUE(p.graph());
    EXPECT_EQ(host.de1Setup()->overlayPlan->zones.size(), 3U);
    p.zones().resetAll();
    ASSERT_TRUE(p.graph());
    EXPECT_FALSE(host.de1Setup()->overlayPlan);
}

TEST_F(De1PageTest, TheZoneTableRefusesAFractionCountOutsideOneTo99AtTheField) {
    De1SetupPage& p = page();
    p.zones().load(OverlayPlan{{{0, 10, 2}}, 0});
    EXPECT_FALSE(p.zoneNumberTyped(0, "100"));
    EXPECT_FALSE(p.zoneNumberTyped(0, "0"));
    EXPECT_EQ(p.zones().rows()[0].number, "2");  // the row keeps its number
    EXPECT_TRUE(p.zoneNumberTyped(0, "99"));
    EXPECT_TRUE(p.zoneNumberTyped(0, "x"));  // left to the zone checks on leaving
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Number of fractions must be 99 or less.",
                                                          "Number of fractions must be 1 or more."}));
    EXPECT_FALSE(p.graph());
    EXPECT_EQ(prompter.texts().back(), "Invalid number of fractions for zone #1.");
}

TEST_F(De1PageTest, SaveSettingsAsWritesThePresetAndTheNewestFirstList) {
    De1SetupPage& p = page();
    p.speed = "9";
    p.saveSettingsAs();
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Error, unable to save settings."}));

    p.speed = "0.5";
    const auto file = dir / "PRESET RUNS" / "tube.txt";
    prompter.scriptFile(file.string());
    prompter.clear();
    p.saveSettingsAs();
    EXPECT_EQ(prompter.texts().back(), "Preset run saved successfully to: " + file.string());
    const auto request = prompter.fileRequests().at(0);
    EXPECT_EQ(request.title, "SAVE RUN PARAMETERS as...");
    EXPECT_EQ(request.defaultExtension, "*.txt");
    const auto preset = readPresetRun(file);
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->em1->speed, 0.5);
    EXPECT_EQ(preset->scan.scanDistance, 89.0);
    EXPECT_EQ(preset->runInfo->rotorModelIndex, 4);
    EXPECT_EQ(savedPresets(ConfigFile(dir / "prefs.cfg")), (std::vector<std::string>{file.string()}));

    prompter.scriptFile((dir / "nowhere" / "x.txt").string());
    prompter.clear();
    p.saveSettingsAs();
    EXPECT_EQ(prompter.texts().back(),
              "Error, unable to create file: " + (dir / "nowhere" / "x.txt").string() + " for writing.");
}

TEST_F(De1PageTest, ACurrentPresetIsAppliedAndAChangeOffersToSaveIt) {
    PresetRun preset;
    Em1Settings s;
    s.speed = 0.7;
    s.fractionDistance = 4.0;
    s.numberOfFractions = 5;
    s.totalDistance = 20.0;
    s.deadVolume = 0.1;
    s.samplesPerSec = 10.0;
    preset.em1 = s;
    preset.scan.autosendEventMarks = true;
    const auto file = dir / "p.txt";
    ASSERT_TRUE(writePresetRun(file, preset));
    host.setCurrentPreset(file);

    De1SetupPage& p = page();
    EXPECT_EQ(p.speed, "0.70");
    EXPECT_EQ(p.fractions().number(), "5");
    EXPECT_EQ(p.tubing, "100");
    EXPECT_TRUE(p.autosend);
    ASSERT_TRUE(p.graph());
    EXPECT_TRUE(prompter.texts().empty());  // nothing changed

    p.speed = "0.9";
    prompter.answerYes();
    ASSERT_TRUE(p.graph());
    EXPECT_EQ(prompter.texts().back(),
              "Settings have changed, would you like to save the new settings to the preset file: \"" +
                  file.string() + "\"?");
    EXPECT_EQ(readPresetRun(file)->em1->speed, 0.9);
}

TEST_F(De1PageTest, PeaksAreCheckedAtTheirFieldsAndKeptPerRotorAndInPrefs) {
    De1SetupPage& p = page();
    EXPECT_FALSE(p.peaks.on);
    p.peaks.on = true;
    p.peaks.startLevel = "";
    EXPECT_FALSE(p.graph());
    EXPECT_EQ(p.marked(), De1Field::Peaks);
    EXPECT_EQ(prompter.transcript().back(), "message: A peak needs a start level or a start slope.");
    p.peaks.startLevel = "0.08";
    p.peaks.perPeak = "two";
    EXPECT_FALSE(p.graph());
    EXPECT_EQ(prompter.transcript().back(),
              "message: Invalid number of fractions per peak. It must be between 1 and 20.");
    p.peaks.perPeak = "2";
    p.peaks.betweenEvery = "3";
    p.peaks.delayVolume = "0.25";
    ASSERT_TRUE(p.graph());
    EXPECT_EQ(p.marked(), De1Field::None);
    const auto& handed = host.de1Setup()->settings.peaks;
    EXPECT_TRUE(handed.enabled);
    EXPECT_EQ(handed.startLevel, 0.08);
    EXPECT_EQ(handed.endLevel, 0.0);
    EXPECT_EQ(handed.perPeak, 2);
    EXPECT_EQ(handed.betweenEveryMm, 3.0);
    EXPECT_EQ(handed.delayVolumeMl, 0.25);
    EXPECT_EQ(em1(dir.path() / "prefs.cfg", "peaks"), "1");
    EXPECT_EQ(em1(dir.path() / "Users/Ann/settings.txt", "peak_fractions_00_04"), "2");

    // Opened again: the fields as they were left; turned off, no check.
    De1SetupPage& again = page();
    EXPECT_TRUE(again.peaks.on);
    EXPECT_EQ(again.peaks.startLevel, "0.08");
    EXPECT_EQ(again.peaks.endLevel, "");
    EXPECT_EQ(again.peaks.betweenEvery, "3");
    again.peaks.on = false;
    again.peaks.startLevel = "-1";
    ASSERT_TRUE(again.graph());
    EXPECT_FALSE(host.de1Setup()->settings.peaks.enabled);
    EXPECT_EQ(em1(dir.path() / "prefs.cfg", "peaks"), "0");
}

}  // namespace
}  // namespace corvane
