#pragma once

// The main window's receive thread: it takes one sample per turn from the
// acquisition object, hands it to the window's sample handler, and tells the
// window when the unit has gone silent during a run. It runs from connection
// to disconnection, whether or not a run is being recorded.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "runs/SampleRecord.h"

namespace corvane {

class Clock;
class Prompter;
class RunWriter;
class SampleReader;
class WindowPoster;

// The window's part of each new sample (readouts, traces, zero calibration
// counts). Called on the receive thread with the sample lock held: it must
// return quickly and never wait for the user.
class SampleHandler {
public:
    virtual ~SampleHandler() = default;
    virtual void onSample(const SampleRecord& record) = 0;
};

// The receive thread's two hold flags: while either is set the thread takes
// no samples. The first is held while the window drives the unit itself (the
// pause sequence, the start of an auto-scan), the second while the meniscus
// search reads packets itself. Each is a count, so holds may nest.
class ReceiveHolds {
public:
    enum class Kind { Window, Meniscus };

    // Holds for its lifetime. When a reader is given, it also waits (at most
    // 100 ms) for a receive turn in progress to end, so that the holder's own
    // reads of the link do not race the thread's.
    class Guard {
    public:
        Guard(ReceiveHolds& holds, Kind kind, Clock* clock = nullptr, SampleReader* reader = nullptr);
        ~Guard();
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        std::atomic<int>& count_;
    };

    [[nodiscard]] bool held() const { return window_.load() > 0 || meniscus_.load() > 0; }
    [[nodiscard]] bool held(Kind kind) const { return counter(kind).load() > 0; }

private:
    [[nodiscard]] std::atomic<int>& counter(Kind kind) {
        return kind == Kind::Window ? window_ : meniscus_;
    }
    [[nodiscard]] const std::atomic<int>& counter(Kind kind) const {
        return kind == Kind::Window ? window_ : meniscus_;
    }

    std::atomic<int> window_{0};
    std::atomic<int> meniscus_{0};
};

struct ReceiveSeams {
    Clock& clock;
    Prompter& prompter;
    WindowPoster& window;
    SampleHandler& handler;
    ReceiveHolds& holds;
    // The run file the records go to: while it is open the silence rule
    // holds from the run's first moment, samples or not. May be null.
    const RunWriter* writer = nullptr;
};

class ReceiveThread {
public:
    // The longest wait for the sample lock in one turn.
    static constexpr std::int64_t kSampleLockMs = 100;
    // Silence longer than this during a run (from the run's start, or from
    // the last sample) is a lost link.
    static constexpr std::int64_t kLinkLostMs = 10000;
    // The pause after a loss was reported.
    static constexpr std::int64_t kAfterLossMs = 100;
    // The pause of a turn that brought nothing, and of a held turn: the
    // sources wait on the device themselves, this only keeps a source that
    // answers at once from spinning.
    static constexpr std::int64_t kIdleMs = 2;
    static constexpr std::int64_t kHeldMs = 5;

    // Starts the thread on reader, which must outlive it.
    ReceiveThread(const ReceiveSeams& seams, SampleReader& reader);
    // Asks the thread to stop and waits for it.
    ~ReceiveThread();
    ReceiveThread(const ReceiveThread&) = delete;
    ReceiveThread& operator=(const ReceiveThread&) = delete;

    // Asks the thread to end within a turn; never waits. With preserveLink
    // the link is left running for whoever takes the reader over.
    void requestStop(bool preserveLink = false);
    // The thread's "link running" mark: set while its loop runs.
    [[nodiscard]] bool running() const { return running_.load(); }
    // The thread has finished (after posting UserMsg::ReceiveEnded).
    [[nodiscard]] bool ended() const { return ended_.load(); }
    // Losses reported so far (one UserMsg::LinkLost each).
    [[nodiscard]] int lossesReported() const { return losses_.load(); }

    // Pauses in the samples while a run is recorded: a pause counts when it
    // is longer than kSilenceMs and than kSilenceIntervals of the samples'
    // usual interval, and no hold (the window or a scan driving the unit)
    // fell in it. The unit's samples of those moments are missing from the
    // run; only this tells. A silence that ends the run is the lost link.
    static constexpr std::int64_t kSilenceMs = 1000;
    static constexpr std::int64_t kSilenceIntervals = 5;
    struct Silences {
        int count = 0;
        std::int64_t totalMs = 0;
        std::int64_t longestMs = 0;
        std::int64_t longestAtMs = 0;  // where the longest began, from the run's start
    };
    // Those of the run being recorded, or of the last one.
    [[nodiscard]] Silences silences() const;

private:
    void run(std::stop_token stop);
    // One turn; true when a record was handed on.
    bool turn(std::stop_token stop);
    void takeRecord();
    // The run's account of pauses, on each sample taken.
    void noteArrival();
    // A turn without a record: true once per loss, when it is to be reported.
    [[nodiscard]] bool silenceIsLoss();

    Clock& clock_;
    Prompter& prompter_;
    WindowPoster& window_;
    SampleHandler& handler_;
    ReceiveHolds& holds_;
    SampleReader& reader_;
    const RunWriter* writer_;

    // The receive thread's own state.
    SampleRecord record_;
    bool armed_ = false;          // a streamed sample below the upper limit came
    std::int64_t lastSampleMs_ = 0;
    bool lossReported_ = false;
    std::int64_t lossReportedAtMs_ = 0;
    std::int64_t runOpenedAtMs_ = -1;  // the run the silences belong to
    std::int64_t lastArrivalMs_ = 0;
    double usualIntervalMs_ = 0.0;  // a slow mean of the intervals that are no silence
    bool heldSinceArrival_ = false;

    mutable std::mutex silencesMutex_;
    Silences silences_;  // under silencesMutex_

    std::atomic<bool> running_{false};
    std::atomic<bool> ended_{false};
    std::atomic<bool> preserveLink_{false};
    std::atomic<int> losses_{0};
    std::jthread thread_;  // last: started once everything else exists
};

}  // namespace corvane
