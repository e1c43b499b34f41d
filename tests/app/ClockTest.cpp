#include <gtest/gtest.h>

#include <thread>

#include "TestClocks.h"

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

}  // namespace
}  // namespace corvane
