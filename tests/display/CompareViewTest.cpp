// The graph in a compare window: set k in slot k in its colour, AUTO-ALIGN
// and the trace drag on the compare sets, cursor lines named by set, and
// export files refused where a run is expected.

#include <gtest/gtest.h>

#include <string>

#include "ModelGraph.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "app/DialogFolders.h"
#include "base/TextFormat.h"
#include "compare/CompareSets.h"
#include "display/CompareSession.h"
#include "display/CursorReadouts.h"
#include "display/GraphCursors.h"
#include "display/GraphMouse.h"
#include "display/GraphOverlays.h"
#include "display/GraphView.h"
#include "display/ScreenPlacement.h"

namespace corvane {
namespace {

// n samples 0.1 mm apart, Abs A 1.0 at `peak` over a floor of 0.1.
std::string runText(int n, int peak) {
    std::string text = "Corvane Text Data File: x.csv\n\nData Columns:\n"
                       "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < n; ++i) {
        text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, 0.5, 0, 1\n", 0.1 * i, i == peak ? 1.0 : 0.1,
                           0.1 * i);
    }
    return text;
}

class CompareView : public ::testing::Test {
protected:
    CompareView() {
        ViewSettings s;
        s.yAutoScale = true;
        const auto message = session.load({dir.write("a.csv", runText(50, 20)), dir.write("b.csv", runText(40, 26)),
                                           dir.write("c.csv", runText(60, 14))});
        EXPECT_EQ(message, "");
        session.show(kPlotAbsA, kColourValues, {}, s, XAxisType::SampleNumber);
    }
    const TraceSlot& slot(int s) const { return graph.model.slot(s); }

    static constexpr std::array<Rgb, 4> kColours{Rgb{255, 1, 0}, Rgb{0, 0, 255}, Rgb{1, 1, 1}, Rgb{0, 255, 1}};
    // The same as the window keeps them: r | g << 8 | b << 16.
    static constexpr std::array<int, 4> kColourValues{255 | 1 << 8, 255 << 16, 1 | 1 << 8 | 1 << 16,
                                                      255 << 8 | 1 << 16};
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    DialogFolders folders{dir.path(), prompter};
    test::ManualClock clock;
    test::ModelGraph graph;
    GraphView view{graph};
    CompareSession session{view, prompter, dir.path()};
    const CompareSets& sets = session.sets();
    GraphOverlays overlays{GraphOverlays::Env{dir.path(), prompter, folders, view, {}}};
};

TEST_F(CompareView, EachSetTakesItsSlotAndColourAndTheAxesFollowTheSets) {
    EXPECT_EQ(view.axes().xRange(), (AxisRange{0.0, 60.0}));
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(slot(k).colour, kColours[static_cast<std::size_t>(k)]) << k;
    }
    EXPECT_EQ(slot(0).count(), 50);
    EXPECT_EQ(slot(1).count(), 40);
    EXPECT_EQ(slot(2).count(), 60);
    EXPECT_EQ(slot(3).count(), 0);
    EXPECT_DOUBLE_EQ(slot(1).y[26], 1.0);
    EXPECT_EQ(view.axes().yRange().max, 1.0) << "Y auto-scale spans every set";
    EXPECT_TRUE(graph.model.context().compareMode);
    EXPECT_EQ(view.scene().setOfSlot(2), 2);
    EXPECT_EQ(view.scene().setOfSlot(6), 2) << "a set's marks belong to it";
}

TEST_F(CompareView, AutoAlignAndDragMoveTheCompareSetsAndKeepEachOthersOffsets) {
    ASSERT_TRUE(overlays.startAutoAlign());
    ASSERT_TRUE(overlays.finishAutoAlign(40.0, 0.0));
    EXPECT_DOUBLE_EQ(view.offsets().xOffset(1), -6.0);
    EXPECT_DOUBLE_EQ(view.offsets().xOffset(2), 6.0);
    EXPECT_DOUBLE_EQ(slot(1).x[26], 20.0);
    EXPECT_DOUBLE_EQ(slot(2).x[14], 20.0);

    // Dragging set 2 by hand changes only its own offsets.
    EXPECT_TRUE(overlays.draggable(2));
    EXPECT_FALSE(overlays.draggable(5));
    overlays.beginDrag({2, {100, 100}, 0.0, view.offsets().xOffset(2), 0.01, 0.5});
    ASSERT_TRUE(overlays.dragTo({104, 100}));
    overlays.endDrag();
    EXPECT_DOUBLE_EQ(view.offsets().xOffset(2), 8.0);
    EXPECT_DOUBLE_EQ(view.offsets().xOffset(1), -6.0);

    // The cursor lines name each set; its sample is found where it is drawn.
    std::vector<NamedSample> named;
    for (int k = 0; k < 3; ++k) named.push_back({sets[static_cast<std::size_t>(k)].name(), view.sampleAt(k, 20.0)});
    const auto lines = compareLabelLines(view.axes().settings().shown, named);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "a.csv, Abs A: 1.0000");
    EXPECT_EQ(lines[1], "b.csv, Abs A: 1.0000");
    EXPECT_EQ(lines[2], "c.csv, Abs A: 0.1000") << "dragged two samples off its peak";

    overlays.resetAlignment();
    EXPECT_DOUBLE_EQ(slot(2).x[14], 14.0);
}

TEST_F(CompareView, TheXAxisSwitchAndResetKeepToTheSetsNotToTheWindowWidth) {
    // X auto-scale off: 0 to the longest set, in samples or in mm; the
    // window widths (500 samples, 100 mm) play no part.
    view.setXAxisType(XAxisType::Millimetres);
    EXPECT_DOUBLE_EQ(view.axes().xRange().min, 0.0);
    EXPECT_NEAR(view.axes().xRange().max, 5.9, 1e-9);
    view.setXAxisType(XAxisType::SampleNumber);
    EXPECT_EQ(view.axes().xRange(), (AxisRange{0.0, 60.0}));

    // On: every set whole where its offset puts it.
    ASSERT_TRUE(view.offsets().setXOffset(1, -10.0));
    ASSERT_TRUE(view.offsets().setXOffset(2, 30.0));
    GraphOptions options;
    options.xAutoScale = true;
    options.yAutoScale = true;
    options.y = {0.0, 2.0};
    options.yy = {0.0, 2.0};
    view.applyOptions(options);
    EXPECT_EQ(view.axes().xRange(), (AxisRange{-10.0, 90.0}));
    view.setXAxisType(XAxisType::Millimetres);
    EXPECT_DOUBLE_EQ(view.axes().xRange().min, 0.0);
    EXPECT_NEAR(view.axes().xRange().max, 5.9, 1e-9);

    // RESET beside the window size after a zoom: the sets whole again.
    view.setXAxisType(XAxisType::SampleNumber);
    view.change([](AxisState& axes) { (void)axes.applyZoom({20.0, 30.0}, {0.0, 1.0}); });
    view.resetFullRange();
    EXPECT_EQ(view.axes().xRange(), (AxisRange{-10.0, 90.0}));
    EXPECT_EQ(view.scene().sampleSpan(XAxisType::SampleNumber), (AxisRange{-10.0, 89.0})) << "the arrow keys stop at the last sample drawn";
}

TEST_F(CompareView, ASetHasNoValueWhereItIsNotDrawn) {
    ASSERT_TRUE(view.offsets().setXOffset(2, 30.0));
    view.refresh();
    EXPECT_TRUE(view.sampleAt(1, 39.0).has_value());
    EXPECT_FALSE(view.sampleAt(1, 40.0).has_value()) << "b.csv ends at its 40th sample";
    EXPECT_FALSE(view.sampleAt(2, 29.0).has_value()) << "c.csv starts 30 samples late";
    ASSERT_TRUE(view.sampleAt(2, 44.0).has_value());
    EXPECT_DOUBLE_EQ(view.sampleAt(2, 44.0)->absorbanceA, 1.0) << "its peak, drawn at 14 + 30";
    view.setXAxisType(XAxisType::Millimetres);
    EXPECT_FALSE(view.sampleAt(1, 4.5).has_value()) << "b.csv reaches 3.9 mm";
    ASSERT_TRUE(view.sampleAt(0, 2.0).has_value());
    EXPECT_DOUBLE_EQ(view.sampleAt(0, 2.0)->absorbanceA, 1.0);
}

TEST(ScreenPlacement, TheWindowStaysAtItsPlaceWhereItFitsAndWholeOnTheScreenWhereNot) {
    const ScreenRect window{400, 200, 1089, 810};
    EXPECT_EQ(placeOnScreen(window, {0, 0, 1920, 1080}), window);
    EXPECT_EQ(placeOnScreen(window, {0, 0, 1280, 1000}), (ScreenRect{191, 190, 1089, 810}))
        << "pulled back just far enough";
    EXPECT_EQ(placeOnScreen(window, {0, 24, 1024, 744}), (ScreenRect{0, 24, 1024, 744})) << "shrunk to the screen";
    EXPECT_EQ(placeOnScreen(window, {1920, 0, 1920, 1080}), (ScreenRect{1920, 200, 1089, 810}))
        << "onto the screen it was given";
    EXPECT_EQ(placeOnScreen(window, {}), window) << "no screen known";
}

TEST_F(CompareView, TheTraceDragOnAMmAxisMovesTheSetByTheWholeSamplesNearestTheMouse) {
    // Sets 0.1 mm a sample on a 600 px plot of 0 to 6 mm: 100 px are 1 mm.
    // The drag goes through the mouse as the window routes it, over set 1's
    // trace.
    view.setXAxisType(XAxisType::Millimetres);
    view.showXRange({0.0, 6.0});
    GraphCursors cursors(prompter, clock);
    GraphMouse mouse(view, cursors, overlays, graph, [](PixelPoint) { return 1; });
    const PlotFrame plot{600, 300, view.axes().xRange(), view.axes().yRange()};
    (void)mouse.move({200, 150}, plot);  // the hand over set 1
    (void)mouse.press({200, 150}, plot);
    EXPECT_TRUE(mouse.move({300, 150}, plot).offsetsChanged);
    (void)mouse.release({300, 150}, plot);
    // 1 mm of set 1 is 40 / 3.9 = 10.26 samples: it moves 10 whole samples,
    // the offset the window shows and an export file writes.
    EXPECT_EQ(view.offsets().xOffset(1), 10.0);
    EXPECT_DOUBLE_EQ(view.xShiftOf(1), 10 * 3.9 / 40) << "drawn as far as the whole samples go";
    EXPECT_DOUBLE_EQ(slot(1).x[26], 2.6 + 10 * 3.9 / 40);
}

TEST_F(CompareView, AnExportFileIsRefusedAsAnOverlay) {
    GraphView runView{graph};
    GraphOverlays runOverlays{GraphOverlays::Env{dir.path(), prompter, folders, runView, {}}};
    const auto bundle = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "export.csv";
    EXPECT_FALSE(runOverlays.loadOverlay(bundle));
    EXPECT_FALSE(runView.overlayShown());
    EXPECT_EQ(prompter.texts().back(),
              "Error, " + bundle.string() + " is an exported Corvane file. It cannot be compared with other files.");
}

}  // namespace
}  // namespace corvane
