#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "link/Crc7.h"
#include "link/Packets.h"

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A settings packet as the unit streams it, every field distinct.
Cmd0 unitSettingsPacket() {
    Cmd0 p;
    p.ucDutyCycleA = 65;
    p.ucWavelenghtA = 26;
    p.ucWavelenghtB = 28;
    p.ucATODGain = 4;
    p.ucRotor = 3;
    p.uiIntegrationTime = 0x0164;  // 356 ms: two different bytes
    p.setScanSpeed(0x0102);
    p.uiScanDist = 0x1F40;
    p.ulATODADataA0 = 1234567;
    p.ulATODADataB0 = 765432;
    p.ulATODADataA1 = 1000001;
    p.ulATODADataB1 = 2000000;
    p.ucCmd0CntlInfo = kCmd0PositionA | kCmd0PositionB;
    p.ucPotPosition = 128;
    p.uiPistonPos = 3512;
    p.iPistonSpeed = -60;
    p.uiTubeTopPistonPos = 2000;
    p.uiTubeEndPistonPos = 11000;
    return p;
}

Cmd0Bytes resealed(Cmd0Bytes b) {
    b[43] = Crc7(b.data(), 43);
    return b;
}

TEST(PacketBuilders, HeartbeatAndKeyPacketsHaveTheExactBytes) {
    EXPECT_EQ(BuildHeartbeat(), (Cmd1Bytes{0x41, 0xBE, 0x00, 0x0A, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x24}));
    EXPECT_EQ(BuildKeyPacket(5), (Cmd1Bytes{0x41, 0xBE, 0x05, 0x0A, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x78}));
    const auto afterSetupHeartbeat = BuildKeyPacket(3, kModeSetup);
    EXPECT_EQ(afterSetupHeartbeat[2], 3);
    EXPECT_EQ(afterSetupHeartbeat[3], kModeSetup);
    EXPECT_EQ(afterSetupHeartbeat[4], 13);
    EXPECT_EQ(afterSetupHeartbeat[9], Crc7(afterSetupHeartbeat.data(), 9));
}

TEST(PacketBuilders, SettingsFromScratchFillOnlyTheSettingFieldsBigEndian) {
    const Cmd0Settings s{50, 26, 28, 4, 7, 0x0102, -2, 0x1F40, 0x07D0, 0x2AF8};
    const auto b = BuildCmd0(s);
    Cmd0Bytes expected{};
    expected[0] = 0x40;
    expected[1] = 0xBF;
    expected[3] = 50;
    expected[4] = 26;
    expected[5] = 28;
    expected[6] = 4;
    expected[7] = 7;
    expected[10] = 0x01;
    expected[11] = 0x02;
    expected[12] = 0xFF;  // -2
    expected[13] = 0xFE;
    expected[14] = 0x1F;
    expected[15] = 0x40;
    expected[39] = 0x07;
    expected[40] = 0xD0;
    expected[41] = 0x2A;
    expected[42] = 0xF8;
    EXPECT_EQ(b, resealed(expected));
}

TEST(Cmd0Validator, ConvertsEveryFieldAndKeepsTheScanSpeedInWireOrder) {
    const auto wire = EncodeCmd0(unitSettingsPacket());
    EXPECT_EQ(wire[12], 0x01);
    EXPECT_EQ(wire[13], 0x02);
    EXPECT_EQ(wire[35], 0x0D);  // 3512 = 0x0DB8
    EXPECT_EQ(wire[36], 0xB8);

    Cmd0 got;
    ASSERT_TRUE(ValidateCmd0(wire, got));
    EXPECT_EQ(got.uiIntegrationTime, 356);
    EXPECT_EQ(got.ulATODADataA0, 1234567u);
    EXPECT_EQ(got.ulATODADataB1, 2000000u);
    EXPECT_EQ(got.uiPistonPos, 3512);
    EXPECT_EQ(got.iPistonSpeed, -60);
    EXPECT_EQ(got.uiTubeEndPistonPos, 11000);
    // The stored member holds the wire bytes as they came; only the accessor converts.
    std::uint8_t stored[2];
    std::memcpy(stored, &got.iScanSpeed, 2);
    EXPECT_EQ(stored[0], 0x01);
    EXPECT_EQ(stored[1], 0x02);
    EXPECT_EQ(got.scanSpeed(), 0x0102);
}

TEST(PistonPosition, IsSignedHundredthsOfAMillimetreInBothPackets) {
    EXPECT_EQ(pistonPositionMm(1234), 12.34);
    EXPECT_EQ(pistonPositionMm(0xFFF6), -0.1);
    EXPECT_EQ(pistonPositionMm(0x8000), -327.68);
    EXPECT_EQ(pistonPositionMm(0x7FFF), 327.67);
    Cmd0 settings;
    settings.uiPistonPos = 0xFF38;
    Cmd2 running;
    running.uiPistonPos = 0xFF38;
    EXPECT_EQ(settings.pistonMm(), -2.0);
    EXPECT_EQ(running.pistonMm(), -2.0);
}

TEST(Cmd0Validator, ChecksOnlyTheSumOfTheCommandBytes) {
    auto wire = EncodeCmd0(unitSettingsPacket());
    wire[0] = 0x3F;
    wire[1] = 0xC0;
    Cmd0 got;
    EXPECT_TRUE(ValidateCmd0(resealed(wire), got));
    EXPECT_EQ(got.ucCommand, 0x3F);

    wire[1] = 0xBF;  // sum 0xFE
    EXPECT_EQ(CheckCmd0(resealed(wire), got), PacketFault::CommandBytes);
}

TEST(Cmd0Validator, RejectsGainOf8AndReadingsAbove2000000EvenWithAGoodCheckByte) {
    auto p = unitSettingsPacket();
    Cmd0 got;
    p.ucATODGain = 7;
    EXPECT_EQ(CheckCmd0(EncodeCmd0(p), got), PacketFault::None);
    p.ucATODGain = 8;
    EXPECT_EQ(CheckCmd0(EncodeCmd0(p), got), PacketFault::Gain);
    EXPECT_EQ(got.ucATODGain, 8);  // decoded, so a caller can say what was wrong

    for (auto field : {&Cmd0::ulATODADataA0, &Cmd0::ulATODADataB0, &Cmd0::ulATODADataA1,
                       &Cmd0::ulATODADataB1}) {
        auto q = unitSettingsPacket();
        q.*field = kMaxAtodReading;
        EXPECT_EQ(CheckCmd0(EncodeCmd0(q), got), PacketFault::None);
        q.*field = kMaxAtodReading + 1;
        EXPECT_EQ(CheckCmd0(EncodeCmd0(q), got), PacketFault::Reading);
    }
}

TEST(PacketValidators, CompareAllEightBitsOfTheCheckByte) {
    // Find a heartbeat whose check byte has bit 7 set, then show that the
    // same byte with bit 7 cleared is refused.
    for (int key = 0; key < 256; ++key) {
        auto b = BuildCmd1(static_cast<std::uint8_t>(key), kModeSetup, 13, 0);
        if ((b[9] & 0x80) == 0) {
            continue;
        }
        Cmd1 got;
        EXPECT_TRUE(ValidateCmd1(b, got));
        b[9] &= 0x7F;
        EXPECT_EQ(CheckCmd1(b, got), PacketFault::CheckByte);
        return;
    }
    FAIL() << "no heartbeat with bit 7 of its check byte set";
}

TEST(PacketValidators, HeartbeatAndRunningDataNeedTheirExactCommandBytes) {
    Cmd1 hb;
    const auto heartbeat = BuildCmd1(4, kModeManual, 12, kCntlKeyRequest | kCntlUpperLimitNoContact);
    ASSERT_TRUE(ValidateCmd1(heartbeat, hb));
    EXPECT_EQ(hb.ucUVKeyPressed, 4);
    EXPECT_EQ(hb.ucUVMenuStatus, kModeManual);
    EXPECT_EQ(hb.ucUVMenuVersion, 12);
    EXPECT_EQ(hb.ucCntlInfo, kCntlKeyRequest | kCntlUpperLimitNoContact);

    auto shifted = heartbeat;
    shifted[0] = 0x40;
    shifted[1] = 0xBF;  // sums to 255 but is not a heartbeat
    shifted[9] = Crc7(shifted.data(), 9);
    EXPECT_EQ(CheckCmd1(shifted, hb), PacketFault::CommandBytes);

    Cmd2 running;
    running.ulATODADataSample = 0x01020304;
    running.ulATODADataSource = 1999999;
    running.ucCmd2CntlInfo = 2;
    running.uiPistonPos = 0xFFFE;
    running.iPistonSpeed = -15;
    const auto wire = EncodeCmd2(running);
    EXPECT_EQ((std::array<std::uint8_t, 4>{wire[2], wire[3], wire[4], wire[5]}),
              (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    Cmd2 got;
    ASSERT_TRUE(ValidateCmd2(wire, got));
    EXPECT_EQ(got, (Cmd2{0x01020304, 1999999, 2, 0xFFFE, -15, wire[15]}));
    auto damaged = wire;
    damaged[1] = 0xBE;
    EXPECT_EQ(CheckCmd2(damaged, got), PacketFault::CommandBytes);
    damaged = wire;
    damaged[7] ^= 0x10;
    EXPECT_EQ(CheckCmd2(damaged, got), PacketFault::CheckByte);
}

TEST(SettingsChange, StartsFromTheReceivedPacketWithoutSwappingTheScanSpeedTwice) {
    auto unit = unitSettingsPacket();
    unit.ucCommand = 0x3F;  // whatever the unit sent goes back
    unit.ucComplement = 0xC0;
    unit.ucReserved9 = 0x55;
    Cmd0 received;
    ASSERT_TRUE(ValidateCmd0(EncodeCmd0(unit), received));

    received.ucATODGain = 2;
    const auto sent = BuildSettingsChange(received);
    EXPECT_EQ(sent[0], 0x3F);
    EXPECT_EQ(sent[1], 0xC0);
    EXPECT_EQ(sent[6], 2);
    EXPECT_EQ(sent[9], 0x55);
    EXPECT_EQ(sent[10], 0x01);
    EXPECT_EQ(sent[11], 0x64);
    EXPECT_EQ(sent[12], 0x01);  // the scan speed as it was sent: 0x0102
    EXPECT_EQ(sent[13], 0x02);
    for (std::size_t i = 16; i <= 42; ++i) {
        EXPECT_EQ(sent[i], 0) << "offset " << i;
    }
    EXPECT_EQ(sent[43], Crc7(sent.data(), 43));

    Cmd0 back;
    ASSERT_TRUE(ValidateCmd0(sent, back));
    EXPECT_EQ(back.scanSpeed(), 0x0102);
}

TEST(SettingsEcho, ComparesDutyWavelengthsGainRotorIntegrationTimeAndDistanceOnly) {
    const Cmd0Settings s{50, 26, 28, 4, 0, 100, 10, 8000, 2000, 11000};
    const auto sent = BuildCmd0(s);

    auto unit = unitSettingsPacket();  // readings, speed, tube positions all differ
    unit.ucDutyCycleA = 50;
    unit.ucRotor = 0;
    unit.uiIntegrationTime = 100;
    unit.uiScanDist = 8000;
    Cmd0 received;
    ASSERT_TRUE(ValidateCmd0(EncodeCmd0(unit), received));
    EXPECT_TRUE(SettingsEchoMatches(sent, received));

    auto differ = [&](auto change) {
        Cmd0 r = received;
        change(r);
        return !SettingsEchoMatches(sent, r);
    };
    EXPECT_TRUE(differ([](Cmd0& r) { r.ucWavelenghtB = 27; }));
    EXPECT_TRUE(differ([](Cmd0& r) { r.ucRotor = 1; }));
    EXPECT_TRUE(differ([](Cmd0& r) { r.uiIntegrationTime = 100 + 256; }));  // high byte only
    EXPECT_TRUE(differ([](Cmd0& r) { r.uiScanDist = 8001; }));
    EXPECT_FALSE(differ([](Cmd0& r) { r.setScanSpeed(99); }));
    EXPECT_FALSE(differ([](Cmd0& r) { r.uiTubeTopPistonPos = 1; }));
}

TEST(PacketSearch, FindsTheFirstValidWindowBehindGarbage) {
    const auto first = EncodeCmd0(unitSettingsPacket());
    auto secondPacket = unitSettingsPacket();
    secondPacket.uiPistonPos = 4000;
    const auto second = EncodeCmd0(secondPacket);

    Bytes ring = {0x40, 0xBF, 0x13};  // a false start among the stray bytes
    ring.insert(ring.end(), first.begin(), first.end());
    ring.insert(ring.end(), second.begin(), second.end());

    const auto match = FindCmd0(ring);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->offset, 3u);
    EXPECT_EQ(match->packet.uiPistonPos, 3512);
    const auto next = FindCmd0(std::span(ring).subspan(3 + kCmd0Size));
    ASSERT_TRUE(next);
    EXPECT_EQ(next->offset, 0u);
    EXPECT_EQ(next->packet.uiPistonPos, 4000);

    // A packet that is not yet whole is not found.
    EXPECT_FALSE(FindCmd0(std::span(ring).first(3 + kCmd0Size - 1)));
}

TEST(PacketSearch, HeartbeatsAndRunningDataAreFoundTheSameWay) {
    const auto hb = BuildCmd1(0, kModeAuto, 13, 0);
    Bytes bytes = {1, 2, 3, 4, 5, 6, 7};
    bytes.insert(bytes.end(), hb.begin(), hb.end());
    const auto heartbeat = FindCmd1(bytes);
    ASSERT_TRUE(heartbeat);
    EXPECT_EQ(heartbeat->offset, 7u);
    EXPECT_EQ(heartbeat->packet.ucUVMenuStatus, kModeAuto);
    EXPECT_FALSE(FindCmd1(std::span(bytes).first(16)));

    Cmd2 running;
    running.ucCmd2CntlInfo = 1;
    const auto wire = EncodeCmd2(running);
    Bytes stream = {0xAA};
    stream.insert(stream.end(), wire.begin(), wire.end());
    EXPECT_EQ(FindCmd2(stream)->offset, 1u);
}

}  // namespace
}  // namespace corvane
