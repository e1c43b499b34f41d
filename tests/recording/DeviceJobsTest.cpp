// The main window's device worker: the order of the jobs, what busy() covers
// (the window disables its buttons by it), closing, and the queued fronts.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "MainWindowFakes.h"
#include "recording/DeviceJobs.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

// Counts the jobs ended, for the test to wait on.
class EndedCount {
public:
    void add() {
        {
            const std::scoped_lock lock(mutex_);
            ++count_;
        }
        changed_.notify_all();
    }
    bool waitFor(int n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 30s, [&] { return count_ >= n; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

TEST(DeviceJobs, RunsJobsInTurnAndStaysBusyUntilTheLastHasEnded) {
    EndedCount ended;
    DeviceJobs jobs([&] { ended.add(); });
    EXPECT_FALSE(jobs.busy());

    std::promise<void> release;
    auto released = release.get_future().share();
    std::mutex mutex;
    std::vector<int> order;
    std::vector<bool> busyInside;
    const auto job = [&](int n) {
        return [&, n] {
            const std::scoped_lock lock(mutex);
            order.push_back(n);
            busyInside.push_back(jobs.busy());
        };
    };
    ASSERT_TRUE(jobs.submit([released] { released.wait(); }));
    ASSERT_TRUE(jobs.submit(job(1)));
    ASSERT_TRUE(jobs.submit(job(2)));
    EXPECT_TRUE(jobs.busy());
    release.set_value();
    ASSERT_TRUE(ended.waitFor(3));
    EXPECT_FALSE(jobs.busy());
    const std::scoped_lock lock(mutex);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(busyInside, (std::vector<bool>{true, true}));
}

TEST(DeviceJobs, AClosedWorkerTakesNoJobButFinishesThoseQueued) {
    EndedCount ended;
    DeviceJobs jobs([&] { ended.add(); });
    std::promise<void> release;
    auto released = release.get_future().share();
    std::atomic<int> ran{0};
    ASSERT_TRUE(jobs.submit([released] { released.wait(); }));
    ASSERT_TRUE(jobs.submit([&] { ++ran; }));
    jobs.close();
    EXPECT_FALSE(jobs.submit([&] { ran += 100; }));
    release.set_value();
    ASSERT_TRUE(ended.waitFor(2));
    EXPECT_EQ(ran.load(), 1);
    jobs.reopen();
    ASSERT_TRUE(jobs.submit([&] { ++ran; }));
    ASSERT_TRUE(ended.waitFor(3));
    EXPECT_EQ(ran.load(), 2);
}

TEST(DeviceJobs, GoingAwayWaitsForTheRunningJobAndDropsTheWaitingOnes) {
    std::atomic<bool> firstDone{false};
    std::atomic<bool> secondRan{false};
    std::promise<void> started;
    {
        DeviceJobs jobs;
        ASSERT_TRUE(jobs.submit([&] {
            started.set_value();
            std::this_thread::sleep_for(50ms);
            firstDone = true;
        }));
        ASSERT_TRUE(jobs.submit([&] { secondRan = true; }));
        started.get_future().wait();
    }
    EXPECT_TRUE(firstDone.load());
    EXPECT_FALSE(secondRan.load());
}

TEST(DeviceJobs, QueuedFrontsRunCommandsOnTheWorkerAndReadStateDirectly) {
    EndedCount ended;
    DeviceJobs jobs([&] { ended.add(); });
    test::FakeRecording recording;
    QueuedRecording commands(recording, jobs);
    commands.startStop();
    commands.zero();
    commands.aufsChanged(3);
    ASSERT_TRUE(ended.waitFor(3));
    EXPECT_EQ(recording.startStops.load(), 1);
    EXPECT_EQ(recording.zeros.load(), 1);
    EXPECT_EQ(recording.aufsSteps, (std::vector<int>{3}));
    EXPECT_TRUE(commands.isRecording());
    EXPECT_EQ(commands.recordCaption(), "STOP RECORD (F1)");

    test::FakeSession session;
    QueuedSession link(session, jobs);
    link.connect(5, 57600, 2);
    ASSERT_TRUE(ended.waitFor(4));
    EXPECT_FALSE(link.connecting());
    ASSERT_EQ(session.connects.size(), 1u);
    EXPECT_EQ(session.connects[0], (std::array<int, 3>{5, 57600, 2}));
    EXPECT_TRUE(link.linkActive());
}

}  // namespace
}  // namespace corvane
