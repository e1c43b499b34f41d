#pragma once

// The PC's end of a wire to one simulated device, on a ManualClock: it sends
// bytes, moves time forward in small steps and splits what comes back into
// packets the way the program's validators see them, noting when each was read.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "TestClocks.h"
#include "link/Packets.h"
#include "sim/SimDevice.h"

namespace corvane::test {

struct UnitPacket {
    enum class Kind { Cmd0, Cmd1, Cmd2 };
    Kind kind = Kind::Cmd1;
    std::int64_t atMs = 0;  // clock time at which it was read
    Cmd0 cmd0{};
    Cmd1 cmd1{};
    Cmd2 cmd2{};
    Cmd0Bytes raw0{};  // a settings packet's bytes as sent

    [[nodiscard]] bool isChannelA() const { return cmd2.ucCmd2CntlInfo == kCmd2ChannelA; }
};

class UnitWire {
public:
    // Sets the device's line speed to `baud` first (the unit's usual 57600).
    UnitWire(ManualClock& clock, SimDevice& device, std::uint32_t baud = 57600);

    void send(std::span<const std::uint8_t> bytes);
    // A key packet with the mode byte of the last heartbeat read (10 before one).
    void pressKey(std::uint8_t key);

    // Moves the clock forward by ms in steps of stepMs, reading after each step.
    void run(std::int64_t ms, std::int64_t stepMs = 1);
    // Runs until a packet read from now on satisfies `match`, at most limitMs.
    std::optional<UnitPacket> runUntil(const std::function<bool(const UnitPacket&)>& match,
                                       std::int64_t limitMs, std::int64_t stepMs = 1);
    // The next heartbeat (at most 1100 ms away for a unit that sends them).
    std::optional<Cmd1> nextHeartbeat();
    // Presses a key and returns the heartbeat that follows it.
    std::optional<Cmd1> pressAndWait(std::uint8_t key);

    // Forgets the packets read so far (the counters too).
    void clear();

    [[nodiscard]] const std::vector<UnitPacket>& packets() const { return packets_; }
    [[nodiscard]] std::vector<UnitPacket> ofKind(UnitPacket::Kind kind) const;
    [[nodiscard]] std::vector<UnitPacket> heartbeats() const { return ofKind(UnitPacket::Kind::Cmd1); }
    [[nodiscard]] std::vector<UnitPacket> cmd0s() const { return ofKind(UnitPacket::Kind::Cmd0); }
    [[nodiscard]] std::vector<UnitPacket> cmd2s() const { return ofKind(UnitPacket::Kind::Cmd2); }
    // Bytes that did not begin a valid packet.
    [[nodiscard]] std::size_t junkBytes() const { return junk_; }
    // Every byte read, in order.
    [[nodiscard]] const std::vector<std::uint8_t>& bytesRead() const { return bytesRead_; }
    [[nodiscard]] std::uint8_t lastMode() const { return lastMode_; }

private:
    void readAndSplit();

    ManualClock& clock_;
    SimDevice& device_;
    std::vector<std::uint8_t> pending_;
    std::vector<std::uint8_t> bytesRead_;
    std::vector<UnitPacket> packets_;
    std::size_t junk_ = 0;
    std::uint8_t lastMode_ = kModeNone;
};

// The absorbance the program computes from a pair of counts with source factor k.
[[nodiscard]] double AbsorbanceOf(double sample, double source, double k);

// Where the program places a running-data reading: the middle of the channel's
// share of the integration time, less a further 10 ms of travel.
[[nodiscard]] double ReadingPositionMm(const Cmd2& packet, std::uint16_t integrationMs,
                                       std::uint8_t dutyA);

}  // namespace corvane::test
