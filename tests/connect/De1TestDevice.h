#pragma once

// A DE-1 interface box that answers each request byte with the next reply a
// test queued, at once; and the replies themselves.

#include <cstdint>
#include <deque>
#include <vector>

#include "sim/SimDevice.h"

namespace corvane::test {

// A whole reply with k blocks: header byte 0 = 0x80 | k, block 1 holding the
// three values big-endian, the additive check last.
std::vector<std::uint8_t> De1ReplyBytes(std::uint16_t signal, std::uint16_t input2,
                                        std::uint16_t input3 = 0, int blocks = 1);

class ScriptedDe1Box : public SimDevice {
public:
    explicit ScriptedDe1Box(Clock& clock) : SimDevice(clock, 7) {}

    void queue(std::vector<std::uint8_t> reply);
    // One reply per input 2 value, the signal fixed.
    void queueInput2(std::initializer_list<std::uint16_t> values, std::uint16_t signal = 1000);
    // The request bytes received so far.
    [[nodiscard]] std::vector<std::uint8_t> requests();

protected:
    void advanceTo(std::int64_t) override {}
    void receive(std::span<const std::uint8_t> bytes, std::int64_t nowMs) override;
    [[nodiscard]] std::optional<std::int64_t> nextEventMs() const override { return std::nullopt; }

private:
    std::deque<std::vector<std::uint8_t>> replies_;
    std::vector<std::uint8_t> requests_;
};

}  // namespace corvane::test
