#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "app/Version.h"
#include "link/Packets.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCopy.h"
#include "runs/RunRecorder.h"
#include "runs/TempFolder.h"

namespace corvane {
namespace {

using test::readFile;

constexpr CalendarTime kNow{2024, 3, 5, 9, 7, 3};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::string afterFirstLine(const std::string& text) { return text.substr(text.find('\n') + 1); }

RunInfo fullRunInfo() {
    RunInfo info;
    info.userName = "Ann Lee";
    info.experimentName = "Gradient test";
    info.uvUnit = RunInfo::kSingleWavelength;
    info.rotorManufacturer = "Hitachi";
    info.rotorModel = "RPS40T";
    info.speed = "40";
    info.gradient = "Sucrose";
    info.gradientPercent1 = 10.0;
    info.gradientPercent2 = 45.5;
    info.gradientUnits = RunInfo::kVolumePerVolume;
    info.spinTime = "3h";
    info.w2tMantissa = "1.8";
    info.w2tExponent = 11;
    info.sampleVolume = "0.25";
    info.numberOfTubes = 4;
    info.volumePerMm = 0.125;
    info.temperature = 4.5;
    return info;
}

DeviceSettings device() {
    DeviceSettings d;
    d.potValue = 3;
    d.dutyCycleA = 60;
    d.sampleIntervalMs = 50;
    d.scanSpeed = 10;  // 1.0 mm/s
    d.scanDistance = 8550;
    return d;
}

SampleRecord sample(std::uint32_t n, double positionA, double positionB) {
    SampleRecord r;
    r.sampleA = 1000 + n;
    r.sourceA = 500 + n;
    r.sampleB = 900 + n;
    r.sourceB = 450 + n;
    r.absorbanceA = 0.125 * n;
    r.absorbanceB = 0.25;
    r.ratio = 0.5 * n;
    r.positionA = positionA;
    r.positionB = positionB;
    return r;
}

class RunRecorderTest : public ::testing::Test {
protected:
    RunRecorderTest() { std::filesystem::create_directories(dir.path() / "TEMP"); }

    RunRecorder makeRecorder() {
        return RunRecorder(prompter, {dir.path(), dir.path() / "TEMP"}, [] { return kNow; });
    }
    std::filesystem::path tempRun() const { return dir.path() / "TEMP" / "temp_run.csv"; }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
};

TEST_F(RunRecorderTest, HeaderWithoutRunInfoIsTitleVersionDateTimeAndTheColumns) {
    auto recorder = makeRecorder();
    ASSERT_TRUE(recorder.open(tempRun(), {}));
    EXPECT_EQ(readFile(tempRun()), std::string("Corvane Text Data File: temp_run.csv\n") +
                                       "Version: " + kVersionText + "\n" +
                                       "Date: 2024-03-05\nTime: 09:07:03\n\n\nData Columns:\n" +
                                       std::string(kTwoChannelColumns) + "\n");
}

TEST_F(RunRecorderTest, HeaderCarriesEveryRunInfoLineAndTheUnitsSettings) {
    auto recorder = makeRecorder();
    ASSERT_TRUE(recorder.open(tempRun(), {fullRunInfo(), device(), {}}));
    const auto lines = linesOf(readFile(tempRun()));
    const std::vector<std::string> expected = {
        "Corvane Text Data File: temp_run.csv",
        std::string("Version: ") + kVersionText,
        "Date: 2024-03-05",
        "Time: 09:07:03",
        "",
        "User: Ann Lee",
        "Experiment name: Gradient test",
        "UV Unit: Single Wavelength",
        "Rotor Manufacturer: Hitachi",
        "Rotor Model: RPS40T",
        "Speed: 40 krpm",
        "Gradient: Sucrose 10.0% to 45.5% v/v",
        "Time: 3h",
        "w2t: 1.8 x 10^11",
        "Sample Volume: 0.25 ml",
        "Number of Tubes: 4",
        "Volume per mm: 0.125 ml/mm",
        "Temperature: 4.5 deg C",
        "",
        "pC: 150",
        "Sample Interval: 50 ms",
        "A:B Duty Cycle: 60:40",
        "Samples/mm: 20.00",
        "Scan Speed: 1.00 mm/sec",
        "Scan Distance: 85.5 mm",
        "",
        "Data Columns:",
        std::string(kTwoChannelColumns),
    };
    EXPECT_EQ(lines, expected);
}

// A stored settings packet keeps its scan speed in wire order; the header
// must show the speed the unit was sent, converted once.
TEST(DeviceSettings, ComeFromTheLastSettingsPacketWithTheScanSpeedConvertedOnce) {
    Cmd0 packet;
    packet.ucATODGain = 3;
    packet.ucDutyCycleA = 60;
    packet.uiIntegrationTime = 50;
    packet.setScanSpeed(10);
    packet.uiScanDist = 8550;
    EXPECT_NE(packet.iScanSpeed, 10);
    EXPECT_EQ(deviceSettingsFrom(packet), device());
}

TEST_F(RunRecorderTest, AbsentTextsLeaveTheirLinesEmptyAfterTheColon) {
    RunInfo info;
    info.uvUnit = RunInfo::kDe1;
    info.gradientPercent1 = 5.0;  // no name: no percentages either
    auto recorder = makeRecorder();
    ASSERT_TRUE(recorder.open(tempRun(), {info, {}, {}}));
    const auto lines = linesOf(readFile(tempRun()));
    ASSERT_GE(lines.size(), 14U);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 5, lines.begin() + 14),
              (std::vector<std::string>{"User: ", "Experiment name: ", "UV Unit: DE-1",
                                        "Rotor Manufacturer: ", "Rotor Model: ", "Speed: ",
                                        "Gradient: ", "Time: ", "w2t: "}));
    EXPECT_EQ(lines[14], "Sample Volume: ");
    // Without a RunInfo (a run with no description) the unit's settings
    // are still written: the scan speed and the sample rate the run used.
    ASSERT_TRUE(recorder.open(dir.path() / "TEMP" / "other.csv", {std::nullopt, device(), {}}));
    ASSERT_TRUE(recorder.close(false));
    RunDataFile bare;
    ASSERT_EQ(bare.read(dir.path() / "TEMP" / "other.csv"), RunDataFile::ReadStatus::Ok);
    EXPECT_FALSE(bare.header().hasRunInfo);
    ASSERT_TRUE(bare.header().device.has_value());
    EXPECT_EQ(bare.header().device->scanSpeed, 1.0);
    EXPECT_EQ(bare.header().device->sampleIntervalMs, 50);
}

TEST_F(RunRecorderTest, WrittenHeaderReadsBackFieldByField) {
    auto recorder = makeRecorder();
    const RunInfo written = fullRunInfo();
    ASSERT_TRUE(recorder.open(tempRun(), {written, device(), {}}));
    ASSERT_TRUE(recorder.close(false));

    RunDataFile run;
    ASSERT_EQ(run.read(tempRun()), RunDataFile::ReadStatus::Ok);
    const auto& h = run.header();
    EXPECT_EQ(h.fileTitle, "temp_run.csv");
    EXPECT_EQ(h.version, kVersionText);
    EXPECT_EQ(h.recordedAt(), kNow);
    const auto& info = h.info;
    EXPECT_EQ(info.userName, written.userName);
    EXPECT_EQ(info.experimentName, written.experimentName);
    EXPECT_EQ(info.uvUnit, written.uvUnit);
    EXPECT_EQ(info.rotorManufacturer, written.rotorManufacturer);
    EXPECT_EQ(info.rotorModel, written.rotorModel);
    EXPECT_EQ(info.manufacturerIndex, 2);
    EXPECT_EQ(info.rotorModelIndex, 6);
    EXPECT_EQ(info.speed, written.speed);
    EXPECT_EQ(info.gradient, written.gradient);
    EXPECT_EQ(info.gradientPercent1, written.gradientPercent1);
    EXPECT_EQ(info.gradientPercent2, written.gradientPercent2);
    EXPECT_EQ(info.gradientUnits, written.gradientUnits);
    EXPECT_EQ(info.spinTime, written.spinTime);
    EXPECT_EQ(info.w2tMantissa, written.w2tMantissa);
    EXPECT_EQ(info.w2tExponent, written.w2tExponent);
    EXPECT_EQ(info.sampleVolume, written.sampleVolume);
    EXPECT_EQ(info.numberOfTubes, written.numberOfTubes);
    EXPECT_EQ(info.volumePerMm, written.volumePerMm);
    EXPECT_EQ(info.temperature, written.temperature);
    ASSERT_TRUE(h.device);
    EXPECT_EQ(h.device->pc, 150);
    EXPECT_EQ(h.device->sampleIntervalMs, 50);
    EXPECT_EQ(h.device->dutyCycleA, 60);
    EXPECT_EQ(h.device->dutyCycleB, 40);
    EXPECT_EQ(h.device->samplesPerMm, 20.0);
    EXPECT_EQ(h.device->scanSpeed, 1.0);
    EXPECT_EQ(h.device->scanDistance, 85.5);
}

TEST_F(RunRecorderTest, ADescriptionOfSeveralLinesIsOneHeaderLineThatReadsBackWhole) {
    auto recorder = makeRecorder();
    RunInfo written = fullRunInfo();
    written.experimentName = "liver, 12 tubes\nrepeat of run 3\r\nspeed \\ time";
    ASSERT_TRUE(recorder.open(tempRun(), {written, device(), {}}));
    ASSERT_TRUE(recorder.close(false));
    const std::string text = readFile(tempRun());
    EXPECT_NE(text.find("\nExperiment name: liver, 12 tubes\\nrepeat of run 3\\nspeed \\\\ time\nUV Unit: "),
              std::string::npos);
    RunDataFile run;
    ASSERT_EQ(run.read(tempRun()), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(run.header().info.experimentName, "liver, 12 tubes\nrepeat of run 3\nspeed \\ time");
    EXPECT_EQ(run.header().info.userName, written.userName);  // the lines after it are read as before
}

TEST_F(RunRecorderTest, EachRowIsInTheFileAsSoonAsItIsWritten) {
    auto recorder = makeRecorder();
    ASSERT_TRUE(recorder.open(tempRun(), {}));
    const auto headerSize = readFile(tempRun()).size();
    recorder.writeSample(sample(1, 1.0, 0.95));
    const auto afterOne = readFile(tempRun());
    EXPECT_EQ(afterOne.substr(headerSize),
              "1001, 501, 901, 451, 1.00, 0.125000, 0.95, 0.250000, 0.95, 0.500000\n");
    recorder.writeSample(sample(2, 1.1, 1.05));
    EXPECT_EQ(readFile(tempRun()).substr(afterOne.size()),
              "1002, 502, 902, 452, 1.10, 0.250000, 1.05, 0.250000, 1.05, 1.000000\n");
    EXPECT_EQ(recorder.failedWrites(), 0);
}

TEST_F(RunRecorderTest, SaveAsChangesOnlyTheFirstLineAndRemovesTheTemporaryFile) {
    auto recorder = makeRecorder();
    ASSERT_TRUE(recorder.open(tempRun(), {fullRunInfo(), device(), {}}));
    for (std::uint32_t n = 1; n <= 5; ++n) {
        recorder.writeSample(sample(n, n * 0.1, n * 0.1 - 0.05));
    }
    const auto recorded = readFile(tempRun());
    const auto target = dir.path() / "Ann's run.csv";
    ASSERT_TRUE(recorder.saveAs(target));
    EXPECT_FALSE(recorder.isOpen());
    EXPECT_FALSE(std::filesystem::exists(tempRun()));
    const auto saved = readFile(target);
    EXPECT_EQ(saved.substr(0, saved.find('\n')), "Corvane Text Data File: Ann's run.csv");
    EXPECT_EQ(afterFirstLine(saved), afterFirstLine(recorded));
    EXPECT_TRUE(prompter.transcript().empty());
}

TEST_F(RunRecorderTest, ASaveThatCannotCreateItsTargetKeepsTheRunInTemp) {
    auto recorder = makeRecorder();
    ASSERT_TRUE(recorder.open(tempRun(), {}));
    recorder.writeSample(sample(1, 1.0, 0.9));
    const auto recorded = readFile(tempRun());
    const auto target = dir.path() / "no such folder" / "run.csv";
    EXPECT_FALSE(recorder.saveAs(target));
    EXPECT_EQ(prompter.texts(),
              std::vector<std::string>{"Error, unable to create file: " + target.string()});
    EXPECT_EQ(readFile(tempRun()), recorded);
    // Saving onto the run file itself loses nothing either.
    ASSERT_TRUE(recorder.open(tempRun(), {}));
    recorder.writeSample(sample(1, 1.0, 0.9));
    ASSERT_TRUE(recorder.saveAs(tempRun()));
    RunDataFile run;
    ASSERT_EQ(run.read(tempRun()), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(run.samples().size(), 1U);
}

TEST_F(RunRecorderTest, ClosingKeepsAndCleansOrDeletesTheRunFile) {
    auto recorder = makeRecorder();
    ASSERT_TRUE(recorder.open(tempRun(), {}));
    // The piston stands still for two samples.
    recorder.writeSample(sample(1, 1.0, 0.9));
    recorder.writeSample(sample(2, 1.0, 0.9));
    recorder.writeSample(sample(3, 1.1, 1.0));
    ASSERT_TRUE(recorder.close(false));
    RunDataFile run;
    ASSERT_EQ(run.read(tempRun()), RunDataFile::ReadStatus::Ok);
    ASSERT_EQ(run.samples().size(), 2U);
    EXPECT_EQ(run.samples()[1].sampleA, 1003U);
    EXPECT_FALSE(recorder.close(false));  // nothing open any more

    // The kept run's name is taken: the next run gets a file of its own.
    ASSERT_TRUE(recorder.open(tempRun(), {}));
    ASSERT_EQ(recorder.path(), numberedName(tempRun(), 2));
    ASSERT_TRUE(recorder.close(true));
    EXPECT_FALSE(std::filesystem::exists(numberedName(tempRun(), 2)));
    EXPECT_EQ(run.read(tempRun()), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(run.samples().size(), 2U);
}

TEST_F(RunRecorderTest, RunsStartedUnderOneNameGetAFileEachThatTempKeepsAndAges) {
    // Two programs recording in one folder, started in the same second.
    auto first = makeRecorder();
    auto second = makeRecorder();
    ASSERT_TRUE(first.open(tempRun(), {}));
    ASSERT_TRUE(second.open(tempRun(), {}));
    ASSERT_EQ(second.path(), dir.path() / "TEMP" / "temp_run-2.csv");
    first.writeSample(sample(1, 1.0, 0.9));
    second.writeSample(sample(2, 2.0, 1.9));

    TempFolder temp({dir.path(), dir.path() / "TEMP"}, prompter);
    EXPECT_EQ(temp.countRuns(), 2);
    EXPECT_EQ(temp.discardOldest(0), 0) << "runs being recorded are never discarded";
    ASSERT_TRUE(first.close(false));
    ASSERT_TRUE(second.close(false));

    for (const auto& [file, title, sampleA] :
         {std::tuple{tempRun(), "temp_run.csv", 1001U}, {second.path(), "temp_run-2.csv", 1002U}}) {
        RunDataFile run;
        ASSERT_EQ(run.read(file), RunDataFile::ReadStatus::Ok);
        EXPECT_EQ(run.header().fileTitle, title);
        EXPECT_TRUE(run.header().recordedAt().has_value());
        ASSERT_EQ(run.samples().size(), 1U) << file;
        EXPECT_EQ(run.samples()[0].sampleA, sampleA);
    }
    EXPECT_EQ(temp.discardOldest(1), 1);
    EXPECT_EQ(temp.countRuns(), 1);
}

TEST_F(RunRecorderTest, AFileThatCannotBeCreatedIsReportedAndRowsGoNowhere) {
    auto recorder = makeRecorder();
    const auto path = dir.path() / "missing" / "run.csv";
    EXPECT_FALSE(recorder.open(path, {}));
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Error, unable to open file: " + path.string()});
    EXPECT_FALSE(recorder.isOpen());
    recorder.writeSample(sample(1, 1.0, 0.9));
    EXPECT_FALSE(recorder.saveAs(dir.path() / "x.csv"));
}

Em1RunWriter::Setup em1Setup(int delayType) {
    Em1RunWriter::Setup setup;
    setup.settings.aufs = 3;
    setup.settings.wavelength = 254.0;
    setup.settings.samplesPerSec = 10.0;
    setup.settings.speed = 0.5;
    setup.settings.fractionDistance = 4.0;
    setup.settings.numberOfFractions = 10;
    setup.settings.deadVolume = 0.25;
    setup.settings.totalDistance = 40.0;
    setup.settings.delayType = delayType;
    setup.tubingLength = 350.0;
    return setup;
}

TEST_F(RunRecorderTest, De1RunHasItsBlockAndFractionRows) {
    auto recorder = makeRecorder();
    RunInfo info;
    info.volumePerMm = 0.125;
    auto setup = em1Setup(Em1Settings::kEventWithDelay);
    setup.overlayPlan = OverlayPlan{{{0.0, 10.0, 2}, {10.0, 25.5, 3}}, 1};
    ASSERT_TRUE(recorder.open(tempRun(), {info, std::nullopt, setup}));
    EXPECT_TRUE(recorder.isEm1Run());
    recorder.writeEm1Sample(0.0, 0.01, 0);
    recorder.writeEm1Sample(0.5, 0.02, 0x8001);   // the start mark: fraction 0
    recorder.writeEm1Sample(1.0, 0.03, 0x8000);   // not above the threshold
    recorder.writeEm1Sample(4.5, 0.04, 0x9000);   // after the start delay: R
    recorder.writeEm1Sample(8.5, 0.05, 0xFFFF);   // automatic fraction
    recorder.writeEm1Sample(12.5, 0.06, 0x9000);  // third mark: 2 with a delay
    recorder.writeEm1Sample(12.6, 0.07, 0);
    EXPECT_EQ(recorder.finishEm1Run(12.6, 0.07), RunRecorder::ClosingRow::Written);
    const auto text = readFile(tempRun());
    const auto blockStart = text.find("Absorbance Units");
    ASSERT_NE(blockStart, std::string::npos);
    EXPECT_EQ(text.substr(blockStart),
              "Absorbance Units Full Scale (AUFS): 0.10\n"
              "Event Mark-triggered gradient; (with distance; auto start and stop)\n"
              "Delay: Event with Delay\n"
              "UV Wavelength: 254 nm\n"
              "Samples / sec: 10 Hz\n"
              "EM1 Speed: 0.50 mm/sec\n"
              "Distance: 4.00 mm\n"
              "Number: 10\n"
              "Dead Volume: 0.250000 ml; Distance due to Dead Volume: 2.00 mm\n"
              "Length of Tubing: 350 mm\n"
              "Total Distance: 40.00 mm\n"
              "\n[overlay plan]\nnumzones 2\nzone001 0.00 10.00 2\nzone002 10.00 25.50 3\nautofrac 1\n"
              "\nData Columns:\n"
              "Distance(mm), Absorbance, Fraction Number, Fraction Volume(ml)\n"
              "0.00, 0.010000, , \n"
              "0.50, 0.020000, 0, 0.062\n"
              "1.00, 0.030000, , \n"
              "4.50, 0.040000, R, 0.500\n"
              "8.50, , A, 0.500\n"
              "12.50, 0.060000, 2, 0.500\n"
              "12.60, 0.070000, , \n"
              "12.60, 0.070000, 3, 0.012\n");
    // The last sample was a mark now: no second closing row.
    EXPECT_EQ(recorder.finishEm1Run(12.6, 0.07), RunRecorder::ClosingRow::NotDue);
}

TEST_F(RunRecorderTest, TheLatestAufsChangeSitsDirectlyUnderTheAufsLine) {
    auto recorder = makeRecorder();
    ASSERT_TRUE(recorder.open(tempRun(), {std::nullopt, std::nullopt, em1Setup(0)}));
    recorder.writeEm1Sample(1.0, 0.1, 0);
    ASSERT_TRUE(recorder.writeAufsChange(5, 3.25));
    recorder.writeEm1Sample(3.5, 0.2, 0);
    ASSERT_TRUE(recorder.writeAufsChange(7, 9.5));
    recorder.writeEm1Sample(9.75, 0.3, 0);
    const auto lines = linesOf(readFile(tempRun()));
    const auto aufs = std::find(lines.begin(), lines.end(), "Absorbance Units Full Scale (AUFS): 0.10");
    ASSERT_NE(aufs, lines.end());
    EXPECT_EQ(*(aufs + 1), "AUFS changed to 2.00 at 9.50 mm.");
    EXPECT_EQ(*(aufs + 2), "AUFS changed to 0.50 at 3.25 mm.");
    EXPECT_EQ(lines.back(), "9.75, 0.300000, , ");
    EXPECT_EQ(lines[lines.size() - 2], "3.50, 0.200000, , ");
    // No RunInfo: the dead volume is spread over the default tube's 0.143 ml/mm.
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Dead Volume: 0.250000 ml; Distance due to Dead Volume: 1.75 mm"),
              lines.end());
    // A two-channel run has no AUFS line to change.
    ASSERT_TRUE(recorder.open(dir.path() / "TEMP" / "two.csv", {}));
    EXPECT_FALSE(recorder.writeAufsChange(2, 1.0));
}

// Marks move back by the dead volume (0.25 ml at 0.125 ml/mm: 2 mm) once:
// in the saved copy, not in a run kept in TEMP, which a rescue shifts later.
TEST_F(RunRecorderTest, ADe1RunIsShiftedWhenSavedAndKeptAsRecordedInTemp) {
    RunInfo info;
    info.volumePerMm = 0.125;
    const RunDescription description{info, std::nullopt, em1Setup(Em1Settings::kNoDelay)};
    const auto record = [&](RunRecorder& recorder) {
        ASSERT_TRUE(recorder.open(tempRun(), description));
        for (int i = 0; i <= 8; ++i) {
            recorder.writeEm1Sample(i * 0.5, 0.1, i == 6 ? 0x9000 : 0);  // a mark at 3.00 mm
        }
        recorder.writeEm1Sample(4.0, 0.1, 0);  // the piston stood for a sample
    };
    const auto markAt = [](const std::filesystem::path& file) {
        RunDataFile run;
        EXPECT_EQ(run.read(file), RunDataFile::ReadStatus::Ok);
        for (const auto& row : run.em1Samples()) {
            if (row.eventMark) return row.distance;
        }
        return -1.0;
    };
    auto recorder = makeRecorder();
    record(recorder);
    ASSERT_TRUE(recorder.close(false));
    EXPECT_DOUBLE_EQ(markAt(tempRun()), 3.0);
    RunDataFile kept;
    ASSERT_EQ(kept.read(tempRun()), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(kept.em1Samples().size(), 8U);  // 0.00 and the standing sample dropped

    record(recorder);
    const auto saved = dir.path() / "saved.csv";
    ASSERT_TRUE(recorder.saveAs(saved));
    EXPECT_DOUBLE_EQ(markAt(saved), 1.0);
    EXPECT_TRUE(prompter.texts().empty());
}

// Rows come from the acquisition thread while the user changes the AUFS: no
// row may be lost, doubled or cut by the rewrite.
TEST_F(RunRecorderTest, RowsFromAnotherThreadSurviveAufsChanges) {
    auto recorder = makeRecorder();
    ASSERT_TRUE(recorder.open(tempRun(), {std::nullopt, std::nullopt, em1Setup(0)}));
    constexpr int kRows = 3000;
    std::thread acquisition([&] {
        for (int i = 1; i <= kRows; ++i) {
            recorder.writeEm1Sample(i * 0.01, 0.5, 0);
        }
    });
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(recorder.writeAufsChange(i % 8, i));
    }
    acquisition.join();
    RunDataFile run;
    ASSERT_EQ(run.read(tempRun()), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(run.header().aufsChanges.size(), 20U);
    ASSERT_EQ(run.em1Samples().size(), static_cast<std::size_t>(kRows));
    for (int i = 1; i <= kRows; ++i) {
        ASSERT_DOUBLE_EQ(run.em1Samples()[static_cast<std::size_t>(i - 1)].distance,
                         std::round(i * 0.01 * 100) / 100);
    }
}

}  // namespace
}  // namespace corvane
