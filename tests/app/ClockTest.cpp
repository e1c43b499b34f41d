#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TestClocks.h"
#include "VirtualClock.h"
#include "link/LinkLocks.h"

namespace corvane {
namespace {

using test::ManualClock;
using test::ScaledClock;

TEST(SteadyClock, ScaledSleepLastsItsClockTime) {
    ScaledClock clock(10.0);
    const auto start = clock.nowMs();
    EXPECT_TRUE(clock.sleepMs(500));
    EXPECT_GE(clock.nowMs() - start, 500);
}

TEST(SteadyClock, StopRequestEndsALongSleepAtOnce) {
    SteadyClock clock;
    std::stop_source stop;
    bool finished = true;
    std::thread sleeper([&] { finished = clock.sleepMs(3'600'000, stop.get_token()); });
    stop.request_stop();
    sleeper.join();
    EXPECT_FALSE(finished);
    EXPECT_FALSE(clock.sleepMs(10, stop.get_token())) << "a stopped token never sleeps";
}

TEST(SteadyClock, TimedLockGivesUpAfterItsLimitWhileAnotherThreadHoldsIt) {
    ScaledClock clock(10.0);
    std::timed_mutex mutex;
    std::unique_lock held(mutex);
    bool taken = true;
    std::int64_t waited = 0;
    std::thread waiter([&] {
        const auto start = clock.nowMs();
        taken = clock.tryLockFor(mutex, 300);
        waited = clock.nowMs() - start;
    });
    waiter.join();
    EXPECT_FALSE(taken);
    EXPECT_GE(waited, 300);
}

TEST(SteadyClock, WaitUntilReturnsWhenThePredicateTurnsTrue) {
    ScaledClock clock(10.0);
    std::mutex mutex;
    std::condition_variable_any cv;
    bool ready = false;
    std::thread setter([&] {
        std::scoped_lock lock(mutex);
        ready = true;
        cv.notify_all();
    });
    std::unique_lock lock(mutex);
    EXPECT_TRUE(clock.waitUntil(lock, cv, clock.nowMs() + 60'000, {}, [&] { return ready; }));
    lock.unlock();
    setter.join();
}

TEST(ManualClock, SleepsAndExpiredWaitsMoveTimeWithoutRealWaiting) {
    ManualClock clock;
    Deadline limit(clock, 120'000);
    EXPECT_FALSE(limit.expired());
    clock.sleepMs(119'999);
    EXPECT_EQ(limit.remainingMs(), 1);

    std::mutex mutex;
    std::condition_variable_any cv;
    std::unique_lock lock(mutex);
    EXPECT_FALSE(clock.waitUntil(lock, cv, 200'000, {}, [] { return false; }));
    EXPECT_EQ(clock.nowMs(), 200'000);
    EXPECT_TRUE(limit.expired());
}

TEST(ManualClock, FailedTimedLockCostsItsLimit) {
    ManualClock clock;
    std::recursive_timed_mutex mutex;
    std::unique_lock held(mutex);
    std::thread other([&] { EXPECT_FALSE(clock.tryLockFor(mutex, 10'000)); });
    other.join();
    EXPECT_EQ(clock.nowMs(), 10'000);
}

TEST(ManualClock, WithoutSleepAdvancesASleeperWaitsForTheTest) {
    ManualClock clock(false);
    std::atomic<bool> woke = false;
    std::thread sleeper([&] {
        clock.sleepMs(1000);
        woke = true;
    });
    while (clock.sleepers() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    clock.advance(999);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(woke);
    clock.advance(1);
    sleeper.join();
    EXPECT_TRUE(woke);
}

// Real time spent running (not blocked) on the calling thread.
void workFor(std::chrono::milliseconds real) {
    const auto end = std::chrono::steady_clock::now() + real;
    while (std::chrono::steady_clock::now() < end) {
    }
}

TEST(VirtualClock, TimeStandsStillWhileAThreadWorksAndJumpsWhenAllWait) {
    test::VirtualClock clock;
    ASSERT_TRUE(clock.sleepMs(1));  // the test thread takes part from here
    std::atomic<std::int64_t> wokeAt{-1};
    std::thread sleeper([&] {
        clock.sleepMs(1000);
        wokeAt = clock.nowMs();
    });
    workFor(std::chrono::milliseconds(50));
    EXPECT_EQ(clock.nowMs(), 1) << "the test thread was at work";
    EXPECT_EQ(wokeAt.load(), -1);
    ASSERT_TRUE(clock.sleepMs(2000));
    sleeper.join();
    EXPECT_EQ(wokeAt.load(), 1001);
    EXPECT_EQ(clock.nowMs(), 2001);
}

TEST(VirtualClock, AThreadBlockedOutsideTheClockDoesNotHoldTimeStill) {
    test::VirtualClock clock;
    ASSERT_TRUE(clock.sleepMs(1));
    std::atomic<std::int64_t> wokeAt{-1};
    std::thread sleeper([&] {
        clock.sleepMs(500);
        wokeAt = clock.nowMs();
    });
    // The test thread now waits in the kernel, not in the clock.
    sleeper.join();
    EXPECT_EQ(wokeAt.load(), 501);
    EXPECT_EQ(clock.nowMs(), 501);
}

TEST(VirtualClock, ATimedLockIsTakenWhenItIsFreedNotAtItsLimit) {
    test::VirtualClock clock;
    SampleLock lock;
    std::atomic<bool> held{false};
    std::thread holder([&] {
        lock.lock();
        held = true;
        clock.sleepMs(30);
        lock.unlock();
    });
    while (!held) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(clock.tryLockFor(lock, 10'000));
    EXPECT_LE(clock.nowMs(), 31);
    lock.unlock();
    holder.join();
}

TEST(VirtualClock, AStopRequestEndsASleepWithoutMovingTime) {
    test::VirtualClock clock;
    std::stop_source stop;
    std::atomic<bool> slept{true};
    std::thread sleeper([&] { slept = clock.sleepMs(60'000, stop.get_token()); });
    ASSERT_TRUE(clock.sleepMs(5));
    stop.request_stop();
    sleeper.join();
    EXPECT_FALSE(slept);
    EXPECT_LT(clock.nowMs(), 60'000);
}

}  // namespace
}  // namespace corvane
