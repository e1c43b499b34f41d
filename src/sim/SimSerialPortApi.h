#pragma once

// Serial ports whose far ends are simulated instruments: the same devices the
// SimBridgeLibrary lists, reached by COM number as the OS's virtual COM ports
// would reach them. Time-outs follow the classic COM-port rules, waited
// through the clock:
// - readInterval 0xFFFFFFFF with both read totals 0: return at once with
//   what has come;
// - readInterval and readTotalMultiplier 0xFFFFFFFF with a constant between
//   1 and 0xFFFFFFFE: return as soon as a byte has come, else after the
//   constant;
// - otherwise the read ends after readTotalMultiplier x n + readTotalConstant
//   ms (when either is non-zero), or when readInterval (non-zero) passes
//   between two bytes; with all of them 0 it waits for every byte asked.
// Writes hand every byte to the device at once.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "link/SerialPortApi.h"
#include "sim/SimDevice.h"

namespace corvane {

// lastError() values of the simulated ports (the platform's codes).
inline constexpr std::uint32_t kSimSerialAccessDenied = 5;
inline constexpr std::uint32_t kSimSerialInvalidParameter = 87;
inline constexpr std::uint32_t kSimSerialReadFault = 30;

class SimSerialPortApi : public SerialPortApi {
public:
    // `clock` is the clock of the devices attached; their reads wait through it.
    explicit SimSerialPortApi(Clock& clock);

    // Attaches a device as port "COM n"; it must outlive this object and the
    // ports opened on it. describe(n) gives `description`.
    void addPort(int comNumber, SimDevice& device, std::string description = "simulated");

    // Null for an unknown number, for a device held through the bridge
    // library or another port, and for a port told to fail opening.
    [[nodiscard]] std::unique_ptr<SerialPort> open(int comNumber) override;
    // Every attached number, ascending (held ones included, as the OS lists them).
    [[nodiscard]] std::vector<int> enumerate() override;
    [[nodiscard]] std::string describe(int comNumber) const override;

    // Fault injection for the port path: opening fails; setting the state or
    // the time-outs fails; reading fails (lastError kSimSerialReadFault).
    void setOpenFails(int comNumber, bool fails);
    void setConfigureFails(int comNumber, bool fails);
    void setReadFails(int comNumber, bool fails);

    // How many times a port was opened, for tests.
    [[nodiscard]] int opens(int comNumber) const;

private:
    class Port;
    struct Entry {
        SimDevice* device = nullptr;
        std::string description;
        bool openFails = false;
        bool configureFails = false;
        bool readFails = false;
        int opens = 0;
    };

    mutable std::mutex mutex_;
    std::map<int, Entry> ports_;
};

}  // namespace corvane
