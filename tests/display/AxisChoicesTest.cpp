// The x axes of DE-1 SETUP's graph axes (volume, time from the run's start)
// and its y axis in volts, on a saved run.

#include <gtest/gtest.h>

#include <filesystem>

#include "ModelGraph.h"
#include "display/GraphView.h"
#include "display/RunFileScene.h"
#include "runs/RunDataFile.h"

namespace corvane {
namespace {

class AxisChoices : public ::testing::Test {
protected:
    void show(const char* fixture) {
        const auto path = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / fixture;
        RunDataFile run;
        ASSERT_EQ(run.read(path), RunDataFile::ReadStatus::Ok);
        ViewSettings s;
        s.shown = {false, false, true, false, false, false, false};
        view.apply(s);
        view.showFile(std::move(run), path);
        view.refresh();
    }
    const TraceSlot& absA() const { return graph.model.slot(kSlotAbsA); }

    test::ModelGraph graph;
    GraphView view{graph};
};

TEST_F(AxisChoices, ASavedRunOnTheVolumeAndTimeAxes) {
    // 0.143 ml/mm and 50 ms a sample, as its header says; its first rows
    // lie at 1.00 and 1.10 mm.
    show("two_channel.csv");
    view.setXAxisType(XAxisType::Millilitres);
    EXPECT_DOUBLE_EQ(absA().x[0], 0.143);
    EXPECT_DOUBLE_EQ(absA().x[1], 0.1573);
    ASSERT_TRUE(view.sampleAt(0, 0.1573).has_value());
    EXPECT_DOUBLE_EQ(view.sampleAt(0, 0.1573)->absorbanceA, 0.4);
    EXPECT_DOUBLE_EQ(view.axes().xRange().min, 0.1287) << "channel B's first position, 0.90 mm";

    view.setXAxisType(XAxisType::Seconds);
    EXPECT_DOUBLE_EQ(absA().x[1], 0.05);
    EXPECT_EQ(view.axes().xRange().min, 0.0) << "time runs from the run's start";
    view.setXAxisType(XAxisType::Minutes);
    EXPECT_DOUBLE_EQ(absA().x[1], 0.05 / 60.0);
    // A cursor keeps its sample across the axes: the second row.
    EXPECT_DOUBLE_EQ(*view.scene().xOnAxis(0.05 / 60.0, XAxisType::Minutes, XAxisType::Millimetres), 1.10);
    EXPECT_DOUBLE_EQ(*view.scene().xOnAxis(1.10, XAxisType::Millimetres, XAxisType::Seconds), 0.05);

    view.setXAxisType(XAxisType::Millimetres);
    EXPECT_DOUBLE_EQ(absA().x[0], 1.00);
}

TEST_F(AxisChoices, ADe1RunInVoltsIsItsSignalOverTheFullScaleItWasReadAt) {
    // Full scale 0.50 from the start, 0.20 from 3.00 mm, 1.00 from 12.50 mm;
    // 10 samples a second, 0.200 ml/mm.
    show("em1.csv");
    ASSERT_TRUE(view.de1Mode());
    view.change([](AxisState& axes) { axes.setVolts(true); });
    view.setAufs(3);
    EXPECT_EQ(view.axes().yRange(), (AxisRange{0.0, 1.0})) << "0.0-1.0 V";
    ASSERT_GE(absA().count(), 4);
    EXPECT_DOUBLE_EQ(absA().y[0], 0.01 / 0.5);
    EXPECT_DOUBLE_EQ(absA().y[2], 0.02 / 0.2);
    EXPECT_DOUBLE_EQ(absA().y[3], 0.03 / 0.2);
    view.setXAxisType(XAxisType::Seconds);
    EXPECT_DOUBLE_EQ(absA().x[2], 0.2);
    view.setXAxisType(XAxisType::Millilitres);
    EXPECT_DOUBLE_EQ(absA().x[2], 1.0);

    view.change([](AxisState& axes) { axes.setVolts(false); });
    view.setAufs(3);
    EXPECT_DOUBLE_EQ(absA().y[2], 0.02) << "absorbance again";
    EXPECT_LT(view.axes().yRange().max, 1.0);
}

}  // namespace
}  // namespace corvane
