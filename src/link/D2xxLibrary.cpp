#include "link/D2xxLibrary.h"

#include <array>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace corvane {

namespace {

// The system's loader: the library's handle (null when it cannot be loaded,
// with why), its functions, and letting it go.
#ifdef _WIN32
void* loadLibrary(const std::string& name, std::string& why) {
    // A bare name is looked for beside the program and in the system's
    // folders, never in the current folder; a path is taken as it is.
    const std::filesystem::path path(name);
    const bool bare = !path.has_parent_path();
    HMODULE library = ::LoadLibraryExW(bare ? path.c_str() : std::filesystem::absolute(path).c_str(), nullptr,
                                       bare ? LOAD_LIBRARY_SEARCH_DEFAULT_DIRS : 0);
    if (library == nullptr) {
        why = "not found (Windows error " + std::to_string(::GetLastError()) + ")";
    }
    return reinterpret_cast<void*>(library);
}
void* findFunction(void* library, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}
void unloadLibrary(void* library) { ::FreeLibrary(static_cast<HMODULE>(library)); }
#else
void* loadLibrary(const std::string& name, std::string& why) {
    void* library = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* error = ::dlerror();
        why = error ? error : "not found";
    }
    return library;
}
void* findFunction(void* library, const char* name) { return ::dlsym(library, name); }
void unloadLibrary(void* library) { ::dlclose(library); }
#endif

void* deviceOf(BridgeHandle handle) {
    return reinterpret_cast<void*>(handle);
}

// Finds one function; false (with the reason) when the library lacks it.
template <class Fn>
bool resolve(void* library, const char* name, Fn& out, std::string& reason) {
    out = reinterpret_cast<Fn>(findFunction(library, name));
    if (out == nullptr) {
        reason = std::string("it has no function ") + name;
        return false;
    }
    return true;
}

}  // namespace

D2xxLibrary::D2xxLibrary(std::string libraryName) {
    std::string why;
    void* library = loadLibrary(libraryName, why);
    if (library == nullptr) {
        reason_ = "bridge library " + libraryName + " not available: " + why;
        return;
    }
    Functions fn;
    std::string missing;
    const bool complete =
        resolve(library, "bridge_list_by_index", fn.listByIndex, missing) &&
        resolve(library, "bridge_open_by_serial", fn.openBySerial, missing) &&
        resolve(library, "bridge_get_com_port", fn.getComPort, missing) &&
        resolve(library, "bridge_set_bit_mode", fn.setBitMode, missing) &&
        resolve(library, "bridge_set_baud_rate", fn.setBaudRate, missing) &&
        resolve(library, "bridge_set_data_characteristics", fn.setDataCharacteristics, missing) &&
        resolve(library, "bridge_set_timeouts", fn.setTimeouts, missing) &&
        resolve(library, "bridge_set_latency_timer", fn.setLatencyTimer, missing) &&
        resolve(library, "bridge_set_flow_control", fn.setFlowControl, missing) &&
        resolve(library, "bridge_purge", fn.purge, missing) &&
        resolve(library, "bridge_read", fn.read, missing) &&
        resolve(library, "bridge_write", fn.write, missing) &&
        resolve(library, "bridge_close", fn.close, missing);
    if (!complete) {
        unloadLibrary(library);
        reason_ = "bridge library " + libraryName + " not available: " + missing;
        return;
    }
    handle_ = library;
    fn_ = fn;
}

D2xxLibrary::~D2xxLibrary() {
    if (handle_ != nullptr) {
        unloadLibrary(handle_);
    }
}

BridgeStatus D2xxLibrary::listDevice(std::uint32_t index, std::uint32_t flags,
                                     std::string& serialNumber) {
    if (!available()) {
        return kBridgeDeviceNotFound;
    }
    std::array<char, kBridgeSerialNumberSize> buffer{};
    const auto status = fn_.listByIndex(index, buffer.data(), buffer.size(), flags);
    if (status == kBridgeOk) {
        // A library that writes no terminator still gives a bounded string.
        serialNumber.assign(buffer.data(), ::strnlen(buffer.data(), buffer.size()));
    }
    return status;
}

BridgeStatus D2xxLibrary::open(const std::string& serialNumber, std::uint32_t attributes,
                               BridgeHandle& handle) {
    handle = 0;
    if (!available()) {
        return kBridgeDeviceNotFound;
    }
    void* device = nullptr;
    const auto status = fn_.openBySerial(serialNumber.c_str(), attributes, &device);
    if (status == kBridgeOk && device != nullptr) {
        handle = reinterpret_cast<BridgeHandle>(device);
    }
    return device == nullptr && status == kBridgeOk ? kBridgeDeviceNotOpened : status;
}

BridgeStatus D2xxLibrary::getComPortNumber(BridgeHandle handle, std::int32_t& comPort) {
    return available() ? fn_.getComPort(deviceOf(handle), &comPort) : kBridgeInvalidHandle;
}

BridgeStatus D2xxLibrary::setBitMode(BridgeHandle handle, std::uint8_t mask, std::uint8_t mode) {
    return available() ? fn_.setBitMode(deviceOf(handle), mask, mode) : kBridgeInvalidHandle;
}

BridgeStatus D2xxLibrary::setBaudRate(BridgeHandle handle, std::uint32_t baud) {
    return available() ? fn_.setBaudRate(deviceOf(handle), baud) : kBridgeInvalidHandle;
}

BridgeStatus D2xxLibrary::setDataCharacteristics(BridgeHandle handle, std::uint8_t wordLength,
                                                 std::uint8_t stopBits, std::uint8_t parity) {
    return available() ? fn_.setDataCharacteristics(deviceOf(handle), wordLength, stopBits, parity)
                       : kBridgeInvalidHandle;
}

BridgeStatus D2xxLibrary::setTimeouts(BridgeHandle handle, std::uint32_t readMs,
                                      std::uint32_t writeMs) {
    return available() ? fn_.setTimeouts(deviceOf(handle), readMs, writeMs) : kBridgeInvalidHandle;
}

BridgeStatus D2xxLibrary::setLatencyTimer(BridgeHandle handle, std::uint8_t ms) {
    return available() ? fn_.setLatencyTimer(deviceOf(handle), ms) : kBridgeInvalidHandle;
}

BridgeStatus D2xxLibrary::setFlowControl(BridgeHandle handle, std::uint16_t flow, std::uint8_t xon,
                                         std::uint8_t xoff) {
    return available() ? fn_.setFlowControl(deviceOf(handle), flow, xon, xoff)
                       : kBridgeInvalidHandle;
}

BridgeStatus D2xxLibrary::purge(BridgeHandle handle, std::uint32_t mask) {
    return available() ? fn_.purge(deviceOf(handle), mask) : kBridgeInvalidHandle;
}

BridgeStatus D2xxLibrary::read(BridgeHandle handle, void* buffer, std::uint32_t n,
                               std::uint32_t& got) {
    got = 0;
    if (!available()) {
        return kBridgeInvalidHandle;
    }
    const auto status = fn_.read(deviceOf(handle), buffer, n, &got);
    got = got > n ? n : got;
    return status;
}

BridgeStatus D2xxLibrary::write(BridgeHandle handle, const void* buffer, std::uint32_t n,
                                std::uint32_t& written) {
    written = 0;
    if (!available()) {
        return kBridgeInvalidHandle;
    }
    const auto status = fn_.write(deviceOf(handle), buffer, n, &written);
    written = written > n ? n : written;
    return status;
}

BridgeStatus D2xxLibrary::close(BridgeHandle handle) {
    return available() ? fn_.close(deviceOf(handle)) : kBridgeInvalidHandle;
}

}  // namespace corvane
