#include "sim/SimDevice.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvane {

namespace {
// A read that may wait for ever still looks at the device this often, so a
// clock that only moves when told to is followed.
constexpr std::int64_t kIdleWakeMs = 1000;
}  // namespace

SimDevice::SimDevice(Clock& clock, std::uint64_t seed, std::size_t outputCapacity)
    : clock_(clock),
      output_(outputCapacity > 0 ? outputCapacity : 1),
      wireRandom_(seed ^ 0x5DEECE66DULL) {}

void SimDevice::write(std::span<const std::uint8_t> bytes) {
    {
        std::unique_lock lock(mutex_);
        const auto now = clock_.nowMs();
        advanceTo(now);
        receive(bytes, now);
        ++activitySeq_;
    }
    activity_.notify_all();
}

std::size_t SimDevice::readAvailable(std::span<std::uint8_t> out) {
    std::unique_lock lock(mutex_);
    advanceTo(clock_.nowMs());
    return popOutput(out);
}

std::size_t SimDevice::read(std::span<std::uint8_t> out, const SimReadLimits& limits,
                            std::stop_token stop) {
    std::unique_lock lock(mutex_);
    const auto start = clock_.nowMs();
    std::size_t got = 0;
    std::int64_t lastByteMs = start;
    for (;;) {
        const auto now = clock_.nowMs();
        advanceTo(now);
        const auto n = popOutput(out.subspan(got));
        if (n > 0) {
            got += n;
            lastByteMs = now;
        }
        if (got == out.size() || limits.immediate || (limits.returnOnFirstByte && got > 0) ||
            stop.stop_requested()) {
            return got;
        }
        // The earliest moment the read must end.
        std::int64_t endMs = std::numeric_limits<std::int64_t>::max();
        if (limits.totalMs >= 0) {
            endMs = start + limits.totalMs;
        }
        if (limits.intervalMs > 0 && got > 0) {
            endMs = std::min(endMs, lastByteMs + limits.intervalMs);
        }
        if (now >= endMs) {
            return got;
        }
        auto wakeMs = endMs;
        if (const auto next = nextEventMs()) {
            wakeMs = std::min(wakeMs, std::max(*next, now));
        }
        if (wakeMs == std::numeric_limits<std::int64_t>::max()) {
            wakeMs = now + kIdleWakeMs;
        }
        const auto seenSeq = activitySeq_;
        clock_.waitUntil(lock, activity_, wakeMs, stop, [&] {
            return activitySeq_ != seenSeq || clock_.nowMs() >= wakeMs;
        });
    }
}

std::size_t SimDevice::pendingBytes() {
    std::unique_lock lock(mutex_);
    advanceTo(clock_.nowMs());
    return outCount_;
}

void SimDevice::purgeOutput() {
    std::unique_lock lock(mutex_);
    advanceTo(clock_.nowMs());
    outHead_ = 0;
    outCount_ = 0;
}

void SimDevice::setLineBaudRate(std::uint32_t baud) {
    mutate([&] { lineBaud_ = baud; });
}

std::uint32_t SimDevice::lineBaudRate() {
    std::unique_lock lock(mutex_);
    return lineBaud_;
}

std::optional<std::int64_t> SimDevice::nextOutputMs() {
    std::unique_lock lock(mutex_);
    advanceTo(clock_.nowMs());
    return nextEventMs();
}

void SimDevice::setFaults(const SimFaults& next) {
    mutate([&] {
        faults_ = next;
        faultsSetMs_ = clock_.nowMs();
    });
}

SimFaults SimDevice::faults() {
    std::unique_lock lock(mutex_);
    return faults_;
}

std::uint64_t SimDevice::overflowBytes() {
    std::unique_lock lock(mutex_);
    advanceTo(clock_.nowMs());
    return overflow_;
}

bool SimDevice::unplugged() {
    std::unique_lock lock(mutex_);
    return inWindow(faults_.unplug, static_cast<double>(clock_.nowMs()));
}

bool SimDevice::inWindow(const SimFaultWindow& window, double atMs) const {
    return window.covers(static_cast<std::int64_t>(std::floor(atMs)) - faultsSetMs_);
}

namespace {

// A fault that happens `left` more times (negative: always): whether it
// happens now, counted down.
bool takeOne(int& left) {
    if (left == 0) {
        return false;
    }
    if (left > 0) {
        --left;
    }
    return true;
}

}  // namespace

bool SimDevice::takeSettingsRefusal() { return takeOne(faults_.refuseSettings); }

bool SimDevice::takeEchoLoss() { return takeOne(faults_.loseEchoes); }

bool SimDevice::claim() {
    std::unique_lock lock(mutex_);
    if (claimed_) {
        return false;
    }
    claimed_ = true;
    return true;
}

void SimDevice::release() {
    std::unique_lock lock(mutex_);
    claimed_ = false;
}

bool SimDevice::claimed() {
    std::unique_lock lock(mutex_);
    return claimed_;
}

bool SimDevice::emit(std::span<const std::uint8_t> bytes, double atMs) {
    // Packets are worked out when the PC looks, maybe long after they were
    // sent: the windows are judged at the time they were sent.
    const double sentMs = atMs >= 0.0 ? atMs : static_cast<double>(clock_.nowMs());
    if (faults_.silent || inWindow(faults_.silence, sentMs) || inWindow(faults_.unplug, sentMs)) {
        return bytes.empty();
    }
    bool whole = true;
    for (auto byte : bytes) {
        if (faults_.dropFraction > 0.0 && wireRandom_.uniform() < faults_.dropFraction) {
            whole = false;
            continue;
        }
        if (faults_.corruptFraction > 0.0 && wireRandom_.uniform() < faults_.corruptFraction) {
            byte ^= static_cast<std::uint8_t>(1 + wireRandom_.next() % 255);
            whole = false;
        }
        if (outCount_ == output_.size()) {
            // The PC has stopped reading: newer bytes are lost, as on a full chip.
            ++overflow_;
            whole = false;
            continue;
        }
        output_[(outHead_ + outCount_) % output_.size()] = byte;
        ++outCount_;
    }
    return whole;
}

bool SimDevice::lineMatches(std::uint32_t configuredBaud) const {
    return configuredBaud == 0 || configuredBaud == lineBaud_;
}

std::size_t SimDevice::popOutput(std::span<std::uint8_t> out) {
    const std::size_t n = std::min(out.size(), outCount_);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = output_[(outHead_ + i) % output_.size()];
    }
    outHead_ = (outHead_ + n) % output_.size();
    outCount_ -= n;
    return n;
}

}  // namespace corvane
