#include "sim/PtyServer.h"

#include "sim/PortServer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <utility>

namespace corvane {

std::optional<PtyServer> PtyServer::open() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        return std::nullopt;
    }
    const char* name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
        ::close(master);
        return std::nullopt;
    }
    std::string path = name;
    const int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        ::close(master);
        return std::nullopt;
    }
    termios settings{};
    if (tcgetattr(slave, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(slave, TCSANOW, &settings);
    }
    const int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    return PtyServer(master, slave, std::move(path));
}

PtyServer::PtyServer(int master, int slave, std::string path)
    : master_(master), slave_(slave), path_(std::move(path)) {}

PtyServer::PtyServer(PtyServer&& other) noexcept
    : master_(std::exchange(other.master_, -1)),
      slave_(std::exchange(other.slave_, -1)),
      path_(std::move(other.path_)) {}

PtyServer::~PtyServer() {
    if (slave_ >= 0) {
        ::close(slave_);
    }
    if (master_ >= 0) {
        ::close(master_);
    }
}

void PtyServer::serve(SimDevice& device, Clock& clock, const std::atomic<bool>& stop) {
    std::array<std::uint8_t, 512> buffer{};
    // A full pty buffer (nobody reading) loses the rest, as a line would.
    const auto send = [this](std::span<const std::uint8_t> bytes) {
        [[maybe_unused]] const auto written = ::write(master_, bytes.data(), bytes.size());
        return true;
    };
    while (!stop.load()) {
        (void)passDeviceOutput(device, buffer, send);
        const std::int64_t waitMs = msUntilDeviceOutput(device, clock);
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(waitMs)) > 0 && (fd.revents & POLLIN) != 0) {
            const auto got = ::read(master_, buffer.data(), buffer.size());
            if (got > 0) {
                device.write(std::span(buffer.data(), static_cast<std::size_t>(got)));
            }
        }
    }
}

}  // namespace corvane
