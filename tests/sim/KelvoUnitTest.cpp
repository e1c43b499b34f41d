// The simulated Kelvo unit as the program meets it on the wire: modes and
// keys, heartbeats, the two streams, settings echo, the piston and the faults.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "TestClocks.h"
#include "UnitWire.h"
#include "recording/SampleLine.h"
#include "sim/SimKelvoUnit.h"

namespace corvane {
namespace {

using test::ManualClock;
using test::UnitPacket;
using test::UnitWire;

// The two packets the program sends most, byte for byte as the unit expects them.
constexpr Cmd1Bytes kPcHeartbeat{0x41, 0xBE, 0x00, 0x0A, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x24};
constexpr Cmd1Bytes kKey5Packet{0x41, 0xBE, 0x05, 0x0A, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x78};

bool UpperLimitContact(const Cmd1& hb) { return (hb.ucCntlInfo & kCntlUpperLimitNoContact) == 0; }
bool IsHeartbeat(const UnitPacket& p) { return p.kind == UnitPacket::Kind::Cmd1; }

SimKelvoConfig InMode(std::uint8_t mode) {
    SimKelvoConfig config;
    config.powerOnMode = mode;
    return config;
}

// The piston at the upper limit switch, ready to scan at speed (tenths of a
// mm/s) over a distance (hundredths of a mm).
SimKelvoConfig AtTheTop(std::uint8_t mode, std::int16_t speed = 10, std::uint16_t distance = 8000) {
    auto config = InMode(mode);
    config.pistonStartMm = 0.0;
    config.settings.scanSpeed = speed;
    config.settings.uiScanDist = distance;
    return config;
}

std::vector<std::uint16_t> Positions(const std::vector<UnitPacket>& cmd2s) {
    std::vector<std::uint16_t> out;
    for (const auto& p : cmd2s) {
        out.push_back(p.cmd2.uiPistonPos);
    }
    return out;
}

TEST(KelvoHeartbeat, EverySecondWithModeVersionAndControlBits) {
    ManualClock clock;
    SimKelvoUnit unit(clock);
    UnitWire wire(clock, unit);
    wire.run(60'000);

    const auto hbs = wire.heartbeats();
    ASSERT_GE(hbs.size(), 59u);
    ASSERT_LE(hbs.size(), 61u);
    EXPECT_LT(hbs.front().atMs, 1000);
    for (std::size_t i = 0; i < hbs.size(); ++i) {
        const auto& hb = hbs[i].cmd1;
        EXPECT_EQ(hb.ucUVKeyPressed, 0);
        EXPECT_EQ(hb.ucUVMenuStatus, kModeNone);
        EXPECT_EQ(hb.ucUVMenuVersion, 13);
        EXPECT_EQ(hb.ucCntlInfo, kCntlUpperLimitNoContact) << "the piston starts below the switch";
        if (i > 0) {
            EXPECT_NEAR(hbs[i].atMs - hbs[i - 1].atMs, 1000, 1);
        }
    }
    EXPECT_EQ(wire.junkBytes(), 0u);

    unit.setPistonPositionMm(0.0);
    unit.setStatusBits(true, false);
    auto hb = wire.nextHeartbeat();
    ASSERT_TRUE(hb);
    EXPECT_TRUE(UpperLimitContact(*hb));
    EXPECT_EQ(hb->ucCntlInfo, kCntlBit0);
    unit.setStatusBits(false, true);
    unit.setPistonPositionMm(0.5);
    hb = wire.nextHeartbeat();
    ASSERT_TRUE(hb);
    EXPECT_EQ(hb->ucCntlInfo, kCntlBit2 | kCntlUpperLimitNoContact);
}

TEST(KelvoKeys, SetupKeysEnterTheRunningModesAndKey5Returns) {
    struct Route {
        std::uint8_t key;
        std::uint8_t mode;
    };
    for (const auto route : {Route{2, kModeAuto}, Route{3, kModeManual}, Route{4, kModeCalibration}}) {
        SCOPED_TRACE(int(route.key));
        ManualClock clock;
        SimKelvoUnit unit(clock, InMode(kModeSetup));
        UnitWire wire(clock, unit);
        auto hb = wire.nextHeartbeat();
        ASSERT_TRUE(hb);
        EXPECT_EQ(hb->ucUVMenuStatus, kModeSetup);

        hb = wire.pressAndWait(route.key);
        ASSERT_TRUE(hb);
        EXPECT_EQ(hb->ucUVKeyPressed, route.key);
        EXPECT_EQ(hb->ucUVMenuStatus, route.mode);

        // Key 5 as the setup key goes out: mode byte 10, whatever the unit's mode.
        wire.send(kKey5Packet);
        hb = wire.nextHeartbeat();
        ASSERT_TRUE(hb);
        EXPECT_EQ(hb->ucUVKeyPressed, 5);
        EXPECT_EQ(hb->ucUVMenuStatus, kModeSetup);

        hb = wire.nextHeartbeat();
        ASSERT_TRUE(hb);
        EXPECT_EQ(hb->ucUVKeyPressed, 0) << "a key is echoed once";
        EXPECT_EQ(unit.mode(), kModeSetup);
    }
}

TEST(KelvoKeys, Key1FromAnUnknownModeLeadsToSetup) {
    for (const std::uint8_t start : {std::uint8_t{kModeNone}, std::uint8_t{0}, std::uint8_t{14},
                                     std::uint8_t{200}}) {
        SCOPED_TRACE(int(start));
        ManualClock clock;
        SimKelvoUnit unit(clock, InMode(start));
        UnitWire wire(clock, unit);
        auto hb = wire.nextHeartbeat();
        ASSERT_TRUE(hb);
        EXPECT_EQ(hb->ucUVMenuStatus, start);

        hb = wire.pressAndWait(1);
        ASSERT_TRUE(hb);
        EXPECT_EQ(hb->ucUVKeyPressed, 1);
        const auto mode = hb->ucUVMenuStatus;
        ASSERT_TRUE(mode == kModeSetup || mode == kModeManual || mode == kModeAuto ||
                    mode == kModeCalibration)
            << int(mode);
        if (mode != kModeSetup) {
            hb = wire.pressAndWait(5);
            ASSERT_TRUE(hb);
            EXPECT_EQ(hb->ucUVMenuStatus, kModeSetup);
        }
    }
}

TEST(KelvoKeys, KeysOutsideTheTableAreEchoedAndKeepTheMode) {
    // START RECORD and PAUSE press 4 in the running modes, the scan pages 2
    // and 3, and key 1 answers the unit's request in any mode: none of them
    // may throw the unit out of the mode it is in.
    const std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> cases = {
        {kModeSetup, {1, 5}},
        {kModeManual, {1, 2, 4, 4, 3}},
        {kModeAuto, {1, 2, 3, 4}},
        {kModeCalibration, {1, 2, 3, 4}},
    };
    for (const auto& [mode, keys] : cases) {
        ManualClock clock;
        SimKelvoUnit unit(clock, InMode(mode));
        UnitWire wire(clock, unit);
        ASSERT_TRUE(wire.nextHeartbeat());
        for (const auto key : keys) {
            SCOPED_TRACE(testing::Message() << "mode " << int(mode) << " key " << int(key));
            const auto hb = wire.pressAndWait(key);
            ASSERT_TRUE(hb);
            EXPECT_EQ(hb->ucUVKeyPressed, key);
            EXPECT_EQ(hb->ucUVMenuStatus, mode);
        }
    }
}

TEST(KelvoKeys, EchoSurvivesTheProgramsHeartbeat) {
    // The program's heartbeat thread keeps sending while a key waits for its echo.
    ManualClock clock;
    SimKelvoUnit unit(clock, InMode(kModeSetup));
    UnitWire wire(clock, unit);
    ASSERT_TRUE(wire.nextHeartbeat());
    wire.pressKey(3);
    wire.run(100);
    wire.send(kPcHeartbeat);
    const auto hb = wire.nextHeartbeat();
    ASSERT_TRUE(hb);
    EXPECT_EQ(hb->ucUVKeyPressed, 3);
    EXPECT_EQ(hb->ucUVMenuStatus, kModeManual);
    EXPECT_EQ(unit.pcHeartbeatsReceived(), 1);
    EXPECT_EQ(unit.acceptedKeys(), std::vector<std::uint8_t>{3});
}

TEST(KelvoKeys, KeyPacketsAreFoundAmongStrayBytesAndSingleByteWrites) {
    ManualClock clock;
    SimKelvoUnit unit(clock, InMode(kModeSetup));
    UnitWire wire(clock, unit);
    ASSERT_TRUE(wire.nextHeartbeat());

    auto damaged = BuildKeyPacket(3, kModeSetup);
    damaged[9] ^= 0x01;
    wire.send(damaged);
    auto hb = wire.nextHeartbeat();
    ASSERT_TRUE(hb);
    EXPECT_EQ(hb->ucUVKeyPressed, 0);
    EXPECT_EQ(hb->ucUVMenuStatus, kModeSetup);

    // The link writes one byte at a time with a short delay between bytes.
    const std::uint8_t stray[] = {0x00, 0x41, 0x13};
    wire.send(stray);
    for (const auto byte : BuildKeyPacket(2, kModeSetup)) {
        wire.send(std::span(&byte, 1));
        wire.run(2);
    }
    hb = wire.nextHeartbeat();
    ASSERT_TRUE(hb);
    EXPECT_EQ(hb->ucUVKeyPressed, 2);
    EXPECT_EQ(hb->ucUVMenuStatus, kModeAuto);
}

TEST(KelvoStreams, SetupModeStreamsItsSettingsAtTheIntegrationRate) {
    ManualClock clock;
    const auto config = InMode(kModeSetup);
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    wire.run(10'000);

    EXPECT_TRUE(wire.cmd2s().empty());
    EXPECT_EQ(wire.junkBytes(), 0u);
    const auto cmd0s = wire.cmd0s();
    ASSERT_NEAR(double(cmd0s.size()), 10'000.0 / config.settings.uiIntegrationTime, 1.0);
    for (std::size_t i = 0; i < cmd0s.size(); ++i) {
        const auto& p = cmd0s[i].cmd0;
        EXPECT_EQ(SettingsOf(p), config.settings);
        EXPECT_EQ(p.ucPotPosition, 128);
        EXPECT_EQ(p.uiPistonPos, 3500);
        EXPECT_EQ(p.ucCmd0CntlInfo & (kCmd0PositionA | kCmd0PositionB), kCmd0PositionA | kCmd0PositionB);
        EXPECT_GT(p.ulATODADataA0, 0u);
        EXPECT_GT(p.ulATODADataB1, 0u);
        if (i > 0) {
            EXPECT_NEAR(cmd0s[i].atMs - cmd0s[i - 1].atMs, config.settings.uiIntegrationTime, 1);
        }
    }

    unit.setKnobPosition(200);
    const auto next = wire.runUntil([](const UnitPacket& p) { return p.kind == UnitPacket::Kind::Cmd0; }, 500);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->cmd0.ucPotPosition, 200);
}

TEST(KelvoStreams, SettingsSentInSetupModeAreEchoedByTheStream) {
    ManualClock clock;
    SimKelvoUnit unit(clock, InMode(kModeSetup));
    UnitWire wire(clock, unit);
    wire.run(500);

    const Cmd0Settings wanted{70, 25, 29, 2, 3, 200, 15, 5000, 1500, 9000};
    const auto sent = BuildCmd0(wanted);
    // The link writes a byte at a time, 2 ms apart, while the unit streams.
    for (const auto byte : sent) {
        wire.send(std::span(&byte, 1));
        wire.run(2);
    }
    wire.clear();
    wire.run(3000);
    auto cmd0s = wire.cmd0s();
    ASSERT_NEAR(double(cmd0s.size()), 3000.0 / 200, 1.0);
    for (const auto& p : cmd0s) {
        EXPECT_TRUE(SettingsEchoMatches(sent, p.cmd0));
        EXPECT_EQ(SettingsOf(p.cmd0), wanted);
        EXPECT_EQ(p.cmd0.scanSpeed(), 15);
    }
    EXPECT_EQ(unit.settings(), wanted);

    // One setting changed from the last packet received, as the program does it.
    Cmd0 edited = cmd0s.back().cmd0;
    edited.ucATODGain = 6;
    const auto change = BuildSettingsChange(edited);
    wire.send(change);
    wire.clear();
    wire.run(1000);
    cmd0s = wire.cmd0s();
    ASSERT_FALSE(cmd0s.empty());
    EXPECT_TRUE(SettingsEchoMatches(change, cmd0s.back().cmd0));
    auto expected = wanted;
    expected.ucATODGain = 6;
    EXPECT_EQ(SettingsOf(cmd0s.back().cmd0), expected);

    // Not taken: a gain the unit cannot have, and any settings outside setup mode.
    auto badGain = wanted;
    badGain.ucATODGain = 8;
    wire.send(BuildCmd0(badGain));
    wire.run(500);
    EXPECT_EQ(unit.settings(), expected);
    ASSERT_EQ(wire.pressAndWait(3).value().ucUVMenuStatus, kModeManual);
    wire.send(BuildCmd0(Cmd0Settings{30, 26, 28, 5, 0, 100, 10, 8000, 2000, 11000}));
    ASSERT_EQ(wire.pressAndWait(5).value().ucUVMenuStatus, kModeSetup);
    wire.clear();
    wire.run(1000);
    ASSERT_FALSE(wire.cmd0s().empty());
    EXPECT_EQ(SettingsOf(wire.cmd0s().back().cmd0), expected);
    EXPECT_EQ(unit.settingsReceived(), 2);
}

TEST(KelvoStreams, RunningModesStreamChannelsAAndBInTurn) {
    for (const std::uint8_t key : {3, 2, 4}) {
        SCOPED_TRACE(int(key));
        ManualClock clock;
        const auto config = InMode(kModeSetup);
        SimKelvoUnit unit(clock, config);
        UnitWire wire(clock, unit);
        ASSERT_TRUE(wire.nextHeartbeat());
        wire.pressKey(key);
        wire.run(200);
        wire.clear();
        wire.run(10'000);

        EXPECT_TRUE(wire.cmd0s().empty());
        EXPECT_EQ(wire.junkBytes(), 0u);
        const auto cmd2s = wire.cmd2s();
        ASSERT_NEAR(double(cmd2s.size()), 2 * 10'000.0 / config.settings.uiIntegrationTime, 2.0);
        for (std::size_t i = 1; i < cmd2s.size(); ++i) {
            EXPECT_NE(cmd2s[i].isChannelA(), cmd2s[i - 1].isChannelA()) << "packet " << i;
        }
        EXPECT_GT(cmd2s.front().cmd2.ulATODADataSource, 0u);

        wire.send(kKey5Packet);
        wire.run(1200);
        wire.clear();
        wire.run(1000);
        EXPECT_TRUE(wire.cmd2s().empty());
        EXPECT_FALSE(wire.cmd0s().empty());
    }
}

TEST(KelvoTextLines, FiveIntegersALineAndThePing) {
    ManualClock clock;
    SimKelvoConfig config;
    config.textLineMode = true;
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    wire.run(5000);
    EXPECT_TRUE(wire.packets().empty());

    const std::string text(wire.bytesRead().begin(), wire.bytesRead().end());
    std::vector<SampleLine> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find_first_of("\r\n", start)) != std::string::npos; start = end + 1) {
        if (end == start) {
            continue;
        }
        const auto line = ParseSampleLine(std::string_view(text).substr(start, end - start));
        ASSERT_TRUE(line) << text.substr(start, end - start);
        EXPECT_GT(line->sourceA, 0);
        EXPECT_GT(line->sourceB, 0);
        lines.push_back(*line);
    }
    ASSERT_NEAR(double(lines.size()), 5000.0 / config.settings.uiIntegrationTime, 2.0);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_GE(lines[i].position, lines[i - 1].position);
    }
    EXPECT_GT(lines.back().position, lines.front().position) << "the piston scans from power-on";

    wire.clear();
    const std::uint8_t ping = 0;
    wire.send(std::span(&ping, 1));
    wire.run(50);
    EXPECT_NE(std::find(wire.bytesRead().begin(), wire.bytesRead().end(), 1), wire.bytesRead().end());
    EXPECT_EQ(unit.pingsAnswered(), 1);
}

// --- piston ---

TEST(KelvoPiston, Key3InManualModeRaisesThePistonToTheUpperLimit) {
    for (const double start : {35.0, 120.0}) {
        SCOPED_TRACE(start);
        ManualClock clock;
        auto config = InMode(kModeManual);
        config.pistonStartMm = start;
        SimKelvoUnit unit(clock, config);
        UnitWire wire(clock, unit);
        auto hb = wire.nextHeartbeat();
        ASSERT_TRUE(hb);
        EXPECT_FALSE(UpperLimitContact(*hb));

        wire.clear();
        wire.pressKey(3);
        // The program gives the move 60 s.
        const auto contact = wire.runUntil(
            [](const UnitPacket& p) { return IsHeartbeat(p) && UpperLimitContact(p.cmd1); }, 60'000, 5);
        ASSERT_TRUE(contact);
        EXPECT_EQ(contact->cmd1.ucUVMenuStatus, kModeManual);
        wire.run(1000, 5);
        EXPECT_TRUE(unit.atUpperLimit());

        const auto cmd2s = wire.cmd2s();
        ASSERT_GT(cmd2s.size(), 10u);
        const auto positions = Positions(cmd2s);
        EXPECT_TRUE(std::is_sorted(positions.rbegin(), positions.rend())) << "never moving down";
        EXPECT_LT(cmd2s[2].cmd2.iPistonSpeed, 0) << "speeds count downwards";
        EXPECT_EQ(cmd2s.back().cmd2.uiPistonPos, 0);
        EXPECT_EQ(cmd2s.back().cmd2.iPistonSpeed, 0);
    }
}

TEST(KelvoPiston, Key4ScansDownAtTheScanSpeedAndStopsAtTheScanDistance) {
    ManualClock clock;
    const auto config = AtTheTop(kModeManual, 20, 500);  // 2.0 mm/s over 5 mm
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    auto hb = wire.nextHeartbeat();
    ASSERT_TRUE(hb);
    EXPECT_TRUE(UpperLimitContact(*hb));

    wire.clear();
    wire.pressKey(4);
    wire.run(4000);
    const auto cmd2s = wire.cmd2s();
    const auto positions = Positions(cmd2s);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << "A and B alike";
    EXPECT_NEAR(positions.back(), 500, 1);
    EXPECT_EQ(cmd2s.back().cmd2.iPistonSpeed, 0);
    const UnitPacket* from = nullptr;
    const UnitPacket* to = nullptr;
    for (const auto& p : cmd2s) {
        if (p.cmd2.uiPistonPos > 20 && p.cmd2.uiPistonPos < 480) {
            EXPECT_EQ(p.cmd2.iPistonSpeed, 20);
            from = from ? from : &p;
            to = &p;
        }
    }
    ASSERT_TRUE(from && to && to->atMs > from->atMs);
    const double mmPerS = (to->cmd2.uiPistonPos - from->cmd2.uiPistonPos) / 100.0 / ((to->atMs - from->atMs) / 1000.0);
    EXPECT_NEAR(mmPerS, 2.0, 0.06);
    for (const auto& h : wire.heartbeats()) {
        if (h.atMs > 1000) {
            EXPECT_FALSE(UpperLimitContact(h.cmd1));
        }
    }
    EXPECT_EQ(unit.mode(), kModeManual);
}

TEST(KelvoPiston, APausedScanResumesTowardsTheSameEnd) {
    // PAUSE presses key 4 again, or the main window pauses through setup
    // mode (key 5) and resumes with keys 3 and 4.
    for (const bool throughSetup : {false, true}) {
        SCOPED_TRACE(throughSetup ? "through setup mode" : "key 4");
        ManualClock clock;
        const auto config = AtTheTop(kModeManual, 20, 1000);
        SimKelvoUnit unit(clock, config);
        UnitWire wire(clock, unit);
        ASSERT_TRUE(wire.nextHeartbeat());
        wire.pressKey(4);
        wire.run(2000);
        wire.pressKey(throughSetup ? 5 : 4);
        wire.run(100);
        const double pausedAt = unit.pistonPositionMm();
        EXPECT_GT(pausedAt, 3.0);
        EXPECT_LT(pausedAt, 5.0);
        wire.run(1000);
        EXPECT_EQ(unit.pistonPositionMm(), pausedAt);
        if (throughSetup) {
            EXPECT_EQ(wire.pressAndWait(3).value().ucUVMenuStatus, kModeManual);
            EXPECT_EQ(unit.pistonPositionMm(), pausedAt);
        }
        wire.pressKey(4);
        wire.clear();
        wire.run(8000);
        const auto resumed = Positions(wire.cmd2s());
        EXPECT_TRUE(std::is_sorted(resumed.begin(), resumed.end()));
        EXPECT_NEAR(resumed.back(), 1000, 1);
    }
}

TEST(KelvoPiston, NeverPassesTheLowerLimit) {
    ManualClock clock;
    const auto config = AtTheTop(kModeManual, 150, 15000);
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    wire.pressKey(4);
    wire.run(12'000, 5);
    const auto positions = Positions(wire.cmd2s());
    const auto limit = std::uint16_t(config.lowerLimitMm * 100);
    EXPECT_LE(*std::max_element(positions.begin(), positions.end()), limit);
    EXPECT_NEAR(positions.back(), limit, 1);
    EXPECT_NEAR(unit.pistonPositionMm(), config.lowerLimitMm, 0.01);
}

TEST(KelvoPiston, KnobTurnedClockwiseJogsTheNeedlesDownInManualMode) {
    ManualClock clock;
    auto config = InMode(kModeManual);
    config.pistonStartMm = 10.0;
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    wire.run(1000);
    EXPECT_NEAR(unit.pistonPositionMm(), 10.0, 1e-9);
    unit.setKnobPosition(255);
    wire.run(2000);
    const double moved = unit.pistonPositionMm();
    EXPECT_GT(moved, 10.5);
    unit.setKnobPosition(128);
    wire.run(2000);
    EXPECT_NEAR(unit.pistonPositionMm(), moved, 1e-9);
}

TEST(KelvoAutoMode, Key3GoesToTheTubeTopAndKey2BackToTheUpperLimit) {
    ManualClock clock;
    const auto config = AtTheTop(kModeAuto);
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    ASSERT_TRUE(wire.nextHeartbeat());
    const auto top = config.settings.uiTubeTopPistonPos;

    // The program follows the move while the position is below the target.
    wire.pressKey(3);
    const auto reached = wire.runUntil(
        [&](const UnitPacket& p) { return p.kind == UnitPacket::Kind::Cmd2 && p.cmd2.uiPistonPos >= top; },
        30'000, 5);
    ASSERT_TRUE(reached);
    wire.clear();
    wire.run(1000);
    EXPECT_NEAR(wire.cmd2s().back().cmd2.uiPistonPos, top, 1);
    EXPECT_EQ(wire.cmd2s().back().cmd2.iPistonSpeed, 0);

    const auto contact = wire.pressAndWait(2);
    ASSERT_TRUE(contact);
    EXPECT_EQ(contact->ucUVMenuStatus, kModeAuto);
    ASSERT_TRUE(wire.runUntil([](const UnitPacket& p) { return IsHeartbeat(p) && UpperLimitContact(p.cmd1); },
                              60'000, 5));

    unit.setPistonPositionMm(35.0);
    wire.pressKey(3);
    wire.run(10'000, 5);
    EXPECT_NEAR(wire.cmd2s().back().cmd2.uiPistonPos, top, 1);
    EXPECT_EQ(unit.mode(), kModeAuto);
}

TEST(KelvoAutoMode, ScanFromTheUpperLimitFindsTheMeniscusThenPasses25mm) {
    ManualClock clock;
    const auto config = AtTheTop(kModeAuto);
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    ASSERT_TRUE(wire.nextHeartbeat());
    wire.clear();
    wire.pressKey(4);
    wire.run(30'000, 2);

    const auto cmd2s = wire.cmd2s();
    const auto positions = Positions(cmd2s);
    // A falling position ends the program's auto-scan early.
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GE(positions.back(), 2500);

    // The meniscus search: five channel A readings as a baseline, then the
    // first reading below 0.96 of the one before it.
    int baseline = 0;
    double previous = 0;
    std::optional<double> meniscusAt;
    for (const auto& p : cmd2s) {
        if (!p.isChannelA()) {
            continue;
        }
        const double sample = p.cmd2.ulATODADataSample;
        if (baseline < 5) {
            ++baseline;
        } else if (sample < 0.96 * previous) {
            meniscusAt = test::ReadingPositionMm(p.cmd2, config.settings.uiIntegrationTime,
                                                 config.settings.ucDutyCycleA);
            break;
        }
        previous = sample;
    }
    ASSERT_TRUE(meniscusAt);
    // One channel A reading every 0.1 mm at these settings.
    EXPECT_GE(*meniscusAt, config.meniscusMm - 0.02);
    EXPECT_LE(*meniscusAt, config.meniscusMm + 0.15);
}

// --- faults ---

TEST(KelvoFaults, IgnoredKeysAreNeitherEchoedNorActedOn) {
    ManualClock clock;
    SimKelvoUnit unit(clock, InMode(kModeSetup));
    UnitWire wire(clock, unit);
    ASSERT_TRUE(wire.nextHeartbeat());
    unit.setFaults(SimFaults{.ignoreKeys = true});
    for (int i = 0; i < 3; ++i) {
        const auto hb = wire.pressAndWait(3);
        ASSERT_TRUE(hb);
        EXPECT_EQ(hb->ucUVKeyPressed, 0);
        EXPECT_EQ(hb->ucUVMenuStatus, kModeSetup);
    }
    unit.setFaults({});
    const auto hb = wire.pressAndWait(3);
    ASSERT_TRUE(hb);
    EXPECT_EQ(hb->ucUVKeyPressed, 3);
    EXPECT_EQ(hb->ucUVMenuStatus, kModeManual);
}

TEST(KelvoFaults, ControlBit3StaysSetUntilKey1Answers) {
    ManualClock clock;
    SimKelvoUnit unit(clock, InMode(kModeManual));
    UnitWire wire(clock, unit);
    ASSERT_EQ(wire.nextHeartbeat().value().ucCntlInfo & kCntlKeyRequest, 0);
    unit.requestKey1();
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(wire.nextHeartbeat().value().ucCntlInfo & kCntlKeyRequest, 0);
    }
    auto hb = wire.pressAndWait(1);
    ASSERT_TRUE(hb);
    EXPECT_EQ(hb->ucUVKeyPressed, 1);
    EXPECT_EQ(hb->ucUVMenuStatus, kModeManual) << "answering the request keeps the mode";
    EXPECT_EQ(hb->ucCntlInfo & kCntlKeyRequest, 0);
    EXPECT_EQ(wire.nextHeartbeat().value().ucCntlInfo & kCntlKeyRequest, 0);

    unit.setFaults(SimFaults{.holdControlBit3 = true});
    EXPECT_NE(wire.nextHeartbeat().value().ucCntlInfo & kCntlKeyRequest, 0);
    hb = wire.pressAndWait(1);
    ASSERT_TRUE(hb);
    EXPECT_EQ(hb->ucUVKeyPressed, 1);
    EXPECT_NE(hb->ucCntlInfo & kCntlKeyRequest, 0);
    EXPECT_NE(wire.nextHeartbeat().value().ucCntlInfo & kCntlKeyRequest, 0);
}

TEST(KelvoFaults, AnotherFirmwareVersionShowsInTheHeartbeat) {
    ManualClock clock;
    SimKelvoConfig config;
    config.menuVersion = 12;
    SimKelvoUnit unit(clock, config);
    UnitWire wire(clock, unit);
    EXPECT_EQ(wire.nextHeartbeat().value().ucUVMenuVersion, 12);
    unit.setMenuVersion(14);
    EXPECT_EQ(wire.nextHeartbeat().value().ucUVMenuVersion, 14);
    unit.setMenuVersion(13);
    EXPECT_EQ(wire.nextHeartbeat().value().ucUVMenuVersion, 13);
}

TEST(KelvoFaults, SilentUnitSendsNothingButStillActsOnKeys) {
    ManualClock clock;
    SimKelvoUnit unit(clock, InMode(kModeSetup));
    UnitWire wire(clock, unit);
    wire.run(1000);
    unit.setFaults(SimFaults{.silent = true});
    wire.clear();
    wire.run(3000);
    wire.pressKey(3);
    wire.run(3000);
    EXPECT_TRUE(wire.bytesRead().empty());
    EXPECT_EQ(unit.mode(), kModeManual);

    unit.setFaults({});
    const auto hb = wire.nextHeartbeat();
    ASSERT_TRUE(hb);
    EXPECT_EQ(hb->ucUVMenuStatus, kModeManual);
}

TEST(KelvoFaults, DroppedAndCorruptedBytesSpoilSomePacketsOnly) {
    // The same unit without faults says how many bytes thirty seconds make.
    auto volume = [] {
        ManualClock clock;
        SimKelvoUnit unit(clock, InMode(kModeSetup));
        UnitWire wire(clock, unit);
        wire.run(30'000, 5);
        return std::pair(wire.bytesRead().size(), wire.heartbeats().size());
    };
    const auto [bytes, heartbeats] = volume();

    for (const bool drop : {true, false}) {
        SCOPED_TRACE(drop ? "drop" : "corrupt");
        ManualClock clock;
        SimKelvoUnit unit(clock, InMode(kModeSetup));
        unit.setFaults(drop ? SimFaults{.dropFraction = 0.02} : SimFaults{.corruptFraction = 0.02});
        UnitWire wire(clock, unit);
        wire.run(30'000, 5);

        if (drop) {
            EXPECT_NEAR(double(wire.bytesRead().size()) / double(bytes), 0.98, 0.01);
        } else {
            EXPECT_EQ(wire.bytesRead().size(), bytes);
        }
        EXPECT_GT(wire.junkBytes(), 100u);
        // A heartbeat survives 2 % damage per byte about four times in five.
        const auto hbs = wire.heartbeats();
        const auto sound = std::count_if(hbs.begin(), hbs.end(), [](const UnitPacket& p) {
            return p.cmd1.ucUVMenuStatus == kModeSetup && p.cmd1.ucUVMenuVersion == 13;
        });
        EXPECT_GT(sound, long(heartbeats) / 2);
        EXPECT_LT(sound, long(heartbeats));
        EXPECT_GT(wire.cmd0s().size(), 50u);
    }
}

TEST(KelvoFaults, UnreadBytesAreBoundedLikeABridgeBuffer) {
    ManualClock clock;
    SimKelvoUnit unit(clock, InMode(kModeSetup));
    unit.setLineBaudRate(57600);
    clock.advance(60'000);
    EXPECT_LE(unit.pendingBytes(), SimDevice::kDefaultOutputCapacity);
    EXPECT_GT(unit.overflowBytes(), 0u);
    unit.purgeOutput();
    EXPECT_EQ(unit.pendingBytes(), 0u);
    clock.advance(1000);
    EXPECT_GT(unit.pendingBytes(), 0u);
}

}  // namespace
}  // namespace corvane
