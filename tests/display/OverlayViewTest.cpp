// What the graph shows beside the current run: an overlay in slots 3 to 5,
// AUTO-ALIGN and trace drag, a standard run's plan, FOCUS and RESET, and
// the flat-signal and live DE-1 rules of the view.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#include "ModelGraph.h"
#include "RecordingPoster.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "app/DialogFolders.h"
#include "base/TextFormat.h"
#include "display/GraphCursors.h"
#include "display/GraphMouse.h"
#include "display/GraphOverlays.h"
#include "display/GraphView.h"
#include "display/LiveFeed.h"
#include "runs/Em1RunWriter.h"

namespace corvane {
namespace {

using test::ManualClock;
using test::ModelGraph;
using test::RecordingPoster;
using test::ScriptedPrompter;
using test::TempDir;

// A two-channel run of n samples 0.1 mm apart from startMm, Abs A a peak of
// 1.0 at sample `peak` over a floor of 0.1, Abs B half of Abs A.
std::string runText(int n, int peak, double startMm = 0.0, const std::string& planBlock = {}) {
    std::string text = "Corvane Text Data File: x.csv\nVersion: 1\n\n";
    text += planBlock;
    text += "\nData Columns:\n"
            "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < n; ++i) {
        const double a = i == peak ? 1.0 : 0.1;
        const double mm = startMm + 0.1 * i;
        text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, %.6f, %.2f, 2.000000\n", mm, a, mm, a / 2,
                           mm);
    }
    return text;
}

RunDataFile parsed(const std::string& text) {
    RunDataFile file;
    EXPECT_EQ(file.parse(text), RunDataFile::ReadStatus::Ok);
    return file;
}

class OverlayView : public ::testing::Test {
protected:
    OverlayView() {
        ViewSettings s;
        s.shown = {false, false, true, false, false, true, true};
        s.yAutoScale = true;
        s.yyAutoScale = true;
        view.apply(s);
    }
    const TraceSlot& slot(int s) const { return graph.model.slot(s); }
    // The live run of a DE-1 box, recording, as the window refreshes it.
    void refreshLive() {
        run.de1Source = true;
        run.recording = true;
        view.setLiveRun(run);
        view.refresh();
    }
    // FOCUS and the wheel as the mouse and the buttons drive the axes.
    bool saveView() {
        bool saved = false;
        view.change([&](AxisState& axes) { saved = axes.saveViewForZoom(); });
        return saved;
    }
    void zoomTo(AxisRange x, AxisRange y) {
        view.change([&](AxisState& axes) { (void)axes.applyZoom(x, y); });
    }
    void resetZoom() {
        view.change([](AxisState& axes) { (void)axes.resetZoom(); });
    }

    TempDir dir;
    ScriptedPrompter prompter;
    DialogFolders folders{dir.path(), prompter};
    ManualClock clock;
    RecordingPoster poster;
    LiveFeed feed{clock, poster};
    ModelGraph graph;
    GraphView view{graph, feed};
    LiveRunState run;
    const FractionPlanHook* attached = nullptr;
    bool zonesShown = false;
    int presetRunsHidden = 0;
    GraphOverlays overlays{GraphOverlays::Env{dir.path(), prompter, folders, view,
                                              {[] { return false; }, [] {}, [this] { ++presetRunsHidden; },
                                               [this](const FractionPlanHook* plan, bool zones) {
                                                   attached = plan;
                                                   zonesShown = zones;
                                               }}}};
};

TEST_F(OverlayView, OverlayTakesSlotsThreeToFiveAndLeavesClean) {
    view.showFile(parsed(runText(50, 20)), dir / "current.csv");
    view.refresh();
    EXPECT_EQ(slot(kSlotAbsA).count(), 50);  // Abs A in its own slot without an overlay

    const auto overlayPath = dir.write("over.csv", runText(40, 10));
    prompter.scriptFile(overlayPath.string());
    ASSERT_TRUE(overlays.toggleOverlay());
    EXPECT_EQ(overlays.overlayCaption(), "Remove Overlay");
    // Current Abs A, Abs B, ratio in 0..2; the overlay's in 3..5.
    EXPECT_EQ(slot(0).count(), 50);
    EXPECT_DOUBLE_EQ(slot(0).y[20], 1.0);
    EXPECT_DOUBLE_EQ(slot(1).y[20], 0.5);
    EXPECT_EQ(slot(2).count(), 50);
    EXPECT_EQ(slot(3).count(), 40);
    EXPECT_DOUBLE_EQ(slot(3).y[10], 1.0);
    EXPECT_EQ(slot(5).count(), 40);
    EXPECT_TRUE(graph.model.overlayMode());
    EXPECT_EQ(view.scene().setOfSlot(4), 1);
    EXPECT_EQ(view.scene().setOfSlot(1), 0);

    EXPECT_TRUE(overlays.toggleOverlay());
    EXPECT_EQ(overlays.overlayCaption(), "Overlay Graph");
    EXPECT_FALSE(graph.model.overlayMode());
    EXPECT_EQ(slot(3).count(), 0);
    EXPECT_EQ(slot(kSlotAbsA).count(), 50);

    // A file that is no run leaves no overlay behind.
    const auto junk = dir.write("junk.csv", "hello\n");
    EXPECT_FALSE(overlays.loadOverlay(junk));
    EXPECT_FALSE(view.overlayShown());
    EXPECT_EQ(prompter.texts().back(), "Error, could not load file: " + junk.string());
}

TEST_F(OverlayView, OnALogScaleTheOverlayIsMappedAsTheCurrentRunIs) {
    view.showFile(parsed(runText(50, 20)), dir / "current.csv");
    view.refresh();
    ASSERT_TRUE(overlays.loadOverlay(dir.write("over.csv", runText(50, 20))));
    GraphOptions options;
    options.yAutoScale = true;
    options.yyAutoScale = true;
    options.logScale = true;
    options.x = view.axes().xRange();
    view.applyOptions(options);
    ASSERT_EQ(view.axes().yRange(), (AxisRange{0.01, 100.0}));
    ASSERT_EQ(slot(3).count(), slot(0).count());
    for (int i = 0; i < slot(0).count(); ++i) {
        EXPECT_DOUBLE_EQ(slot(3).y[static_cast<std::size_t>(i)], slot(0).y[static_cast<std::size_t>(i)]) << i;
    }
}

TEST_F(OverlayView, AutoAlignShiftsTheOverlayOntoTheReferencePeakOnBothAxes) {
    view.showFile(parsed(runText(50, 20)), dir / "current.csv");
    ASSERT_TRUE(overlays.loadOverlay(dir.write("over.csv", runText(50, 26, 5.0))));
    // Gains of 1.0: nothing is asked.
    ASSERT_TRUE(overlays.startAutoAlign());
    EXPECT_TRUE(prompter.transcript().empty());
    // A drag from right to left over both peaks.
    ASSERT_TRUE(overlays.finishAutoAlign(30.0, 5.0));
    EXPECT_DOUBLE_EQ(view.offsets().xOffset(1), -6.0);
    EXPECT_DOUBLE_EQ(slot(3).x[26], 20.0);  // the overlay's peak now sits on the reference's
    overlays.resetAlignment();
    EXPECT_DOUBLE_EQ(slot(3).x[26], 26.0);

    // In mm the overlay (peak at 7.6 mm) moves onto the reference (2.0 mm)
    // by the whole samples nearest 5.6 mm (57.1 of its samples, 0.1 mm
    // apart): its peak within half a sample of the reference's.
    view.setXAxisType(XAxisType::Millimetres);
    ASSERT_TRUE(overlays.startAutoAlign());
    ASSERT_TRUE(overlays.finishAutoAlign(0.0, 10.0));
    EXPECT_EQ(view.offsets().xOffset(1), -57.0);
    EXPECT_NEAR(slot(3).x[26], 2.0, 0.05);
    EXPECT_NEAR(view.xShiftOf(1), -5.6, 0.05);

    // An x gain other than 1.0 is asked about; No leaves it armed off.
    ASSERT_TRUE(view.offsets().setXGain(1, 1.1));
    prompter.answerNo();
    EXPECT_FALSE(overlays.startAutoAlign());
    EXPECT_FALSE(overlays.alignMode());
    prompter.answerYes();
    EXPECT_TRUE(overlays.startAutoAlign());
    EXPECT_FALSE(view.offsets().anyXGainOtherThanOne());
}

TEST_F(OverlayView, TraceDragMovesOnlyTheOverlay) {
    view.showFile(parsed(runText(50, 20)), dir / "current.csv");
    ASSERT_TRUE(overlays.loadOverlay(dir.write("over.csv", runText(50, 26))));
    EXPECT_FALSE(overlays.draggable(0));
    EXPECT_TRUE(overlays.draggable(3));
    overlays.beginDrag({1, {100, 100}, 0.0, 0.0, 0.01, 0.5});
    ASSERT_TRUE(overlays.dragTo({88, 120}));  // 12 px left, 20 px down
    EXPECT_DOUBLE_EQ(view.offsets().xOffset(1), -6.0);
    EXPECT_DOUBLE_EQ(view.offsets().yOffset(1), -0.2);
    EXPECT_DOUBLE_EQ(slot(3).x[26], 20.0);
    EXPECT_NEAR(slot(3).y[26], 0.8, 1e-12);
    EXPECT_DOUBLE_EQ(slot(0).x[20], 20.0);  // the current run stays
    overlays.endDrag();
    EXPECT_FALSE(overlays.dragTo({0, 0}));
}

TEST_F(OverlayView, StandardRunAttachesItsPlanAndHidesPresetRuns) {
    const std::string block = "[overlay plan]\nnumzones 2\nzone001 0.00 1.00 2\nzone002 1.00 3.00 4\nautofrac 0\n";
    const auto path = dir.write("STANDARD RUNS/SR-a.csv", runText(40, 5, 0.0, block));
    ASSERT_TRUE(overlays.loadStandardRun(path));
    EXPECT_EQ(overlays.standardCaption(), "REMOVE STANDARD RUN");
    ASSERT_NE(attached, nullptr);
    EXPECT_EQ(presetRunsHidden, 1);
    std::vector<double> bounds;
    view.setXAxisType(XAxisType::Millimetres);
    overlays.axisChanged();
    attached->boundaryPositions(bounds);
    EXPECT_EQ(bounds, (std::vector<double>{0.5, 1.0, 1.5, 2.0, 2.5, 3.0}));
    EXPECT_EQ(attached->fractionCount(), 6);
    EXPECT_EQ(attached->fractionAt(1.2).number, 3);
    overlays.setShowStandardProfile(true);
    EXPECT_TRUE(zonesShown);

    overlays.removeStandardRun();
    EXPECT_EQ(attached, nullptr);
    EXPECT_EQ(overlays.standardCaption(), "SET STANDARD RUN");
    EXPECT_FALSE(overlays.loadStandardRun(dir / "STANDARD RUNS/missing.csv"));
    EXPECT_EQ(overlays.standardRun(), nullptr);
}

TEST_F(OverlayView, AHiddenStandardProfileHasNoSayInTheYAutoScale) {
    view.showFile(parsed(runText(50, 20)), dir / "current.csv");  // Abs A 0.1 to 1.0, Abs B half
    view.refresh();
    ASSERT_EQ(view.axes().yRange(), (AxisRange{0.05, 1.0}));
    // A standard run whose peak (4.0) stands far above the current run's.
    const std::string block = "[overlay plan]\nnumzones 1\nzone001 0.00 3.00 3\nautofrac 0\n";
    std::string text = runText(40, 5, 0.0, block);
    text.replace(text.find(", 1.000000,"), 11, ", 4.000000,");
    ASSERT_TRUE(overlays.loadStandardRun(dir.write("STANDARD RUNS/SR-tall.csv", text)));
    EXPECT_EQ(view.axes().yRange(), (AxisRange{0.05, 1.0})) << "its profile is not shown";
    overlays.setShowStandardProfile(true);
    EXPECT_EQ(view.axes().yRange().max, 4.0) << "shown, it is on the plot and in its scale";
    overlays.setShowStandardProfile(false);
    EXPECT_EQ(view.axes().yRange(), (AxisRange{0.05, 1.0}));
}

TEST_F(OverlayView, ADe1OverlayOrStandardRunPutsAWindowWithoutDe1DataInDe1Mode) {
    const auto em1 = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "em1.csv";
    // The live run of a Kelvo unit (no DE-1 source): the overlay decides.
    EXPECT_FALSE(view.de1Mode());
    ASSERT_TRUE(overlays.loadOverlay(em1));
    EXPECT_TRUE(view.de1Mode());
    EXPECT_EQ(view.channelCaption(kChannelAbsA), "Voltage");
    EXPECT_EQ(view.channelCaption(kChannelRatio), "Mark");
    EXPECT_FALSE(view.yyControlsVisible()) << "the ratio channel holds marks, not a YY axis";
    view.setYAutoScale(false);
    view.setAufs(3);
    EXPECT_EQ(view.axes().yRange(), (AxisRange{0.0, Em1RunWriter::aufsValue(3)})) << "the AUFS range";
    ASSERT_TRUE(overlays.toggleOverlay());
    EXPECT_FALSE(view.de1Mode());

    // Without an overlay a DE-1 standard run decides.
    std::ifstream in(em1);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    text.insert(text.find("Data Columns:"), "[overlay plan]\nnumzones 1\nzone001 0.00 4.00 4\nautofrac 0\n\n");
    ASSERT_TRUE(overlays.loadStandardRun(dir.write("STANDARD RUNS/SR-em1.csv", text)));
    EXPECT_TRUE(view.de1Mode());
    EXPECT_EQ(view.channelCaption(kChannelAbsA), "Voltage");
    // An overlay comes first, and a run shown before both.
    ASSERT_TRUE(overlays.loadOverlay(dir.write("two.csv", runText(30, 10))));
    EXPECT_FALSE(view.de1Mode()) << "a two-channel overlay";
    view.showFile(parsed(runText(30, 10)), dir / "current.csv");
    EXPECT_FALSE(view.de1Mode()) << "a two-channel run shown";
    view.showFile(parsed(text), dir / "em1.csv");
    EXPECT_TRUE(view.de1Mode());
}

TEST_F(OverlayView, OpeningAStandardRunAdoptsTheCollectionVolumeItWasPlannedFor) {
    double adopted = 0.0;
    overlays.setStandardRunHooks({.userName = {}, .runVolumePerMm = {}, .collectionAdopted = [&](double ml) {
                                      adopted = ml;
                                  }});
    // Zone 2's fractions are the largest: 2 mm at 0.1 ml/mm, 0.2 ml.
    const std::string block = "Volume per mm: 0.100 ml/mm\n\n[overlay plan]\nnumzones 2\n"
                              "zone001 0.00 1.00 2\nzone002 1.00 3.00 1\nautofrac 0\n";
    const auto path = dir.write("STANDARD RUNS/SR-a.csv", runText(40, 5, 0.0, block));
    dir.write("prefs.cfg", "[prefs]\n[collection]\nvolume 5.0\n");
    ASSERT_TRUE(overlays.loadStandardRun(path));
    EXPECT_DOUBLE_EQ(adopted, 0.2);
    EXPECT_NE(dir.read("prefs.cfg").find("volume 0.2"), std::string::npos) << dir.read("prefs.cfg");
    EXPECT_EQ(prompter.texts(),
              std::vector<std::string>{
                  "Warning: Current collection settings have changed to match those of file: " + path.string()});
    // Opened again with the settings now matching: nothing is said.
    prompter.clear();
    ASSERT_TRUE(overlays.loadStandardRun(path));
    EXPECT_TRUE(prompter.texts().empty());

    // Settings that cannot be written: the window still follows the file.
    dir.write("prefs.cfg", "[prefs]\n[collection]\nvolume 5.0\n");
    std::filesystem::permissions(dir / "prefs.cfg", std::filesystem::perms::owner_read);
    adopted = 0.0;
    ASSERT_TRUE(overlays.loadStandardRun(path));
    EXPECT_DOUBLE_EQ(adopted, 0.2);
    EXPECT_EQ(prompter.texts().back(), "Warning: Unable to save user settings.");
}

TEST_F(OverlayView, FocusBoxesAndBothResets) {
    view.showFile(parsed(runText(100, 40)), dir / "current.csv");
    view.refresh();
    const GraphViewState before = view.axes().viewState();
    EXPECT_TRUE(saveView());
    // Drawn from bottom right to top left: the same region.
    zoomTo({60.0, 20.0}, {0.9, 0.2});
    EXPECT_EQ(view.axes().xRange(), (AxisRange{20.0, 60.0}));
    EXPECT_EQ(view.axes().yRange(), (AxisRange{0.2, 0.9}));
    EXPECT_FALSE(view.axes().yAutoScale());
    // A second FOCUS keeps the first saved view.
    EXPECT_FALSE(saveView());
    zoomTo({30.0, 40.0}, {0.3, 0.4});
    resetZoom();
    EXPECT_EQ(view.axes().xRange(), before.x);
    EXPECT_EQ(view.axes().yRange(), before.y);
    EXPECT_FALSE(view.axes().zoomActive());

    // The wheel zooms x around the mouse and saves the view first.
    view.change([](AxisState& axes) { (void)axes.wheelZoom(50.0, 0.0, 1, false); });
    EXPECT_TRUE(view.axes().zoomActive());
    EXPECT_DOUBLE_EQ(view.axes().xRange().min, 10.0);
    EXPECT_DOUBLE_EQ(view.axes().xRange().max, 90.0);
    // RESET beside the window size: the whole run, both auto-scales on.
    view.resetFullRange();
    EXPECT_EQ(view.axes().xRange(), (AxisRange{0.0, 100.0}));
    EXPECT_TRUE(view.axes().yAutoScale());
    EXPECT_TRUE(view.axes().yyAutoScale());
    EXPECT_DOUBLE_EQ(view.axes().windowSamples(), 100.0);
}

TEST_F(OverlayView, FlatSignalIsShownAcrossTheMiddle) {
    // Every Abs A the same: min equals max, and the range opens around it.
    std::string text = runText(0, -1);
    for (int i = 0; i < 10; ++i) {
        text += formatText("1, 2, 1, 2, %.2f, 0.250000, %.2f, 0.250000, 0, 1\n", i * 0.1, i * 0.1);
    }
    view.showFile(parsed(text), dir / "flat.csv");
    view.refresh();
    EXPECT_DOUBLE_EQ(view.axes().yRange().min, 0.2475);
    EXPECT_DOUBLE_EQ(view.axes().yRange().max, 0.2525);
}

TEST_F(OverlayView, LiveDe1MarksArePlottedAsLevelsWithTicks) {
    view.setChannelShown(kChannelAbsB, false);
    const std::uint32_t marks[] = {0, 32767, 32768, 65534, 65535, 70000};
    for (int i = 0; i < 6; ++i) {
        SampleRecord r;
        r.sampleA = marks[i];
        r.absorbanceA = 0.01 * i;
        r.absorbanceB = 0.5;
        r.positionA = r.positionB = i;
        feed.add(r);
    }
    refreshLive();
    const TraceSlot& mark = slot(kSlotRatio);
    ASSERT_EQ(mark.count(), 6);
    EXPECT_TRUE(mark.markStyle);
    EXPECT_EQ(std::vector<double>(mark.y.begin(), mark.y.end()), (std::vector<double>{0, 0, 1, 1, 2, 2}));
    // The marks do not stretch the auto-scale of the signal.
    EXPECT_EQ(view.axes().yRange(), (AxisRange{0.0, 0.05}));
}


TEST_F(OverlayView, ALiveRunStartedByOdSensingShowsFromItsFirstSampleButNotBelowMinus2Mm) {
    view.setXAxisType(XAxisType::Millimetres);
    const auto runFrom = [&](double firstMm) {
        feed.clear();
        for (int i = 0; i < 5; ++i) {
            SampleRecord r;
            r.absorbanceA = 0.1;
            r.positionA = r.positionB = firstMm + i;
            feed.add(r);
        }
        refreshLive();
        return view.axes().xRange();
    };
    const double width = view.axes().windowMm();
    run.odSensingStart = true;
    EXPECT_EQ(runFrom(37.5), (AxisRange{37.5, 37.5 + width}));
    EXPECT_EQ(runFrom(-6.0), (AxisRange{-2.0, -2.0 + width}));
    // Any other start keeps the window where it was.
    run.odSensingStart = false;
    EXPECT_EQ(runFrom(37.5), (AxisRange{-2.0, -2.0 + width}));
}
TEST_F(OverlayView, DeadVolumeMovesMarksBackOnlyWhereTheyAreStillAsSeen) {
    view.setXAxisType(XAxisType::Millimetres);
    // Live: every mark but the first point's is drawn 3.5 mm earlier.
    run.startOffsetMm = 3.5;
    for (int i = 0; i < 10; ++i) {
        SampleRecord r;
        r.sampleA = i == 6 ? 40000 : 0;
        r.absorbanceA = 0.1;
        r.positionA = r.positionB = i;
        feed.add(r);
    }
    refreshLive();
    EXPECT_EQ(slot(kSlotRatio).x[0], 0.0);
    EXPECT_EQ(slot(kSlotRatio).x[6], 2.5);
    EXPECT_EQ(slot(kSlotRatio).xShift, -3.5);
    EXPECT_EQ(graph.model.context().runStartOffset, 3.5);
    // Sample numbers are not moved by a distance.
    view.setXAxisType(XAxisType::SampleNumber);
    refreshLive();
    EXPECT_EQ(slot(kSlotRatio).x.back(), 9.0);
    EXPECT_EQ(graph.model.context().runStartOffset, 0.0);

    // Loaded: a run file as TEMP keeps it has its marks where they were
    // seen; a saved one had them moved at the save.
    const auto em1 = [](const std::string& title) {
        std::string text = "Corvane Text Data File: " + title +
                           "\nVolume per mm: 0.125 ml/mm\n\nAbsorbance Units Full Scale (AUFS): 0.10\n"
                           "Dead Volume: 0.250000 ml; Distance due to Dead Volume: 2.00 mm\n\nData Columns:\n"
                           "Distance(mm), Absorbance, Fraction Number, Fraction Volume(ml)\n";
        for (int i = 0; i < 10; ++i) {
            text += i == 6 ? formatText("%d.00, 0.100000, 1, 0.125\n", i) : formatText("%d.00, 0.100000, , \n", i);
        }
        return text;
    };
    view.setXAxisType(XAxisType::Millimetres);
    view.showFile(parsed(em1("temp_run_2026_01_02_10_00_00.csv")), dir / "temp.csv");
    view.refresh();
    EXPECT_EQ(view.scene().runStartOffset(), 2.0);
    EXPECT_EQ(slot(kSlotRatio).x[6], 4.0);
    view.showFile(parsed(em1("run.csv")), dir / "run.csv");
    view.refresh();
    EXPECT_EQ(view.scene().runStartOffset(), 0.0);
    EXPECT_EQ(slot(kSlotRatio).x[6], 6.0);
}

// The mouse routing, on a 100-sample run drawn on a 500 x 200 plot.
class MouseOnGraph : public OverlayView {
protected:
    MouseOnGraph() {
        view.showFile(parsed(runText(100, 40)), dir / "current.csv");
        view.refresh();
    }
    PlotFrame plot() const { return {500, 200, view.axes().xRange(), view.axes().yRange()}; }
    MouseOutcome click(int x, int y) {
        auto out = mouse.press({x, y}, plot());
        (void)mouse.release({x, y}, plot());
        return out;
    }

    GraphCursors cursors{prompter, clock};
    int hitSlot = -1;
    GraphMouse mouse{view, cursors, overlays, graph, [this](PixelPoint) { return hitSlot; }};
};

TEST_F(MouseOnGraph, ClicksPlaceMoveAndOpenCursors) {
    // No cursor: a click changes nothing.
    EXPECT_FALSE(click(100, 50).cursorsChanged);
    cursors.setPlaceMode(true);
    const auto placed = click(250, 50);  // x = 50
    EXPECT_TRUE(placed.closeInstruction);
    ASSERT_EQ(cursors.count(), 1);
    EXPECT_DOUBLE_EQ(*cursors.mainPosition(), 50.0);
    // A click within 5 px of the line opens its popup, and the next press
    // only closes it.
    const auto popup = click(254, 50);
    EXPECT_EQ(popup.openPopup, 0);
    EXPECT_TRUE(click(100, 50).closePopup);
    EXPECT_DOUBLE_EQ(*cursors.mainPosition(), 50.0);
    // Elsewhere the main cursor moves to the click.
    EXPECT_TRUE(click(100, 50).cursorsChanged);
    EXPECT_DOUBLE_EQ(*cursors.mainPosition(), 20.0);
    // A moving cursor is dragged by its handle; letting it go closes the
    // instruction, a plain click does not.
    cursors.startMove(0, 200);
    (void)mouse.press({100, 100}, plot());
    (void)mouse.move({300, 120}, plot());
    EXPECT_TRUE(mouse.release({300, 120}, plot()).closeInstruction);
    EXPECT_DOUBLE_EQ(*cursors.mainPosition(), 60.0);
    (void)mouse.press({400, 50}, plot());
    EXPECT_FALSE(mouse.release({400, 50}, plot()).closeInstruction);
}

TEST_F(MouseOnGraph, FocusBoxIsTheSameRegionWhicheverWayItIsDrawn) {
    EXPECT_TRUE(mouse.armFocus());
    (void)mouse.press({400, 150}, plot());
    (void)mouse.move({100, 50}, plot());
    EXPECT_TRUE(graph.model.zoomBox().has_value());
    const PlotFrame before = plot();
    (void)mouse.release({100, 50}, plot());
    EXPECT_FALSE(graph.model.zoomBox().has_value());
    const AxisRange backward = view.axes().xRange();
    const AxisRange backwardY = view.axes().yRange();
    EXPECT_DOUBLE_EQ(backward.min, 20.0);
    EXPECT_DOUBLE_EQ(backward.max, 80.0);
    resetZoom();
    EXPECT_TRUE(mouse.armFocus());
    (void)mouse.press({100, 50}, before);
    (void)mouse.release({400, 150}, before);
    EXPECT_EQ(view.axes().xRange(), backward);
    EXPECT_EQ(view.axes().yRange(), backwardY);
    EXPECT_FALSE(mouse.focusArmed());
}

TEST_F(MouseOnGraph, AutoAlignDragAndHandDragOfTheOverlay) {
    ASSERT_TRUE(overlays.loadOverlay(dir.write("over.csv", runText(100, 46))));
    ASSERT_TRUE(overlays.startAutoAlign());
    // Right to left across both peaks (x 30 to 60).
    (void)mouse.press({300, 100}, plot());
    (void)mouse.move({150, 100}, plot());
    EXPECT_TRUE(graph.model.dragLine().has_value());
    const auto done = mouse.release({150, 100}, plot());
    EXPECT_TRUE(done.closeInstruction);
    EXPECT_FALSE(overlays.alignMode());
    EXPECT_DOUBLE_EQ(view.offsets().xOffset(1), -6.0);

    // Over an overlay trace the hand shows, and a press drags that set.
    hitSlot = 3;
    EXPECT_EQ(mouse.move({200, 100}, plot()).shape, MouseShape::Hand);
    (void)mouse.press({200, 100}, plot());
    const auto dragged = mouse.move({205, 100}, plot());  // 5 px = 1 sample
    EXPECT_TRUE(dragged.offsetsChanged);
    EXPECT_DOUBLE_EQ(view.offsets().xOffset(1), -5.0);
    (void)mouse.release({205, 100}, plot());
    hitSlot = 0;  // the current run's trace is not dragged
    EXPECT_EQ(mouse.move({200, 100}, plot()).shape, MouseShape::Arrow);
}

TEST_F(MouseOnGraph, ArrowsStepTheMainCursorAndScrollTheWindow) {
    view.showXRange({0.0, 50.0});
    cursors.add(49.0);
    ASSERT_TRUE(mouse.arrow(true));
    EXPECT_DOUBLE_EQ(*cursors.mainPosition(), 50.0);
    ASSERT_TRUE(mouse.arrow(true));  // past the right edge: the window follows
    EXPECT_EQ(view.axes().xRange(), (AxisRange{1.0, 51.0}));
    cursors.moveMain(98.0);
    for (int i = 0; i < 25; ++i) {
        (void)mouse.arrow(true);
    }
    EXPECT_DOUBLE_EQ(*cursors.mainPosition(), 99.0);  // the last sample
    // In mm: to the next sample beyond the cursor.
    view.setXAxisType(XAxisType::Millimetres);
    cursors.moveMain(2.03);
    clock.advance(600);
    ASSERT_TRUE(mouse.arrow(false));
    EXPECT_DOUBLE_EQ(*cursors.mainPosition(), 2.0);
}

}  // namespace
}  // namespace corvane
