// Cursors, the arrow keys, Graph Options' checks and the stepping buttons
// of the gain and offset panels.

#include <gtest/gtest.h>

#include "ScriptedPrompter.h"
#include "TestClocks.h"
#include "display/CursorReadouts.h"
#include "display/GraphCursors.h"
#include "display/GraphOptionsForm.h"
#include "display/RepeatStepper.h"

namespace corvane {
namespace {

using test::ManualClock;
using test::ScriptedPrompter;

class Cursors : public ::testing::Test {
protected:
    ScriptedPrompter prompter;
    ManualClock clock;
    GraphCursors cursors{prompter, clock};
};

TEST_F(Cursors, AtMostFourAndTheNewestIsMain) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(cursors.add(10.0 * i));
    }
    EXPECT_EQ(cursors.mainIndex(), 3);
    EXPECT_FALSE(cursors.add(99.0));
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"No more than 4 data markers are permitted."});
    EXPECT_EQ(cursors.count(), 4);
    EXPECT_EQ(cursors.mainPosition(), 30.0);
}

TEST_F(Cursors, DeletingTheMainCursorMakesTheFirstRemainingMain) {
    cursors.add(1.0);
    cursors.add(2.0);
    cursors.add(3.0);
    cursors.makeMain(1);
    cursors.remove(1);
    EXPECT_EQ(cursors.mainIndex(), 0);
    EXPECT_EQ(cursors.mainPosition(), 1.0);
    // "Remove Marker(s)" never removes them all.
    EXPECT_FALSE(cursors.removeSelected({0, 1}));
    EXPECT_EQ(prompter.texts().back(),
              "Must leave at least one marker in the graph. Please de-select at least one marker.");
    EXPECT_EQ(cursors.count(), 2);
    EXPECT_TRUE(cursors.removeSelected({0, 0, 7}));
    EXPECT_EQ(cursors.count(), 1);
    EXPECT_EQ(cursors.mainPosition(), 3.0);
}

TEST_F(Cursors, AddRemoveMenuAsksOnlyWithMoreThanOneCursor) {
    EXPECT_FALSE(cursors.addRemoveAsks());
    cursors.add(1.0);
    EXPECT_FALSE(cursors.addRemoveAsks());  // one cursor: straight to place mode
    cursors.add(2.0);
    EXPECT_TRUE(cursors.addRemoveAsks());
}

TEST_F(Cursors, ArrowStepsGrowWhileHeldAndStartAgainAfterAPause) {
    std::vector<int> steps;
    for (int i = 0; i < 22; ++i) {
        steps.push_back(cursors.arrowStep(true));
        clock.advance(30);  // key repeat
    }
    EXPECT_EQ(steps[0], 1);
    EXPECT_EQ(steps[8], 1);   // 9th repeat
    EXPECT_EQ(steps[9], 4);   // 10th
    EXPECT_EQ(steps[18], 4);  // 19th
    EXPECT_EQ(steps[19], 10);  // 20th
    // Turning round starts the other direction at 1.
    EXPECT_EQ(cursors.arrowStep(false), -1);
    clock.advance(501);
    EXPECT_EQ(cursors.arrowStep(false), -1);
    for (int i = 0; i < 9; ++i) {
        clock.advance(100);
        (void)cursors.arrowStep(false);
    }
    EXPECT_EQ(cursors.arrowStep(false), -4);  // the 11th repeat
}

TEST_F(Cursors, HandleAndLineHitsAndTexts) {
    cursors.add(100.0);
    cursors.add(104.0);
    const auto px = [](double x) { return static_cast<int>(x); };
    // Within 5 px the nearest line; 6 px away nothing.
    EXPECT_EQ(cursors.lineAt(101, px), 0);
    EXPECT_EQ(cursors.lineAt(103, px), 1);
    EXPECT_EQ(cursors.lineAt(102, px), 0);  // equal distance: the first
    EXPECT_FALSE(cursors.lineAt(110, px).has_value());
    // A handle only on a moving cursor, from -7 to +8 around it.
    EXPECT_FALSE(cursors.handleAt(100, 100, 200, px).has_value());
    cursors.startMove(0, 200);
    EXPECT_EQ(cursors.mainIndex(), 0);
    EXPECT_EQ(cursors.handleAt(108, 93, 200, px), 0);
    EXPECT_FALSE(cursors.handleAt(109, 100, 200, px).has_value());
    EXPECT_FALSE(cursors.handleAt(100, 92, 200, px).has_value());
    cursors.dragTo(120.5, 50);
    EXPECT_EQ(cursors.records()[0].position, 120.5);
    EXPECT_EQ(cursors.positionText(XAxisType::Millimetres), "120.50");
    EXPECT_EQ(cursors.positionText(XAxisType::SampleNumber), "120");
    EXPECT_EQ(GraphCursors::labelText(12.345, XAxisType::Millimetres), "Cursor: 12.35 mm");
    EXPECT_EQ(GraphCursors::labelText(12.5, XAxisType::SampleNumber), "Cursor: 12");  // printf rounds to even
    EXPECT_EQ(cursors.removeListLine(1, XAxisType::Millimetres), "Marker at X = 104.00 mm");
    EXPECT_EQ(cursors.removeListLine(1, XAxisType::SampleNumber), "Marker at sample #104");
    // The volume and time axes write their own units.
    EXPECT_EQ(GraphCursors::labelText(1.5, XAxisType::Millilitres), "Cursor: 1.50 ml");
    EXPECT_EQ(GraphCursors::labelText(61.25, XAxisType::Seconds), "Cursor: 61.2 s");
    EXPECT_EQ(cursors.removeListLine(1, XAxisType::Minutes), "Marker at X = 104.00 min");
}

GraphOptionsForm validForm() {
    GraphOptionsForm form;
    form.xAutoWidth = "25000";
    form.xMin = "0";
    form.xMax = "100";
    form.yMin = "0";
    form.yMax = "2";
    form.yyMin = "0";
    form.yyMax = "3";
    return form;
}

TEST(GraphOptions, ChecksInOrderAndStopsAtTheFirstFailure) {
    const auto failure = [](GraphOptionsForm form) {
        ScriptedPrompter prompter;
        EXPECT_FALSE(form.check(prompter).has_value());
        const auto texts = prompter.texts();
        return texts.size() == 1 ? texts[0] : std::string("(") + std::to_string(texts.size()) + " messages)";
    };
    auto form = validForm();
    form.xAutoWidth = "99";
    form.yMax = "nonsense";  // not reached
    EXPECT_EQ(failure(form), "X-axis Auto Width must be greater than or equal to 100");
    form.xAutoWidth = "25001";
    EXPECT_EQ(failure(form), "X-axis Auto Width must be less than or equal to 25000");
    form.xAutoWidth = "many";
    EXPECT_EQ(failure(form), "Invalid X-axis Auto Width.");

    form = validForm();
    form.xMax = "?";
    form.yMin = "?";
    EXPECT_EQ(failure(form), "Invalid x-axis maximum value.");
    form.xAutoScale = true;  // the x limits are not read then
    EXPECT_EQ(failure(form), "Invalid y-axis minimum value.");
    form = validForm();
    form.yyMax = "";
    EXPECT_EQ(failure(form), "Invalid yy-axis maximum value.");

    ScriptedPrompter prompter;
    const auto options = validForm().check(prompter);
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(options->xAutoWidth, 25000);
    EXPECT_EQ(options->yy, (AxisRange{0.0, 3.0}));
    EXPECT_TRUE(prompter.texts().empty());
}

TEST(GraphOptions, SpinsStepWithinLimitsAndByAQuarterOfTheRange) {
    using Field = GraphOptionsForm::Field;
    auto form = validForm();
    EXPECT_TRUE(form.spin(Field::AutoWidth, true));
    EXPECT_EQ(form.xAutoWidth, "25000");  // held at the upper limit
    form.xAutoWidth = "150";
    EXPECT_TRUE(form.spin(Field::AutoWidth, false));
    EXPECT_EQ(form.xAutoWidth, "100");
    EXPECT_TRUE(form.spin(Field::AutoWidth, true));
    EXPECT_EQ(form.xAutoWidth, "200");

    // y 0..2: a quarter is 0.5, each box against the other's value.
    EXPECT_TRUE(form.spin(Field::YMax, false));
    EXPECT_EQ(form.yMax, "1.50");
    EXPECT_TRUE(form.spin(Field::YMin, true));
    EXPECT_EQ(form.yMin, "0.38");
    // Once the range is below 1 the box shows six decimals, as the window's do.
    EXPECT_TRUE(form.spin(Field::YMax, false));
    EXPECT_EQ(form.yMax, "1.220000");
    EXPECT_TRUE(form.spin(Field::XMax, true));
    EXPECT_EQ(form.xMax, "125.00");
    EXPECT_TRUE(form.spin(Field::YYMin, false));
    EXPECT_EQ(form.yyMin, "-0.75");

    // A box that does not read as a number leaves the pair as it was.
    form.xMin = "left";
    EXPECT_FALSE(form.spin(Field::XMax, true));
    EXPECT_EQ(form.xMax, "125.00");
    form.xAutoWidth = "wide";
    EXPECT_FALSE(form.spin(Field::AutoWidth, true));
}

TEST(RepeatStepper, HeldButtonAcceleratesAndAPauseStartsAgain) {
    ManualClock clock;
    RepeatStepper stepper(clock);
    EXPECT_EQ(stepper.nextUnits(), 1);
    clock.advance(150);
    EXPECT_EQ(stepper.nextUnits(), 2);
    clock.advance(100);
    EXPECT_EQ(stepper.nextUnits(), 3);
    clock.advance(151);
    EXPECT_EQ(stepper.nextUnits(), 1);
    // An offset moves by a quarter of itself, never less than one pixel.
    EXPECT_DOUBLE_EQ(offsetStep(0.4, 2.0, 200, 1), 0.1);
    EXPECT_DOUBLE_EQ(offsetStep(0.0, 2.0, 200, 3), 0.03);
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

SampleRecord cursorSample(double absA) {
    SampleRecord r;
    r.sampleA = 812345;
    r.sourceA = 999999;
    r.absorbanceA = absA;
    r.absorbanceB = 0.5;
    return r;
}

TEST(CursorReadouts, LinesForSwitchedOnChannelsInPairsWithAnOverlay) {
    const std::array<bool, kChannelCount> shown{true, false, true, false, false, false, true};
    const auto current = std::optional(cursorSample(0.25));
    EXPECT_EQ(cursorLabelLines(shown, current, nullptr),
              (std::vector<std::string>{"Sample A: 812345", "Abs A: 0.2500", "AbsA/AbsB: 0.5000"}));
    const auto overlay = std::optional(cursorSample(0.125));
    EXPECT_EQ(cursorLabelLines(shown, current, &overlay),
              (std::vector<std::string>{"CURRENT: Abs A: 0.2500", "OVERLAY: Abs A: 0.1250",
                                        "CURRENT: AbsA/AbsB: 0.5000", "OVERLAY: AbsA/AbsB: 0.2500"}));
    // An overlay without a sample there still names its line.
    const std::optional<SampleRecord> none;
    EXPECT_EQ(cursorLabelLines(shown, current, &none)[1], "OVERLAY: Abs A: ");

    const std::array<bool, kChannelCount> absB{false, false, false, false, false, true, false};
    EXPECT_EQ(compareLabelLines(absB, {{"run1", current, false}, {"run2", overlay, true}}),
              (std::vector<std::string>{"run1, Abs B: 0.5000", "run2, Fluorescence: 0.5000"}));

    const auto values = cursorValueTexts(current);
    EXPECT_EQ(values[kChannelSampleA], "812345");
    EXPECT_EQ(values[kChannelAbsA], "0.2500");
    EXPECT_EQ(cursorValueTexts(std::nullopt)[kChannelAbsA], "");
}

}  // namespace
}  // namespace corvane
