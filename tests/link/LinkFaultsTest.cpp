// The link's own account of a bad line, a unit that refuses settings, and
// keys whose echo is lost.
// Single-threaded on a clock that moves by itself: the unit's faults come
// from its seeded generator, so every count here is the same on every run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "LinkTestSupport.h"
#include "TestClocks.h"

namespace corvane::test {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

Cmd2Bytes runningPacket(std::uint32_t sample) {
    return EncodeCmd2(Cmd2{sample, 10000, kCmd2ChannelA, 1000, 10, 0});
}

// Reads running packets (and heartbeats) until the unit has nothing more
// and three reads found none.
std::vector<std::uint32_t> drainRunning(ScriptedLink& s) {
    std::vector<std::uint32_t> samples;
    for (int idle = 0; idle < 3;) {
        Cmd2 packet;
        if (s.link->ReadCmd2(packet)) {
            samples.push_back(packet.ulATODADataSample);
            idle = 0;
        } else if (s.unit.pendingBytes() == 0) {
            ++idle;
        }
        s.link->ParseHeartbeat();
    }
    return samples;
}

TEST(LinkAccount, GarbageIsCountedAsItComesAndNeverFillsTheRing) {
    ScriptedLink s;
    // A wrong line speed: bytes that never form a packet, four rings' worth.
    std::vector<std::uint8_t> garbage(4096);
    std::uint32_t x = 12345;
    for (auto& byte : garbage) {
        x = x * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(x >> 16);
    }
    for (std::size_t at = 0; at < garbage.size(); at += 512) {
        s.unit.inject(std::span(garbage).subspan(at, 512));
        EXPECT_THAT(drainRunning(s), IsEmpty());
    }
    auto traffic = s.link->traffic();
    EXPECT_EQ(traffic.bytesReceived, garbage.size());
    // Only the tail that might still begin a settings packet is held back.
    EXPECT_GE(traffic.invalidBytesSkipped, garbage.size() - (kCmd0Size - 1));
    EXPECT_EQ(traffic.droppedBytes, 0u);

    // The first packet behind it is found whole.
    s.unit.inject(runningPacket(777));
    EXPECT_EQ(drainRunning(s), (std::vector<std::uint32_t>{777}));
    traffic = s.link->traffic();
    EXPECT_EQ(traffic.invalidBytesSkipped, garbage.size());
    EXPECT_EQ(traffic.cmd2Packets, 1u);
}

TEST(LinkAccount, ADamagedPacketCostsItselfOnlyAndIsCountedAsLost) {
    ScriptedLink s;
    std::vector<std::uint8_t> stream;
    auto add = [&](std::span<const std::uint8_t> bytes) { stream.insert(stream.end(), bytes.begin(), bytes.end()); };
    add(runningPacket(0));  // what comes before the first packet is no measure of loss
    auto corrupted = runningPacket(1);
    corrupted[7] ^= 0x5A;
    add(corrupted);
    add(runningPacket(2));
    add(EncodeCmd1(UnitBeat(kModeManual)));  // heartbeats between packets are no loss
    auto shortened = runningPacket(3);
    add(std::span(shortened).first(9));
    add(std::span(shortened).subspan(10));  // one byte dropped on the way
    add(runningPacket(4));
    auto badHeartbeat = EncodeCmd1(UnitBeat(kModeManual));
    badHeartbeat[4] ^= 0x01;
    add(badHeartbeat);  // a damaged heartbeat is invalid, but no packet
    add(runningPacket(5));
    s.unit.inject(stream);

    EXPECT_EQ(drainRunning(s), (std::vector<std::uint32_t>{0, 2, 4, 5}));
    const auto traffic = s.link->traffic();
    EXPECT_EQ(traffic.cmd2Packets, 4u);
    EXPECT_EQ(traffic.invalidBytesSkipped, 16u + 15u + 10u);
    EXPECT_EQ(traffic.packetsLost, 2u);
}

Cmd2Bytes runningAt(std::uint32_t sample, std::uint16_t position, std::int16_t speed) {
    return EncodeCmd2(Cmd2{sample, 10000, kCmd2ChannelA, position, speed, 0});
}

// A packet whose piston position or speed cannot follow the last one taken is
// judged by the packet after it.
TEST(LinkAccount, AFarPositionIsTakenOnlyWhenTheNextPacketAgrees) {
    ScriptedLink s;
    // At 10 mm, 1 mm/s; a damaged packet that passed the check byte says 90 mm.
    s.unit.inject(runningAt(1, 1000, 10));
    s.unit.inject(runningAt(2, 9000, 10));
    s.unit.inject(runningAt(3, 1001, 10));
    EXPECT_EQ(drainRunning(s), (std::vector<std::uint32_t>{1, 3}));
    EXPECT_EQ(s.link->traffic().invalidBytesSkipped, 16u);

    // The piston really is elsewhere (sent home fast): the first packet there
    // waits for the next and is taken with it, none passed over.
    s.unit.inject(runningAt(4, 20000, -60));
    Cmd2 packet;
    EXPECT_FALSE(s.link->ReadCmd2(packet));
    EXPECT_FALSE(s.link->ReadCmd2(packet));
    s.unit.inject(runningAt(5, 19990, -60));
    EXPECT_EQ(drainRunning(s), (std::vector<std::uint32_t>{4, 5}));
    EXPECT_EQ(s.link->traffic().invalidBytesSkipped, 16u);

    // A far one followed by garbage only: once the bytes after it could have
    // held a few packets it is passed over, and what follows is read.
    s.unit.inject(runningAt(6, 500, -60));
    s.unit.inject(std::vector<std::uint8_t>(UvLink::kJumpWaitBytes, 0x11));
    s.unit.inject(runningAt(7, 19980, -60));
    EXPECT_EQ(drainRunning(s), (std::vector<std::uint32_t>{7}));
    EXPECT_EQ(s.link->traffic().cmd2Packets, 5u);
}

TEST(LinkAccount, AtOnePercentCorruptedBytesOnlyThePacketsHoldingOneAreLost) {
    ManualClock clock;
    SimRigConfig config;
    config.kelvo.powerOnMode = kModeManual;
    config.kelvo.settings.uiIntegrationTime = 50;
    LinkBench bench(clock, config);
    auto& link = bench.open(false);
    bench.hearUnit();
    auto& unit = *bench.rig.kelvo();
    unit.setFaults(SimFaults{.corruptFraction = 0.01});
    const auto before = link.traffic();
    const auto sentBefore = unit.packetsSent(SimKelvoUnit::PacketKind::Running);

    for (const Deadline run(clock, 150000); !run.expired();) {
        (void)link.ReadStreamedPacket();
        link.ParseHeartbeat();
    }
    // The unit stops sending; what is on the way is read.
    unit.setFaults(SimFaults{.silent = true});
    const auto sent = unit.packetsSent(SimKelvoUnit::PacketKind::Running);
    for (int i = 0; i < 50; ++i) {
        (void)link.ReadStreamedPacket();
    }
    const auto after = link.traffic();
    const auto received = after.cmd2Packets - before.cmd2Packets;
    const auto whole = sent.whole - sentBefore.whole;
    const auto damaged = (sent.sent - sentBefore.sent) - whole;
    ASSERT_GT(whole, 5000u);
    ASSERT_GT(damaged, 600u);  // 1 - 0.99^16: about 15 % hold a damaged byte
    // Every whole packet arrives; a damaged one may only pass the check byte
    // by chance (about 1 in 256).
    EXPECT_GE(received, whole);
    EXPECT_LE(received, whole + damaged / 50);
    // The estimate from the gaps is close to the truth.
    const auto estimated = static_cast<double>(after.packetsLost - before.packetsLost);
    EXPECT_NEAR(estimated, static_cast<double>(damaged), 0.05 * static_cast<double>(damaged));
    EXPECT_EQ(after.droppedBytes, 0u);
}

TEST(SettingsRefused, PcPotIsSentAgainUntilTakenAndGivenUpAfterFiveRefusals) {
    ManualClock clock;
    SimRigConfig config;
    config.kelvo.powerOnMode = kModeSetup;
    LinkBench bench(clock, config);
    auto& link = bench.open(false);
    bench.hearUnit();
    auto& unit = *bench.rig.kelvo();

    unit.setFaults(SimFaults{.refuseSettings = 2});
    ScanSettingsChange changed;
    EXPECT_TRUE(link.SetPcPot(3, &changed));
    EXPECT_EQ(unit.settingsRefused(), 2);
    EXPECT_EQ(unit.settingsReceived(), 1);
    EXPECT_EQ(unit.settings().ucATODGain, 3);
    EXPECT_EQ(changed.pcPotValue, 4);
    auto sent = SettingsWritten(bench.rig.bridge());
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_THAT(sent, Each(sent.front()));

    unit.setFaults(SimFaults{.refuseSettings = -1});
    ScanSettingsChange unchanged;
    const auto start = clock.nowMs();
    EXPECT_FALSE(link.SetPcPot(6, &unchanged));
    EXPECT_EQ(SettingsWritten(bench.rig.bridge()).size(), 3u + UvLink::kKeyAttempts);
    // Five echo waits of 3 s, the unit still at the gain it took.
    EXPECT_GE(clock.nowMs() - start, UvLink::kKeyAttempts * UvLink::kSettingsEchoMs);
    EXPECT_EQ(unit.settings().ucATODGain, 3);
    EXPECT_FALSE(unchanged.pcPotValue.has_value());
    EXPECT_THAT(bench.prompter.texts(), IsEmpty());
}

// A unit that takes every key but whose heartbeat with the echo is lost.
struct EchoLostBench {
    explicit EchoLostBench(std::uint8_t mode) : bench(clock, configIn(mode)) {
        bench.open(false);
        bench.hearUnit();
        unit().setFaults(SimFaults{.loseEchoes = -1});
    }
    static SimRigConfig configIn(std::uint8_t mode) {
        SimRigConfig config;
        config.kelvo.powerOnMode = mode;
        return config;
    }
    SimKelvoUnit& unit() { return *bench.rig.kelvo(); }
    UvLink& link() { return *bench.link; }

    ManualClock clock;
    LinkBench bench;
};

// Pressed again, the scan key would stop the scan it started, and the
// manual and auto keys would send the piston up: what the unit shows after
// the key stands for the lost echo.
TEST(EchoLost, AKeyTheUnitActedOnIsNotPressedAgain) {
    {
        SCOPED_TRACE("scan key, piston still");
        EchoLostBench b(kModeManual);
        EXPECT_TRUE(b.link().PressKey(4));
        EXPECT_THAT(b.unit().acceptedKeys(), ElementsAre(4));
        EXPECT_GT(b.unit().pistonSpeedMmPerS(), 0.0);

        SCOPED_TRACE("scan key, piston scanning");
        EXPECT_TRUE(b.link().PressKey(4));
        EXPECT_THAT(b.unit().acceptedKeys(), ElementsAre(4, 4));
        EXPECT_EQ(b.unit().pistonSpeedMmPerS(), 0.0);
        EXPECT_THAT(b.bench.prompter.transcript(), IsEmpty());
    }
    {
        SCOPED_TRACE("auto mode from setup, then back");
        EchoLostBench b(kModeSetup);
        const double start = b.unit().pistonPositionMm();
        EXPECT_TRUE(b.link().EnterAutoMode());
        EXPECT_EQ(b.unit().mode(), kModeAuto);
        EXPECT_TRUE(b.link().EnterManualMode());
        EXPECT_EQ(b.unit().mode(), kModeManual);
        EXPECT_THAT(b.unit().acceptedKeys(), ElementsAre(2, 5, 3));
        EXPECT_EQ(b.unit().pistonPositionMm(), start);
        EXPECT_THAT(b.bench.prompter.transcript(), IsEmpty());
        EXPECT_THAT(KeyLogLines(b.bench.folder),
                    testing::Contains("no echo, but the unit acted on the key."));
    }
    {
        SCOPED_TRACE("the answer to the unit's request");
        EchoLostBench b(kModeManual);
        b.unit().requestKey1();
        for (const Deadline d(b.clock, 3000); !d.expired();) {
            Cmd2 ignored;
            (void)b.link().ReadCmd2(ignored);
            b.link().ParseHeartbeat();
        }
        EXPECT_THAT(b.unit().acceptedKeys(), ElementsAre(1));
        EXPECT_THAT(b.bench.prompter.transcript(), IsEmpty());
    }
}

// Without a sign that the unit acted, the key still goes five times: the
// scan key's watch on the piston does not take the stream for an answer.
TEST(EchoLost, AKeyTheUnitIgnoredIsStillSentFiveTimes) {
    EchoLostBench b(kModeManual);
    b.unit().setFaults(SimFaults{.ignoreKeys = true});
    EXPECT_FALSE(b.link().PressKey(4));
    EXPECT_EQ(KeysWritten(b.bench.rig.bridge()), std::vector<std::uint8_t>(UvLink::kKeyAttempts, 4));
    EXPECT_EQ(b.unit().pistonSpeedMmPerS(), 0.0);
}

}  // namespace
}  // namespace corvane::test
