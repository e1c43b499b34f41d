// The window's commands into the setup pages, and the DE-1 status texts.

#include <gtest/gtest.h>

#include <vector>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "app/DialogFolders.h"
#include "display/PageTexts.h"
#include "display/RunSetupCommands.h"
#include "display/WindowSetupHost.h"
#include "setup/PageDispatcher.h"

namespace corvane {
namespace {

class RunSetup : public ::testing::Test {
protected:
    RunSetup() {
        dir.write("prefs.cfg", "[prefs]\nlastuser \n");
        for (SetupPage page : {SetupPage::User, SetupPage::De1Setup}) {
            pages.setOpener(page, [this, page] {
                opened.push_back(page);
                return PageShown::modeless();
            });
        }
    }

    RunSetupCommands commands() {
        return RunSetupCommands({dir.path(), prompter, folders, pages, host,
                                 [this] { return runName; }, [this](const std::string& name) { named = name; },
                                 [this] { ++cleared; }, {}, [this] { return recorded; },
                                 [this] { ++writerResets; }});
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    DialogFolders folders{dir.path(), prompter};
    NextRun next;
    WindowSetupHost host{next, {.de1Mode = [this] { return de1; },
                                .showGraph = [this] { opened.push_back(SetupPage::Graph); }}};
    PageDispatcher pages{host};
    std::vector<SetupPage> opened;
    bool de1 = true;
    bool recorded = false;
    std::optional<std::string> runName;
    std::optional<std::string> named;
    int cleared = 0;
    int writerResets = 0;
};

TEST_F(RunSetup, NewRunClearsTheGraphThenNamesTheRunOrGoesToTheUserPage) {
    auto run = commands();
    named = "last run";
    prompter.answerNo();
    run.newRun();
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(writerResets, 1);
    EXPECT_EQ(opened, std::vector<SetupPage>{SetupPage::User});
    EXPECT_EQ(named, std::optional<std::string>(""));  // the last run's name goes

    // Yes in DE-1 mode: the run-name page's name; its Cancel names no run.
    runName = "run2";
    prompter.answerYes();
    run.newRun();
    EXPECT_EQ(named, std::optional<std::string>("run2"));
    runName.reset();
    prompter.answerYes();
    run.newRun();
    EXPECT_EQ(named, std::optional<std::string>(""));
    EXPECT_EQ(prompter.transcript().front(), "question: Another identical run? -> No");

    // Outside DE-1 mode the run name goes all the same, and no page names
    // another; the DE-1 writer has nothing to let go.
    de1 = false;
    named = "run3";
    prompter.answerYes();
    run.newRun();
    EXPECT_EQ(named, std::optional<std::string>(""));
    EXPECT_EQ(writerResets, 3);
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(RunSetup, ScanSetupOpensTheDe1PageOrAsksWhichScanningSetup) {
    auto run = commands();
    EXPECT_TRUE(run.scanSetupAvailable());
    run.scanSetup();
    EXPECT_EQ(opened, std::vector<SetupPage>{SetupPage::De1Setup});
    EXPECT_TRUE(prompter.transcript().empty());

    // The scanning pages are not there: the command is unavailable, and the
    // question names whether a run was recorded; either answer ends at the graph.
    de1 = false;
    EXPECT_FALSE(run.scanSetupAvailable());
    opened.clear();
    prompter.answerYes();
    run.scanSetup();
    recorded = true;
    prompter.answerNo();
    run.scanSetup();
    EXPECT_EQ(prompter.transcript(),
              (std::vector<std::string>{"question: Do you wish to use the same run settings? -> Yes",
                                        "question: Do you want to do another identical run? -> No"}));
    EXPECT_EQ(opened, (std::vector<SetupPage>{SetupPage::Graph, SetupPage::Graph}));
    EXPECT_FALSE(host.identicalRun());
}

TEST(De1StatusTexts, StartModeAndSummaryFollowTheSettings) {
    Em1Settings s;
    EXPECT_EQ(de1StartModeText(s), "START MODE: No Delay");
    s.delayType = Em1Settings::kEventWithDelay;
    EXPECT_EQ(de1StartModeText(s), "START MODE: Event with Delay");
    s.delayType = Em1Settings::kOdSensingStart;
    EXPECT_EQ(de1StartModeText(s), "START MODE: OD Sensing");
    s.signalType = Em1Settings::kManualTriggered;
    EXPECT_EQ(de1StartModeText(s), "START MODE: Manual Triggered");

    s.wavelength = 280.0;
    s.samplesPerSec = 10.0;
    s.speed = 0.5;
    s.fractionDistance = 5.0;
    s.numberOfFractions = 8;
    s.totalDistance = 40.0;
    EXPECT_EQ(de1SummaryText(s, 0),
              "UV Wavelength: 280 nm\t\tSamples/sec: 10 Hz\nSpeed: 0.50 mm/sec\t\tDistance: 5.00 mm\n"
              "Number: 8\t\t\tTotal Distance: 40.00 mm\n\tFractionation: Standard");
    s.speed = 1.25;
    const std::string fast = de1SummaryText(s, 1);
    EXPECT_NE(fast.find("Speed: 1.2 mm/sec"), std::string::npos);
    EXPECT_NE(fast.find("\tFractionation: Auto + Manual"), std::string::npos);
    s.peaks.enabled = true;
    EXPECT_TRUE(de1SummaryText(s, 1).ends_with("\tFractionation: Peaks"));
    EXPECT_EQ(de1SettingsBox(s, RunInfo{}, 1.0, PageFractionation::Standard).back(), "Fractionation: Peaks");
    s.peaks.enabled = false;
    EXPECT_EQ(de1SettingsBox(s, RunInfo{}, 1.0, PageFractionation::Standard).back(), "Fractionation: Standard");
}

TEST(De1StatusTexts, ChecklistItemsRefreshTheDe1PageOrBringTheGraph) {
    EXPECT_EQ(checklistFollow(true, true, true), ChecklistFollow::RefreshDe1Page);
    EXPECT_EQ(checklistFollow(true, false, true), ChecklistFollow::Nothing);
    EXPECT_EQ(checklistFollow(false, true, false), ChecklistFollow::ShowGraph);
    EXPECT_EQ(checklistFollow(false, true, true), ChecklistFollow::Nothing);
    EXPECT_EQ(checklistFollow(false, false, false), ChecklistFollow::Nothing);
}

}  // namespace
}  // namespace corvane
