#pragma once

#include <filesystem>

#include "link/SerialPortApi.h"

namespace corvane {

// Serial ports of Windows through the Win32 communications API (built on
// Windows only): "COM n" is opened as \\.\COMn, exclusively and overlapped,
// so a read waiting on one thread never holds up a write from another. Line
// settings are the port's DCB, time-outs its COMMTIMEOUTS (the seam's own
// meaning), purge is PurgeComm.
class Win32SerialPortApi : public SerialPortApi {
public:
    // The start-up folder has no say on Windows: the numbers are the system's.
    explicit Win32SerialPortApi(const std::filesystem::path& startupFolder = {});

    [[nodiscard]] std::unique_ptr<SerialPort> open(int comNumber) override;
    // The COM ports 1 to 256 that can be opened now.
    [[nodiscard]] std::vector<int> enumerate() override;
    // The device behind the number ("\Device\Serial0"); empty if unknown.
    [[nodiscard]] std::string describe(int comNumber) const override;
};

}  // namespace corvane
