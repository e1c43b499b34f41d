// Every way out of the program ends it: the application's event loop
// returns, the link is stopped and the receive thread joined, and no
// window-less process stays behind. Each test runs the program's own loop
// (runMainWindow) on the simulated instruments, offscreen, and answers the
// windows as the operator would.

// Before any Qt header: the simulator has a member named emit.
#include "sim/SimRig.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "../graph/QtTestApp.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "WindowRig.h"
#include "TestClocks.h"
#include "desktop/CMainDlg.h"
#include "desktop/QtConnectionDriver.h"
#include "link/CConnectDlg.h"
#include "link/CSerportTroubleShootingDlg.h"
#include "recording/AcquisitionSession.h"
#include "setup/CIntroDlg.h"

namespace corvane {
namespace {

using test::ScaledClock;
using test::ScriptedPrompter;
using test::TempDir;

// No serial port to be found, and none to open.
class NoPorts : public SerialPortApi {
public:
    std::unique_ptr<SerialPort> open(int) override { return nullptr; }
    std::vector<int> enumerate() override {
        ++enumerations;
        return {};
    }
    std::string describe(int) const override { return {}; }
    int enumerations = 0;
};

// Whether the main window was blocked by the connection window: seen on the
// main window's WindowBlocked event, when it happens, not by a polling timer
// that may run only after the connection window has gone again.
class BlockedBy : public QObject {
public:
    explicit BlockedBy(const QWidget* blocker) : blocker_(blocker) {}
    bool seen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowBlocked && QApplication::activeModalWidget() == blocker_) {
            seen = true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QWidget* blocker_;
};

class ProgramEnd : public ::testing::Test {
protected:
    ProgramEnd() : rig(clock, SimRigConfig{}) {
        test::qtApp();
        test::writeWindowFolder(dir, "baudrate 57600\ncomport 3\nshowAbsA 1\nshowAbsB 1\n");
    }

    void makeWindow(SerialPortApi& ports) {
        window = std::make_unique<CMainDlg>(
            test::windowSeams(dir.path(), clock, prompter, ports, &rig.bridge(), "", true));
        window->attachInstruments();
    }

    // Runs the program until it ends; step() is called every 10 ms to act
    // as the operator. False when the program was still running after a
    // minute (it would otherwise never have ended).
    bool runUntilTheProgramEnds(const std::function<void()>& step) {
        QTimer operatorHand;
        QObject::connect(&operatorHand, &QTimer::timeout, step);
        operatorHand.start(10);
        bool hung = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            hung = true;
            QCoreApplication::quit();
        });
        watchdog.start(60000);
        (void)runMainWindow(*window);
        return !hung;
    }

    // The INTRO page is up: it is closed and the exit confirmed.
    static bool exitOnIntro(ScriptedPrompter& prompter) {
        auto* intro = qobject_cast<CIntroDlg*>(QApplication::activeModalWidget());
        if (intro == nullptr || !intro->isVisible()) {
            return false;
        }
        prompter.answerYes();  // "Are you sure you wish to exit?"
        intro->close();
        return true;
    }

    void expectEverythingStopped() {
        EXPECT_FALSE(window->isVisible());
        AcquisitionSession* session = window->acquisitionSession();
        ASSERT_NE(session, nullptr);
        EXPECT_FALSE(session->receiveThreadRunning());
        EXPECT_FALSE(session->linkExists());
        EXPECT_FALSE(session->hasSampleReader());
        EXPECT_EQ(prompter.unscripted(), 0);
    }

    ScaledClock clock{10.0};
    TempDir dir;
    ScriptedPrompter prompter;
    SimRig rig;
    std::unique_ptr<CMainDlg> window;
};

TEST_F(ProgramEnd, ExitOnTheIntroPageAfterTheUnitAnswered) {
    makeWindow(rig.ports());
    bool exited = false;
    ASSERT_TRUE(runUntilTheProgramEnds([&] { exited = exited || exitOnIntro(prompter); }));
    EXPECT_TRUE(exited);
    expectEverythingStopped();
    EXPECT_EQ(prompter.transcript(),
              std::vector<std::string>{"question: Are you sure you wish to exit? -> Yes"});
}

TEST_F(ProgramEnd, ClosingTheConnectionWindowThenExitingOnTheIntroPage) {
    SimFaults silent;
    silent.silent = true;
    rig.kelvo()->setFaults(silent);
    makeWindow(rig.ports());
    bool closedIt = false;
    ASSERT_TRUE(runUntilTheProgramEnds([&] {
        CConnectDlg* connect = window->connectionDriver()->dialog();
        if (!closedIt && connect->isVisible() && connect->skipButton()->isEnabled()) {
            closedIt = true;
            connect->close();
            return;
        }
        if (closedIt) {
            exitOnIntro(prompter);
        }
    }));
    EXPECT_TRUE(closedIt);
    expectEverythingStopped();
}

TEST_F(ProgramEnd, APortThatRefusesToOpenThenSkipThenExit) {
    rig.ports().setOpenFails(3, true);  // another program holds it
    makeWindow(rig.ports());
    bool skipped = false;
    ASSERT_TRUE(runUntilTheProgramEnds([&] {
        CConnectDlg* connect = window->connectionDriver()->dialog();
        if (!skipped && connect->isVisible() && connect->skipButton()->isEnabled()) {
            EXPECT_EQ(connect->messageLine()->text(), "Connection failed:");
            skipped = true;
            connect->skipButton()->click();
            return;
        }
        if (skipped) {
            exitOnIntro(prompter);
        }
    }));
    EXPECT_TRUE(skipped);
    expectEverythingStopped();
}

TEST_F(ProgramEnd, NoPortAtAllThroughTheTroubleshootingWindowToTheExit) {
    NoPorts none;
    makeWindow(none);
    int helpShown = 0;
    bool skipped = false;
    ASSERT_TRUE(runUntilTheProgramEnds([&] {
        if (auto* help = qobject_cast<CSerportTroubleShootingDlg*>(QApplication::activeModalWidget())) {
            // TRY AGAIN looks for ports once more; the close box goes on
            // without the instrument, as CONTINUE WITHOUT CORVANE does.
            if (++helpShown == 1) {
                help->tryAgainButton()->click();
            } else {
                help->close();
            }
            return;
        }
        CConnectDlg* connect = window->connectionDriver()->dialog();
        if (!skipped && connect->isVisible() && connect->skipButton()->isEnabled()) {
            skipped = true;
            connect->skipButton()->click();
            return;
        }
        if (skipped) {
            exitOnIntro(prompter);
        }
    }));
    EXPECT_EQ(helpShown, 2);
    EXPECT_EQ(none.enumerations, 2);
    EXPECT_TRUE(skipped);
    expectEverythingStopped();
}

TEST_F(ProgramEnd, TheConnectionWindowStaysInFrontOfTheMainWindow) {
    makeWindow(rig.ports());
    CConnectDlg* connect = window->connectionDriver()->dialog();
    // Owned by the main window and modal to it: the window manager keeps it
    // above, and the main window takes no clicks or menu commands meanwhile.
    EXPECT_EQ(connect->parentWidget(), window.get());
    EXPECT_EQ(connect->windowModality(), Qt::WindowModal);
    BlockedBy blocked(connect);
    window->installEventFilter(&blocked);
    ASSERT_TRUE(runUntilTheProgramEnds([&] { exitOnIntro(prompter); }));
    window->removeEventFilter(&blocked);
    EXPECT_TRUE(blocked.seen);
}

}  // namespace
}  // namespace corvane
