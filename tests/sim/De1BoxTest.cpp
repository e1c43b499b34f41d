// The simulated DE-1 interface box, read the way the program reads it: one
// request byte, one framed reply, the event input watched for pulses.

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

#include "TestClocks.h"
#include "sim/SimDe1Box.h"

namespace corvane {
namespace {

using test::ManualClock;

constexpr std::uint8_t kRequest = 0x20;
constexpr std::uint8_t kEventMarkRequest = 0x30;

struct Reply {
    std::vector<std::uint8_t> bytes;
    [[nodiscard]] std::uint16_t word(std::size_t at) const {
        return std::uint16_t(bytes[at] << 8 | bytes[at + 1]);
    }
    [[nodiscard]] std::uint16_t signal() const { return word(16); }
    [[nodiscard]] std::uint16_t input2() const { return word(18); }
    [[nodiscard]] std::uint16_t input3() const { return word(20); }
    // The additive check of the probe and of every reading.
    [[nodiscard]] bool checks() const {
        if (bytes.empty()) {
            return false;
        }
        const unsigned sum = bytes.size() <= 17
                                 ? 0u
                                 : std::accumulate(bytes.begin() + 16, bytes.end() - 1, 0u);
        return (sum & 0xFF) == bytes.back();
    }
};

// Sends one request byte now and reads what has come back 20 ms later.
Reply Ask(SimDe1Box& box, ManualClock& clock, std::uint8_t request = kRequest) {
    box.write(std::span(&request, 1));
    clock.advance(20);
    Reply reply;
    std::array<std::uint8_t, 256> buffer{};
    reply.bytes.assign(buffer.begin(), buffer.begin() + long(box.readAvailable(buffer)));
    return reply;
}

// The program's event input: a rise above 32768 counts once; the next one
// needs the input below 20000 first.
struct EventInput {
    bool latched = false;
    std::vector<std::int64_t> events;
    void see(std::uint16_t input2, std::int64_t atMs) {
        if (input2 > 32768 && !latched) {
            latched = true;
            events.push_back(atMs);
        } else if (input2 < 20000) {
            latched = false;
        }
    }
};

TEST(De1Box, RepliesAreFramedWithBigEndianFieldsAndTheAdditiveCheck) {
    for (const std::uint8_t blocks : {1, 3, 7}) {
        SCOPED_TRACE(int(blocks));
        ManualClock clock;
        SimDe1Config config;
        config.blocks = blocks;
        SimDe1Box box(clock, config);
        box.setLineBaudRate(115200);
        box.setInput3(0x1234);
        clock.advance(30'000);  // well into the gradient

        for (int i = 0; i < 20; ++i) {
            const auto reply = Ask(box, clock);
            ASSERT_EQ(reply.bytes.size(), 16u + 16u * blocks + 1u);
            EXPECT_EQ(reply.bytes[0] & 7, blocks);
            EXPECT_TRUE(reply.checks());
            EXPECT_EQ(reply.input3(), 0x1234);
            EXPECT_GT(reply.signal(), 0);
        }
    }
}

TEST(De1Box, HearsOnlyAt115200) {
    ManualClock clock;
    SimDe1Box box(clock);
    box.setLineBaudRate(57600);
    EXPECT_TRUE(Ask(box, clock).bytes.empty());
    box.setLineBaudRate(115200);
    const auto reply = Ask(box, clock);
    EXPECT_EQ(reply.bytes.size(), 33u);
    EXPECT_TRUE(reply.checks());
    EXPECT_EQ(box.requestsReceived(), 1);
}

TEST(De1Box, SignalIsTheProfileAtTheSelectedFullScale) {
    ManualClock clock;
    SimDe1Config config;
    config.aufs = 2.0;
    SimDe1Box box(clock, config);
    box.setLineBaudRate(115200);
    int inAir = 0, inGradient = 0;
    double highest = 0;
    for (std::int64_t t = 0; t < 150'000; t += 500) {
        clock.set(t);
        const auto reply = Ask(box, clock);
        ASSERT_TRUE(reply.checks());
        const std::int64_t sentAt = t + config.replyDelayMs;
        EXPECT_NEAR(reply.signal(), box.signalAtMs(sentAt), 6 * config.noiseCounts + 1);
        // The program's conversion: counts / 63053 x full scale.
        const double absorbance = reply.signal() / 63053.0 * config.aufs;
        const double depth = box.depthAtMs(sentAt);
        if (depth < 0) {
            ++inAir;
            EXPECT_NEAR(absorbance, config.airAbsorbance, 0.002);
        } else if (box.profile().absorbance(config.channel, depth) < config.aufs * 0.99) {
            ++inGradient;
            EXPECT_NEAR(absorbance, box.profile().absorbance(config.channel, depth), 0.002);
        }
        highest = std::max(highest, absorbance);
    }
    EXPECT_GT(inAir, 5);
    EXPECT_GT(inGradient, 200);
    EXPECT_GT(highest, 0.2) << "the peaks show";
}

TEST(De1Box, Input2PulsesLikeAFractionCollectorsAdvance) {
    ManualClock clock;
    SimDe1Config config;
    config.fractionIntervalMs = 10'000;
    SimDe1Box box(clock, config);
    box.setLineBaudRate(115200);
    EventInput input;
    for (std::int64_t t = 0; t < 35'000; t += 50) {
        clock.set(t);
        const auto reply = Ask(box, clock);
        ASSERT_TRUE(reply.checks());
        input.see(reply.input2(), t);
    }
    ASSERT_EQ(input.events.size(), 4u);
    EXPECT_LT(input.events[0], 300);
    for (std::size_t i = 1; i < input.events.size(); ++i) {
        EXPECT_NEAR(input.events[i] - input.events[i - 1], 10'000, 100);
    }
}

TEST(De1Box, AnEventMarkRequestComesBackAsOnePulseOnInput2) {
    ManualClock clock;
    SimDe1Config config;
    config.fractionIntervalMs = 0;  // the collector quiet, only the mark shows
    SimDe1Box box(clock, config);
    box.setLineBaudRate(115200);
    EventInput input;
    int marks = 0;
    std::int64_t lastHigh = -1;
    for (std::int64_t t = 0; t < 8000; t += 20) {
        clock.set(t);
        // The program holds the mark output for 100 ms: 0x30 on every request.
        const bool mark = t >= 5000 && t < 5100;
        marks += mark ? 1 : 0;
        const auto reply = Ask(box, clock, mark ? kEventMarkRequest : kRequest);
        ASSERT_TRUE(reply.checks());
        input.see(reply.input2(), t);
        if (reply.input2() > 20000) {
            lastHigh = t;
        }
    }
    ASSERT_EQ(input.events.size(), 1u);
    EXPECT_GE(input.events[0], 5000);
    EXPECT_LE(input.events[0], 5040);
    EXPECT_LT(lastHigh, 6100) << "the pulse ends";
    EXPECT_EQ(box.eventMarkRequestsReceived(), marks);
}

}  // namespace
}  // namespace corvane
