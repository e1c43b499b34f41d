// The LED, CALIBRATE and SCANNING SETUP pages' logic on a connected
// simulated unit: what reaches the unit, what is kept, what is said.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "PageHost.h"
#include "RecordingBench.h"
#include "app/ConfigFile.h"
#include "base/TextFormat.h"
#include "link/UvLink.h"
#include "recording/SampleReader.h"
#include "setup/CalibratePage.h"
#include "setup/LedSetupPage.h"
#include "setup/ScanSetupPage.h"
#include "setup/SetupUnit.h"
#include "sim/SimAssistant.h"

namespace corvane {
namespace {

using test::RecordingBench;

struct Chain : ::testing::Test {
    Chain() {
        bench.folder.write("rotors.txt", "Beckman\nSW32 20 110 0.2\nSW28 0 95 0\n");
        host.de1 = false;
        RunInfo info;
        info.rotorManufacturer = "Beckman";
        info.rotorModel = "SW32";
        info.userName = "ann";
        host.setRunInfo(info);
    }
    void SetUp() override { ASSERT_TRUE(bench.connect()); }

    LedSetupPage led() {
        return LedSetupPage({bench.folder.path(), bench.prompter, host, unit, zero()});
    }
    ScanSetupPage scan(bool beside = false) {
        return ScanSetupPage({bench.folder.path(), bench.prompter, host, unit, bench.session, zero(),
                              [this](const std::string& s) { statuses.push_back(s); }, beside, {}});
    }
    std::function<void(const SampleRecord&)> zero() {
        return [this](const SampleRecord& r) { bench.controller.zeroOn(r); };
    }
    [[nodiscard]] ConfigFile prefs() const { return ConfigFile(bench.folder / "prefs.cfg"); }

    RecordingBench bench;
    test::PageHost host;
    SetupUnit unit{bench.clock, bench.session.holds(), [this] { return bench.session.reader(); }};
    std::vector<std::string> statuses;
};

TEST(LedSetupRules, SpeedFieldCountsAndSamplePeriod) {
    EXPECT_DOUBLE_EQ(LedSetupPage::speedFromField(10), 1.0);      // small: as it is
    EXPECT_DOUBLE_EQ(LedSetupPage::speedFromField(0x0A00), 1.0);  // large: bytes swapped
    EXPECT_EQ(LedSetupPage::countText(1039999, true), "1039999");
    EXPECT_EQ(LedSetupPage::countText(1040000, false), "1040000");
    EXPECT_EQ(LedSetupPage::countText(1040000, true), "");
    EXPECT_EQ(LedSetupPage::samplePeriodMs(15.0), 60);  // 66.6 down to a multiple of 10
    EXPECT_EQ(LedSetupPage::samplePeriodMs(17.0), 50);
    EXPECT_EQ(LedSetupPage::samplePeriodMs(5.0), 200);
}

TEST_F(Chain, LedPageReadsTheUnitAndSendsChangedWavelengths) {
    auto page = led();
    ASSERT_TRUE(page.open());
    EXPECT_EQ(page.wavelengthA, "260");
    EXPECT_EQ(page.wavelengthB, "280");
    EXPECT_EQ(page.samplesPerSec, "20.0");  // 50 ms
    EXPECT_EQ(page.speed, "4.0");
    EXPECT_EQ(page.pcEntry, 3);
    EXPECT_EQ(page.dutyEntry, 4);

    page.wavelengthA = "abc";
    EXPECT_FALSE(page.confirmWavelengths());
    page.wavelengthA.clear();
    page.wavelengthB.clear();
    EXPECT_FALSE(page.confirmWavelengths());
    page.wavelengthA = "254";
    ASSERT_TRUE(page.confirmWavelengths());
    EXPECT_TRUE(page.singleChannel());
    EXPECT_TRUE(page.step2Unlocked());
    EXPECT_EQ(bench.unit().settings().ucWavelenghtA, 25);
    EXPECT_EQ(prefs().getInt("[wavelengths]", "wavelengthA"), 25);
    EXPECT_EQ(bench.prompter.texts(),
              (std::vector<std::string>{"Invalid channel A wavelength.", "Need to specify at least one wavelength.",
                                        LedSetupPage::kImmerseTips}));
    ASSERT_TRUE(page.open());
    EXPECT_EQ(page.wavelengthA, "250");
}

TEST_F(Chain, LedPageSendsSpeedAndRateLiveOnlyWithinTheLimits) {
    auto page = led();
    ASSERT_TRUE(page.open());
    page.samplesPerMm = "10";
    page.speed = "1.51";
    EXPECT_FALSE(page.recomputeRate());
    page.speed = "1.5";
    const auto live = page.recomputeRate();
    ASSERT_TRUE(live);
    EXPECT_EQ(page.samplesPerSec, "15.00");
    ASSERT_TRUE(page.sendLive(*live));
    EXPECT_EQ(bench.unit().settings().uiIntegrationTime, 60);
    EXPECT_EQ(bench.unit().settings().scanSpeed, 15);

    const auto pc = page.withPc(0);  // 50 pC: pot value 1
    ASSERT_TRUE(pc);
    ASSERT_TRUE(page.sendLive(*pc));
    EXPECT_EQ(bench.unit().settings().ucATODGain, 1);
}

TEST_F(Chain, SecondOkChecksTheRateKeepsTheKeysAndSendsTheConfiguration) {
    auto page = led();
    ASSERT_TRUE(page.open());
    for (const char* refused : {"x", "4.99", "17.01"}) {
        page.samplesPerSec = refused;
        EXPECT_FALSE(page.applyScanSettings()) << refused;
    }
    EXPECT_EQ(bench.prompter.texts(),
              (std::vector<std::string>{"Error, invalid Samples/sec.", "Samples/sec must be at least 5.0.",
                                        "Samples/sec must be less than 17.0 Hz."}));
    page.samplesPerSec = "5.0";
    EXPECT_TRUE(page.applyScanSettings());
    page.samplesPerSec = "17.0";
    page.speed = "0.8";
    page.pcEntry = 5;    // 300 pC
    page.dutyEntry = 6;  // 70:30
    ASSERT_TRUE(page.applyScanSettings());
    const auto unitNow = bench.unit().settings();
    EXPECT_EQ(unitNow.uiIntegrationTime, 50);
    EXPECT_EQ(unitNow.scanSpeed, 8);
    EXPECT_EQ(unitNow.ucATODGain, 6);
    EXPECT_EQ(unitNow.ucDutyCycleA, 70);
    const auto stored = prefs();
    EXPECT_DOUBLE_EQ(stored.getDouble("[scan]", "samplerate"), 17.0);
    EXPECT_NEAR(stored.getDouble("[scan]", "speed"), 0.5, 1e-9);
    EXPECT_EQ(stored.getInt("[scan]", "pcpotval"), 1);
    EXPECT_DOUBLE_EQ(stored.getDouble("[scan]", "a_dutycycle"), 70.0);
    EXPECT_DOUBLE_EQ(stored.getDouble("[scan]", "b_dutycycle"), 30.0);
}

TEST(CalibrationMath, WaterReadsOneAndTheReferenceItsOwnTransmittance) {
    const auto curve = calibrationFrom({1.03, 0.98}, {0.103, 0.98 * CalibratePage::kReferenceTB});
    ASSERT_TRUE(curve);
    EXPECT_NEAR(-std::log10((1.03 * curve->c0 + curve->c1) * 1.03), 0.0, 1e-12);
    EXPECT_NEAR(-std::log10((0.103 * curve->c0 + curve->c1) * 0.103), 1.0, 1e-12);
    EXPECT_FALSE(calibrationFrom({1.0, 0.9}, {1.0, 0.5}));  // channel A: equal ratios
    EXPECT_FALSE(calibrationFrom({1.0, 0.9}, {0.995, 0.5}));  // A: within the noise of water
    EXPECT_FALSE(calibrationFrom({1.0, 0.0}, {0.1, 0.5}));    // B: no light
}

TEST_F(Chain, CalibrationOnTheReferenceLiquidReadsItsOdsAfterwards) {
    bench.unit().setMedium(SimMedium::Water);
    bench.prompter.onMessage([this](const std::string& text) {
        if (text == "Insert needles into 1.00 (0.23) OD solution.") {
            bench.unit().setMedium(SimMedium::Reference);
        }
    });
    std::vector<std::string> shown;
    CalibratePage page({bench.prompter, unit, [&](const std::string& s) { shown.push_back(s); }});
    ASSERT_TRUE(page.calibrate()) << ::testing::PrintToString(bench.prompter.texts());
    EXPECT_NE(std::find(shown.begin(), shown.end(), "Doing ZERO calibration, 5 seconds remaining.."), shown.end());
    // The summary: the ratios the beakers gave (the reference a tenth of
    // water in A, 10^-0.23 of it in B) and the lines drawn through them.
    const std::string summary = bench.prompter.texts().back();
    double wA = 0, rA = 0, sA = 0, iA = 0, wB = 0, rB = 0, sB = 0, iB = 0;
    ASSERT_EQ(std::sscanf(summary.c_str(),
                          "Calibration completed.\n\nChannel A: water %lf, 1.00 OD reference %lf (sample / source);\n"
                          "slope %lf, intercept %lf\nChannel B: water %lf, 0.23 OD reference %lf (sample / source);\n"
                          "slope %lf, intercept %lf",
                          &wA, &rA, &sA, &iA, &wB, &rB, &sB, &iB),
              8)
        << summary;
    EXPECT_NEAR(rA / wA, 0.1, 0.002);
    EXPECT_NEAR(rB / wB, CalibratePage::kReferenceTB, 0.005);
    EXPECT_NE(std::find(shown.begin(), shown.end(), "Doing 1.00 (0.23) OD calibration, 1 seconds remaining.."),
              shown.end());
    const auto curve = bench.session.reader()->calibrationCurve();
    ASSERT_TRUE(curve);
    EXPECT_NEAR(sA, curve->c0, 5e-7);
    EXPECT_NEAR(iA, curve->c1, 5e-7);
    EXPECT_NEAR(sB, curve->c2, 5e-7);
    EXPECT_NEAR(iB, curve->c3, 5e-7);
    const auto odOf = [&](SimMedium medium) {
        bench.unit().setMedium(medium);
        const SetupUnit::Exclusive alone(unit);
        const auto counts = unit.freshCounts(3);
        return std::array<double, 2>{
            AbsorbanceFromCurve(counts->sampleA, counts->sourceA, curve->c0, curve->c1),
            AbsorbanceFromCurve(counts->sampleB, counts->sourceB, curve->c2, curve->c3)};
    };
    const auto water = odOf(SimMedium::Water);
    const auto reference = odOf(SimMedium::Reference);
    EXPECT_NEAR(water[0], 0.0, 0.005);
    EXPECT_NEAR(water[1], 0.0, 0.005);
    EXPECT_NEAR(reference[0], 1.00, 0.005);
    EXPECT_NEAR(reference[1], 0.23, 0.005);
}

TEST_F(Chain, ACalibrationWithoutDataOrWithoutTheReferenceKeepsTheOldCoefficients) {
    const CalibrationCurve before{0.0, 1.0, 0.0, 1.0};
    ASSERT_TRUE(bench.session.reader()->SetCalibrationCurve(before));
    bench.unit().setMedium(SimMedium::Water);  // never moved to the reference
    CalibratePage page({bench.prompter, unit, {}});
    EXPECT_FALSE(page.calibrate());
    EXPECT_EQ(bench.session.reader()->calibrationCurve(), before);
    EXPECT_NE(bench.prompter.texts().back().find("The previous calibration is kept."), std::string::npos);
}

// One wavelength: LED SETUP says which channel is used, and CALIBRATE
// calibrates that one alone, though the other sees no light at all.
TEST_F(Chain, OneWavelengthCalibratesItsChannelAloneWhileTheOtherIsDark) {
    auto led = this->led();
    ASSERT_TRUE(led.open());
    led.wavelengthA = "260";
    led.wavelengthB.clear();
    ASSERT_TRUE(led.confirmWavelengths());
    EXPECT_EQ(host.channelsInUse(), std::pair(true, false));

    bench.unit().setLedPosition(SimChannel::B, 0.0);  // off: neither beam has light
    bench.unit().setMedium(SimMedium::Water);
    bench.prompter.onMessage([this](const std::string& text) {
        if (text == "Insert needles into 1.00 (0.23) OD solution.") {
            bench.unit().setMedium(SimMedium::Reference);
        }
    });
    const auto [a, b] = host.channelsInUse();
    CalibratePage page({bench.prompter, unit, {}, {a, b}});
    ASSERT_TRUE(page.calibrate()) << ::testing::PrintToString(bench.prompter.texts());
    const auto curve = bench.session.reader()->calibrationCurve();
    ASSERT_TRUE(curve);
    bench.unit().setMedium(SimMedium::Reference);
    {
        const SetupUnit::Exclusive alone(unit);
        const auto counts = unit.freshCounts(3);
        ASSERT_TRUE(counts);
        EXPECT_NEAR(AbsorbanceFromCurve(counts->sampleA, counts->sourceA, curve->c0, curve->c1), 1.00, 0.005);
    }
    // Channel B reads as the zero factor had it: the line of slope 0 through 1 / k.
    const double kB = bench.session.reader()->sourceFactors()[1];
    EXPECT_EQ(curve->c2, 0.0);
    EXPECT_DOUBLE_EQ(curve->c3, 1.0 / kB);
    EXPECT_NE(bench.prompter.texts().back().find(formatText(
                  "Channel B: not measured (no wavelength chosen for it); it keeps slope 0.000000, intercept %.6f",
                  1.0 / kB)),
              std::string::npos)
        << bench.prompter.texts().back();

    // Both channels asked for: the dark one is named.
    CalibratePage both({bench.prompter, unit, {}, {}});
    bench.unit().setMedium(SimMedium::Water);
    EXPECT_FALSE(both.calibrate());
    EXPECT_EQ(bench.prompter.texts().back(),
              "Error, channel B read no light during the calibration, so it cannot be calibrated. Check its LED "
              "in LED SETUP. The previous calibration is kept.");
}

TEST_F(Chain, SwappedBeakersAreToldAsSwappedAndKeepTheOldCoefficients) {
    const CalibrationCurve before{0.0, 1.0, 0.0, 1.0};
    ASSERT_TRUE(bench.session.reader()->SetCalibrationCurve(before));
    bench.unit().setMedium(SimMedium::Reference);  // the reference first, where water belongs
    bench.prompter.onMessage([this](const std::string& text) {
        if (text == "Insert needles into 1.00 (0.23) OD solution.") {
            bench.unit().setMedium(SimMedium::Water);
        }
    });
    CalibratePage page({bench.prompter, unit, {}});
    EXPECT_FALSE(page.calibrate());
    EXPECT_EQ(bench.session.reader()->calibrationCurve(), before);
    EXPECT_EQ(bench.prompter.texts().back(),
              "Error, channel A read the 1.00 (0.23) OD solution lighter than the pure water: the two beakers were "
              "swapped. Please calibrate again with the needles in pure water first. The previous calibration is "
              "kept.");
    EXPECT_EQ(channelFault(1.0, 1.0), ChannelFault::Same);
    EXPECT_EQ(channelFault(1.0, 1.005), ChannelFault::Same);  // within the noise of one liquid
    EXPECT_EQ(channelFault(1.0, 1.02), ChannelFault::Lighter);
    EXPECT_EQ(channelFault(1.0, std::nan("")), ChannelFault::NoLight);
}

TEST_F(Chain, ScanDistanceMaximumOnBothForms) {
    host.setIdenticalRun(true);
    auto beside = scan(true);
    beside.open();
    ASSERT_EQ(beside.rotorEntry, 0);
    beside.scanDistance = "45.0000005";  // 90 - (25 + 20)
    EXPECT_TRUE(beside.checkDistance());
    beside.scanDistance = "45.01";
    EXPECT_FALSE(beside.checkDistance());
    beside.scanDistance = "44.5";
    beside.spinDistance(true);
    EXPECT_EQ(beside.scanDistance, "45.00");
    beside.scanDistance = "0.5";
    beside.spinDistance(false);
    EXPECT_EQ(beside.scanDistance, "0.00");

    host.setIdenticalRun(false);
    auto modal = scan(false);
    modal.open();
    modal.scanDistance = "77.5";
    EXPECT_FALSE(modal.confirm());  // before ROTOR OK: no GO TO GRAPH
    EXPECT_FALSE(modal.goToGraphEnabled());
    ASSERT_TRUE(modal.rotorOk());
    host.setZeroOffset(12.5);
    modal.scanDistance = "77.5";
    EXPECT_TRUE(modal.confirm());
    EXPECT_TRUE(modal.goToGraphEnabled());
    modal.scanDistance = "77.51";
    EXPECT_FALSE(modal.checkDistance());
    modal.scanDistance = "far";
    EXPECT_FALSE(modal.checkDistance());
    EXPECT_EQ(bench.prompter.texts(),
              (std::vector<std::string>{
                  "Scan distance can be no more than 45.00 mm for the current piston position and rotor.",
                  "ROTOR OK set SCAN DISTANCE to the tube's length, 90.00 mm, in place of the 77.50 mm typed "
                  "before. To scan less, type the distance again and press OK.",
                  "Scan distance can be no more than 77.50 mm for the current piston position and rotor.",
                  "Invalid scan distance."}));
}

TEST_F(Chain, RotorOkSendsTheTubeAndZeroPositionTakesThePiston) {
    auto page = scan();
    page.open();
    page.rotorEntry = -1;
    EXPECT_FALSE(page.rotorOk());
    page.rotorEntry = 0;
    ASSERT_TRUE(page.rotorOk()) << ::testing::PrintToString(bench.prompter.texts());
    const auto settings = bench.unit().settings();
    EXPECT_EQ(settings.uiScanDist, 9000);
    EXPECT_EQ(settings.uiTubeTopPistonPos, 2000);
    EXPECT_EQ(settings.uiTubeEndPistonPos, 11000);
    EXPECT_DOUBLE_EQ(prefs().getDouble("[scan]", "distance"), 90.0);
    EXPECT_DOUBLE_EQ(host.runInfo()->volumePerMm, 0.2);
    EXPECT_EQ(host.runInfo()->rotorModelIndex, 0);
    EXPECT_TRUE(page.step2Unlocked());
    EXPECT_EQ(statuses.front(), "Moving piston to upper limit switch...");
    EXPECT_EQ(statuses.back(), "Scan settings sent to Kelvo.");

    EXPECT_EQ(page.scanDistance, "90.00");
    EXPECT_EQ(bench.prompter.texts().size(), 1U);  // the rotor refused, nothing more

    bench.unit().setPistonPositionMm(31.4);
    ASSERT_TRUE(page.zeroPosition());
    EXPECT_NEAR(host.zeroOffset(), 31.4, 0.02);
    EXPECT_TRUE(page.zeroed());
    EXPECT_EQ(page.position, "0.0");
}

// ROTOR OK sends the tube's whole length: a shorter distance typed and
// confirmed before is replaced, and the operator hears of it.
TEST_F(Chain, RotorOkAgainReplacesATypedDistanceAndSaysSo) {
    double kept = -1.0;
    ScanSetupPage page({bench.folder.path(), bench.prompter, host, unit, bench.session, zero(), {}, false,
                        [&kept](double mm) { kept = mm; }});
    page.open();
    page.rotorEntry = 0;
    ASSERT_TRUE(page.rotorOk()) << ::testing::PrintToString(bench.prompter.texts());
    page.scanDistance = "60";
    ASSERT_TRUE(page.confirm());
    EXPECT_DOUBLE_EQ(kept, 60.0);
    EXPECT_TRUE(page.goToGraphEnabled());
    const auto told = bench.prompter.texts().size();

    ASSERT_TRUE(page.rotorOk());
    EXPECT_EQ(page.scanDistance, "90.00");
    EXPECT_EQ(bench.unit().settings().uiScanDist, 9000);
    ASSERT_EQ(bench.prompter.texts().size(), told + 1);
    EXPECT_EQ(bench.prompter.texts().back(),
              "ROTOR OK set SCAN DISTANCE to the tube's length, 90.00 mm, in place of the 60.00 mm typed before. "
              "To scan less, type the distance again and press OK.");
    // The 60 mm kept for the unit goes with it: OK is asked for again.
    EXPECT_DOUBLE_EQ(kept, 0.0);
    EXPECT_FALSE(page.goToGraphEnabled());

    // The same distance typed again is no replacement.
    ASSERT_TRUE(page.rotorOk());
    EXPECT_EQ(bench.prompter.texts().size(), told + 1);
}

// A rotor without a line in "rotors.txt" has no tube: nothing moves or is
// sent, and the message names the line to add. A line whose top is 0 gives
// a tube without a top, which only an identical run's lead needs.
TEST_F(Chain, RotorOkWithoutTheRotorsLineSendsNothingAndSaysWhichLine) {
    auto page = scan();
    page.open();
    page.rotorEntry = 2;  // SW32.1: no line
    const auto before = bench.unit().settings();
    EXPECT_FALSE(page.rotorOk());
    EXPECT_EQ(bench.prompter.texts(),
              (std::vector<std::string>{
                  "Error, " + (bench.folder / "rotors.txt").string() +
                  " has no line for the rotor \"SW32.1\" under \"Beckman\", so nothing was sent to Kelvo. Add its "
                  "line (the rotor, the distances in mm from the upper limit switch to the top and to the bottom of "
                  "the tube, and the volume per mm) and press ROTOR OK again."}));
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(bench.unit().settings(), before);
    EXPECT_FALSE(page.step2Unlocked());
    page.scanDistance = "10";
    EXPECT_FALSE(page.checkDistance());
    page.spinDistance(true);

    host.setIdenticalRun(true);
    auto beside = scan(true);
    beside.open();
    beside.rotorEntry = 1;  // SW28: "0 95", no top
    beside.scanDistance = "10";
    EXPECT_FALSE(beside.checkDistance());
    beside.spinDistance(true);
    host.setIdenticalRun(false);
    auto modal = scan(false);
    modal.open();
    modal.rotorEntry = 1;
    modal.scanDistance = "10";
    EXPECT_TRUE(modal.checkDistance());  // 95 mm of tube, no lead to measure
    const std::vector<std::string> expected = {"Error, unable to get distance for this tube.",
                                               "Error, tube distance not available.",
                                               "Error, unable to get upper limit to top of tube distance.",
                                               "Error, unable to get upper limit to top of tube distance."};
    const std::vector<std::string> texts = bench.prompter.texts();
    ASSERT_EQ(texts.size(), expected.size() + 1);
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.end()), expected);
}

TEST_F(Chain, RotorOkOnAUnitThatRefusesTheSettingsSaysSoOnceAndKeepsNothing) {
    auto page = scan();
    page.open();
    page.rotorEntry = 0;
    const auto before = bench.unit().settings();
    const auto distance = prefs().getDouble("[scan]", "distance");
    bench.unit().setFaults(SimFaults{.refuseSettings = -1});
    bench.prompter.clear();
    EXPECT_FALSE(page.rotorOk());
    EXPECT_EQ(bench.prompter.texts(),
              (std::vector<std::string>{"Error, unable to send scan distance to Kelvo. Please try "
                                        "pressing the ROTOR OK button again."}));
    EXPECT_EQ(statuses.back(), "Error, unable to send scan distance to Kelvo.");
    EXPECT_EQ(bench.unit().settings(), before);
    EXPECT_DOUBLE_EQ(prefs().getDouble("[scan]", "distance"), distance);
    EXPECT_FALSE(page.step2Unlocked());

    // As the message says: pressed again once the unit takes settings.
    bench.unit().setFaults({});
    ASSERT_TRUE(page.rotorOk());
    EXPECT_EQ(bench.unit().settings().uiScanDist, 9000);
    EXPECT_TRUE(page.step2Unlocked());
}

TEST_F(Chain, GoToZeroBringsTheNeedlesBackToTheSavedZero) {
    host.setZeroOffset(6.0);
    const auto before = bench.unit().settings();
    auto page = scan();
    page.open();
    ASSERT_TRUE(page.goToZero()) << ::testing::PrintToString(bench.prompter.texts());
    EXPECT_NEAR(bench.unit().pistonPositionMm(), 6.0, 0.1);
    EXPECT_EQ(bench.unit().settings(), before);  // the settings of the start are back
    EXPECT_EQ(statuses.back(), "Goto zero completed.");
}

TEST_F(Chain, APageReaderAndTheReceiveThreadNeverBothRead) {
    ASSERT_TRUE(bench.waitFor([&] { return bench.controller.samplesShown() > 5; }, 5000));
    std::int64_t before = 0;
    {
        PageReader reader(unit, [](UvLink& link) {
            Cmd0 packet;
            return link.ReadCmd0(packet);
        }, {});
        before = bench.controller.samplesShown();
        ASSERT_TRUE(bench.waitFor([&] { return reader.packetsRead() >= 20; }, 10000));
        // A turn already under way when the reader started may end with its sample.
        EXPECT_LE(bench.controller.samplesShown(), before + 1);
    }
    const auto held = bench.controller.samplesShown();
    EXPECT_TRUE(bench.waitFor([&] { return bench.controller.samplesShown() > held + 5; }, 5000));
}

TEST_F(Chain, ZeroOdOnEitherPageTakesCountsReadAfterItsPrompt) {
    bench.unit().setMedium(SimMedium::Air);
    bench.prompter.onMessage([this](const std::string& text) {
        if (text == LedSetupPage::kImmersePure) {
            bench.unit().setMedium(SimMedium::Water);
            bench.unit().setLedPosition(SimChannel::A, 60.0);  // the source reads 1.1 x the nominal
        }
    });
    auto page = led();
    page.zeroOd();
    EXPECT_EQ(bench.prompter.texts(),
              (std::vector<std::string>{LedSetupPage::kImmersePure, "Zero calibration completed."}));
    // Water under the needles: factor = sample / source of the simulated optics (60000 / (58000 x 1.1)).
    EXPECT_NEAR(prefs().getDouble("[data]", "factor_a"), 60000.0 / (58000.0 * 1.1), 0.005);
    EXPECT_NEAR(prefs().getDouble("[data]", "factor_b"), 45000.0 / 44000.0, 0.005);

    SimFaults silent;
    silent.silent = true;
    bench.unit().setFaults(silent);
    auto scanPage = scan();
    scanPage.zeroOd();
    EXPECT_EQ(bench.prompter.texts().back(), "Unable to acquire any data for zeroing OD.");
}

TEST_F(Chain, ASilentUnitLeavesTheLedPageWithItsMessageAndNoConfiguration) {
    SimFaults silent;
    silent.silent = true;
    bench.unit().setFaults(silent);
    auto page = led();
    EXPECT_FALSE(page.open());
    EXPECT_EQ(bench.prompter.texts().back(), "Unable to get configuration from UV unit.");
    EXPECT_FALSE(page.configuration());
}

TEST(SimAssistant, MovesTheNeedlesAsThePromptsSayUnlessTurnedOff) {
    test::ManualClock clock;
    SimKelvoUnit unit(clock);
    test::ScriptedPrompter shown;
    SimAssistant assistant(shown, unit);
    assistant.message("Insert needles into pure water.");
    EXPECT_EQ(unit.medium(), SimMedium::Water);
    assistant.message("Insert needles into 1.00 (0.23) OD solution.");
    EXPECT_EQ(unit.medium(), SimMedium::Reference);
    // Setup and calibration modes keep them in the beaker; a mode that moves
    // the piston has them back in the tube's gradient.
    unit.setMode(kModeSetup);
    unit.setMode(kModeCalibration);
    EXPECT_EQ(unit.medium(), SimMedium::Reference);
    unit.setMode(kModeManual);
    EXPECT_EQ(unit.medium(), SimMedium::Tube);
    assistant.message(LedSetupPage::kImmerseTips);
    EXPECT_EQ(unit.medium(), SimMedium::Water);
    unit.setMode(kModeAuto);
    EXPECT_EQ(unit.medium(), SimMedium::Tube);

    // The operator's own choice stays through every mode.
    unit.setMedium(SimMedium::Air);
    unit.setMode(kModeManual);
    EXPECT_EQ(unit.medium(), SimMedium::Air);
    assistant.setFollowing(false);
    assistant.message(LedSetupPage::kImmerseTips);
    EXPECT_EQ(unit.medium(), SimMedium::Air);
    EXPECT_EQ(shown.texts().size(), 4U);  // every message still reaches the operator
}

// Every question of a simulated session reaches the operator's own dialogs.
TEST(SimAssistant, PassesTheColourAndColumnChoosersOn) {
    test::ManualClock clock;
    SimKelvoUnit unit(clock);
    test::ScriptedPrompter shown;
    SimAssistant assistant(shown, unit);
    shown.scriptColour(0x00FF00);
    EXPECT_EQ(assistant.chooseColour(0xFF), 0x00FF00);
    shown.scriptColumns(ColumnChoice{2, 0});
    EXPECT_EQ(assistant.chooseColumns({"wide.tsv", {"a", "b", "c"}, 0, 1}), (ColumnChoice{2, 0}));
    EXPECT_EQ(shown.columnRequests().size(), 1U);
}

}  // namespace
}  // namespace corvane
