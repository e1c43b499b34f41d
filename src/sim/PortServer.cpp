#include "sim/PortServer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace corvane {

std::int64_t msUntilDeviceOutput(SimDevice& device, const Clock& clock) {
    const auto next = device.nextOutputMs();
    return next ? std::clamp<std::int64_t>(*next - clock.nowMs(), 1, 20) : 20;
}

bool servePort(SerialPort& port, SimDevice& device, Clock& clock, const std::atomic<bool>& stop) {
    SerialState state;
    if (!port.getState(state)) {
        return false;
    }
    setPlainLine(state, state.baudRate);
    if (!port.setState(state)) {
        return false;
    }
    // A write never waits long: a line nobody reads loses bytes.
    SerialTimeouts timeouts;
    timeouts.writeTotalConstant = 20;
    std::array<std::uint8_t, 512> buffer{};
    const auto send = [&port](std::span<const std::uint8_t> bytes) {
        std::size_t written = 0;
        return port.write(bytes.data(), bytes.size(), written);
    };
    while (!stop.load()) {
        if (!passDeviceOutput(device, buffer, send)) {
            return false;
        }
        const std::int64_t waitMs = msUntilDeviceOutput(device, clock);
        // Back after waitMs, or as soon as a burst of bytes pauses for 2 ms.
        // (Not the "first byte ends it" setting: wine's serial layer waits
        // on it for ever.)
        timeouts.readInterval = 2;
        timeouts.readTotalConstant = static_cast<std::uint32_t>(waitMs);
        std::size_t got = 0;
        if (!port.setTimeouts(timeouts) || !port.read(buffer.data(), buffer.size(), got)) {
            return false;
        }
        if (got > 0) {
            device.write(std::span(buffer.data(), got));
        }
    }
    return true;
}

}  // namespace corvane
