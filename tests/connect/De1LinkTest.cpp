// The exchange with the DE-1 interface box: framing and check, smoothing,
// the event latch and the event-mark pulse.

#include <gtest/gtest.h>

#include <vector>

#include "De1TestDevice.h"
#include "TestClocks.h"
#include "link/De1Link.h"
#include "link/De1Reply.h"
#include "sim/SimBridgeLibrary.h"

namespace corvane {
namespace {

using test::De1ReplyBytes;
using test::ManualClock;
using test::ScriptedDe1Box;

struct De1Bench {
    ManualClock clock;
    ScriptedDe1Box box{clock};
    SimBridgeLibrary bridge{clock};
    BridgeHandle handle = 0;

    De1Bench() {
        bridge.addDevice(box, "DE1B0042", 4);
        EXPECT_EQ(bridge.open("DE1B0042", kOpenBySerialNumber, handle), kBridgeOk);
        EXPECT_EQ(bridge.setTimeouts(handle, 100, 100), kBridgeOk);
    }
    // Takes the handle over: the link closes it.
    De1Link link(double p = 0.0, double offset = 0.0) {
        return De1Link(bridge, clock, std::exchange(handle, 0), offset, p);
    }
};

bool Poll(De1Link& link, De1Reading& reading) { return link.RequestReading() && link.ReadReading(reading); }

// Input 2 values through the latch; the events counted.
int EventsFor(std::initializer_list<std::uint16_t> input2) {
    De1Bench bench;
    auto link = bench.link();
    bench.box.queueInput2(input2);
    De1Reading reading;
    for (std::size_t i = 0; i < input2.size(); ++i) {
        EXPECT_TRUE(Poll(link, reading));
    }
    return link.EventCount();
}

TEST(De1Reply, LengthFollowsTheBlockCountAndTheCheckSumsTheBytesBehindTheHeader) {
    const auto reply = De1ReplyBytes(0x1234, 0xABCD, 0x0102);
    ASSERT_EQ(reply.size(), 33u);
    EXPECT_EQ(De1ReplySize(reply[0]), 33u);
    EXPECT_EQ(De1ReplySize(0x87), 16u + 7 * 16 + 1);
    const auto fields = DecodeDe1Reply(reply);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->signal, 0x1234);
    EXPECT_EQ(fields->input2, 0xABCD);
    EXPECT_EQ(fields->input3, 0x0102);

    auto damaged = reply;
    damaged[25] ^= 0x10;  // a byte the check covers
    EXPECT_FALSE(DecodeDe1Reply(damaged));
    auto header = reply;
    header[3] ^= 0x10;  // header bytes are not covered
    EXPECT_TRUE(DecodeDe1Reply(header));
    EXPECT_FALSE(DecodeDe1Reply(std::span(reply).first(32)));
    EXPECT_FALSE(DecodeDe1Reply(De1ReplyBytes(0, 0, 0, 0)));  // no block, no reading

    // The probe's form of the check: anything up to 17 bytes sums to 0.
    const std::vector<std::uint8_t> zero{0x00};
    const std::vector<std::uint8_t> one{0x01};
    EXPECT_TRUE(De1CheckPasses(zero));
    EXPECT_FALSE(De1CheckPasses(one));
    EXPECT_FALSE(De1CheckPasses({}));
}

TEST(De1Link, ReadsAReplyOfTwoBlocksWholeAndRecoversAfterADamagedOne) {
    De1Bench bench;
    auto link = bench.link();
    auto bad = De1ReplyBytes(500, 0);
    bad.back() ^= 1;
    bench.box.queue(bad);
    bench.box.queue(De1ReplyBytes(700, 0, 9, 2));
    bench.box.queue(De1ReplyBytes(900, 0));

    De1Reading reading;
    EXPECT_FALSE(Poll(link, reading));
    ASSERT_TRUE(Poll(link, reading));
    EXPECT_EQ(reading.rawSignal, 700);
    EXPECT_EQ(reading.input3, 9u);
    ASSERT_TRUE(Poll(link, reading));  // the 49-byte reply left nothing behind
    EXPECT_EQ(reading.rawSignal, 900);
}

TEST(De1Link, AnEventNeedsInputTwoBelow20000BeforeTheNext) {
    EXPECT_EQ(EventsFor({10000, 40000, 30000, 40000}), 1);
    EXPECT_EQ(EventsFor({10000, 40000, 15000, 40000}), 2);
    EXPECT_EQ(EventsFor({32768, 20000, 32769}), 1);  // both limits are strict
}

TEST(De1Link, SuppressedRisesSetNoLatch) {
    De1Bench bench;
    auto link = bench.link();
    bench.box.queueInput2({40000, 40000});
    De1Reading reading;
    link.SetEventSuppression(1);
    ASSERT_TRUE(Poll(link, reading));
    EXPECT_FALSE(reading.event);
    link.SetEventSuppression(0);
    ASSERT_TRUE(Poll(link, reading));
    EXPECT_TRUE(reading.event);
    EXPECT_EQ(link.EventCount(), 1);
}

TEST(De1Link, SmoothsOverTheWindowThatTheSettingGives) {
    EXPECT_EQ(De1Link::SmoothingWindow(0.5), 1);
    EXPECT_EQ(De1Link::SmoothingWindow(1.0), 100);
    EXPECT_EQ(De1Link::SmoothingWindow(10.0), 10);
    EXPECT_EQ(De1Link::SmoothingWindow(30.0), 3);
    EXPECT_EQ(De1Link::SmoothingWindow(1000.0), 1);

    De1Bench bench;
    auto link = bench.link(10.0, 5.0);
    std::vector<double> signals;
    for (std::uint16_t raw = 1; raw <= 12; ++raw) {
        bench.box.queue(De1ReplyBytes(raw * 100, 0));
        De1Reading reading;
        ASSERT_TRUE(Poll(link, reading));
        signals.push_back(reading.signal);
    }
    EXPECT_DOUBLE_EQ(signals[2], 200.0 + 5.0);   // fewer than 10 so far: their mean
    EXPECT_DOUBLE_EQ(signals[9], 550.0 + 5.0);   // 100..1000
    EXPECT_DOUBLE_EQ(signals[11], 750.0 + 5.0);  // 300..1200
}

TEST(De1Link, ScalesTheSignalByTheFullScaleOfTheAufsStep) {
    EXPECT_DOUBLE_EQ(De1Link::Absorbance(63053.0, 6), 1.0);
    EXPECT_DOUBLE_EQ(De1Link::Absorbance(63053.0, 0), 0.01);
    EXPECT_DOUBLE_EQ(De1Link::Absorbance(63053.0 / 2, 7), 1.0);
}

TEST(De1Link, AnEventMarkIsAPulseOf100MsWhoseEchoIsNotCounted) {
    De1Bench bench;
    auto link = bench.link();
    De1Reading reading;
    bench.box.queueInput2({1000, 50000, 50000, 1000, 1000, 50000});

    ASSERT_TRUE(Poll(link, reading));
    link.RaiseEventMark();
    ASSERT_TRUE(Poll(link, reading));  // 0x30: the pulse starts, its echo comes back
    EXPECT_TRUE(reading.event);
    EXPECT_FALSE(reading.eventCounted);
    bench.clock.advance(60);
    ASSERT_TRUE(Poll(link, reading));  // still within the pulse
    EXPECT_TRUE(link.EventMarkRaised());
    bench.clock.advance(40);
    ASSERT_TRUE(Poll(link, reading));  // 100 ms on: lowered
    EXPECT_FALSE(link.EventMarkRaised());
    ASSERT_TRUE(Poll(link, reading));
    ASSERT_TRUE(Poll(link, reading));  // the collector's own mark counts
    EXPECT_TRUE(reading.eventCounted);
    EXPECT_EQ(link.EventCount(), 1);

    const std::vector<std::uint8_t> expected{0x20, 0x30, 0x30, 0x20, 0x20, 0x20};
    EXPECT_EQ(bench.box.requests(), expected);
}

}  // namespace
}  // namespace corvane
