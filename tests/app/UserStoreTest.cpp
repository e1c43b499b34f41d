#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "app/ConfigFile.h"
#include "app/NameCheck.h"
#include "app/UserStore.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

TEST(UserStore, LaysOutItsFoldersBelowTheStartupFolder) {
    test::TempDir dir;
    const UserStore store(dir.path() / "." / "sub" / "..");
    EXPECT_EQ(store.prefsPath(), dir.path() / "prefs.cfg");
    EXPECT_EQ(store.usersFolder(), dir.path() / "Users");
    EXPECT_EQ(store.userFolder("Ann Lee"), dir.path() / "Users" / "Ann Lee");
    EXPECT_EQ(store.settingsPath("Ann"), dir.path() / "Users" / "Ann" / "settings.txt");
    EXPECT_EQ(store.tempFolder(), dir.path() / "TEMP");
    EXPECT_EQ(store.presetRunsFolder(), dir.path() / "PRESET RUNS");
    EXPECT_EQ(store.standardRunsFolder(), dir.path() / "STANDARD RUNS");
    EXPECT_EQ(store.exportFolder(), dir.path() / "Export");
}

TEST(UserStore, CurrentUserComesFromLastUserInPrefs) {
    test::TempDir dir;
    const UserStore store(dir.path());
    EXPECT_EQ(store.currentUserFolder(), fs::path()) << "no prefs.cfg";
    dir.write("prefs.cfg", "[prefs]\nlastuser \n");
    EXPECT_EQ(store.currentUserFolder(), fs::path()) << "empty name";
    dir.write("prefs.cfg", "[prefs]\nlastuser ../../etc\n");
    EXPECT_EQ(store.currentUserFolder(), fs::path()) << "a name that is no folder name";
    dir.write("prefs.cfg", "[prefs]\nlastuser Ann Lee\n");
    EXPECT_EQ(store.currentUserFolder(), dir.path() / "Users" / "Ann Lee");
}

TEST(UserStore, MissingFolderKeysFallBackToTheUsersOwnFolder) {
    test::TempDir dir;
    dir.write("Users/Ann/settings.txt",
              "[user_settings]\nlastpresetrunfolder /data/presets\nlastoverlayplanfile plan.csv\n");
    const UserStore store(dir.path());
    const auto folders = store.loadFolders("Ann");
    const auto own = (dir.path() / "Users" / "Ann").string();
    EXPECT_EQ(folders.dataFolder, own);
    EXPECT_EQ(folders.presetRunFolder, "/data/presets");
    EXPECT_EQ(folders.overlayPlanFolder, own);
    EXPECT_EQ(folders.overlayPlanFile, "plan.csv");

    const auto none = store.loadFolders("Bob");
    EXPECT_EQ(none.dataFolder, (dir.path() / "Users" / "Bob").string()) << "no settings file at all";
    EXPECT_EQ(none.overlayPlanFile, "");
}

TEST(UserStore, OldUserFilesMoveIntoTheirFoldersOnFirstLookup) {
    test::TempDir dir;
    dir.write("Users/Ann.txt", "[user_settings]\r\nlastscanname run 4\r\n");
    dir.write("Users/Bob.TXT", "junk [user_settings] on the first line\nx 1\n");
    dir.write("Users/notes.txt", "hello\n[user_settings]\n");
    dir.write("Users/Cid.csv", "[user_settings]\n");
    dir.write("Users/..txt", "[user_settings]\n");
    const UserStore store(dir.path());

    const auto path = store.settingsPath("Ann");
    EXPECT_EQ(path, dir.path() / "Users" / "Ann" / "settings.txt");
    EXPECT_EQ(test::readFile(path), "[user_settings]\r\nlastscanname run 4\r\n") << "copied byte for byte";
    EXPECT_EQ(dir.read("Users/Bob/settings.txt"), "junk [user_settings] on the first line\nx 1\n");
    EXPECT_FALSE(dir.exists("Users/Ann.txt"));
    EXPECT_FALSE(dir.exists("Users/Bob.TXT"));
    EXPECT_TRUE(dir.exists("Users/notes.txt")) << "the marker is not on its first line";
    EXPECT_TRUE(dir.exists("Users/Cid.csv"));
    EXPECT_TRUE(dir.exists("Users/..txt")) << "its name cannot be a folder";
    EXPECT_FALSE(dir.exists("Users/notes"));

    dir.write("Users/Ann.txt", "[user_settings]\nnewer 1\n");
    (void)store.settingsPath("Ann");
    EXPECT_TRUE(dir.exists("Users/Ann.txt")) << "Ann's settings exist now: no migration runs";
}

TEST(UserStore, RefusedNamesAreExplainedAndCreateNothing) {
    test::TempDir dir;
    const UserStore store(dir.path());
    test::ScriptedPrompter prompter;
    for (const char* name : {"", "a/b", "a\\b", "..", ".", "x..y", " Ann", "Ann ", "A\tB", "a:b"}) {
        EXPECT_EQ(store.ensureUserFolder(name, prompter), fs::path()) << '"' << name << '"';
        EXPECT_EQ(store.userFolder(name), fs::path());
        EXPECT_EQ(store.settingsPath(name), fs::path());
    }
    EXPECT_EQ(store.ensureUserFolder(std::string(256, 'a'), prompter), fs::path());
    EXPECT_TRUE(fs::is_empty(dir.path())) << "not even the users folder";
    const auto texts = prompter.texts();
    ASSERT_EQ(texts.size(), 11u);
    EXPECT_EQ(texts[0], "Error, please enter a name.");
    EXPECT_THAT(texts[1], HasSubstr("\"a/b\" contains \"/\" or \"\\\""));
    EXPECT_THAT(texts[3], HasSubstr("\"..\""));
    EXPECT_THAT(texts[6], HasSubstr("begins or ends with a blank"));
    EXPECT_THAT(texts[8], HasSubstr("control character"));

    const auto made = store.ensureUserFolder("Ann Lee-2 (lab)", prompter);
    EXPECT_EQ(made, dir.path() / "Users" / "Ann Lee-2 (lab)");
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_EQ(prompter.texts().size(), 11u);
}

}  // namespace
}  // namespace corvane
