#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "QtTestApp.h"
#include "TestClocks.h"
#include "graph/CGraphCtrl.h"

namespace corvane {
namespace {

using test::countInColumn;
using test::kBlack;

// A 200 x 100 plot, x 0..20 (10 px per unit), y 0..5 (20 px per unit).
class CGraphCtrlTest : public ::testing::Test {
protected:
    CGraphCtrlTest() {
        graph.resize(200, 100);
        graph.edit([](GraphModel& m) {
            m.setXRange(0.0, 20.0);
            m.setYRanges(0.0, 5.0, 0.0, 5.0, false, false);
        });
    }

    void set(int slot, std::vector<double> x, std::vector<double> y) {
        ASSERT_TRUE(graph.setTraceData(x.data(), y.data(), static_cast<int>(x.size()), slot));
    }
    QImage screen() { return graph.grab().toImage(); }

    QApplication& app = test::qtApp();  // before any widget
    test::ManualClock clock;
    CGraphCtrl graph{clock};
};

TEST_F(CGraphCtrlTest, AMovedCursorLeavesNoTraceOfItsOldLine) {
    set(kSlotAbsA, {-1}, {0});
    graph.edit([](GraphModel& m) { m.setCursorList(true, {GraphCursor{10.0, false, 0}}); });
    graph.redraw();
    EXPECT_EQ(countInColumn(screen(), 100, kBlack), 98);  // rows 1..98

    graph.edit([](GraphModel& m) { m.setCursorList(true, {GraphCursor{10.1, false, 0}}); });
    graph.redraw();
    const QImage moved = screen();
    EXPECT_EQ(countInColumn(moved, 100, kBlack), 0);
    EXPECT_EQ(countInColumn(moved, 101, kBlack), 98);
}

TEST_F(CGraphCtrlTest, HitTestNamesTheSlotWhoseColourIsUnderTheMouseColumnByColumn) {
    // Vertical lines of slot 5 (one step off black) at column 58 and of
    // slot 3 at column 62; a black cursor at column 30; the dotted grid.
    set(kSlotAbsB, {5.8, 5.8}, {0.0, 5.0});
    set(kSlotSampleB, {6.2, 6.2}, {0.0, 5.0});
    graph.edit([](GraphModel& m) {
        m.setShowGrid(true);
        m.setCursorList(true, {GraphCursor{3.0, false, 0}});
    });
    EXPECT_EQ(graph.hitTestTrace(60, 30), kSlotAbsB);  // both in the box: the left one first
    EXPECT_EQ(graph.hitTestTrace(64, 30), kSlotSampleB);
    EXPECT_EQ(graph.hitTestTrace(54, 30), -1);
    EXPECT_EQ(graph.hitTestTrace(30, 30), -1);   // the cursor is black, not slot 5
    EXPECT_EQ(graph.hitTestTrace(160, 50), -1);  // grid crossing
    EXPECT_EQ(graph.hitTestTrace(198, 98), -1);  // the box reaches past the corner

    graph.setTraceColour(kSlotAbsB, Rgb{0, 0, 255});  // now it looks like slot 3
    EXPECT_EQ(graph.hitTestTrace(60, 30), kSlotSampleB);
}

TEST_F(CGraphCtrlTest, ADataUpdateIsDroppedWhileAPaintHoldsTheTraceLock) {
    const double x[] = {1.0, 2.0};
    const double y[] = {1.0, 2.0};
    bool applied = true;
    graph.read([&](const GraphModel&) {
        // The receive thread arrives while the lock is held.
        std::thread receive([&] { applied = graph.setTraceData(x, y, 2, kSlotAbsA); });
        receive.join();
    });
    EXPECT_FALSE(applied);
    EXPECT_EQ(graph.read([](const GraphModel& m) { return m.slot(kSlotAbsA).count(); }), 0);

    EXPECT_TRUE(graph.setTraceData(x, y, 2, kSlotAbsA));
    EXPECT_EQ(graph.read([](const GraphModel& m) { return m.lastX(kSlotAbsA); }), 2.0);
}

TEST_F(CGraphCtrlTest, APaintNeverWaitsForALockAnotherThreadHolds) {
    graph.show();
    set(kSlotAbsA, {0.0, 20.0}, {1.0, 1.0});
    graph.redraw();
    std::mutex gate;
    std::condition_variable changed;
    bool held = false;
    bool release = false;
    std::thread other([&] {
        (void)graph.read([&](const GraphModel&) {
            std::unique_lock lock(gate);
            held = true;
            changed.notify_all();
            changed.wait(lock, [&] { return release; });
        });
    });
    {
        std::unique_lock lock(gate);
        changed.wait(lock, [&] { return held; });
    }
    // Neither a redraw nor a paint waits: they come back, and the data
    // calls give up rather than wait.
    graph.redraw();
    graph.repaint();
    EXPECT_FALSE(graph.edit([](GraphModel& m) { m.setShowGrid(true); }));
    EXPECT_FALSE(graph.read([](const GraphModel& m) { return m.showGrid(); }).has_value());
    {
        std::lock_guard lock(gate);
        release = true;
    }
    changed.notify_all();
    other.join();
    EXPECT_TRUE(graph.edit([](GraphModel& m) { m.setShowGrid(true); }));
    EXPECT_EQ(graph.read([](const GraphModel& m) { return m.showGrid(); }), true);
}

// Counts the paints the widget really gets.
class CountingGraph : public CGraphCtrl {
public:
    using CGraphCtrl::CGraphCtrl;
    std::atomic<int> paints{0};

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        CGraphCtrl::paintEvent(event);
    }
};

TEST(CGraphCtrlThreads, AWorkerFeedsTracesAndTheWidgetRepaintsOnItsOwnThread) {
    test::qtApp();
    SteadyClock clock;
    CountingGraph graph(clock);
    // Runs the event loop until pred holds, for at most 5 s.
    auto pumpUntil = [&](auto pred) {
        const Deadline deadline(clock, 5000);
        while (!pred() && !deadline.expired()) {
            QCoreApplication::processEvents();
            clock.sleepMs(1);
        }
        return pred();
    };
    graph.resize(300, 150);
    graph.show();
    ASSERT_TRUE(pumpUntil([&] { return graph.paints > 0; }));
    const int paintsBefore = graph.paints;

    std::atomic<bool> done{false};
    int dropped = 0;
    std::thread receive([&] {
        std::vector<double> x;
        std::vector<double> y;
        for (int i = 0; i < 400; ++i) {
            x.push_back(i * 0.05);
            y.push_back(2.0 + std::sin(i * 0.1));
            dropped += graph.setTraceData(x.data(), y.data(), i + 1, kSlotAbsA) ? 0 : 1;
            graph.redraw();
        }
        done = true;
    });
    EXPECT_TRUE(pumpUntil([&] { return done.load() && graph.paints > paintsBefore; }));
    receive.join();
    EXPECT_LT(dropped, 400);
    // Once painting stops the lock is free.
    const double x = 19.0;
    const double y = 1.0;
    EXPECT_TRUE(graph.setTraceData(&x, &y, 1, kSlotAbsA));
}

}  // namespace
}  // namespace corvane
