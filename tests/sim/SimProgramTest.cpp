// corvane-sim as a developer or the serial tests use it: start it, open the
// pseudo-terminal it names, talk to the instrument through the kernel.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <chrono>
#include <numeric>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"
#include "link/Packets.h"
#include "recording/SampleLine.h"

namespace corvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// corvane-sim with these arguments; its first line names the terminal.
test::ChildProcess StartSim(std::vector<std::string> args) {
    args.insert(args.begin(), std::string(CORVANE_BINARY_DIR) + "/src/sim/corvane-sim");
    return test::ChildProcess(std::move(args));
}

// The PC end of the pseudo-terminal, raw, at the unit's speed.
class Terminal {
public:
    explicit Terminal(const std::string& path, speed_t speed = B57600) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) {
            return;
        }
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Terminal() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
    bool send(const std::vector<std::uint8_t>& bytes) {
        return write(fd_, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }
    // Appends what arrives until `done` holds or the time runs out.
    template <class Done>
    bool readUntil(std::vector<std::uint8_t>& bytes, milliseconds limit, Done done) {
        const auto until = steady_clock::now() + limit;
        while (steady_clock::now() < until) {
            if (done(bytes)) {
                return true;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) {
                continue;
            }
            std::uint8_t buffer[256];
            const auto n = read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                bytes.insert(bytes.end(), buffer, buffer + n);
            }
        }
        return done(bytes);
    }

private:
    int fd_ = -1;
};

std::vector<Cmd1> HeartbeatsIn(std::span<const std::uint8_t> rest) {
    std::vector<Cmd1> out;
    while (const auto match = FindCmd1(rest)) {
        out.push_back(match->packet);
        rest = rest.subspan(match->offset + kCmd1Size);
    }
    return out;
}

TEST(SimProgram, ServesHeartbeatsAndAnswersKeysOnAPseudoTerminal) {
    auto sim = StartSim({});
    const auto path = sim.readLine();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    Terminal pty(path);
    ASSERT_TRUE(pty.isOpen()) << path;

    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(pty.readUntil(bytes, milliseconds(5000), [](const auto& b) { return HeartbeatsIn(b).size() >= 2; }));
    for (const auto& hb : HeartbeatsIn(bytes)) {
        EXPECT_EQ(hb.ucUVMenuStatus, kModeNone);
        EXPECT_EQ(hb.ucUVMenuVersion, 13);
    }

    const auto key1 = BuildKeyPacket(1);
    ASSERT_TRUE(pty.send({key1.begin(), key1.end()}));
    bytes.clear();
    EXPECT_TRUE(pty.readUntil(bytes, milliseconds(5000), [](const auto& b) {
        const auto hbs = HeartbeatsIn(b);
        return !hbs.empty() && hbs.back().ucUVMenuStatus == kModeSetup && FindCmd0(b).has_value();
    }));
}

TEST(SimProgram, TextModeSendsLinesOfFiveIntegersAndAnswersThePing) {
    auto sim = StartSim({"--text"});
    const auto path = sim.readLine();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    Terminal pty(path);
    ASSERT_TRUE(pty.isOpen());

    std::vector<std::uint8_t> bytes;
    auto lines = [](const std::vector<std::uint8_t>& b) {
        std::vector<std::string> out;
        std::string line;
        for (const auto c : b) {
            if (c == '\r' || c == '\n') {
                if (!line.empty()) {
                    out.push_back(line);
                }
                line.clear();
            } else {
                line += char(c);
            }
        }
        return out;
    };
    ASSERT_TRUE(pty.readUntil(bytes, milliseconds(5000), [&](const auto& b) { return lines(b).size() >= 5; }));
    // The first line may have begun before we opened the terminal.
    const auto all = lines(bytes);
    for (std::size_t i = 1; i < all.size(); ++i) {
        EXPECT_TRUE(ParseSampleLine(all[i]).has_value()) << all[i];
    }

    ASSERT_TRUE(pty.send({0x00}));
    bytes.clear();
    EXPECT_TRUE(pty.readUntil(bytes, milliseconds(3000), [](const auto& b) {
        return std::find(b.begin(), b.end(), std::uint8_t{1}) != b.end();
    }));
}

TEST(SimProgram, De1BoxAnswersTheProbeByte) {
    auto sim = StartSim({"--device", "de1"});
    const auto path = sim.readLine();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    Terminal pty(path, B115200);
    ASSERT_TRUE(pty.isOpen());
    ASSERT_TRUE(pty.send({0x20}));
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(pty.readUntil(bytes, milliseconds(3000), [](const auto& b) {
        return b.size() >= 16 && b.size() >= 16u + 16u * (b[0] & 7) + 1u;
    }));
    const std::size_t n = 16u + 16u * (bytes[0] & 7) + 1u;
    const unsigned sum = std::accumulate(bytes.begin() + 16, bytes.begin() + long(n) - 1, 0u);
    EXPECT_EQ(sum & 0xFF, bytes[n - 1]);
}

TEST(SimProgram, ItsLinkNeverTakesTheNameOfAFileAndGoesWhenItEnds) {
    test::TempDir dir;
    const auto file = dir.write("kelvo", "a user's notes\n");
    {
        auto sim = StartSim({"--link", file.string()});
        const auto errors = sim.readErrors();
        EXPECT_EQ(sim.wait(), 1);
        EXPECT_NE(errors.find("cannot link " + file.string()), std::string::npos) << errors;
    }
    EXPECT_EQ(test::readFile(file), "a user's notes\n");

    // What a killed run leaves: a link to a terminal that is gone.
    const auto link = dir.path() / "pty";
    std::filesystem::create_symlink("/dev/pts/999999", link);
    {
        auto sim = StartSim({"--link", link.string()});
        const auto path = sim.readLine();
        ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);
        sim.interrupt();
        EXPECT_EQ(sim.wait(), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

}  // namespace
}  // namespace corvane
