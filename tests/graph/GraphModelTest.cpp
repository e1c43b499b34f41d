#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graph/GraphMapping.h"
#include "graph/GraphModel.h"

namespace corvane {
namespace {

using ::testing::DoubleEq;
using ::testing::ElementsAre;

TEST(GraphMapping, RoundsHalfUpByTruncationAndPinsRowsToTheEdges) {
    EXPECT_EQ(rnd(2.5), 3);
    EXPECT_EQ(rnd(2.49), 2);
    EXPECT_EQ(rnd(-0.7), 0);  // truncation: negative values round towards zero
    EXPECT_EQ(rnd(std::numeric_limits<double>::quiet_NaN()), kNoPixel);

    const GraphMapping map(0.0, 30.0, 100, 200);
    EXPECT_EQ(map.px(15.0), 50);
    EXPECT_EQ(map.px(30.0), 100);
    EXPECT_TRUE(map.inPlot(map.px(-0.3)));   // rnd(-1.0) is 0
    EXPECT_FALSE(map.inPlot(map.px(-0.6)));  // rnd(-2.0) is -1: left of the plot

    EXPECT_EQ(map.py(2.5, 0.0, 5.0, 0), 100);
    EXPECT_EQ(map.py(2.5, 0.0, 5.0, -30), 70);
    EXPECT_EQ(map.py(5.0, 0.0, 5.0, 0), 0);
    EXPECT_EQ(map.py(0.0, 0.0, 5.0, 0), 199);  // the bottom edge is the row above H
    EXPECT_EQ(map.py(80.0, 0.0, 5.0, 0), 0);
    EXPECT_EQ(map.py(std::numeric_limits<double>::infinity(), 0.0, 5.0, 0), 0);
    EXPECT_EQ(map.py(-std::numeric_limits<double>::infinity(), 0.0, 5.0, 0), 199);
    EXPECT_EQ(map.py(std::numeric_limits<double>::quiet_NaN(), 0.0, 5.0, 0), kNoPixel);

    EXPECT_DOUBLE_EQ(map.xAt(50), 15.0);
    EXPECT_DOUBLE_EQ(map.yAt(50, 0.0, 4.0), 3.0);
}

TEST(GraphModel, ColoursAreTheTabledOnes) {
    GraphModel model;
    model.setTraceColour(kSlotAbsA, Rgb{9, 9, 9});
    model.resetColours();
    std::vector<Rgb> colours;
    for (int slot = 0; slot < kTraceSlots; ++slot) {
        colours.push_back(model.getTraceColour(slot));
    }
    EXPECT_THAT(colours,
                ElementsAre(Rgb{0, 255, 1}, Rgb{255, 128, 0}, Rgb{255, 1, 0}, Rgb{0, 0, 255},
                            Rgb{255, 0, 255}, Rgb{1, 1, 1}, Rgb{160, 0, 0}, Rgb{255, 255, 0}));
}

TEST(GraphModel, SetTraceDataAppliesGainShiftAndLogMappingInThatOrder) {
    GraphModel model;
    const double x[] = {10.0, 11.0, 12.0};
    const double y[] = {0.01, 0.1, 1.0};

    EXPECT_FALSE(model.setTraceData(x, y, 0, kSlotAbsA, 1.0));
    EXPECT_FALSE(model.fullGraphMode());

    // The mark trace's gate (its tick height) shifts every x but the first.
    model.setMarkTrace(kSlotRatio, true, 0.1, 2.5, false, 0.0);
    ASSERT_TRUE(model.setTraceData(x, y, 3, kSlotRatio, 10.0));
    EXPECT_TRUE(model.fullGraphMode());
    EXPECT_THAT(model.slot(kSlotRatio).x, ElementsAre(10.0, 13.5, 14.5));
    EXPECT_THAT(model.slot(kSlotRatio).y,
                ElementsAre(DoubleEq(0.1), DoubleEq(1.0), DoubleEq(10.0)));
    EXPECT_DOUBLE_EQ(model.lastX(kSlotRatio), 12.0);
    EXPECT_EQ(model.lastX(kSlotAbsB), 0.0);

    // Four decades over the axis: 0.001..10 puts each decade on a quarter.
    model.setYRanges(0.001, 10.0, 0.01, 100.0, true, false);
    ASSERT_TRUE(model.setTraceData(x, y, 3, kSlotAbsA, 1.0));
    const auto& logY = model.slot(kSlotAbsA).y;
    EXPECT_NEAR(logY[0], 0.001 + 9.999 * 0.25, 1e-12);
    EXPECT_NEAR(logY[1], 0.001 + 9.999 * 0.5, 1e-12);
    EXPECT_NEAR(logY[2], 0.001 + 9.999 * 0.75, 1e-12);
    EXPECT_THAT(model.slot(kSlotAbsA).x, ElementsAre(10.0, 11.0, 12.0));  // gate closed

    // Slot 6 maps on the YY range: 0.01 is its bottom, 1.0 half way up.
    ASSERT_TRUE(model.setTraceData(x, y, 3, kSlotRatio, 1.0));
    EXPECT_NEAR(model.slot(kSlotRatio).y[0], 0.01, 1e-12);
    EXPECT_NEAR(model.slot(kSlotRatio).y[2], 0.01 + 99.99 * 0.5, 1e-12);
}

TEST(GraphModel, AppendedPointsAreTheSameAsSetOnesAndTheOldestCanBeLetGo) {
    // Gain, shift (not on the very first point) and log mapping, as a slot
    // set whole would have them.
    GraphModel whole;
    GraphModel grown;
    for (GraphModel* m : {&whole, &grown}) {
        m->setYRanges(0.01, 100.0, 0.01, 100.0, true, false);
        m->setMarkTrace(kSlotAbsA, false, 0.1, 0.5, false, 0.0);
    }
    const double x[] = {1, 2, 3, 4, 5};
    const double y[] = {0.1, 1, 10, 3, 0.5};
    ASSERT_TRUE(whole.setTraceData(x, y, 5, kSlotAbsA, 2.0));
    ASSERT_TRUE(grown.appendTraceData(x, y, 2, kSlotAbsA, 2.0));
    ASSERT_TRUE(grown.appendTraceData(x + 2, y + 2, 3, kSlotAbsA, 2.0));
    EXPECT_THAT(grown.slot(kSlotAbsA).x, ElementsAre(1.0, 2.5, 3.5, 4.5, 5.5));
    EXPECT_THAT(grown.slot(kSlotAbsA).y, ::testing::Pointwise(DoubleEq(), whole.slot(kSlotAbsA).y));
    EXPECT_FALSE(grown.appendTraceData(x, y, 0, kSlotAbsA, 1.0));

    grown.dropOldestPoints(kSlotAbsA, 2);
    EXPECT_EQ(grown.slot(kSlotAbsA).count(), 3);
    EXPECT_EQ(grown.slot(kSlotAbsA).firstIndex, 2u);
    EXPECT_DOUBLE_EQ(grown.slot(kSlotAbsA).x.front(), 3.5);
    EXPECT_DOUBLE_EQ(grown.lastX(kSlotAbsA), 5.0);
    grown.dropOldestPoints(kSlotAbsA, 10);  // more than it holds
    EXPECT_EQ(grown.slot(kSlotAbsA).count(), 0);
    EXPECT_EQ(grown.slot(kSlotAbsA).firstIndex, 5u);
    // Points added after the first ever are shifted: the slot's first point
    // is gone, not new.
    grown.appendTraceData(x, y, 1, kSlotAbsA, 1.0);
    EXPECT_DOUBLE_EQ(grown.slot(kSlotAbsA).x.front(), 1.5);

    // Replacing the data starts the count again.
    grown.setTraceData(x, y, 2, kSlotAbsA, 1.0);
    EXPECT_EQ(grown.slot(kSlotAbsA).firstIndex, 0u);
}

TEST(GraphModel, ALiveTraceKeepsItsNewestPointsWithoutLosingAny) {
    // Far more points through the slot than it ever holds, as a long run
    // through a full ring: the values held are always the newest, in order.
    GraphModel model;
    constexpr int kHeld = 1000;
    for (int i = 0; i < 20 * kHeld; ++i) {
        const double v = i;
        ASSERT_TRUE(model.appendTraceData(&v, &v, 1, kSlotAbsA, 1.0));
        if (model.slot(kSlotAbsA).count() > kHeld) {
            model.dropOldestPoints(kSlotAbsA, 1);
        }
    }
    const TraceSlot& slot = model.slot(kSlotAbsA);
    ASSERT_EQ(slot.count(), kHeld);
    for (int i = 0; i < kHeld; ++i) {
        ASSERT_EQ(slot.x[static_cast<std::size_t>(i)], 19 * kHeld + i) << i;
    }
    EXPECT_EQ(slot.firstIndex, static_cast<std::uint64_t>(19 * kHeld));
}

TEST(GraphModel, RevisionsMoveOnlyWithWhatChangesThePicture) {
    GraphModel model;
    const double x[] = {1, 2};
    model.setTraceData(x, x, 2, kSlotAbsA, 1.0);
    model.setXRange(0.0, 10.0);
    const auto data = model.revision();
    const auto overlay = model.overlayRevision();

    // The same values again, new points at the end, old ones let go of:
    // a kept picture can follow these without starting over.
    model.setXRange(0.0, 10.0);
    model.setShowGrid(false);
    model.setContext(GraphContext{});
    model.appendTraceData(x, x, 2, kSlotAbsA, 1.0);
    model.dropOldestPoints(kSlotAbsA, 1);
    EXPECT_EQ(model.revision(), data);

    // Cursors and boxes are drawn over the picture.
    auto overlayMoves = [&](auto change) {
        const auto before = model.overlayRevision();
        change();
        return model.overlayRevision() != before && model.revision() == data;
    };
    EXPECT_TRUE(overlayMoves([&] { model.setCursorList(true, {GraphCursor{3.0, false, 0}}); }));
    EXPECT_TRUE(overlayMoves([&] { model.startZoomBox({1, 1}); }));
    EXPECT_TRUE(overlayMoves([&] { model.extendZoomBox({5, 5}); }));
    EXPECT_TRUE(overlayMoves([&] { model.setSelectionBox(PixelRect{0, 0, 4, 4}); }));
    EXPECT_FALSE(overlayMoves([&] { model.setSelectionBox(PixelRect{0, 0, 4, 4}); }));
    EXPECT_NE(model.overlayRevision(), overlay);

    auto dataMoves = [&](auto change) {
        const auto before = model.revision();
        change();
        return model.revision() != before;
    };
    EXPECT_TRUE(dataMoves([&] { model.setXRange(0.0, 11.0); }));
    EXPECT_TRUE(dataMoves([&] { model.setTraceColour(kSlotAbsA, Rgb{1, 2, 3}); }));
    EXPECT_TRUE(dataMoves([&] { model.emptyTrace(kSlotSampleA); }));
}

TEST(GraphModel, AxisRuleSendsTheRightSlotsToTheYYAxis) {
    auto rightSlots = [](GraphModel& model) {
        std::vector<int> right;
        for (int slot = 0; slot < kTraceSlots; ++slot) {
            if (model.usesRightAxis(slot)) {
                right.push_back(slot);
            }
        }
        return right;
    };
    GraphModel model;
    GraphContext context;
    EXPECT_THAT(rightSlots(model), ElementsAre(kSlotRatio));

    model.setYRanges(0, 5, 0, 5, false, true);
    EXPECT_EQ(rightSlots(model).size(), 8u);  // ratio on YY: everything

    context.fluorescence = true;
    model.setContext(context);
    model.setYRanges(0, 5, 0, 5, false, false);
    EXPECT_THAT(rightSlots(model), ElementsAre(kSlotAbsB));

    model.setOverlayMode(true);
    EXPECT_THAT(rightSlots(model), ElementsAre(1, 4));  // channel B of current and overlay
    context.fluorescence = false;
    model.setContext(context);
    EXPECT_THAT(rightSlots(model), ElementsAre(2, 5));  // the ratio of both
    model.setOverlayMode(false);

    context.fluorescence = true;
    context.compareMode = true;
    model.setContext(context);
    EXPECT_EQ(rightSlots(model).size(), 8u);

    // A mark trace is on the YY axis whatever the mode.
    context = GraphContext{};
    model.setContext(context);
    model.setMarkTrace(kSlotAbsA, true, 0.1, 0.0, false, 0.0);
    EXPECT_THAT(rightSlots(model), ElementsAre(kSlotAbsA, kSlotRatio));
    context.fluorescence = true;
    model.setContext(context);
    model.setOverlayMode(true);
    EXPECT_THAT(rightSlots(model), ElementsAre(1, kSlotAbsA, 4));
}

TEST(GraphModel, PixelOffsetAndStartOffsetFollowTheirRules) {
    GraphModel model;
    model.setTracePixelOffset(kSlotAbsA, 0.5, 2.0, 201);
    EXPECT_EQ(model.slot(kSlotAbsA).pixelOffset, -50);  // truncated from -50.25
    model.setTracePixelOffset(kSlotAbsA, 0.5, 0.0, 201);
    EXPECT_EQ(model.slot(kSlotAbsA).pixelOffset, 0);

    model.setMarkTrace(kSlotRatio, true, 0.1, -4.0, true, 4.0);
    EXPECT_TRUE(model.startLineFlag());
    EXPECT_EQ(model.startOffset(), -4.0);

    // Clearing a slot forgets its configuration but not its colour.
    model.setTraceColour(kSlotRatio, Rgb{1, 2, 3});
    model.clearTrace(kSlotRatio);
    EXPECT_FALSE(model.slot(kSlotRatio).markStyle);
    EXPECT_FALSE(model.startLineFlag());
    EXPECT_EQ(model.getTraceColour(kSlotRatio), (Rgb{1, 2, 3}));
}

TEST(GraphModel, MessageShowsOnceOrStaysOnALivePictureUntilRebuilt) {
    GraphModel model;
    model.showMessage("Recording paused");
    EXPECT_TRUE(model.messageVisible());
    model.messagePainted();
    EXPECT_FALSE(model.messageVisible());

    GraphContext live;
    live.liveRun = true;
    model.setContext(live);
    model.showMessage("Recording paused");
    model.messagePainted();
    model.messagePainted();
    EXPECT_TRUE(model.messageVisible());
    model.redrawAll();
    EXPECT_FALSE(model.messageVisible());
}

}  // namespace
}  // namespace corvane
