#include "app/Clock.h"

#include <thread>

namespace corvane {

namespace {
// A stop request wakes sleepers through this; nothing else ever notifies it.
struct SleepWaker {
    std::mutex mutex;
    std::condition_variable_any cv;
};
}  // namespace

SteadyClock::SteadyClock(double speedup)
    : speedup_(speedup > 0.0 ? speedup : 1.0), origin_(std::chrono::steady_clock::now()) {}

std::int64_t SteadyClock::nowMs() const {
    const auto real = std::chrono::steady_clock::now() - origin_;
    const auto realMs = std::chrono::duration<double, std::milli>(real).count();
    return static_cast<std::int64_t>(realMs * speedup_);
}

std::chrono::nanoseconds SteadyClock::realDuration(std::int64_t ms) const {
    if (ms <= 0) {
        return std::chrono::nanoseconds::zero();
    }
    const auto ns = static_cast<double>(ms) * 1e6 / speedup_;
    return std::chrono::nanoseconds(static_cast<std::int64_t>(ns) + 1);
}

std::chrono::steady_clock::time_point SteadyClock::realTimeAt(std::int64_t clockMs) const {
    const auto ns = static_cast<double>(clockMs) * 1e6 / speedup_;
    return origin_ + std::chrono::nanoseconds(static_cast<std::int64_t>(ns));
}

bool SteadyClock::sleepMs(std::int64_t ms, std::stop_token stop) {
    if (stop.stop_requested()) {
        return false;
    }
    if (ms <= 0) {
        std::this_thread::yield();
        return true;
    }
    if (!stop.stop_possible()) {
        std::this_thread::sleep_for(realDuration(ms));
        return true;
    }
    SleepWaker waker;
    std::unique_lock lock(waker.mutex);
    return !waker.cv.wait_for(lock, stop, realDuration(ms), [] { return false; }) &&
           !stop.stop_requested();
}

bool SteadyClock::waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                            std::int64_t deadlineMs, std::stop_token stop,
                            const std::function<bool()>& pred) {
    return cv.wait_until(lock, stop, realTimeAt(deadlineMs), pred);
}

}  // namespace corvane
