#pragma once

// The common part of every simulated instrument: the bytes it has sent and
// the PC has not read yet (the bridge's receive buffer), the waits of a read
// with a time-out, the faults on the wire and exclusive opening.
//
// A simulated device has no thread. It computes what it has sent lazily, from
// the clock's time, whenever the PC side reads or writes, so a test on a
// ManualClock is deterministic and a test on a ScaledClock needs no extra
// threads. Every public function is thread-safe: the link reads from two
// threads and writes from a third.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <condition_variable>
#include <optional>
#include <span>
#include <stop_token>
#include <vector>

#include "app/Clock.h"
#include "sim/SimRandom.h"

namespace corvane {

// A stretch of time, counted in clock ms from the moment the faults were set.
struct SimFaultWindow {
    // Negative: never.
    std::int64_t afterMs = -1;
    std::int64_t forMs = 0;

    [[nodiscard]] bool covers(std::int64_t sinceSetMs) const {
        return afterMs >= 0 && sinceSetMs >= afterMs && sinceSetMs - afterMs < forMs;
    }
    friend bool operator==(const SimFaultWindow&, const SimFaultWindow&) = default;
};

// Faults a simulated device can be told to show, switchable at any time.
struct SimFaults {
    // Fraction (0 to 1) of the bytes the device sends that never arrive.
    double dropFraction = 0.0;
    // Fraction (0 to 1) of the bytes the device sends that arrive changed
    // (XOR with a random non-zero value).
    double corruptFraction = 0.0;
    // The device sends nothing at all (it still receives and acts on bytes).
    bool silent = false;
    // Kelvo unit only: keys are neither acted on nor echoed.
    bool ignoreKeys = false;
    // Kelvo unit only: control bit 3 (the request for key 1) stays set in
    // every heartbeat, whatever the PC answers.
    bool holdControlBit3 = false;
    // Kelvo unit only: this many of the settings packets that come next are
    // refused (neither taken over nor echoed by the stream); negative: all.
    int refuseSettings = 0;
    // Kelvo unit only: the heartbeats that would echo this many of the keys
    // that come next go out with their check byte damaged, so the key is
    // acted on but its echo is lost; negative: every key's.
    int loseEchoes = 0;
    // A stretch of silence within a run (as `silent`).
    SimFaultWindow silence{};
    // A stretch with the cable pulled: every read and write through either
    // seam fails, and what the device sends meanwhile is lost.
    SimFaultWindow unplug{};

    friend bool operator==(const SimFaults&, const SimFaults&) = default;
};

// How long a read may wait. Both seams map their time-outs onto this.
struct SimReadLimits {
    // Return at once with whatever has come, never waiting.
    bool immediate = false;
    // Longest wait in clock ms from the start of the read; negative = none
    // (the read waits until every byte asked for has come).
    std::int64_t totalMs = -1;
    // Once a byte has come: return when no further byte comes within this
    // many ms; 0 = no such limit.
    std::int64_t intervalMs = 0;
    // Return as soon as at least one byte has come.
    bool returnOnFirstByte = false;
};

class SimDevice {
public:
    // What the device's transmit side holds before bytes are lost, as a bridge
    // chip's receive buffer does when the PC stops reading.
    static constexpr std::size_t kDefaultOutputCapacity = 4096;

    virtual ~SimDevice() = default;
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // Bytes from the PC, delivered at the clock's current time.
    void write(std::span<const std::uint8_t> bytes);

    // Bytes the device has sent by now, up to out.size(); never waits.
    [[nodiscard]] std::size_t readAvailable(std::span<std::uint8_t> out);

    // Reads up to out.size() bytes, waiting through the clock as `limits`
    // say; returns how many were stored. A write from another thread wakes
    // the wait (the answer to it may be due at once). A stop request ends the
    // wait with what has come.
    [[nodiscard]] std::size_t read(std::span<std::uint8_t> out, const SimReadLimits& limits,
                                   std::stop_token stop = {});

    // Bytes sent by now and not yet read.
    [[nodiscard]] std::size_t pendingBytes();

    // Drops every byte sent and not yet read (a purge of the receive buffer).
    void purgeOutput();

    // The line speed the PC has set (bridge baud rate or port state). A device
    // configured for another speed neither hears nor is heard. 9600 until set.
    void setLineBaudRate(std::uint32_t baud);
    [[nodiscard]] std::uint32_t lineBaudRate();

    // Earliest clock time at which the device will send something more
    // (a heartbeat, a stream packet, a reply), if any is planned.
    [[nodiscard]] std::optional<std::int64_t> nextOutputMs();

    // Fault switches; take effect for bytes sent from now on.
    void setFaults(const SimFaults& faults);
    [[nodiscard]] SimFaults faults();

    // Bytes lost because the PC did not read them in time.
    [[nodiscard]] std::uint64_t overflowBytes();

    // Whether the cable is pulled now (the unplug window of the faults).
    [[nodiscard]] bool unplugged();

    // Exclusive opening, shared by both seams: the virtual COM port and the
    // bridge library reach the same chip, and only one may hold it.
    // claim() is false when the device is already held.
    [[nodiscard]] bool claim();
    void release();
    [[nodiscard]] bool claimed();

    [[nodiscard]] Clock& clock() const { return clock_; }

protected:
    SimDevice(Clock& clock, std::uint64_t seed, std::size_t outputCapacity = kDefaultOutputCapacity);

    // The model, called with the device lock held:
    // - bring the model to clock time nowMs, sending through emit();
    virtual void advanceTo(std::int64_t nowMs) = 0;
    // - act on bytes from the PC (the model is already at nowMs);
    virtual void receive(std::span<const std::uint8_t> bytes, std::int64_t nowMs) = 0;
    // - when the model next sends something, if it plans to.
    [[nodiscard]] virtual std::optional<std::int64_t> nextEventMs() const = 0;

    // Sends bytes (lock held) that the model sends at clock time atMs
    // (negative: now): applies silence, the cable pulled, drops and
    // corruption, and loses what does not fit into the output buffer. True
    // when every byte went out as it was.
    bool emit(std::span<const std::uint8_t> bytes, double atMs = -1.0);

    // Whether the device hears and is heard at the current line speed (0 in
    // `configuredBaud` accepts any speed).
    [[nodiscard]] bool lineMatches(std::uint32_t configuredBaud) const;

    // For derived setters: brings the model to now, runs `change` under the
    // lock (so it applies from the current time on), then wakes waiting reads.
    template <class F>
    void mutate(F&& change) {
        {
            std::unique_lock lock(mutex_);
            advanceTo(clock_.nowMs());
            change();
            ++activitySeq_;
        }
        activity_.notify_all();
    }

    // For derived getters: brings the model to now and looks under the lock.
    template <class F>
    auto inspect(F&& look) {
        std::unique_lock lock(mutex_);
        advanceTo(clock_.nowMs());
        return look();
    }

    [[nodiscard]] const SimFaults& faultsLocked() const { return faults_; }
    // Lock held: whether the next settings packet is refused (counts the
    // refusal down).
    [[nodiscard]] bool takeSettingsRefusal();
    // Lock held: whether the next echo is lost (counts the loss down).
    [[nodiscard]] bool takeEchoLoss();

private:
    [[nodiscard]] std::size_t popOutput(std::span<std::uint8_t> out);
    // Lock held: the silence or unplug window covers clock time atMs.
    [[nodiscard]] bool inWindow(const SimFaultWindow& window, double atMs) const;

    Clock& clock_;
    std::mutex mutex_;
    std::condition_variable_any activity_;
    std::uint64_t activitySeq_ = 0;

    std::vector<std::uint8_t> output_;  // fixed-capacity ring
    std::size_t outHead_ = 0;
    std::size_t outCount_ = 0;
    std::uint64_t overflow_ = 0;

    SimFaults faults_;
    std::int64_t faultsSetMs_ = 0;
    SimRandom wireRandom_;
    std::uint32_t lineBaud_ = 9600;
    bool claimed_ = false;
};

}  // namespace corvane
