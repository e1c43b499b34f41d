#include "link/TtyBridgeLibrary.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>
#include <system_error>

namespace corvane {

namespace {

constexpr std::size_t kMaxNotes = 64;
// How far up from a tty's device node the USB device with its serial number lies.
constexpr int kSerialSearchDepth = 4;

std::string firstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

}  // namespace

struct TtyBridgeLibrary::OpenPort {
    std::unique_ptr<SerialPort> port;
    Device device;
    // Reads and writes may overlap; settings wait for both.
    std::mutex readMutex;
    std::mutex writeMutex;
};

TtyBridgeLibrary::TtyBridgeLibrary(SerialPortApi& ports, std::filesystem::path sysfsRoot)
    : ports_(ports), sysfsRoot_(std::move(sysfsRoot)) {}

TtyBridgeLibrary::~TtyBridgeLibrary() = default;

std::string TtyBridgeLibrary::sysfsSerialNumber(const std::filesystem::path& device) const {
    std::error_code error;
    const auto name = std::filesystem::weakly_canonical(device, error).filename();
    if (error || name.empty()) {
        return {};
    }
    auto node = std::filesystem::canonical(sysfsRoot_ / "class" / "tty" / name / "device", error);
    for (int depth = 0; !error && depth < kSerialSearchDepth && node.has_relative_path(); ++depth) {
        if (const auto serial = firstLine(node / "serial"); !serial.empty()) {
            return serial;
        }
        node = node.parent_path();
    }
    return {};
}

std::vector<TtyBridgeLibrary::Device> TtyBridgeLibrary::takeInventory() const {
    std::vector<Device> devices;
    std::set<std::string> taken;
    for (const int number : ports_.enumerate()) {
        Device device;
        device.comNumber = number;
        const std::filesystem::path described = ports_.describe(number);
        if (described.is_absolute()) {
            device.path = described;
            device.serialNumber = sysfsSerialNumber(described);
        }
        // Two ports of one USB device share its serial number: the path tells them apart.
        if (device.serialNumber.empty() || taken.contains(device.serialNumber)) {
            device.serialNumber = described.empty() ? "COM" + std::to_string(number) : described.string();
        }
        taken.insert(device.serialNumber);
        devices.push_back(std::move(device));
    }
    return devices;
}

BridgeStatus TtyBridgeLibrary::listDevice(std::uint32_t index, std::uint32_t flags,
                                          std::string& serialNumber) {
    if (flags != kListByIndexSerialNumber) {
        return kBridgeInvalidParameter;
    }
    // Listing opens each port briefly, so it runs without the lock.
    std::vector<Device> fresh;
    if (index == 0) {
        fresh = takeInventory();
    }
    std::scoped_lock lock(mutex_);
    if (index == 0) {
        inventory_ = std::move(fresh);
    }
    if (index >= inventory_.size()) {
        return kBridgeDeviceNotFound;
    }
    serialNumber = inventory_[index].serialNumber;
    return kBridgeOk;
}

BridgeStatus TtyBridgeLibrary::open(const std::string& serialNumber, std::uint32_t attributes,
                                    BridgeHandle& handle) {
    handle = 0;
    if (attributes != kOpenBySerialNumber) {
        return kBridgeInvalidParameter;
    }
    std::optional<Device> device;
    {
        std::scoped_lock lock(mutex_);
        const auto it = std::find_if(inventory_.begin(), inventory_.end(),
                                     [&](const Device& d) { return d.serialNumber == serialNumber; });
        if (it == inventory_.end()) {
            return kBridgeDeviceNotFound;
        }
        device = *it;
    }
    auto port = ports_.open(device->comNumber);
    if (!port) {
        return kBridgeDeviceNotOpened;
    }
    auto entry = std::make_shared<OpenPort>();
    entry->port = std::move(port);
    entry->device = *device;
    std::scoped_lock lock(mutex_);
    handle = nextHandle_++;
    open_[handle] = std::move(entry);
    return kBridgeOk;
}

std::shared_ptr<TtyBridgeLibrary::OpenPort> TtyBridgeLibrary::find(BridgeHandle handle) const {
    std::scoped_lock lock(mutex_);
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second;
}

BridgeStatus TtyBridgeLibrary::getComPortNumber(BridgeHandle handle, std::int32_t& comPort) {
    const auto open = find(handle);
    if (!open) {
        return kBridgeInvalidHandle;
    }
    comPort = open->device.comNumber;
    return kBridgeOk;
}

template <class Change>
BridgeStatus TtyBridgeLibrary::configure(BridgeHandle handle, Change change) {
    const auto open = find(handle);
    if (!open) {
        return kBridgeInvalidHandle;
    }
    const std::scoped_lock quiet(open->readMutex, open->writeMutex);
    return change(*open);
}

BridgeStatus TtyBridgeLibrary::setBitMode(BridgeHandle handle, std::uint8_t mask, std::uint8_t mode) {
    return configure(handle, [&](OpenPort& open) {
        note("bit mode " + std::to_string(mask) + "/" + std::to_string(mode) + " on COM" +
             std::to_string(open.device.comNumber) + ": no serial port equivalent, accepted");
        return kBridgeOk;
    });
}

template <class Edit>
BridgeStatus TtyBridgeLibrary::changeState(BridgeHandle handle, Edit edit) {
    return configure(handle, [&](OpenPort& open) {
        SerialState state;
        if (!open.port->getState(state)) {
            return kBridgeIoError;
        }
        edit(state);
        // The port refuses what it cannot do (an unknown rate, a framing).
        return open.port->setState(state) ? kBridgeOk : kBridgeInvalidParameter;
    });
}

BridgeStatus TtyBridgeLibrary::setBaudRate(BridgeHandle handle, std::uint32_t baud) {
    return changeState(handle, [&](SerialState& state) { state.baudRate = baud; });
}

BridgeStatus TtyBridgeLibrary::setDataCharacteristics(BridgeHandle handle, std::uint8_t wordLength,
                                                      std::uint8_t stopBits, std::uint8_t parity) {
    return changeState(handle, [&](SerialState& state) {
        state.dataBits = wordLength;
        state.stopBits = stopBits;
        state.parity = parity;
    });
}

BridgeStatus TtyBridgeLibrary::setFlowControl(BridgeHandle handle, std::uint16_t flow, std::uint8_t,
                                              std::uint8_t) {
    if (flow != 0) {
        return kBridgeInvalidParameter;
    }
    return changeState(handle, [](SerialState& state) {
        state.ctsFlow = false;
        state.dsrFlow = false;
        state.xonXoffIn = false;
        state.xonXoffOut = false;
    });
}

BridgeStatus TtyBridgeLibrary::setTimeouts(BridgeHandle handle, std::uint32_t readMs,
                                           std::uint32_t writeMs) {
    return configure(handle, [&](OpenPort& open) {
        SerialTimeouts timeouts;
        timeouts.readTotalConstant = readMs;
        timeouts.writeTotalConstant = writeMs;
        return open.port->setTimeouts(timeouts) ? kBridgeOk : kBridgeIoError;
    });
}

BridgeStatus TtyBridgeLibrary::setLatencyTimer(BridgeHandle handle, std::uint8_t ms) {
    return configure(handle, [&](OpenPort& open) {
        std::error_code error;
        const auto name = std::filesystem::weakly_canonical(open.device.path, error).filename();
        const auto timer = sysfsRoot_ / "bus" / "usb-serial" / "devices" / name / "latency_timer";
        if (open.device.path.empty() || name.empty() || !std::filesystem::exists(timer, error)) {
            note("latency timer " + std::to_string(ms) + " on COM" +
                 std::to_string(open.device.comNumber) + ": the port has none, accepted");
            return kBridgeOk;
        }
        std::ofstream out(timer);
        out << static_cast<int>(ms) << '\n';
        out.close();
        return out ? kBridgeOk : kBridgeIoError;
    });
}

BridgeStatus TtyBridgeLibrary::purge(BridgeHandle handle, std::uint32_t mask) {
    return configure(handle, [&](OpenPort& open) {
        return open.port->purge((mask & kPurgeRx) != 0, (mask & kPurgeTx) != 0) ? kBridgeOk
                                                                                 : kBridgeIoError;
    });
}

BridgeStatus TtyBridgeLibrary::read(BridgeHandle handle, void* buffer, std::uint32_t n,
                                    std::uint32_t& got) {
    got = 0;
    const auto open = find(handle);
    if (!open) {
        return kBridgeInvalidHandle;
    }
    const std::scoped_lock reading(open->readMutex);
    std::size_t count = 0;
    if (!open->port->read(buffer, n, count)) {
        return kBridgeIoError;
    }
    got = static_cast<std::uint32_t>(std::min<std::size_t>(count, n));
    return kBridgeOk;
}

BridgeStatus TtyBridgeLibrary::write(BridgeHandle handle, const void* buffer, std::uint32_t n,
                                     std::uint32_t& written) {
    written = 0;
    const auto open = find(handle);
    if (!open) {
        return kBridgeInvalidHandle;
    }
    const std::scoped_lock writing(open->writeMutex);
    std::size_t count = 0;
    if (!open->port->write(buffer, n, count)) {
        return kBridgeIoError;
    }
    written = static_cast<std::uint32_t>(std::min<std::size_t>(count, n));
    return kBridgeOk;
}

BridgeStatus TtyBridgeLibrary::close(BridgeHandle handle) {
    std::shared_ptr<OpenPort> closing;
    {
        std::scoped_lock lock(mutex_);
        const auto it = open_.find(handle);
        if (it == open_.end()) {
            return kBridgeInvalidHandle;
        }
        closing = std::move(it->second);
        open_.erase(it);
    }
    // The port closes once no read or write still uses it.
    const std::scoped_lock quiet(closing->readMutex, closing->writeMutex);
    closing->port.reset();
    return kBridgeOk;
}

void TtyBridgeLibrary::note(std::string text) {
    std::scoped_lock lock(mutex_);
    if (notes_.size() == kMaxNotes) {
        notes_.erase(notes_.begin());
    }
    notes_.push_back(std::move(text));
}

std::vector<std::string> TtyBridgeLibrary::notes() const {
    std::scoped_lock lock(mutex_);
    return notes_;
}

}  // namespace corvane
