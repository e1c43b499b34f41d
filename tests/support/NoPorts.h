#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/SerialPortApi.h"

namespace corvane::test {

// A machine with no serial ports at all: the window comes up without an
// instrument, as on a computer the bridge was never plugged into.
class NoPorts : public SerialPortApi {
public:
    std::unique_ptr<SerialPort> open(int) override { return nullptr; }
    std::vector<int> enumerate() override { return {}; }
    std::string describe(int) const override { return {}; }
};

}  // namespace corvane::test
