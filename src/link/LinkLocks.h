#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane {

// A recursive mutex with timed locking that knows whether the calling thread
// holds it. Built on a plain mutex and a condition variable: the waits are
// ordinary condition waits (which the thread sanitizer follows), and the link
// can ask before it shows a message, since nothing modal may wait for the
// user while one of its locks is held.
class RecursiveTimedMutex {
public:
    void lock() {
        std::unique_lock guard(mutex_);
        released_.wait(guard, [&] { return available(); });
        take();
    }

    [[nodiscard]] bool try_lock() {
        std::scoped_lock guard(mutex_);
        if (!available()) {
            return false;
        }
        take();
        return true;
    }

    template <class Rep, class Period>
    [[nodiscard]] bool try_lock_for(const std::chrono::duration<Rep, Period>& limit) {
        std::unique_lock guard(mutex_);
        if (!released_.wait_for(guard, limit, [&] { return available(); })) {
            return false;
        }
        take();
        return true;
    }

    void unlock() {
        {
            std::scoped_lock guard(mutex_);
            if (--depth_ > 0) {
                return;
            }
            owner_ = std::thread::id{};
        }
        released_.notify_one();
    }

    [[nodiscard]] bool heldByCurrentThread() const {
        std::scoped_lock guard(mutex_);
        return depth_ > 0 && owner_ == std::this_thread::get_id();
    }

private:
    [[nodiscard]] bool available() const {
        return depth_ == 0 || owner_ == std::this_thread::get_id();
    }
    void take() {
        owner_ = std::this_thread::get_id();
        ++depth_;
    }

    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::thread::id owner_;
    int depth_ = 0;
};

// The acquisition side's sample lock, handed to the link at construction.
// The receive loop takes it for each turn; the link takes it while it empties
// the receive ring and while it waits for a key echo, so that sampling pauses
// while the unit is commanded. It must be recursive: a key echo wait that
// answers the unit's key request presses a key itself, which empties the ring
// again on the same thread. Take it with Clock::tryLockFor and a limit.
using SampleLock = RecursiveTimedMutex;

}  // namespace corvane
