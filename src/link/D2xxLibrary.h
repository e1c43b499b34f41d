#pragma once

#include <string>

#include "link/BridgeCApi.h"
#include "link/BridgeLibrary.h"

namespace corvane {

// The bridge vendor's device library, loaded at run time when it is
// installed (the C functions of BridgeCApi.h). Without it, or with a library
// that lacks one of the functions, available() is false, every call fails
// and reason() says why; nothing else is affected.
class D2xxLibrary : public BridgeLibrary {
public:
#ifdef _WIN32
    static constexpr const char* kDefaultLibraryName = "d2xx.dll";
#else
    static constexpr const char* kDefaultLibraryName = "libd2xx.so";
#endif

    // A bare name is looked up where the system looks for libraries; a path
    // is taken as it is.
    explicit D2xxLibrary(std::string libraryName = kDefaultLibraryName);
    ~D2xxLibrary() override;
    D2xxLibrary(const D2xxLibrary&) = delete;
    D2xxLibrary& operator=(const D2xxLibrary&) = delete;

    [[nodiscard]] bool available() const { return handle_ != nullptr; }
    // "" when available; otherwise "bridge library NAME not available: WHY".
    [[nodiscard]] const std::string& reason() const { return reason_; }

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

private:
    // The library's functions, all found or none used.
    struct Functions {
        decltype(&bridge_list_by_index) listByIndex = nullptr;
        decltype(&bridge_open_by_serial) openBySerial = nullptr;
        decltype(&bridge_get_com_port) getComPort = nullptr;
        decltype(&bridge_set_bit_mode) setBitMode = nullptr;
        decltype(&bridge_set_baud_rate) setBaudRate = nullptr;
        decltype(&bridge_set_data_characteristics) setDataCharacteristics = nullptr;
        decltype(&bridge_set_timeouts) setTimeouts = nullptr;
        decltype(&bridge_set_latency_timer) setLatencyTimer = nullptr;
        decltype(&bridge_set_flow_control) setFlowControl = nullptr;
        decltype(&bridge_purge) purge = nullptr;
        decltype(&bridge_read) read = nullptr;
        decltype(&bridge_write) write = nullptr;
        decltype(&bridge_close) close = nullptr;
    };

    void* handle_ = nullptr;
    std::string reason_;
    Functions fn_;
};

}  // namespace corvane
