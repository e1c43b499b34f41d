// The two lists that name preset run files: the saved ones in "prefs.cfg"
// and a user's own five.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "app/ConfigFile.h"
#include "setup/PresetRunLists.h"

namespace corvane {
namespace {

using test::TempDir;

TEST(PresetRunLists, SavingPutsTheNewestFirstWithoutRepeatsAndKeepsFive) {
    TempDir dir;
    dir.write("prefs.cfg", "[prefs]\nlastuser Ann\n");
    {
        ConfigFile prefs(dir / "prefs.cfg");
        for (const char* file : {"/p/a.txt", "/p/b.txt", "/p/c.txt", "/p/d.txt", "/p/e.txt", "/p/f.txt"}) {
            ASSERT_TRUE(recordSavedPreset(prefs, file));
        }
        ASSERT_TRUE(recordSavedPreset(prefs, "/p/d.txt"));
        ASSERT_TRUE(recordSavedPreset(prefs, "/p/d.txt"));
        EXPECT_FALSE(recordSavedPreset(prefs, "/p/[x].txt"));
    }
    const ConfigFile prefs(dir / "prefs.cfg");
    EXPECT_EQ(savedPresets(prefs), (std::vector<std::string>{"/p/d.txt", "/p/f.txt", "/p/e.txt", "/p/c.txt", "/p/b.txt"}));
    EXPECT_EQ(prefs.getInt(kPresetRunsSection, "number"), 5);
    EXPECT_EQ(prefs.getInt(kPresetRunsSection, "current_run"), 0);
    EXPECT_FALSE(prefs.getString(kPresetRunsSection, "file006"));
}

TEST(PresetRunLists, AUsersListTakesFiveAndADeleteMovesTheLaterOnesDown) {
    TempDir dir;
    dir.write("settings.txt", "[user_settings]\n");
    ConfigFile user(dir / "settings.txt");
    UserPresetRuns list(user);
    for (const char* file : {"/a", "/b", "/c", "/d", "/e"}) {
        ASSERT_TRUE(list.add(file));
    }
    EXPECT_TRUE(list.full());
    EXPECT_FALSE(list.add("/f"));
    ASSERT_TRUE(list.setCurrent(3));
    EXPECT_TRUE(list.remove(1));
    EXPECT_EQ(list.files(), (std::vector<std::string>{"/a", "/c", "/d", "/e"}));
    EXPECT_EQ(user.getInt(kPresetRunsSection, "number"), 4);
    EXPECT_EQ(user.getString(kPresetRunsSection, "file004"), "/e");
    EXPECT_FALSE(user.getString(kPresetRunsSection, "file005"));
    EXPECT_EQ(list.current(), 0);
}

}  // namespace
}  // namespace corvane
