// The exchange with the DE-1 interface box: framing and check, smoothing,
// the event latch and the event-mark pulse.

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "TestClocks.h"
#include "link/De1Link.h"
#include "link/De1Reply.h"
#include "sim/SimBridgeLibrary.h"

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A whole reply with k blocks, block 1 holding the three values big-endian.
Bytes Reply(std::uint16_t signal, std::uint16_t input2, std::uint16_t input3 = 0, int k = 1) {
    Bytes r(16 + 16 * std::size_t(k) + 1, 0);
    r[0] = std::uint8_t(0x80 | k);
    const std::uint16_t values[] = {signal, input2, input3};
    for (std::size_t i = 0; k > 0 && i < 3; ++i) {
        r[16 + 2 * i] = std::uint8_t(values[i] >> 8);
        r[17 + 2 * i] = std::uint8_t(values[i]);
    }
    for (std::size_t i = 16; i + 1 < r.size(); ++i) {
        r.back() = std::uint8_t(r.back() + r[i]);
    }
    return r;
}

// A box that answers each request byte with the next queued reply at once.
class ScriptedBox : public SimDevice {
public:
    explicit ScriptedBox(Clock& clock) : SimDevice(clock, 7) {}
    void queue(Bytes reply) { mutate([&] { replies_.push_back(std::move(reply)); }); }
    Bytes requests() { return inspect([&] { return requests_; }); }

protected:
    void advanceTo(std::int64_t) override {}
    [[nodiscard]] std::optional<std::int64_t> nextEventMs() const override { return std::nullopt; }
    void receive(std::span<const std::uint8_t> bytes, std::int64_t) override {
        for (const auto byte : bytes) {
            requests_.push_back(byte);
            if (!replies_.empty()) {
                emit(replies_.front());
                replies_.pop_front();
            }
        }
    }

private:
    std::deque<Bytes> replies_;
    Bytes requests_;
};

struct Bench {
    test::ManualClock clock;
    ScriptedBox box{clock};
    SimBridgeLibrary bridge{clock};
    std::unique_ptr<De1Link> link;

    explicit Bench(double p = 0.0, double offset = 0.0) {
        bridge.addDevice(box, "DE1B0042", 4);
        BridgeHandle handle = 0;
        EXPECT_EQ(bridge.open("DE1B0042", kOpenBySerialNumber, handle), kBridgeOk);
        EXPECT_EQ(bridge.setTimeouts(handle, 100, 100), kBridgeOk);
        link = std::make_unique<De1Link>(bridge, clock, handle, offset, p);
    }
    bool poll(De1Reading& reading) { return link->RequestReading() && link->ReadReading(reading); }
    int eventsFor(std::initializer_list<std::uint16_t> input2) {
        De1Reading reading;
        for (const auto v : input2) {
            box.queue(Reply(1000, v));
            EXPECT_TRUE(poll(reading));
        }
        return link->EventCount();
    }
};

TEST(De1Link, ReadsFramedRepliesAndRecoversAfterADamagedOne) {
    EXPECT_TRUE(DecodeDe1Reply(Reply(1, 2, 3)));
    EXPECT_EQ(Reply(1, 2, 3).size(), 33u);
    EXPECT_FALSE(DecodeDe1Reply(Reply(0, 0, 0, 0)));  // no block, no reading
    EXPECT_TRUE(De1CheckPasses(Bytes{0x00}));         // the probe's form: 17 bytes or fewer sum to 0

    Bench b;
    auto bad = Reply(500, 0);
    bad[25] ^= 0x10;
    b.box.queue(bad);
    b.box.queue(Reply(700, 0, 9, 2));
    b.box.queue(Reply(0x1234, 0xABCD, 0x0102));
    De1Reading reading;
    EXPECT_FALSE(b.poll(reading));
    ASSERT_TRUE(b.poll(reading));
    EXPECT_EQ(reading.rawSignal, 700);
    ASSERT_TRUE(b.poll(reading));  // the 49-byte reply left nothing behind
    EXPECT_EQ(reading.rawSignal, 0x1234);
    EXPECT_EQ(reading.input2, 0xABCDu);
    EXPECT_EQ(reading.input3, 0x0102u);
}

TEST(De1Link, AnEventNeedsInputTwoBelow20000BeforeTheNext) {
    EXPECT_EQ(Bench().eventsFor({10000, 40000, 30000, 40000}), 1);
    EXPECT_EQ(Bench().eventsFor({10000, 40000, 15000, 40000}), 2);
    EXPECT_EQ(Bench().eventsFor({32768, 20000, 32769}), 1);  // both limits are strict
}

TEST(De1Link, SmoothsOverTheWindowTheSettingGivesAndScalesToTheFullScale) {
    EXPECT_EQ(De1Link::SmoothingWindow(0.5), 1);
    Bench b(10.0, 5.0);
    std::vector<double> signals;
    for (std::uint16_t raw = 1; raw <= 12; ++raw) {
        b.box.queue(Reply(raw * 100, 0));
        De1Reading reading;
        ASSERT_TRUE(b.poll(reading));
        signals.push_back(reading.signal);
    }
    EXPECT_DOUBLE_EQ(signals[2], 200.0 + 5.0);   // fewer than 10 so far: their mean
    EXPECT_DOUBLE_EQ(signals[9], 550.0 + 5.0);   // 100..1000
    EXPECT_DOUBLE_EQ(signals[11], 750.0 + 5.0);  // 300..1200
    EXPECT_DOUBLE_EQ(De1Link::Absorbance(63053.0, 6), 1.0);
    EXPECT_DOUBLE_EQ(De1Link::Absorbance(63053.0, 0), 0.01);
}

TEST(De1Link, AnEventMarkIsAPulseOf100MsWhoseEchoIsNotCounted) {
    Bench b;
    De1Reading reading;
    for (const std::uint16_t v : {1000, 50000, 50000, 1000, 1000, 50000}) {
        b.box.queue(Reply(1000, v));
    }
    ASSERT_TRUE(b.poll(reading));
    b.link->RaiseEventMark();
    ASSERT_TRUE(b.poll(reading));  // 0x30: the pulse starts, its echo comes back
    EXPECT_TRUE(reading.event);
    EXPECT_FALSE(reading.eventCounted);
    b.clock.advance(60);
    ASSERT_TRUE(b.poll(reading));
    b.clock.advance(40);
    ASSERT_TRUE(b.poll(reading));  // 100 ms on: lowered
    EXPECT_FALSE(b.link->EventMarkRaised());
    ASSERT_TRUE(b.poll(reading));
    ASSERT_TRUE(b.poll(reading));  // the collector's own mark counts
    EXPECT_TRUE(reading.eventCounted);
    EXPECT_EQ(b.link->EventCount(), 1);
    EXPECT_EQ(b.box.requests(), (Bytes{0x20, 0x30, 0x30, 0x20, 0x20, 0x20}));
}

}  // namespace
}  // namespace corvane
