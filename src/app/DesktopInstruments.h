#pragma once

#include <filesystem>
#include <memory>

namespace corvane {

class BridgeLibrary;
class Clock;
class SerialPortApi;

// The instruments the desktop program talks to: the machine's serial ports,
// or the simulated bench (a Kelvo unit on COM 3 and a DE-1 interface box on
// COM 4, each behind both the serial port and the bridge library seams).
class DesktopInstruments {
public:
    DesktopInstruments(bool simulate, Clock& clock, const std::filesystem::path& prefsPath);
    ~DesktopInstruments();
    DesktopInstruments(const DesktopInstruments&) = delete;
    DesktopInstruments& operator=(const DesktopInstruments&) = delete;

    [[nodiscard]] bool simulated() const;
    [[nodiscard]] SerialPortApi& ports();
    // The bridge library the link reaches the unit through: the simulated
    // bench's, or the vendor's library when installed, else the bridge's
    // serial device.
    [[nodiscard]] BridgeLibrary* bridge();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace corvane
