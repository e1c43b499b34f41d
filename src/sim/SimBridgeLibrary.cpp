#include "sim/SimBridgeLibrary.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace corvane {

std::string BridgeCall::text() const {
    std::string out = name + "(";
    bool first = true;
    auto add = [&](const std::string& part) {
        if (!first) {
            out += ", ";
        }
        out += part;
        first = false;
    };
    if (name == "open") {
        add(serialNumber);
    } else if (name != "listDevice") {
        add(std::to_string(handle));
    }
    for (const auto arg : args) {
        add(std::to_string(arg));
    }
    return out + ")";
}

SimBridgeLibrary::SimBridgeLibrary(Clock& clock) : clock_(clock) {}

void SimBridgeLibrary::addDevice(SimDevice& device, std::string serialNumber,
                                 std::int32_t comPort) {
    std::scoped_lock lock(mutex_);
    devices_.push_back(Device{&device, std::move(serialNumber), comPort, std::nullopt});
}

std::optional<BridgeStatus> SimBridgeLibrary::takeFailure(std::string_view name) {
    const auto it = failures_.find(name);
    if (it == failures_.end() || it->second.remaining == 0) {
        return std::nullopt;
    }
    if (it->second.remaining > 0) {
        --it->second.remaining;
    }
    return it->second.status;
}

void SimBridgeLibrary::record(BridgeCall call) {
    if (call.atMs < 0) {
        call.atMs = clock_.nowMs();
    }
    if (!logReadsAndWrites_ && (call.name == "read" || call.name == "write")) {
        return;
    }
    if (calls_.size() >= maxCalls_) {
        ++dropped_;
        return;
    }
    calls_.push_back(std::move(call));
}

SimBridgeLibrary::Open* SimBridgeLibrary::findOpen(BridgeHandle handle) {
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : &it->second;
}

BridgeStatus SimBridgeLibrary::listDevice(std::uint32_t index, std::uint32_t flags,
                                          std::string& serialNumber) {
    std::scoped_lock lock(mutex_);
    BridgeCall call{"listDevice", 0, {index, flags}, {}, {}, kBridgeOk};
    if (const auto failure = takeFailure("listDevice")) {
        call.status = *failure;
    } else if (flags != kListByIndexSerialNumber) {
        call.status = kBridgeInvalidParameter;
    } else if (index >= devices_.size()) {
        call.status = kBridgeDeviceNotFound;
    } else {
        serialNumber = devices_[index].serialNumber;
        call.serialNumber = serialNumber;
    }
    record(call);
    return call.status;
}

BridgeStatus SimBridgeLibrary::open(const std::string& serialNumber, std::uint32_t attributes,
                                    BridgeHandle& handle) {
    std::scoped_lock lock(mutex_);
    handle = 0;
    BridgeCall call{"open", 0, {attributes}, serialNumber, {}, kBridgeOk};
    const auto device = std::find_if(devices_.begin(), devices_.end(),
                                      [&](const Device& d) { return d.serialNumber == serialNumber; });
    if (const auto failure = takeFailure("open")) {
        call.status = *failure;
    } else if (attributes != kOpenBySerialNumber) {
        call.status = kBridgeInvalidParameter;
    } else if (device == devices_.end()) {
        call.status = kBridgeDeviceNotFound;
    } else if (!device->device->claim()) {
        call.status = kBridgeDeviceNotOpened;
    } else {
        handle = nextHandle_++;
        open_[handle] = Open{static_cast<std::size_t>(device - devices_.begin()), 0, 0};
        call.handle = handle;
    }
    record(call);
    return call.status;
}

BridgeStatus SimBridgeLibrary::getComPortNumber(BridgeHandle handle, std::int32_t& comPort) {
    std::scoped_lock lock(mutex_);
    BridgeCall call{"getComPortNumber", handle, {}, {}, {}, kBridgeOk};
    if (const auto failure = takeFailure(call.name)) {
        call.status = *failure;
    } else if (auto* open = findOpen(handle)) {
        comPort = devices_[open->deviceIndex].comPort;
    } else {
        call.status = kBridgeInvalidHandle;
    }
    record(call);
    return call.status;
}

BridgeStatus SimBridgeLibrary::simpleCall(std::string_view name, BridgeHandle handle,
                                          std::vector<std::int64_t> args) {
    std::scoped_lock lock(mutex_);
    BridgeCall call{std::string(name), handle, std::move(args), {}, {}, kBridgeOk};
    if (const auto failure = takeFailure(name)) {
        call.status = *failure;
    } else if (auto* open = findOpen(handle)) {
        auto& device = devices_[open->deviceIndex];
        if (name == "setBitMode") {
            device.bitMode = std::pair{static_cast<std::uint8_t>(call.args[0]),
                                       static_cast<std::uint8_t>(call.args[1])};
        } else if (name == "setBaudRate") {
            device.device->setLineBaudRate(static_cast<std::uint32_t>(call.args[0]));
        } else if (name == "setTimeouts") {
            open->readTimeoutMs = static_cast<std::uint32_t>(call.args[0]);
            open->writeTimeoutMs = static_cast<std::uint32_t>(call.args[1]);
        } else if (name == "purge") {
            if ((call.args[0] & kPurgeRx) != 0) {
                device.device->purgeOutput();
            }
        }
    } else {
        call.status = kBridgeInvalidHandle;
    }
    record(call);
    return call.status;
}

BridgeStatus SimBridgeLibrary::setBitMode(BridgeHandle handle, std::uint8_t mask,
                                          std::uint8_t mode) {
    return simpleCall("setBitMode", handle, {mask, mode});
}

BridgeStatus SimBridgeLibrary::setBaudRate(BridgeHandle handle, std::uint32_t baud) {
    return simpleCall("setBaudRate", handle, {baud});
}

BridgeStatus SimBridgeLibrary::setDataCharacteristics(BridgeHandle handle,
                                                      std::uint8_t wordLength,
                                                      std::uint8_t stopBits, std::uint8_t parity) {
    return simpleCall("setDataCharacteristics", handle, {wordLength, stopBits, parity});
}

BridgeStatus SimBridgeLibrary::setTimeouts(BridgeHandle handle, std::uint32_t readMs,
                                           std::uint32_t writeMs) {
    return simpleCall("setTimeouts", handle, {readMs, writeMs});
}

BridgeStatus SimBridgeLibrary::setLatencyTimer(BridgeHandle handle, std::uint8_t ms) {
    return simpleCall("setLatencyTimer", handle, {ms});
}

BridgeStatus SimBridgeLibrary::setFlowControl(BridgeHandle handle, std::uint16_t flow,
                                              std::uint8_t xon, std::uint8_t xoff) {
    return simpleCall("setFlowControl", handle, {flow, xon, xoff});
}

BridgeStatus SimBridgeLibrary::purge(BridgeHandle handle, std::uint32_t mask) {
    return simpleCall("purge", handle, {mask});
}

BridgeStatus SimBridgeLibrary::read(BridgeHandle handle, void* buffer, std::uint32_t n,
                                    std::uint32_t& got) {
    got = 0;
    SimDevice* device = nullptr;
    std::uint32_t timeoutMs = 0;
    {
        std::scoped_lock lock(mutex_);
        if (const auto failure = takeFailure("read")) {
            record(BridgeCall{"read", handle, {n, 0}, {}, {}, *failure});
            return *failure;
        }
        auto* open = findOpen(handle);
        if (open == nullptr) {
            record(BridgeCall{"read", handle, {n, 0}, {}, {}, kBridgeInvalidHandle});
            return kBridgeInvalidHandle;
        }
        device = devices_[open->deviceIndex].device;
        timeoutMs = open->readTimeoutMs;
    }
    if (device->unplugged()) {
        std::scoped_lock lock(mutex_);
        record(BridgeCall{"read", handle, {n, 0}, {}, {}, kBridgeIoError, clock_.nowMs()});
        return kBridgeIoError;
    }
    // The wait runs without the library's lock: the other threads of the link
    // write and read meanwhile.
    SimReadLimits limits;
    limits.totalMs = timeoutMs == 0 ? -1 : static_cast<std::int64_t>(timeoutMs);
    const auto startMs = clock_.nowMs();
    const auto count = device->read(std::span(static_cast<std::uint8_t*>(buffer), n), limits);
    got = static_cast<std::uint32_t>(count);
    std::scoped_lock lock(mutex_);
    record(BridgeCall{"read", handle, {n, got}, {}, {}, kBridgeOk, startMs});
    return kBridgeOk;
}

BridgeStatus SimBridgeLibrary::write(BridgeHandle handle, const void* buffer, std::uint32_t n,
                                     std::uint32_t& written) {
    written = 0;
    SimDevice* device = nullptr;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    {
        std::scoped_lock lock(mutex_);
        BridgeCall call{"write", handle, {n, 0}, {}, {bytes, bytes + n}, kBridgeOk};
        if (const auto failure = takeFailure("write")) {
            call.status = *failure;
            record(std::move(call));
            return *failure;
        }
        auto* open = findOpen(handle);
        if (open == nullptr) {
            call.status = kBridgeInvalidHandle;
            record(std::move(call));
            return kBridgeInvalidHandle;
        }
        device = devices_[open->deviceIndex].device;
        if (device->unplugged()) {
            call.status = kBridgeIoError;
            record(std::move(call));
            return kBridgeIoError;
        }
        written = n;
        call.args[1] = n;
        record(std::move(call));
    }
    device->write(std::span(bytes, n));
    return kBridgeOk;
}

BridgeStatus SimBridgeLibrary::close(BridgeHandle handle) {
    std::scoped_lock lock(mutex_);
    BridgeCall call{"close", handle, {}, {}, {}, kBridgeOk};
    if (const auto failure = takeFailure("close")) {
        call.status = *failure;
    } else if (auto* open = findOpen(handle)) {
        devices_[open->deviceIndex].device->release();
        open_.erase(handle);
    } else {
        call.status = kBridgeInvalidHandle;
    }
    record(call);
    return call.status;
}

std::vector<BridgeCall> SimBridgeLibrary::calls() const {
    std::scoped_lock lock(mutex_);
    return calls_;
}

std::vector<BridgeCall> SimBridgeLibrary::callsNamed(std::string_view name) const {
    std::scoped_lock lock(mutex_);
    std::vector<BridgeCall> out;
    for (const auto& call : calls_) {
        if (call.name == name) {
            out.push_back(call);
        }
    }
    return out;
}

void SimBridgeLibrary::clearCalls() {
    std::scoped_lock lock(mutex_);
    calls_.clear();
    dropped_ = 0;
}

std::uint64_t SimBridgeLibrary::droppedCalls() const {
    std::scoped_lock lock(mutex_);
    return dropped_;
}

void SimBridgeLibrary::setMaxCalls(std::size_t maxCalls) {
    std::scoped_lock lock(mutex_);
    maxCalls_ = maxCalls;
}

void SimBridgeLibrary::setLogReadsAndWrites(bool on) {
    std::scoped_lock lock(mutex_);
    logReadsAndWrites_ = on;
}

void SimBridgeLibrary::failCalls(std::string_view name, BridgeStatus status, int count) {
    std::scoped_lock lock(mutex_);
    failures_[std::string(name)] = Failure{status, count};
}

void SimBridgeLibrary::clearFailures() {
    std::scoped_lock lock(mutex_);
    failures_.clear();
}

std::size_t SimBridgeLibrary::openHandles() const {
    std::scoped_lock lock(mutex_);
    return open_.size();
}

std::optional<std::pair<std::uint8_t, std::uint8_t>> SimBridgeLibrary::lastBitMode(
    const std::string& serialNumber) const {
    std::scoped_lock lock(mutex_);
    for (const auto& device : devices_) {
        if (device.serialNumber == serialNumber) {
            return device.bitMode;
        }
    }
    return std::nullopt;
}

}  // namespace corvane
