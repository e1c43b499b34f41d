#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "link/ReceiveRing.h"

namespace corvane {
namespace {

using Reader = ReceiveRing::Reader;

std::vector<std::uint8_t> unread(const ReceiveRing& ring, Reader reader) {
    std::vector<std::uint8_t> out(ReceiveRing::kSize);
    out.resize(ring.copyUnread(reader, out));
    return out;
}

std::vector<std::uint8_t> sequence(std::size_t n, std::uint8_t first) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

TEST(ReceiveRing, ReadersConsumeIndependently) {
    ReceiveRing ring;
    ring.append(sequence(30, 1));
    ring.consume(Reader::Packet, 20);
    EXPECT_EQ(unread(ring, Reader::Packet), sequence(10, 21));
    EXPECT_EQ(unread(ring, Reader::Heartbeat), sequence(30, 1));
    ring.consume(Reader::Heartbeat, 100);  // never below zero
    EXPECT_EQ(ring.count(Reader::Heartbeat), 0u);
    EXPECT_EQ(ring.count(Reader::Packet), 10u);
}

TEST(ReceiveRing, AReaderAWholeRingBehindLosesItsOldestBytesOnly) {
    ReceiveRing ring;
    ring.append(sequence(1000, 0));
    ring.consume(Reader::Packet, 990);  // the packet reader keeps up, the heartbeat reader does not
    ring.fill(44, [&](std::span<std::uint8_t> part) {
        std::fill(part.begin(), part.end(), 0xEE);
        return static_cast<std::ptrdiff_t>(part.size());
    });
    EXPECT_EQ(ring.count(Reader::Heartbeat), ReceiveRing::kSize);
    EXPECT_EQ(ring.droppedBytes(Reader::Heartbeat), 20u);
    EXPECT_EQ(ring.count(Reader::Packet), 54u);
    EXPECT_EQ(ring.droppedBytes(Reader::Packet), 0u);
    // The heartbeat reader's oldest byte is now the 21st byte ever received.
    EXPECT_EQ(unread(ring, Reader::Heartbeat).front(), 20);
    EXPECT_EQ(unread(ring, Reader::Heartbeat).back(), 0xEE);

    // Far more than a ring in one go keeps the newest kSize bytes.
    ring.append(sequence(3000, 0));
    EXPECT_EQ(ring.count(Reader::Packet), ReceiveRing::kSize);
    EXPECT_EQ(unread(ring, Reader::Packet).back(), static_cast<std::uint8_t>(2999));
}

}  // namespace
}  // namespace corvane
