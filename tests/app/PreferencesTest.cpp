#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "app/ConfigFile.h"
#include "app/DialogFolders.h"
#include "app/Preferences.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

TEST(Preferences, AMissingFileGivesDefaultsAndIsNeverCreated) {
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    {
        Preferences prefs(dir.path());
        EXPECT_FALSE(prefs.present());
        EXPECT_FALSE(prefs.presentOrReport(prompter));
        EXPECT_EQ(prefs.baudRate(), 57600);
        EXPECT_DOUBLE_EQ(prefs.windowSamples(), 500.0);
        EXPECT_FALSE(prefs.windowMm());
        EXPECT_EQ(prefs.sourceFactors()[0], std::nullopt);
        prefs.setComPort(5);
        EXPECT_TRUE(prefs.save());
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "prefs.cfg"));
    EXPECT_THAT(prompter.transcript(),
                ElementsAre("message: Error, prefs.cfg file could not be found or opened."));

    dir.write("prefs.cfg", "");
    EXPECT_FALSE(Preferences(dir.path()).present()) << "an empty file is as good as none";
}

TEST(Preferences, OlderFilesHaveOneAutoScaleSwitchForAllAxes) {
    test::TempDir dir;
    dir.write("prefs.cfg", "[prefs]\nxautoscale 0\nyautoscale 1\nyy_autoscale 0\nautoscale 0\n");
    auto on = Preferences(dir.path()).autoScale();
    EXPECT_TRUE(!on.x && on.y && !on.yy);

    dir.write("prefs.cfg", "[prefs]\nxautoscale 0\nyautoscale -1\nyy_autoscale 0\nautoscale 1\n");
    on = Preferences(dir.path()).autoScale();
    EXPECT_TRUE(on.x && on.y && on.yy) << "a negative yautoscale means the older switch";

    dir.write("prefs.cfg", "[prefs]\nautoscale 1\n");
    on = Preferences(dir.path()).autoScale();
    EXPECT_TRUE(on.x && on.y && on.yy) << "no yautoscale at all";
}

TEST(Preferences, BaudRateZeroReadsAsTheDefaultAndIsWrittenBack) {
    test::TempDir dir;
    dir.write("prefs.cfg", "[prefs]\nbaudrate 0\ncomport 3\n");
    {
        Preferences prefs(dir.path());
        EXPECT_EQ(prefs.baudRate(), 57600);
        prefs.writeBaudRateDefault();
    }
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\nbaudrate 57600\ncomport 3\n");
    dir.write("prefs.cfg", "[prefs]\nbaudrate 9600\n");
    {
        Preferences prefs(dir.path());
        prefs.writeBaudRateDefault();
        EXPECT_EQ(prefs.baudRate(), 9600);
    }
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\nbaudrate 9600\n") << "a set rate is left alone";
}

// The folder a dialog starts in: the user's own key, then "[prefs]", then the
// user's folder. An empty key counts as none.
TEST(Preferences, TheUsersOwnFolderWinsThenPrefsThenTheUsersFolder) {
    test::TempDir dir;
    dir.write("prefs.cfg",
              "[prefs]\nlastuser Ann\nlastdatafolder /shared/runs\nlastpresetrunfolder \n"
              "lastoverlayplanfile /shared/plan.csv\n");
    dir.write("Users/Ann/settings.txt",
              "[user_settings]\nlastdatafolder /ann/runs\nlastoverlayplanfolder \n");
    const auto annFolder = (dir.path() / "Users" / "Ann").string();

    const Preferences prefs(dir.path());
    EXPECT_EQ(prefs.folder(DialogFolder::Data), "/ann/runs");
    EXPECT_EQ(prefs.folder(DialogFolder::PresetRun), annFolder);
    EXPECT_EQ(prefs.folder(DialogFolder::OverlayPlan), annFolder);
    EXPECT_EQ(prefs.folder(DialogFolder::OverlayPlanFile), "/shared/plan.csv");

    dir.write("Users/Ann/settings.txt", "[user_settings]\nlastdatafolder \n");
    EXPECT_EQ(Preferences(dir.path()).folder(DialogFolder::Data), "/shared/runs")
        << "[prefs] before the user's folder";

    dir.write("prefs.cfg", "[prefs]\nlastuser \nlastdatafolder /shared/runs\n");
    EXPECT_EQ(Preferences(dir.path()).folder(DialogFolder::Data), "/shared/runs") << "no user";
    dir.write("prefs.cfg", "[prefs]\nlastuser ../../etc\n");
    EXPECT_EQ(Preferences(dir.path()).folder(DialogFolder::Data), "") << "never outside Users";
}

TEST(Preferences, ARememberedFolderGoesToPrefsAndTheCurrentUser) {
    test::TempDir dir;
    dir.write("prefs.cfg", "[prefs]\nlastuser Ann\nlastdatafolder /old\n");
    dir.write("Users/Ann/settings.txt", "[user_settings]\nlastdatafolder /old\n");
    {
        Preferences prefs(dir.path());
        ASSERT_TRUE(prefs.rememberFolder(DialogFolder::Data, "/runs/today"));
        EXPECT_EQ(prefs.folder(DialogFolder::Data), "/runs/today") << "seen before the save";
    }
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\nlastuser Ann\nlastdatafolder /runs/today\n");
    EXPECT_EQ(dir.read("Users/Ann/settings.txt"), "[user_settings]\nlastdatafolder /runs/today\n");
}

// A "[" ends a section for the reader: such a folder is never written, so the
// keys after it stay readable.
TEST(Preferences, AFolderTheFileCannotHoldIsRefusedAndTheFileKeepsItsKeys) {
    test::TempDir dir;
    const std::string before = "[prefs]\nlastuser Ann\nlastdatafolder /old\nmulticolor1 511\n";
    dir.write("prefs.cfg", before);
    dir.write("Users/Ann/settings.txt", "[user_settings]\nlastdatafolder /old\n");
    {
        Preferences prefs(dir.path());
        EXPECT_FALSE(prefs.rememberFolder(DialogFolder::Data, "/data[1]"));
    }
    EXPECT_EQ(dir.read("prefs.cfg"), before);
    EXPECT_EQ(dir.read("Users/Ann/settings.txt"), "[user_settings]\nlastdatafolder /old\n");
    EXPECT_EQ(Preferences(dir.path()).multiColours()[0], 511);
}

TEST(DialogFolders, AFolderThatCannotBeKeptIsUsedForTheSessionAndToldOnce) {
    test::TempDir dir;
    dir.write("prefs.cfg", "[prefs]\nlastdatafolder /old\n");
    test::ScriptedPrompter prompter;
    DialogFolders folders(dir.path(), prompter);

    folders.remember(DialogFolder::Data, "/data[1]");
    EXPECT_EQ(folders.folder(DialogFolder::Data), "/data[1]");
    folders.remember(DialogFolder::Data, "/data[2]");
    EXPECT_EQ(folders.folder(DialogFolder::Data), "/data[2]");
    ASSERT_EQ(prompter.transcript().size(), 1u) << "told once";
    EXPECT_THAT(prompter.transcript()[0], HasSubstr("/data[1]"));
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\nlastdatafolder /old\n");

    // A folder the file can hold is kept again, and wins over the session's.
    folders.remember(DialogFolder::Data, "/data");
    EXPECT_EQ(folders.folder(DialogFolder::Data), "/data");
    EXPECT_EQ(DialogFolders(dir.path(), prompter).folder(DialogFolder::Data), "/data");
}

// Two parts of the program remembering folders and saving their own keys at
// the same time: nothing is lost, because each edit holds the file.
TEST(Preferences, ConcurrentEditsOfDifferentKeysAreAllKept) {
    test::TempDir dir;
    dir.write("prefs.cfg", "[prefs]\nlastuser \n");
    test::ScriptedPrompter prompter;
    DialogFolders folders(dir.path(), prompter);
    std::thread saver([&] {
        for (int i = 0; i < 200; ++i) {
            Preferences prefs(dir.path());
            prefs.setShowGrid(i % 2 == 0);
        }
    });
    for (int i = 0; i < 200; ++i) {
        folders.remember(DialogFolder::Data, "/runs/" + std::to_string(i));
    }
    saver.join();
    const Preferences prefs(dir.path());
    EXPECT_EQ(prefs.folder(DialogFolder::Data), "/runs/199");
    EXPECT_EQ(prefs.store().getInt("[prefs]", "showgrid"), 0);
    EXPECT_THAT(prompter.transcript(), IsEmpty());
}

}  // namespace
}  // namespace corvane
