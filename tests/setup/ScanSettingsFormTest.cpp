// The single-window "Scan Setup" form and the scan distance that waits for
// the unit, on a connected simulated unit.

#include <gtest/gtest.h>

#include "PageHost.h"
#include "RecordingBench.h"
#include "app/ConfigFile.h"
#include "link/UvLink.h"
#include "setup/ScanSettingsForm.h"
#include "setup/ScanSetupPage.h"
#include "setup/SetupUnit.h"

namespace corvane {
namespace {

using test::RecordingBench;

struct Form : ::testing::Test {
    Form() {
        bench.folder.write("prefs.cfg",
                           "[scan]\ndistance 80\na_dutycycle 65\nb_dutycycle 35\nspeed 0.7\nsamplerate 15\n"
                           "pcpotval 4\n[rotors]\nSureSpin_630/38 21.5 88\n[wavelengths]\nwavelengthA 0\n"
                           "wavelengthB 29\n");
    }
    ScanSettingsForm form() { return ScanSettingsForm({bench.folder.path(), bench.prompter}); }
    // A form that passes every check.
    ScanSettingsForm good() {
        auto f = form();
        f.open("SureSpin 630/38");
        return f;
    }

    RecordingBench bench;
};

TEST_F(Form, OpensFromTheStoredKeysAndTheRotorsLine) {
    auto f = good();
    EXPECT_EQ(f.distance, "80.00");
    EXPECT_EQ(f.dutyCycle, "65:35");
    EXPECT_EQ(f.speed, "1.00");  // stored 0.3 below
    EXPECT_EQ(f.sampleRate, "15");
    EXPECT_EQ(f.pcEntry, 2);  // pot value 3: 150 pC
    EXPECT_EQ(f.topDistance, "21.50");
    EXPECT_EQ(f.bottomDistance, "88.00");
    EXPECT_EQ(f.topLabel(), "Distance From Upper Limit to Top of Tube (SureSpin_630/38):");

    auto none = form();
    none.open("");
    EXPECT_EQ(none.rotorKey(), "generic");
    EXPECT_EQ(none.topDistance, "0.00");
}

TEST_F(Form, KeysNeverStoredShowWhatTheUnitRunsWith) {
    Cmd0 unit;
    unit.ucDutyCycleA = 60;
    unit.uiIntegrationTime = 90;
    unit.ucATODGain = 4;
    unit.uiScanDist = 6050;
    unit.setScanSpeed(7);
    auto stored = form();
    stored.open("", unit);
    EXPECT_EQ(stored.dutyCycle, "65:35");
    EXPECT_EQ(stored.sampleRate, "15");
    EXPECT_EQ(stored.pcEntry, 2);

    bench.folder.write("prefs.cfg", "[scan]\nspeed 0.2\n");
    auto fresh = form();
    fresh.open("", unit);
    EXPECT_EQ(fresh.dutyCycle, "60:40");
    EXPECT_EQ(fresh.sampleRate, "11");
    EXPECT_EQ(fresh.pcEntry, 3);
    EXPECT_EQ(fresh.distance, "60.50");
    EXPECT_EQ(fresh.speed, "0.50");  // a stored key still wins
    EXPECT_TRUE(fresh.apply(0));     // what it shows passes its own checks
}

TEST_F(Form, ChecksInOrderWithTheirTexts) {
    const std::vector<std::pair<std::function<void(ScanSettingsForm&)>, std::string>> cases = {
        {[](auto& f) { f.distance = "x"; }, "Error, invalid distance."},
        {[](auto& f) { f.dutyCycle = "65-35"; }, "Error, invalid duty cycle."},
        {[](auto& f) { f.topDistance = ""; }, "Error, invalid distance to top of tube."},
        {[](auto& f) { f.bottomDistance = "b"; }, "Error, invalid distance from top of tube to bottom of tube."},
        {[](auto& f) { f.dutyCycle = "95:5"; }, "Error, duty cycle must be between 1:9 and 9:1."},
        {[](auto& f) { f.dutyCycle = "0:0"; }, "Error, duty cycle must be between 1:9 and 9:1."},
        {[](auto& f) { f.pcEntry = -1; }, "Error, invalid PC pot value."},
        {[](auto& f) { f.sampleRate = "18"; }, "Error, invalid sampling rate. Must be between 5 and 17"},
        {[](auto& f) { f.sampleRate = "12.5"; }, "Error, invalid sampling rate. Must be between 5 and 17"},
        {[](auto& f) { f.speed = "1.51"; }, "Error, invalid sampling speed. Must be between 0.0 and 1.5"},
        {[](auto& f) { f.speed = "0"; }, "Error, invalid sampling speed. Must be between 0.0 and 1.5"},
        {[](auto& f) {
             f.dutyCycle = "10:90";
             f.sampleRate = "17";
         },
         "Maximum sampling rate is only 16 Hz for the requested duty cycle of 10:90"},
        // Two faults at once: the first in the order speaks.
        {[](auto& f) {
             f.speed = "9";
             f.distance = "";
         },
         "Error, invalid distance."},
    };
    for (const auto& [spoil, text] : cases) {
        auto f = good();
        spoil(f);
        bench.prompter.clear();
        EXPECT_FALSE(f.apply(0)) << text;
        EXPECT_EQ(bench.prompter.texts(), std::vector<std::string>{text});
    }
    // Nothing refused was kept.
    EXPECT_DOUBLE_EQ(ConfigFile(bench.folder / "prefs.cfg").getDouble("[scan]", "distance"), 80.0);

    for (const char* edge : {"1:9", "9:1"}) {
        auto f = good();
        f.dutyCycle = edge;
        f.sampleRate = "16";
        f.speed = "1.5";
        EXPECT_TRUE(f.apply(0)) << edge;
    }
    EXPECT_EQ(ScanSettingsForm::maxRateFor(0.5), 17);
}

TEST_F(Form, ApplyKeepsTheKeysAndTheUnitTakesTheWholeConfiguration) {
    auto f = good();
    f.distance = "75.456";
    f.dutyCycle = "2:1";
    f.sampleRate = "15";
    f.speed = "1.25";
    f.pcEntry = 6;  // 350 pC
    const auto settings = f.apply(3);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->ucDutyCycleA, 67);          // 66.67 rounded
    EXPECT_EQ(settings->ucWavelenghtA, 26);         // 0 stored: the default
    EXPECT_EQ(settings->ucWavelenghtB, 29);
    EXPECT_EQ(settings->ucATODGain, 7);
    EXPECT_EQ(settings->ucRotor, 3);
    EXPECT_EQ(settings->uiIntegrationTime, 60);     // 66.6 down to 10 ms steps
    EXPECT_EQ(settings->scanSpeed, 13);             // 12.5 rounded
    EXPECT_EQ(settings->uiScanDist, 7546);
    EXPECT_EQ(settings->uiTubeTopPistonPos, 2150);
    EXPECT_EQ(settings->uiTubeEndPistonPos, 10950);
    const ConfigFile stored(bench.folder / "prefs.cfg");
    EXPECT_DOUBLE_EQ(stored.getDouble("[scan]", "distance"), 75.456);
    EXPECT_NEAR(stored.getDouble("[scan]", "speed"), 0.95, 1e-9);
    EXPECT_EQ(stored.getInt("[scan]", "pcpotval"), 0);
    EXPECT_DOUBLE_EQ(stored.getDouble("[scan]", "a_dutycycle"), 2.0);
    std::array<double, 2> tube{};
    EXPECT_EQ(stored.getDoubleArray("[rotors]", "SureSpin_630/38", tube), 2);
    EXPECT_EQ(tube, (std::array<double, 2>{21.5, 88.0}));

    ASSERT_TRUE(bench.connect());
    SetupUnit unit(bench.clock, bench.session.holds(), [this] { return bench.session.reader(); });
    {
        const SetupUnit::Exclusive alone(unit);
        ASSERT_TRUE(unit.sendConfiguration(*settings));
    }
    const auto onUnit = bench.unit().settings();
    EXPECT_EQ(onUnit.uiScanDist, 7546);
    EXPECT_EQ(onUnit.uiTubeEndPistonPos, 10950);
    EXPECT_EQ(onUnit.ucATODGain, 7);
}

TEST(ScanSettingsLive, LinesFollowThePacketAndTheSwitches) {
    LinkStats stats;
    Cmd0 settings;
    settings.uiPistonPos = static_cast<std::uint16_t>(-125);  // 1.25 mm above the limit
    settings.iPistonSpeed = -30;
    stats.lastCmd0 = settings;
    stats.upperLimit = 1;
    stats.bit2 = 1;
    auto live = ScanSettingsForm::live(stats, std::nullopt);
    EXPECT_EQ(live.position, "Piston Position: -1.25 mm");
    EXPECT_EQ(live.speed, "Piston Speed: -3.00 mm/sec");
    EXPECT_EQ(live.upper, "Upper Switch Status: Off");
    EXPECT_EQ(live.lower, "Lower Switch Status: On");
    Cmd2 streamed;
    streamed.uiPistonPos = 4210;
    streamed.iPistonSpeed = 15;
    stats.upperLimit = 0;
    live = ScanSettingsForm::live(stats, streamed);
    EXPECT_EQ(live.position, "Piston Position: 42.10 mm");
    EXPECT_EQ(live.speed, "Piston Speed: 1.50 mm/sec");
    EXPECT_EQ(live.upper, "Upper Switch Status: On");
}

TEST(ScanDistancePending, AcceptedDistanceReachesTheUnitOnceAndThenIsCleared) {
    RecordingBench bench;
    bench.folder.write("rotors.txt", "Beckman\nSW32 20 110 0.2\n");
    ASSERT_TRUE(bench.connect());
    test::PageHost host;
    RunInfo info;
    info.rotorManufacturer = "Beckman";
    info.rotorModel = "SW32";
    host.setRunInfo(info);
    SetupUnit unit(bench.clock, bench.session.holds(), [&] { return bench.session.reader(); });
    ScanSetupPage page({bench.folder.path(), bench.prompter, host, unit, bench.session, {}, {}, false,
                        [&](double mm) { bench.session.setPendingScanDistance(mm); }});
    page.open();
    ASSERT_TRUE(page.rotorOk()) << ::testing::PrintToString(bench.prompter.texts());
    EXPECT_EQ(bench.unit().settings().uiScanDist, 9000);  // the tube's length

    page.scanDistance = "63.257";
    ASSERT_TRUE(page.confirm());
    EXPECT_DOUBLE_EQ(bench.session.pendingScanDistance(), 63.257);
    // A unit that refuses it: said, and still pending for the next chance.
    bench.unit().setFaults(SimFaults{.refuseSettings = -1});
    bench.prompter.clear();
    EXPECT_FALSE(page.sendKeptDistance(true));
    EXPECT_FALSE(page.sendKeptDistance(false));
    EXPECT_EQ(bench.prompter.texts(),
              (std::vector<std::string>{
                  "Error, unable to send scan distance to Kelvo. Please try pressing the GO TO GRAPH button again.",
                  "Error, unable to send scan distance to Kelvo. Until it is sent a scan goes the whole length of "
                  "the tube; open SCANNING SETUP again to send it."}));
    EXPECT_EQ(bench.unit().settings().uiScanDist, 9000);
    EXPECT_DOUBLE_EQ(bench.session.pendingScanDistance(), 63.257);
    bench.unit().setFaults({});
    ASSERT_TRUE(page.sendKeptDistance(true));
    EXPECT_EQ(bench.unit().settings().uiScanDist, 6325);  // whole hundredths
    EXPECT_DOUBLE_EQ(bench.session.pendingScanDistance(), 0.0);
    // Nothing pending: nothing sent, nothing to fail.
    bench.unit().setSettings({});
    EXPECT_TRUE(page.sendKeptDistance(true));
    EXPECT_EQ(bench.unit().settings().uiScanDist, 0);
}

}  // namespace
}  // namespace corvane
