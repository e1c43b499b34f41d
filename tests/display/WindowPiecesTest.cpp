// The main window's pieces beside the graph: its preferences, the port list
// and its reconnect, the file commands, the record keys, the status lines,
// the host of the setup pages, and the commands that reach several pieces.

#include <gtest/gtest.h>

#include "MainWindowFakes.h"
#include "ModelGraph.h"
#include "RecordingPoster.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "app/ConfigFile.h"
#include "app/DialogFolders.h"
#include "app/Version.h"
#include "display/MainWindowLogic.h"
#include "setup/GraphSetupPage.h"
#include "link/UvLink.h"

namespace corvane {
namespace {

using test::FakeRecording;
using test::FakeSession;
using test::ManualClock;
using test::ModelGraph;
using test::RecordingPoster;
using test::ScriptedPrompter;
using test::TempDir;

// The link's host as the setup pages reach it.
class FakeLinkHost : public LinkHost {
public:
    void showPositionAndSpeed(double, double) override {}
    void setPositionOffset(double mm) override { offset = mm; }
    double pendingScanDistance() const override { return 0.0; }
    void clearPendingScanDistance() override {}
    bool sendSettings(const Cmd0Bytes&) override { return false; }
    double offset = -1.0;
};

class WindowPieces : public ::testing::Test {
protected:
    WindowPieces() {
        dir.write("rotors.txt", "Volumes\nA_Volume 1.5\nB_Volume 2.25\nC_Volume 3\nD_Volume_Per_MM 0.143\n");
        dir.write("prefs.cfg",
                  "[prefs]\nbaudrate 57600\ncomport 4\nshowRawA 1\nshowRefA 0\nshowAbsA 1\n"
                  "showRawB 0\nshowRefB 0\nshowAbsB 1\nshowADivB 0\nxaxissamplerange 500\n"
                  "xaxisposrange 100\nymin 0\nymax 2\nyy_min 0\nyy_max 2\nxautoscale 0\n"
                  "yautoscale 1\nyy_autoscale 1\nmulticolor1 511\n");
    }

    MainWindowLogic& logic() {
        if (!logic_) {
            // Wired as the window wires it: the instruments and the window
            // are the test's.
            logic_ = std::make_unique<MainWindowLogic>(MainWindowLogic::Env{
                .startupFolder = dir.path(),
                .prompter = prompter,
                .folders = folders,
                .clock = clock,
                .window = poster,
                .graph = graph,
                .busy = [this] { return busy; },
                .link = [this]() -> LinkHost* { return attached ? &link : nullptr; },
                .setTargetPosition = [this](double mm) { target = mm; },
                .raiseWindow = [this] { ++raised; }});
        }
        return *logic_;
    }

    std::string pref(const char* key) {
        const ConfigFile prefs(dir / "prefs.cfg");
        return prefs.getString("[prefs]", key).value_or("(missing)");
    }

    TempDir dir;
    ScriptedPrompter prompter;
    DialogFolders folders{dir.path(), prompter};
    ManualClock clock;
    RecordingPoster poster;
    ModelGraph graph;
    bool busy = false;
    bool attached = false;  // the instruments are there
    FakeLinkHost link;
    double target = -1.0;
    int raised = 0;
    std::unique_ptr<MainWindowLogic> logic_;
};

// --- Preferences ---

TEST_F(WindowPieces, PreferencesLoadAndSaveWithTheirKeys) {
    dir.write("prefs.cfg",
              "[prefs]\nbaudrate 0\ncomport 4\nshowRawA 0\nshowRefA 0\nshowAbsA 1\nshowRawB 0\n"
              "showRefB 1\nshowAbsB 1\nshowADivB 0\nxaxissamplerange 0\nxaxisposrange 80\nymin 0.5\n"
              "ymax 1.5\nyy_min 0\nyy_max 3\nxautoscale 1\nyautoscale 1\nyy_autoscale 1\n"
              "lastdatafolder /data/runs\nmulticolor1 511\n");
    logic().ports().setPorts({3, 4});
    ASSERT_TRUE(logic().loadPreferences());

    EXPECT_EQ(logic().ports().baudRate(), 57600);
    EXPECT_EQ(pref("baudrate"), "57600");  // written back at once
    EXPECT_EQ(logic().ports().comPort(), 4);
    EXPECT_EQ(logic().ports().selection(), 1);
    const GraphView& view = logic().view();
    EXPECT_FALSE(view.axes().channelShown(kChannelSampleA));
    EXPECT_TRUE(view.axes().channelShown(kChannelSourceB));
    EXPECT_DOUBLE_EQ(view.axes().windowSamples(), 500.0);  // 0 reads as 500
    EXPECT_DOUBLE_EQ(view.axes().windowMm(), 80.0);
    EXPECT_EQ(view.axes().yRange(), (AxisRange{0.5, 1.5}));
    EXPECT_FALSE(view.axes().yAutoScale());  // off at every start
    EXPECT_TRUE(view.axes().yyAutoScale());
    EXPECT_EQ(folders.folder(DialogFolder::Data), "/data/runs");

    logic().view().change([](AxisState& axes) { axes.setShowGrid(true); });
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

TEST_F(WindowPieces, OlderSingleAutoScaleSwitchAndAnUnlistedPort) {
    dir.write("prefs.cfg", "[prefs]\ncomport 9\nautoscale 1\nshowAbsA 1\n");
    logic().ports().setPorts({3, 4});
    ASSERT_TRUE(logic().loadPreferences());
    EXPECT_TRUE(logic().view().axes().yyAutoScale());
    EXPECT_FALSE(logic().view().axes().yAutoScale());
    // COM9 is not listed: the listed first entry stays and gives the port.
    EXPECT_EQ(logic().ports().comPort(), 3);
    EXPECT_EQ(logic().ports().selection(), 0);
}

TEST_F(WindowPieces, MissingPrefsAreReportedOnLoadAndSaveAndDefaultsStay) {
    std::filesystem::remove(dir / "prefs.cfg");
    EXPECT_FALSE(logic().loadPreferences());
    EXPECT_FALSE(logic().savePreferences());
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{"Error, prefs.cfg file could not be found or opened.",
                                        "Error, prefs.cfg file could not be found or opened."}));
    EXPECT_FALSE(dir.exists("prefs.cfg"));
    EXPECT_TRUE(logic().view().axes().channelShown(kChannelSampleA));
    EXPECT_EQ(logic().ports().baudRate(), 57600);
}

TEST_F(WindowPieces, SwitchesAndWindowWidthsAreKeptAtOnce) {
    ASSERT_TRUE(logic().loadPreferences());
    logic().setChannelShown(kChannelRatio, true);
    EXPECT_EQ(pref("showADivB"), "1");
    logic().windowSizeEdited(false, "750");
    EXPECT_EQ(pref("xaxissamplerange"), "750");
    logic().windowSizeEdited(true, "not a width");
    EXPECT_EQ(pref("xaxisposrange"), "100.00");
    logic().windowSizeSpin(true, true);
    EXPECT_EQ(pref("xaxisposrange"), "200.00");
}

// --- The port list ---

TEST_F(WindowPieces, PortMessagesAndTheFirstConnection) {
    FakeSession session;
    PortChoice& ports = logic().ports();
    ports.bind(&session, nullptr);
    ports.setPorts({});
    EXPECT_EQ(ports.missingPortMessage(), "No serial COM ports available!");
    EXPECT_FALSE(ports.connectIfPossible());

    ports.setPorts({3, 4});
    ASSERT_TRUE(logic().loadPreferences());
    ports.bind(&session, nullptr);
    EXPECT_EQ(ports.missingPortMessage(), "");
    EXPECT_TRUE(ports.connectIfPossible());
    ASSERT_EQ(session.connects.size(), 1u);
    EXPECT_EQ(session.connects[0], (std::array<int, 3>{4, 57600, 2}));
    EXPECT_FALSE(ports.connectIfPossible());  // the link runs already
    EXPECT_EQ(ports.entries(), (std::vector<std::string>{"COM3", "COM4"}));
}

TEST_F(WindowPieces, ANewPortReconnectsARunningLinkAfterStoppingItsRecording) {
    std::vector<std::string> log;
    FakeSession session;
    FakeRecording recording;
    session.log = &log;
    recording.log = &log;
    PortChoice ports;
    ports.bind(&session, &recording);
    ports.setPorts({3, 4, 5});
    ports.takeStoredPort(3);
    ASSERT_TRUE(ports.connectIfPossible());
    recording.recording = true;

    EXPECT_FALSE(ports.choose(0));  // the same port: nothing happens
    EXPECT_FALSE(ports.choose(7));
    EXPECT_TRUE(ports.choose(2));
    EXPECT_EQ(ports.comPort(), 5);
    EXPECT_EQ(log, (std::vector<std::string>{"connect COM3", "stopRecording", "connect COM5"}));

    // Without a link there is nothing to stop; the choice connects.
    session.active = false;
    EXPECT_TRUE(ports.choose(1));
    EXPECT_EQ(log.back(), "connect COM4");
    EXPECT_EQ(recording.stops, 1);
    EXPECT_EQ(ports.portToSave(), 4);
}

// --- Files ---

TEST_F(WindowPieces, OpeningARunFileAndClosingItBringsTheLiveRunBack) {
    ASSERT_TRUE(logic().loadPreferences());
    const auto run = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "two_channel.csv";
    prompter.scriptFile(run.string());
    DataFiles& files = logic().files();
    ASSERT_TRUE(files.openDataFile());
    EXPECT_EQ(prompter.fileRequests().at(0).filter,
              "Runs and Profiles (*.csv;*.txt;*.pks;*.asc;*.tsv)|*.csv;*.txt;*.pks;*.asc;*.tsv|"
              "CSV Text Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|"
              "Profiles from other instruments (*.pks;*.asc;*.tsv;*.txt;*.csv)|*.pks;*.asc;*.tsv;*.txt;*.csv|"
              "All Files (*.*)|*.*||");
    EXPECT_EQ(prompter.fileRequests().at(0).defaultExtension, "csv");
    EXPECT_EQ(poster.count(UserMsg::RedrawGraph), 1);
    EXPECT_EQ(files.closeDataMenuText(), "Close File");
    EXPECT_EQ(folders.folder(DialogFolder::Data), run.parent_path().string());
    logic().refreshGraph();
    const auto rows = graph.model.slot(kSlotAbsA).count();
    EXPECT_GT(rows, 1);
    EXPECT_EQ(logic().view().axes().xRange(), (AxisRange{0.0, static_cast<double>(rows)}));
    // The live run goes on behind the file.
    logic().feed().add(SampleRecord{});
    logic().view().syncLive();
    EXPECT_EQ(graph.model.slot(kSlotAbsA).count(), rows);

    FakeRecording recording;
    recording.recording = true;
    logic().bind(&recording, nullptr);
    files.closeDataFile();
    EXPECT_EQ(recording.stops, 1);
    EXPECT_FALSE((logic().view().fileScene() != nullptr));
    EXPECT_EQ(files.closeDataMenuText(), "&Close Data File");
    EXPECT_EQ(graph.model.slot(kSlotAbsA).count(), 1);
    EXPECT_EQ(logic().view().axes().xRange(), (AxisRange{0.0, 500.0}));
}

TEST_F(WindowPieces, CursorsKeepTheirSamplesAcrossTheXAxisSwitch) {
    ASSERT_TRUE(logic().loadPreferences());
    prompter.scriptFile((std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "two_channel.csv").string());
    ASSERT_TRUE(logic().files().openDataFile());
    logic().view().setXAxisType(XAxisType::SampleNumber);
    ASSERT_TRUE(logic().cursors().add(3.0));
    ASSERT_TRUE(logic().cursors().add(2.0));
    logic().graph().setXAxisType(XAxisType::Millimetres);
    EXPECT_DOUBLE_EQ(logic().cursors().records()[0].position, 1.4);
    EXPECT_DOUBLE_EQ(logic().cursors().records()[1].position, 1.3);
    EXPECT_DOUBLE_EQ(*logic().cursors().mainPosition(), 1.3);
    logic().cursors().moveMain(1.12);  // between rows: the nearest one's sample
    logic().graph().setXAxisType(XAxisType::SampleNumber);
    EXPECT_DOUBLE_EQ(logic().cursors().records()[0].position, 3.0);
    EXPECT_DOUBLE_EQ(logic().cursors().records()[1].position, 1.0);
}

// The copy goes through a scratch file in TEMP that is created, never
// opened over a file of that name (another program's save in progress).
TEST_F(WindowPieces, SaveGraphDataAsCopiesTheShownFileAndLeavesOtherScratchFilesAlone) {
    ASSERT_TRUE(logic().loadPreferences());
    dir.write("TEMP/temp_temp_data.csv", "another program's copy\n");
    DataFiles& files = logic().files();
    ASSERT_TRUE(files.showDataFile(std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "two_channel.csv"));
    prompter.scriptFile((dir / "copy.csv").string());
    files.saveGraphDataAs();
    EXPECT_EQ(dir.read("TEMP/temp_temp_data.csv"), "another program's copy\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "TEMP" / "temp_temp_data-2.csv")) << "the scratch copy went";
    const auto copy = dir.read("copy.csv");
    EXPECT_EQ(copy.substr(0, copy.find('\n')), "Corvane Text Data File: copy.csv");
    EXPECT_EQ(folders.folder(DialogFolder::Data), dir.path().string());
}

TEST_F(WindowPieces, UnreadableFilesAreReported) {
    const auto noHeader = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "no_header.csv";
    DataFiles& files = logic().files();
    EXPECT_FALSE(files.showDataFile(noHeader));
    EXPECT_FALSE(files.showDataFile(dir / "gone.csv"));
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{"Invalid data header found in file: " + noHeader.string(),
                                        "Error, unable to open file: " + (dir / "gone.csv").string()}));
    files.saveGraphDataAs();
    EXPECT_EQ(prompter.texts().back(), "Error, file data does not exist.");
    EXPECT_FALSE((logic().view().fileScene() != nullptr));
}

TEST_F(WindowPieces, ADe1FileShowsVoltageAndMarksOnTheAufsRange) {
    ASSERT_TRUE(logic().loadPreferences());
    ASSERT_TRUE(logic().files().showDataFile(std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "em1.csv"));
    FakeRecording recording;
    recording.recording = true;
    logic().bind(&recording, nullptr);
    logic().setAufs(3);
    EXPECT_EQ(recording.aufsSteps, std::vector<int>{3});  // the change line of the run
    EXPECT_TRUE(logic().de1Mode());
    EXPECT_EQ(logic().view().channelCaption(kChannelAbsA), "Voltage");
    EXPECT_EQ(logic().view().channelCaption(kChannelRatio), "Mark");
    EXPECT_EQ(logic().view().axes().aufsLabel(), "0.10");
    EXPECT_EQ(logic().view().axes().yRange(), (AxisRange{0.0, 0.1}));
    EXPECT_TRUE(graph.model.slot(kSlotRatio).markStyle);
    const ConfigFile prefs(dir / "prefs.cfg");
    EXPECT_EQ(prefs.getInt("[EM1_Settings]", "aufs"), 3);
}

TEST_F(WindowPieces, OnlyALiveRunWithAUserStoresTheAufsForTheRotor) {
    dir.write("prefs.cfg", "[prefs]\nlastuser Ann\n");
    dir.write("Users/Ann/settings.txt", "[user_settings]\n[EM1_Settings]\naufs_00_04 2\n");
    RunInfo info;
    info.userName = "Ann";
    info.manufacturerIndex = 0;
    info.rotorModelIndex = 4;
    logic().setupHost().setRunInfo(info);
    const auto stored = [&](const char* file, const char* key) {
        return ConfigFile(dir / file).getInt("[EM1_Settings]", key);
    };

    // Looking at a file: the step shows it, "prefs.cfg" keeps it, the rotor's stays.
    ASSERT_TRUE(logic().files().showDataFile(std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "em1.csv"));
    logic().setAufs(6);
    EXPECT_EQ(stored("prefs.cfg", "aufs"), 6);
    EXPECT_EQ(stored("Users/Ann/settings.txt", "aufs_00_04"), 2);

    // The DE-1 box's live signal, a user named: the rotor remembers it.
    logic().files().closeDataFile();
    FakeSession session;
    session.de1 = true;
    logic().bind(nullptr, &session);
    logic().setAufs(5);
    EXPECT_EQ(stored("prefs.cfg", "aufs"), 5);
    EXPECT_EQ(stored("Users/Ann/settings.txt", "aufs_00_04"), 5);
}

TEST_F(WindowPieces, ChecklistFilesRotorVolumesAndLostData) {
    EXPECT_FALSE(logic().files().checklistFile(true).has_value());
    EXPECT_EQ(prompter.texts().back(),
              "Error, could not find file: " + (dir / "detailed_checklist.txt").string());
    dir.write("short_checklist.txt", "1: Rinse\n");
    EXPECT_EQ(logic().files().checklistFile(false), dir / "short_checklist.txt");

    EXPECT_FALSE(logic().files().lostDataPresent());
    dir.write("TEMP/temp_run_2024_01_02_03_04_05.csv", "x\n");
    EXPECT_TRUE(logic().files().lostDataPresent());

    EXPECT_DOUBLE_EQ(logic().volumes().b, 2.25);
    EXPECT_DOUBLE_EQ(logic().volumes().dPerMm, 0.143);
    // The section is the bare word: "[Volumes]" is another section.
    TempDir other;
    other.write("rotors.txt", "[Volumes]\nA_Volume 1.5\n");
    const MainWindowLogic bracketed({other.path(), prompter, folders, clock, poster, graph, {}});
    EXPECT_DOUBLE_EQ(bracketed.volumes().a, 0.0);
    TempDir none;
    const MainWindowLogic missing({none.path(), prompter, folders, clock, poster, graph, {}});
    EXPECT_EQ(prompter.texts().back(), "Error, file: " + (none / "rotors.txt").string() + " could not be opened.");
}

// --- Keys ---

TEST_F(WindowPieces, FunctionKeysActOnceWhileHeldAndWaitForABusyWorker) {
    FakeRecording recording;
    FakeSession session;
    RecordKeys& keys = logic().keys();
    keys.bind(&recording, &session);
    EXPECT_EQ(keys.keyDown(WindowKey::F1, false), KeyOutcome::Handled);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(keys.keyDown(WindowKey::F1, true), KeyOutcome::Handled);
    }
    EXPECT_EQ(recording.startStops, 1);
    EXPECT_EQ(keys.recordCaption(), "STOP RECORD (F1)");
    keys.keyDown(WindowKey::F2, false);
    keys.keyDown(WindowKey::F3, false);
    keys.keyDown(WindowKey::F4, false);
    EXPECT_EQ(keys.keyDown(WindowKey::F5, false), KeyOutcome::Handled);
    EXPECT_EQ((std::array{recording.zeros.load(), recording.pauses.load(), recording.refreshes.load()}),
              (std::array{1, 1, 1}));
    // While the unit is being commanded the command keys are swallowed.
    busy = true;
    EXPECT_EQ(keys.keyDown(WindowKey::F1, false), KeyOutcome::Handled);
    EXPECT_EQ(recording.startStops, 1);
    busy = false;

    EXPECT_EQ(keys.keyDown(WindowKey::Up, false), KeyOutcome::PassOn);
    EXPECT_EQ(keys.keyDown(WindowKey::Left, false), KeyOutcome::PassOn);
    keys.setChecklistOpen(true);
    EXPECT_EQ(keys.keyDown(WindowKey::Up, false), KeyOutcome::ChecklistUp);
    EXPECT_EQ(keys.keyDown(WindowKey::Down, false), KeyOutcome::ChecklistDown);
    EXPECT_EQ(keys.keyDown(WindowKey::CtrlD, false), KeyOutcome::Handled);  // no link
    session.active = true;
    EXPECT_EQ(keys.keyDown(WindowKey::CtrlD, false), KeyOutcome::OpenDebugWindows);

    keys.goToUpperLimit();  // stops the recording first
    EXPECT_EQ(recording.stops, 1);
    EXPECT_EQ(recording.upperLimits, 1);
}

TEST_F(WindowPieces, WithoutAControllerTheButtonsDoNothingButRefreshClearsTheTraces) {
    RecordKeys& keys = logic().keys();
    EXPECT_EQ(keys.recordCaption(), "START RECORD (F1)");
    EXPECT_EQ(keys.pauseCaption(), "PAUSE (F3)");
    EXPECT_FALSE(keys.pauseEnabled());
    EXPECT_EQ(keys.keyDown(WindowKey::F1, false), KeyOutcome::Handled);
    EXPECT_FALSE(keys.isRecording());
    logic().feed().add(SampleRecord{});
    keys.refresh();
    EXPECT_EQ(logic().feed().stored(), 0);
    EXPECT_TRUE(prompter.texts().empty());
}

// --- Status lines and caption ---

TEST_F(WindowPieces, LinkStatsAndStatusTexts) {
    Cmd0 settings;
    settings.uiPistonPos = 1234;
    settings.iPistonSpeed = -5;
    settings.uiIntegrationTime = 80;
    settings.ucDutyCycleA = 60;
    settings.ucATODGain = 3;
    InstrumentStatus& status = logic().status();
    status.onLinkStats(7, 8, 0, settings);
    const auto texts = status.texts();
    EXPECT_EQ(texts.positionSpeed, "Position 12.34 mm  Speed -0.50 mm/sec");
    EXPECT_EQ(texts.upperLimit, "Upper Limit Switch: Contact");
    EXPECT_EQ(texts.samplingRate, "A/D Sampling Rate: 12.5 Hz");
    EXPECT_EQ(texts.dutyCycle, "Duty Cycle: 60:40");
    EXPECT_EQ(texts.potValue, "pot pC Value: 3");
    status.onLinkStats(7, 8, 1, std::nullopt);
    EXPECT_EQ(status.texts().upperLimit, "Upper Limit Switch: No Contact");
    // A piston above its zero reads below 0, not near 655 mm.
    settings.uiPistonPos = 0xFFF6;
    status.onLinkStats(7, 8, 0, settings);
    EXPECT_EQ(status.texts().positionSpeed, "Position -0.10 mm  Speed -0.50 mm/sec");

    status.setCaptionSuffix(" (simulated instrument)");
    EXPECT_EQ(logic().caption(), std::string("Corvane version ") + kVersionText + " (simulated instrument)");
    status.setDebugDisplayOn(true);
    EXPECT_EQ(logic().caption(), "Tellmar - # heart beats received: 7, # heart beats transmitted: 8");
    logic().onReceiveEnded();
    EXPECT_EQ(status.texts(), StatusTexts{});
}

TEST_F(WindowPieces, ReadoutsAndTheSampleCounter) {
    EXPECT_EQ(logic().readoutTexts()[kChannelAbsA], "");
    SampleRecord r;
    r.sampleA = 1000000;
    r.sourceA = 1000017;
    r.absorbanceA = 0.1234567;
    r.absorbanceB = 0.05;
    logic().feed().add(r);
    logic().feed().add(r);
    logic().feed().add(r);
    const auto texts = logic().readoutTexts();
    EXPECT_EQ(texts[kChannelSampleA], "1000000");
    EXPECT_EQ(texts[kChannelSourceA], "1000017");
    EXPECT_EQ(texts[kChannelAbsA], "0.1235");
    EXPECT_EQ(texts[kChannelAbsB], "0.0500");
    EXPECT_EQ(texts[kChannelRatio], "2.5");
    // Samples on the graph while nothing records are not recorded ones:
    // the count is the recording's.
    EXPECT_EQ(logic().recordedText(), "Recorded 0 samples");
    FakeRecording recording;
    recording.recorded = 17;
    logic().bind(&recording, nullptr);
    EXPECT_EQ(logic().recordedText(), "Recorded 17 samples");
    logic().bind(nullptr, nullptr);
}

TEST_F(WindowPieces, TheEndOfAScanIsToldAndStopsTheRunUnlessSwitchedOff) {
    FakeRecording recording;
    logic().bind(&recording, nullptr);
    ASSERT_TRUE(logic().loadPreferences());
    EXPECT_TRUE(logic().stopAtScanEnd());  // on when the settings do not say
    InstrumentStatus& status = logic().status();
    // Not recording (the operator was quicker): told, nothing to stop.
    EXPECT_FALSE(logic().scanEnded(60.0));
    recording.recording = true;
    EXPECT_TRUE(logic().scanEnded(59.996));
    EXPECT_EQ(status.texts().scanEnd, "End of the scan: the piston stopped after 60.00 mm.");

    // The way back is shown while the piston moves up; the note stays until
    // it moves down again.
    status.showPositionAndSpeed(30.0, -6.0);
    EXPECT_EQ(status.texts().pistonReturn, "Piston returning to the upper limit: 30.0 mm, about 5 s left");
    EXPECT_FALSE(status.texts().scanEnd.empty());
    status.showPositionAndSpeed(0.0, 0.0);
    EXPECT_EQ(status.texts().pistonReturn, "");
    EXPECT_FALSE(status.texts().scanEnd.empty());
    status.showPositionAndSpeed(0.5, 4.0);
    EXPECT_EQ(status.texts().scanEnd, "");

    // Off: the run records on until STOP, as it always did; kept in the settings.
    logic().setStopAtScanEnd(false);
    EXPECT_EQ(pref("stopatscanend"), "0");
    EXPECT_FALSE(logic().scanEnded(60.0));
    EXPECT_FALSE(status.texts().scanEnd.empty());
    ASSERT_TRUE(logic().loadPreferences());
    EXPECT_FALSE(logic().stopAtScanEnd());
    logic().bind(nullptr, nullptr);
}

// --- The setup pages' host ---

TEST_F(WindowPieces, TheSetupPagesReachTheLinkTheControllerAndTheGraph) {
    SetupHost& host = logic().setupHost();
    // Before the instruments are there the offsets go nowhere, harmlessly.
    host.setPositionOffsets(1.0, 2.0);
    EXPECT_EQ(link.offset, -1.0);
    attached = true;
    host.setPositionOffsets(0.0, 37.5);
    EXPECT_EQ(link.offset, 0.0);
    EXPECT_EQ(target, 37.5);
    host.setZeroOffset(12.5);
    EXPECT_EQ(host.zeroOffset(), 12.5);
    host.setIdenticalRun(true);
    host.setGoToGraph(true);
    EXPECT_TRUE(host.identicalRun());
    EXPECT_TRUE(host.goToGraph());
    EXPECT_FALSE(host.de1Mode());
    FakeSession session;
    session.de1 = true;
    logic().bind(nullptr, &session);
    EXPECT_TRUE(host.de1Mode());
    host.showGraph();
    EXPECT_EQ(raised, 1);
}

TEST_F(WindowPieces, AnAufsButtonAfterDe1SetupIsTheStepTheNextRunStartsAt) {
    FakeSession session;
    session.de1 = true;
    logic().bind(nullptr, &session);
    logic().setAufs(4);
    EXPECT_FALSE(logic().nextRun().snapshot().de1Setup) << "no setup page confirmed yet: nothing to carry";
    Em1RunWriter::Setup setup;
    setup.settings.aufs = 2;
    logic().setupHost().setDe1Setup(setup);
    EXPECT_EQ(logic().view().axes().aufsIndex(), 2) << "the buttons show what DE-1 SETUP chose";
    logic().setAufs(5);
    EXPECT_EQ(logic().nextRun().snapshot().de1Setup->settings.aufs, 5) << "what the next run starts with";
}

TEST_F(WindowPieces, TheGraphTakesTheAxesDe1SetupsGraphWindowChose) {
    logic().loadPreferences();
    logic().graphAxesChosen(1, GraphSetupPage::kOd254);  // "Time (min)"
    EXPECT_EQ(logic().view().axes().xAxisType(), XAxisType::Minutes);
    EXPECT_FALSE(logic().view().axes().volts());
    logic().graphAxesChosen(2, GraphSetupPage::kVolts);  // "Volume (ml)", "0.0-1.0 V"
    EXPECT_EQ(logic().view().axes().xAxisType(), XAxisType::Millilitres);
    EXPECT_TRUE(logic().view().axes().volts());
    logic().graphAxesChosen(0, GraphSetupPage::kOd280);  // "Time (sec)"
    EXPECT_EQ(logic().view().axes().xAxisType(), XAxisType::Seconds);
    EXPECT_FALSE(logic().view().axes().volts());
}

}  // namespace
}  // namespace corvane
