#include "link/Crc7.h"

#include <array>

namespace corvane {

namespace {

constexpr std::uint8_t kPolynomial = 0x09;

// One data bit through the register exactly as the unit's firmware does it.
constexpr std::uint8_t shiftBit(std::uint8_t r, bool dataBit) {
    r &= 0x7F;
    const bool feedback = (((r >> 6) & 1U) != 0) != dataBit;
    r = static_cast<std::uint8_t>(r << 1);
    if (feedback) {
        r ^= kPolynomial;
    }
    return r;
}

constexpr std::uint8_t shiftByte(std::uint8_t r, std::uint8_t d) {
    for (int bit = 7; bit >= 0; --bit) {
        r = shiftBit(r, ((d >> bit) & 1U) != 0);
    }
    return r;
}

// The register's low seven bits after a whole byte depend only on the low seven
// bits before it and on the byte, and they enter only through their XOR with
// the byte's top seven bits; so a 256-entry table indexed by
// ((r & 0x7F) << 1) ^ d covers every byte but the last, whose bit 7 we keep.
constexpr std::array<std::uint8_t, 256> makeTable() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned x = 0; x < 256; ++x) {
        // Register (x >> 1), data byte with bit 0 = x & 1 and the rest zero.
        table[x] = static_cast<std::uint8_t>(
            shiftByte(static_cast<std::uint8_t>(x >> 1), static_cast<std::uint8_t>(x & 1U)) & 0x7F);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kTable = makeTable();

}  // namespace

std::uint8_t Crc7(const std::uint8_t* data, std::size_t n) {
    if (n == 0) {
        return 0;
    }
    std::uint8_t r = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        r = kTable[static_cast<std::uint8_t>(((r & 0x7F) << 1) ^ data[i])];
    }
    return shiftByte(r, data[n - 1]);
}

}  // namespace corvane
