#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "base/TextFormat.h"
#include "compare/CompareSets.h"

namespace corvane {
namespace {

const std::filesystem::path kRuns = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs";

// A two-channel run of `rows` samples starting at `start` mm, 0.1 mm apart;
// Abs A rises with the sample and peaks at `top`.
std::string run(int rows, double start = 0.0, double top = 1.0) {
    std::string text =
        "Corvane Text Data File: r.csv\n\nData Columns:\n"
        "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < rows; ++i) {
        text += formatText("%d, 500, 900, 450, %.2f, %.6f, %.2f, 0.500000, %.2f, 1.0\n", 1000 + i, start + 0.1 * i,
                           top * i / (rows - 1), start + 0.1 * i, start + 0.1 * i);
    }
    return text;
}

TEST(CompareSets, DialogChecksAndChannelLabelFollowTheirOrder) {
    EXPECT_EQ(multiDataSetsProblem(-1, 1), "Error, must choose a plot type.");
    EXPECT_EQ(multiDataSetsProblem(2, 1), "Must select at least 2 data files.");
    EXPECT_EQ(multiDataSetsProblem(2, 5), "Can not have any more than 4 data files.");
    EXPECT_EQ(multiDataSetsProblem(6, 4), "");

    std::array<bool, kPlotTypeCount> shown{true, true, false, true, true, false, true};
    EXPECT_EQ(compareChannelLabel(shown, false), "AbsA/AbsB") << "Abs A off, the ratio on";
    shown[2] = true;
    EXPECT_EQ(compareChannelLabel(shown, false), "Abs A");
    EXPECT_EQ(compareChannelLabel(shown, true), "Abs");
    EXPECT_EQ(compareChannelLabel({false, true, false, true, true, false, false}, false), "Sample B");
    EXPECT_EQ(compareChannelLabel({false, true, false, false, true, false, false}, false), "Source A");
    EXPECT_EQ(compareChannelLabel({}, false), "");
}

TEST(CompareSets, XRangeFollowsTheAxisRules) {
    test::TempDir dir;
    CompareSets sets;
    ASSERT_EQ(sets.load({dir.write("a.csv", run(800, 2.0)), dir.write("b.csv", run(1200, 1.0, 3.0))}), "");
    CompareOffsets offsets;
    EXPECT_EQ(sets.xRange(false, false, offsets), (AxisRange{0.0, 1200.0}));
    ASSERT_TRUE(offsets.setXOffset(1, 300.0));
    EXPECT_EQ(sets.xRange(true, false, offsets), (AxisRange{0.0, 1500.0}));
    ASSERT_TRUE(offsets.setXOffset(0, -50.0));
    EXPECT_EQ(sets.xRange(true, false, offsets), (AxisRange{-50.0, 1500.0}));
    const auto mm = sets.xRange(true, true, offsets);
    EXPECT_DOUBLE_EQ(mm.min, 1.0);
    EXPECT_NEAR(mm.max, 1.0 + 119.9, 1e-9);
    EXPECT_EQ(sets.valueRange(2), (AxisRange{0.0, 3.0}));
    EXPECT_EQ(sets.listLines(), (std::vector<std::string>{"a.csv, 800 samples", "b.csv, 1200 samples"}));
}

TEST(CompareSets, LoadRefusesExportFilesAndKeepsNothingOfAFailedList) {
    test::TempDir dir;
    const auto a = dir.write("a.csv", run(10));
    const auto b = dir.write("b.csv", run(20));
    const auto c = dir.write("c.csv", run(30));
    CompareSets sets;
    ASSERT_EQ(sets.load({a, b}), "");

    const auto bundle = kRuns / "export.csv";
    EXPECT_EQ(sets.load({a, bundle, c}), "Error, " + bundle.string() +
                                             " is an exported Corvane file. It cannot be compared with other files.");
    EXPECT_EQ(sets.load({kRuns / "older_export.csv", a}),
              "Error, " + (kRuns / "older_export.csv").string() +
                  " is an exported Tellmar file. It cannot be compared with other files.");
    EXPECT_EQ(sets.load({a, kRuns / "no_header.csv"}),
              "Error, unable to open data file " + (kRuns / "no_header.csv").string());
    EXPECT_EQ(sets.loadNumbered({a, b, dir / "gone.csv"}),
              "Error, unable to open data file 3 (" + (dir / "gone.csv").string() + ")");
    EXPECT_EQ(sets.paths(), (std::vector<std::filesystem::path>{a, b})) << "the sets shown stay";
}

TEST(CompareSets, RemovingKeepsTheRemainingSetsPlacementsAndNeverLeavesOne) {
    test::TempDir dir;
    const auto a = dir.write("a.csv", run(10));
    const auto b = dir.write("b.csv", run(20));
    const auto c = dir.write("c.csv", run(30));
    CompareSets sets;
    ASSERT_EQ(sets.load({a, b, c}), "");
    CompareOffsets offsets;
    (void)offsets.setXOffset(2, 12.0);
    (void)offsets.setYGain(2, 2.5);
    (void)offsets.setYOffset(0, 0.1);
    (void)offsets.setXOffset(1, 99.0);

    ASSERT_EQ(sets.remove({1}, offsets), "");
    EXPECT_EQ(sets.paths(), (std::vector<std::filesystem::path>{a, c}));
    EXPECT_EQ(offsets.placement(0).yOffset, 0.1);
    EXPECT_EQ(offsets.placement(1), (SetPlacement{1.0, 2.5, 0.0, 12.0}));
    EXPECT_EQ(offsets.placement(2), SetPlacement{});

    EXPECT_EQ(sets.remove({0}, offsets), kTooFewLeft);
    EXPECT_EQ(sets.size(), 2u);
    EXPECT_EQ(offsets.placement(1).xOffset, 12.0);

    // Add File(s): a new list; the sets shown before keep their placement.
    const auto before = sets.paths();
    const CompareOffsets old = offsets;
    ASSERT_EQ(sets.loadNumbered({c, b, a}), "");
    sets.carryPlacements(before, old, offsets);
    EXPECT_EQ(offsets.placement(0).xOffset, 12.0);
    EXPECT_EQ(offsets.placement(1), SetPlacement{});
    EXPECT_EQ(offsets.placement(2).yOffset, 0.1);

    const auto exported = sets.exportSets(offsets);
    ASSERT_EQ(exported.size(), 3u);
    EXPECT_EQ(exported[0].name, "c.csv");
    EXPECT_EQ(exported[0].parameters.yGain, 2.5);
    EXPECT_EQ(exported[2].absorbance.size(), 10u);
}

}  // namespace
}  // namespace corvane
