#include "app/ComPortChooser.h"

#include <cctype>
#include <charconv>

#include "app/Preferences.h"

namespace corvane {

namespace {

void storeComPort(const std::filesystem::path& startupFolder, int number) {
    Preferences(startupFolder).setComPort(number);
}

}  // namespace

std::string comPortEntry(int number) { return "COM" + std::to_string(number); }

std::optional<int> parseComPortEntry(std::string_view entry) {
    if (!entry.starts_with("COM")) {
        return std::nullopt;
    }
    entry.remove_prefix(3);
    while (!entry.empty() && std::isspace(static_cast<unsigned char>(entry.front()))) {
        entry.remove_prefix(1);
    }
    if (entry.starts_with('+')) {
        entry.remove_prefix(1);
    }
    int number = 0;
    const auto [end, error] = std::from_chars(entry.data(), entry.data() + entry.size(), number);
    if (end == entry.data() || error != std::errc{}) {
        return std::nullopt;
    }
    return number;
}

int comPortSelection(const std::vector<int>& ports, int stored) {
    if (ports.empty()) {
        return -1;
    }
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (ports[i] == stored) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

ComPortChooser::ComPortChooser(std::filesystem::path startupFolder, std::vector<int> ports)
    : startupFolder_(std::move(startupFolder)), ports_(std::move(ports)) {}

bool ComPortChooser::open() {
    if (ports_.empty()) {
        return false;
    }
    if (ports_.size() == 1) {
        storeComPort(startupFolder_, ports_.front());
    }
    entries_.clear();
    for (const int port : ports_) {
        entries_.push_back(comPortEntry(port));
    }
    selection_ = comPortSelection(ports_, Preferences(startupFolder_).comPort());
    return true;
}

bool ComPortChooser::accept(std::string_view entry) {
    const auto number = parseComPortEntry(entry);
    if (!number) {
        return false;
    }
    storeComPort(startupFolder_, *number);
    return true;
}

}  // namespace corvane
