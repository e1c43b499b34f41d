#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvane {

// The check byte of every packet: a CRC with the 7-bit polynomial x^7 + x^3 + 1,
// register starting at 0, data taken most significant bit first, no final XOR.
// The byte returned is the 8-bit register after the last shift, bit 7 included:
// the unit compares all eight bits, so masking it to 7 bits would reject good
// packets. "abc" gives 0xBE.
[[nodiscard]] std::uint8_t Crc7(const std::uint8_t* data, std::size_t n);

[[nodiscard]] inline std::uint8_t Crc7(std::span<const std::uint8_t> bytes) {
    return Crc7(bytes.data(), bytes.size());
}

}  // namespace corvane
