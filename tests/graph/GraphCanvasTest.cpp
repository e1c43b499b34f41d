#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>
#include <limits>

#include "QtTestApp.h"
#include "graph/GraphCanvas.h"

namespace corvane {
namespace {

// A 300 x 150 plot, x 0..100, y 0..2 on both axes.
class GraphCanvasTest : public ::testing::Test {
protected:
    GraphCanvasTest() {
        test::qtApp();
        model.setXRange(0.0, 100.0);
        model.setYRanges(0.0, 2.0, 0.0, 2.0, false, false);
        model.setShowGrid(true);
    }

    // What the widget shows: the kept picture and the overlay.
    QImage shown() {
        QImage image(kPlot, QImage::Format_RGB32);
        QPainter p(&image);
        canvas.draw(p, QRect(QPoint(0, 0), kPlot), &model);
        return image;
    }
    // The same model drawn whole.
    QImage whole() {
        QImage image(kPlot, QImage::Format_RGB32);
        QPainter p(&image);
        GraphPainter(GraphPaintStyle::screen()).paint(p, model, kPlot);
        return image;
    }
    // Pixels that differ between two pictures.
    static int differing(const QImage& a, const QImage& b) {
        int n = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                n += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
            }
        }
        return n;
    }
    void append(int slot, double x, double y) { ASSERT_TRUE(model.appendTraceData(&x, &y, 1, slot, 1.0)); }

    static constexpr QSize kPlot{300, 150};
    GraphModel model;
    GraphCanvas canvas;
};

TEST_F(GraphCanvasTest, ALiveRunGrowsOnTheKeptPictureAsIfDrawnWhole) {
    append(kSlotAbsA, 0.0, 0.5);
    append(kSlotAbsB, 0.0, 1.5);
    EXPECT_EQ(canvas.update(model, kPlot), QRect(QPoint(0, 0), kPlot));
    EXPECT_EQ(canvas.wholeRedraws(), 1u);

    // Two traces that never cross, many points per pixel column, a point
    // right of the plot and one that is not a number (both break the line).
    for (int i = 1; i < 900; ++i) {
        const double x = i * 0.1 + (i == 400 ? 200.0 : 0.0);
        append(kSlotAbsA, x, i == 600 ? std::numeric_limits<double>::quiet_NaN() : 0.5 + 0.4 * std::sin(i * 0.05));
        append(kSlotAbsB, x, 1.5 + 0.4 * std::cos(i * 0.07));
        const QRect changed = canvas.update(model, kPlot);
        // Only the newest segments are repainted.
        ASSERT_LT(changed.width(), 12) << i;
        ASSERT_TRUE(changed.isEmpty() || QRect(QPoint(0, 0), kPlot).contains(changed)) << i;
    }
    EXPECT_EQ(canvas.wholeRedraws(), 1u);
    EXPECT_EQ(canvas.pointRedraws(), 899u);
    EXPECT_EQ(differing(shown(), whole()), 0);

    // Nothing new: nothing to repaint.
    EXPECT_TRUE(canvas.update(model, kPlot).isEmpty());
}

TEST_F(GraphCanvasTest, OtherChangesRedrawTheDataWhole) {
    for (int i = 0; i < 50; ++i) {
        append(kSlotAbsA, i, 1.0);
    }
    canvas.update(model, kPlot);
    const auto redrawsAfter = [&](auto change) {
        const auto before = canvas.wholeRedraws();
        change();
        const QRect changed = canvas.update(model, kPlot);
        EXPECT_EQ(differing(shown(), whole()), 0);
        return changed == QRect(QPoint(0, 0), kPlot) && canvas.wholeRedraws() == before + 1;
    };
    EXPECT_TRUE(redrawsAfter([&] { model.setXRange(10.0, 110.0); }));  // a scroll or rescale
    EXPECT_TRUE(redrawsAfter([&] { model.setYRanges(0.0, 3.0, 0.0, 2.0, false, false); }));
    EXPECT_TRUE(redrawsAfter([&] { model.emptyTrace(kSlotAbsA); }));  // a channel switched off
    EXPECT_TRUE(redrawsAfter([&] { append(kSlotAbsA, 60.0, 1.2); canvas.invalidate(); }));
    // A mark trace's ticks depend on the points before them.
    model.setMarkTrace(kSlotRatio, true, 0.1, 0.0, false, 0.0);
    EXPECT_TRUE(redrawsAfter([&] { append(kSlotRatio, 70.0, 1.0); }));
    // Another size.
    const auto before = canvas.wholeRedraws();
    EXPECT_EQ(canvas.update(model, QSize(200, 100)), QRect(0, 0, 200, 100));
    EXPECT_EQ(canvas.wholeRedraws(), before + 1);
}

TEST_F(GraphCanvasTest, PointsLetGoOfLeaveThePictureSoonAfter) {
    for (int i = 0; i < 100; ++i) {
        append(kSlotAbsA, i, 1.0 + (i % 2) * 0.5);
    }
    canvas.update(model, kPlot);
    // The ring is full: a point in, the oldest out, sample after sample.
    for (std::uint64_t i = 0; i < GraphCanvas::kStalePointLimit; ++i) {
        model.dropOldestPoints(kSlotAbsA, 1);
        append(kSlotAbsA, 100.0 - static_cast<double>(i) * 0.01, 0.2);
        canvas.update(model, kPlot);
    }
    EXPECT_EQ(canvas.wholeRedraws(), 1u);
    model.dropOldestPoints(kSlotAbsA, 1);
    canvas.update(model, kPlot);
    EXPECT_EQ(canvas.wholeRedraws(), 2u);
    EXPECT_EQ(differing(shown(), whole()), 0);
}

TEST_F(GraphCanvasTest, TheOverlayIsRepaintedWithoutRedrawingTheData) {
    for (int i = 0; i < 100; ++i) {
        append(kSlotAbsA, i, 1.0);
    }
    canvas.update(model, kPlot);
    model.setCursorList(true, {GraphCursor{50.0, false, 0}});
    EXPECT_EQ(canvas.update(model, kPlot), QRect(QPoint(0, 0), kPlot));
    EXPECT_EQ(differing(shown(), whole()), 0);
    model.setCursorList(true, {GraphCursor{51.0, false, 0}});
    canvas.update(model, kPlot);
    EXPECT_EQ(differing(shown(), whole()), 0);
    model.showMessage("Recording paused");
    canvas.update(model, kPlot);
    EXPECT_EQ(differing(shown(), whole()), 0);
    EXPECT_EQ(canvas.wholeRedraws(), 1u);
}

}  // namespace
}  // namespace corvane
