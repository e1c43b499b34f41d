// A bridge device library for the tests: the C functions the program loads
// at run time, each handing its call on to a BridgeLibrary the test installs
// (a SimBridgeLibrary), so that loading, resolving and calling through the C
// layer really run.
#include <cstring>
#include <string>

#include "link/BridgeCApi.h"
#include "link/BridgeLibrary.h"

using corvane::BridgeHandle;
using corvane::BridgeLibrary;

namespace {

// The one target of this library instance; set before any call.
BridgeLibrary* target = nullptr;

BridgeHandle handleOf(void* device) {
    return reinterpret_cast<BridgeHandle>(device);
}

}  // namespace

extern "C" void fake_bridge_install(BridgeLibrary* library) {
    target = library;
}

std::uint32_t bridge_list_by_index(std::uint32_t index, char* serialNumber,
                                                      std::uint32_t size, std::uint32_t flags) {
    std::string serial;
    const auto status = target->listDevice(index, flags, serial);
    if (status != corvane::kBridgeOk) {
        return status;
    }
    if (serial.size() + 1 > size) {
        return corvane::kBridgeInvalidParameter;
    }
    std::memcpy(serialNumber, serial.c_str(), serial.size() + 1);
    return status;
}

std::uint32_t bridge_open_by_serial(const char* serialNumber,
                                                       std::uint32_t attributes, void** device) {
    BridgeHandle handle = 0;
    const auto status = target->open(serialNumber, attributes, handle);
    *device = reinterpret_cast<void*>(handle);
    return status;
}

std::uint32_t bridge_get_com_port(void* device, std::int32_t* comPort) {
    return target->getComPortNumber(handleOf(device), *comPort);
}

std::uint32_t bridge_set_bit_mode(void* device, std::uint8_t mask,
                                                     std::uint8_t mode) {
    return target->setBitMode(handleOf(device), mask, mode);
}

std::uint32_t bridge_set_baud_rate(void* device, std::uint32_t baud) {
    return target->setBaudRate(handleOf(device), baud);
}

std::uint32_t bridge_set_data_characteristics(void* device, std::uint8_t bits,
                                                                 std::uint8_t stop,
                                                                 std::uint8_t parity) {
    return target->setDataCharacteristics(handleOf(device), bits, stop, parity);
}

std::uint32_t bridge_set_timeouts(void* device, std::uint32_t readMs,
                                                     std::uint32_t writeMs) {
    return target->setTimeouts(handleOf(device), readMs, writeMs);
}

std::uint32_t bridge_set_latency_timer(void* device, std::uint8_t ms) {
    return target->setLatencyTimer(handleOf(device), ms);
}

std::uint32_t bridge_set_flow_control(void* device, std::uint16_t flow,
                                                         std::uint8_t xon, std::uint8_t xoff) {
    return target->setFlowControl(handleOf(device), flow, xon, xoff);
}

std::uint32_t bridge_purge(void* device, std::uint32_t mask) {
    return target->purge(handleOf(device), mask);
}

std::uint32_t bridge_read(void* device, void* buffer, std::uint32_t n,
                                             std::uint32_t* got) {
    return target->read(handleOf(device), buffer, n, *got);
}

std::uint32_t bridge_write(void* device, const void* buffer, std::uint32_t n,
                                              std::uint32_t* written) {
    return target->write(handleOf(device), buffer, n, *written);
}

std::uint32_t bridge_close(void* device) {
    return target->close(handleOf(device));
}
