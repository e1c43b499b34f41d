#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "TempDir.h"
#include "link/PortMap.h"
#include "link/PosixSerialPortApi.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
namespace fs = std::filesystem;

constexpr std::uint32_t kMaxDword = 0xFFFFFFFF;

// The far end of a pseudo-terminal: what a device on the line would see.
class PtyLine {
public:
    PtyLine() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            slave_ = ::ptsname(master_);
        }
    }
    ~PtyLine() {
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    [[nodiscard]] const std::string& device() const { return slave_; }
    void send(const std::string& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Whatever arrives within a second, up to n bytes.
    [[nodiscard]] std::string receive(std::size_t n) const {
        std::string got;
        while (got.size() < n) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0) {
                break;
            }
            char chunk[256];
            const auto r = ::read(master_, chunk, std::min(sizeof chunk, n - got.size()));
            if (r <= 0) {
                break;
            }
            got.append(chunk, static_cast<std::size_t>(r));
        }
        return got;
    }
    void hangUp() {
        ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string slave_;
};

class PosixSerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(line_.device().empty());
        dir_.write("prefs.cfg", "[prefs]\ncomport 7\n[ports]\ncom7 " + line_.device() + "\n");
        dir_.write("dev/.keep", "");
    }

    PosixSerialPortApi api() const { return PosixSerialPortApi(dir_ / "prefs.cfg", dir_ / "dev"); }

    test::TempDir dir_;
    PtyLine line_;
};

std::string readSome(SerialPort& port, std::size_t n) {
    std::string bytes(n, '\0');
    std::size_t got = 0;
    EXPECT_TRUE(port.read(bytes.data(), n, got));
    bytes.resize(got);
    return bytes;
}

TEST_F(PosixSerialPortTest, AMappedPortCarriesBytesBothWaysUnchanged) {
    auto ports = api();
    EXPECT_EQ(ports.describe(7), line_.device());
    auto port = ports.open(7);
    ASSERT_TRUE(port);
    SerialTimeouts timeouts;
    timeouts.readTotalConstant = 2000;
    ASSERT_TRUE(port->setTimeouts(timeouts));

    // Binary bytes that a cooked terminal would eat or change.
    const std::string packet("\x00\xff\r\n\x03\x11\x13\x7f", 8);
    std::size_t written = 0;
    ASSERT_TRUE(port->write(packet.data(), packet.size(), written));
    EXPECT_EQ(written, packet.size());
    EXPECT_EQ(line_.receive(packet.size()), packet);

    line_.send(packet);
    EXPECT_EQ(readSome(*port, packet.size()), packet);
}

TEST_F(PosixSerialPortTest, ReadsEndAsTheTimeoutsSay) {
    auto port = api().open(7);
    ASSERT_TRUE(port);
    SerialTimeouts timeouts;

    // MAXDWORD interval and no totals: what is there, at once, even nothing.
    timeouts.readInterval = kMaxDword;
    ASSERT_TRUE(port->setTimeouts(timeouts));
    EXPECT_EQ(readSome(*port, 10), "");
    line_.send("abc");
    std::string polled;
    for (int turn = 0; turn < 200 && polled.size() < 3; ++turn) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        polled += readSome(*port, 10);
    }
    EXPECT_EQ(polled, "abc");

    // A total limit returns the part that came.
    timeouts = {};
    timeouts.readTotalConstant = 300;
    timeouts.readTotalMultiplier = 1;
    ASSERT_TRUE(port->setTimeouts(timeouts));
    line_.send("12345");
    EXPECT_EQ(readSome(*port, 44), "12345");

    // MAXDWORD interval and multiplier: wait for the first byte, then return.
    timeouts = {};
    timeouts.readInterval = kMaxDword;
    timeouts.readTotalMultiplier = kMaxDword;
    timeouts.readTotalConstant = 5000;
    ASSERT_TRUE(port->setTimeouts(timeouts));
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        line_.send("xy");
    });
    const auto first = readSome(*port, 10);
    later.join();
    EXPECT_THAT(first, ::testing::StartsWith("x"));

    // No limits at all: the read waits for every byte asked for.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    timeouts = {};
    timeouts.readInterval = kMaxDword;
    ASSERT_TRUE(port->setTimeouts(timeouts));
    readSome(*port, 10);
    ASSERT_TRUE(port->setTimeouts({}));
    std::thread trickle([&] {
        for (const char* part : {"one", "two", "three"}) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            line_.send(part);
        }
    });
    EXPECT_EQ(readSome(*port, 11), "onetwothree");
    trickle.join();

    // An interval limit ends a read once the line falls silent after data.
    timeouts = {};
    timeouts.readInterval = 50;
    ASSERT_TRUE(port->setTimeouts(timeouts));
    line_.send("burst");
    EXPECT_EQ(readSome(*port, 100), "burst");

    SerialTimeouts back;
    ASSERT_TRUE(port->getTimeouts(back));
    EXPECT_EQ(back.readInterval, 50u);
}

TEST_F(PosixSerialPortTest, LineSettingsReachTheTerminalAndReadBack) {
    auto port = api().open(7);
    ASSERT_TRUE(port);
    // A pseudo-terminal keeps speed, stop bits and flow control; it forces
    // eight data bits without parity, so framing is not checked here.
    SerialState state;
    state.baudRate = 57600;
    state.stopBits = 2;
    state.ctsFlow = true;
    state.xonXoffIn = true;
    state.dsrFlow = true;
    ASSERT_TRUE(port->setState(state));
    SerialState back;
    ASSERT_TRUE(port->getState(back));
    EXPECT_EQ(back.baudRate, 57600u);
    EXPECT_EQ(back.stopBits, 2);
    EXPECT_TRUE(back.ctsFlow);
    EXPECT_TRUE(back.xonXoffIn);
    EXPECT_FALSE(back.xonXoffOut);
    EXPECT_TRUE(back.dsrFlow) << "kept as set: termios has no such switch";

    state.baudRate = 12345;
    EXPECT_FALSE(port->setState(state));
    EXPECT_EQ(port->lastError(), static_cast<std::uint32_t>(EINVAL));
    ASSERT_TRUE(port->getState(back));
    EXPECT_EQ(back.baudRate, 57600u) << "a refused state changes nothing";
}

TEST_F(PosixSerialPortTest, APortIsHeldExclusivelyAndListedOnlyWhenFree) {
    auto ports = api();
    EXPECT_THAT(ports.enumerate(), ElementsAre(7));
    {
        auto held = ports.open(7);
        ASSERT_TRUE(held);
        EXPECT_FALSE(ports.open(7)) << "a second open of a held port";
        EXPECT_THAT(ports.enumerate(), ElementsAre());
    }
    EXPECT_TRUE(ports.open(7)) << "free again once closed";
    EXPECT_FALSE(ports.open(8)) << "nothing behind COM8";
}

TEST_F(PosixSerialPortTest, EnumerationListsAdaptersButNotEmptyUartSlots) {
    PtyLine adapter;
    ASSERT_FALSE(adapter.device().empty());
    // A USB adapter's node, and a built-in UART node with no UART behind it
    // (a pseudo-terminal answers no serial-driver query).
    fs::create_symlink(adapter.device(), dir_ / "dev" / "ttyUSB0");
    fs::create_symlink(adapter.device(), dir_ / "dev" / "ttyS0");
    dir_.write("dev/ttyUSB1x", "");
    auto ports = api();
    EXPECT_THAT(ports.enumerate(), ElementsAre(7, 101));
    EXPECT_EQ(ports.describe(101), (dir_ / "dev" / "ttyUSB0").string());
    EXPECT_TRUE(ports.open(101));

    line_.hangUp();
    dir_.write("prefs.cfg", "[ports]\ncom7 /nonexistent/tty\n");
    EXPECT_THAT(ports.enumerate(), ElementsAre(101)) << "the map is read again on every call";
}

TEST_F(PosixSerialPortTest, AVanishedLineIsAnErrorNotATimeout) {
    auto port = api().open(7);
    ASSERT_TRUE(port);
    SerialTimeouts timeouts;
    timeouts.readTotalConstant = 1000;
    ASSERT_TRUE(port->setTimeouts(timeouts));
    line_.hangUp();
    char buffer[8];
    std::size_t got = 0;
    EXPECT_FALSE(port->read(buffer, sizeof buffer, got));
    EXPECT_EQ(port->lastError(), static_cast<std::uint32_t>(EIO));
}

TEST(PortMap, FixedNumbersAndMappingsThatWin) {
    EXPECT_EQ(PortMap::defaultNumber("ttyS0"), 1);
    EXPECT_EQ(PortMap::defaultNumber("ttyUSB0"), 101);
    EXPECT_EQ(PortMap::defaultNumber("ttyACM55"), 256);
    EXPECT_EQ(PortMap::defaultNumber("ttyACM56"), std::nullopt);
    EXPECT_EQ(PortMap::defaultNumber("ttyUSB01"), std::nullopt);
    EXPECT_EQ(PortMap::defaultNumber("ttyUSB"), std::nullopt);
    EXPECT_EQ(PortMap::defaultNumber("tty1"), std::nullopt);
    EXPECT_EQ(PortMap::defaultDeviceName(102), "ttyUSB1");
    EXPECT_EQ(PortMap::defaultDeviceName(0), "");

    PortMap ports("/dev");
    ports.map(5, "ttyUSB0");
    ports.map(101, "/dev/ttyACM0");
    EXPECT_EQ(ports.deviceFor(5), "/dev/ttyUSB0");
    EXPECT_EQ(ports.deviceFor(101), "/dev/ttyACM0");
    EXPECT_EQ(ports.deviceFor(201), "") << "ttyACM0 is reached as COM101 only";
    EXPECT_EQ(ports.numberFor("/dev/ttyUSB0"), 5);
    EXPECT_EQ(ports.numberFor("/dev/ttyACM0"), 101);
    EXPECT_EQ(ports.numberFor("/dev/ttyUSB1"), 102);
    EXPECT_EQ(ports.numberFor("/elsewhere/ttyUSB1"), std::nullopt);
}

}  // namespace
}  // namespace corvane
