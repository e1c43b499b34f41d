#pragma once

// The DE-1 interface box's reply to one request byte: a 16-byte header whose
// byte 0 carries the number k of 16-byte blocks in its low three bits, the k
// blocks, and an additive check byte. Block 1 holds the signal and the two
// inputs, big-endian. The same check proves a device is such a box when it
// is probed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace corvane {

inline constexpr std::size_t kDe1HeaderSize = 16;
inline constexpr std::size_t kDe1BlockSize = 16;
// Header, seven blocks, check byte: nothing longer can be announced.
inline constexpr std::size_t kDe1MaxReplySize = kDe1HeaderSize + 7 * kDe1BlockSize + 1;

inline constexpr std::uint8_t kDe1RequestReading = 0x20;
// The request byte while the event-mark output is raised.
inline constexpr std::uint8_t kDe1RequestWithEventMark = 0x30;

// Whole reply length announced by a header's first byte: 16 + 16k + 1.
[[nodiscard]] std::size_t De1ReplySize(std::uint8_t headerByte0);

// True when bytes is not empty and the sum modulo 256 of the bytes from
// offset 16 up to the last but one (none when there are 17 or fewer) equals
// the last byte.
[[nodiscard]] bool De1CheckPasses(std::span<const std::uint8_t> bytes);

// The values of block 1.
struct De1Fields {
    std::uint16_t signal = 0;
    std::uint16_t input2 = 0;
    std::uint16_t input3 = 0;
};

// The fields of a whole reply: its length must be the one its header
// announces, it must hold at least one block, and the check must pass.
[[nodiscard]] std::optional<De1Fields> DecodeDe1Reply(std::span<const std::uint8_t> reply);

}  // namespace corvane
