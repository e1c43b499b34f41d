#pragma once

// The USB serial bridge's device library, as the link uses it. Real
// implementations load the vendor's library or drive an OS serial device;
// the simulator hosts its instruments behind the same calls. Every call
// returns a status: kBridgeOk (0) on success, anything else is a failure
// whose value is only logged.

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

using BridgeStatus = std::uint32_t;
// An open device. Never 0 for an open device; 0 means "none", so a handle can
// be passed around as a plain number greater than 0.
using BridgeHandle = std::uintptr_t;

inline constexpr BridgeStatus kBridgeOk = 0;
// Failure codes the implementations in this program use.
inline constexpr BridgeStatus kBridgeInvalidHandle = 1;
inline constexpr BridgeStatus kBridgeDeviceNotFound = 2;
inline constexpr BridgeStatus kBridgeDeviceNotOpened = 3;
inline constexpr BridgeStatus kBridgeIoError = 4;
inline constexpr BridgeStatus kBridgeInvalidParameter = 6;
inline constexpr BridgeStatus kBridgeOtherError = 18;

// listDevice flags: by index, giving the serial number.
inline constexpr std::uint32_t kListByIndexSerialNumber = 0x40000001;
// open attributes: a normal file opened by serial number.
inline constexpr std::uint32_t kOpenBySerialNumber = 129;

// setBitMode values: the link's (mask, mode) at open and before close.
inline constexpr std::uint8_t kBitModeOpenMask = 128;
inline constexpr std::uint8_t kBitModeCloseMask = 136;
inline constexpr std::uint8_t kBitModeCbus = 32;

// setDataCharacteristics values.
inline constexpr std::uint8_t kBits8 = 8;
inline constexpr std::uint8_t kStopBits1 = 0;
inline constexpr std::uint8_t kParityNone = 0;

// purge mask bits.
inline constexpr std::uint32_t kPurgeRx = 1;
inline constexpr std::uint32_t kPurgeTx = 2;

class BridgeLibrary {
public:
    virtual ~BridgeLibrary() = default;

    // The serial number of the device at `index` (0, 1, ...). Fails past the
    // last device; flags must be kListByIndexSerialNumber.
    [[nodiscard]] virtual BridgeStatus listDevice(std::uint32_t index, std::uint32_t flags,
                                                  std::string& serialNumber) = 0;

    // Opens the device with that serial number for reading and writing,
    // exclusively; attributes must be kOpenBySerialNumber. On success `handle`
    // is non-zero; on failure it is set to 0.
    [[nodiscard]] virtual BridgeStatus open(const std::string& serialNumber,
                                            std::uint32_t attributes, BridgeHandle& handle) = 0;

    // The COM port number the OS gives the device's virtual serial port.
    [[nodiscard]] virtual BridgeStatus getComPortNumber(BridgeHandle handle,
                                                        std::int32_t& comPort) = 0;

    [[nodiscard]] virtual BridgeStatus setBitMode(BridgeHandle handle, std::uint8_t mask,
                                                  std::uint8_t mode) = 0;
    [[nodiscard]] virtual BridgeStatus setBaudRate(BridgeHandle handle, std::uint32_t baud) = 0;
    [[nodiscard]] virtual BridgeStatus setDataCharacteristics(BridgeHandle handle,
                                                              std::uint8_t wordLength,
                                                              std::uint8_t stopBits,
                                                              std::uint8_t parity) = 0;
    // Read and write time-outs in ms; a read time-out of 0 means none (a read
    // then waits until every byte asked for has come).
    [[nodiscard]] virtual BridgeStatus setTimeouts(BridgeHandle handle, std::uint32_t readMs,
                                                   std::uint32_t writeMs) = 0;
    [[nodiscard]] virtual BridgeStatus setLatencyTimer(BridgeHandle handle, std::uint8_t ms) = 0;
    [[nodiscard]] virtual BridgeStatus setFlowControl(BridgeHandle handle, std::uint16_t flow,
                                                      std::uint8_t xon, std::uint8_t xoff) = 0;
    // Empties the receive (kPurgeRx) and/or transmit (kPurgeTx) buffers.
    [[nodiscard]] virtual BridgeStatus purge(BridgeHandle handle, std::uint32_t mask) = 0;

    // Waits until n bytes have come or the read time-out has run out since the
    // call began; `got` is how many were stored (0 on a time-out is success).
    [[nodiscard]] virtual BridgeStatus read(BridgeHandle handle, void* buffer, std::uint32_t n,
                                            std::uint32_t& got) = 0;
    [[nodiscard]] virtual BridgeStatus write(BridgeHandle handle, const void* buffer,
                                             std::uint32_t n, std::uint32_t& written) = 0;

    // Closes the device; the handle is invalid afterwards.
    virtual BridgeStatus close(BridgeHandle handle) = 0;
};

}  // namespace corvane
