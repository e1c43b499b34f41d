#include "TestClocks.h"

namespace corvane::test {

void ManualClock::advance(std::int64_t ms) {
    {
        std::scoped_lock lock(mutex_);
        now_ += ms;
    }
    moved_.notify_all();
}

void ManualClock::set(std::int64_t ms) {
    {
        std::scoped_lock lock(mutex_);
        now_ = ms;
    }
    moved_.notify_all();
}

bool ManualClock::sleepMs(std::int64_t ms, std::stop_token stop) {
    if (stop.stop_requested()) {
        return false;
    }
    if (sleepAdvances_) {
        if (ms > 0) {
            advance(ms);
        }
        return true;
    }
    std::unique_lock lock(mutex_);
    const auto until = now_.load() + ms;
    ++sleepers_;
    const bool woke = moved_.wait(lock, stop, [&] { return now_.load() >= until; });
    --sleepers_;
    return woke;
}

int ManualClock::sleepers() const {
    std::scoped_lock lock(mutex_);
    return sleepers_;
}

bool ManualClock::waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                            std::int64_t deadlineMs, std::stop_token stop,
                            const std::function<bool()>& pred) {
    if (pred()) {
        return true;
    }
    if (sleepAdvances_) {
        if (now_.load() < deadlineMs) {
            set(deadlineMs);
        }
        return pred();
    }
    // Another thread moves the clock; look again every real millisecond.
    while (!pred()) {
        if (stop.stop_requested() || now_.load() >= deadlineMs) {
            return pred();
        }
        cv.wait_for(lock, stop, std::chrono::milliseconds(1), pred);
    }
    return true;
}

}  // namespace corvane::test
