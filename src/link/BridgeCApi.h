#pragma once

// The C functions a USB serial bridge's device library exports, as this
// program loads and calls them at run time (D2xxLibrary). One function per
// BridgeLibrary call, same arguments and status codes; a device is an opaque
// pointer, never null once open. Serial numbers are copied NUL-terminated
// into the caller's buffer; one that does not fit fails with
// kBridgeInvalidParameter.

#include <cstdint>

extern "C" {
std::uint32_t bridge_list_by_index(std::uint32_t index, char* serialNumber,
                                   std::uint32_t serialNumberSize, std::uint32_t flags);
std::uint32_t bridge_open_by_serial(const char* serialNumber, std::uint32_t attributes,
                                    void** device);
std::uint32_t bridge_get_com_port(void* device, std::int32_t* comPort);
std::uint32_t bridge_set_bit_mode(void* device, std::uint8_t mask, std::uint8_t mode);
std::uint32_t bridge_set_baud_rate(void* device, std::uint32_t baud);
std::uint32_t bridge_set_data_characteristics(void* device, std::uint8_t wordLength,
                                              std::uint8_t stopBits, std::uint8_t parity);
std::uint32_t bridge_set_timeouts(void* device, std::uint32_t readMs, std::uint32_t writeMs);
std::uint32_t bridge_set_latency_timer(void* device, std::uint8_t ms);
std::uint32_t bridge_set_flow_control(void* device, std::uint16_t flow, std::uint8_t xon,
                                      std::uint8_t xoff);
std::uint32_t bridge_purge(void* device, std::uint32_t mask);
std::uint32_t bridge_read(void* device, void* buffer, std::uint32_t n, std::uint32_t* got);
std::uint32_t bridge_write(void* device, const void* buffer, std::uint32_t n,
                           std::uint32_t* written);
std::uint32_t bridge_close(void* device);
}

namespace corvane {
// Room for a serial number, terminator included.
inline constexpr std::uint32_t kBridgeSerialNumberSize = 64;
}  // namespace corvane
