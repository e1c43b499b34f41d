#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "display/LiveSamples.h"
#include "runs/SampleRecord.h"

namespace corvane {

class Clock;
class WindowPoster;

// Where the receive thread leaves the live samples for the window: the ring
// of the newest 25000, the latest sample (its counts serve the zero
// calibration) and the count of samples since the last clear. A sample costs
// the receive thread one short lock and, at most once per turn of the
// window's thread, a LiveData message; the traces are built and painted on
// the window's thread when it gets there, as often as it can and never more
// than once per sample (UserMsg::LiveData is posted again only after the
// window has taken the last one). Readouts are posted at most every 500 ms
// of Clock time.
//
// Threads: add() from the receive thread (or a scan sequence's worker),
// clear() and setPaused() from any thread, read() and the getters from any
// thread; the lock is never held while anything else is waited for.
class LiveFeed {
public:
    static constexpr std::int64_t kReadoutIntervalMs = 500;

    LiveFeed(Clock& clock, WindowPoster& window);

    // A new sample: kept as the latest and stored in the ring. Skipped while
    // the display is paused.
    void add(const SampleRecord& record);
    // The run's traces start again (REFRESH, the start of a run).
    void clear();
    void setPaused(bool paused);

    [[nodiscard]] std::optional<SampleRecord> latest() const;
    // Samples held; samples since the last clear.
    [[nodiscard]] int stored() const;
    [[nodiscard]] std::int64_t total() const;
    // The sample numbers held, oldest first.
    [[nodiscard]] std::vector<std::int64_t> storedNumbers() const;
    // Moves with every clear, so a reader knows the ring started again.
    [[nodiscard]] std::uint64_t generation() const;

    // Runs f(const LiveSamples&, generation) under the lock. Keep it short:
    // the receive thread waits meanwhile.
    template <class F>
    decltype(auto) read(F&& f) const {
        const std::scoped_lock lock(mutex_);
        return f(static_cast<const LiveSamples&>(ring_), generation_);
    }
    // The window's thread took the LiveData message: the next sample posts
    // another.
    void liveDataTaken() { liveDataPosted_.store(false); }

private:
    void postLiveData();

    Clock& clock_;
    WindowPoster& window_;
    std::atomic<bool> liveDataPosted_{false};

    mutable std::mutex mutex_;  // everything below
    LiveSamples ring_;
    std::optional<SampleRecord> latest_;
    std::uint64_t generation_ = 0;
    bool paused_ = false;
    bool readoutPosted_ = false;
    std::int64_t lastReadoutPostMs_ = 0;
};

}  // namespace corvane
