#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <stop_token>

namespace corvane {

// The one source of time for the program. Every limit, pause, stream rate and
// timed lock wait goes through a Clock, so that tests can run the instrument's
// long sequences faster (ScaledClock) or step them by hand (ManualClock).
class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds on a steady counter; only differences mean anything.
    [[nodiscard]] virtual std::int64_t nowMs() const = 0;

    // Sleeps ms of clock time. Returns false at once when stop is requested,
    // so a closing link never waits out its retries.
    virtual bool sleepMs(std::int64_t ms, std::stop_token stop = {}) = 0;

    // Waits on cv (lock held) until pred holds, the clock reaches deadlineMs
    // or stop is requested; returns pred(). Whoever changes pred's state
    // notifies cv.
    virtual bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                           std::int64_t deadlineMs, std::stop_token stop,
                           const std::function<bool()>& pred) = 0;

    // Takes m within ms of clock time.
    template <class TimedLockable>
    [[nodiscard]] bool tryLockFor(TimedLockable& m, std::int64_t ms) {
        if (m.try_lock()) {
            return true;
        }
        const auto real = realDuration(ms);
        if (real > std::chrono::nanoseconds::zero()) {
            return m.try_lock_for(real);
        }
        // A clock without real time looks again every lockPollMs() of clock
        // time until the limit (ManualClock: once, so a failed wait costs its
        // whole limit in clock time).
        const std::int64_t endMs = nowMs() + ms;
        for (;;) {
            sleepMs(std::min(endMs - nowMs(), lockPollMs()));
            if (m.try_lock()) {
                return true;
            }
            if (nowMs() >= endMs) {
                return false;
            }
        }
    }

protected:
    // How long ms of clock time lasts in real time; zero for a clock that
    // only moves when told to.
    [[nodiscard]] virtual std::chrono::nanoseconds realDuration(std::int64_t ms) const = 0;
    // For a clock without real time: how often a timed lock wait looks again.
    [[nodiscard]] virtual std::int64_t lockPollMs() const {
        return std::numeric_limits<std::int64_t>::max();
    }
};

// The real clock. A speed-up above 1 makes every clock millisecond pass that
// many times faster; tests use it to run the instrument's timing unchanged.
class SteadyClock : public Clock {
public:
    explicit SteadyClock(double speedup = 1.0);

    [[nodiscard]] std::int64_t nowMs() const override;
    bool sleepMs(std::int64_t ms, std::stop_token stop = {}) override;
    bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                   std::int64_t deadlineMs, std::stop_token stop,
                   const std::function<bool()>& pred) override;

    [[nodiscard]] double speedup() const { return speedup_; }

protected:
    [[nodiscard]] std::chrono::nanoseconds realDuration(std::int64_t ms) const override;

private:
    [[nodiscard]] std::chrono::steady_clock::time_point realTimeAt(std::int64_t clockMs) const;

    double speedup_;
    std::chrono::steady_clock::time_point origin_;
};

// A point in clock time after which a limit has run out.
class Deadline {
public:
    Deadline(const Clock& clock, std::int64_t limitMs)
        : clock_(&clock), atMs_(clock.nowMs() + limitMs) {}

    [[nodiscard]] bool expired() const { return clock_->nowMs() >= atMs_; }
    [[nodiscard]] std::int64_t remainingMs() const {
        const auto left = atMs_ - clock_->nowMs();
        return left > 0 ? left : 0;
    }
    [[nodiscard]] std::int64_t atMs() const { return atMs_; }

private:
    const Clock* clock_;
    std::int64_t atMs_;
};

}  // namespace corvane
