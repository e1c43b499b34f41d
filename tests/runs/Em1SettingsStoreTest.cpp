// The DE-1 run settings in "prefs.cfg" and in a user's settings file.

#include <gtest/gtest.h>

#include "TempDir.h"
#include "app/ConfigFile.h"
#include "runs/Em1SettingsStore.h"

namespace corvane {
namespace {

Em1Settings Sample() {
    Em1Settings s;
    s.aufs = 5;
    s.wavelength = 280.0;
    s.samplesPerSec = 20.0;
    s.speed = 0.75;
    s.fractionDistance = 4.5;
    s.numberOfFractions = 12;
    s.totalDistance = 54.0;
    s.deadVolume = 0.2;
    s.delayType = Em1Settings::kEventWithDelay;
    s.autosendEventMarks = s.autozeroAtStart = true;
    return s;
}

TEST(Em1SettingsStore, PrefsAndEachUsersRotorKeepEveryField) {
    test::TempDir dir;
    const auto prefsPath = dir.write("prefs.cfg", "[prefs]\ncomport 3\n");
    const auto userPath = dir.write("settings.txt", "[user_settings]\n");
    {
        ConfigFile prefs(prefsPath);
        ConfigFile user(userPath);
        storeEm1Settings(prefs, Sample());
        EXPECT_TRUE(storeUserEm1Settings(user, 3, 7, Sample()));
        EXPECT_FALSE(storeUserEm1Settings(user, -1, 0, Em1Settings{}));  // no rotor chosen
    }
    ConfigFile prefs(prefsPath);
    EXPECT_EQ(loadEm1Settings(prefs), Sample());
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "wavelength"), 1);  // the list entry of 280 nm
    EXPECT_EQ(prefs.getInt("[prefs]", "comport"), 3);
    const auto text = dir.read("settings.txt");
    EXPECT_NE(text.find("aufs_03_07 5\n"), std::string::npos);
    EXPECT_NE(text.find("autozero_atstart 1\n"), std::string::npos);
    EXPECT_EQ(text.find("_-1"), std::string::npos);

    ConfigFile user(userPath);
    Em1Settings other;
    ASSERT_TRUE(loadUserEm1Settings(user, 3, 8, other));  // another rotor: only the shared switch
    EXPECT_EQ(other.aufs, 0);
    Em1Settings same;
    ASSERT_TRUE(loadUserEm1Settings(user, 3, 7, same));
    EXPECT_EQ(same, Sample());
}

}  // namespace
}  // namespace corvane
