// The live path of the main window: the receive thread leaves samples in
// the LiveFeed, the window's thread builds the traces from them (GraphView,
// LiveTraces) and the axes follow.

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "ModelGraph.h"
#include "RecordingPoster.h"
#include "SyntheticSamples.h"
#include "TestClocks.h"
#include "display/GraphView.h"
#include "display/LiveFeed.h"

namespace corvane {
namespace {

using test::ManualClock;
using test::ModelGraph;
using test::RecordingPoster;

SampleRecord sample(double counts, double absA, double absB, double mm) {
    SampleRecord r;
    r.sampleA = static_cast<std::uint32_t>(counts);
    r.sourceA = static_cast<std::uint32_t>(counts) + 17;
    r.sampleB = static_cast<std::uint32_t>(counts) - 5;
    r.sourceB = static_cast<std::uint32_t>(counts) + 3;
    r.absorbanceA = absA;
    r.absorbanceB = absB;
    r.positionA = mm;
    r.positionB = mm + 0.05;
    return r;
}

ViewSettings absorbanceOnly() {
    ViewSettings s;
    s.shown = {false, false, true, false, false, true, false};
    return s;
}

class LiveView : public ::testing::Test {
protected:
    // Samples arrive, then the window takes its LiveData message.
    void feedAndSync(const SampleRecord& r) {
        feed.add(r);
        feed.liveDataTaken();
        view.syncLive();
    }
    const TraceSlot& slot(int s) const { return graph.model.slot(s); }

    ManualClock clock;
    RecordingPoster poster;
    LiveFeed feed{clock, poster};
    ModelGraph graph;
    GraphView view{graph, feed};
};

TEST_F(LiveView, TheRingWrapsAt25000AndKeepsTheNewest) {
    for (int i = 0; i < LiveSamples::kSize + 1; ++i) {
        feed.add(sample(1000 + i, 0.1, 0.2, i * 0.01));
    }
    EXPECT_EQ(feed.stored(), 25000);
    EXPECT_EQ(feed.total(), 25001);
    const auto numbers = feed.storedNumbers();
    EXPECT_EQ(numbers.front(), 1);  // sample 0 was overwritten
    EXPECT_EQ(numbers.back(), 25000);
    EXPECT_EQ(feed.latest()->sampleA, 1000u + 25000u);

    const auto generation = feed.generation();
    feed.clear();
    EXPECT_EQ(feed.stored(), 0);
    EXPECT_NE(feed.generation(), generation);
}

TEST_F(LiveView, OneLiveDataWaitsAtATimeAndReadoutsComeEvery500Ms) {
    feed.add(sample(1000, 0.1, 0.2, 1));
    for (int i = 0; i < 20; ++i) {
        clock.advance(20);
        feed.add(sample(1000, 0.1, 0.2, 1));
    }
    // However many samples come, the window has one message to take.
    EXPECT_EQ(poster.count(UserMsg::LiveData), 1);
    EXPECT_EQ(poster.count(UserMsg::Readouts), 1);  // 400 ms in
    feed.liveDataTaken();
    clock.advance(99);
    feed.add(sample(1000, 0.1, 0.2, 1));
    EXPECT_EQ(poster.count(UserMsg::LiveData), 2);
    EXPECT_EQ(poster.count(UserMsg::Readouts), 1);  // 499 ms
    clock.advance(1);
    feed.add(sample(1000, 0.1, 0.2, 1));
    EXPECT_EQ(poster.count(UserMsg::Readouts), 2);  // 500 ms

    feed.setPaused(true);
    clock.advance(1000);
    feed.liveDataTaken();
    feed.add(sample(1000, 0.1, 0.2, 1));
    EXPECT_EQ(poster.count(UserMsg::Readouts), 2);
    EXPECT_EQ(poster.count(UserMsg::LiveData), 2);
    EXPECT_EQ(feed.total(), 23);
}

TEST_F(LiveView, BySampleNumberTheWindowFillsThenScrolls) {
    view.apply(absorbanceOnly());
    for (int i = 0; i < 100; ++i) {
        feedAndSync(sample(1000, 0.1, 0.2, i * 0.1));
    }
    EXPECT_EQ(view.axes().xRange(), (AxisRange{0.0, 500.0}));
    EXPECT_EQ(slot(kSlotAbsA).count(), 100);
    for (int i = 100; i < 800; ++i) {
        feedAndSync(sample(1000, 0.1, 0.2, i * 0.1));
    }
    EXPECT_EQ(view.axes().xRange(), (AxisRange{299.0, 799.0}));
    ASSERT_EQ(slot(kSlotAbsA).count(), 501);
    EXPECT_EQ(slot(kSlotAbsA).x.front(), 299.0);
    EXPECT_EQ(slot(kSlotAbsA).x.back(), 799.0);
    EXPECT_EQ(slot(kSlotSampleA).count(), 0);  // hidden channels draw nothing
    // A sample costs a repaint of what changed, not a rebuild.
    EXPECT_LE(graph.rebuilds, 1);
    EXPECT_GE(graph.redraws, 799);
}

// A window of 25000 samples on a plot of at most about 2000 pixels: a scroll
// of one sample moves nothing on screen, so it moves in steps of 12 samples
// (half a pixel at most), the newest sample never beyond the right edge.
TEST_F(LiveView, AWideWindowScrollsInStepsOfLessThanAPixel) {
    ViewSettings wide = absorbanceOnly();
    wide.windowSamples = 25000;
    view.apply(wide);
    std::vector<AxisRange> ranges;
    for (int i = 0; i < 25040; ++i) {
        feedAndSync(sample(1000, 0.1, 0.2, i * 0.01));
        if (i >= 25000) {
            ranges.push_back(view.axes().xRange());
        }
    }
    EXPECT_EQ(ranges.front(), (AxisRange{12.0, 25012.0})) << "sample 25000 scrolls one step";
    for (std::size_t k = 0; k < ranges.size(); ++k) {
        const double newest = 25000.0 + static_cast<double>(k);
        EXPECT_GE(ranges[k].max, newest);
        EXPECT_LE(ranges[k].max - newest, 12.0);
        EXPECT_EQ(ranges[k].max - ranges[k].min, 25000.0);
    }
    EXPECT_EQ(ranges.back(), (AxisRange{48.0, 25048.0}));
}

TEST_F(LiveView, ByPositionEachChannelIsAtItsOwnPosition) {
    view.apply(absorbanceOnly());
    view.setXAxisType(XAxisType::Millimetres);
    feedAndSync(sample(1000, 0.1, 0.2, 12.5));
    EXPECT_EQ(slot(kSlotAbsA).x.at(0), 12.5);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsB).x.at(0), 12.55);
    EXPECT_EQ(view.axes().xRange(), (AxisRange{0.0, 100.0}));
}

// The gain and offset rows of the current run (DS1), which the printed
// page states, move the live traces as they move a file's.
TEST_F(LiveView, TheCurrentRunsGainsAndOffsetsApplyToTheLiveTraces) {
    view.apply(absorbanceOnly());
    view.setXAxisType(XAxisType::Millimetres);
    feedAndSync(sample(1000, 0.1, 0.2, 12.5));
    ASSERT_TRUE(view.offsets().setYGain(0, 2.0));
    ASSERT_TRUE(view.offsets().setYOffset(0, 0.05));
    ASSERT_TRUE(view.offsets().setXGain(0, 1.5));
    view.refresh();
    feedAndSync(sample(1000, 0.3, 0.4, 20.0));
    ASSERT_EQ(slot(kSlotAbsA).count(), 2);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).y.at(0), 0.1 * 2.0 + 0.05);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).y.at(1), 0.3 * 2.0 + 0.05);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsB).y.at(1), 0.4 * 2.0 + 0.05);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).x.at(1), 30.0);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsB).x.at(1), 20.05 * 1.5);

    // By sample number the window follows the samples where they are shown.
    view.setXAxisType(XAxisType::SampleNumber);
    ASSERT_TRUE(view.offsets().setXGain(0, 1.0));
    ASSERT_TRUE(view.offsets().setXOffset(0, 10.0));
    view.refresh();
    EXPECT_EQ(slot(kSlotAbsA).x.at(0), 10.0);
    EXPECT_EQ(view.axes().xRange(), (AxisRange{10.0, 510.0}));
}

TEST_F(LiveView, AutoScaleKeepsCountsNearAMillionOnScreen) {
    ViewSettings counts;
    counts.shown = {true, false, false, false, false, false, false};
    counts.yAutoScale = true;
    view.apply(counts);
    for (int i = 0; i < 300; ++i) {
        feedAndSync(sample(1000000 + 400 * std::sin(i * 0.1), 0.1, 0.2, i * 0.02));
    }
    const auto y = view.axes().yRange();
    EXPECT_GT(y.min, 999590.0);
    EXPECT_LT(y.max, 1000410.0);
    EXPECT_GT(y.max - y.min, 700.0);
    ASSERT_EQ(slot(kSlotSampleA).count(), 300);
    for (const double v : slot(kSlotSampleA).y) {
        EXPECT_GE(v, graph.model.yMin());
        EXPECT_LE(v, graph.model.yMax());
    }
    EXPECT_EQ(view.axes().axisTexts().yMax.find('.'), std::string::npos);  // "%.0f" above a range of 10
}

// A Y range saved from a zoom on a file (no auto-scale) would show a live
// run as an empty plot: the run widens it, and the saved range stays the
// one files open with, until the operator sets one himself.
TEST_F(LiveView, ASavedZoomRangeWidensToShowTheLiveRunAndIsKeptForFiles) {
    ViewSettings zoomed = absorbanceOnly();
    zoomed.y = {0.50, 0.60};
    view.apply(zoomed);
    feedAndSync(sample(1000, 0.10, 0.05, 1));
    feedAndSync(sample(1000, 0.90, 0.40, 2));
    const AxisRange widened = view.axes().yRange();
    EXPECT_LT(widened.min, 0.05);
    EXPECT_GT(widened.max, 0.90);
    EXPECT_LT(widened.max, 1.0);  // a little to spare, not a jump
    for (const int s : {kSlotAbsA, kSlotAbsB}) {
        for (const double v : slot(s).y) {
            EXPECT_GE(v, graph.model.yMin());
            EXPECT_LE(v, graph.model.yMax());
        }
    }
    EXPECT_EQ(view.axes().settings().y, (AxisRange{0.50, 0.60}));
    // Values inside the range change nothing.
    feedAndSync(sample(1000, 0.50, 0.30, 3));
    EXPECT_EQ(view.axes().yRange(), widened);

    // The operator types a limit: his range stands, values beyond it or not.
    view.change([](AxisState& axes) { EXPECT_TRUE(axes.axisTextEdited(AxisBox::YMax, "0.3")); });
    feedAndSync(sample(1000, 1.50, 0.20, 4));
    EXPECT_DOUBLE_EQ(view.axes().yRange().max, 0.3);
    EXPECT_DOUBLE_EQ(view.axes().settings().y.max, 0.3);
    // The next run starts from his range and widens it as it needs.
    feed.clear();
    feedAndSync(sample(1000, 0.80, 0.20, 1));
    EXPECT_GT(view.axes().yRange().max, 0.80);
    EXPECT_DOUBLE_EQ(view.axes().settings().y.max, 0.3);
    // A spike before it (the needles in a calibration beaker) is no part of
    // the next run: that run starts from the saved range again.
    feedAndSync(sample(1000, 20.0, 0.20, 2));
    EXPECT_GT(view.axes().yRange().max, 20.0);
    feed.clear();
    feedAndSync(sample(1000, 0.20, 0.10, 1));
    EXPECT_DOUBLE_EQ(view.axes().yRange().max, 0.3);

    // A file shown gets the kept range back; with auto-scale on nothing widens.
    AxisState axes;
    axes.apply(zoomed);
    EXPECT_TRUE(axes.widenForLive({0.1, 0.9}));
    axes.endLiveWidening();
    EXPECT_EQ(axes.yRange(), (AxisRange{0.50, 0.60}));
    zoomed.yAutoScale = true;
    axes.apply(zoomed);
    EXPECT_FALSE(axes.widenForLive({0.1, 0.9}));
    EXPECT_EQ(axes.yRange(), (AxisRange{0.50, 0.60}));
}

TEST_F(LiveView, YYAutoScaleSkipsRatiosOfZeroAbsorbanceB) {
    ViewSettings ratio = absorbanceOnly();
    ratio.shown[kChannelRatio] = true;
    ratio.yyAutoScale = true;
    view.apply(ratio);
    feedAndSync(sample(1000, 0.5, 0.25, 1));
    feedAndSync(sample(1000, 0.3, 0.0, 2));  // ratio not a number
    feedAndSync(sample(1000, 0.25, 0.25, 3));
    EXPECT_EQ(view.axes().yyRange(), (AxisRange{1.0, 2.0}));
    EXPECT_TRUE(view.yyControlsVisible());
}

// The traces built sample by sample against the same traces built at once,
// through a ring that wraps, in each kind of x window. Auto-scale on both
// axes, ratios that are not numbers, samples outside a fixed mm window.
TEST_F(LiveView, TracesBuiltSampleBySampleAreThoseBuiltAtOnce) {
    struct Case {
        const char* name;
        XAxisType axis;
        bool xAutoScale;
        double windowSamples;
    };
    for (const Case& c : {Case{"by number", XAxisType::SampleNumber, false, 3000.0},
                          Case{"by mm", XAxisType::Millimetres, false, 500.0},
                          Case{"by mm, x auto-scaled", XAxisType::Millimetres, true, 500.0}}) {
        SCOPED_TRACE(c.name);
        ManualClock otherClock;
        RecordingPoster otherPoster;
        LiveFeed ring(otherClock, otherPoster);
        ModelGraph grown;
        ModelGraph fresh;
        GraphView live(grown, ring);
        GraphView once(fresh, ring);
        ViewSettings settings;
        settings.shown = {true, false, true, false, false, true, true};
        settings.windowSamples = c.windowSamples;
        settings.windowMm = 120.0;
        settings.yAutoScale = true;
        settings.yyAutoScale = true;
        settings.xAutoScale = c.xAutoScale;
        for (GraphView* v : {&live, &once}) {
            v->apply(settings);
            v->setXAxisType(c.axis);
        }
        const auto samples = test::syntheticRun(31000, 0.01);
        std::size_t next = 0;
        for (int batch = 1; next < samples.size(); batch = batch % 7 + 1) {
            for (int k = 0; k < batch && next < samples.size(); ++k, ++next) {
                SampleRecord r = samples[next];
                if (next % 97 == 0) {
                    r.absorbanceB = 0.0;
                }
                ring.add(r);
            }
            live.syncLive();
            if (next % 1500 < 7 || next == samples.size()) {
                once.refresh();
                ASSERT_EQ(live.axes().xRange(), once.axes().xRange()) << next;
                ASSERT_EQ(live.axes().yRange(), once.axes().yRange()) << next;
                ASSERT_EQ(live.axes().yyRange(), once.axes().yyRange()) << next;
                for (int s = 0; s < kTraceSlots; ++s) {
                    const TraceSlot& a = grown.model.slot(s);
                    const TraceSlot& b = fresh.model.slot(s);
                    ASSERT_EQ(a.count(), b.count()) << "slot " << s << " at " << next;
                    for (std::size_t i = 0; i < a.x.size(); ++i) {
                        ASSERT_EQ(a.x[i], b.x[i]) << "slot " << s << " at " << next;
                        ASSERT_TRUE(a.y[i] == b.y[i] || (std::isnan(a.y[i]) && std::isnan(b.y[i])));
                    }
                }
            }
        }
        EXPECT_EQ(ring.stored(), LiveSamples::kSize);
    }
}

TEST_F(LiveView, ABusyGraphLosesNothingTheNextSampleDoesNotBring) {
    view.apply(absorbanceOnly());
    feedAndSync(sample(1000, 0.1, 0.2, 1));
    graph.busy = true;
    feedAndSync(sample(1000, 0.2, 0.2, 2));
    feedAndSync(sample(1000, 0.3, 0.2, 3));
    EXPECT_EQ(slot(kSlotAbsA).count(), 1);
    graph.busy = false;
    feedAndSync(sample(1000, 0.4, 0.2, 4));
    EXPECT_EQ(slot(kSlotAbsA).count(), 4);
    EXPECT_EQ(slot(kSlotAbsA).y.back(), 0.4);
}

TEST_F(LiveView, TheReceiveThreadFeedsWhileTheWindowChangesTheView) {
    view.apply(absorbanceOnly());
    std::thread receive([&] {
        for (int i = 0; i < 3000; ++i) {
            feed.add(sample(1000 + i, 0.1, 0.2, i * 0.01));
        }
    });
    for (int turn = 0; turn < 40; ++turn) {
        view.setChannelShown(turn % kChannelCount, turn % 3 != 0);
        view.setXAxisType(turn % 2 == 0 ? XAxisType::Millimetres : XAxisType::SampleNumber);
        view.setYAutoScale(turn % 4 == 0);
        feed.liveDataTaken();
        view.syncLive();
        (void)view.axes().axisTexts();
        if (turn % 10 == 0) {
            feed.clear();
        }
    }
    receive.join();
    view.syncLive();
    EXPECT_LE(feed.stored(), 3000);
    EXPECT_EQ(feed.latest()->sampleA, 1000u + 2999u);
}

TEST_F(LiveView, AxisBoxesSpinsAndTheirTexts) {
    view.apply(ViewSettings{});  // y 0..2
    EXPECT_EQ(view.axes().axisTexts().yMax, "2.00");
    const auto spin = [&](AxisBox box, const char* text) {
        bool taken = false;
        view.change([&](AxisState& axes) { taken = axes.axisSpin(box, text, true); });
        return taken;
    };
    const auto type = [&](AxisBox box, const char* text) {
        bool taken = false;
        view.change([&](AxisState& axes) { taken = axes.axisTextEdited(box, text); });
        return taken;
    };
    EXPECT_TRUE(spin(AxisBox::YMax, "2.00"));
    EXPECT_EQ(view.axes().yRange(), (AxisRange{0.0, 2.5}));  // a quarter of 0..2
    EXPECT_FALSE(spin(AxisBox::YMin, "not a number"));
    EXPECT_EQ(view.axes().yRange(), (AxisRange{0.0, 2.5}));
    EXPECT_TRUE(type(AxisBox::YMax, " 0.5x"));
    EXPECT_EQ(view.axes().axisTexts().yMax, "0.500000");  // range below 1
    EXPECT_FALSE(type(AxisBox::YYMin, "abc"));
    EXPECT_EQ(view.axes().yyRange(), (AxisRange{0.0, 2.0}));

    EXPECT_TRUE(view.windowSizeEdited(false, "750"));
    EXPECT_FALSE(view.windowSizeEdited(true, "-3"));
    EXPECT_EQ(view.axes().axisTexts().windowMm, "100.00");
    EXPECT_TRUE(view.windowSizeSpin(true, true));
    EXPECT_EQ(view.axes().axisTexts().windowMm, "200.00");

    for (int c = 0; c < kChannelCount; ++c) {
        view.setChannelShown(c, false);
    }
    EXPECT_FALSE(view.yControlsVisible());
    EXPECT_FALSE(view.yyControlsVisible());
    view.setChannelShown(kChannelRatio, true);
    EXPECT_TRUE(view.yyControlsVisible());
}

}  // namespace
}  // namespace corvane
