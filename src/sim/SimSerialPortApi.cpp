#include "sim/SimSerialPortApi.h"

#include <utility>

namespace corvane {

namespace {
constexpr std::uint32_t kMaxDword = 0xFFFFFFFF;

SimReadLimits limitsFor(const SerialTimeouts& t, std::size_t n) {
    SimReadLimits limits;
    if (t.readInterval == kMaxDword && t.readTotalMultiplier == 0 && t.readTotalConstant == 0) {
        limits.immediate = true;
        return limits;
    }
    if (t.readInterval == kMaxDword && t.readTotalMultiplier == kMaxDword &&
        t.readTotalConstant > 0 && t.readTotalConstant < kMaxDword) {
        limits.returnOnFirstByte = true;
        limits.totalMs = t.readTotalConstant;
        return limits;
    }
    const auto total = static_cast<std::int64_t>(t.readTotalMultiplier) * static_cast<std::int64_t>(n) +
                       static_cast<std::int64_t>(t.readTotalConstant);
    limits.totalMs = total > 0 ? total : -1;
    limits.intervalMs = t.readInterval;
    return limits;
}
}  // namespace

class SimSerialPortApi::Port : public SerialPort {
public:
    Port(SimSerialPortApi& api, int comNumber, SimDevice& device)
        : api_(api), comNumber_(comNumber), device_(device) {}
    ~Port() override { device_.release(); }

    bool setTimeouts(const SerialTimeouts& timeouts) override {
        if (flag(&Entry::configureFails)) {
            lastError_ = kSimSerialInvalidParameter;
            return false;
        }
        timeouts_ = timeouts;
        return true;
    }

    bool getTimeouts(SerialTimeouts& timeouts) override {
        timeouts = timeouts_;
        return true;
    }

    bool getState(SerialState& state) override {
        state = state_;
        return true;
    }

    bool setState(const SerialState& state) override {
        if (flag(&Entry::configureFails)) {
            lastError_ = kSimSerialInvalidParameter;
            return false;
        }
        state_ = state;
        device_.setLineBaudRate(state.baudRate);
        return true;
    }

    bool read(void* buffer, std::size_t n, std::size_t& got) override {
        got = 0;
        if (flag(&Entry::readFails) || device_.unplugged()) {
            lastError_ = kSimSerialReadFault;
            return false;
        }
        got = device_.read(std::span(static_cast<std::uint8_t*>(buffer), n), limitsFor(timeouts_, n));
        return true;
    }

    bool write(const void* buffer, std::size_t n, std::size_t& written) override {
        written = 0;
        if (device_.unplugged()) {
            lastError_ = kSimSerialReadFault;
            return false;
        }
        device_.write(std::span(static_cast<const std::uint8_t*>(buffer), n));
        written = n;
        return true;
    }

    // Writes reach the device at once, so only the receive side holds anything.
    bool purge(bool receive, bool) override {
        if (receive) {
            device_.purgeOutput();
        }
        return true;
    }

    std::uint32_t lastError() const override { return lastError_; }

private:
    bool flag(bool Entry::*member) const {
        std::scoped_lock lock(api_.mutex_);
        const auto it = api_.ports_.find(comNumber_);
        return it != api_.ports_.end() && it->second.*member;
    }

    SimSerialPortApi& api_;
    const int comNumber_;
    SimDevice& device_;
    SerialTimeouts timeouts_;
    SerialState state_;
    std::uint32_t lastError_ = 0;
};

// Reads wait through the devices' own clock, which is this one.
SimSerialPortApi::SimSerialPortApi(Clock&) {}

void SimSerialPortApi::addPort(int comNumber, SimDevice& device, std::string description) {
    std::scoped_lock lock(mutex_);
    auto& entry = ports_[comNumber];
    entry.device = &device;
    entry.description = std::move(description);
}

std::unique_ptr<SerialPort> SimSerialPortApi::open(int comNumber) {
    std::scoped_lock lock(mutex_);
    const auto it = ports_.find(comNumber);
    if (it == ports_.end() || it->second.device == nullptr || it->second.openFails ||
        !it->second.device->claim()) {
        return nullptr;
    }
    ++it->second.opens;
    return std::make_unique<Port>(*this, comNumber, *it->second.device);
}

std::vector<int> SimSerialPortApi::enumerate() {
    std::scoped_lock lock(mutex_);
    std::vector<int> numbers;
    for (const auto& [number, entry] : ports_) {
        if (entry.device != nullptr) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

std::string SimSerialPortApi::describe(int comNumber) const {
    std::scoped_lock lock(mutex_);
    const auto it = ports_.find(comNumber);
    return it == ports_.end() ? std::string() : it->second.description;
}

void SimSerialPortApi::setOpenFails(int comNumber, bool fails) {
    std::scoped_lock lock(mutex_);
    ports_[comNumber].openFails = fails;
}

void SimSerialPortApi::setConfigureFails(int comNumber, bool fails) {
    std::scoped_lock lock(mutex_);
    ports_[comNumber].configureFails = fails;
}

void SimSerialPortApi::setReadFails(int comNumber, bool fails) {
    std::scoped_lock lock(mutex_);
    ports_[comNumber].readFails = fails;
}

int SimSerialPortApi::opens(int comNumber) const {
    std::scoped_lock lock(mutex_);
    const auto it = ports_.find(comNumber);
    return it == ports_.end() ? 0 : it->second.opens;
}

}  // namespace corvane
