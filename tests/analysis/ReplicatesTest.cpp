#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SyntheticProfiles.h"
#include "analysis/Alignment.h"
#include "analysis/ProfileAnalysis.h"
#include "analysis/Replicates.h"

namespace corvane {
namespace {

TEST(Alignment, OneLandmarkShiftsTwoStretch) {
    const std::vector<double> own{10.0, 30.0};
    const std::vector<double> reference{12.0, 52.0};
    const auto one = alignmentOf(std::span(own).first(1), std::span(reference).first(1));
    ASSERT_TRUE(one);
    EXPECT_EQ(*one, (XMapping{1.0, 2.0}));
    const auto two = alignmentOf(own, reference);
    ASSERT_TRUE(two);
    EXPECT_DOUBLE_EQ((*two)(10.0), 12.0);
    EXPECT_DOUBLE_EQ((*two)(30.0), 52.0);
    EXPECT_DOUBLE_EQ(two->scale, 2.0);
    const std::vector<double> same{5.0, 5.0};
    EXPECT_FALSE(alignmentOf(same, reference)) << "two landmarks at one x stretch to nothing";
    EXPECT_FALSE(alignmentOf(own, std::span(reference).first(1)));

    // A profile recorded 1.5 mm later and 10 % stretched comes back onto the reference.
    const std::vector<test::Bump> peaks{{31, 1.4, 0.9}, {38, 1.3, 0.5}};
    const Profile ref = test::bumps(test::evenX(0, 60, 0.1), peaks);
    Profile late = ref;
    for (double& x : late.x) x = 1.1 * x + 1.5;
    const std::vector<double> found{1.1 * 31 + 1.5, 1.1 * 38 + 1.5};
    const std::vector<double> wanted{31, 38};
    const Profile back = mapped(late, *alignmentOf(found, wanted));
    const auto read = resampled(back.x, back.y, ref.x);
    for (std::size_t i = 5; i + 5 < ref.size(); i += 37) {
        EXPECT_NEAR(read[i], ref.y[i], 1e-9);
    }
}

TEST(Alignment, ResamplingReadsBetweenSamplesInAnyOrderOfX) {
    const std::vector<double> x{3.0, 1.0, 2.0};
    const std::vector<double> y{30.0, 10.0, 20.0};
    const std::vector<double> at{1.5, 2.75, 0.0, 4.0};
    const auto inside = resampled(x, y, at);
    EXPECT_DOUBLE_EQ(inside[0], 15.0);
    EXPECT_DOUBLE_EQ(inside[1], 27.5);
    EXPECT_TRUE(std::isnan(inside[2]));
    const auto nearest = resampled(x, y, at, Outside::Nearest);
    EXPECT_DOUBLE_EQ(nearest[2], 10.0);
    EXPECT_DOUBLE_EQ(nearest[3], 30.0);
    EXPECT_FALSE(normalised(y, 0.0));
    EXPECT_DOUBLE_EQ((*normalised(y, 10.0))[0], 3.0);
}

TEST(Replicates, MeanAndSpreadOfRatiosAndOfProfiles) {
    std::vector<Ratios> group(3);
    group[0].pm.value = 2.0;
    group[1].pm.value = 4.0;
    group[2].pm.value = 3.0;
    group[0].s60s40.value = 1.5;  // the others have no 40S
    const auto r = groupRatios(group);
    EXPECT_EQ(r.pm.n, 3u);
    EXPECT_DOUBLE_EQ(r.pm.mean, 3.0);
    EXPECT_DOUBLE_EQ(r.pm.sd, 1.0);
    EXPECT_EQ(r.s60s40.n, 1u);
    EXPECT_DOUBLE_EQ(r.s60s40.mean, 1.5);
    EXPECT_TRUE(std::isnan(r.s60s40.sd));
    EXPECT_EQ(r.pTotal.n, 0u);
    EXPECT_TRUE(std::isnan(r.pTotal.mean));

    const Profile a = test::bumps(test::evenX(0, 10, 1), {{5, 1, 1.0}});
    const Profile b = test::bumps(test::evenX(0, 10, 1), {{5, 1, 3.0}});
    const Profile shorter = test::bumps(test::evenX(0, 5, 1), {{5, 1, 2.0}});
    const auto mean = meanProfile({&a, &b, &shorter}, a.x);
    EXPECT_DOUBLE_EQ(mean.mean[5], 2.0);
    EXPECT_DOUBLE_EQ(mean.sd[5], 1.0);
    EXPECT_EQ(mean.n[5], 3u);
    EXPECT_EQ(mean.n[8], 2u) << "the short one does not reach 8";
}

TEST(Replicates, TheSameFileTwiceIsNoReplicate) {
    const Profile a = test::bumps(test::evenX(0, 10, 1), {{5, 1, 1.0}}, 0.0, 0.01, 1);
    Profile copy = a;
    copy.name = "another name.csv";
    const Profile other = test::bumps(test::evenX(0, 10, 1), {{5, 1, 1.0}}, 0.0, 0.01, 2);
    const auto same = sameProfiles({&a, &other, &copy});
    ASSERT_EQ(same.size(), 1u);
    EXPECT_EQ(same[0], (std::pair<std::size_t, std::size_t>{0, 2}));
}

}  // namespace
}  // namespace corvane
