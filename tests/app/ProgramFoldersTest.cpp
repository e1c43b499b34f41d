#include <gtest/gtest.h>

#include "TempDir.h"
#include "app/ProgramFolders.h"
#include "app/ResourceSeeder.h"

namespace corvane {
namespace {

// The XDG data home is POSIX's (Windows takes the known folder instead).
#ifndef _WIN32
TEST(ProgramFolders, PerUserFolderFollowsTheXdgDataHomeAndIgnoresARelativeOne) {
    EXPECT_EQ(xdgDataFolder("/data/ann", "/home/ann"), std::filesystem::path("/data/ann/corvane"));
    EXPECT_EQ(xdgDataFolder("", "/home/ann"), std::filesystem::path("/home/ann/.local/share/corvane"));
    EXPECT_EQ(xdgDataFolder("data", "/home/ann"), std::filesystem::path("/home/ann/.local/share/corvane"));
    EXPECT_TRUE(xdgDataFolder("", "").empty());
    EXPECT_TRUE(xdgDataFolder("data", "home").empty()) << "never a folder relative to wherever it started";
}
#endif

// An installed layout: PREFIX/bin with the programs, PREFIX/share/corvane
// with the default settings files.
class InstalledLayout : public ::testing::Test {
protected:
    void SetUp() override {
        prefix.write("bin/corvane", "");
        prefix.write("share/corvane/prefs.cfg", "[prefs]\n");
        prefix.write("build/src/corvane", "");
    }
    test::TempDir prefix;
    test::TempDir current;
};

TEST_F(InstalledLayout, TheDefaultsBesideTheProgramsMakeItInstalled) {
    EXPECT_EQ(installedDataFolder(prefix / "bin"), prefix / "share/corvane");
    EXPECT_EQ(findResourcesFolder(prefix / "bin"), prefix / "share/corvane");
    EXPECT_TRUE(installedDataFolder(prefix / "build/src").empty());
    EXPECT_TRUE(installedDataFolder({}).empty());
}

TEST_F(InstalledLayout, AnInstalledProgramWorksInItsSeededPerUserFolderUnlessOneIsGiven) {
    const auto perUser = current / "home/.local/share/corvane";
    const auto installed = chooseStartFolder({}, prefix / "bin", current.path(), perUser);
    EXPECT_EQ(installed.folder, perUser);
    EXPECT_TRUE(installed.seed);

    const auto given = chooseStartFolder("lab/runs", prefix / "bin", current.path(), perUser);
    EXPECT_EQ(given.folder, current / "lab/runs");
    EXPECT_FALSE(given.seed) << "a folder of the user's own is seeded only as --simulate and --seed do";
    EXPECT_EQ(chooseStartFolder(prefix / "lab", prefix / "bin", current.path(), perUser).folder,
              prefix / "lab");

    EXPECT_TRUE(chooseStartFolder({}, prefix / "bin", current.path(), {}).folder.empty())
        << "without a per-user folder it must not fall back on the home or the current folder";
}

TEST_F(InstalledLayout, AProgramInItsBuildTreeWorksInTheCurrentFolder) {
    const auto start = chooseStartFolder({}, prefix / "build/src", current.path(), current / "per-user");
    EXPECT_EQ(start.folder, current.path());
    EXPECT_FALSE(start.seed);
}

}  // namespace
}  // namespace corvane
