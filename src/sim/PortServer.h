#pragma once

// Serves one simulated device on a serial port the system already has: one
// end of a null-modem pair (a virtual pair on Windows, a second pty under
// wine), so that programs on the other end reach the device through the
// system's serial path. On POSIX PtyServer makes its own pseudo-terminal
// instead.

#include <atomic>
#include <cstdint>
#include <span>

#include "app/Clock.h"
#include "link/SerialPortApi.h"
#include "sim/SimDevice.h"

namespace corvane {

// One turn of a server, whatever its line: passes on every byte the device
// has sent by now (`send(bytes)` is false when the line fails) and is false
// when a send fails.
template <class Send>
[[nodiscard]] bool passDeviceOutput(SimDevice& device, std::span<std::uint8_t> buffer, Send&& send) {
    for (;;) {
        const auto n = device.readAvailable(buffer);
        if (n == 0) {
            return true;
        }
        if (!send(buffer.first(n))) {
            return false;
        }
    }
}

// How long a server may wait for the PC's bytes: until the device's next
// output is due, 1 to 20 ms.
[[nodiscard]] std::int64_t msUntilDeviceOutput(SimDevice& device, const Clock& clock);

// Passes bytes both ways until `stop` is set. The device's bytes that the
// port will not take at once are dropped, as a line would lose them. False
// when the port fails (it was unplugged or closed under us).
[[nodiscard]] bool servePort(SerialPort& port, SimDevice& device, Clock& clock, const std::atomic<bool>& stop);

}  // namespace corvane
