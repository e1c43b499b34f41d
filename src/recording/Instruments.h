#pragma once

#include <filesystem>
#include <memory>
#include <cstdint>
#include <string>

namespace corvane {

class BridgeLibrary;
class Clock;
class SerialPortApi;
class SimRig;

// Which instruments a program talks to.
struct InstrumentChoice {
    // The simulated bench instead of the machine's serial ports.
    bool simulate = false;
    // What the simulated bench holds: the unit on COM 3, the DE-1 box on
    // COM 4; the unit's line speed (0: its default).
    bool simulateUnit = true;
    bool simulateDe1Box = true;
    std::uint32_t simulatedBaudRate = 0;
    // The simulated DE-1 box's run: the piston speed (0: its default) and the
    // tubing to its collector as piston travel.
    double simulatedDe1SpeedMmPerS = 0.0;
    double simulatedDe1CollectorDelayMm = 0.0;
    // The monitor's full scale, set as the run's AUFS (0: the box's default).
    double simulatedDe1Aufs = 0.0;
    // Whether the simulated fractionator sends its own advance pulses (the
    // collector's marks on input 2, every 10 s).
    bool simulatedDe1AdvancePulses = true;
    // The bridge library to load by name; empty: the vendor's library when it
    // is installed, else the bridge's serial device.
    std::string bridgeLibrary;
};

// The instruments the desktop program and the command line talk to: the
// machine's serial ports, or the simulated bench (each instrument behind both
// the serial port and the bridge library seams). The header stays free of the
// simulator's own, which Qt files cannot include.
class Instruments {
public:
    Instruments(const InstrumentChoice& choice, Clock& clock, const std::filesystem::path& startupFolder);
    ~Instruments();
    Instruments(const Instruments&) = delete;
    Instruments& operator=(const Instruments&) = delete;

    [[nodiscard]] bool simulated() const;
    // Null when the simulated bench is not in use.
    [[nodiscard]] SimRig* rig();
    [[nodiscard]] SerialPortApi& ports();
    // The bridge library the link reaches the unit through; null when the
    // library asked for could not be loaded (reason() says why).
    [[nodiscard]] BridgeLibrary* bridge();
    [[nodiscard]] const std::string& reason() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace corvane
