#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "ScriptedPrompter.h"
#include "TestClocks.h"
#include "link/ConnectionHelp.h"
#include "link/PacketDebugLink.h"
#include "link/PacketDebugMonitor.h"
#include "link/UvLinkPacketDebug.h"

namespace corvane {
namespace {

using test::ManualClock;
using test::ScriptedPrompter;

class FakeDebugLink : public PacketDebugLink {
public:
    bool sendSettingsWithEcho(const Cmd0Bytes& packet) override {
        cmd0Sent.push_back(packet);
        return answers;
    }
    bool sendPacket10WithKeyAck(const Cmd1Bytes& packet, std::uint8_t key) override {
        cmd1Sent.push_back(packet);
        keys.push_back(key);
        return answers;
    }
    void observePackets(std::function<void(const Cmd0&)>, std::function<void(const Cmd1&)>,
                        std::function<void(const Cmd2&)>) override {}

    bool answers = true;
    std::vector<Cmd0Bytes> cmd0Sent;
    std::vector<Cmd1Bytes> cmd1Sent;
    std::vector<std::uint8_t> keys;
};

std::vector<std::string> cmd0Texts() {
    return {"50", "26", "28", "3", "0x1f", "100", "-3", "8500", "2000", "11000"};
}

TEST(PacketDebugMonitor, CountsEveryPacketButRefreshesAtMostEvery501Ms) {
    ManualClock clock;
    PacketDebugMonitor monitor(PacketDebugMonitor::Kind::Cmd2, clock);
    EXPECT_EQ(monitor.title(), "Debug Window (CMD2 Settings)");
    Cmd2 packet;
    packet.uiPistonPos = 1234;
    packet.iPistonSpeed = -7;
    EXPECT_TRUE(monitor.received(packet));
    clock.advance(500);
    EXPECT_FALSE(monitor.received(packet));
    clock.advance(1);
    EXPECT_TRUE(monitor.received(packet));
    EXPECT_FALSE(monitor.received(Cmd0{}));  // not its kind
    EXPECT_EQ(monitor.countText(), "Number of CMD2 Packets Received: 3");

    const auto fields = monitor.fields();
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(fields[3].caption, "unsigned short uiPistonPos = ");
    EXPECT_EQ(fields[3].value, "1234");
    EXPECT_EQ(fields[4].caption, "short iPistonSpeed = ");
    EXPECT_EQ(fields[4].value, "-7");
    EXPECT_FALSE(monitor.canSend());
}

TEST(PacketDebugMonitor, PauseKeepsThePacketOnShowAndStillCounts) {
    ManualClock clock;
    PacketDebugMonitor monitor(PacketDebugMonitor::Kind::Cmd0, clock);
    EXPECT_EQ(monitor.fields()[0].value, "");  // nothing received yet
    Cmd0 first;
    first.ucDutyCycleA = 40;
    first.setScanSpeed(-300);
    EXPECT_TRUE(monitor.received(first));
    EXPECT_EQ(monitor.pauseCaption(), "Pause");
    monitor.togglePause();
    EXPECT_EQ(monitor.pauseCaption(), "Resume");
    Cmd0 second = first;
    second.ucDutyCycleA = 70;
    clock.advance(1000);
    EXPECT_FALSE(monitor.received(second));
    EXPECT_EQ(monitor.count(), 2);
    const auto fields = monitor.fields();
    EXPECT_EQ(fields[0].caption, "unsigned char ucDutyCycleA = ");
    EXPECT_EQ(fields[0].value, "40");
    EXPECT_EQ(fields[6].caption, "short iScanSpeed = ");
    EXPECT_EQ(fields[6].value, "-300");  // host order, whatever the stored bytes
    EXPECT_EQ(fields[8].caption, "unsigned long ulATODADataA0 = ");
    monitor.togglePause();
    EXPECT_TRUE(monitor.received(second));  // resuming shows the next at once
}

TEST(PacketDebugMonitor, Cmd0SendChecksTheFieldsInOrderThenSends) {
    ManualClock clock;
    ScriptedPrompter prompter;
    FakeDebugLink link;
    PacketDebugMonitor monitor(PacketDebugMonitor::Kind::Cmd0, clock);
    auto texts = cmd0Texts();
    texts[1] = "nm";
    texts[5] = "slow";
    EXPECT_FALSE(monitor.sendSettings(texts, link, prompter));
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Invalid wavelength for A",
                                                          "Error, unable to send CMD0 packet to uv unit."}));
    EXPECT_TRUE(link.cmd0Sent.empty());

    prompter.clear();
    ASSERT_TRUE(monitor.sendSettings(cmd0Texts(), link, prompter));
    ASSERT_EQ(link.cmd0Sent.size(), 1u);
    const Cmd0Bytes& sent = link.cmd0Sent[0];
    EXPECT_EQ(sent[3], 50);
    EXPECT_EQ(sent[7], 0x1f);
    EXPECT_EQ(sent[12], 0xFF);  // -3, big-endian
    EXPECT_EQ(sent[13], 0xFD);
    EXPECT_EQ((sent[41] << 8) | sent[42], 11000);
    EXPECT_TRUE(prompter.texts().empty());

    link.answers = false;  // no echo
    EXPECT_FALSE(monitor.sendSettings(cmd0Texts(), link, prompter));
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Error, unable to send CMD0 packet to uv unit."}));
}

TEST(PacketDebugMonitor, Cmd1SendTakesTheFieldsAsShownAndWaitsForItsKey) {
    ManualClock clock;
    ScriptedPrompter prompter;
    FakeDebugLink link;
    PacketDebugMonitor monitor(PacketDebugMonitor::Kind::Cmd1, clock);
    const auto fields = monitor.fields();
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(fields[0].caption, "unsigned char ucUVKeyPressed = ");
    EXPECT_EQ(fields[3].caption, "unsigned char ucCntlInfo = ");

    // key, status, version, control as shown; control is checked first.
    EXPECT_FALSE(monitor.sendSettings({"", "11", "13", "zz"}, link, prompter));
    EXPECT_EQ(prompter.texts().front(), "Invalid Cntl Info.");
    EXPECT_EQ(prompter.texts().back(), "Error, unable to send CMD1 packet to uv unit.");

    ASSERT_TRUE(monitor.sendSettings({"5", "0xA", "13", "0"}, link, prompter));
    ASSERT_EQ(link.cmd1Sent.size(), 1u);
    EXPECT_EQ(link.cmd1Sent[0], (Cmd1Bytes{0x41, 0xBE, 5, 10, 13, 0, 0, 0, 0, 0x78}));
    EXPECT_EQ(link.keys, (std::vector<std::uint8_t>{5}));
}

TEST(UvLinkPacketDebug, WatchesTheLinksPacketsAndSendsThroughIt) {
    ManualClock clock;
    test::LinkBench bench(clock);
    UvLink& link = bench.open(false);
    ASSERT_TRUE(link.EnterSetupMode());
    PacketDebugMonitor monitor(PacketDebugMonitor::Kind::Cmd0, clock);
    {
        UvLinkPacketDebug debug(link);
        debug.observePackets([&](const Cmd0& p) { monitor.received(p); }, {}, {});
        Cmd0 packet;
        for (int i = 0; i < 20 && monitor.count() < 3; ++i) {
            (void)link.ReadCmd0(packet);
        }
        EXPECT_GE(monitor.count(), 3);

        // The unit takes settings in setup mode and echoes them.
        ScriptedPrompter prompter;
        ASSERT_TRUE(monitor.sendSettings({"60", "26", "28", "4", "2", "100", "3", "8000", "2000", "11000"},
                                         debug, prompter));
        EXPECT_TRUE(prompter.texts().empty());
        EXPECT_EQ(test::SettingsWritten(bench.rig.bridge()).back()[3], 60);
    }
    // Gone with the adapter: the link calls no observer any more.
    const int seen = monitor.count();
    Cmd0 packet;
    (void)link.ReadCmd0(packet);
    EXPECT_EQ(monitor.count(), seen);
}

TEST(ConnectionHelp, DeviceManagerTextByPlatformAndThePortInTheSteps) {
    EXPECT_TRUE(deviceManagerText(deviceManagerStepsFor("windows", "xp"))
                    .starts_with("1. Click on Start and then Control Panel.\n"));
    EXPECT_TRUE(deviceManagerText(deviceManagerStepsFor("windows", "7"))
                    .starts_with("1. Click on the Start button and then Control Panel.\n"));
    EXPECT_TRUE(deviceManagerText(deviceManagerStepsFor("windows", "10"))
                    .starts_with("1. Click on the Start button and then choose Control Panel.\n"));
    EXPECT_EQ(deviceManagerStepsFor("debian", "12"), DeviceManagerSteps::Current);
    EXPECT_NE(troubleShootingSteps(7, false).find("COM7"), std::string::npos);
    EXPECT_NE(troubleShootingSteps(0, true).find("/dev/ttyUSB0"), std::string::npos);
}

}  // namespace
}  // namespace corvane
