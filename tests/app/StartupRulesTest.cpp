#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TempDir.h"
#include "app/ComPortChooser.h"
#include "app/ScreenResWarning.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;

TEST(ScreenResWarning, WarnsBelow1150By800UnlessSwitchedOff) {
    EXPECT_FALSE(screenResWarningDue(0, 1150, 800));
    EXPECT_TRUE(screenResWarningDue(0, 1149, 800));
    EXPECT_TRUE(screenResWarningDue(0, 1150, 799));
    EXPECT_FALSE(screenResWarningDue(1, 640, 480));
    EXPECT_EQ(currentResolutionText(1024, 768), "Current display resolution is: 1024 x 768");

    test::TempDir dir;
    dir.write("prefs.cfg", "[prefs]\ndontshowscreenreswarning 0\n");
    EXPECT_TRUE(screenResWarningDue(dir.path(), 1024, 768));
    storeScreenResWarningChoice(dir.path(), true);
    EXPECT_FALSE(screenResWarningDue(dir.path(), 1024, 768));
    EXPECT_TRUE(screenResWarningDue(dir / "missing", 1024, 768)) << "no prefs reads 0";
}

TEST(ComPortChooser, NoPortClosesAtOnceAndASinglePortIsStoredAtOnce) {
    test::TempDir dir;
    dir.write("prefs.cfg", "[prefs]\ncomport 4\n");
    const auto prefs = dir.path();
    ComPortChooser none(prefs, {});
    EXPECT_FALSE(none.open());
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\ncomport 4\n");

    ComPortChooser single(prefs, {101});
    EXPECT_TRUE(single.open());
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\ncomport 101\n") << "before anything is pressed";
    EXPECT_THAT(single.entries(), ElementsAre("COM101"));
}

TEST(ComPortChooser, SelectsTheStoredPortElseTheFirstAndStoresTheChoiceOnOk) {
    test::TempDir dir;
    dir.write("prefs.cfg", "[prefs]\ncomport 7\n");
    const auto prefs = dir.path();
    ComPortChooser chooser(prefs, {3, 7, 12});
    ASSERT_TRUE(chooser.open());
    EXPECT_THAT(chooser.entries(), ElementsAre("COM3", "COM7", "COM12"));
    EXPECT_EQ(chooser.selection(), 1);
    EXPECT_TRUE(chooser.accept("COM 12"));
    EXPECT_FALSE(chooser.accept("com5"));
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\ncomport 12\n");

    ComPortChooser unknown(prefs, {3, 5});
    ASSERT_TRUE(unknown.open());
    EXPECT_EQ(unknown.selection(), 0) << "12 is not listed";
}

}  // namespace
}  // namespace corvane
