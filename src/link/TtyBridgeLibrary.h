#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/BridgeLibrary.h"
#include "link/SerialPortApi.h"

namespace corvane {

// The bridge calls on a USB serial bridge that the OS already serves as a
// serial port (a /dev/ttyUSB* device, or a pty standing in for one). Devices
// are the ports the serial port seam lists, under the same COM numbers;
// each call is mapped onto the port:
//   listDevice        the ports that can be opened now, taken afresh at index
//                     0 (a port opened after that keeps its index); the serial
//                     number is the USB device's from sysfs where there is
//                     one, else the port's device path
//   open              opens that port exclusively
//   setBaudRate, setDataCharacteristics, setFlowControl
//                     the port's line settings (flow control: none only)
//   setTimeouts       read time-out = total read time; write time-out likewise
//   setLatencyTimer   the usb-serial driver's latency_timer in sysfs where it
//                     exists; a port without one accepts the call
//   purge             flushes the port's queues
//   setBitMode        has no tty meaning: accepted and noted
// Reads and writes on one port may run on two threads at once; a setting
// waits for a read in progress to end (at most its time-out).
class TtyBridgeLibrary : public BridgeLibrary {
public:
    explicit TtyBridgeLibrary(SerialPortApi& ports, std::filesystem::path sysfsRoot = "/sys");
    ~TtyBridgeLibrary() override;

    [[nodiscard]] BridgeStatus listDevice(std::uint32_t index, std::uint32_t flags,
                                          std::string& serialNumber) override;
    [[nodiscard]] BridgeStatus open(const std::string& serialNumber, std::uint32_t attributes,
                                    BridgeHandle& handle) override;
    [[nodiscard]] BridgeStatus getComPortNumber(BridgeHandle handle, std::int32_t& comPort) override;
    [[nodiscard]] BridgeStatus setBitMode(BridgeHandle handle, std::uint8_t mask,
                                          std::uint8_t mode) override;
    [[nodiscard]] BridgeStatus setBaudRate(BridgeHandle handle, std::uint32_t baud) override;
    [[nodiscard]] BridgeStatus setDataCharacteristics(BridgeHandle handle, std::uint8_t wordLength,
                                                      std::uint8_t stopBits,
                                                      std::uint8_t parity) override;
    [[nodiscard]] BridgeStatus setTimeouts(BridgeHandle handle, std::uint32_t readMs,
                                           std::uint32_t writeMs) override;
    [[nodiscard]] BridgeStatus setLatencyTimer(BridgeHandle handle, std::uint8_t ms) override;
    [[nodiscard]] BridgeStatus setFlowControl(BridgeHandle handle, std::uint16_t flow,
                                              std::uint8_t xon, std::uint8_t xoff) override;
    [[nodiscard]] BridgeStatus purge(BridgeHandle handle, std::uint32_t mask) override;
    [[nodiscard]] BridgeStatus read(BridgeHandle handle, void* buffer, std::uint32_t n,
                                    std::uint32_t& got) override;
    [[nodiscard]] BridgeStatus write(BridgeHandle handle, const void* buffer, std::uint32_t n,
                                     std::uint32_t& written) override;
    BridgeStatus close(BridgeHandle handle) override;

    // What the calls without a tty meaning did instead, oldest first (at most
    // the last 64), for diagnostics.
    [[nodiscard]] std::vector<std::string> notes() const;

private:
    struct Device {
        int comNumber = 0;
        std::string serialNumber;
        std::filesystem::path path;  // empty when the port is not a device file
    };
    struct OpenPort;

    [[nodiscard]] std::vector<Device> takeInventory() const;
    [[nodiscard]] std::string sysfsSerialNumber(const std::filesystem::path& device) const;
    [[nodiscard]] std::shared_ptr<OpenPort> find(BridgeHandle handle) const;
    // Runs a line setting with reads and writes held off.
    template <class Change>
    BridgeStatus configure(BridgeHandle handle, Change change);
    // Reads the line state, edits it and sets it again.
    template <class Edit>
    BridgeStatus changeState(BridgeHandle handle, Edit edit);
    void note(std::string text);

    SerialPortApi& ports_;
    const std::filesystem::path sysfsRoot_;
    mutable std::mutex mutex_;
    std::vector<Device> inventory_;
    std::map<BridgeHandle, std::shared_ptr<OpenPort>> open_;
    BridgeHandle nextHandle_ = 1;
    std::vector<std::string> notes_;
};

}  // namespace corvane
