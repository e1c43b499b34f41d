// A quick look that the simulated instruments answer through both seams and
// on a pseudo-terminal. Their behaviour is tested in depth elsewhere.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "TestClocks.h"
#include "link/Packets.h"
#include "sim/SimRig.h"

namespace corvane {
namespace {

std::vector<std::uint8_t> readFor(SimBridgeLibrary& bridge, BridgeHandle handle, int reads) {
    std::vector<std::uint8_t> all;
    std::array<std::uint8_t, 64> buffer{};
    for (int i = 0; i < reads; ++i) {
        std::uint32_t got = 0;
        EXPECT_EQ(bridge.read(handle, buffer.data(), buffer.size(), got), kBridgeOk);
        all.insert(all.end(), buffer.begin(), buffer.begin() + got);
    }
    return all;
}

TEST(SimSmoke, KelvoUnitHeartbeatsTakesKey1AndStreamsSettings) {
    test::ManualClock clock;
    SimRig rig(clock);
    auto& bridge = rig.bridge();
    std::string serial;
    ASSERT_EQ(bridge.listDevice(0, kListByIndexSerialNumber, serial), kBridgeOk);
    BridgeHandle handle = 0;
    ASSERT_EQ(bridge.open(serial, kOpenBySerialNumber, handle), kBridgeOk);
    std::int32_t com = 0;
    ASSERT_EQ(bridge.getComPortNumber(handle, com), kBridgeOk);
    EXPECT_EQ(com, 3);
    ASSERT_EQ(bridge.setBaudRate(handle, 57600), kBridgeOk);
    ASSERT_EQ(bridge.setTimeouts(handle, 100, 100), kBridgeOk);

    auto bytes = readFor(bridge, handle, 15);
    auto heartbeat = FindCmd1(bytes);
    ASSERT_TRUE(heartbeat);
    EXPECT_EQ(heartbeat->packet.ucUVMenuStatus, kModeNone);
    EXPECT_EQ(heartbeat->packet.ucUVMenuVersion, 13);
    EXPECT_EQ(heartbeat->packet.ucCntlInfo & kCntlUpperLimitNoContact, kCntlUpperLimitNoContact);

    const auto key = BuildKeyPacket(1);
    std::uint32_t written = 0;
    ASSERT_EQ(bridge.write(handle, key.data(), key.size(), written), kBridgeOk);
    bytes = readFor(bridge, handle, 15);
    heartbeat = FindCmd1(bytes);
    ASSERT_TRUE(heartbeat);
    EXPECT_EQ(heartbeat->packet.ucUVKeyPressed, 1);
    EXPECT_EQ(heartbeat->packet.ucUVMenuStatus, kModeSetup);
    const auto settings = FindCmd0(bytes);
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsOf(settings->packet), rig.kelvo()->config().settings);
    EXPECT_EQ(bridge.close(handle), kBridgeOk);
}

TEST(SimSmoke, De1BoxAnswersTheProbeWithAnAdditiveCheck) {
    test::ManualClock clock;
    SimRigConfig config;
    config.withKelvo = false;
    config.withDe1 = true;
    SimRig rig(clock, config);
    auto& bridge = rig.bridge();
    BridgeHandle handle = 0;
    ASSERT_EQ(bridge.open(config.de1SerialNumber, kOpenBySerialNumber, handle), kBridgeOk);
    ASSERT_EQ(bridge.setTimeouts(handle, 100, 100), kBridgeOk);
    ASSERT_EQ(bridge.setBaudRate(handle, 115200), kBridgeOk);
    ASSERT_EQ(bridge.purge(handle, kPurgeRx), kBridgeOk);
    const std::uint8_t probe = 0x20;
    std::uint32_t written = 0;
    ASSERT_EQ(bridge.write(handle, &probe, 1, written), kBridgeOk);
    std::array<std::uint8_t, 256> reply{};
    std::uint32_t got = 0;
    ASSERT_EQ(bridge.read(handle, reply.data(), reply.size(), got), kBridgeOk);
    ASSERT_EQ(got, 33u);
    unsigned sum = 0;
    for (std::size_t i = 16; i + 1 < got; ++i) {
        sum += reply[i];
    }
    EXPECT_EQ(static_cast<std::uint8_t>(sum), reply[got - 1]);
}

TEST(SimSmoke, CorvaneSimServesHeartbeatsOnAPseudoTerminal) {
    const std::string program = CORVANE_BINARY_DIR "/src/sim/corvane-sim";
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string path;
    char c = 0;
    pollfd pathReady{out[0], POLLIN, 0};
    while (poll(&pathReady, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') {
        path += c;
    }
    close(out[0]);

    std::vector<std::uint8_t> bytes;
    const int pty = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_NOCTTY);
    if (pty >= 0) {
        std::array<std::uint8_t, 64> buffer{};
        pollfd fd{pty, POLLIN, 0};
        while (!FindCmd1(bytes) && bytes.size() < 4096 && poll(&fd, 1, 3000) > 0) {
            const auto n = read(pty, buffer.data(), buffer.size());
            if (n <= 0) {
                break;
            }
            bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + n);
        }
        close(pty);
    }
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);

    ASSERT_FALSE(path.empty());
    const auto heartbeat = FindCmd1(bytes);
    ASSERT_TRUE(heartbeat) << bytes.size() << " bytes read from " << path;
    EXPECT_EQ(heartbeat->packet.ucUVMenuStatus, kModeNone);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace corvane
