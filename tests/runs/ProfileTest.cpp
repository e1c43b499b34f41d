#include <gtest/gtest.h>

#include <filesystem>

#include "runs/Profile.h"
#include "runs/RunDataFile.h"

namespace corvane {
namespace {

const std::filesystem::path kFixtures = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs";

RunDataFile readFixture(const char* name) {
    RunDataFile run;
    EXPECT_EQ(run.read(kFixtures / name), RunDataFile::ReadStatus::Ok) << name;
    return run;
}

TEST(Profile, ATwoChannelRunGivesTheChannelAgainstItsOwnPosition) {
    const RunDataFile run = readFixture("two_channel.csv");
    const auto a = profileFromRun(run, "two_channel.csv");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->format, ProfileFormat::Corvane);
    EXPECT_EQ(a->channel, "absA");
    EXPECT_EQ(a->xUnit, "mm");
    EXPECT_EQ(a->yUnit, "AU");
    ASSERT_EQ(a->size(), run.samples().size());
    ASSERT_EQ(a->x.size(), a->y.size());
    EXPECT_DOUBLE_EQ(a->x[1], run.samples()[1].positionA);
    EXPECT_DOUBLE_EQ(a->y[1], run.samples()[1].absorbanceA);
    EXPECT_TRUE(a->recorded);

    const auto b = profileFromRun(run, "two_channel.csv", RunChannel::AbsB);
    ASSERT_TRUE(b);
    EXPECT_DOUBLE_EQ(b->x[1], run.samples()[1].positionB);
    EXPECT_DOUBLE_EQ(b->y[1], run.samples()[1].absorbanceB);
}

TEST(Profile, ADe1RunKeepsItsMarksAndSkipsRowsWithoutAPoint) {
    const auto p = profileFromRun(readFixture("em1.csv"), "em1.csv", RunChannel::AbsB);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->channel, "absorbance");
    // Six rows: the "A" row has no absorbance and the buffered row no distance.
    ASSERT_EQ(p->size(), 4U);
    EXPECT_DOUBLE_EQ(p->x[3], 10.0);
    ASSERT_EQ(p->marks.size(), 4U);
    EXPECT_EQ(p->marks[0], (ProfileMark{0.0, "0"}));
    EXPECT_EQ(p->marks[1], (ProfileMark{5.0, "R"}));
    EXPECT_EQ(p->marks[3], (ProfileMark{10.05, "A"}));
}

TEST(Profile, AnExportFileIsNotOneProfile) {
    EXPECT_FALSE(profileFromRun(readFixture("export.csv"), "export.csv"));
}

TEST(Profile, ChannelsByNameOrNumber) {
    EXPECT_EQ(parseRunChannel("ABSB"), RunChannel::AbsB);
    EXPECT_EQ(parseRunChannel("6"), RunChannel::Ratio);
    EXPECT_FALSE(parseRunChannel("7"));
    EXPECT_FALSE(parseRunChannel("abs"));
    EXPECT_STREQ(runChannelName(RunChannel::SourceB), "sourceB");
}

}  // namespace
}  // namespace corvane
