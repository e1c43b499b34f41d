#include <gtest/gtest.h>

#include "runs/OverlayPlanRules.h"

namespace corvane {
namespace {

TEST(OverlayPlanRules, NumberOfFractionsIsAnInteger1To99) {
    EXPECT_EQ(fractionCountProblem("99"), "");
    EXPECT_EQ(fractionCountProblem("1"), "");
    EXPECT_EQ(fractionCountProblem("100"), "Number of fractions must be 99 or less.");
    EXPECT_EQ(fractionCountProblem("0"), "Number of fractions must be 1 or more.");
    EXPECT_EQ(fractionCountProblem("-3"), "Number of fractions must be 1 or more.");
    EXPECT_EQ(fractionCountProblem("many"), "Invalid number of fractions.");
    EXPECT_EQ(fractionCountProblem(""), "Invalid number of fractions.");
}

TEST(OverlayPlanRules, ZoneChecksStopAtTheFirstFailureInZoneOrder) {
    // A zone may end where it starts; zone 1 starts at the meniscus, 0 mm,
    // and ends no higher (its fractions would have a negative distance).
    EXPECT_EQ(zoneRowsProblem({{"10", "2"}, {"10", "1"}, {"25.5", "99"}}), "");
    EXPECT_EQ(zoneRowsProblem({{"0", "2"}}), "");
    EXPECT_EQ(zoneRowsProblem({{"-5", "5"}}), "End position is less than start position for zone #1.");
    EXPECT_EQ(zonesProblem({{{0, -0.01, 1}}, 0}), "End position is less than start position for zone #1.");
    EXPECT_EQ(zoneRowsProblem({{"10", "2"}, {"9.99", "1"}}),
              "End position is less than start position for zone #2.");
    EXPECT_EQ(zoneRowsProblem({{"", "2"}}), "Invalid end position for zone #1.");
    EXPECT_EQ(zoneRowsProblem({{"5", "x"}}), "Invalid number of fractions for zone #1.");
    // Zone 2's end fails before zone 3's number is looked at.
    EXPECT_EQ(zoneRowsProblem({{"5", "1"}, {"abc", "1"}, {"9", "x"}}), "Invalid end position for zone #2.");
    EXPECT_EQ(zoneRowsProblem({{"5", "1"}, {"6", "?"}}), "Invalid number of fractions for zone #2.");

    // A plan in numbers passes the same checks and the count's range.
    EXPECT_EQ(zonesProblem({{{0, 10, 99}, {10, 10, 1}}, 0}), "");
    EXPECT_EQ(zonesProblem({{{0, 10, 100}}, 0}), "Number of fractions must be 99 or less.");
    EXPECT_EQ(zonesProblem({{{0, 10, 2}, {10, 4, 1}}, 0}),
              "End position is less than start position for zone #2.");
}

TEST(OverlayPlanRules, CollectionLimitNamesEveryZoneThatOverflows) {
    // 10 mm in 2 fractions at 0.143 ml/mm: 0.715 ml a fraction, a hair
    // below in binary, so it shows as 0.71.
    const OverlayPlan plan{{{0, 10, 2}, {10, 12, 4}, {12, 30, 2}}, 0};
    EXPECT_EQ(collectionLimitProblem(&plan, 0.143, 0.5),
              "The collection limit of 0.50 ml was exceeded in the following zones:\n"
              "Zone 1 requires 0.71 ml per fraction.\n"
              "Zone 3 requires 1.29 ml per fraction.\n");
    EXPECT_EQ(collectionLimitProblem(&plan, 0.143, 1.3), "");
    // A fraction exactly the vessel's size fits.
    const OverlayPlan exact{{{0, 10, 2}}, 0};
    EXPECT_EQ(collectionLimitProblem(&exact, 0.1, 0.5), "");

    EXPECT_EQ(collectionLimitProblem(&plan, 0.0, 5.0), "Invalid volume per mm.");
    // autofrac 1 and no plan skip the check, even without a volume per mm.
    const OverlayPlan automatic{plan.zones, 1};
    EXPECT_EQ(collectionLimitProblem(&automatic, 0.143, 0.01), "");
    EXPECT_EQ(collectionLimitProblem(&automatic, 0.0, 0.01), "");
    EXPECT_EQ(collectionLimitProblem(nullptr, 0.0, 0.01), "");
}

TEST(OverlayPlanRules, ARunIsCutByTheStandardRunsPlanElseTheSetupsAndOnlyWhenItFits) {
    const OverlayPlan standard{{{0, 10, 4}}, 0};  // 0.25 ml a fraction at 0.1 ml/mm
    const OverlayPlan setup{{{0, 6, 2}}, 0};
    // The standard run's plan wins over the page's zones.
    auto choice = chooseRunPlan(standard, setup, 0.1, 0.5);
    EXPECT_EQ(choice.problem, "");
    EXPECT_EQ(choice.plan, standard);
    EXPECT_EQ(chooseRunPlan(std::nullopt, setup, 0.1, 0.5).plan, setup);
    // Neither: the settings' even fractions, nothing to say.
    choice = chooseRunPlan(std::nullopt, std::nullopt, 0.0, 0.0);
    EXPECT_EQ(choice.problem, "");
    EXPECT_FALSE(choice.plan);
    EXPECT_FALSE(chooseRunPlan(std::nullopt, OverlayPlan{}, 0.1, 0.5).plan);

    // A standard run without zones has no plan to give, whatever the page has.
    choice = chooseRunPlan(OverlayPlan{}, setup, 0.1, 0.5);
    EXPECT_EQ(choice.problem, "Error, no overlay plan available.");
    EXPECT_FALSE(choice.plan);

    // The zone checks, then the vessel.
    EXPECT_EQ(chooseRunPlan(std::nullopt, OverlayPlan{{{0, 10, 100}}, 0}, 0.1, 5.0).problem,
              "Number of fractions must be 99 or less.");
    EXPECT_EQ(chooseRunPlan(standard, std::nullopt, 0.1, 0.2).problem,
              "The collection limit of 0.20 ml was exceeded in the following zones:\n"
              "Zone 1 requires 0.25 ml per fraction.\n");
    EXPECT_EQ(chooseRunPlan(OverlayPlan{standard.zones, 1}, std::nullopt, 0.1, 0.2).problem, "");
}

TEST(OverlayPlanRules, HeaderLinesCountAllFractionsAndKeepTheLargestFraction) {
    const OverlayPlan plan{{{0, 10, 2}, {10, 12, 4}, {12, 30, 3}}, 0};
    const PlanHeaderLines lines = planHeaderLines(plan);
    EXPECT_EQ(lines.fractions, 9);
    EXPECT_DOUBLE_EQ(lines.totalDistance, 30.0);
    EXPECT_DOUBLE_EQ(lines.fractionDistance, 6.0);  // zone 3: 18 mm in 3
    EXPECT_DOUBLE_EQ(planCollectionVolume(plan, 0.1), 0.6);
    EXPECT_DOUBLE_EQ(planCollectionVolume(plan, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(planCollectionVolume({}, 0.1), 0.0);
}

}  // namespace
}  // namespace corvane
