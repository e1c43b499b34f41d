#include <gtest/gtest.h>

#include <string>

#include "runs/Em1RunWriter.h"

namespace corvane {
namespace {

std::string rowOf(Em1RunWriter& writer, double distance, double absorbance, std::uint32_t raw) {
    RowText row;
    writer.formatSample(row, distance, absorbance, raw);
    return std::string(row.view());
}

Em1RunWriter::Setup setupWith(int delayType, int signalType) {
    Em1RunWriter::Setup setup;
    setup.settings.delayType = delayType;
    setup.settings.signalType = signalType;
    setup.settings.fractionDistance = 2.0;
    return setup;
}

TEST(Em1RunWriter, WithoutStartDelayFractionsCountFromZeroAndAutomaticOnesComeFromTheSecondOn) {
    Em1RunWriter writer(setupWith(Em1Settings::kNoDelay, Em1Settings::kEventTriggered), 0.1);
    // An automatic mark among the first two is an ordinary one.
    EXPECT_EQ(rowOf(writer, 1.0, 0.5, 0xFFFF), "1.00, 0.500000, 0, 0.100\n");
    EXPECT_EQ(rowOf(writer, 3.0, 0.5, 0xFFFF), "3.00, 0.500000, 1, 0.200\n");
    EXPECT_EQ(rowOf(writer, 4.0, 0.5, 0xFFFF), "4.00, , A, 0.200\n");
    EXPECT_EQ(rowOf(writer, 5.0, 0.5, 0x8001), "5.00, 0.500000, 3, 0.100\n");
    // The piston went back: no negative volume, and the last mark stays at 5 mm.
    EXPECT_EQ(rowOf(writer, 4.5, 0.5, 0x8001), "4.50, 0.500000, 4, 0.000\n");
    EXPECT_EQ(rowOf(writer, 6.0, 0.5, 0x8001), "6.00, 0.500000, 5, 0.100\n");
    EXPECT_EQ(writer.eventRows(), 6);
}

TEST(Em1RunWriter, AManuallyTriggeredRunWritesNoMarks) {
    Em1RunWriter writer(setupWith(Em1Settings::kOdSensingStart, Em1Settings::kManualTriggered),
                        std::nullopt);
    EXPECT_EQ(rowOf(writer, 1.0, 0.25, 0xFFFF), "1.00, 0.250000, , \n");
    RowText row;
    EXPECT_FALSE(writer.formatClosingRow(row, 1.0, 0.25));
    const auto block = writer.headerBlock();
    EXPECT_NE(block.find("\nManual-triggered gradient; (with distance; but no event marks)\n"
                         "Delay: OD Sensing Start\n"),
              std::string::npos);
    // Manual start counts as "any other" delay type.
    Em1RunWriter manualStart(setupWith(Em1Settings::kManualTriggeredStart, 0), std::nullopt);
    EXPECT_NE(manualStart.headerBlock().find("Delay: OD Sensing Start\n"), std::string::npos);
}

TEST(Em1RunWriter, AufsStepsAndTheirValues) {
    EXPECT_DOUBLE_EQ(Em1RunWriter::aufsValue(0), 0.01);
    EXPECT_DOUBLE_EQ(Em1RunWriter::aufsValue(3), 0.10);
    EXPECT_DOUBLE_EQ(Em1RunWriter::aufsValue(7), 2.00);
    EXPECT_DOUBLE_EQ(Em1RunWriter::aufsValue(9), 2.00);
    Em1RunWriter writer(setupWith(0, 0), 0.0);  // a volume per mm of 0 counts as none
    writer.setAufs(6);
    EXPECT_EQ(writer.headerBlock().substr(0, 41), "Absorbance Units Full Scale (AUFS): 1.00\n");
    EXPECT_DOUBLE_EQ(writer.automaticFractionVolume(), 2.0 * 0.143);
}

}  // namespace
}  // namespace corvane
