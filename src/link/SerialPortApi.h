#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

// Time-outs of a serial port in the classic COM-port sense (all in ms): a read
// returns after readTotalConstant + readTotalMultiplier * n ms with whatever
// arrived; readInterval 0 means no limit between bytes.
struct SerialTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

// The line settings the program sets on a port.
struct SerialState {
    std::uint32_t baudRate = 9600;
    bool binary = true;
    bool parityCheck = false;
    bool dtrEnabled = false;
    bool rtsEnabled = false;
    std::uint8_t dataBits = 8;
    std::uint8_t parity = 0;    // 0 none
    std::uint8_t stopBits = 0;  // 0 one stop bit
    bool ctsFlow = false;
    bool dsrFlow = false;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
};

// The line the unit and the DE-1 box speak: binary, 8 data bits, no parity,
// one stop bit, DTR and RTS off, no flow control of any kind. Applied to the
// state a port reports, so that nothing of an earlier user's set-up survives.
inline void setPlainLine(SerialState& state, std::uint32_t baudRate) {
    state.baudRate = baudRate;
    state.binary = true;
    state.parityCheck = false;
    state.dtrEnabled = false;
    state.rtsEnabled = false;
    state.dataBits = 8;
    state.parity = 0;
    state.stopBits = 0;
    state.ctsFlow = false;
    state.dsrFlow = false;
    state.xonXoffOut = false;
    state.xonXoffIn = false;
}

// One open serial port, opened exclusively. Closing is the destructor.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    [[nodiscard]] virtual bool setTimeouts(const SerialTimeouts& timeouts) = 0;
    [[nodiscard]] virtual bool getTimeouts(SerialTimeouts& timeouts) = 0;
    [[nodiscard]] virtual bool getState(SerialState& state) = 0;
    [[nodiscard]] virtual bool setState(const SerialState& state) = 0;
    // Blocks up to the read time-outs; got may be less than n (0 on time-out).
    [[nodiscard]] virtual bool read(void* buffer, std::size_t n, std::size_t& got) = 0;
    [[nodiscard]] virtual bool write(const void* buffer, std::size_t n, std::size_t& written) = 0;
    // Drops what has arrived and not been read (receive) and what waits to
    // go out (transmit).
    [[nodiscard]] virtual bool purge(bool receive, bool transmit) = 0;
    // The platform's error code of the last failed call.
    [[nodiscard]] virtual std::uint32_t lastError() const = 0;
};

// The serial ports of the machine, named by COM number as in "prefs.cfg".
class SerialPortApi {
public:
    virtual ~SerialPortApi() = default;

    // Opens "COM n" for reading and writing, exclusively; null when it cannot be opened.
    [[nodiscard]] virtual std::unique_ptr<SerialPort> open(int comNumber) = 0;
    // The numbers of the ports that can be opened now, ascending, at most 256.
    [[nodiscard]] virtual std::vector<int> enumerate() = 0;
    // What stands behind the number, for the port list ("/dev/ttyUSB0"); empty if unknown.
    [[nodiscard]] virtual std::string describe(int comNumber) const = 0;
};

}  // namespace corvane
