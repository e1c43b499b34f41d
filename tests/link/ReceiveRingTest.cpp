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

TEST(ReceiveRing, FillPastTheEndIsSplitAndReadsBackInOrder) {
    ReceiveRing ring;
    ring.append(sequence(1000, 0));
    ring.consume(Reader::Packet, 1000);
    ring.consume(Reader::Heartbeat, 1000);

    // 44 bytes from index 1000: 24 up to the end, 20 from the start.
    std::vector<std::size_t> parts;
    const auto source = sequence(44, 100);
    std::size_t taken = 0;
    const auto got = ring.fill(44, [&](std::span<std::uint8_t> part) {
        parts.push_back(part.size());
        std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(taken), part.size(), part.begin());
        taken += part.size();
        return static_cast<std::ptrdiff_t>(part.size());
    });
    EXPECT_EQ(got, 44);
    EXPECT_EQ(parts, (std::vector<std::size_t>{24, 20}));
    EXPECT_EQ(ring.writeIndex(), 20u);
    EXPECT_EQ(ring.readIndex(Reader::Packet), 1000u);
    EXPECT_EQ(unread(ring, Reader::Packet), source);
    EXPECT_EQ(unread(ring, Reader::Heartbeat), source);
}

TEST(ReceiveRing, ShortFirstPartSkipsTheSecondAndAFailedReadAddsNothing) {
    ReceiveRing ring;
    ring.append(sequence(1010, 0));
    int calls = 0;
    EXPECT_EQ(ring.fill(44, [&](std::span<std::uint8_t>) {
        ++calls;
        return std::ptrdiff_t{5};
    }), 5);
    EXPECT_EQ(calls, 1);  // waiting out a second time-out would gain nothing

    const auto before = ring.count(Reader::Packet);
    EXPECT_EQ(ring.fill(16, [](std::span<std::uint8_t>) { return std::ptrdiff_t{-1}; }), -1);
    EXPECT_EQ(ring.count(Reader::Packet), before);
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

TEST(ReceiveRing, ClearEmptiesBothReaders) {
    ReceiveRing ring;
    ring.append(sequence(50, 0));
    ring.clear();
    EXPECT_EQ(ring.count(Reader::Packet), 0u);
    EXPECT_EQ(ring.count(Reader::Heartbeat), 0u);
    EXPECT_EQ(ring.writeIndex(), 0u);
}

}  // namespace
}  // namespace corvane
