// The desktop windows' wiring, offscreen: what the operator sees and what
// the keys and buttons reach. The decisions behind them are tested on their
// logic objects.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <thread>
#include <thread>

#include "../graph/QtTestApp.h"
#include "MainWindowFakes.h"
#include "PumpEvents.h"
#include "ScriptedPrompter.h"
#include "SyntheticSamples.h"
#include "TempDir.h"
#include "WindowRig.h"
#include "TestClocks.h"
#include "app/CScreenResWarningDlg.h"
#include "app/CSelectCOMPortDlg.h"
#include "app/ConfigFile.h"
#include "app/Version.h"
#include "link/CConnectDlg.h"
#include "link/CPacketDebugDlg.h"
#include "link/PacketDebugLink.h"
#include "link/SerialPortApi.h"
#include "link/UvLink.h"
#include "desktop/CMainDlg.h"
#include "setup/CCheckListDlg.h"
#include "setup/CIntroDlg.h"
#include "setup/CEM1SetupDlg.h"
#include "setup/CMyEdit.h"
#include "PageHost.h"

namespace corvane {
namespace {

using test::FakeRecording;
using test::FakeSession;
using test::ManualClock;
using test::pumpUntil;
using test::ScriptedPrompter;
using test::TempDir;

constexpr const char* kPrefsLines =
    "baudrate 57600\ncomport 3\nshowRawA 0\nshowRefA 0\nshowAbsA 1\nshowRawB 0\n"
    "showRefB 0\nshowAbsB 1\nshowADivB 0\nxaxissamplerange 500\nxaxisposrange 100\nymin 0\n"
    "ymax 2\nyy_min 0\nyy_max 2\n";

class ListedPorts : public SerialPortApi {
public:
    explicit ListedPorts(std::vector<int> ports) : ports_(std::move(ports)) {}
    std::unique_ptr<SerialPort> open(int) override { return nullptr; }
    std::vector<int> enumerate() override { return ports_; }
    std::string describe(int) const override { return {}; }

private:
    std::vector<int> ports_;
};

class FakeDebugLink : public PacketDebugLink {
public:
    bool sendSettingsWithEcho(const Cmd0Bytes&) override { return ++sent > 0; }
    bool sendPacket10WithKeyAck(const Cmd1Bytes&, std::uint8_t) override { return true; }
    void observePackets(std::function<void(const Cmd0&)> cmd0, std::function<void(const Cmd1&)>,
                        std::function<void(const Cmd2&)>) override {
        observer = std::move(cmd0);
    }

    std::atomic<int> sent{0};
    std::function<void(const Cmd0&)> observer;
};

void sendKey(QWidget* to, int key, bool autoRepeat, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(to, &press);
}

std::string pref(const TempDir& dir, const char* key) {
    const ConfigFile prefs(dir / "prefs.cfg");
    return prefs.getString("[prefs]", key).value_or("(missing)");
}

TEST(StartupWindows, TheChooserStoresASinglePortAtOnce) {
    test::qtApp();
    TempDir dir;
    dir.write("prefs.cfg", "[prefs]\ncomport 0\n");
    {
        CSelectCOMPortDlg chooser(dir.path(), {5});
        EXPECT_TRUE(chooser.shouldShow());
        EXPECT_EQ(pref(dir, "comport"), "5");  // before anything is pressed
        EXPECT_EQ(chooser.windowTitle(), "Corvane Serial COM Port");
    }
    CSelectCOMPortDlg none(dir.path(), {});
    EXPECT_FALSE(none.shouldShow());

    CSelectCOMPortDlg two(dir.path(), {3, 5});
    EXPECT_EQ(two.portList()->currentText(), "COM5");
    two.portList()->setCurrentIndex(0);
    two.accept();
    EXPECT_EQ(pref(dir, "comport"), "3");
}

TEST(StartupWindows, TheSmallDisplayWarningShowsTheSizeAndStoresTheBox) {
    test::qtApp();
    TempDir dir;
    dir.write("prefs.cfg", "[prefs]\ndontshowscreenreswarning 0\n");
    CScreenResWarningDlg warning(dir.path(), 1149, 800);
    EXPECT_EQ(warning.windowTitle(), "Corvane Warning");
    QStringList texts;
    for (const QLabel* label : warning.findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_TRUE(texts.contains("Current display resolution is: 1149 x 800"));
    EXPECT_TRUE(texts.contains(
        "Warning: The recommended minimum resolution for the Corvane Software is 1150 x 800 pixels."));
    warning.dontShowBox()->setChecked(true);
    warning.accept();
    EXPECT_EQ(pref(dir, "dontshowscreenreswarning"), "1");
}

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        test::qtApp();
        test::writeWindowFolder(dir, kPrefsLines);
        dir.write("short_checklist.txt", "1: Rinse the needles\n2: Zero the absorbance\n");
        dir.write("detailed_checklist.txt", "1: Everything\n");
        session.debugLink = &debugLink;
        window = std::make_unique<CMainDlg>(
            test::windowSeams(dir.path(), clock, prompter, ports, nullptr, " (simulated instrument)"));
    }

    TempDir dir;
    ScriptedPrompter prompter;
    ManualClock clock;
    ListedPorts ports{{3, 4}};
    FakeDebugLink debugLink;
    FakeSession session;
    std::unique_ptr<CMainDlg> window;
};

TEST_F(MainWindowTest, CaptionsMenuAndTheStandardSize) {
    window->bindSession(&session);
    window->firstShow();
    EXPECT_EQ(window->windowTitle().toStdString(),
              std::string("Corvane version ") + kVersionText + " (simulated instrument)");
    // The connection runs on the window's device worker.
    ASSERT_TRUE(pumpUntil([&] { return !window->deviceBusy(); }));
    EXPECT_EQ(session.connects.at(0)[0], 3);
    EXPECT_EQ(window->portList()->currentText(), "COM3");
    EXPECT_EQ(window->recordButton()->text(), "START RECORD (F1)");
    EXPECT_EQ(window->zeroButton()->text(), "ZERO (F2)");
    EXPECT_EQ(window->pauseButton()->text(), "PAUSE (F3)");
    EXPECT_EQ(window->refreshButton()->text(), "REFRESH (F4)");
    EXPECT_EQ(window->channelBox(kChannelRatio)->text(), "AbsA/AbsB");
    // No recording controller in this program: its buttons say why they are off.
    EXPECT_FALSE(window->recordButton()->isEnabled());
    EXPECT_FALSE(window->recordButton()->toolTip().isEmpty());

    for (const char* entry : {"&Open Data File", "C&reate Standard Run", "E&xit", "About Corvane",
                              "Graphing Window Size", "Add / Remove Cursor(s)", "Axis Labels", "&Print Graph",
                              "S&ave Graph Image"}) {
        ASSERT_NE(window->action(entry), nullptr) << entry;
        EXPECT_TRUE(window->action(entry)->isEnabled()) << entry;
    }
    EXPECT_FALSE(window->action("&Rescue Lost Data")->isEnabled());
    dir.write("TEMP/temp_x_2024_01_01_00_00_00.csv", "x\n");
    window->updateAll();
    EXPECT_TRUE(window->action("&Rescue Lost Data")->isEnabled());

    const QSize least = window->minimumSizeHint();
    EXPECT_LE(least.width(), 1089);
    EXPECT_LE(least.height(), 785);
}

TEST_F(MainWindowTest, HiddenTraceHidesItsReadoutAndReadoutsFollowTheSamples) {
    window->bindSession(&session);
    window->firstShow();
    window->show();
    EXPECT_FALSE(window->channelBox(kChannelSampleA)->isChecked());  // showRawA 0
    EXPECT_TRUE(window->readout(kChannelSampleA)->isHidden());
    EXPECT_FALSE(window->readout(kChannelAbsA)->isHidden());

    const auto samples = test::syntheticRun(40);
    std::thread receive([&] {
        for (const auto& s : samples) {
            window->addSample(s);
        }
    });
    receive.join();
    const QString expected = QString::asprintf("%.4f", samples.back().absorbanceA);
    ASSERT_TRUE(pumpUntil([&] { return window->readout(kChannelAbsA)->text() == expected; }));
    // Nothing records: the samples on the graph are not counted as recorded.
    EXPECT_EQ(window->recordedLabel()->text(), "Recorded 0 samples");

    window->channelBox(kChannelSampleA)->setChecked(true);
    EXPECT_FALSE(window->readout(kChannelSampleA)->isHidden());
    EXPECT_EQ(pref(dir, "showRawA"), "1");
}

TEST_F(MainWindowTest, HeartbeatStatisticsReachTheStatusLines) {
    window->bindSession(&session);
    window->firstShow();
    window->show();
    LinkStats stats;
    stats.heartbeatsReceived = 12;
    stats.heartbeatsTransmitted = 13;
    stats.upperLimit = 0;
    stats.lastCmd0 = Cmd0{};
    stats.lastCmd0->uiPistonPos = 250;
    std::thread heartbeat([&] { window->poster().post(UserMsg::LinkStats, 0, 0, stats); });
    heartbeat.join();
    ASSERT_TRUE(pumpUntil([&] { return window->statusLine(1)->text() == "Upper Limit Switch: Contact"; }));
    EXPECT_EQ(window->statusLine(0)->text(), "Position 2.50 mm  Speed 0.00 mm/sec");
    EXPECT_FALSE(window->statusLine(0)->isHidden());
}

TEST_F(MainWindowTest, F1HeldDownTogglesOnce) {
    FakeRecording recording;
    window->bindSession(&session);
    window->bindRecording(&recording);
    window->firstShow();
    window->show();
    // Keys wait, as the buttons do, for the connection on the device worker.
    ASSERT_TRUE(pumpUntil([&] { return window->recordButton()->isEnabled(); }));
    QWidget* focus = window->portList();
    sendKey(focus, Qt::Key_F1, false);
    ASSERT_TRUE(pumpUntil([&] { return window->recordButton()->text() == "STOP RECORD (F1)"; }));
    for (int i = 0; i < 8; ++i) {
        sendKey(focus, Qt::Key_F1, true);
    }
    ASSERT_TRUE(pumpUntil([&] { return !window->deviceBusy(); }));
    EXPECT_EQ(recording.startStops, 1);
    EXPECT_TRUE(window->recordButton()->isEnabled());
    sendKey(focus, Qt::Key_F1, false);
    ASSERT_TRUE(pumpUntil([&] { return window->recordButton()->text() == "START RECORD (F1)"; }));
    EXPECT_EQ(recording.startStops, 2);
}

TEST_F(MainWindowTest, ClosingTakesSeveralTurnsAndAsksOnce) {
    window->bindSession(&session);
    window->firstShow();
    window->show();
    ASSERT_TRUE(pumpUntil([&] { return !window->deviceBusy(); }));  // connected
    session.threadTurnsLeft = 3;
    prompter.answerYes();
    EXPECT_FALSE(window->close());  // the receive thread still runs
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(pumpUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(prompter.transcript(),
              (std::vector<std::string>{"question: Are you sure you wish to exit? -> Yes"}));
    EXPECT_EQ(session.threadTurnsLeft, 0);
}

TEST_F(MainWindowTest, ArrowKeysMoveTheOpenChecklistAndCtrlDOpensTheDebugWindows) {
    window->bindSession(&session);
    window->firstShow();
    window->show();
    window->openChecklist(false);
    ASSERT_NE(window->checklist(), nullptr);
    EXPECT_EQ(window->checklist()->itemBox()->toPlainText(), "Rinse the needles");
    sendKey(window->portList(), Qt::Key_Down, false);
    EXPECT_EQ(window->checklist()->itemBox()->toPlainText(), "Zero the absorbance");
    window->checklist()->endButton()->click();
    EXPECT_FALSE(window->checklist()->isVisible());

    std::filesystem::remove(dir / "detailed_checklist.txt");
    window->openChecklist(true);
    EXPECT_EQ(prompter.texts().back(),
              "Error, could not find file: " + (dir / "detailed_checklist.txt").string());

    sendKey(window->portList(), Qt::Key_D, false, Qt::ControlModifier);
    ASSERT_NE(window->debugWindow(0), nullptr);
    EXPECT_EQ(window->debugWindow(0)->windowTitle(), "Debug Window (CMD0 Settings)");
    EXPECT_TRUE(window->debugWindow(2)->isVisible());
    EXPECT_TRUE(window->windowTitle().startsWith("Tellmar - # heart beats received: 0"));
    ASSERT_TRUE(debugLink.observer);
    Cmd0 packet;
    packet.ucDutyCycleA = 55;
    std::thread link([&] { debugLink.observer(packet); });
    link.join();
    ASSERT_TRUE(pumpUntil([&] { return window->debugWindow(0)->edits()[0]->text() == "55"; }));
    EXPECT_EQ(window->debugWindow(0)->countLabel()->text(), "Number of CMD0 Packets Received: 1");
}

TEST(DesktopPages, IntroRefusesAPathInsteadOfAName) {
    test::qtApp();
    TempDir dir;
    std::filesystem::create_directories(dir / "Users" / "Ann");
    ScriptedPrompter prompter;
    CIntroDlg intro(dir.path(), prompter, false);
    EXPECT_EQ(intro.promptLabel()->text(), "Please enter your user name and press return: ");
    ASSERT_EQ(intro.nameList()->count(), 1);
    intro.show();
    intro.nameList()->setEditText("../x");
    intro.okButton()->click();
    EXPECT_TRUE(intro.isVisible());
    EXPECT_EQ(prompter.texts().size(), 1u);
    intro.nameList()->setEditText("Ann");
    intro.okButton()->click();
    EXPECT_EQ(intro.result(), QDialog::Accepted);
    EXPECT_EQ(intro.page().userName(), "Ann");

    CIntroDlg again(dir.path(), prompter, true);
    bool exitRequested = false;
    QObject::connect(&again, &CIntroDlg::exitRequested, [&] { exitRequested = true; });
    again.show();
    prompter.answerNo();
    EXPECT_FALSE(again.close());
    EXPECT_FALSE(exitRequested);
    prompter.answerYes();
    EXPECT_TRUE(again.close());
    EXPECT_TRUE(exitRequested);
}

TEST(DesktopPages, ConnectWindowStartsBusyAndFollowsItsSteps) {
    test::qtApp();
    CConnectDlg connect;
    EXPECT_FALSE(connect.continueButton()->isEnabled());
    EXPECT_FALSE(connect.skipButton()->isEnabled());
    EXPECT_EQ(connect.skipButton()->text(), "Skip Hardware Check");
    EXPECT_EQ(connect.windowTitle(), QString("Corvane v") + kVersionText);
    std::thread steps([&] {
        connect.setMessage("Connection failed:");
        connect.setContinueCaption("Retry");
        connect.enableButtons(true, true);
    });
    steps.join();
    ASSERT_TRUE(pumpUntil([&] { return connect.skipButton()->isEnabled(); }));
    EXPECT_EQ(connect.messageLine()->text(), "Connection failed:");
    EXPECT_EQ(connect.continueButton()->text(), "Retry");

    // Any key is a key press for the steps; Return also presses Continue,
    // but only while it may be pressed, and Escape closes nothing.
    int keys = 0;
    int continues = 0;
    QObject::connect(&connect, &CConnectDlg::keyPressed, [&] { ++keys; });
    QObject::connect(&connect, &CConnectDlg::continuePressed, [&] { ++continues; });
    connect.show();
    sendKey(&connect, Qt::Key_Return, false);
    sendKey(&connect, Qt::Key_Escape, false);
    EXPECT_EQ(keys, 2);
    EXPECT_EQ(continues, 1);
    EXPECT_TRUE(connect.isVisible());
    connect.continueButton()->setEnabled(false);
    sendKey(&connect, Qt::Key_Return, false);
    EXPECT_EQ(keys, 3);
    EXPECT_EQ(continues, 1);
}

TEST(DesktopPages, DebugWindowWithoutALinkIsDisabled) {
    test::qtApp();
    ManualClock clock;
    ScriptedPrompter prompter;
    CPacketDebugDlg window(PacketDebugMonitor::Kind::Cmd0, clock, prompter);
    EXPECT_FALSE(window.isEnabled());
    FakeDebugLink link;
    window.setLink(&link);
    ASSERT_EQ(window.edits().size(), 10u);
    const std::array<const char*, 10> typed = {"50", "26", "28", "3", "1", "100", "3", "8500", "0", "9000"};
    for (std::size_t i = 0; i < typed.size(); ++i) {
        window.edits()[i]->setText(typed[i]);
    }
    window.sendAndWait();
    EXPECT_EQ(link.sent.load(), 1);
    EXPECT_TRUE(prompter.texts().empty());
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

TEST(DesktopPages, De1SetupKeepsWhatWasTypedWhileTheFractionFieldsFollowEachOther) {
    test::qtApp();
    TempDir dir;
    dir.write("prefs.cfg", "[prefs]\nlastuser \n");
    ScriptedPrompter prompter;
    test::PageHost host;
    test::ManualClock clock;
    CEM1SetupDlg page({dir.path(), prompter, host, clock});
    page.tubingEdit()->setText(QStringLiteral("120"));
    page.field(De1SetupPage::Spin::Speed)->setText(QStringLiteral("0.75"));
    for (const auto& [which, text] : {std::pair{De1SetupPage::Spin::Total, "30"}, {De1SetupPage::Spin::Number, "6"}}) {
        page.field(which)->setText(QLatin1String(text));
        emit page.field(which)->textEdited(QLatin1String(text));
    }
    EXPECT_EQ(page.field(De1SetupPage::Spin::Distance)->text(), "5.00");
    EXPECT_EQ(page.tubingEdit()->text(), "120");
    EXPECT_EQ(page.field(De1SetupPage::Spin::Speed)->text(), "0.75");

    // The zone table's headers show whole: no column narrower than its header.
    page.show();
    QHeaderView* header = page.zoneTable()->horizontalHeader();
    for (int c = 0; c < header->count(); ++c) {
        const QString text = page.zoneTable()->horizontalHeaderItem(c)->text();
        EXPECT_GE(header->sectionSize(c), header->fontMetrics().horizontalAdvance(text)) << text.toStdString();
    }
}

}  // namespace
}  // namespace corvane
