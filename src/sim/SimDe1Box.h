#pragma once

// The simulated DE-1 interface box: it digitises an external UV monitor's
// output and two inputs, one of them wired to a fraction collector's advance
// signal, and answers one reading per request byte.
//
// Behaviour (clock ms):
// - Each request byte 0x20 or 0x30 from the PC is answered replyDelayMs later
//   with one reply of 16 + 16k + 1 bytes, k = `blocks` (1 to 7):
//     header (16 bytes): byte 0 = 0x80 | k, byte 1 = a sequence number
//       counting replies (mod 256), the rest 0;
//     block 1: bytes 16-17 raw signal, 18-19 input 2, 20-21 input 3, all
//       big-endian, the rest 0; further blocks 0;
//     last byte: the sum modulo 256 of every byte after the header except
//       the last.
//   Other bytes are ignored. At most 8 replies wait to be sent; requests
//   beyond that are dropped. The probe (one 0x20, then a read of up to 256
//   bytes) is just such a request.
// - Raw signal: absorbance / aufs x 63053, plus gaussian noise of noiseCounts,
//   rounded and clamped to 0..65535. The absorbance is the profile's
//   (`channel`, 280 nm by default) at the depth of a simulated run:
//   depth(t) = startDepthMm + scanSpeedMmPerS x (t - power-on) / 1000, going
//   round from endDepthMm back to startDepthMm; above depth 0 the monitor
//   reads airAbsorbance.
// - Input 2: inputHigh during the first pulseWidthMs of every
//   fractionIntervalMs since power-on (no pulses when the interval is 0),
//   and during eventPulseMs after every 0x30 request (the event-mark output
//   looped back); inputLow otherwise. A reply shows the input at the time it
//   is sent.
// - Input 3: a constant (setInput3()).
// - The fraction collector on the event-mark output: the output is high from
//   a 0x30 request to the next 0x20; each rise changes the tube. The liquid
//   reaching the collector passed the detector collectorDelayMm of piston
//   travel earlier (the tubing's dead volume), so each change falls at the
//   depth depth(t) - collectorDelayMm of the gradient as the detector saw it.
// - Line speed: with baudRate non-zero (115200 by default) the box neither
//   hears nor is heard at another speed (see SimDevice::setLineBaudRate).

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/SimDevice.h"
#include "sim/SimProfile.h"

namespace corvane {

struct SimDe1Config {
    std::uint32_t baudRate = 115200;
    std::uint8_t blocks = 1;
    std::int64_t replyDelayMs = 2;
    SimChannel channel = SimChannel::B;
    double aufs = 2.0;
    double airAbsorbance = 0.01;
    double noiseCounts = 5.0;
    double scanSpeedMmPerS = 0.5;
    double startDepthMm = -5.0;
    double endDepthMm = 90.0;
    std::int64_t fractionIntervalMs = 10000;
    std::int64_t pulseWidthMs = 200;
    std::int64_t eventPulseMs = 150;
    std::uint16_t inputLow = 1000;
    std::uint16_t inputHigh = 50000;
    std::uint16_t input3 = 0;
    std::uint64_t seed = 2;
    double collectorDelayMm = 0.0;
};

// Full-scale raw signal of the box: this many counts is one `aufs`.
inline constexpr double kDe1FullScaleCounts = 63053.0;

class SimDe1Box : public SimDevice {
public:
    // Powers on at the clock's current time.
    explicit SimDe1Box(Clock& clock, SimDe1Config config = {});
    SimDe1Box(Clock& clock, SimDe1Config config, SimProfile profile);

    void setInput3(std::uint16_t value);

    // Request bytes received: all of them (0x20 and 0x30), and 0x30 alone.
    [[nodiscard]] int requestsReceived();
    [[nodiscard]] int eventMarkRequestsReceived();

    // The collector: tube changes (rises of the event-mark output) so far,
    // and the gradient depth at the detector of each, in order.
    [[nodiscard]] int collectorPulses();
    [[nodiscard]] std::vector<double> tubeChangeDepths();

    // The simulated run's depth (mm below the gradient surface) at clock time
    // tMs, and the noise-free raw signal at that time.
    [[nodiscard]] double depthAtMs(std::int64_t tMs) const;
    [[nodiscard]] double signalAtMs(std::int64_t tMs) const;

    [[nodiscard]] const SimProfile& profile() const { return profile_; }
    [[nodiscard]] const SimDe1Config& config() const { return config_; }

protected:
    void advanceTo(std::int64_t nowMs) override;
    void receive(std::span<const std::uint8_t> bytes, std::int64_t nowMs) override;
    [[nodiscard]] std::optional<std::int64_t> nextEventMs() const override;

private:
    static constexpr std::size_t kMaxPendingReplies = 8;

    void sendReply(std::int64_t atMs);
    [[nodiscard]] std::uint16_t input2At(std::int64_t tMs) const;

    const SimDe1Config config_;
    const SimProfile profile_;
    const std::int64_t powerOnMs_;
    SimRandom noise_;
    std::deque<std::int64_t> pendingReplies_;  // due times
    std::int64_t eventPulseUntilMs_ = -1;
    std::uint16_t input3_;
    std::uint8_t sequence_ = 0;
    int requests_ = 0;
    int eventRequests_ = 0;
    bool outputHigh_ = false;
    std::vector<double> tubeChanges_;
};

}  // namespace corvane
