// The DE-1 run settings in "prefs.cfg" and in a user's settings file.

#include <gtest/gtest.h>

#include "TempDir.h"
#include "app/ConfigFile.h"
#include "setup/Em1SettingsStore.h"

namespace corvane {
namespace {

using test::TempDir;

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
    s.autosendEventMarks = true;
    s.autozeroAtStart = true;
    s.graphXAxisType = 2;
    s.graphYAxisType = 1;
    return s;
}

TEST(Em1SettingsStore, PrefsKeepEveryFieldUnderItsKey) {
    TempDir dir;
    const auto path = dir.write("prefs.cfg", "[prefs]\ncomport 3\n");
    {
        ConfigFile prefs(path);
        storeEm1Settings(prefs, Sample());
    }
    ConfigFile prefs(path);
    EXPECT_EQ(loadEm1Settings(prefs), Sample());
    // The wavelength is kept as its list entry, the rate as a whole number.
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "wavelength"), 1);
    EXPECT_EQ(prefs.getString("[EM1_Settings]", "samplespersec"), "20");
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "autosend_eventmarks"), 1);
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "delaytype"), 1);
    EXPECT_EQ(prefs.getInt("[prefs]", "comport"), 3);
}

TEST(Em1SettingsStore, MissingOrImpossibleValuesLeaveTheDefaults) {
    TempDir dir;
    ConfigFile empty(dir.write("prefs.cfg", "[prefs]\n"));
    EXPECT_EQ(loadEm1Settings(empty), Em1Settings{});

    ConfigFile zeros(dir.write("zeros.cfg", "[EM1_Settings]\nspeed 0\nsamplespersec 0\nnumber 0\naufs 9\n"));
    const auto s = loadEm1Settings(zeros);
    EXPECT_DOUBLE_EQ(s.speed, 0.3);
    EXPECT_DOUBLE_EQ(s.samplesPerSec, 10.0);
    EXPECT_EQ(s.numberOfFractions, 1);
    EXPECT_EQ(s.aufs, 7);
}

TEST(Em1SettingsStore, AUsersFileKeepsThemPerRotor) {
    TempDir dir;
    const auto path = dir.write("settings.txt", "[user_settings]\n");
    {
        ConfigFile user(path);
        EXPECT_TRUE(storeUserEm1Settings(user, 3, 7, Sample()));
        EXPECT_FALSE(storeUserEm1Settings(user, -1, 0, Em1Settings{}));  // no rotor chosen
    }
    const auto text = dir.read("settings.txt");
    EXPECT_NE(text.find("aufs_03_07 5\n"), std::string::npos);
    EXPECT_NE(text.find("autosend_eventmarks_03_07 1\n"), std::string::npos);
    EXPECT_NE(text.find("autozero_atstart 1\n"), std::string::npos);
    EXPECT_EQ(text.find("_-1"), std::string::npos);

    ConfigFile user(path);
    Em1Settings other;
    EXPECT_TRUE(loadUserEm1Settings(user, 3, 8, other));  // another rotor: nothing of it
    EXPECT_EQ(other.aufs, 0);
    Em1Settings same;
    EXPECT_TRUE(loadUserEm1Settings(user, 3, 7, same));
    auto expected = Sample();
    expected.graphXAxisType = expected.graphYAxisType = 0;  // kept in "prefs.cfg" only
    EXPECT_EQ(same, expected);
}

TEST(Em1SettingsStore, AnAufsChoiceGoesToPrefsAndToTheUsersRotor) {
    TempDir dir;
    ConfigFile prefs(dir.write("prefs.cfg", "[prefs]\n"));
    ConfigFile user(dir.write("settings.txt", "[user_settings]\n"));
    storeEm1Aufs(prefs, &user, 1, 2, 6);
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "aufs"), 6);
    EXPECT_EQ(user.getInt("[EM1_Settings]", "aufs_01_02"), 6);
}

TEST(Em1SettingsStore, DeadVolumeGrowsWithTheTubing) {
    EXPECT_DOUBLE_EQ(deadVolumeFor(0.0), kFixedPathVolume);
    EXPECT_DOUBLE_EQ(deadVolumeFor(300.0), 300.0 * kTubingVolumePerMm + kFixedPathVolume);
}

}  // namespace
}  // namespace corvane
