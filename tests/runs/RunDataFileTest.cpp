#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "TempDir.h"
#include "runs/RunDataFile.h"

namespace corvane {
namespace {

const std::filesystem::path kFixtures = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs";

RunDataFile readFixture(const char* name) {
    RunDataFile run;
    EXPECT_EQ(run.read(kFixtures / name), RunDataFile::ReadStatus::Ok) << name;
    return run;
}

TEST(RunDataFile, ReadsTheTwoChannelLayoutWithEveryHeaderField) {
    const auto run = readFixture("two_channel.csv");
    EXPECT_EQ(run.layout(), RunFileLayout::TwoChannel);
    const auto& h = run.header();
    EXPECT_EQ(h.fileTitle, "two_channel.csv");
    EXPECT_EQ(h.version, "0.1.0");
    ASSERT_TRUE(h.recordedAt());
    EXPECT_EQ(*h.recordedAt(), (CalendarTime{2023, 11, 7, 14, 5, 9}));
    const auto& info = h.info;
    EXPECT_TRUE(h.hasRunInfo);
    EXPECT_EQ(info.userName, "Ann Lee");
    EXPECT_EQ(info.experimentName, "Polysome profile 3");
    EXPECT_EQ(info.uvUnit, RunInfo::kDualWavelength);
    EXPECT_EQ(info.rotorManufacturer, "Beckman");
    EXPECT_EQ(info.manufacturerIndex, 0);
    EXPECT_EQ(info.rotorModel, "SW41Ti");
    EXPECT_EQ(info.rotorModelIndex, 4);
    EXPECT_EQ(info.speed, "39");
    EXPECT_EQ(info.gradient, "Sucrose");
    EXPECT_DOUBLE_EQ(info.gradientPercent1, 10.0);
    EXPECT_DOUBLE_EQ(info.gradientPercent2, 50.0);
    EXPECT_EQ(info.gradientUnits, RunInfo::kWeightPerVolume);
    EXPECT_EQ(info.spinTime, "2:30");
    EXPECT_EQ(info.w2tMantissa, "2.5");
    EXPECT_EQ(info.w2tExponent, 11);
    EXPECT_EQ(info.sampleVolume, "0.5");
    EXPECT_EQ(info.numberOfTubes, 6);
    EXPECT_DOUBLE_EQ(info.volumePerMm, 0.143);
    EXPECT_DOUBLE_EQ(info.temperature, 4.0);
    ASSERT_TRUE(h.device);
    EXPECT_EQ(h.device->pc, 150);
    EXPECT_EQ(h.device->sampleIntervalMs, 50);
    EXPECT_EQ(h.device->dutyCycleA, 60);
    EXPECT_EQ(h.device->dutyCycleB, 40);
    EXPECT_DOUBLE_EQ(h.device->samplesPerMm, 20.0);
    EXPECT_DOUBLE_EQ(h.device->scanSpeed, 1.0);
    EXPECT_DOUBLE_EQ(h.device->scanDistance, 85.0);
    EXPECT_FALSE(h.em1);

    // The text line and the row cut short before its ten fields are skipped.
    ASSERT_EQ(run.samples().size(), 4U);
    const auto& first = run.samples()[0];
    EXPECT_EQ(first.sampleA, 1000U);
    EXPECT_EQ(first.sourceA, 500U);
    EXPECT_EQ(first.sampleB, 900U);
    EXPECT_EQ(first.sourceB, 450U);
    EXPECT_DOUBLE_EQ(first.positionA, 1.0);
    EXPECT_DOUBLE_EQ(first.absorbanceA, 0.2);
    EXPECT_DOUBLE_EQ(first.positionB, 0.9);
    EXPECT_DOUBLE_EQ(first.absorbanceB, 0.4);
}

// The ratios in the file (9.0, nan, -inf) are ignored; by hand:
//   1st: first record, 0.2 / 0.4 = 0.5; its B lies below its A, so it stays.
//   2nd: B (1.20) above A (1.10): completed by the 3rd, ((0.4 + 0.6) / 2) / 0.5 = 1.0.
//   3rd: B below A: ((0.6 + 0.4) / 2) / 0.3 = 1.666...
//   4th: absorbance B of 0: not a number.
TEST(RunDataFile, RecomputesTheRatioFromNeighbouringReadings) {
    const auto run = readFixture("two_channel.csv");
    ASSERT_EQ(run.samples().size(), 4U);
    EXPECT_DOUBLE_EQ(run.samples()[0].ratio, 0.5);
    EXPECT_DOUBLE_EQ(run.samples()[1].ratio, 1.0);
    EXPECT_DOUBLE_EQ(run.samples()[2].ratio, 0.5 / 0.3);
    EXPECT_TRUE(std::isnan(run.samples()[3].ratio));
}

TEST(RunDataFile, ALastRecordWithBAboveAKeepsARatioOfZeroUntilANeighbourArrives) {
    RunDataFile run;
    SampleRecord r;
    r.absorbanceA = 0.3, r.absorbanceB = 0.6, r.positionA = 1.0, r.positionB = 0.9;
    run.appendSample(r);
    r.absorbanceA = 0.5, r.absorbanceB = 0.25, r.positionA = 1.1, r.positionB = 1.2;
    run.appendSample(r);
    EXPECT_DOUBLE_EQ(run.samples()[0].ratio, 0.5);
    EXPECT_DOUBLE_EQ(run.samples()[1].ratio, 0.0);
    // A neighbour whose own B is 0 leaves it alone as well.
    r.absorbanceB = 0.0;
    run.appendSample(r);
    EXPECT_DOUBLE_EQ(run.samples()[1].ratio, 0.0);
    EXPECT_TRUE(std::isnan(run.samples()[2].ratio));
}

TEST(RunDataFile, ReadsTheOlderTwoChannelLayouts) {
    auto six = readFixture("six_column.csv");
    EXPECT_EQ(six.layout(), RunFileLayout::SixColumn);
    ASSERT_EQ(six.samples().size(), 2U);
    EXPECT_EQ(six.samples()[1].sampleB, 201U);
    EXPECT_EQ(six.samples()[1].sourceB, 101U);
    EXPECT_DOUBLE_EQ(six.samples()[1].absorbanceB, 0.6);
    EXPECT_DOUBLE_EQ(six.samples()[0].positionA, 0.0);
    // No positions: every record is completed by the next one.
    EXPECT_DOUBLE_EQ(six.samples()[0].ratio, ((0.25 + 0.3) / 2) / 0.5);

    // The raw/ref spelling, with four characters after it and CR LF line ends.
    auto raw = readFixture("six_column_raw_crlf.csv");
    EXPECT_EQ(raw.layout(), RunFileLayout::SixColumn);
    ASSERT_EQ(raw.samples().size(), 1U);
    EXPECT_DOUBLE_EQ(raw.samples()[0].absorbanceB, 0.5);

    // Seven columns although the header starts with the six-column text; a row
    // without its position is skipped.
    auto seven = readFixture("seven_column.csv");
    EXPECT_EQ(seven.layout(), RunFileLayout::SevenColumn);
    ASSERT_EQ(seven.samples().size(), 2U);
    EXPECT_DOUBLE_EQ(seven.samples()[0].positionA, 3.5);
    EXPECT_DOUBLE_EQ(seven.samples()[0].positionB, 3.5);
    EXPECT_DOUBLE_EQ(seven.samples()[1].positionA, 3.7);

    auto eight = readFixture("eight_column.csv");
    EXPECT_EQ(eight.layout(), RunFileLayout::EightColumn);
    ASSERT_EQ(eight.samples().size(), 1U);
    EXPECT_DOUBLE_EQ(eight.samples()[0].positionA, 1.0);
    EXPECT_DOUBLE_EQ(eight.samples()[0].positionB, 0.95);
    EXPECT_EQ(eight.samples()[0].sourceB, 100U);

    auto fluorescence = readFixture("fluorescence.csv");
    EXPECT_EQ(fluorescence.layout(), RunFileLayout::Fluorescence);
    ASSERT_EQ(fluorescence.samples().size(), 1U);
    EXPECT_DOUBLE_EQ(fluorescence.samples()[0].absorbanceB, 12.5);
    EXPECT_DOUBLE_EQ(fluorescence.samples()[0].positionB, 0.95);
}

TEST(RunDataFile, TheSixColumnHeaderCountsOnlyOnLinesShorterThan51Characters) {
    const std::string six = "sampleA, sourceA, absA, sampleB, sourceB, absB";
    RunDataFile run;
    run.parse(six + "abcd\n1, 2, 0.5, 3, 4, 0.25\n");
    EXPECT_EQ(run.layout(), RunFileLayout::SixColumn);
    EXPECT_EQ(run.samples().size(), 1U);
    EXPECT_EQ(run.parse(six + "abcde\n1, 2, 0.5, 3, 4, 0.25\n"),
              RunDataFile::ReadStatus::NoColumnHeader);
    EXPECT_EQ(run.samples().size(), 0U);
}

TEST(RunDataFile, ReadsDe1RowsWithTheirFractionCodes) {
    const auto run = readFixture("em1.csv");
    EXPECT_EQ(run.layout(), RunFileLayout::Em1);
    EXPECT_TRUE(run.isEm1());
    const auto& h = run.header();
    EXPECT_EQ(h.info.uvUnit, RunInfo::kDe1);
    EXPECT_EQ(h.info.manufacturerIndex, 1);
    EXPECT_EQ(h.info.rotorModelIndex, 2);
    EXPECT_EQ(h.info.speed, "");
    EXPECT_EQ(h.info.gradient, "");
    EXPECT_DOUBLE_EQ(h.info.volumePerMm, 0.2);
    ASSERT_TRUE(h.em1);
    const auto& e = *h.em1;
    EXPECT_DOUBLE_EQ(e.aufsValue, 0.5);
    EXPECT_EQ(e.settings.aufs, 5);
    EXPECT_EQ(e.settings.signalType, Em1Settings::kEventTriggered);
    EXPECT_EQ(e.settings.delayType, Em1Settings::kEventWithDelay);
    EXPECT_DOUBLE_EQ(e.settings.wavelength, 280.0);
    EXPECT_DOUBLE_EQ(e.settings.samplesPerSec, 10.0);
    EXPECT_DOUBLE_EQ(e.settings.speed, 0.5);
    EXPECT_DOUBLE_EQ(e.settings.fractionDistance, 5.0);
    EXPECT_EQ(e.settings.numberOfFractions, 8);
    EXPECT_DOUBLE_EQ(e.settings.deadVolume, 0.4);
    EXPECT_DOUBLE_EQ(e.deadVolumeDistance, 2.0);
    EXPECT_DOUBLE_EQ(e.tubingLength, 300.0);
    EXPECT_DOUBLE_EQ(e.settings.totalDistance, 40.0);
    ASSERT_EQ(h.aufsChanges.size(), 2U);
    EXPECT_DOUBLE_EQ(h.aufsChanges[0].aufs, 1.0);
    EXPECT_DOUBLE_EQ(h.aufsChanges[0].distance, 12.5);
    EXPECT_DOUBLE_EQ(h.aufsChanges[1].distance, 3.0);

    const auto& rows = run.em1Samples();
    ASSERT_EQ(rows.size(), 6U);  // "not a row" and the fraction row without its volume are skipped
    EXPECT_EQ(rows[0], (Em1Sample{0.0, 0.01, 0, 0.0, true}));
    EXPECT_EQ(rows[1], (Em1Sample{0.05, 0.011, Em1Sample::kNoFraction, 0.0, false}));
    EXPECT_EQ(rows[2], (Em1Sample{5.0, 0.02, Em1Sample::kRestart, 1.0, true}));
    EXPECT_EQ(rows[3], (Em1Sample{10.0, 0.03, 1, 1.0, true}));
    EXPECT_DOUBLE_EQ(rows[4].distance, 10.05);
    EXPECT_TRUE(std::isnan(rows[4].absorbance));
    EXPECT_EQ(rows[4].fraction, Em1Sample::kAutomatic);
    EXPECT_DOUBLE_EQ(rows[4].volume, 1.0);
    EXPECT_TRUE(std::isnan(rows[5].distance));  // a buffered row
    EXPECT_DOUBLE_EQ(rows[5].absorbance, 0.04);
}

TEST(RunDataFile, ReadsTheOlderDe1LayoutWithItsEventColumn) {
    const auto run = readFixture("em1_events.csv");
    EXPECT_EQ(run.layout(), RunFileLayout::Em1Events);
    ASSERT_EQ(run.em1Samples().size(), 4U);
    EXPECT_FALSE(run.em1Samples()[0].eventMark);
    EXPECT_TRUE(run.em1Samples()[1].eventMark);
    EXPECT_DOUBLE_EQ(run.em1Samples()[3].absorbance, 0.03);
}

TEST(RunDataFile, RecognisesBothExportLayouts) {
    const auto exported = readFixture("export.csv");
    EXPECT_EQ(exported.layout(), RunFileLayout::Export);
    EXPECT_TRUE(exported.isExport());
    const auto& sets = exported.exportedSets();
    ASSERT_EQ(sets.size(), 2U);
    EXPECT_EQ(sets[0].name, "first.csv");
    EXPECT_EQ(sets[1].offset, 1);
    ASSERT_EQ(sets[0].samples.size(), 2U);
    ASSERT_EQ(sets[1].samples.size(), 2U);
    EXPECT_DOUBLE_EQ(sets[1].samples[0].positionA, 0.2);
    EXPECT_DOUBLE_EQ(sets[1].samples[0].absorbanceA, 0.25);
    EXPECT_TRUE(std::isnan(sets[1].samples[1].positionA));

    const auto older = readFixture("older_export.csv");
    EXPECT_EQ(older.layout(), RunFileLayout::OlderExport);
    EXPECT_TRUE(older.isExport());
    ASSERT_EQ(older.exportedSets().size(), 2U);
    EXPECT_EQ(older.exportedSets()[1].name, "b.csv");
    EXPECT_EQ(older.exportedSets()[1].offset, 2);
}

TEST(RunDataFile, ReadsTheLineEndsOfEveryDesktopSystemAlike) {
    const auto lf = test::readFile(kFixtures / "two_channel.csv");
    ASSERT_EQ(lf.find('\r'), std::string::npos);
    const auto withEnds = [&lf](const char* end) {
        std::string text;
        for (const char c : lf) {
            c == '\n' ? text += end : text += c;
        }
        return text;
    };
    test::TempDir dir;
    for (const char* end : {"\r\n", "\r"}) {
        RunDataFile run;
        ASSERT_EQ(run.read(dir.write("run.csv", withEnds(end))), RunDataFile::ReadStatus::Ok);
        EXPECT_EQ(run.layout(), RunFileLayout::TwoChannel);
        EXPECT_EQ(run.header().fileTitle, "two_channel.csv");
        EXPECT_EQ(run.header().info.experimentName, "Polysome profile 3");
        ASSERT_EQ(run.samples().size(), 4U);
        EXPECT_DOUBLE_EQ(run.samples()[3].positionA, readFixture("two_channel.csv").samples()[3].positionA);
    }
    // An overlong line ended by a lone CR is skipped up to that CR only.
    const std::string row = "1, 2, 3, 4, 1.0, 0.1, 0.9, 0.2, 0.9, 0.5\r";
    RunDataFile run;
    run.parse(std::string(kTwoChannelColumns) + "\r" + row + std::string(3 << 20, '7') + "\r" + row);
    EXPECT_EQ(run.samples().size(), 2U);
}

TEST(RunDataFile, ReportsAFileWithoutColumnHeader) {
    RunDataFile run;
    EXPECT_EQ(run.read(kFixtures / "no_header.csv"), RunDataFile::ReadStatus::NoColumnHeader);
    EXPECT_FALSE(run.hasColumnHeader());
    EXPECT_EQ(run.sampleCount(), 0U);
    EXPECT_EQ(run.read(kFixtures / "missing.csv"), RunDataFile::ReadStatus::CannotOpen);
}

TEST(RunDataFile, SurvivesHostileInput) {
    const std::string header(kTwoChannelColumns);
    RunDataFile run;

    // Binary junk before and after the header, NUL bytes included.
    std::mt19937 random(7);
    std::string junk(1 << 16, '\0');
    for (auto& c : junk) c = static_cast<char>(random());
    run.parse(junk + "\n" + header + "\n" + junk + "\n1, 2, 3, 4, 1.0, 0.1, 0.9, 0.2, 0.9, 0.5\n");
    EXPECT_EQ(run.layout(), RunFileLayout::TwoChannel);
    EXPECT_GE(run.samples().size(), 1U);

    // A 3 MB line between rows: its head is read like any line, the rows around it stay.
    const std::string row = "1, 2, 3, 4, 1.0, 0.1, 0.9, 0.2, 0.9, 0.5\n";
    run.parse(header + "\n" + row + std::string(3 << 20, '7') + "\n" + row);
    EXPECT_EQ(run.samples().size(), 2U);

    // Not-a-number and infinite texts are numbers to scanf and to us (the
    // writer puts "inf" where a reading was 0); numbers out of range and rows
    // cut short are refused.
    run.parse(header + "\n1, 2, 3, 4, nan, inf, -inf, NAN, -nan, 0\n" +
              "99999999999, 2, 3, 4, 1, 1, 1, 1, 1, 1\n1, 2, 3, 4, 1e999, 1, 1, 1, 1, 1\n" +
              "1, 2, 3, 4, 1.0, 0.1, 0.9\n");
    ASSERT_EQ(run.samples().size(), 1U);
    EXPECT_TRUE(std::isnan(run.samples()[0].positionA));
    EXPECT_TRUE(std::isinf(run.samples()[0].absorbanceA));

    // A header line and nothing else, an empty input, a lone CR.
    EXPECT_EQ(run.parse(header), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(run.parse(""), RunDataFile::ReadStatus::NoColumnHeader);
    EXPECT_EQ(run.parse("\r"), RunDataFile::ReadStatus::NoColumnHeader);
}

}  // namespace
}  // namespace corvane
