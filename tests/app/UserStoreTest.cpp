#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "app/UserStore.h"

namespace corvane {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

TEST(UserStore, FoldersLieBelowTheStartupFolder) {
    test::TempDir dir;
    const UserStore store(dir.path() / "sub" / "..");
    EXPECT_EQ(store.settingsPath("Ann Lee"), dir.path() / "Users" / "Ann Lee" / "settings.txt");
    EXPECT_EQ(store.tempFolder(), dir.path() / "TEMP");
    EXPECT_EQ(store.presetRunsFolder(), dir.path() / "PRESET RUNS");
    EXPECT_EQ(store.standardRunsFolder(), dir.path() / "STANDARD RUNS");
    EXPECT_EQ(store.exportFolder(), dir.path() / "Export");
    EXPECT_EQ(store.userFolder("../../etc"), fs::path()) << "never outside Users";
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
    EXPECT_EQ(store.loadFolders("Bob").overlayPlanFile, "") << "no settings file at all";
}

TEST(UserStore, OldUserFilesMoveIntoTheirFoldersOnFirstLookup) {
    test::TempDir dir;
    dir.write("Users/Ann.txt", "[user_settings]\r\nlastscanname run 4\r\n");
    dir.write("Users/Bob.TXT", "junk [user_settings]\nx 1\n");
    dir.write("Users/notes.txt", "hello\n[user_settings]\n");
    dir.write("Users/..txt", "[user_settings]\n");
    const UserStore store(dir.path());

    EXPECT_EQ(test::readBytes(store.settingsPath("Ann")), "[user_settings]\r\nlastscanname run 4\r\n");
    EXPECT_EQ(dir.read("Users/Bob/settings.txt"), "junk [user_settings]\nx 1\n");
    EXPECT_FALSE(dir.exists("Users/Ann.txt"));
    EXPECT_FALSE(dir.exists("Users/Bob.TXT"));
    EXPECT_TRUE(dir.exists("Users/notes.txt")) << "the marker is not on its first line";
    EXPECT_TRUE(dir.exists("Users/..txt")) << "its name cannot be a folder";

    dir.write("Users/Ann.txt", "[user_settings]\nnewer 1\n");
    (void)store.settingsPath("Ann");
    EXPECT_TRUE(dir.exists("Users/Ann.txt")) << "Ann has settings now: no migration";
}

TEST(UserStore, RefusedNamesAreExplainedAndCreateNothing) {
    test::TempDir dir;
    const UserStore store(dir.path());
    test::ScriptedPrompter prompter;
    for (const std::string& name : std::vector<std::string>{"", "a/b", "a\\b", "..", ".", "x..y", " Ann", "Ann ", "A\tB", "a:b", std::string(256, 'a')}) {
        EXPECT_EQ(store.ensureUserFolder(name, prompter), fs::path()) << '"' << name << '"';
        EXPECT_EQ(store.settingsPath(name), fs::path());
    }
    EXPECT_TRUE(fs::is_empty(dir.path())) << "not even the users folder";
    const auto texts = prompter.texts();
    ASSERT_EQ(texts.size(), 11u);
    EXPECT_EQ(texts[0], "Error, please enter a name.");
    EXPECT_THAT(texts[1], HasSubstr("\"a/b\" contains \"/\" or \"\\\""));
    EXPECT_THAT(texts[6], HasSubstr("begins or ends with a blank"));

    const auto made = store.ensureUserFolder("Ann Lee-2 (lab)", prompter);
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_EQ(made, dir.path() / "Users" / "Ann Lee-2 (lab)");
}

}  // namespace
}  // namespace corvane
