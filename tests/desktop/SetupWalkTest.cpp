// The operator's walk through the setup pages on the simulated DE-1 box:
// INTRO, USER, the graph axes, DE-1 SETUP (a refused speed first), the graph,
// then a recorded run whose file carries what the pages were given.

// Before any Qt header: the simulator has a member named emit.
#include "sim/SimRig.h"

#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>

#include "../graph/QtTestApp.h"
#include "PumpEvents.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "WindowRig.h"
#include "TestClocks.h"
#include "desktop/CMainDlg.h"
#include "desktop/CSetupPages.h"
#include "desktop/QtConnectionDriver.h"
#include "link/CConnectDlg.h"
#include "recording/AcquisitionSession.h"
#include "recording/RecordingController.h"
#include "runs/RunDataFile.h"
#include "setup/CEM1SetupDlg.h"
#include "setup/CGRSetupDlg.h"
#include "setup/CIntroDlg.h"
#include "setup/CMyComboBox.h"
#include "setup/CMyEdit.h"
#include "setup/CNameRunDlg.h"
#include "setup/CSummaryInfoDlg.h"

namespace corvane {
namespace {

using test::pumpUntil;

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class SetupWalk : public ::testing::Test {
protected:
    SetupWalk() : rig(clock, de1Rig()) {
        test::qtApp();
        test::writeWindowFolder(dir, "baudrate 57600\ncomport 4\nlastuser \nlastdatafolder \n");
        window = std::make_unique<CMainDlg>(
            test::windowSeams(dir.path(), clock, prompter, rig.ports(), &rig.bridge()));
        window->attachInstruments();
    }

    static SimRigConfig de1Rig() {
        SimRigConfig config;
        config.withDe1 = true;
        return config;
    }

    // One step of the operator: answers whichever page is up now.
    void answerPages() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* intro = qobject_cast<CIntroDlg*>(modal)) {
            intro->nameList()->setEditText(QStringLiteral("Ann"));
            intro->okButton()->click();
        } else if (auto* type = qobject_cast<CChooseSignalTypeDlg*>(modal)) {
            type->accept();
        } else if (auto* axes = qobject_cast<CGRSetupDlg*>(modal)) {
            axes->graphButton()->click();
        } else if (CSummaryInfoDlg* user = window->setupPages().userPage(); user != nullptr && user->isVisible()) {
            user->experimentEdit()->setText(QStringLiteral("10-50% sucrose"));
            user->manufacturerList()->setCurrentIndex(0);
            emit user->manufacturerList()->activated(0);
            user->rotorList()->setCurrentIndex(4);
            emit user->rotorList()->activated(4);
            user->button(QStringLiteral("OK"))->click();
        } else if (CEM1SetupDlg* de1 = window->setupPages().de1Page(); de1 != nullptr && de1->isVisible()) {
            // First a speed the page refuses, then one it takes.
            de1->tubingEdit()->setText(QStringLiteral("250"));
            de1->field(De1SetupPage::Spin::Speed)->setText(speedTyped++ == 0 ? QStringLiteral("2")
                                                                              : QStringLiteral("0.5"));
            de1->button(QStringLiteral("GRAPH"))->click();
        }
    }

    // From the first show through the connection, the operator's hand at
    // work every 10 ms, until done.
    void connectWith(const std::function<void()>& hand, const std::function<bool()>& done) {
        QTimer operatorHand;
        QObject::connect(&operatorHand, &QTimer::timeout, hand);
        operatorHand.start(10);
        window->show();
        window->firstShow();
        CConnectDlg* dialog = window->connectionDriver()->dialog();
        ASSERT_TRUE(pumpUntil([&] {
            if (dialog->isVisible() && dialog->continueButton()->isEnabled()) {
                dialog->continueButton()->click();
            }
            return done();
        }));
    }

    // Through the connection and the pages to the graph.
    void walkToTheGraph() {
        connectWith([this] { answerPages(); },
                    [this] { return speedTyped >= 2 && window->isVisible() && settled(); });
    }

    bool settled() const { return !window->deviceBusy() && window->recordButton()->isEnabled(); }

    test::ScaledClock clock{10.0};
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    SimRig rig;
    std::unique_ptr<CMainDlg> window;
    int speedTyped = 0;
};

TEST_F(SetupWalk, IntroUserAndDe1SetupLeadToTheGraphAndIntoTheRunFile) {
    ASSERT_NO_FATAL_FAILURE(walkToTheGraph());

    const auto transcript = prompter.transcript();
    EXPECT_TRUE(contains(transcript, "message: Error, speed must be between 0.10 and 1.5 mm/sec."));
    // The INTRO name became a user, the last one.
    EXPECT_TRUE(std::filesystem::exists(dir / "Users" / "Ann" / "settings.txt"));
    EXPECT_NE(dir.read("prefs.cfg").find("lastuser Ann"), std::string::npos);
    // The window shows the DE-1 run's settings.
    ASSERT_TRUE(pumpUntil([&] { return window->statusLine(5)->text().startsWith("START MODE: No Delay"); }));
    EXPECT_TRUE(window->statusLine(5)->text().contains("Speed: 0.50 mm/sec"));

    window->recordButton()->click();
    ASSERT_TRUE(pumpUntil([&] { return settled() && window->recordingController()->isRecording(); }));
    ASSERT_TRUE(pumpUntil([&] { return window->logic().feed().total() > 20; }));
    prompter.clear();
    const auto saveAs = dir / "walk.csv";
    prompter.answerYes();
    prompter.scriptFile(saveAs.string());
    window->recordButton()->click();
    ASSERT_TRUE(pumpUntil([&] { return settled() && !window->recordingController()->isRecording(); }));

    RunDataFile saved;
    ASSERT_EQ(saved.read(saveAs), RunDataFile::ReadStatus::Ok);
    const RunFileHeader& header = saved.header();
    ASSERT_TRUE(header.hasRunInfo);
    EXPECT_EQ(header.info.userName, "Ann");
    EXPECT_EQ(header.info.experimentName, "10-50% sucrose");
    EXPECT_EQ(header.info.rotorModelIndex, 4);
    ASSERT_TRUE(header.em1.has_value());
    EXPECT_DOUBLE_EQ(header.em1->tubingLength, 250.0);
    EXPECT_DOUBLE_EQ(header.em1->settings.speed, 0.5);
}

TEST_F(SetupWalk, NewRunNamesTheNextRunAndRemembersTheName) {
    ASSERT_NO_FATAL_FAILURE(walkToTheGraph());

    // "NEW RUN?" answered Yes in DE-1 mode: the run-name page; a name with a
    // folder separator is refused, the next one taken.
    int namesTyped = 0;
    QTimer nameHand;
    QObject::connect(&nameHand, &QTimer::timeout, [&] {
        if (auto* name = qobject_cast<CNameRunDlg*>(QApplication::activeModalWidget())) {
            name->nameEdit()->setText(namesTyped++ == 0 ? QStringLiteral("bad/name") : QStringLiteral("run2"));
            name->accept();
        }
    });
    nameHand.start(10);
    prompter.clear();
    prompter.answerYes();
    window->newRunButton()->click();
    nameHand.stop();
    EXPECT_EQ(namesTyped, 2);
    EXPECT_EQ(window->recordingController()->runName(), "run2");
    EXPECT_NE(dir.read("Users/Ann/settings.txt").find("lastscanname run2"), std::string::npos);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(SetupWalk, EscapeOnTheUserPageGivesTheWindowBack) {
    bool escaped = false;
    const auto hand = [&] {
        CSummaryInfoDlg* user = window->setupPages().userPage();
        if (user != nullptr && user->isVisible() && !escaped) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(user, &escape);
            escaped = true;
        } else if (!escaped) {
            answerPages();
        }
    };
    ASSERT_NO_FATAL_FAILURE(connectWith(hand, [&] { return escaped && window->isVisible() && settled(); }));
    EXPECT_EQ(speedTyped, 0);  // no page after it
}

}  // namespace
}  // namespace corvane
