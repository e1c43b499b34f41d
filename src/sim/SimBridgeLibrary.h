#pragma once

// A bridge library whose devices are simulated instruments. It keeps a log of
// every call with its arguments, in order, so tests can check what the link
// asked of the bridge; and failures can be injected per call.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/Clock.h"
#include "link/BridgeLibrary.h"
#include "sim/SimDevice.h"

namespace corvane {

// One call made to the library.
struct BridgeCall {
    // The BridgeLibrary function's name: "listDevice", "open",
    // "getComPortNumber", "setBitMode", "setBaudRate",
    // "setDataCharacteristics", "setTimeouts", "setLatencyTimer",
    // "setFlowControl", "purge", "read", "write", "close".
    std::string name;
    // The handle it was made on (for "open": the handle it returned, 0 on
    // failure; for "listDevice": 0).
    BridgeHandle handle = 0;
    // The numeric arguments in the order of the function's parameters:
    //   listDevice {index, flags}; open {attributes}; getComPortNumber {};
    //   setBitMode {mask, mode}; setBaudRate {baud};
    //   setDataCharacteristics {wordLength, stopBits, parity};
    //   setTimeouts {readMs, writeMs}; setLatencyTimer {ms};
    //   setFlowControl {flow, xon, xoff}; purge {mask};
    //   read {asked, got}; write {asked, written}; close {}.
    std::vector<std::int64_t> args;
    // "open": the serial number asked for; "listDevice": the one returned.
    std::string serialNumber;
    // "write": the bytes written.
    std::vector<std::uint8_t> data;
    // The status returned.
    BridgeStatus status = kBridgeOk;
    // Clock time at which the call was made (a read is logged when it
    // returns, with the time it began).
    std::int64_t atMs = -1;

    // "setBitMode(1, 128, 32)": name, handle (except for listDevice and open),
    // then the arguments; "open(KV000123, 129)".
    [[nodiscard]] std::string text() const;
};

class SimBridgeLibrary : public BridgeLibrary {
public:
    // Reads wait through `clock`.
    explicit SimBridgeLibrary(Clock& clock);

    // Attaches a device; devices are listed in the order they were added. The
    // device must outlive this library. Its COM port number is what
    // getComPortNumber reports.
    void addDevice(SimDevice& device, std::string serialNumber, std::int32_t comPort);

    [[nodiscard]] BridgeStatus listDevice(std::uint32_t index, std::uint32_t flags,
                                          std::string& serialNumber) override;
    // Fails with kBridgeDeviceNotFound for an unknown serial number, with
    // kBridgeDeviceNotOpened when the device is held (through this library or
    // its COM port), with kBridgeInvalidParameter for other attributes.
    [[nodiscard]] BridgeStatus open(const std::string& serialNumber, std::uint32_t attributes,
                                    BridgeHandle& handle) override;
    [[nodiscard]] BridgeStatus getComPortNumber(BridgeHandle handle, std::int32_t& comPort) override;
    [[nodiscard]] BridgeStatus setBitMode(BridgeHandle handle, std::uint8_t mask,
                                          std::uint8_t mode) override;
    // Sets the device's line speed.
    [[nodiscard]] BridgeStatus setBaudRate(BridgeHandle handle, std::uint32_t baud) override;
    [[nodiscard]] BridgeStatus setDataCharacteristics(BridgeHandle handle, std::uint8_t wordLength,
                                                      std::uint8_t stopBits,
                                                      std::uint8_t parity) override;
    // Read time-out 0 (the default after open) = wait for every byte asked.
    [[nodiscard]] BridgeStatus setTimeouts(BridgeHandle handle, std::uint32_t readMs,
                                           std::uint32_t writeMs) override;
    [[nodiscard]] BridgeStatus setLatencyTimer(BridgeHandle handle, std::uint8_t ms) override;
    [[nodiscard]] BridgeStatus setFlowControl(BridgeHandle handle, std::uint16_t flow,
                                              std::uint8_t xon, std::uint8_t xoff) override;
    // kPurgeRx drops what the device has sent and nobody has read.
    [[nodiscard]] BridgeStatus purge(BridgeHandle handle, std::uint32_t mask) override;
    // Waits through the clock up to the read time-out (from the call's start).
    [[nodiscard]] BridgeStatus read(BridgeHandle handle, void* buffer, std::uint32_t n,
                                    std::uint32_t& got) override;
    // Delivers every byte to the device at once.
    [[nodiscard]] BridgeStatus write(BridgeHandle handle, const void* buffer, std::uint32_t n,
                                     std::uint32_t& written) override;
    BridgeStatus close(BridgeHandle handle) override;

    // The calls so far, oldest first. Recording stops (and droppedCalls()
    // counts on) after `maxCalls` entries, so a long simulated session does
    // not grow without bound.
    [[nodiscard]] std::vector<BridgeCall> calls() const;
    // The calls of one name, oldest first.
    [[nodiscard]] std::vector<BridgeCall> callsNamed(std::string_view name) const;
    void clearCalls();
    [[nodiscard]] std::uint64_t droppedCalls() const;
    void setMaxCalls(std::size_t maxCalls);
    // Whether reads and writes are recorded (they are by default).
    void setLogReadsAndWrites(bool on);

    // Makes the next `count` calls of that name (all of them when count < 0)
    // fail with `status`, without any effect. A "read" or "write" that fails
    // stores nothing; an "open" that fails returns handle 0.
    void failCalls(std::string_view name, BridgeStatus status, int count = -1);
    // Ends all injected failures.
    void clearFailures();

    // Open handles now.
    [[nodiscard]] std::size_t openHandles() const;
    // The last bit mode (mask, mode) set on a device, by serial number.
    [[nodiscard]] std::optional<std::pair<std::uint8_t, std::uint8_t>> lastBitMode(
        const std::string& serialNumber) const;

private:
    struct Device {
        SimDevice* device = nullptr;
        std::string serialNumber;
        std::int32_t comPort = 0;
        std::optional<std::pair<std::uint8_t, std::uint8_t>> bitMode;
    };
    struct Open {
        std::size_t deviceIndex = 0;
        std::uint32_t readTimeoutMs = 0;
        std::uint32_t writeTimeoutMs = 0;
    };
    struct Failure {
        BridgeStatus status = kBridgeOk;
        int remaining = -1;
    };

    // Lock held: the failure to inject for this call, if any (counts it down).
    [[nodiscard]] std::optional<BridgeStatus> takeFailure(std::string_view name);
    void record(BridgeCall call);
    // Lock held: the device behind an open handle, or null.
    [[nodiscard]] Open* findOpen(BridgeHandle handle);
    // Shared shape of the simple setters.
    BridgeStatus simpleCall(std::string_view name, BridgeHandle handle,
                            std::vector<std::int64_t> args);

    Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<Device> devices_;
    std::map<BridgeHandle, Open> open_;
    BridgeHandle nextHandle_ = 1;
    std::map<std::string, Failure, std::less<>> failures_;
    std::vector<BridgeCall> calls_;
    std::size_t maxCalls_ = 100000;
    std::uint64_t dropped_ = 0;
    bool logReadsAndWrites_ = true;
};

}  // namespace corvane
