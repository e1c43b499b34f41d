#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
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
    PtyLine() : master_(::posix_openpt(O_RDWR | O_NOCTTY)) {
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            device_ = ::ptsname(master_);
        }
    }
    ~PtyLine() { hangUp(); }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    [[nodiscard]] const std::string& device() const { return device_; }
    void send(std::string_view bytes) const { (void)!::write(master_, bytes.data(), bytes.size()); }
    [[nodiscard]] std::string receive(std::size_t n) const {
        std::string got;
        char byte = 0;
        pollfd p{master_, POLLIN, 0};
        while (got.size() < n && ::poll(&p, 1, 1000) > 0 && ::read(master_, &byte, 1) == 1) {
            got.push_back(byte);
        }
        return got;
    }
    void hangUp() {
        if (master_ >= 0) {
            ::close(master_);
        }
        master_ = -1;
    }

private:
    int master_;
    std::string device_;
};

class PosixSerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(line_.device().empty());
        dir_.write("prefs.cfg", "[prefs]\ncomport 7\n[ports]\ncom7 " + line_.device() + "\n");
        fs::create_directory(dir_ / "dev");
    }
    PosixSerialPortApi api() const { return PosixSerialPortApi(dir_.path(), dir_ / "dev"); }
    std::unique_ptr<SerialPort> openWith(const SerialTimeouts& timeouts) {
        auto port = api().open(7);
        EXPECT_TRUE(port && port->setTimeouts(timeouts));
        return port;
    }

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

TEST_F(PosixSerialPortTest, AMappedPortCarriesBinaryBytesBothWaysUnchanged) {
    EXPECT_EQ(api().describe(7), line_.device());
    auto port = openWith({.readTotalConstant = 2000});
    ASSERT_TRUE(port);
    const std::string packet("\x00\xff\r\n\x03\x11\x13\x7f", 8);  // what a cooked line would change
    std::size_t written = 0;
    ASSERT_TRUE(port->write(packet.data(), packet.size(), written));
    EXPECT_EQ(written, packet.size());
    EXPECT_EQ(line_.receive(packet.size()), packet);
    line_.send(packet);
    EXPECT_EQ(readSome(*port, packet.size()), packet);
}

TEST_F(PosixSerialPortTest, ReadsEndAsTheComTimeoutsSay) {
    auto port = openWith({.readInterval = kMaxDword});
    ASSERT_TRUE(port);
    EXPECT_EQ(readSome(*port, 10), "") << "MAXDWORD interval alone: at once, even with nothing";
    line_.send("abc");
    std::string polled;
    for (int turn = 0; turn < 200 && polled.size() < 3; ++turn) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        polled += readSome(*port, 10);
    }
    EXPECT_EQ(polled, "abc");

    ASSERT_TRUE(port->setTimeouts({.readTotalMultiplier = 1, .readTotalConstant = 300}));
    line_.send("12345");
    EXPECT_EQ(readSome(*port, 44), "12345") << "a total limit returns the part that came";

    ASSERT_TRUE(port->setTimeouts(
        {.readInterval = kMaxDword, .readTotalMultiplier = kMaxDword, .readTotalConstant = 5000}));
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        line_.send("x");
    });
    EXPECT_EQ(readSome(*port, 10), "x") << "waits for the first byte, then returns";
    later.join();

    ASSERT_TRUE(port->setTimeouts({}));
    std::thread trickle([&] {
        for (const char* part : {"one", "two", "three"}) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            line_.send(part);
        }
    });
    EXPECT_EQ(readSome(*port, 11), "onetwothree") << "no limits: waits for every byte";
    trickle.join();

    ASSERT_TRUE(port->setTimeouts({.readInterval = 50}));
    line_.send("burst");
    EXPECT_EQ(readSome(*port, 100), "burst") << "the interval ends it once the line falls silent";
}

TEST_F(PosixSerialPortTest, LineSettingsReachTheTerminalAndReadBack) {
    auto port = api().open(7);
    ASSERT_TRUE(port);
    // A pseudo-terminal keeps speed, stop bits and flow control; it forces
    // eight data bits without parity, so framing is not checked here.
    const SerialState state{.baudRate = 57600, .stopBits = 2, .ctsFlow = true, .dsrFlow = true,
                            .xonXoffIn = true};
    ASSERT_TRUE(port->setState(state));
    SerialState back;
    ASSERT_TRUE(port->getState(back));
    EXPECT_EQ(back.baudRate, 57600u);
    EXPECT_EQ(back.stopBits, 2);
    EXPECT_TRUE(back.ctsFlow);
    EXPECT_TRUE(back.xonXoffIn);
    EXPECT_FALSE(back.xonXoffOut);
    EXPECT_TRUE(back.dsrFlow) << "kept as set: termios has no such switch";

    SerialState odd = state;
    odd.baudRate = 12345;
    EXPECT_FALSE(port->setState(odd));
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
        EXPECT_FALSE(ports.open(7));
        EXPECT_THAT(ports.enumerate(), ElementsAre());
    }
    EXPECT_TRUE(ports.open(7));
    EXPECT_FALSE(ports.open(8)) << "nothing behind COM8";
}

TEST_F(PosixSerialPortTest, EnumerationListsAdaptersButNotEmptyUartSlots) {
    PtyLine adapter;
    // A USB adapter's node, and a built-in UART node with no UART behind it
    // (a pseudo-terminal answers no serial-driver query).
    fs::create_symlink(adapter.device(), dir_ / "dev" / "ttyUSB0");
    fs::create_symlink(adapter.device(), dir_ / "dev" / "ttyS0");
    dir_.write("dev/ttyUSB1x", "");
    auto ports = api();
    EXPECT_THAT(ports.enumerate(), ElementsAre(7, 101));
    EXPECT_EQ(ports.describe(101), (dir_ / "dev" / "ttyUSB0").string());

    dir_.write("prefs.cfg", "[ports]\ncom7 /nonexistent/tty\n");
    EXPECT_THAT(ports.enumerate(), ElementsAre(101)) << "the map is read again on every call";
}

TEST_F(PosixSerialPortTest, AVanishedLineIsAnErrorNotATimeout) {
    auto port = openWith({.readTotalConstant = 1000});
    ASSERT_TRUE(port);
    line_.hangUp();
    char buffer[8];
    std::size_t got = 0;
    EXPECT_FALSE(port->read(buffer, sizeof buffer, got));
    EXPECT_EQ(port->lastError(), static_cast<std::uint32_t>(EIO));
}

TEST(PortMap, MappingsWinOverTheFixedNumbers) {
    PortMap ports("/dev");
    ports.map(5, "ttyUSB0");
    ports.map(101, "/dev/ttyACM0");
    EXPECT_EQ(ports.deviceFor(5), "/dev/ttyUSB0");
    EXPECT_EQ(ports.deviceFor(101), "/dev/ttyACM0");
    EXPECT_EQ(ports.deviceFor(201), "") << "ttyACM0 is reached as COM101 only";
    EXPECT_EQ(ports.numberFor("/dev/ttyUSB1"), 102);
    EXPECT_EQ(ports.numberFor("/dev/ttyACM55"), 256);
    EXPECT_EQ(ports.numberFor("/dev/ttyUSB01"), std::nullopt);
}

}  // namespace
}  // namespace corvane
