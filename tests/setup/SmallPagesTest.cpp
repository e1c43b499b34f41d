// The page dispatcher, the step pages' groups and ticker, the spin rule, the
// collection volume, the DE-1 graph axes and the run name.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "PageHost.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "app/ConfigFile.h"
#include "setup/CollectionVolume.h"
#include "setup/GraphSetupPage.h"
#include "setup/NameRunPage.h"
#include "setup/PageDispatcher.h"
#include "setup/SpinStepper.h"
#include "setup/StepGroups.h"

namespace corvane {
namespace {

using test::ManualClock;
using test::PageHost;
using test::ScriptedPrompter;
using test::TempDir;

TEST(PageDispatcher, HidesTheWindowRunsModalPagesOnAndShowsItWithTheGraph) {
    PageHost host;
    PageDispatcher pages(host);
    std::vector<SetupPage> opened;
    pages.setOpener(SetupPage::User, [&] {
        opened.push_back(SetupPage::User);
        return PageShown::modeless();
    });
    pages.setOpener(SetupPage::Calibrate, [&] {
        opened.push_back(SetupPage::Calibrate);
        return PageShown::modalThen(SetupPage::ScanningSetup);
    });
    pages.setOpener(SetupPage::ScanningSetup, [&] {
        opened.push_back(SetupPage::ScanningSetup);
        return PageShown::modalThen(SetupPage::Graph);
    });

    pages.open(SetupPage::User);
    EXPECT_FALSE(host.shown);  // a modeless page holds the window back
    EXPECT_EQ(pages.current(), SetupPage::User);

    pages.open(SetupPage::Calibrate);
    EXPECT_EQ(opened, (std::vector<SetupPage>{SetupPage::User, SetupPage::Calibrate, SetupPage::ScanningSetup}));
    EXPECT_TRUE(host.shown);
    EXPECT_EQ(pages.current(), SetupPage::Graph);
    EXPECT_EQ(host.hides, 2);

    // A page this program does not have leads to the graph, never to a
    // hidden window.
    EXPECT_FALSE(pages.available(SetupPage::LedSetup));
    pages.open(SetupPage::LedSetup);
    EXPECT_TRUE(host.shown);
    EXPECT_EQ(host.graphs, 2);
}

TEST(PageDispatcher, GoSetsTheGoToGraphFlagForTheCallAndPostsCompareAfter) {
    PageHost host;
    PageDispatcher pages(host);
    bool flagSeen = false;
    pages.setOpener(SetupPage::De1Setup, [&] {
        flagSeen = host.goToGraph();
        EXPECT_TRUE(host.posted.empty());
        return PageShown::modeless();
    });
    pages.go({SetupPage::De1Setup, true, false});
    EXPECT_TRUE(flagSeen);
    EXPECT_FALSE(host.goToGraph());
    pages.go({SetupPage::Graph, false, true});
    EXPECT_EQ(host.posted, (std::vector<UserMsg>{UserMsg::OpenCompare}));
}

TEST(StepGroups, OneStepAtATimeDoneStepsStayOffAndAClickEnablesItsStep) {
    StepGroups steps;
    EXPECT_EQ(steps.addGroup({1, 2}, 10, true), 1);
    EXPECT_EQ(steps.addGroup({3}, 100, true), 2);
    EXPECT_EQ(steps.addGroup({4, 5}, 200, false), 3);
    EXPECT_EQ(steps.addGroup(std::vector<int>(41, 9), 300, true), 0);
    EXPECT_TRUE(steps.enable(2));
    EXPECT_TRUE(steps.controlEnabled(3));
    EXPECT_FALSE(steps.controlEnabled(1));
    steps.markDone(2);
    EXPECT_EQ(steps.enabled(), 0);
    EXPECT_FALSE(steps.enable(2));
    EXPECT_EQ(steps.clickAt(150), 0);  // inside the done step
    EXPECT_EQ(steps.clickAt(250), 3);
    EXPECT_EQ(steps.clickAt(50), 1);
    EXPECT_EQ(steps.clickAt(5), 0);  // above every step
    EXPECT_EQ(steps.enabled(), 1);
    EXPECT_EQ(steps.addGroup({6}, 300, true), 4);
    EXPECT_EQ(steps.addGroup({7}, 400, true), 5);
    EXPECT_EQ(steps.addGroup({8}, 500, true), 0);
}

// SCANNING SETUP's step 2 waits for ROTOR OK, LED SETUP's for the
// wavelengths: neither a click in it nor its button enables it before.
TEST(StepGroups, ALockedStepWaitsForItsUnlockWhateverIsClicked) {
    StepGroups steps;
    steps.addGroup({1}, 10, true);
    steps.addGroup({2, 3}, 100, true);
    steps.addGroup({4}, 200, false);
    steps.lock(2);
    EXPECT_TRUE(steps.enable(1));
    EXPECT_EQ(steps.clickAt(150), 0);
    EXPECT_FALSE(steps.enable(2));
    EXPECT_EQ(steps.enabled(), 1);
    EXPECT_FALSE(steps.controlEnabled(3));
    EXPECT_EQ(steps.clickAt(250), 3);  // the step below it is no part of the lock
    steps.unlock(2);
    EXPECT_FALSE(steps.locked(2));
    EXPECT_EQ(steps.clickAt(150), 2);
    EXPECT_TRUE(steps.controlEnabled(3));
    steps.lock(2);  // locking the enabled step turns it off
    EXPECT_EQ(steps.enabled(), 0);
}

TEST(PageTicker, TicksEverySecondOfClockTimeAndStopsWithoutWaitingItOut) {
    ManualClock clock(false);
    std::mutex mutex;
    std::condition_variable ticked;
    int ticks = 0;
    {
        PageTicker ticker(clock, [&] {
            const std::scoped_lock lock(mutex);
            ++ticks;
            ticked.notify_all();
        });
        while (clock.sleepers() == 0) {
            std::this_thread::yield();
        }
        clock.advance(PageTicker::kPeriodMs);
        std::unique_lock lock(mutex);
        ticked.wait(lock, [&] { return ticks == 1; });
    }  // the ticker sleeps its next second: the stop ends it at once
    EXPECT_EQ(ticks, 1);
}

TEST(SpinStepper, StepsStopAtTheLimitsAndRapidClicksTakeAFifth) {
    ManualClock clock;
    SpinStepper volume(clock, {0.1, 2, true, 0.0, std::nullopt});
    EXPECT_EQ(volume.click("0.05", false), "0.00");
    clock.advance(1000);
    EXPECT_EQ(volume.click("10.00", true), "10.10");  // a first click: the base step
    clock.advance(150);
    EXPECT_EQ(volume.click("10.10", true), "12.12");
    clock.advance(150);
    EXPECT_EQ(volume.click("0.30", true), "0.40");  // a fifth would be below the base step
    EXPECT_EQ(volume.click("ml", true), std::nullopt);

    SpinStepper number(clock, {1.0, 0, false, 1.0, 99.0});
    clock.advance(10);
    EXPECT_EQ(number.click("99", true), "99");
    EXPECT_EQ(number.click("1", false), "1");
    EXPECT_EQ(number.click("50", true), "51");
}

TEST(CollectionVolume, OpensWithFiveSpinsToZeroAndKeepsAValidVolume) {
    TempDir dir;
    dir.write("prefs.cfg", "[prefs]\n[collection]\nvolume 0\n");
    ScriptedPrompter prompter;
    ManualClock clock;
    CollectionVolumePage page(dir.path(), "Ann", 0.148, prompter, clock);
    page.open();
    EXPECT_EQ(page.text(), "5.00");
    EXPECT_EQ(page.distanceText(), "33.78 mm");
    EXPECT_EQ(page.kind, CollectionVolumePage::kAutoAndManual);
    page.setText("0.05");
    clock.advance(1000);
    page.spin(false);
    EXPECT_EQ(page.text(), "0.00");
    EXPECT_FALSE(page.ok());
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Invalid collection volume."}));
    page.setText("abc");
    EXPECT_FALSE(page.distanceText());
    page.setText("1.48");
    EXPECT_EQ(page.distanceText(), "10.00 mm");
    ASSERT_TRUE(page.ok());
    EXPECT_EQ(page.volume(), 1.48);
    EXPECT_EQ(ConfigFile(dir / "prefs.cfg").getDouble("[collection]", "volume"), 1.48);
    EXPECT_EQ(loadCollectionVolume(dir.path(), {}), 1.48);

    // Without a volume per mm the read-out stays as it was.
    CollectionVolumePage noRotor(dir.path(), {}, 0.0, prompter, clock);
    noRotor.open();
    EXPECT_FALSE(noRotor.distanceText());
    EXPECT_EQ(fractionDistanceLine(2.5), "Fraction Distance = 2.50 mm");
    EXPECT_EQ(fractionVolumeLine(0.3575), "Fraction Volume = 0.36 ml");
}

TEST(GraphSetupPage, KeepsItsChoicesInTheDe1Section) {
    TempDir dir;
    dir.write("prefs.cfg", "[prefs]\n");
    ScriptedPrompter prompter;
    GraphSetupPage page(dir.path(), prompter);
    page.open();
    EXPECT_EQ(page.samplesEntry, 9);
    EXPECT_EQ(page.yAxis, GraphSetupPage::kOd254);
    page.aufs = 2;
    page.samplesEntry = 19;
    page.xAxis = 2;
    page.flowRate = "1.5";
    ASSERT_TRUE(page.store());
    page.flowRate = "quick";
    EXPECT_FALSE(page.store());
    const ConfigFile prefs(dir / "prefs.cfg");
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "aufs"), 2);
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "gr_aufs"), 2);
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "samplespersec"), 20);
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "gr_xaxis_type"), 2);
    EXPECT_EQ(prefs.getString("[EM1_Settings]", "gr_volumeperminute"), "1.50");
    GraphSetupPage again(dir.path(), prompter);
    again.open();
    EXPECT_EQ(again.flowRate, "1.50");
    EXPECT_EQ(again.xAxis, 2);
}

TEST(NameRunPage, OffersTheLastNameAndRefusesOneThatCannotNameARun) {
    TempDir dir;
    dir.write("prefs.cfg", "[prefs]\nlastuser Ann\n");
    dir.write("Users/Ann/settings.txt", "[user_settings]\nlastscanname tube3\n");
    ScriptedPrompter prompter;
    NameRunPage page(dir.path(), prompter);
    EXPECT_EQ(page.offeredName(), "tube3");
    EXPECT_FALSE(page.accept("a/b"));
    EXPECT_FALSE(page.accept("tube [4]"));
    EXPECT_EQ(prompter.texts().size(), 2U);
    EXPECT_EQ(page.accept("tube4"), "tube4");
    EXPECT_EQ(page.offeredName(), "tube4");
    EXPECT_EQ(page.accept(""), "");
}

}  // namespace
}  // namespace corvane
