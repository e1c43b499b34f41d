#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

#include "TempDir.h"
#include "app/ConfigFile.h"
#include "app/ResourceSeeder.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;

TEST(ResourceSeeder, CopiesOnlyWhatIsMissingAndNeverOverwrites) {
    test::TempDir resources;
    test::TempDir working;
    for (const auto name : kSeededFiles) {
        resources.write(std::string(name), "default\n");
    }
    working.write("prefs.cfg", "[prefs]\nlastuser Ann\n");
    working.write("rotors.txt", "");
    EXPECT_EQ(seedWorkingFolder(resources.path(), working.path()), 2);
    EXPECT_EQ(working.read("prefs.cfg"), "[prefs]\nlastuser Ann\n");
    EXPECT_EQ(working.read("rotors.txt"), "") << "an empty file is the user's too";
    EXPECT_EQ(working.read("short_checklist.txt"), "default\n");
    EXPECT_EQ(seedWorkingFolder(resources.path(), working.path()), 0);
    EXPECT_EQ(seedWorkingFolder(working / "none", working / "new"), -1);
}

// The shipped defaults must read back through the store as the program reads
// them: a typo in a key or section would silently give 0.
TEST(ResourceSeeder, ShippedDefaultsReadBackThroughTheStore) {
    const auto folder = findResourcesFolder("/nonexistent");
    ASSERT_FALSE(folder.empty());
    const ConfigFile prefs(folder / "prefs.cfg");
    EXPECT_EQ(prefs.getInt("[prefs]", "baudrate"), 57600);
    EXPECT_EQ(prefs.getDouble("[prefs]", "xaxissamplerange"), 500.0);
    EXPECT_EQ(prefs.getString("[prefs]", "lastuser"), "");
    const ConfigFile rotors(folder / "rotors.txt");
    std::array<double, 3> geometry{};
    EXPECT_EQ(rotors.getDoubleArray("Sorvall/Thermo/Fisher", "SureSpin 630/38", geometry), 3);
    EXPECT_EQ(rotors.getDoubleArray("Kendro", "TST60.4", geometry), 3);
    EXPECT_EQ(rotors.getDoubleArray("Beckman", "SW32", geometry), 3);
    EXPECT_THAT(geometry, ElementsAre(20.0, 109.0, 0.433)) << "not the SW32.1 line";
    EXPECT_GT(rotors.getDouble("Volumes", "D_Volume_Per_MM"), 0.0);
}

}  // namespace
}  // namespace corvane
