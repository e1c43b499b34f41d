#pragma once

// Serves one simulated device on a serial port the system already has: one
// end of a null-modem pair (a virtual pair on Windows, a second pty under
// wine), so that programs on the other end reach the device through the
// system's serial path. On POSIX PtyServer makes its own pseudo-terminal
// instead.

#include <atomic>

#include "app/Clock.h"
#include "link/SerialPortApi.h"
#include "sim/SimDevice.h"

namespace corvane {

// Passes bytes both ways until `stop` is set. The device's bytes that the
// port will not take at once are dropped, as a line would lose them. False
// when the port fails (it was unplugged or closed under us).
[[nodiscard]] bool servePort(SerialPort& port, SimDevice& device, Clock& clock, const std::atomic<bool>& stop);

}  // namespace corvane
