#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>
#include <sys/types.h>

#include "app/Clock.h"

namespace corvane::test {

// Time that moves only when no thread of the process can go on without it:
// then it jumps to the earliest moment a thread waits for. A thread at work
// holds time still, however slowly a loaded machine runs it, so a simulated
// unit never streams ahead of the program that reads it, and a threaded test
// sees the same events in the same order on an idle and on a busy machine.
//
// Threads take part from their first wait on the clock until they end. A
// participant asleep in sleepMs waits for time alone. Every other thread (one
// in waitUntil, which a notification may wake; one blocked outside the clock
// on a plain mutex or a join; one that never uses the clock, or was only just
// started) lets time move only while the kernel shows it blocked, with no run
// time between two looks. Linux only: it reads /proc/self/task.
class VirtualClock : public Clock {
public:
    VirtualClock();
    ~VirtualClock() override;
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    [[nodiscard]] std::int64_t nowMs() const override;
    bool sleepMs(std::int64_t ms, std::stop_token stop = {}) override;
    bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                   std::int64_t deadlineMs, std::stop_token stop,
                   const std::function<bool()>& pred) override;

    // A thread that took part has ended (called at its exit).
    void forget(std::thread::id id);

protected:
    [[nodiscard]] std::chrono::nanoseconds realDuration(std::int64_t) const override {
        return std::chrono::nanoseconds::zero();
    }
    // Lock waits look again every clock millisecond, as a real wait takes
    // the lock as soon as it is free.
    [[nodiscard]] std::int64_t lockPollMs() const override { return 1; }

private:
    struct Participant {
        pid_t tid = 0;
        bool waiting = false;
        std::int64_t deadlineMs = 0;
        // waitUntil's condition, which the pump wakes when the time comes.
        std::condition_variable_any* cv = nullptr;
        // Its time has come and it has not woken yet: time stays here.
        bool wakePending = false;
    };

    // The calling thread, registered on first use (mutex_ held).
    Participant& self();
    void beginWait(Participant& p, std::int64_t deadlineMs, std::condition_variable_any* cv);
    void endWait(Participant& p);
    // The pump: moves time whenever it may.
    void run(std::stop_token stop);
    [[nodiscard]] bool mayAdvance(std::unique_lock<std::mutex>& lock);
    // The threads given, and every thread that is not a participant, are
    // blocked and have not run since an earlier look (mutex_ let go meanwhile;
    // false when a participant changed in between).
    [[nodiscard]] bool blockedInKernel(std::unique_lock<std::mutex>& lock,
                                       const std::vector<pid_t>& participantsToLook);
    // Moves time to the earliest deadline and wakes whoever it reaches.
    void advance();

    mutable std::mutex mutex_;
    std::condition_variable_any moved_;    // sleepers: time moved
    std::condition_variable_any changed_;  // the pump: a participant changed
    std::int64_t now_ = 0;
    std::uint64_t generation_ = 0;         // bumped on every change of a participant
    std::map<std::thread::id, Participant> participants_;
    // The pump's own: run time of threads when last seen blocked.
    std::map<pid_t, std::uint64_t> blockedRunNs_;
    pid_t pumpTid_ = 0;
    std::jthread pump_;  // last: started once everything else exists
};

}  // namespace corvane::test
