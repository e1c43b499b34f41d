// The byte ring under both of its users: the link's two readers that may
// fall behind, and the plain port's one reader that never writes more than
// its room.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "base/ByteRing.h"

namespace corvane {
namespace {

std::string unread(const ByteRing<char, 8>& ring) {
    std::string out(8, '\0');
    out.resize(ring.copyUnread(0, std::span<char>(out.data(), out.size())));
    return out;
}

void append(ByteRing<char, 8>& ring, std::string_view text) {
    ring.append(std::span<const char>(text.data(), text.size()));
}

TEST(ByteRing, AReaderThatTakesNoMoreThanItsRoomLosesNothingAcrossTheEnd) {
    ByteRing<char, 8> ring;
    for (const std::string_view piece : {"abcde", "fgh", "ijk", "lmnop"}) {
        ASSERT_LE(piece.size(), ring.room());
        append(ring, piece);
        const std::string all = unread(ring);
        ring.consume(0, all.size() > 2 ? all.size() - 2 : 0);  // keep a partial line
    }
    EXPECT_EQ(unread(ring), "op") << "straightened across the ring's end";
    EXPECT_EQ(ring.room(), 6u);
    EXPECT_EQ(ring.droppedBytes(), 0u);
}

TEST(ByteRing, AFillAcrossTheEndAsksForTheRestOnlyWhenTheFirstPartCameWhole) {
    ByteRing<char, 8> ring;
    append(ring, "123456");
    ring.consume(0, 6);
    std::vector<std::size_t> asked;
    auto source = [&](std::string_view give) {
        return [&asked, give](std::span<char> part) -> std::ptrdiff_t {
            asked.push_back(part.size());
            const std::size_t n = std::min(part.size(), give.size());
            std::copy_n(give.begin(), n, part.begin());
            return static_cast<std::ptrdiff_t>(n);
        };
    };
    // Two bytes fit before the end: a short answer there ends the fill.
    EXPECT_EQ(ring.fill(5, source("x")), 1);
    EXPECT_EQ(asked, (std::vector<std::size_t>{2}));
    EXPECT_EQ(unread(ring), "x");

    asked.clear();
    EXPECT_EQ(ring.fill(4, source("yz")), 3);  // one byte to the end, then up to three
    EXPECT_EQ(asked, (std::vector<std::size_t>{1, 3}));
    EXPECT_EQ(unread(ring), "xyyz") << "each part is a read of its own";

    asked.clear();
    EXPECT_EQ(ring.fill(3, [&](std::span<char>) -> std::ptrdiff_t { return -1; }), -1);
    EXPECT_EQ(unread(ring), "xyyz") << "a failed read adds nothing";
}

TEST(ByteRing, ReadersFallBehindAlone) {
    ByteRing<std::uint8_t, 16, 3> ring;
    std::vector<std::uint8_t> bytes(40);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    ring.append(std::span(bytes).first(10));
    ring.consume(0, 10);
    ring.consume(1, 4);
    ring.append(std::span(bytes).subspan(10, 10));
    EXPECT_EQ(ring.count(0), 10u);
    EXPECT_EQ(ring.count(1), 16u);
    EXPECT_EQ(ring.droppedBytes(1), 0u);
    EXPECT_EQ(ring.count(2), 16u);
    EXPECT_EQ(ring.droppedBytes(2), 4u);
    std::vector<std::uint8_t> out(16);
    ASSERT_EQ(ring.copyUnread(2, out), 16u);
    EXPECT_EQ(out.front(), 4) << "the oldest go first";
    EXPECT_EQ(out.back(), 19);

    ring.clear();
    EXPECT_EQ(ring.count(1), 0u);
    EXPECT_EQ(ring.writeIndex(), 0u);
}

}  // namespace
}  // namespace corvane
