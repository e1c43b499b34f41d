#pragma once

#include <filesystem>

#include "link/PortMap.h"
#include "link/SerialPortApi.h"

namespace corvane {

// Serial ports of a POSIX system through termios. Numbers are given to the
// devices by PortMap, which is read from the settings on every call, so an
// edited "[ports]" section takes effect at the next enumeration or open.
//
// A port is held exclusively: TIOCEXCL keeps other programs out, and an
// flock keeps out other copies of this program even when they run as root
// (for whom TIOCEXCL does not apply). Time-outs keep their COM-port meaning
// and are measured in real time, as the device runs in real time.
class PosixSerialPortApi : public SerialPortApi {
public:
    explicit PosixSerialPortApi(std::filesystem::path startupFolder,
                                std::filesystem::path deviceFolder = "/dev");

    [[nodiscard]] std::unique_ptr<SerialPort> open(int comNumber) override;
    // ttyUSB*, ttyACM*, the ttyS* with a UART behind them and the mapped
    // devices that exist, each only if it can be opened now.
    [[nodiscard]] std::vector<int> enumerate() override;
    [[nodiscard]] std::string describe(int comNumber) const override;

private:
    [[nodiscard]] PortMap portMap() const;

    std::filesystem::path startupFolder_;
    std::filesystem::path deviceFolder_;
};

}  // namespace corvane
