#include "sim/SimDe1Box.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace corvane {

namespace {
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kBlockSize = 16;
constexpr std::uint8_t kRequestReading = 0x20;
constexpr std::uint8_t kRequestWithEventMark = 0x30;
constexpr std::size_t kMaxBlocks = 7;
}  // namespace

SimDe1Box::SimDe1Box(Clock& clock, SimDe1Config config)
    : SimDe1Box(clock, std::move(config), SimProfile()) {}

SimDe1Box::SimDe1Box(Clock& clock, SimDe1Config config, SimProfile profile)
    : SimDevice(clock, config.seed),
      config_(std::move(config)),
      profile_(std::move(profile)),
      powerOnMs_(clock.nowMs()),
      noise_(config_.seed),
      input3_(config_.input3) {}

void SimDe1Box::setInput3(std::uint16_t value) {
    mutate([&] { input3_ = value; });
}

int SimDe1Box::requestsReceived() {
    return inspect([&] { return requests_; });
}

int SimDe1Box::eventMarkRequestsReceived() {
    return inspect([&] { return eventRequests_; });
}

int SimDe1Box::collectorPulses() {
    return inspect([&] { return static_cast<int>(tubeChanges_.size()); });
}

std::vector<double> SimDe1Box::tubeChangeDepths() {
    return inspect([&] { return tubeChanges_; });
}

double SimDe1Box::depthAtMs(std::int64_t tMs) const {
    const double span = config_.endDepthMm - config_.startDepthMm;
    double travelled = config_.scanSpeedMmPerS * static_cast<double>(tMs - powerOnMs_) / 1000.0;
    if (span > 0.0 && travelled > 0.0) {
        travelled = std::fmod(travelled, span);
    }
    return config_.startDepthMm + travelled;
}

double SimDe1Box::signalAtMs(std::int64_t tMs) const {
    const double depth = depthAtMs(tMs);
    const double absorbance =
        depth < 0.0 ? config_.airAbsorbance : profile_.absorbance(config_.channel, depth);
    const double aufs = config_.aufs > 0.0 ? config_.aufs : 1.0;
    return absorbance / aufs * kDe1FullScaleCounts;
}

std::optional<std::int64_t> SimDe1Box::nextEventMs() const {
    if (pendingReplies_.empty()) {
        return std::nullopt;
    }
    return pendingReplies_.front();
}

void SimDe1Box::advanceTo(std::int64_t nowMs) {
    while (!pendingReplies_.empty() && pendingReplies_.front() <= nowMs) {
        const auto due = pendingReplies_.front();
        pendingReplies_.pop_front();
        sendReply(due);
    }
}

void SimDe1Box::receive(std::span<const std::uint8_t> bytes, std::int64_t nowMs) {
    if (!lineMatches(config_.baudRate)) {
        return;
    }
    for (const auto byte : bytes) {
        if (byte != kRequestReading && byte != kRequestWithEventMark) {
            continue;
        }
        ++requests_;
        const bool raised = byte == kRequestWithEventMark;
        if (raised && !outputHigh_) {
            tubeChanges_.push_back(depthAtMs(nowMs) - config_.collectorDelayMm);
        }
        outputHigh_ = raised;
        if (byte == kRequestWithEventMark) {
            ++eventRequests_;
            eventPulseUntilMs_ = std::max(eventPulseUntilMs_, nowMs + config_.eventPulseMs);
        }
        if (pendingReplies_.size() < kMaxPendingReplies) {
            pendingReplies_.push_back(nowMs + std::max<std::int64_t>(config_.replyDelayMs, 0));
        }
    }
}

std::uint16_t SimDe1Box::input2At(std::int64_t tMs) const {
    bool high = tMs < eventPulseUntilMs_;
    if (config_.fractionIntervalMs > 0) {
        const auto sincePowerOn = tMs - powerOnMs_;
        high = high || (sincePowerOn >= 0 && sincePowerOn % config_.fractionIntervalMs < config_.pulseWidthMs);
    }
    return high ? config_.inputHigh : config_.inputLow;
}

void SimDe1Box::sendReply(std::int64_t atMs) {
    const std::size_t blocks = std::clamp<std::size_t>(config_.blocks, 1, kMaxBlocks);
    std::array<std::uint8_t, kHeaderSize + kBlockSize * kMaxBlocks + 1> reply{};
    const std::size_t size = kHeaderSize + kBlockSize * blocks + 1;
    reply[0] = static_cast<std::uint8_t>(0x80 | blocks);
    reply[1] = sequence_++;
    const double raw = signalAtMs(atMs) + config_.noiseCounts * noise_.gaussian();
    const auto signal = static_cast<std::uint16_t>(std::clamp(std::lround(raw), 0L, 65535L));
    const auto input2 = input2At(atMs);
    auto put16 = [&](std::size_t at, std::uint16_t v) {
        reply[at] = static_cast<std::uint8_t>(v >> 8);
        reply[at + 1] = static_cast<std::uint8_t>(v);
    };
    put16(16, signal);
    put16(18, input2);
    put16(20, input3_);
    unsigned sum = 0;
    for (std::size_t i = kHeaderSize; i + 1 < size; ++i) {
        sum += reply[i];
    }
    reply[size - 1] = static_cast<std::uint8_t>(sum);
    if (lineMatches(config_.baudRate)) {
        emit(std::span(reply.data(), size), static_cast<double>(atMs));
    }
}

}  // namespace corvane
