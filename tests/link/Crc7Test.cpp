#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "link/Crc7.h"
#include "sim/SimRandom.h"

namespace corvane {
namespace {

// The check byte exactly as the unit computes it, one bit at a time: the
// fast version must agree with it on every input.
std::uint8_t bitwiseCrc7(const std::vector<std::uint8_t>& bytes) {
    std::uint8_t r = 0;
    for (std::uint8_t d : bytes) {
        r &= 0x7F;
        for (int i = 0; i < 8; ++i) {
            r &= 0x7F;
            const bool f = (((r >> 6) & 1) != 0) != (((d >> 7) & 1) != 0);
            r = static_cast<std::uint8_t>(r << 1);
            if (f) {
                r ^= 0x09;
            }
            d = static_cast<std::uint8_t>(d << 1);
        }
    }
    return r;
}

TEST(Crc7, MatchesTheKnownCheckBytesIncludingBit7) {
    constexpr std::string_view abc = "abc";
    EXPECT_EQ(Crc7(reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()), 0xBE);
    const std::uint8_t heartbeat[] = {0x41, 0xBE, 0x00, 0x0A, 0x0D, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Crc7(heartbeat), 0x24);
    const std::uint8_t key5[] = {0x41, 0xBE, 0x05, 0x0A, 0x0D, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Crc7(key5), 0x78);
    EXPECT_EQ(Crc7(nullptr, 0), 0);
}

TEST(Crc7, AgreesWithTheBitwiseAlgorithmOnArbitraryBytes) {
    SimRandom random(7);
    for (std::size_t length = 1; length <= 64; ++length) {
        for (int round = 0; round < 20; ++round) {
            std::vector<std::uint8_t> bytes(length);
            for (auto& byte : bytes) {
                byte = static_cast<std::uint8_t>(random.next());
            }
            ASSERT_EQ(Crc7(bytes.data(), bytes.size()), bitwiseCrc7(bytes)) << "length " << length;
        }
    }
}

}  // namespace
}  // namespace corvane
