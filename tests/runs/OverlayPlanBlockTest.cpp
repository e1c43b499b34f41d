#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "TempDir.h"
#include "app/FileReplace.h"
#include "runs/OverlayPlanBlock.h"

namespace corvane {
namespace {

const OverlayPlan kPlan{{{0.0, 12.5, 5}, {12.5, 30.0, 10}}, 0};

// A standard run's header as the DE-1 writer leaves it, with a block of an
// earlier plan.
constexpr std::string_view kRunWithOldPlan =
    "Corvane Text Data File: SR-a.csv\n"
    "Distance: 3.00 mm\n"
    "Number: 12\n"
    "Total Distance: 36.00 mm\n"
    "\n"
    "[overlay plan]\n"
    "numzones 1\n"
    "zone001 0.00 40.00 4\n"
    "autofrac 1\n"
    "\n"
    "Data Columns:\n"
    "Distance(mm), Absorbance, Fraction Number, Fraction Volume(ml)\n"
    "1.00, 0.100000, , \n";

TEST(OverlayPlanBlock, WrittenBlockReadsBack) {
    const std::string block = overlayPlanBlock(kPlan, "SR-liver.csv");
    EXPECT_EQ(block,
              "[overlay plan]\nnumzones 2\nzone001 0.00 12.50 5\nzone002 12.50 30.00 10\n"
              "autofrac 0\nfilename SR-liver.csv\n");
    const auto read = readOverlayPlan(block);
    EXPECT_TRUE(read.found);
    EXPECT_EQ(read.plan, kPlan);
    EXPECT_EQ(read.filename, "SR-liver.csv");
}

TEST(OverlayPlanBlock, MissingOrDamagedBlocksReadAsFarAsTheyGo) {
    const auto none = readOverlayPlan("Corvane Text Data File: x.csv\nData Columns:\n[overlay plan]\nnumzones 1\n");
    EXPECT_FALSE(none.found);  // nothing after the data columns is a header
    EXPECT_TRUE(none.plan.zones.empty());

    // zone002 has no first number: the plan stops before it; autofrac is
    // still read; CR LF line ends and a key of another section change nothing.
    const auto cut = readOverlayPlan(
        "[overlay plan]\r\nnumzones 3\r\nzone001 0.00 5.00 2\r\nzone002 x 5.00 3\r\nzone003 9 10 1\r\n"
        "autofrac 1\r\n[other]\r\nnumzones 7\r\n");
    ASSERT_EQ(cut.plan.zones.size(), 1u);
    EXPECT_EQ(cut.plan.zones[0], (OverlayZone{0.0, 5.0, 2}));
    EXPECT_EQ(cut.plan.autofrac, 1);
    // Numbers missing after the first read as 0, as in any settings file.
    const auto shortLines = readOverlayPlan("[overlay plan]\nnumzones 2\nzone001 0 5\nzone002 5 x 3\n");
    EXPECT_EQ(shortLines.plan.zones, (std::vector<OverlayZone>{{0, 5, 0}, {5, 0, 0}}));

    // A hostile count is bounded by what the keys can name.
    const auto many = readOverlayPlan("[overlay plan]\nnumzones 2000000000\nzone001 0 1 1\n");
    EXPECT_EQ(many.plan.zones.size(), 1u);
}

TEST(OverlayPlanBlock, RewritingLeavesExactlyOneBlockBeforeTheData) {
    const auto once = withOverlayPlan(kRunWithOldPlan, kPlan, PlanHeaderLines{2.5, 30.0, 15});
    ASSERT_TRUE(once.has_value());
    EXPECT_EQ(*once,
              "Corvane Text Data File: SR-a.csv\n"
              "Distance: 2.50 mm\n"
              "Number: 15\n"
              "Total Distance: 30.00 mm\n"
              "\n"
              "[overlay plan]\nnumzones 2\nzone001 0.00 12.50 5\nzone002 12.50 30.00 10\nautofrac 0\n"
              "\n"
              "Data Columns:\n"
              "Distance(mm), Absorbance, Fraction Number, Fraction Volume(ml)\n"
              "1.00, 0.100000, , \n");
    // Again: the same text, one block.
    EXPECT_EQ(withOverlayPlan(*once, kPlan, PlanHeaderLines{2.5, 30.0, 15}), once);
    // Without the fraction lines only the block changes.
    const auto plain = withOverlayPlan(kRunWithOldPlan, kPlan, std::nullopt);
    ASSERT_TRUE(plain.has_value());
    EXPECT_NE(plain->find("Distance: 3.00 mm\n"), std::string::npos);
    EXPECT_EQ(readOverlayPlan(*plain).plan, kPlan);
    // No data columns: no run file, nothing written.
    EXPECT_FALSE(withOverlayPlan("Corvane Text Data File: a\n", kPlan, std::nullopt).has_value());
}

// Files with CR LF or lone CR line ends (older desktop systems wrote both):
// the block goes where the readers look and takes the file's line end, and
// the old block goes; a copy's title replaces the first line only.
TEST(OverlayPlanBlock, OtherLineEndsAreKept) {
    for (const std::string ending : {"\r\n", "\r"}) {
        std::string run(kRunWithOldPlan);
        for (std::size_t at = run.find('\n'); at != std::string::npos; at = run.find('\n', at + ending.size())) {
            run.replace(at, 1, ending);
        }
        const auto once = withOverlayPlan(run, kPlan, PlanHeaderLines{2.5, 30.0, 15});
        ASSERT_TRUE(once.has_value()) << ending.size();
        std::string ends = *once;
        for (std::size_t at = ends.find(ending); at != std::string::npos; at = ends.find(ending, at)) {
            ends.erase(at, ending.size());
        }
        EXPECT_EQ(ends.find_first_of("\r\n"), std::string::npos);  // every line end is the file's
        EXPECT_NE(once->find("Distance: 2.50 mm" + ending), std::string::npos);
        const auto read = readOverlayPlan(*once);
        EXPECT_EQ(read.plan, kPlan);
        EXPECT_EQ(withOverlayPlan(*once, kPlan, PlanHeaderLines{2.5, 30.0, 15}), once);

        test::TempDir dir;
        std::ofstream(dir.path() / "a.csv", std::ios::binary) << run;
        int error = 0;
        ASSERT_EQ(writeStandardRun(dir.path() / "a.csv", dir.path() / "SR-b.csv", kPlan, std::nullopt, error),
                  PlanWriteResult::Ok);
        const auto copy = readOverlayPlanFile(dir.path() / "SR-b.csv");
        ASSERT_TRUE(copy.has_value());
        EXPECT_EQ(copy->plan, kPlan);
        const auto copied = readWholeFile(dir.path() / "SR-b.csv", 1 << 20);
        ASSERT_TRUE(copied.has_value());
        const std::string head = "Corvane Text Data File: SR-b.csv" + ending + "Distance: 3";
        EXPECT_EQ(copied->substr(0, head.size()), head);
    }
    // A "Data Column" line ended by a lone CR inside an LF file ends the
    // header there for the readers: the block goes before it.
    const auto mixed = withOverlayPlan("Corvane Text Data File: a\nx\rData Columns:\r1, 2\nData Columns:\n", kPlan,
                                       std::nullopt);
    ASSERT_TRUE(mixed.has_value());
    EXPECT_EQ(readOverlayPlan(*mixed).plan, kPlan);
}

TEST(OverlayPlanBlock, FileIsRewrittenInPlace) {
    test::TempDir dir;
    const auto path = dir.path() / "SR-a.csv";
    std::ofstream(path) << kRunWithOldPlan;
    EXPECT_EQ(writeOverlayPlan(path, kPlan, std::nullopt), PlanWriteResult::Ok);
    const auto read = readOverlayPlanFile(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->plan, kPlan);
    EXPECT_FALSE(readOverlayPlanFile(dir.path() / "missing.csv").has_value());
    EXPECT_FALSE(readOverlayPlanFile(dir.path()).has_value());  // a folder
    EXPECT_EQ(writeOverlayPlan(dir.path() / "missing.csv", kPlan, std::nullopt), PlanWriteResult::CannotRead);
}

}  // namespace
}  // namespace corvane
