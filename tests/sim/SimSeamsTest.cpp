// The simulated instruments behind the two platform seams: the bridge
// library and the serial ports, one device reachable both ways.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <mutex>
#include <numeric>
#include <thread>

#include "TestClocks.h"
#include "link/Packets.h"
#include "sim/SimRig.h"

namespace corvane {
namespace {

using test::ManualClock;
using test::ScaledClock;

SimRigConfig BothInstruments() {
    SimRigConfig config;
    config.withDe1 = true;
    return config;
}

BridgeHandle Open(SimBridgeLibrary& bridge, const std::string& serial) {
    BridgeHandle handle = 0;
    EXPECT_EQ(bridge.open(serial, kOpenBySerialNumber, handle), kBridgeOk) << serial;
    return handle;
}

// Reads through the bridge for `ms` of clock time in 44-byte reads with the
// link's 10 ms time-out and returns the heartbeats found in what came.
std::vector<Cmd1> BridgeHeartbeats(SimBridgeLibrary& bridge, BridgeHandle handle, Clock& clock, std::int64_t ms) {
    std::vector<std::uint8_t> bytes;
    const Deadline deadline(clock, ms);
    while (!deadline.expired()) {
        std::array<std::uint8_t, 44> buffer{};
        std::uint32_t got = 0;
        EXPECT_EQ(bridge.read(handle, buffer.data(), 44, got), kBridgeOk);
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
    }
    std::vector<Cmd1> out;
    std::span<const std::uint8_t> rest(bytes);
    while (const auto match = FindCmd1(rest)) {
        out.push_back(match->packet);
        rest = rest.subspan(match->offset + kCmd1Size);
    }
    return out;
}

// The connection's COM port probe: one heartbeat read byte by byte within 3 s.
std::optional<Cmd1> ProbeComPort(SerialPortApi& ports, int comNumber, std::uint32_t baud, Clock& clock) {
    auto port = ports.open(comNumber);
    if (!port) {
        return std::nullopt;
    }
    SerialTimeouts timeouts{0, 0, 10, 0, 10};
    SerialState state;
    if (!port->setTimeouts(timeouts) || !port->getState(state)) {
        return std::nullopt;
    }
    state.baudRate = baud;
    if (!port->setState(state)) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 64> drain{};
    std::size_t got = 0;
    while (port->read(drain.data(), drain.size(), got) && got > 0) {
    }
    timeouts.readTotalConstant = 100;
    EXPECT_TRUE(port->setTimeouts(timeouts));
    const Deadline deadline(clock, 3000);
    while (!deadline.expired()) {
        Cmd1Bytes bytes{};
        if (!port->read(&bytes[0], 1, got) || got != 1 || bytes[0] != 0x41) {
            continue;
        }
        if (!port->read(&bytes[1], 1, got) || got != 1 || bytes[1] != 0xBE) {
            continue;
        }
        if (!port->read(&bytes[2], 8, got) || got != 8) {
            continue;
        }
        Cmd1 heartbeat;
        if (ValidateCmd1(bytes, heartbeat)) {
            return heartbeat;
        }
    }
    return std::nullopt;
}

// The bridge search's probe: 0x20 at 115200, then the additive check of what comes back.
bool ProbeBridgeDevice(SimBridgeLibrary& bridge, BridgeHandle handle) {
    if (bridge.setTimeouts(handle, 100, 100) != kBridgeOk || bridge.setBaudRate(handle, 115200) != kBridgeOk ||
        bridge.purge(handle, kPurgeRx) != kBridgeOk) {
        return false;
    }
    const std::uint8_t request = 0x20;
    std::uint32_t written = 0;
    if (bridge.write(handle, &request, 1, written) != kBridgeOk || written != 1) {
        return false;
    }
    std::array<std::uint8_t, 256> reply{};
    std::uint32_t n = 0;
    if (bridge.read(handle, reply.data(), 256, n) != kBridgeOk || n == 0) {
        return false;
    }
    const unsigned sum = n <= 17 ? 0u : std::accumulate(reply.begin() + 16, reply.begin() + n - 1, 0u);
    return (sum & 0xFF) == reply[n - 1];
}

TEST(SimBridge, ListsByIndexOpensBySerialNumberAndReportsComPorts) {
    ManualClock clock;
    SimRig rig(clock, BothInstruments());
    auto& bridge = rig.bridge();
    std::string serial;
    ASSERT_EQ(bridge.listDevice(0, kListByIndexSerialNumber, serial), kBridgeOk);
    EXPECT_EQ(serial, "KV000123");
    ASSERT_EQ(bridge.listDevice(1, kListByIndexSerialNumber, serial), kBridgeOk);
    EXPECT_EQ(serial, "DE1B0042");
    EXPECT_NE(bridge.listDevice(2, kListByIndexSerialNumber, serial), kBridgeOk);

    const auto kelvo = Open(bridge, "KV000123");
    const auto de1 = Open(bridge, "DE1B0042");
    EXPECT_NE(kelvo, 0u);
    EXPECT_NE(de1, kelvo);
    std::int32_t com = 0;
    EXPECT_EQ(bridge.getComPortNumber(kelvo, com), kBridgeOk);
    EXPECT_EQ(com, 3);
    EXPECT_EQ(bridge.getComPortNumber(de1, com), kBridgeOk);
    EXPECT_EQ(com, 4);

    BridgeHandle handle = 99;
    EXPECT_NE(bridge.open("KV999999", kOpenBySerialNumber, handle), kBridgeOk);
    EXPECT_EQ(handle, 0u);
    EXPECT_NE(bridge.open("DE1B0042", 0, handle), kBridgeOk) << "only by serial number";
    EXPECT_EQ(bridge.openHandles(), 2u);
    EXPECT_EQ(bridge.close(kelvo), kBridgeOk);
    EXPECT_EQ(bridge.close(de1), kBridgeOk);
    EXPECT_EQ(bridge.openHandles(), 0u);
    EXPECT_NE(bridge.getComPortNumber(kelvo, com), kBridgeOk) << "a closed handle";

    auto swapped = BothInstruments();
    swapped.de1ListedFirst = true;
    SimRig other(clock, swapped);
    ASSERT_EQ(other.bridge().listDevice(0, kListByIndexSerialNumber, serial), kBridgeOk);
    EXPECT_EQ(serial, "DE1B0042");
}

TEST(SimBridge, OneHolderAtATimeAcrossBothSeams) {
    ManualClock clock;
    SimRig rig(clock);
    auto& bridge = rig.bridge();
    const auto handle = Open(bridge, "KV000123");
    BridgeHandle second = 0;
    EXPECT_NE(bridge.open("KV000123", kOpenBySerialNumber, second), kBridgeOk);
    EXPECT_EQ(rig.ports().open(3), nullptr);
    EXPECT_EQ(rig.ports().enumerate(), std::vector<int>{3}) << "a held port is still listed";
    EXPECT_FALSE(rig.ports().describe(3).empty());
    EXPECT_EQ(bridge.close(handle), kBridgeOk);

    {
        auto port = rig.ports().open(3);
        ASSERT_NE(port, nullptr);
        EXPECT_NE(bridge.open("KV000123", kOpenBySerialNumber, second), kBridgeOk);
    }
    EXPECT_EQ(bridge.close(Open(bridge, "KV000123")), kBridgeOk);
    EXPECT_EQ(rig.ports().opens(3), 1);
}

TEST(SimBridge, LogsTheLinksCallsWithTheirArgumentsInOrder) {
    ManualClock clock;
    SimRig rig(clock);
    auto& bridge = rig.bridge();
    std::string serial;
    ASSERT_EQ(bridge.listDevice(0, kListByIndexSerialNumber, serial), kBridgeOk);
    const auto h = Open(bridge, serial);
    std::int32_t com = 0;
    ASSERT_EQ(bridge.getComPortNumber(h, com), kBridgeOk);
    ASSERT_EQ(bridge.setBitMode(h, kBitModeOpenMask, kBitModeCbus), kBridgeOk);
    ASSERT_EQ(bridge.setBaudRate(h, 57600), kBridgeOk);
    ASSERT_EQ(bridge.setDataCharacteristics(h, kBits8, kStopBits1, kParityNone), kBridgeOk);
    ASSERT_EQ(bridge.setTimeouts(h, 100, 100), kBridgeOk);
    ASSERT_EQ(bridge.setLatencyTimer(h, 2), kBridgeOk);
    ASSERT_EQ(bridge.setFlowControl(h, 0, 0, 0), kBridgeOk);
    ASSERT_EQ(bridge.purge(h, kPurgeRx | kPurgeTx), kBridgeOk);
    clock.advance(300);
    ASSERT_EQ(bridge.setTimeouts(h, 10, 100), kBridgeOk);
    const auto heartbeat = BuildHeartbeat();
    std::uint32_t n = 0;
    ASSERT_EQ(bridge.write(h, heartbeat.data(), 10, n), kBridgeOk);
    EXPECT_EQ(n, 10u);
    std::array<std::uint8_t, 10> in{};
    ASSERT_EQ(bridge.read(h, in.data(), 10, n), kBridgeOk);
    EXPECT_EQ(n, 10u);
    ASSERT_EQ(bridge.setBitMode(h, kBitModeCloseMask, kBitModeCbus), kBridgeOk);
    ASSERT_EQ(bridge.close(h), kBridgeOk);

    using Args = std::vector<std::int64_t>;
    const std::vector<std::pair<std::string, Args>> expected = {
        {"listDevice", {0, 0x40000001}}, {"open", {129}},           {"getComPortNumber", {}},
        {"setBitMode", {128, 32}},       {"setBaudRate", {57600}},  {"setDataCharacteristics", {8, 0, 0}},
        {"setTimeouts", {100, 100}},     {"setLatencyTimer", {2}},  {"setFlowControl", {0, 0, 0}},
        {"purge", {3}},                  {"setTimeouts", {10, 100}}, {"write", {10, 10}},
        {"read", {10, 10}},              {"setBitMode", {136, 32}}, {"close", {}},
    };
    const auto calls = bridge.calls();
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].name, expected[i].first) << i;
        EXPECT_EQ(calls[i].args, expected[i].second) << calls[i].name;
        EXPECT_EQ(calls[i].status, kBridgeOk);
        if (i > 1) {
            EXPECT_EQ(calls[i].handle, h);
        }
    }
    EXPECT_EQ(calls[0].serialNumber, "KV000123");
    EXPECT_EQ(calls[1].serialNumber, "KV000123");
    EXPECT_EQ(calls[1].handle, h);
    EXPECT_EQ(calls[11].data, std::vector<std::uint8_t>(heartbeat.begin(), heartbeat.end()));
    EXPECT_EQ(calls[12].atMs, 300);
    EXPECT_EQ(calls[1].text(), "open(KV000123, 129)");
    EXPECT_EQ(calls[3].text(), "setBitMode(" + std::to_string(h) + ", 128, 32)");
    EXPECT_EQ(bridge.callsNamed("setTimeouts").size(), 2u);
    EXPECT_EQ(bridge.lastBitMode("KV000123"), std::make_pair(std::uint8_t{136}, std::uint8_t{32}));

    // Injected failures take effect once each and change nothing.
    bridge.clearCalls();
    bridge.failCalls("open", kBridgeDeviceNotOpened, 1);
    BridgeHandle failed = 7;
    EXPECT_EQ(bridge.open("KV000123", kOpenBySerialNumber, failed), kBridgeDeviceNotOpened);
    EXPECT_EQ(failed, 0u);
    const auto again = Open(bridge, "KV000123");
    bridge.failCalls("read", kBridgeIoError, 1);
    clock.advance(2000);
    EXPECT_EQ(bridge.read(again, in.data(), 10, n), kBridgeIoError);
    EXPECT_EQ(bridge.read(again, in.data(), 10, n), kBridgeOk);
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(bridge.calls().size(), 4u);
}

TEST(SimBridge, ReadsWaitOutTheirTimeOutOnTheClock) {
    ManualClock clock;
    SimRig rig(clock);
    auto& bridge = rig.bridge();
    const auto h = Open(bridge, "KV000123");
    ASSERT_EQ(bridge.setBaudRate(h, 57600), kBridgeOk);
    ASSERT_EQ(bridge.setTimeouts(h, 100, 100), kBridgeOk);

    // Nothing is due before the first heartbeat, a quarter second in.
    std::array<std::uint8_t, 44> buffer{};
    std::uint32_t got = 99;
    ASSERT_EQ(bridge.read(h, buffer.data(), 44, got), kBridgeOk);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(clock.nowMs(), 100);
    EXPECT_LT(clock.nowMs(), 200);

    clock.set(200);
    ASSERT_EQ(bridge.read(h, buffer.data(), 10, got), kBridgeOk);
    EXPECT_EQ(got, 10u) << "the heartbeat due within the time-out";
    EXPECT_LE(clock.nowMs(), 300);
    Cmd1 heartbeat;
    EXPECT_TRUE(ValidateCmd1(std::span<const std::uint8_t, 10>(buffer.data(), 10), heartbeat));

    // A purge drops what came and was not read: nothing until the next heartbeat.
    clock.set(5000);
    ASSERT_EQ(bridge.purge(h, kPurgeRx | kPurgeTx), kBridgeOk);
    ASSERT_EQ(bridge.setTimeouts(h, 10, 100), kBridgeOk);
    ASSERT_EQ(bridge.read(h, buffer.data(), 44, got), kBridgeOk);
    EXPECT_EQ(got, 0u);

    rig.kelvo()->setFaults(SimFaults{.silent = true});
    ASSERT_EQ(bridge.setTimeouts(h, 100, 100), kBridgeOk);
    const auto before = clock.nowMs();
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(bridge.read(h, buffer.data(), 44, got), kBridgeOk);
        EXPECT_EQ(got, 0u);
    }
    EXPECT_GE(clock.nowMs() - before, 3000);
}

TEST(SimBridge, OnlyTheDe1BoxPassesTheBridgeProbe) {
    ManualClock clock;
    auto config = BothInstruments();
    config.kelvo.powerOnMode = kModeSetup;  // streaming, the hardest case
    SimRig rig(clock, config);
    auto& bridge = rig.bridge();
    for (int round = 0; round < 20; ++round) {
        const auto kelvo = Open(bridge, "KV000123");
        EXPECT_FALSE(ProbeBridgeDevice(bridge, kelvo)) << "round " << round;
        EXPECT_EQ(bridge.close(kelvo), kBridgeOk);
        const auto de1 = Open(bridge, "DE1B0042");
        EXPECT_TRUE(ProbeBridgeDevice(bridge, de1)) << "round " << round;
        EXPECT_EQ(bridge.close(de1), kBridgeOk);
        clock.advance(777);
    }
}

TEST(SimSerialPorts, TheKelvoPortAnswersTheProbeWithAHeartbeatAtItsSpeed) {
    ManualClock clock;
    SimRig rig(clock);
    const auto heartbeat = ProbeComPort(rig.ports(), 3, 57600, clock);
    ASSERT_TRUE(heartbeat);
    EXPECT_EQ(heartbeat->ucUVMenuStatus, kModeNone);
    EXPECT_EQ(heartbeat->ucUVMenuVersion, 13);
    EXPECT_LE(clock.nowMs(), 3000);

    EXPECT_FALSE(ProbeComPort(rig.ports(), 3, 9600, clock)) << "wrong speed";
    EXPECT_FALSE(ProbeComPort(rig.ports(), 5, 57600, clock)) << "no such port";
    rig.ports().setOpenFails(3, true);
    EXPECT_FALSE(ProbeComPort(rig.ports(), 3, 57600, clock));
    rig.ports().setOpenFails(3, false);
    rig.kelvo()->setFaults(SimFaults{.silent = true});
    const auto start = clock.nowMs();
    EXPECT_FALSE(ProbeComPort(rig.ports(), 3, 57600, clock));
    EXPECT_GE(clock.nowMs() - start, 3000) << "the probe waits out its 3 s";
}

TEST(SimSerialPorts, ReadTimeOutsFollowTheComPortRules) {
    ManualClock clock;
    SimRig rig(clock);
    rig.kelvo()->setFaults(SimFaults{.silent = true});
    auto port = rig.ports().open(3);
    ASSERT_NE(port, nullptr);
    SerialState state;
    ASSERT_TRUE(port->getState(state));
    state.baudRate = 57600;
    ASSERT_TRUE(port->setState(state));
    std::array<std::uint8_t, 16> buffer{};
    std::size_t got = 0;

    ASSERT_TRUE(port->setTimeouts({0, 0, 1000, 0, 0}));
    auto start = clock.nowMs();
    ASSERT_TRUE(port->read(buffer.data(), 16, got));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(clock.nowMs() - start, 1000);

    ASSERT_TRUE(port->setTimeouts({0xFFFFFFFF, 0, 0, 0, 0}));
    start = clock.nowMs();
    ASSERT_TRUE(port->read(buffer.data(), 16, got));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(clock.nowMs(), start) << "returns at once";

    rig.ports().setReadFails(3, true);
    EXPECT_FALSE(port->read(buffer.data(), 16, got));
    EXPECT_EQ(port->lastError(), kSimSerialReadFault);
}

TEST(SimSeams, OneUnitSeenThroughBothSeams) {
    ManualClock clock;
    SimRig rig(clock);
    // The connection probes the COM port, closes it, then the link opens the bridge.
    auto heartbeat = ProbeComPort(rig.ports(), 3, 57600, clock);
    ASSERT_TRUE(heartbeat);
    EXPECT_EQ(heartbeat->ucUVMenuStatus, kModeNone);

    auto& bridge = rig.bridge();
    const auto h = Open(bridge, "KV000123");
    ASSERT_EQ(bridge.setBaudRate(h, 57600), kBridgeOk);
    ASSERT_EQ(bridge.setTimeouts(h, 10, 100), kBridgeOk);
    for (const std::uint8_t key : {1, 3}) {
        const auto packet = BuildKeyPacket(key);
        std::uint32_t written = 0;
        ASSERT_EQ(bridge.write(h, packet.data(), 10, written), kBridgeOk);
        const auto hbs = BridgeHeartbeats(bridge, h, clock, 1100);
        ASSERT_FALSE(hbs.empty());
        EXPECT_EQ(hbs.back().ucUVKeyPressed, key);
    }
    EXPECT_EQ(bridge.close(h), kBridgeOk);

    heartbeat = ProbeComPort(rig.ports(), 3, 57600, clock);
    ASSERT_TRUE(heartbeat);
    EXPECT_EQ(heartbeat->ucUVMenuStatus, kModeManual);
    EXPECT_EQ(rig.kelvo()->mode(), kModeManual);
}

TEST(SimSeams, KeysWrittenWhileAnotherThreadReads) {
    // As in the program: one thread blocked in reads, another writing keys.
    ScaledClock clock(10);
    SimRig rig(clock);
    auto& bridge = rig.bridge();
    const auto h = Open(bridge, "KV000123");
    ASSERT_EQ(bridge.setBaudRate(h, 57600), kBridgeOk);
    ASSERT_EQ(bridge.setTimeouts(h, 10, 100), kBridgeOk);

    std::mutex mutex;
    std::vector<std::uint8_t> bytes;
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop) {
            std::array<std::uint8_t, 44> buffer{};
            std::uint32_t got = 0;
            if (bridge.read(h, buffer.data(), 44, got) == kBridgeOk && got > 0) {
                std::scoped_lock lock(mutex);
                bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
            }
        }
    });
    auto waitForMode = [&](std::uint8_t mode) {
        const Deadline deadline(clock, 30'000);
        while (!deadline.expired()) {
            {
                std::scoped_lock lock(mutex);
                std::span<const std::uint8_t> rest(bytes);
                while (const auto match = FindCmd1(rest)) {
                    if (match->packet.ucUVMenuStatus == mode) {
                        return true;
                    }
                    rest = rest.subspan(match->offset + kCmd1Size);
                }
            }
            clock.sleepMs(5);
        }
        return false;
    };
    std::uint32_t written = 0;
    ASSERT_EQ(bridge.write(h, BuildKeyPacket(1).data(), 10, written), kBridgeOk);
    EXPECT_TRUE(waitForMode(kModeSetup));
    ASSERT_EQ(bridge.write(h, BuildKeyPacket(3, kModeSetup).data(), 10, written), kBridgeOk);
    EXPECT_TRUE(waitForMode(kModeManual));
    stop = true;
    reader.join();
    EXPECT_EQ(bridge.close(h), kBridgeOk);
    std::scoped_lock lock(mutex);
    EXPECT_TRUE(FindCmd2(bytes).has_value()) << "the manual-mode stream arrived";
}

}  // namespace
}  // namespace corvane
