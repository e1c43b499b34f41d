#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "app/Clock.h"

namespace corvane::test {

// Real time, k times faster (k up to about 10 keeps threaded tests stable).
class ScaledClock : public SteadyClock {
public:
    explicit ScaledClock(double k) : SteadyClock(k) {}
};

// Time that moves only when told to. With sleepAdvances (the default) every
// sleep and every timed wait that runs out moves the clock forward by itself:
// a single-threaded sequence with 60 s or 120 s limits runs in no real time.
// Without it, sleepers block until the test calls advance().
class ManualClock : public Clock {
public:
    explicit ManualClock(bool sleepAdvances = true) : sleepAdvances_(sleepAdvances) {}

    [[nodiscard]] std::int64_t nowMs() const override { return now_.load(); }
    void advance(std::int64_t ms);
    void set(std::int64_t ms);
    // How many threads are blocked in sleepMs now (without sleepAdvances), so
    // a test can move the clock only once its sleeper really sleeps.
    [[nodiscard]] int sleepers() const;

    bool sleepMs(std::int64_t ms, std::stop_token stop = {}) override;
    bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                   std::int64_t deadlineMs, std::stop_token stop,
                   const std::function<bool()>& pred) override;

protected:
    [[nodiscard]] std::chrono::nanoseconds realDuration(std::int64_t) const override {
        return std::chrono::nanoseconds::zero();
    }

private:
    const bool sleepAdvances_;
    std::atomic<std::int64_t> now_{0};
    mutable std::mutex mutex_;
    std::condition_variable_any moved_;
    int sleepers_ = 0;
};

}  // namespace corvane::test
