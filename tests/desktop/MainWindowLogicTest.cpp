#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <mutex>
#include <thread>

#include "MainWindowFakes.h"
#include "RecordingPoster.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "app/ConfigFile.h"
#include "app/DialogFolders.h"
#include "app/Version.h"
#include "graph/GraphModel.h"
#include "desktop/MainWindowLogic.h"

namespace corvane {
namespace {

using test::FakeRecording;
using test::FakeSession;
using test::ManualClock;
using test::RecordingPoster;
using test::ScriptedPrompter;
using test::TempDir;

constexpr const char* kPrefs = "[prefs]";

// The graph as a bare model, with the repaints counted.
class ModelGraph : public LiveGraph {
public:
    void edit(const std::function<void(GraphModel&)>& f) override {
        std::lock_guard lock(mutex_);
        f(model);
    }
    void redraw() override { ++redraws; }
    void redrawAll() override { ++rebuilds; }

    GraphModel model;
    int redraws = 0;
    int rebuilds = 0;

private:
    std::mutex mutex_;
};

SampleRecord sample(double counts, double absA, double absB, double mm) {
    SampleRecord r;
    r.sampleA = static_cast<std::uint32_t>(counts);
    r.sourceA = static_cast<std::uint32_t>(counts) + 17;
    r.sampleB = static_cast<std::uint32_t>(counts) - 5;
    r.sourceB = static_cast<std::uint32_t>(counts) + 3;
    r.absorbanceA = absA;
    r.absorbanceB = absB;
    r.positionA = mm;
    r.positionB = mm + 0.05;
    return r;
}

class MainWindowLogicTest : public ::testing::Test {
protected:
    MainWindowLogicTest() {
        dir.write("rotors.txt", "Volumes\nA_Volume 1.5\nB_Volume 2.25\nC_Volume 3\nD_Volume_Per_MM 0.143\n");
        writePrefs("");
    }

    void writePrefs(const std::string& extra) {
        dir.write("prefs.cfg",
                  "[prefs]\nbaudrate 57600\ncomport 4\nshowRawA 1\nshowRefA 0\nshowAbsA 1\n"
                  "showRawB 0\nshowRefB 0\nshowAbsB 1\nshowADivB 0\nxaxissamplerange 500\n"
                  "xaxisposrange 100\nymin 0\nymax 2\nyy_min 0\nyy_max 2\nxautoscale 0\n"
                  "yautoscale 1\nyy_autoscale 1\nmulticolor1 511\n" +
                      extra);
    }

    MainWindowLogic& logic() {
        if (!logic_) {
            logic_ = std::make_unique<MainWindowLogic>(
                MainWindowLogic::Env{dir.path(), prompter, folders, clock, poster, graph});
        }
        return *logic_;
    }

    std::string pref(const char* key) {
        const ConfigFile prefs(dir / "prefs.cfg");
        return prefs.getString(kPrefs, key).value_or("(missing)");
    }

    TempDir dir;
    ScriptedPrompter prompter;
    DialogFolders folders{dir.path(), prompter};
    ManualClock clock;
    RecordingPoster poster;
    ModelGraph graph;
    std::unique_ptr<MainWindowLogic> logic_;
};

// --- Preferences ---

TEST_F(MainWindowLogicTest, PreferencesLoadAndSaveWithTheirKeys) {
    dir.write("prefs.cfg",
              "[prefs]\nbaudrate 0\ncomport 4\nshowRawA 0\nshowRefA 0\nshowAbsA 1\nshowRawB 0\n"
              "showRefB 1\nshowAbsB 1\nshowADivB 0\nxaxissamplerange 0\nxaxisposrange 80\nymin 0.5\n"
              "ymax 1.5\nyy_min 0\nyy_max 3\nxautoscale 1\nyautoscale 1\nyy_autoscale 1\n"
              "lastdatafolder /data/runs\nmulticolor1 511\n");
    logic().setPorts({3, 4});
    ASSERT_TRUE(logic().loadPreferences());

    EXPECT_EQ(logic().baudRate(), 57600);
    EXPECT_EQ(pref("baudrate"), "57600");  // written back at once
    EXPECT_EQ(logic().comPort(), 4);
    EXPECT_EQ(logic().portSelection(), 1);
    EXPECT_FALSE(logic().channelShown(kChannelSampleA));
    EXPECT_TRUE(logic().channelShown(kChannelSourceB));
    EXPECT_DOUBLE_EQ(logic().windowSamples(), 500.0);  // 0 reads as 500
    EXPECT_DOUBLE_EQ(logic().windowMm(), 80.0);
    EXPECT_EQ(logic().yRange(), (AxisRange{0.5, 1.5}));
    EXPECT_FALSE(logic().yAutoScale());  // off at every start
    EXPECT_TRUE(logic().yyAutoScale());
    EXPECT_EQ(folders.folder(DialogFolder::Data), "/data/runs");

    logic().setShowGrid(true);
    ASSERT_TRUE(logic().savePreferences());
    EXPECT_EQ(pref("showRawA"), "0");
    EXPECT_EQ(pref("showRefB"), "1");
    EXPECT_EQ(pref("comport"), "4");
    EXPECT_EQ(pref("bufsize"), "25000");
    EXPECT_EQ(pref("xaxissamplerange"), "500");
    EXPECT_EQ(pref("xaxisposrange"), "80.00");
    EXPECT_EQ(pref("ymin"), "0.500000");
    EXPECT_EQ(pref("yy_max"), "3.000000");
    EXPECT_EQ(pref("showgrid"), "1");
    EXPECT_EQ(pref("xautoscale"), "1");
    EXPECT_EQ(pref("yautoscale"), "0");
    EXPECT_EQ(pref("yy_autoscale"), "1");
    EXPECT_EQ(pref("logscale"), "0");
    EXPECT_EQ(pref("xmin"), "0.000000");
    EXPECT_EQ(pref("lastdatafolder"), "/data/runs");
    EXPECT_EQ(pref("multicolor1"), "511");
    EXPECT_EQ(prompter.unscripted(), 0);
    EXPECT_TRUE(prompter.texts().empty());
}

TEST_F(MainWindowLogicTest, OlderSingleAutoScaleSwitchAndUnlistedPort) {
    dir.write("prefs.cfg", "[prefs]\ncomport 9\nautoscale 1\nshowAbsA 1\n");
    logic().setPorts({3, 4});
    ASSERT_TRUE(logic().loadPreferences());
    EXPECT_TRUE(logic().yyAutoScale());
    EXPECT_FALSE(logic().yAutoScale());
    // COM9 is not listed: the listed first entry stays and gives the port.
    EXPECT_EQ(logic().comPort(), 3);
    EXPECT_EQ(logic().portSelection(), 0);
}

TEST_F(MainWindowLogicTest, MissingPrefsAreReportedOnLoadAndSaveAndDefaultsStay) {
    std::filesystem::remove(dir / "prefs.cfg");
    EXPECT_FALSE(logic().loadPreferences());
    EXPECT_FALSE(logic().savePreferences());
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{"Error, prefs.cfg file could not be found or opened.",
                                        "Error, prefs.cfg file could not be found or opened."}));
    EXPECT_FALSE(dir.exists("prefs.cfg"));
    EXPECT_TRUE(logic().channelShown(kChannelSampleA));
    EXPECT_EQ(logic().baudRate(), 57600);
}

TEST_F(MainWindowLogicTest, FirstShowPortMessagesAndConnection) {
    FakeSession session;
    logic().bindSession(&session);
    logic().setPorts({});
    EXPECT_EQ(logic().missingPortMessage(), "No serial COM ports available!");
    EXPECT_FALSE(logic().connectIfPossible());

    logic().setPorts({3, 4});
    ASSERT_TRUE(logic().loadPreferences());
    EXPECT_EQ(logic().missingPortMessage(), "");
    EXPECT_TRUE(logic().connectIfPossible());
    ASSERT_EQ(session.connects.size(), 1u);
    EXPECT_EQ(session.connects[0], (std::array<int, 3>{4, 57600, 2}));
    EXPECT_FALSE(logic().connectIfPossible());  // the link runs already
    EXPECT_EQ(logic().portEntries(), (std::vector<std::string>{"COM3", "COM4"}));
    EXPECT_TRUE(logic().choosePort(0));
    EXPECT_FALSE(logic().choosePort(0));
    EXPECT_EQ(logic().comPort(), 3);
}

TEST_F(MainWindowLogicTest, RotorVolumesComeFromTheBareVolumesSection) {
    EXPECT_DOUBLE_EQ(logic().volumes().a, 1.5);
    EXPECT_DOUBLE_EQ(logic().volumes().b, 2.25);
    EXPECT_DOUBLE_EQ(logic().volumes().dPerMm, 0.143);

    TempDir other;
    other.write("rotors.txt", "[Volumes]\nA_Volume 1.5\n");
    MainWindowLogic bracketed({other.path(), prompter, folders, clock, poster, graph});
    EXPECT_DOUBLE_EQ(bracketed.volumes().a, 0.0);
    EXPECT_TRUE(prompter.texts().empty());

    TempDir none;
    MainWindowLogic missing({none.path(), prompter, folders, clock, poster, graph});
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Error, file: " + (none / "rotors.txt").string() +
                                                          " could not be opened."}));
}

// --- The sample handler ---

TEST_F(MainWindowLogicTest, RingWrapsAt25000AndKeepsTheNewest) {
    for (int i = 0; i < LiveSamples::kSize + 1; ++i) {
        logic().onSample(sample(1000 + i, 0.1, 0.2, i * 0.01));
    }
    EXPECT_EQ(logic().storedSamples(), 25000);
    EXPECT_EQ(logic().totalSamples(), 25001);
    const auto numbers = logic().storedNumbers();
    EXPECT_EQ(numbers.front(), 1);  // sample 0 was overwritten
    EXPECT_EQ(numbers.back(), 25000);
    EXPECT_EQ(logic().latestSample()->sampleA, 1000u + 25000u);
    EXPECT_EQ(logic().recordedText(), "Recorded 12500 samples");

    logic().clearTraces();
    EXPECT_EQ(logic().storedSamples(), 0);
    EXPECT_EQ(logic().recordedText(), "Recorded 0 samples");
}

TEST_F(MainWindowLogicTest, ReadoutsArePostedAtMostEvery500Ms) {
    logic().onSample(sample(1000, 0.1, 0.2, 1));
    for (int i = 0; i < 20; ++i) {
        clock.advance(20);
        logic().onSample(sample(1000, 0.1, 0.2, 1));
    }
    EXPECT_EQ(poster.count(UserMsg::Readouts), 1);  // 400 ms in
    clock.advance(99);
    logic().onSample(sample(1000, 0.1, 0.2, 1));
    EXPECT_EQ(poster.count(UserMsg::Readouts), 1);  // 499 ms
    clock.advance(1);
    logic().onSample(sample(1000, 0.1, 0.2, 1));
    EXPECT_EQ(poster.count(UserMsg::Readouts), 2);  // 500 ms

    logic().setDisplayPaused(true);
    clock.advance(1000);
    logic().onSample(sample(1000, 0.1, 0.2, 1));
    EXPECT_EQ(poster.count(UserMsg::Readouts), 2);
    EXPECT_EQ(logic().totalSamples(), 23);
}

TEST_F(MainWindowLogicTest, ReadoutFormats) {
    EXPECT_EQ(logic().readoutTexts()[kChannelAbsA], "");
    logic().onSample(sample(1000000, 0.1234567, 0.05, 3));
    const auto texts = logic().readoutTexts();
    EXPECT_EQ(texts[kChannelSampleA], "1000000");
    EXPECT_EQ(texts[kChannelSourceA], "1000017");
    EXPECT_EQ(texts[kChannelAbsA], "0.123457");
    EXPECT_EQ(texts[kChannelAbsB], "0.050000");
    EXPECT_EQ(texts[kChannelRatio], "2.5");
}

TEST_F(MainWindowLogicTest, TheReceiveThreadFeedsWhileTheWindowChangesTheView) {
    ASSERT_TRUE(logic().loadPreferences());
    std::thread receive([&] {
        for (int i = 0; i < 3000; ++i) {
            logic().onSample(sample(1000 + i, 0.1, 0.2, i * 0.01));
        }
    });
    for (int turn = 0; turn < 40; ++turn) {
        logic().setChannelShown(turn % kChannelCount, turn % 3 != 0);
        logic().setXAxisType(turn % 2 == 0 ? XAxisType::Millimetres : XAxisType::SampleNumber);
        logic().setYAutoScale(turn % 4 == 0);
        (void)logic().readoutTexts();
        (void)logic().axisTexts();
        if (turn % 10 == 0) {
            logic().clearTraces();
        }
    }
    receive.join();
    EXPECT_LE(logic().storedSamples(), 3000);
    EXPECT_EQ(logic().latestSample()->sampleA, 1000u + 2999u);
}

// --- What the graph shows ---

TEST_F(MainWindowLogicTest, LiveAutoScaleKeepsCountsNearAMillionOnScreen) {
    ASSERT_TRUE(logic().loadPreferences());
    for (int c = 0; c < kChannelCount; ++c) {
        logic().setChannelShown(c, c == kChannelSampleA);
    }
    logic().setYAutoScale(true);
    for (int i = 0; i < 300; ++i) {
        logic().onSample(sample(1000000 + 400 * std::sin(i * 0.1), 0.1, 0.2, i * 0.02));
    }
    const auto y = logic().yRange();
    EXPECT_GT(y.min, 999590.0);
    EXPECT_LT(y.max, 1000410.0);
    EXPECT_GT(y.max - y.min, 700.0);
    // Every point lies inside the plot, none pinned to an edge by the range.
    const TraceSlot& slot = graph.model.slot(kSlotSampleA);
    ASSERT_EQ(slot.count(), 300);
    for (const double v : slot.y) {
        EXPECT_GE(v, graph.model.yMin());
        EXPECT_LE(v, graph.model.yMax());
    }
    EXPECT_EQ(logic().axisTexts().yMax.find('.'), std::string::npos);  // "%.0f" above a range of 10
    for (int c = 1; c < kChannelCount; ++c) {
        EXPECT_EQ(graph.model.slot(c).count(), 0) << c;  // hidden channels draw nothing
    }
}

TEST_F(MainWindowLogicTest, SampleNumberWindowFillsThenScrolls) {
    ASSERT_TRUE(logic().loadPreferences());
    for (int i = 0; i < 100; ++i) {
        logic().onSample(sample(1000, 0.1, 0.2, i * 0.1));
    }
    EXPECT_EQ(logic().xRange(), (AxisRange{0.0, 500.0}));
    EXPECT_EQ(graph.model.slot(kSlotAbsA).count(), 100);
    for (int i = 100; i < 800; ++i) {
        logic().onSample(sample(1000, 0.1, 0.2, i * 0.1));
    }
    EXPECT_EQ(logic().xRange(), (AxisRange{299.0, 799.0}));
    const TraceSlot& absA = graph.model.slot(kSlotAbsA);
    ASSERT_EQ(absA.count(), 501);
    EXPECT_EQ(absA.x.front(), 299.0);
    EXPECT_EQ(absA.x.back(), 799.0);
}

TEST_F(MainWindowLogicTest, MillimetreAxisPlotsEachChannelAtItsOwnPosition) {
    ASSERT_TRUE(logic().loadPreferences());
    logic().setXAxisType(XAxisType::Millimetres);
    logic().onSample(sample(1000, 0.1, 0.2, 12.5));
    EXPECT_EQ(graph.model.slot(kSlotAbsA).x.at(0), 12.5);
    EXPECT_DOUBLE_EQ(graph.model.slot(kSlotAbsB).x.at(0), 12.55);
    EXPECT_EQ(logic().xRange(), (AxisRange{0.0, 100.0}));
}

TEST_F(MainWindowLogicTest, YYAutoScaleSkipsRatiosOfZeroAbsorbanceB) {
    ASSERT_TRUE(logic().loadPreferences());
    logic().setChannelShown(kChannelRatio, true);
    logic().setYYAutoScale(true);
    logic().onSample(sample(1000, 0.5, 0.25, 1));
    logic().onSample(sample(1000, 0.3, 0.0, 2));  // ratio not a number
    logic().onSample(sample(1000, 0.25, 0.25, 3));
    EXPECT_EQ(logic().yyRange(), (AxisRange{1.0, 2.0}));
    EXPECT_TRUE(logic().yyControlsVisible());
}

TEST_F(MainWindowLogicTest, AxisBoxesSpinsAndTheirTexts) {
    ASSERT_TRUE(logic().loadPreferences());  // y 0..2
    EXPECT_EQ(logic().axisTexts().yMax, "2.00");
    logic().axisSpin(AxisBox::YMax, "2.00", true);
    EXPECT_EQ(logic().yRange(), (AxisRange{0.0, 2.5}));  // a quarter of 0..2
    logic().axisSpin(AxisBox::YMin, "not a number", true);
    EXPECT_EQ(logic().yRange(), (AxisRange{0.0, 2.5}));
    logic().axisTextEdited(AxisBox::YMax, " 0.5x");
    EXPECT_EQ(logic().axisTexts().yMax, "0.500000");  // range below 1
    logic().axisTextEdited(AxisBox::YYMin, "abc");
    EXPECT_EQ(logic().yyRange(), (AxisRange{0.0, 2.0}));

    logic().windowSizeEdited(false, "750");
    EXPECT_EQ(pref("xaxissamplerange"), "750");  // saved at once
    logic().windowSizeEdited(true, "-3");
    EXPECT_EQ(logic().axisTexts().windowMm, "100.00");
    logic().windowSizeSpin(true, true);
    EXPECT_EQ(pref("xaxisposrange"), "200.00");
}

TEST_F(MainWindowLogicTest, YControlsHideWithoutAYChannel) {
    ASSERT_TRUE(logic().loadPreferences());
    for (int c = 0; c < kChannelRatio; ++c) {
        logic().setChannelShown(c, false);
    }
    EXPECT_FALSE(logic().yControlsVisible());
    EXPECT_FALSE(logic().yyControlsVisible());
    logic().setChannelShown(kChannelRatio, true);
    EXPECT_TRUE(logic().yyControlsVisible());
    EXPECT_EQ(pref("showADivB"), "1");  // a switch saves at once
}

// --- Files ---

TEST_F(MainWindowLogicTest, OpensARunFileAndCloseBringsTheLiveRunBack) {
    ASSERT_TRUE(logic().loadPreferences());
    const auto run = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "two_channel.csv";
    prompter.scriptFile(run.string());
    ASSERT_TRUE(logic().openDataFile());
    EXPECT_EQ(prompter.fileRequests().at(0).filter,
              "CSV Text Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
    EXPECT_EQ(prompter.fileRequests().at(0).defaultExtension, "csv");
    EXPECT_EQ(poster.count(UserMsg::RedrawGraph), 1);
    EXPECT_EQ(logic().closeDataMenuText(), "Close File");
    EXPECT_EQ(folders.folder(DialogFolder::Data), run.parent_path().string());
    logic().refreshGraph();
    const auto rows = graph.model.slot(kSlotAbsA).count();
    EXPECT_GT(rows, 1);
    EXPECT_EQ(logic().xRange(), (AxisRange{0.0, static_cast<double>(rows)}));
    logic().onSample(sample(1000, 0.1, 0.2, 1));  // the live run goes on behind the file
    EXPECT_EQ(graph.model.slot(kSlotAbsA).count(), rows);

    logic().closeDataFile();
    EXPECT_FALSE(logic().dataFileShown());
    EXPECT_EQ(logic().closeDataMenuText(), "&Close Data File");
    EXPECT_EQ(graph.model.slot(kSlotAbsA).count(), 1);
    EXPECT_EQ(logic().xRange(), (AxisRange{0.0, 500.0}));
}

TEST_F(MainWindowLogicTest, UnreadableFilesAreReported) {
    const auto noHeader = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "no_header.csv";
    EXPECT_FALSE(logic().showDataFile(noHeader));
    EXPECT_FALSE(logic().showDataFile(dir / "gone.csv"));
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{"Invalid data header found in file: " + noHeader.string(),
                                        "Error, unable to open file: " + (dir / "gone.csv").string()}));
    logic().saveGraphDataAs();
    EXPECT_EQ(prompter.texts().back(), "Error, file data does not exist.");
    EXPECT_FALSE(logic().dataFileShown());
}

TEST_F(MainWindowLogicTest, De1FileShowsVoltageAndMarksOnTheAufsRange) {
    ASSERT_TRUE(logic().loadPreferences());
    ASSERT_TRUE(logic().showDataFile(std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "em1.csv"));
    logic().setAufs(3);
    EXPECT_TRUE(logic().de1Mode());
    EXPECT_EQ(logic().channelCaption(kChannelAbsA), "Voltage");
    EXPECT_EQ(logic().channelCaption(kChannelRatio), "Mark");
    EXPECT_EQ(logic().aufsLabel(), "0.10");
    EXPECT_EQ(logic().yRange(), (AxisRange{0.0, 0.1}));
    EXPECT_TRUE(graph.model.slot(kSlotRatio).markStyle);
    const ConfigFile prefs(dir / "prefs.cfg");
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "aufs"), 3);
}

TEST_F(MainWindowLogicTest, ChecklistFilesAndLostData) {
    EXPECT_FALSE(logic().checklistFile(true).has_value());
    EXPECT_EQ(prompter.texts().back(),
              "Error, could not find file: " + (dir / "detailed_checklist.txt").string());
    dir.write("short_checklist.txt", "1: Rinse\n");
    EXPECT_EQ(logic().checklistFile(false), dir / "short_checklist.txt");

    EXPECT_FALSE(logic().lostDataPresent());
    dir.write("TEMP/temp_run_2024_01_02_03_04_05.csv", "x\n");
    EXPECT_TRUE(logic().lostDataPresent());
}

// --- Keys and the controllers ---

TEST_F(MainWindowLogicTest, FunctionKeysActOnceWhileHeldAndReachTheController) {
    FakeRecording recording;
    logic().bindRecording(&recording);
    EXPECT_EQ(logic().keyDown(WindowKey::F1, false), KeyOutcome::Handled);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(logic().keyDown(WindowKey::F1, true), KeyOutcome::Handled);
    }
    EXPECT_EQ(recording.startStops, 1);
    EXPECT_EQ(logic().recordCaption(), "STOP RECORD (F1)");
    logic().keyDown(WindowKey::F2, false);
    logic().keyDown(WindowKey::F3, false);
    logic().keyDown(WindowKey::F4, false);
    EXPECT_EQ(logic().keyDown(WindowKey::F5, false), KeyOutcome::Handled);
    EXPECT_EQ((std::array{recording.zeros.load(), recording.pauses.load(), recording.refreshes.load()}),
              (std::array{1, 1, 1}));

    EXPECT_EQ(logic().keyDown(WindowKey::Up, false), KeyOutcome::PassOn);
    logic().setChecklistOpen(true);
    EXPECT_EQ(logic().keyDown(WindowKey::Up, false), KeyOutcome::ChecklistUp);
    EXPECT_EQ(logic().keyDown(WindowKey::Down, false), KeyOutcome::ChecklistDown);

    EXPECT_EQ(logic().keyDown(WindowKey::CtrlD, false), KeyOutcome::Handled);  // no link
    FakeSession session;
    session.active = true;
    logic().bindSession(&session);
    EXPECT_EQ(logic().keyDown(WindowKey::CtrlD, false), KeyOutcome::OpenDebugWindows);

    logic().goToUpperLimit();  // stops the recording first
    EXPECT_EQ(recording.stops, 1);
    EXPECT_EQ(recording.upperLimits, 1);
    logic().onLinkLost();  // nothing records any more
    EXPECT_EQ(recording.stops, 1);
}

TEST_F(MainWindowLogicTest, WithoutAControllerTheButtonsDoNothing) {
    EXPECT_EQ(logic().recordCaption(), "START RECORD (F1)");
    EXPECT_EQ(logic().pauseCaption(), "PAUSE (F3)");
    EXPECT_FALSE(logic().pauseEnabled());
    EXPECT_EQ(logic().keyDown(WindowKey::F1, false), KeyOutcome::Handled);
    EXPECT_FALSE(logic().isRecording());
    EXPECT_TRUE(prompter.texts().empty());
}

TEST_F(MainWindowLogicTest, LinkStatsAndStatusTexts) {
    Cmd0 settings;
    settings.uiPistonPos = 1234;
    settings.iPistonSpeed = -5;
    settings.uiIntegrationTime = 80;
    settings.ucDutyCycleA = 60;
    settings.ucATODGain = 3;
    logic().onLinkStats(7, 8, 0, settings);
    const auto status = logic().statusTexts();
    EXPECT_EQ(status.positionSpeed, "Position 12.34 mm  Speed -0.50 mm/sec");
    EXPECT_EQ(status.upperLimit, "Upper Limit Switch: Contact");
    EXPECT_EQ(status.samplingRate, "A/D Sampling Rate: 12.5 Hz");
    EXPECT_EQ(status.dutyCycle, "Duty Cycle: 60:40");
    EXPECT_EQ(status.potValue, "pot pC Value: 3");
    logic().onLinkStats(7, 8, 1, std::nullopt);
    EXPECT_EQ(logic().statusTexts().upperLimit, "Upper Limit Switch: No Contact");

    logic().setCaptionSuffix(" (simulated instrument)");
    EXPECT_EQ(logic().caption(), std::string("Corvane version ") + kVersionText + " (simulated instrument)");
    logic().setDebugDisplayOn(true);
    EXPECT_EQ(logic().caption(), "Tellmar - # heart beats received: 7, # heart beats transmitted: 8");
}

// --- Closing ---

TEST_F(MainWindowLogicTest, ClosingWaitsForTheReceiveThreadAndAsksOnce) {
    FakeRecording recording;
    recording.recording = true;
    FakeSession session;
    session.active = true;
    session.threadTurnsLeft = 2;
    logic().bindRecording(&recording);
    logic().bindSession(&session);
    int destroyed = 0;
    prompter.answerYes();
    EXPECT_EQ(logic().closeRequested([&] { ++destroyed; }), CloseStep::RepostClose);
    EXPECT_EQ(recording.stops, 1);  // the save question is the controller's
    EXPECT_EQ(logic().closeRequested([&] { ++destroyed; }), CloseStep::RepostClose);
    EXPECT_EQ(logic().closeRequested([&] { ++destroyed; }), CloseStep::Close);
    EXPECT_EQ(prompter.transcript(),
              (std::vector<std::string>{"question: Are you sure you wish to exit? -> Yes"}));
    EXPECT_EQ(session.destroyed, 1);
    EXPECT_EQ(recording.stops, 1);
    EXPECT_EQ(destroyed, 3);
}

TEST_F(MainWindowLogicTest, ExitAsksAndTheCloseDoesNotAskAgain) {
    FakeSession session;
    session.active = true;
    logic().bindSession(&session);
    prompter.answerNo();
    EXPECT_FALSE(logic().exitCommand());
    EXPECT_EQ(session.stops, 0);
    prompter.answerYes();
    EXPECT_TRUE(logic().exitCommand());
    EXPECT_EQ(logic().closeRequested(), CloseStep::Close);
    EXPECT_EQ(prompter.texts().size(), 2u);
    EXPECT_EQ(session.stops, 1);

    TempDir other;
    MainWindowLogic unbound({other.path(), prompter, folders, clock, poster, graph});
    EXPECT_EQ(unbound.closeRequested(), CloseStep::Close);  // no link: no question
}

TEST_F(MainWindowLogicTest, AnsweringNoKeepsTheWindowOpen) {
    FakeSession session;
    session.active = true;
    logic().bindSession(&session);
    prompter.answerNo();
    EXPECT_EQ(logic().closeRequested(), CloseStep::Stay);
    EXPECT_EQ(prompter.unscripted(), 0);
}

}  // namespace
}  // namespace corvane
