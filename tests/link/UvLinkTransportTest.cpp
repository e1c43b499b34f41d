// The byte transport of the link, single-threaded on a clock that moves only
// when the link waits: device search, ring readers, heartbeat parsing, paced
// writes and closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "TestClocks.h"

namespace corvane {
namespace {

using test::LinkBench;
using test::ManualClock;
using test::ScriptedLink;
using test::UnitBeat;

Cmd0 settingsPacket(std::uint8_t duty, std::uint16_t integrationMs) {
    Cmd0 packet;
    packet.ucDutyCycleA = duty;
    packet.ucATODGain = 3;
    packet.uiIntegrationTime = integrationMs;
    packet.ulATODADataA0 = 1000;
    return packet;
}

void append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

TEST(UvLinkTransport, FindsTheBridgeByComPortClosesTheOtherAndConfiguresInOrder) {
    ManualClock clock;
    SimRigConfig config;
    config.withDe1 = true;
    config.de1ListedFirst = true;
    LinkBench bench(clock, config);
    auto& link = bench.open(false);
    ASSERT_TRUE(link.connected());
    bench.close();

    EXPECT_EQ(test::SetupCalls(bench.rig.bridge()), (std::vector<std::string>{
        "listDevice(0, 1073741825)",
        "open(DE1B0042, 129)",
        "getComPortNumber(1)",
        "close(1)",
        "listDevice(1, 1073741825)",
        "open(KV000123, 129)",
        "getComPortNumber(2)",
        "setBitMode(2, 128, 32)",
        "setBaudRate(2, 57600)",
        "setDataCharacteristics(2, 8, 0, 0)",
        "setTimeouts(2, 100, 100)",
        "setLatencyTimer(2, 2)",
        "setFlowControl(2, 0, 0, 0)",
        "purge(2, 3)",
        "setBitMode(2, 136, 32)",
        "close(2)",
    }));
    EXPECT_EQ(bench.rig.bridge().openHandles(), 0u);
}

TEST(UvLinkTransport, WithoutAMatchingBridgeEveryOperationFailsAndNothingStaysOpen) {
    ManualClock clock;
    LinkBench bench(clock);
    auto& link = bench.open(false, 9);
    EXPECT_FALSE(link.connected());
    EXPECT_EQ(bench.rig.bridge().openHandles(), 0u);
    bench.rig.bridge().clearCalls();

    Cmd0 cmd0;
    Cmd2 cmd2;
    EXPECT_FALSE(link.ReadCmd0(cmd0));
    EXPECT_FALSE(link.ReadCmd2(cmd2));
    EXPECT_FALSE(link.ParseHeartbeat());
    EXPECT_FALSE(link.SendPacket10(BuildHeartbeat()));
    EXPECT_FALSE(link.SendSettings(BuildCmd0({})));
    EXPECT_FALSE(link.SendHeartbeat());
    EXPECT_FALSE(link.PressKey(5));
    EXPECT_FALSE(link.EnterSetupMode());
    EXPECT_FALSE(link.SetDutyCycle(0.5));
    EXPECT_EQ(link.GetPcPot(), -1);
    link.FlushReceive();
    bench.close();
    EXPECT_TRUE(bench.rig.bridge().calls().empty());
    EXPECT_EQ(test::KeyLogLines(bench.folder),
              (std::vector<std::string>{"ucKey = 5", "failed to send keyboard command.",
                                        "entering setup mode.", "no current heartbeat",
                                        "entering setup mode.", "no current heartbeat"}));
}

TEST(UvLinkTransport, StrayBytesBeforeAPacketAreSkippedAndThePacketBehindFollows) {
    ScriptedLink s;
    std::vector<std::uint8_t> bytes{0x13, 0x40, 0xBF};  // the last two look like a start
    append(bytes, EncodeCmd0(settingsPacket(40, 100)));
    append(bytes, EncodeCmd0(settingsPacket(60, 200)));
    s.unit.inject(bytes);

    const auto packets = s.readCmd0s(3);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].ucDutyCycleA, 40);
    EXPECT_EQ(packets[0].uiIntegrationTime, 100);
    EXPECT_EQ(packets[1].ucDutyCycleA, 60);
    EXPECT_EQ(packets[1].uiIntegrationTime, 200);
    EXPECT_EQ(s.link->lastCmd0()->ucDutyCycleA, 60);
    const auto traffic = s.link->traffic();
    EXPECT_EQ(traffic.invalidBytesSkipped, 3u);
    EXPECT_EQ(traffic.cmd0Packets, 2u);
}

TEST(UvLinkTransport, APacketAcrossTheRingsEndIsReadInTwoPartsAndAssembled) {
    ScriptedLink s;
    // 22 packets bring the write index to 968; then 40 bytes of noise, so
    // the next packet starts at 1008 and ends at 27.
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 22; ++i) {
        append(bytes, EncodeCmd0(settingsPacket(static_cast<std::uint8_t>(10 + i), 100)));
    }
    s.unit.inject(bytes);
    ASSERT_EQ(s.readCmd0s(22, 40).size(), 22u);

    bytes.assign(30, 0x55);
    append(bytes, EncodeCmd1(UnitBeat(kModeSetup)));  // heartbeats in between are not noise
    append(bytes, EncodeCmd0(settingsPacket(77, 321)));
    s.unit.inject(bytes);
    s.bridge.clearCalls();
    const auto packets = s.readCmd0s(1);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].ucDutyCycleA, 77);
    EXPECT_EQ(packets[0].uiIntegrationTime, 321);
    EXPECT_EQ(s.link->traffic().invalidBytesSkipped, 30u);

    std::vector<std::int64_t> asked;
    for (const auto& call : s.bridge.callsNamed("read")) {
        asked.push_back(call.args[0]);
    }
    EXPECT_EQ(asked, (std::vector<std::int64_t>{44, 12, 32}));
}

TEST(UvLinkTransport, HeartbeatSearchDropsGarbageAndKeepsAnUnfinishedHeartbeat) {
    ScriptedLink s;
    const auto beat = EncodeCmd1(UnitBeat(kModeManual, 0, kCntlUpperLimitNoContact | kCntlBit2));
    std::vector<std::uint8_t> bytes{1, 2, 0x41, 4, 5};
    append(bytes, beat);
    bytes.insert(bytes.end(), beat.begin(), beat.begin() + 9);
    s.unit.inject(bytes);
    Cmd0 ignored;
    (void)s.link->ReadCmd0(ignored);

    EXPECT_TRUE(s.link->ParseHeartbeat());
    EXPECT_EQ(s.link->heartbeatsReceived(), 1);
    EXPECT_EQ(s.link->lastCmd1()->ucUVMenuStatus, kModeManual);
    EXPECT_EQ(s.link->upperLimitFlag(), 1);
    EXPECT_EQ(s.link->bit2Flag(), 1);
    EXPECT_EQ(s.link->bit0Flag(), 0);
    EXPECT_FALSE(s.link->ParseHeartbeat());  // nine bytes: not yet

    s.unit.inject(std::span(beat).last(1));
    (void)s.link->ReadCmd0(ignored);
    EXPECT_TRUE(s.link->ParseHeartbeat());
    EXPECT_EQ(s.link->heartbeatsReceived(), 2);
}

TEST(UvLinkTransport, ShortPacketModeKeepsTheRingMovingWithoutTakingSettings) {
    ScriptedLink s;
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t i = 0; i < 6; ++i) {
        append(bytes, EncodeCmd2(Cmd2{1, 2, kCmd2ChannelA, static_cast<std::uint16_t>(100 + i), 0, 0}));
    }
    s.unit.inject(bytes);
    s.link->SetShortPacketMode(true);
    Cmd0 cmd0;
    EXPECT_FALSE(s.link->ReadCmd0(cmd0));
    EXPECT_FALSE(s.link->lastCmd0());

    // That settings-sized read brought in packets 1 and 2 and the start of 3;
    // the two whole ones are kept for the running-data reader, which goes on
    // from packet 3: nothing lost, nothing damaged.
    std::vector<std::uint16_t> positions;
    for (int i = 0; i < 10; ++i) {
        Cmd2 cmd2;
        if (s.link->ReadCmd2(cmd2)) {
            positions.push_back(cmd2.uiPistonPos);
        }
    }
    EXPECT_EQ(positions, (std::vector<std::uint16_t>{100, 101, 102, 103, 104, 105}));
    EXPECT_EQ(s.link->traffic().invalidBytesSkipped, 0u);
    EXPECT_EQ(s.link->traffic().packetsLost, 0u);
}

TEST(UvLinkTransport, WritesGoOneByteAtATimePacedByTheDelay) {
    ScriptedLink s(3);
    s.bridge.clearCalls();
    ASSERT_TRUE(s.link->SendHeartbeat());
    const auto calls = s.bridge.calls();
    ASSERT_EQ(calls.size(), 11u);
    EXPECT_EQ(calls[0].text(), "setTimeouts(1, 10, 100)");
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 1; i < calls.size(); ++i) {
        ASSERT_EQ(calls[i].name, "write");
        ASSERT_EQ(calls[i].data.size(), 1u);
        bytes.push_back(calls[i].data[0]);
        if (i > 1) {
            EXPECT_GE(calls[i].atMs - calls[i - 1].atMs, 3);
        }
    }
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x41, 0xBE, 0x00, 0x0A, 0x0D, 0, 0, 0, 0, 0x24}));
    EXPECT_EQ(s.unit.received(), bytes);
}

}  // namespace
}  // namespace corvane
