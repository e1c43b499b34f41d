// The USER page and the general-record USER page: checks in order, the keys
// they keep per user and per rotor, the run description they fill, the
// preset-run buttons.
#include <gtest/gtest.h>

#include "PageHost.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "app/ConfigFile.h"
#include "runs/PresetRunFile.h"
#include "base/TextFormat.h"
#include "setup/GeneralRecordUserPage.h"
#include "setup/UserPage.h"

namespace corvane {
namespace {

using test::PageHost;
using test::ScriptedPrompter;
using test::TempDir;

constexpr CalendarTime kNow{2024, 3, 7, 9, 5, 2};

class UserPageTest : public ::testing::Test {
protected:
    UserPageTest() {
        dir.write("prefs.cfg", "[prefs]\ncomport 3\n");
        dir.write("rotors.txt", "Beckman\nSW41Ti 20.0 109.0 0.148\n");
    }

    UserPage& page(std::string introName = {}) {
        page_ = std::make_unique<UserPage>(
            UserPage::Env{dir.path(), prompter, host, [] { return kNow; }, std::move(introName)});
        page_->initialise();
        return *page_;
    }

    std::string userKey(const char* user, const char* key) {
        return ConfigFile(dir / "Users" / user / "settings.txt").getString("[user_settings]", key).value_or("(none)");
    }

    std::string pref(const char* key) {
        return ConfigFile(dir / "prefs.cfg").getString("[prefs]", key).value_or("(none)");
    }

    // A page with a new user "Ann", Beckman SW41Ti (rotor 4) and a few fields.
    UserPage& annOnSw41() {
        UserPage& p = page("Ann");
        p.chooseManufacturer(0);
        p.chooseRotor(4);
        auto& f = p.fields();
        f.experiment = "10-50% sucrose";
        f.speed = "38";
        f.gradient = "sucrose";
        f.percent1 = "10";
        f.percent2 = "50";
        f.temperature = "4.0";
        f.tubesEntry = 3;
        return p;
    }

    TempDir dir;
    ScriptedPrompter prompter;
    PageHost host;
    std::unique_ptr<UserPage> page_;
};

TEST_F(UserPageTest, OkChecksInOrderAndKeysWrittenBeforeAFailureStay) {
    UserPage& p = page();
    p.fields().manufacturer = -1;
    EXPECT_FALSE(p.ok());
    p.fields().name = "../Ann";
    EXPECT_FALSE(p.ok());
    p.fields().name = "Ann";
    EXPECT_FALSE(p.ok());
    p.fields().manufacturer = 0;
    EXPECT_FALSE(p.ok());
    p.chooseRotor(4);
    p.fields().percent1 = "ten";
    EXPECT_FALSE(p.ok());
    p.fields().percent1 = "10";
    p.fields().temperature = "warm";
    EXPECT_FALSE(p.ok());
    const auto texts = prompter.texts();
    ASSERT_EQ(texts.size(), 6U);
    EXPECT_EQ(texts[0], "Error, invalid username.");
    EXPECT_NE(texts[1].find(".."), std::string::npos);
    EXPECT_EQ(texts[2], "Please choose a rotor manufacturer.");
    EXPECT_EQ(texts[3], "You must enter a rotor before leaving this page.");
    EXPECT_EQ(texts[4], "Invalid gradient percentage.");
    EXPECT_EQ(texts[5], "Error, invalid temperature.");
    EXPECT_FALSE(host.runInfo());
    // Everything before the failed temperature is in the user's file.
    EXPECT_EQ(pref("lastuser"), "Ann");
    EXPECT_EQ(userKey("Ann", "rotor_type"), "4");
    EXPECT_EQ(userKey("Ann", "gradientPct1_00-04"), "10");
    EXPECT_EQ(userKey("Ann", "temperature_00-04"), "(none)");
}

TEST_F(UserPageTest, OkMakesTheUserKeepsItsRotorValuesAndFillsTheRunDescription) {
    UserPage& p = annOnSw41();
    EXPECT_TRUE(p.buttonsEnabled());  // a new user's typed name is enough
    const auto step = p.ok();
    ASSERT_TRUE(step);
    EXPECT_EQ(step->next, SetupPage::De1Setup);
    EXPECT_EQ(prompter.texts().size(), 0U) << prompter.texts()[0];

    const std::string file = dir.read("Users/Ann/settings.txt");
    EXPECT_EQ(file.substr(0, file.find("[user_settings]")), "date 2024-03-07\ntime 09:05:02\n\n\n");
    EXPECT_EQ(pref("lastuser"), "Ann");
    EXPECT_EQ(userKey("Ann", "date"), "2024-03-07");
    EXPECT_EQ(userKey("Ann", "time"), "09:05:02");
    EXPECT_EQ(userKey("Ann", "experiment_name"), "10-50% sucrose");
    EXPECT_EQ(userKey("Ann", "manufacturer"), "0");
    EXPECT_EQ(userKey("Ann", "speed_00-04"), "38");
    EXPECT_EQ(userKey("Ann", "numtubes_00-04"), "6");
    EXPECT_EQ(std::stod(userKey("Ann", "temperature_00-04")), -21.0);
    EXPECT_EQ(userKey("Ann", "uv_unit"), "2");

    ASSERT_TRUE(host.runInfo());
    const RunInfo& r = *host.runInfo();
    EXPECT_EQ(r.userName, "Ann");
    EXPECT_EQ(r.experimentName, "10-50% sucrose");
    EXPECT_EQ(r.rotorManufacturer, "Beckman");
    EXPECT_EQ(r.rotorModel, "SW41Ti");
    EXPECT_EQ(r.rotorModelIndex, 4);
    EXPECT_EQ(r.volumePerMm, 0.148);  // from rotors.txt
    EXPECT_EQ(r.temperature, 4.0);
    EXPECT_EQ(r.numberOfTubes, 6);
    EXPECT_EQ(r.uvUnit, RunInfo::kDe1);
    EXPECT_EQ(r.startTime, kNow);

    // The next visit shows Ann in the list and her values for the rotor.
    UserPage& again = page();
    EXPECT_EQ(again.names(), (std::vector<std::string>{"Ann"}));
    again.chooseUser(0);
    EXPECT_EQ(again.fields().speed, "38");
    EXPECT_EQ(again.fields().temperature, "4.0");
    EXPECT_EQ(again.fields().tubesEntry, 3);
    EXPECT_EQ(again.fields().experiment, "10-50% sucrose");
}

TEST_F(UserPageTest, ANewManufacturerLeavesNoRotorOfTheLastInTheBox) {
    UserPage& p = annOnSw41();
    ASSERT_EQ(p.fields().rotorText, "SW41Ti");
    p.chooseManufacturer(2);
    EXPECT_EQ(p.fields().rotorText, "");
    EXPECT_EQ(p.fields().rotorEntry, -1);
    EXPECT_FALSE(p.ok());
    EXPECT_EQ(prompter.texts().back(), "You must enter a rotor before leaving this page.");
    p.chooseRotor(0);
    EXPECT_EQ(p.fields().rotorText, "SRP28SA");
    EXPECT_TRUE(p.ok());
    EXPECT_EQ(host.runInfo()->rotorManufacturer, "Hitachi");
    EXPECT_EQ(host.runInfo()->rotorModel, "SRP28SA");
}

TEST_F(UserPageTest, PerRotorValuesAreKeptApartByManufacturer) {
    dir.write("Users/Ben/settings.txt",
              "[user_settings]\nmanufacturer 1\nrotor_type 3\nspeed_00-03 41\nspeed_01-03 28\n");
    UserPage& p = page();
    p.chooseUser(0);
    EXPECT_EQ(p.fields().manufacturer, 1);
    EXPECT_EQ(p.fields().rotorText, "AH-650");
    EXPECT_EQ(p.fields().speed, "28");
    // Never stored for the rotor: 25.0.
    EXPECT_EQ(p.fields().temperature, "25.0");
    p.chooseManufacturer(0);
    p.chooseRotor(3);
    EXPECT_EQ(p.fields().speed, "41");
}

TEST_F(UserPageTest, AnEmptySorvallEntryIsARotorOnlyWhenChosenFromTheList) {
    UserPage& p = page();
    p.chooseManufacturer(1);
    EXPECT_EQ(p.rotor(), -1);
    p.chooseRotor(8);  // an empty name
    EXPECT_EQ(p.rotor(), 8);
    p.rotorTyped("RP55S");
    EXPECT_EQ(p.rotor(), 7);
    p.rotorTyped("nothing like it");
    EXPECT_EQ(p.rotor(), -1);
}

TEST_F(UserPageTest, SkipForgetsTheUserAndNeedsARotor) {
    dir.write("prefs.cfg", "[prefs]\nlastuser Ann\n");
    UserPage& p = page();
    p.fields().name = "Ann";
    EXPECT_FALSE(p.skip());
    EXPECT_TRUE(p.rotorMarked());
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{UserPage::kNoRotor}));
    EXPECT_EQ(pref("lastuser"), "(none)");
    p.chooseManufacturer(0);
    p.chooseRotor(4);
    EXPECT_FALSE(p.rotorMarked());
    const auto step = p.skip();
    ASSERT_TRUE(step);
    EXPECT_EQ(step->next, SetupPage::De1Setup);
    EXPECT_EQ(host.runInfo()->userName, "Ann");
    EXPECT_FALSE(dir.exists("Users/Ann/settings.txt"));
}

TEST_F(UserPageTest, GoToGraphWithAndWithoutAPresetAndCompare) {
    UserPage& p = annOnSw41();
    const auto plain = p.goToGraph();
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain, (PageStep{SetupPage::Graph, false, false}));
    EXPECT_FALSE(dir.exists("Users/Ann/settings.txt"));  // nothing stored
    EXPECT_EQ(host.runInfo()->rotorModel, "SW41Ti");
    const auto compare = p.compareDataSets();
    ASSERT_TRUE(compare);
    EXPECT_TRUE(compare->compare);

    PresetRun preset;
    preset.runInfo = RunInfo{};
    preset.runInfo->manufacturerIndex = 0;
    preset.runInfo->rotorModelIndex = 4;
    preset.runInfo->volumePerMm = 0.2;
    preset.runInfo->collectionVolume = 0.75;
    preset.runInfo->speed = "30";
    std::filesystem::create_directories(dir / "PRESET RUNS");
    ASSERT_TRUE(writePresetRun(dir / "PRESET RUNS" / "p1.txt", preset));
    prompter.scriptFile((dir / "PRESET RUNS" / "p1.txt").string());
    p.addPresetRun();
    ASSERT_EQ(p.presets().size(), 1U);
    p.choosePreset(0);
    EXPECT_EQ(p.fields().speed, "30");
    const auto withPreset = p.goToGraph();
    ASSERT_TRUE(withPreset);
    EXPECT_EQ(*withPreset, (PageStep{SetupPage::De1Setup, true, false}));
    EXPECT_EQ(host.currentPreset(), dir / "PRESET RUNS" / "p1.txt");
    EXPECT_EQ(host.runInfo()->volumePerMm, 0.2);
    EXPECT_EQ(host.runInfo()->collectionVolume, 0.75);
    EXPECT_EQ(userKey("Ann", "speed_00-04"), "30");  // the OK path ran
    const auto requests = prompter.fileRequests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].title, "LOAD PRESET RUN FILE...");
    EXPECT_EQ(requests[0].filter, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
    EXPECT_EQ(requests[0].initialFolder, (dir / "PRESET RUNS").string());
}

TEST_F(UserPageTest, FivePresetButtonsAMissingFileIsToldAndDeleteMovesTheRestDown) {
    dir.write("Users/Ann/settings.txt",
              "[user_settings]\n[preset_runs]\nnumber 5\ncurrent_run 0\nfile001 /gone/a.txt\n"
              "file002 /gone/b.txt\nfile003 /gone/c.txt\nfile004 /gone/d.txt\nfile005 /gone/e.txt\n");
    UserPage& p = page("Ann");
    EXPECT_EQ(p.presets().size(), 5U);
    EXPECT_EQ(prompter.texts().front(), "Error, could not find or open file: /gone/a.txt");
    prompter.clear();
    p.addPresetRun();
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Already have 5 preset runs."}));
    p.deletePreset(0);
    EXPECT_EQ(p.presets(), (std::vector<std::string>{"/gone/b.txt", "/gone/c.txt", "/gone/d.txt", "/gone/e.txt"}));
    prompter.clear();
    p.choosePreset(0);
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Error, could not find or open file: /gone/b.txt"}));
    EXPECT_EQ(p.presetChosen(), -1);
}

TEST_F(UserPageTest, ATextTheSettingsCannotHoldIsToldNotDropped) {
    UserPage& p = annOnSw41();
    p.fields().gradient = "sucrose [w/v]";
    EXPECT_FALSE(p.ok());
    ASSERT_EQ(prompter.texts().size(), 1U);
    EXPECT_NE(prompter.texts()[0].find("gradient \"sucrose [w/v]\""), std::string::npos);
    EXPECT_FALSE(host.runInfo());
}

TEST_F(UserPageTest, GeneralRecordPageKeepsTheDescriptionAsTheExperiment) {
    GeneralRecordUserPage p({dir.path(), prompter, host, [] { return kNow; }, "Cy"});
    p.initialise();
    EXPECT_EQ(p.name, "Cy");
    p.description = "plain record";
    const auto step = p.ok();
    ASSERT_TRUE(step);
    EXPECT_EQ(step->next, SetupPage::De1Setup);
    EXPECT_EQ(userKey("Cy", "experiment_name"), "plain record");
    EXPECT_EQ(host.runInfo()->experimentName, "plain record");
    p.name.clear();
    EXPECT_FALSE(p.ok());
    EXPECT_EQ(prompter.texts().back(), "Error, invalid username.");
    p.description = "two\nlines";
    EXPECT_EQ(p.goToGraph()->next, SetupPage::Graph);
}

// Enter in the multi-line "Description:" box: the text is kept whole in the
// user's file (as one line) and comes back from it as typed.
TEST_F(UserPageTest, AMultiLineDescriptionIsKeptWholeThroughTheUsersFile) {
    GeneralRecordUserPage p({dir.path(), prompter, host, [] { return kNow; }, "Cy"});
    p.initialise();
    p.description = "gradient 10-40%\r\nC:\\runs\\new\nend";
    ASSERT_TRUE(p.ok());
    EXPECT_TRUE(prompter.texts().empty());
    EXPECT_EQ(userKey("Cy", "experiment_name"), "gradient 10-40%\\nC:\\\\runs\\\\new\\nend");
    EXPECT_EQ(host.runInfo()->experimentName, p.description);
    // The USER page reads it back as it was typed (line ends as LF).
    PageHost fresh;
    UserPage user({dir.path(), prompter, fresh, [] { return kNow; }, {}});
    user.initialise();
    user.nameTyped("Cy");
    EXPECT_EQ(user.fields().experiment, "gradient 10-40%\nC:\\runs\\new\nend");
    EXPECT_EQ(multiLineText(oneLineText("a\\nb\rc")), "a\\nb\nc");
}

}  // namespace
}  // namespace corvane
