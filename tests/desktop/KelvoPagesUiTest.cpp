// The Kelvo unit's set-up windows on the simulated unit, offscreen and sped
// up: the "Scan Setup" window of the warm-up, and the chain SCANNING SETUP,
// LED SETUP, CALIBRATE, SCANNING SETUP, graph as the operator clicks it.

// Before any Qt header: the simulator has a member named emit.
#include "sim/SimRig.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <set>

#include "../graph/QtTestApp.h"
#include "PumpEvents.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "app/ConfigFile.h"
#include "desktop/CKelvoSetupPages.h"
#include "desktop/CMainDlg.h"
#include "desktop/CSetupPages.h"
#include "desktop/QtConnectionDriver.h"
#include "desktop/RunSetupCommands.h"
#include "link/CConnectDlg.h"
#include "recording/AcquisitionSession.h"
#include "setup/CCalibrate2Dlg.h"
#include "setup/CIntroDlg.h"
#include "setup/CLEDSetupDlg.h"
#include "setup/CScanSetup2Dlg.h"
#include "setup/CScanSetupDlg.h"
#include "setup/CSummaryInfoDlg.h"
#include "recording/RecordingController.h"
#include "recording/SampleReader.h"
#include "setup/LedSetupPage.h"
#include "setup/ScanSetupPage.h"

namespace corvane {
namespace {

using test::pumpUntil;

// A control of a page by its tooltip: every one the operator uses has its own.
template <class Widget>
Widget* byTip(QWidget& page, const char* tip) {
    for (auto* w : page.findChildren<Widget*>()) {
        if (w->toolTip() == QString::fromUtf8(tip)) {
            return w;
        }
    }
    return nullptr;
}

// A page's buttons are disabled while its worker runs; the operator waits.
void click(QPushButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return button->isEnabled(); }));
    button->click();
}

bool has(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class KelvoPages : public ::testing::Test {
protected:
    KelvoPages() : rig(clock, rigConfig()) {
        test::qtApp();
        dir.write("prefs.cfg", "[prefs]\nbaudrate 57600\ncomport 3\nlastuser \nlastdatafolder \n");
        dir.write("rotors.txt", "Beckman\nSW32 20 110 0.2\nVolumes\nA_Volume 1\n");
        window = std::make_unique<CMainDlg>(
            CMainDlg::Seams{dir.path(), clock, prompter, rig.ports(), &rig.bridge(), "", false});
        window->attachInstruments();
    }

    static SimRigConfig rigConfig() {
        SimRigConfig config;
        config.kelvo.settings.uiIntegrationTime = 50;
        config.kelvo.settings.scanSpeed = 40;
        return config;
    }

    // The connection with its INTRO page; the USER page after it is looked
    // at and cancelled.
    void connect() {
        QTimer hand;
        QObject::connect(&hand, &QTimer::timeout, [this] {
            if (auto* intro = qobject_cast<CIntroDlg*>(QApplication::activeModalWidget())) {
                intro->nameList()->setEditText(QStringLiteral("Ann"));
                intro->okButton()->click();
            } else if (CSummaryInfoDlg* user = window->setupPages().userPage(); user != nullptr && user->isVisible()) {
                // The operator comes back to the page once the unit answers.
                if (!window->acquisitionSession()->linkExists() || !user->isActiveWindow()) {
                    user->activateWindow();
                    return;
                }
                userUnit = user->uvUnitList()->currentText();
                userUnitEnabled = user->uvUnitList()->isEnabled();
                user->button(QStringLiteral("Cancel"))->click();
            }
        });
        hand.start(10);
        window->show();
        window->firstShow();
        CConnectDlg* dialog = window->connectionDriver()->dialog();
        ASSERT_TRUE(pumpUntil([&] {
            if (dialog->isVisible() && dialog->continueButton()->isEnabled()) {
                dialog->continueButton()->click();
            }
            return !userUnit.isEmpty() && !window->deviceBusy() && !dialog->isVisible();
        }));
    }

    SimKelvoUnit& unit() { return *rig.kelvo(); }
    CKelvoSetupPages& pages() { return window->kelvoPages(); }
    std::int64_t samplesFed() { return window->logic().feed().total(); }

    test::ScaledClock clock{10.0};
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    SimRig rig;
    std::unique_ptr<CMainDlg> window;
    QString userUnit;
    bool userUnitEnabled = true;
};

TEST_F(KelvoPages, WarmUpBringsOneScanSetupWindowThatHeartbeatsKeepCurrentAndApplySends) {
    ASSERT_NO_FATAL_FAILURE(connect());
    // The USER page names the unit that is there.
    EXPECT_EQ(userUnit, QStringLiteral("Dual Wavelength"));
    EXPECT_FALSE(userUnitEnabled);

    ASSERT_TRUE(pumpUntil([&] { return pages().scanSetupWindow() != nullptr; }));
    CScanSetupDlg* scan = pages().scanSetupWindow();
    EXPECT_TRUE(scan->isVisible());
    // The warm-up ended with the piston at its upper limit.
    ASSERT_TRUE(pumpUntil([&] { return scan->liveText().contains("Upper Switch Status: On"); }));
    EXPECT_TRUE(scan->liveText().startsWith("Piston Position: 0.00 mm"));
    pages().onWindowMessage(UserMsg::WarmedUp, {});
    EXPECT_EQ(window->findChildren<CScanSetupDlg*>().size(), 1);

    scan->field(1)->setText(QStringLiteral("95:5"));
    click(scan->button(QStringLiteral("Apply")));
    EXPECT_EQ(prompter.texts().back(), "Error, duty cycle must be between 1:9 and 9:1.");
    EXPECT_FALSE(scan->busy());  // nothing to send

    scan->field(0)->setText(QStringLiteral("70"));
    scan->field(1)->setText(QStringLiteral("40:60"));
    scan->field(2)->setText(QStringLiteral("20"));
    scan->field(3)->setText(QStringLiteral("90"));
    scan->field(4)->setText(QStringLiteral("1.0"));
    scan->field(5)->setText(QStringLiteral("10"));
    scan->pcList()->setCurrentIndex(1);
    prompter.clear();
    click(scan->button(QStringLiteral("OK")));
    ASSERT_TRUE(pumpUntil([&] { return !scan->busy() && !scan->isVisible(); })) << prompter.texts().size();
    EXPECT_TRUE(prompter.texts().empty());
    const auto onUnit = unit().settings();
    EXPECT_EQ(onUnit.uiScanDist, 7000);
    EXPECT_EQ(onUnit.uiTubeTopPistonPos, 2000);
    EXPECT_EQ(onUnit.uiTubeEndPistonPos, 11000);
    EXPECT_EQ(onUnit.uiIntegrationTime, 100);
    EXPECT_EQ(onUnit.ucDutyCycleA, 40);
    EXPECT_EQ(onUnit.ucATODGain, 2);
    std::array<double, 2> tube{};
    EXPECT_EQ(ConfigFile(dir / "prefs.cfg").getDoubleArray("[rotors]", "generic", tube), 2);
    EXPECT_EQ(tube, (std::array<double, 2>{20.0, 90.0}));
    // Its window stays for the rest of the session.
    EXPECT_EQ(pages().scanSetupWindow(), scan);

    // Its own scan drives the unit: the window's PAUSE waits, START RECORD
    // starts nothing, until Start/Stop Scan ends it.
    scan->show();
    click(scan->button(QStringLiteral("Start/Stop Scan")));
    ASSERT_TRUE(pumpUntil([&] { return !scan->busy() && window->recordingController()->scanSetupMode(); }));
    EXPECT_EQ(window->pauseButton()->text(), QStringLiteral("Pause (F3)"));
    EXPECT_FALSE(window->pauseButton()->isEnabled());
    prompter.clear();
    click(window->recordButton());
    ASSERT_TRUE(pumpUntil([&] { return !window->deviceBusy() && window->recordButton()->isEnabled(); }));
    EXPECT_FALSE(window->recordingController()->isRecording());
    EXPECT_EQ(window->recordButton()->text(), QStringLiteral("START RECORD (F1)"));
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{RecordingController::kScanSetupScanning});
    click(scan->button(QStringLiteral("Start/Stop Scan")));
    ASSERT_TRUE(pumpUntil([&] { return !scan->busy() && !window->recordingController()->scanSetupMode(); }));
    ASSERT_TRUE(pumpUntil([&] { return window->pauseButton()->isEnabled(); }));
    EXPECT_EQ(window->pauseButton()->text(), QStringLiteral("PAUSE (F3)"));
}

TEST_F(KelvoPages, TheChainFromScanSetupThroughLedAndCalibrationToTheGraph) {
    ASSERT_NO_FATAL_FAILURE(connect());
    RunInfo info;
    info.rotorManufacturer = "Beckman";
    info.rotorModel = "SW32";
    window->logic().setupHost().setRunInfo(info);
    unit().setMedium(SimMedium::Water);
    prompter.onMessage([this](const std::string& text) {
        if (text == "Insert needles into 1.00 (0.23) OD solution.") {
            unit().setMedium(SimMedium::Reference);
        } else if (text == "Insert needles into pure water.") {
            unit().setMedium(SimMedium::Water);
        }
    });

    // "Do you wish to use the same run settings?" No: the chain's own form,
    // with the piston at its upper limit first.
    unit().setPistonPositionMm(12.0);
    prompter.answerNo();
    window->setupPages().commands().scanSetup();
    EXPECT_TRUE(has(prompter.texts(), RunSetupCommands::kSameSettings));
    ASSERT_TRUE(pumpUntil([&] { return pages().scanPage() != nullptr && !pages().scanPage()->busy(); }));
    EXPECT_NEAR(unit().pistonPositionMm(), 0.0, 0.05);
    {
        // Before ROTOR OK step 2 stays off, whether its button or a click in
        // it asks: OK and GO TO GRAPH with it.
        CScanSetup2Dlg* scan = pages().scanPage();
        ASSERT_NE(scan->stepButton(2), nullptr);
        EXPECT_FALSE(scan->stepButton(2)->isEnabled());
        auto* distance = byTip<QLineEdit>(*scan, "The distance that the piston is moved for the scan.");
        const QPoint inStep2 = distance->mapTo(scan, QPoint(0, distance->height() / 2)) - QPoint(8, 0);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(inStep2), scan->mapToGlobal(QPointF(inStep2)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(scan, &press);
        EXPECT_EQ(scan->steps().enabled(), 1);
        EXPECT_FALSE(scan->button(QStringLiteral("OK"))->isEnabled());
        EXPECT_FALSE(scan->button(QStringLiteral("GO TO GRAPH"))->isEnabled());
    }
    click(pages().scanPage()->button(QStringLiteral("LED POWER")));

    // LED SETUP: a refused wavelength, then channel A alone.
    ASSERT_TRUE(pumpUntil([&] { return pages().ledPage() != nullptr && !pages().ledPage()->busy(); }))
        << ::testing::PrintToString(prompter.texts());
    CLEDSetupDlg* led = pages().ledPage();
    auto* wavelengthA = byTip<QLineEdit>(*led, "Wavelength in nm for channel A.");
    auto* wavelengthB = byTip<QLineEdit>(*led, "Wavelength in nm for channel B.");
    ASSERT_NE(wavelengthA, nullptr);
    wavelengthA->setText(QStringLiteral("abc"));
    click(led->button(QStringLiteral("OK")));
    ASSERT_TRUE(pumpUntil([&] { return !led->busy(); }));
    EXPECT_EQ(prompter.texts().back(), "Invalid channel A wavelength.");
    wavelengthA->setText(QStringLiteral("254"));
    wavelengthB->clear();
    // Channel B is not used: its LED off, it sees no light at all.
    unit().setLedPosition(SimChannel::B, 0.0);
    EXPECT_FALSE(led->stepButton(2)->isEnabled());  // until the wavelengths are taken
    click(led->button(QStringLiteral("OK")));
    ASSERT_TRUE(pumpUntil([&] { return !led->busy(); }));
    EXPECT_EQ(prompter.texts().back(), LedSetupPage::kImmerseTips);
    EXPECT_EQ(unit().settings().ucWavelenghtA, 25);

    // The page's reader brings the counts; the window's receive thread
    // waits meanwhile (a turn under way may finish).
    auto* sampleA = byTip<QLabel>(*led, "Channel A sample output in counts.");
    ASSERT_TRUE(pumpUntil([&] { return !sampleA->text().isEmpty(); }));
    const auto fedBefore = samplesFed();
    const QString firstCount = sampleA->text();
    ASSERT_TRUE(pumpUntil([&] { return sampleA->text() != firstCount; }, 20));
    EXPECT_LE(samplesFed(), fedBefore + 1);

    // The rate the page refuses keeps it up; 17 samples/s is taken to CALIBRATE
    // (a longer period would saturate the counts the calibration reads).
    auto* rate = byTip<QLineEdit>(*led, "The desired number of samples per mm during the scan of the tube.");
    auto* speed = byTip<QLineEdit>(*led, "The speed at which the piston is moved down through the tube during a scan.");
    speed->setText(QStringLiteral("1.0"));
    rate->setText(QStringLiteral("3"));
    emit rate->textEdited(rate->text());
    click(led->button(QStringLiteral("CALIBRATE")));
    ASSERT_TRUE(pumpUntil([&] { return !led->busy(); }));
    EXPECT_EQ(prompter.texts().back(), "Samples/sec must be at least 5.0.");
    EXPECT_EQ(pages().ledPage(), led);
    rate->setText(QStringLiteral("17"));
    emit rate->textEdited(rate->text());
    click(led->button(QStringLiteral("CALIBRATE")));

    // CALIBRATE: the countdown shows while the page goes on painting.
    ASSERT_TRUE(pumpUntil([&] { return pages().calibratePage() != nullptr; }))
        << ::testing::PrintToString(prompter.texts()) << led->busy();
    EXPECT_EQ(unit().settings().uiIntegrationTime, 50);
    EXPECT_DOUBLE_EQ(ConfigFile(dir / "prefs.cfg").getDouble("[scan]", "samplerate"), 17.0);
    CCalibrate2Dlg* calibrate = pages().calibratePage();
    // Where the operator has the needles now is where SCANNING SETUP finds them.
    unit().setPistonPositionMm(8.0);
    click(calibrate->button(QStringLiteral("OK")));
    std::set<QString> countdown;
    ASSERT_TRUE(pumpUntil([&] {
        if (calibrate == nullptr || pages().calibratePage() != calibrate) {
            return true;
        }
        if (calibrate->busy() && calibrate->status().contains("seconds remaining")) {
            countdown.insert(calibrate->status());
        }
        return false;
    })) << ::testing::PrintToString(prompter.texts()) << calibrate->status().toStdString();
    EXPECT_GE(countdown.size(), 4U) << "the page did not repaint during the countdown";
    EXPECT_TRUE(has(prompter.texts(), "Insert needles into pure water."));

    // One wavelength: channel A calibrated alone, channel B as it reads.
    EXPECT_FALSE(has(prompter.texts(), "Error, no data arrived during the ZERO calibration. The previous "
                                       "calibration is kept."));
    ASSERT_TRUE(window->acquisitionSession()->reader()->calibrationCurve().has_value());

    // SCANNING SETUP again, from CALIBRATE: the piston stays put until ROTOR OK.
    ASSERT_TRUE(pumpUntil([&] { return pages().scanPage() != nullptr && !pages().scanPage()->busy(); }));
    CScanSetup2Dlg* scan = pages().scanPage();
    EXPECT_NEAR(unit().pistonPositionMm(), 8.0, 0.05);
    click(scan->button(QStringLiteral("ROTOR OK")));
    // Step 2 opens with the tube's length in SCAN DISTANCE.
    ASSERT_TRUE(pumpUntil([&] { return scan->button(QStringLiteral("OK"))->isEnabled(); }));
    EXPECT_EQ(unit().settings().uiScanDist, 9000);
    auto* distance = byTip<QLineEdit>(*scan, "The distance that the piston is moved for the scan.");
    distance->setText(QStringLiteral("95"));
    click(scan->button(QStringLiteral("OK")));
    EXPECT_EQ(prompter.texts().back(),
              "Scan distance can be no more than 90.00 mm for the current piston position and rotor.");
    distance->setText(QStringLiteral("60"));
    click(scan->button(QStringLiteral("OK")));
    ASSERT_TRUE(scan->button(QStringLiteral("GO TO GRAPH"))->isEnabled());
    // A unit that refuses the distance: said, and the page stays to try again.
    unit().setFaults(SimFaults{.refuseSettings = -1});
    prompter.clear();
    click(scan->button(QStringLiteral("GO TO GRAPH")));
    ASSERT_TRUE(pumpUntil([&] { return !scan->busy(); }));
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{ScanSetupPage::kDistanceNotSentRetry});
    EXPECT_EQ(pages().scanPage(), scan);
    unit().setFaults({});
    click(scan->button(QStringLiteral("GO TO GRAPH")));
    ASSERT_TRUE(pumpUntil([&] { return pages().scanPage() == nullptr && window->isVisible(); }));
    EXPECT_EQ(unit().settings().uiScanDist, 6000);
    EXPECT_DOUBLE_EQ(window->acquisitionSession()->pendingScanDistance(), 0.0);
    // The window's receive thread has the unit again.
    const auto fedAfter = samplesFed();
    EXPECT_TRUE(pumpUntil([&] { return samplesFed() > fedAfter + 5; }));
}

}  // namespace
}  // namespace corvane
