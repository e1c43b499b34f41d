// The desktop program on the simulated instrument, offscreen and sped up:
// the connection window, the receive thread feeding the graph, the record
// button on the device worker, the save question and the closing sequence.

// Before any Qt header: the simulator has a member named emit.
#include "sim/SimRig.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "../graph/QtTestApp.h"
#include "PumpEvents.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "graph/CGraphCtrl.h"
#include "link/CConnectDlg.h"
#include "recording/AcquisitionSession.h"
#include "desktop/CMainDlg.h"
#include "desktop/QtConnectionDriver.h"
#include "recording/RecordingController.h"
#include "runs/RunDataFile.h"
#include "desktop/CKelvoSetupPages.h"
#include "desktop/CSetupPages.h"
#include "setup/CScanSetup2Dlg.h"
#include "setup/CIntroDlg.h"
#include "setup/CSummaryInfoDlg.h"

namespace corvane {
namespace {

using test::ScaledClock;
using test::pumpUntil;
using test::ScriptedPrompter;
using test::TempDir;

constexpr double kSpeedup = 10.0;

int recordedCount(const QLabel* label) {
    int n = -1;
    return std::sscanf(label->text().toLatin1().constData(), "Recorded %d samples", &n) == 1 ? n : -1;
}

SimRigConfig quietRig() {
    SimRigConfig config;
    config.kelvo.settings.uiIntegrationTime = 50;
    config.kelvo.settings.scanSpeed = 40;
    return config;
}

class SimulatedRun : public ::testing::Test {
protected:
    SimulatedRun() : rig(clock, quietRig()) {
        test::qtApp();
        dir.write("prefs.cfg",
                  "[prefs]\nbaudrate 57600\ncomport 3\nshowRawA 1\nshowRefA 1\nshowAbsA 1\nshowRawB 0\n"
                  "showRefB 0\nshowAbsB 1\nshowADivB 0\nxaxissamplerange 500\nxaxisposrange 100\n"
                  "ymin 0\nymax 2\nyy_min 0\nyy_max 2\nyautoscale 1\nallow_unlimited_tempfiles 0\n"
                  "lastuser \nlastdatafolder \n");
        dir.write("rotors.txt", "Volumes\nA_Volume 1\n");
        window = std::make_unique<CMainDlg>(
            CMainDlg::Seams{dir.path(), clock, prompter, rig.ports(), &rig.bridge(), "", false});
        window->attachInstruments();
    }

    // The INTRO page the connection brings up, answered with a name as the
    // operator would type it; the USER page that follows is cancelled, which
    // gives the window back.
    void typeNameWhenIntroShows(const QString& name) {
        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, poll, [poll, name, this] {
            if (auto* intro = qobject_cast<CIntroDlg*>(QApplication::activeModalWidget())) {
                introPrompt = intro->promptLabel()->text();
                intro->nameList()->setEditText(name);
                intro->okButton()->click();
            } else if (CSummaryInfoDlg* user = window->setupPages().userPage(); user != nullptr && user->isVisible()) {
                userPageName = user->nameList()->currentText();
                user->button(QStringLiteral("Cancel"))->click();
                poll->deleteLater();
            }
        });
        poll->start(10);
    }

    // The device worker is done and the window has caught up with it.
    bool settled() const { return !window->deviceBusy() && window->recordButton()->isEnabled(); }

    // From the first show to a connection that is ready, pressing Continue
    // whenever the connection window offers it.
    void connectAndWarmUp() {
        window->show();
        typeNameWhenIntroShows(QStringLiteral("Ann"));
        window->firstShow();
        CConnectDlg* dialog = window->connectionDriver()->dialog();
        ASSERT_TRUE(pumpUntil([&] {
            if (dialog->isVisible() && dialog->continueButton()->isEnabled()) {
                dialog->continueButton()->click();
            }
            // The USER page's Cancel gives the window back after its signal.
            return settled() && !dialog->isVisible() && !userPageName.isEmpty() && window->isVisible();
        }));
        ASSERT_EQ(window->acquisitionSession()->connectResult(), std::optional<bool>(true));
    }

    ScaledClock clock{kSpeedup};
    TempDir dir;
    ScriptedPrompter prompter;
    SimRig rig;
    std::unique_ptr<CMainDlg> window;
    QString introPrompt;
    QString userPageName;
};

TEST_F(SimulatedRun, ConnectsFeedsTheGraphAndSavesARecordedRun) {
    ASSERT_NO_FATAL_FAILURE(connectAndWarmUp());
    EXPECT_EQ(introPrompt.toStdString(), IntroPage::kFoundPrompt);
    EXPECT_EQ(userPageName, "Ann");  // the INTRO page's name goes on to the USER page
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->acquisitionSession()->receiveThreadRunning());

    // The receive thread feeds the traces and, twice a second, the readouts.
    ASSERT_TRUE(pumpUntil([&] { return window->logic().feed().total() > 40; }));
    ASSERT_TRUE(pumpUntil([&] { return !window->readout(kChannelAbsA)->text().isEmpty(); }));
    const int points = window->graph().read([](const GraphModel& m) { return m.slot(kChannelAbsA).count(); }).value_or(0);
    EXPECT_GT(points, 0);
    // Counts auto-scaled: the sample-A trace is on the axis, not far below its top.
    window->yAutoBox()->setChecked(true);
    ASSERT_TRUE(pumpUntil([&] { return window->logic().view().yRange().max > 2.0; }));
    const auto latest = window->logic().feed().latest();
    ASSERT_TRUE(latest.has_value());
    const auto y = window->logic().view().yRange();
    EXPECT_LE(y.min, latest->sampleA);
    EXPECT_GE(y.max, latest->sampleA);
    EXPECT_LT(y.max, 4.0 * std::max(latest->sampleA, latest->sourceA));
    EXPECT_GT(latest->sourceA, 1e5);

    // START RECORD runs on the device worker: the buttons wait for it.
    window->recordButton()->click();
    EXPECT_FALSE(window->recordButton()->isEnabled());
    EXPECT_FALSE(window->zeroButton()->isEnabled());
    ASSERT_TRUE(pumpUntil([&] { return settled(); }));
    EXPECT_EQ(window->recordButton()->text(), "STOP RECORD (F1)");
    // The run file opens at the end of the start: from there on, rows.
    const int atStart = recordedCount(window->recordedLabel());
    ASSERT_TRUE(pumpUntil([&] { return recordedCount(window->recordedLabel()) >= atStart + 30; }));

    const auto saveAs = dir / "run1.csv";
    prompter.clear();
    prompter.answerYes();
    prompter.scriptFile(saveAs.string());
    prompter.answerYes();  // another identical run
    window->recordButton()->click();
    ASSERT_TRUE(pumpUntil([&] { return settled() && window->kelvoPages().scanPage() != nullptr; }));
    EXPECT_EQ(window->recordButton()->text(), "START RECORD (F1)");
    // After the save question, the Scan Setup command: its question, then
    // SCANNING SETUP beside the graph with the settings kept.
    const auto transcript = prompter.transcript();
    ASSERT_EQ(transcript.size(), 3u);
    EXPECT_EQ(transcript[0], "question: Do you wish to save this run? -> Yes");
    EXPECT_EQ(transcript[2], "question: Do you want to do another identical run? -> Yes");
    EXPECT_EQ(prompter.unscripted(), 0);
    CScanSetup2Dlg* beside = window->kelvoPages().scanPage();
    EXPECT_TRUE(beside->page().openedByScanSetup());
    EXPECT_TRUE(window->isVisible());
    QPushButton* graphButton = beside->button(QStringLiteral("GRAPH"));
    ASSERT_TRUE(pumpUntil([&] { return !beside->busy() && graphButton->isEnabled(); }));
    EXPECT_TRUE(rig.kelvo()->atUpperLimit());
    graphButton->click();
    // Hidden at once; deleted when an event loop next runs.
    ASSERT_TRUE(pumpUntil([&] { return !beside->isVisible() && window->isVisible(); }));

    RunDataFile saved;
    ASSERT_EQ(saved.read(saveAs), RunDataFile::ReadStatus::Ok);
    EXPECT_GE(saved.sampleCount(), 20u);
}

TEST_F(SimulatedRun, ClosingMidRunAsksToExitThenSavesTheRun) {
    ASSERT_NO_FATAL_FAILURE(connectAndWarmUp());
    window->recordButton()->click();
    ASSERT_TRUE(pumpUntil([&] { return !window->deviceBusy() && window->recordingController()->isRecording(); }));
    ASSERT_TRUE(pumpUntil([&] { return recordedCount(window->recordedLabel()) >= 10; }));

    prompter.clear();
    const auto saveAs = dir / "closing.csv";
    prompter.answerYes();  // exit
    prompter.answerYes();  // save
    prompter.scriptFile(saveAs.string());
    EXPECT_FALSE(window->close());  // the stop and the receive thread take some turns
    ASSERT_TRUE(pumpUntil([&] { return !window->isVisible(); }));

    const auto transcript = prompter.transcript();
    ASSERT_EQ(transcript.size(), 3u);
    EXPECT_EQ(transcript[0], "question: Are you sure you wish to exit? -> Yes");
    EXPECT_EQ(transcript[1], "question: Do you wish to save this run? -> Yes");
    EXPECT_EQ(transcript[2].rfind("save: ", 0), 0u);
    EXPECT_FALSE(window->acquisitionSession()->receiveThreadRunning());
    RunDataFile saved;
    EXPECT_EQ(saved.read(saveAs), RunDataFile::ReadStatus::Ok);
}

TEST_F(SimulatedRun, AnsweringNoToTheExitLeavesTheLinkAndTheRecordingWorking) {
    ASSERT_NO_FATAL_FAILURE(connectAndWarmUp());
    prompter.clear();
    prompter.answerNo();
    EXPECT_FALSE(window->close());
    EXPECT_EQ(prompter.transcript(),
              std::vector<std::string>{"question: Are you sure you wish to exit? -> No"});
    EXPECT_TRUE(window->isVisible());
    AcquisitionSession* session = window->acquisitionSession();
    EXPECT_TRUE(session->linkActive());
    EXPECT_TRUE(session->receiveThreadRunning());
    // The instrument panel keeps its lines and the samples keep coming.
    const auto before = window->logic().feed().total();
    ASSERT_TRUE(pumpUntil([&] { return window->logic().feed().total() > before + 10; }));
    ASSERT_TRUE(pumpUntil([&] { return !window->statusLine(1)->text().isEmpty(); }));

    window->recordButton()->click();
    ASSERT_TRUE(pumpUntil([&] { return settled() && window->recordingController()->isRecording(); }));
    EXPECT_EQ(window->recordButton()->text(), "STOP RECORD (F1)");
    EXPECT_EQ(prompter.texts().size(), 1u);  // no "Error, no data parser object available!"

    prompter.answerYes();  // exit
    prompter.answerNo();   // keep the run in TEMP
    window->close();
    ASSERT_TRUE(pumpUntil([&] { return !window->isVisible(); }));
    EXPECT_FALSE(session->receiveThreadRunning());
    EXPECT_EQ(prompter.unscripted(), 0);
}

// The unit's port is there, but the unit says nothing.
class NoInstrument : public SimulatedRun {
protected:
    NoInstrument() {
        SimFaults faults;
        faults.silent = true;
        rig.kelvo()->setFaults(faults);
    }
};

TEST_F(NoInstrument, RetryFailsAgainAndSkipGoesOnToTheIntroPage) {
    window->show();
    typeNameWhenIntroShows(QStringLiteral("Ann"));
    window->firstShow();
    CConnectDlg* dialog = window->connectionDriver()->dialog();
    ASSERT_TRUE(pumpUntil([&] { return dialog->skipButton()->isEnabled(); }));
    EXPECT_EQ(dialog->messageLine()->text(), "Connection failed:");
    EXPECT_EQ(dialog->continueButton()->text(), "Retry");
    // The window's own commands wait for the connection.
    EXPECT_FALSE(window->recordButton()->isEnabled());

    dialog->continueButton()->click();
    // The probe waits 3 s for a heartbeat: "Connecting to Corvane..." shows meanwhile.
    ASSERT_TRUE(pumpUntil([&] { return dialog->messageLine()->text() == "Connecting to Corvane..."; }));
    EXPECT_FALSE(dialog->skipButton()->isEnabled());
    ASSERT_TRUE(pumpUntil([&] { return dialog->skipButton()->isEnabled(); }));
    EXPECT_EQ(dialog->messageLine()->text(), "Connection failed:");

    dialog->skipButton()->click();
    // The USER page's Cancel gives the window back once its signal has returned.
    ASSERT_TRUE(pumpUntil(
        [&] { return !dialog->isVisible() && settled() && !userPageName.isEmpty() && window->isVisible(); }));
    EXPECT_EQ(window->acquisitionSession()->connectResult(), std::optional<bool>(false));
    // Without the unit the INTRO page does not claim a connection.
    EXPECT_EQ(introPrompt.toStdString(), IntroPage::kPlainPrompt);
}

}  // namespace
}  // namespace corvane
