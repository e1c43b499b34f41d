#include "link/PortMap.h"

#include <charconv>

#include "app/Preferences.h"

namespace corvane {

namespace {

struct Family {
    std::string_view prefix;
    int first;  // COM number of device 0
    int count;
};

constexpr Family kFamilies[] = {
    {"ttyS", 1, 100},
    {"ttyUSB", 101, 100},
    {"ttyACM", 201, 56},
};

}  // namespace

PortMap::PortMap(std::filesystem::path deviceFolder) : deviceFolder_(std::move(deviceFolder)) {}

PortMap PortMap::load(const std::filesystem::path& startupFolder, std::filesystem::path deviceFolder) {
    PortMap ports(std::move(deviceFolder));
    for (auto& [number, device] : Preferences(startupFolder).portDevices()) {
        ports.map(number, std::move(device));
    }
    return ports;
}

void PortMap::map(int number, std::string device) {
    if (number < 1 || number > kMaxPort || device.empty()) {
        return;
    }
    std::filesystem::path path(device);
    mapped_[number] = path.is_absolute() ? path : deviceFolder_ / path;
}

std::filesystem::path PortMap::deviceFor(int number) const {
    if (const auto it = mapped_.find(number); it != mapped_.end()) {
        return it->second;
    }
    const auto name = defaultDeviceName(number);
    if (name.empty()) {
        return {};
    }
    const auto device = deviceFolder_ / name;
    for (const auto& [mappedNumber, mappedDevice] : mapped_) {
        if (mappedDevice == device) {
            return {};
        }
    }
    return device;
}

std::optional<int> PortMap::numberFor(const std::filesystem::path& device) const {
    for (const auto& [number, mappedDevice] : mapped_) {
        if (mappedDevice == device) {
            return number;
        }
    }
    if (device.parent_path() != deviceFolder_) {
        return std::nullopt;
    }
    const auto number = defaultNumber(device.filename().string());
    if (!number || mapped_.contains(*number)) {
        return std::nullopt;
    }
    return number;
}

std::optional<int> PortMap::defaultNumber(std::string_view deviceName) {
    for (const auto& family : kFamilies) {
        if (!deviceName.starts_with(family.prefix)) {
            continue;
        }
        const auto digits = deviceName.substr(family.prefix.size());
        int index = -1;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
        if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() ||
            (digits.size() > 1 && digits.front() == '0') || index < 0 || index >= family.count) {
            return std::nullopt;
        }
        return family.first + index;
    }
    return std::nullopt;
}

std::string PortMap::defaultDeviceName(int number) {
    for (const auto& family : kFamilies) {
        if (number >= family.first && number < family.first + family.count) {
            return std::string(family.prefix) + std::to_string(number - family.first);
        }
    }
    return {};
}

}  // namespace corvane
