#include "link/PosixSerialPortApi.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <system_error>

namespace corvane {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;
constexpr std::uint32_t kMaxDword = std::numeric_limits<std::uint32_t>::max();

struct BaudRate {
    std::uint32_t rate;
    speed_t code;
};

constexpr BaudRate kBaudRates[] = {
    {50, B50},         {75, B75},         {110, B110},         {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},         {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},       {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800}, {921600, B921600},
#endif
};

std::optional<speed_t> speedCode(std::uint32_t rate) {
    for (const auto& baud : kBaudRates) {
        if (baud.rate == rate) {
            return baud.code;
        }
    }
    return std::nullopt;
}

std::uint32_t speedRate(speed_t code) {
    for (const auto& baud : kBaudRates) {
        if (baud.code == code) {
            return baud.rate;
        }
    }
    return 0;
}

// A descriptor opened, made exclusive and locked; -1 with errno set when any
// step fails. The port is opened without waiting for a carrier.
int openExclusive(const std::filesystem::path& device) {
    int fd = -1;
    do {
        fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return -1;
    }
    if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

void closeExclusive(int fd) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

// Built-in UART device nodes exist whether or not a UART answers behind them.
bool uartPresent(const std::filesystem::path& device) {
#ifdef __linux__
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    serial_struct info{};
    const bool present = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return present;
#else
    (void)device;
    return true;
#endif
}

int millisecondsUntil(SteadyTime deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, std::numeric_limits<int>::max()));
}

class PosixSerialPort : public SerialPort {
public:
    explicit PosixSerialPort(int fd) : fd_(fd) {}
    ~PosixSerialPort() override { closeExclusive(fd_); }
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // Raw bytes both ways, no modem-line waits. With VMIN 1 on a non-blocking
    // descriptor an empty line reads as EAGAIN, so a read of 0 bytes can only
    // mean the line has gone (a hang-up).
    static void makeRaw(termios& tio) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
    }

    // The line settings (speed, framing) stay as found.
    bool makeRaw() {
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0) {
            return fail();
        }
        makeRaw(tio);
        return ::tcsetattr(fd_, TCSANOW, &tio) == 0 || fail();
    }

    bool setTimeouts(const SerialTimeouts& timeouts) override {
        timeouts_ = timeouts;
        return true;
    }

    bool getTimeouts(SerialTimeouts& timeouts) override {
        timeouts = timeouts_;
        return true;
    }

    bool getState(SerialState& state) override {
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0) {
            return fail();
        }
        state = kept_;
        state.baudRate = speedRate(::cfgetospeed(&tio));
        switch (tio.c_cflag & CSIZE) {
            case CS5: state.dataBits = 5; break;
            case CS6: state.dataBits = 6; break;
            case CS7: state.dataBits = 7; break;
            default: state.dataBits = 8; break;
        }
        state.parity = 0;
        if ((tio.c_cflag & PARENB) != 0) {
            const bool odd = (tio.c_cflag & PARODD) != 0;
#ifdef CMSPAR
            if ((tio.c_cflag & CMSPAR) != 0) {
                state.parity = odd ? 3 : 4;
            } else
#endif
            {
                state.parity = odd ? 1 : 2;
            }
        }
        state.stopBits = (tio.c_cflag & CSTOPB) != 0 ? 2 : 0;
        state.parityCheck = (tio.c_iflag & INPCK) != 0;
        state.ctsFlow = (tio.c_cflag & CRTSCTS) != 0;
        state.xonXoffOut = (tio.c_iflag & IXON) != 0;
        state.xonXoffIn = (tio.c_iflag & IXOFF) != 0;
        int lines = 0;
        if (::ioctl(fd_, TIOCMGET, &lines) == 0) {
            state.dtrEnabled = (lines & TIOCM_DTR) != 0;
            state.rtsEnabled = (lines & TIOCM_RTS) != 0;
        }
        return true;
    }

    bool setState(const SerialState& state) override {
        const auto speed = speedCode(state.baudRate);
        if (!speed || state.dataBits < 5 || state.dataBits > 8 || state.parity > 4 ||
            state.stopBits > 2) {
            lastError_ = EINVAL;
            return false;
        }
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0) {
            return fail();
        }
        makeRaw(tio);
        ::cfsetispeed(&tio, *speed);
        ::cfsetospeed(&tio, *speed);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
        tio.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
        constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        tio.c_cflag |= kSizes[state.dataBits - 5];
        if (state.parity != 0) {
            tio.c_cflag |= PARENB;
            if (state.parity == 1 || state.parity == 3) {
                tio.c_cflag |= PARODD;
            }
#ifdef CMSPAR
            if (state.parity >= 3) {
                tio.c_cflag |= CMSPAR;
            }
#endif
        }
        // One and a half stop bits (1) has no termios form: two are sent.
        if (state.stopBits != 0) {
            tio.c_cflag |= CSTOPB;
        }
        if (state.ctsFlow) {
            tio.c_cflag |= CRTSCTS;
        }
        if (state.parityCheck) {
            tio.c_iflag |= INPCK;
        }
        if (state.xonXoffOut) {
            tio.c_iflag |= IXON;
        }
        if (state.xonXoffIn) {
            tio.c_iflag |= IXOFF;
        }
        if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
            return fail();
        }
        // A pseudo-terminal has no modem lines; that is not an error.
        const int dtr = TIOCM_DTR;
        const int rts = TIOCM_RTS;
        if ((::ioctl(fd_, state.dtrEnabled ? TIOCMBIS : TIOCMBIC, &dtr) != 0 ||
             ::ioctl(fd_, state.rtsEnabled ? TIOCMBIS : TIOCMBIC, &rts) != 0) &&
            errno != ENOTTY && errno != EINVAL) {
            return fail();
        }
        kept_ = state;
        return true;
    }

    bool read(void* buffer, std::size_t n, std::size_t& got) override {
        got = 0;
        if (n == 0) {
            return true;
        }
        const auto& t = timeouts_;
        const auto start = std::chrono::steady_clock::now();
        // Interval MAXDWORD with no totals: whatever has arrived, at once.
        const bool immediate = t.readInterval == kMaxDword && t.readTotalMultiplier == 0 &&
                               t.readTotalConstant == 0;
        // Interval MAXDWORD otherwise: return as soon as anything has arrived.
        const bool anyByteEnds = t.readInterval == kMaxDword && !immediate;
        std::optional<SteadyTime> deadline;
        if (immediate) {
            deadline = start;
        } else if (t.readTotalMultiplier == kMaxDword && anyByteEnds) {
            deadline = start + std::chrono::milliseconds(t.readTotalConstant);
        } else if (t.readTotalMultiplier != 0 || t.readTotalConstant != 0) {
            const auto total = std::uint64_t{t.readTotalMultiplier} * n + t.readTotalConstant;
            deadline = start + std::chrono::milliseconds(total);
        }
        const bool intervalLimited = t.readInterval != 0 && t.readInterval != kMaxDword;
        auto lastByte = start;
        auto* bytes = static_cast<unsigned char*>(buffer);
        for (;;) {
            const auto r = ::read(fd_, bytes + got, n - got);
            if (r > 0) {
                got += static_cast<std::size_t>(r);
                lastByte = std::chrono::steady_clock::now();
                if (got == n || anyByteEnds) {
                    return true;
                }
                continue;
            }
            if (r == 0) {
                // End of file: the other side of the line is gone.
                lastError_ = EIO;
                return false;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return fail();
            }
            int wait = -1;
            if (deadline) {
                wait = millisecondsUntil(*deadline);
            }
            if (intervalLimited && got > 0) {
                const int gap = millisecondsUntil(lastByte + std::chrono::milliseconds(t.readInterval));
                wait = wait < 0 ? gap : std::min(wait, gap);
            }
            if (wait == 0) {
                return true;
            }
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, wait);
            if (ready < 0 && errno != EINTR) {
                return fail();
            }
            // A hang-up with nothing left to read would wake poll forever.
            if (ready > 0 && (p.revents & POLLIN) == 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                lastError_ = EIO;
                return false;
            }
        }
    }

    bool write(const void* buffer, std::size_t n, std::size_t& written) override {
        written = 0;
        std::optional<SteadyTime> deadline;
        if (timeouts_.writeTotalMultiplier != 0 || timeouts_.writeTotalConstant != 0) {
            const auto total =
                std::uint64_t{timeouts_.writeTotalMultiplier} * n + timeouts_.writeTotalConstant;
            deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(total);
        }
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        while (written < n) {
            const auto w = ::write(fd_, bytes + written, n - written);
            if (w > 0) {
                written += static_cast<std::size_t>(w);
                continue;
            }
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                return fail();
            }
            const int wait = deadline ? millisecondsUntil(*deadline) : -1;
            if (wait == 0) {
                return true;  // timed out: the caller sees the short count
            }
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, wait) < 0 && errno != EINTR) {
                return fail();
            }
        }
        return true;
    }

    bool purge(bool receive, bool transmit) override {
        if (!receive && !transmit) {
            return true;
        }
        const int queue = receive && transmit ? TCIOFLUSH : (receive ? TCIFLUSH : TCOFLUSH);
        return ::tcflush(fd_, queue) == 0 || fail();
    }

    std::uint32_t lastError() const override { return lastError_; }

private:
    bool fail() {
        lastError_ = static_cast<std::uint32_t>(errno);
        return false;
    }

    int fd_;
    SerialTimeouts timeouts_{};
    SerialState kept_{};  // what termios cannot hold (binary, DSR flow) as last set
    std::uint32_t lastError_ = 0;
};

}  // namespace

PosixSerialPortApi::PosixSerialPortApi(std::filesystem::path startupFolder,
                                       std::filesystem::path deviceFolder)
    : startupFolder_(std::move(startupFolder)), deviceFolder_(std::move(deviceFolder)) {}

PortMap PosixSerialPortApi::portMap() const { return PortMap::load(startupFolder_, deviceFolder_); }

std::unique_ptr<SerialPort> PosixSerialPortApi::open(int comNumber) {
    const auto device = portMap().deviceFor(comNumber);
    if (device.empty()) {
        return nullptr;
    }
    const int fd = openExclusive(device);
    if (fd < 0) {
        return nullptr;
    }
    auto port = std::make_unique<PosixSerialPort>(fd);
    if (!port->makeRaw()) {
        return nullptr;
    }
    return port;
}

std::vector<int> PosixSerialPortApi::enumerate() {
    const auto ports = portMap();
    std::set<int> candidates;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(deviceFolder_, error)) {
        const auto name = entry.path().filename().string();
        const auto number = ports.numberFor(entry.path());
        if (!number || !PortMap::defaultNumber(name) ||
            (name.starts_with("ttyS") && !uartPresent(entry.path()))) {
            continue;
        }
        candidates.insert(*number);
    }
    for (const auto& [number, device] : ports.mapped()) {
        if (std::filesystem::exists(device, error)) {
            candidates.insert(number);
        }
    }
    std::vector<int> found;
    for (const int number : candidates) {
        const int fd = openExclusive(ports.deviceFor(number));
        if (fd >= 0) {
            closeExclusive(fd);
            found.push_back(number);
        }
    }
    return found;
}

std::string PosixSerialPortApi::describe(int comNumber) const {
    return portMap().deviceFor(comNumber).string();
}

}  // namespace corvane
