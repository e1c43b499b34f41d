#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace corvane {

// The acquisition side's sample lock, handed to the link at construction.
// The receive loop takes it for each turn; the link takes it while it empties
// the receive ring and while it waits for a key echo, so that sampling pauses
// while the unit is commanded. It must be recursive: a key echo wait that
// answers the unit's key request presses a key itself, which empties the ring
// again on the same thread. Take it with Clock::tryLockFor and a limit.
using SampleLock = std::recursive_timed_mutex;

// A recursive mutex that knows whether the calling thread holds it. The link
// asks before it shows a message: nothing modal may wait for the user while
// one of its locks is held, or the heartbeat would stall.
template <class Mutex>
class OwnedRecursiveMutex {
public:
    void lock() {
        mutex_.lock();
        enter();
    }

    [[nodiscard]] bool try_lock() {
        if (!mutex_.try_lock()) {
            return false;
        }
        enter();
        return true;
    }

    template <class Rep, class Period>
    [[nodiscard]] bool try_lock_for(const std::chrono::duration<Rep, Period>& limit) {
        if (!mutex_.try_lock_for(limit)) {
            return false;
        }
        enter();
        return true;
    }

    void unlock() {
        leave();
        mutex_.unlock();
    }

    [[nodiscard]] bool heldByCurrentThread() const {
        return owner_.load(std::memory_order_acquire) == std::this_thread::get_id();
    }

private:
    // Only the holder touches the depth.
    void enter() {
        if (depth_++ == 0) {
            owner_.store(std::this_thread::get_id(), std::memory_order_release);
        }
    }
    void leave() {
        if (--depth_ == 0) {
            owner_.store(std::thread::id{}, std::memory_order_release);
        }
    }

    Mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    int depth_ = 0;
};

}  // namespace corvane
