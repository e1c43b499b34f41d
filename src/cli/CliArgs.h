#pragma once

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "recording/Instruments.h"
#include "sim/SimFaultPlan.h"

namespace corvane::cli {

// A whole argument as a number: "12x" and "" are refused.
template <class T>
[[nodiscard]] bool parseNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

// The options of the commands that talk to an instrument: --simulate or
// --port N (exactly one), --baud B, --library PATH, and with --simulate the
// simulated unit's faults (--sim-faults LIST, see sim/SimFaultPlan.h).
struct InstrumentOptions {
    static constexpr std::uint32_t kDefaultBaud = 57600;

    bool simulate = false;
    std::optional<int> port;
    std::optional<std::uint32_t> baud;
    std::string library;
    std::optional<SimFaultPlan> simFaults;

    [[nodiscard]] bool complete() const {
        return simulate != port.has_value() && (simulate || !simFaults);
    }

    enum class Taken { No, Yes, Bad };
    // Takes argv[i] (and its value, moving i on to it) when it is one of
    // these options; Bad when its value is not acceptable.
    Taken take(int argc, char** argv, int& i);

    // --baud, else "baudrate" of the preferences in startupFolder, else 57600.
    [[nodiscard]] std::uint32_t lineSpeed(const std::filesystem::path& startupFolder) const;
    // The instruments these options name, the simulated unit at baud.
    [[nodiscard]] InstrumentChoice choice(std::uint32_t baud) const;
    // The COM port to connect on: the simulated unit's, or --port. The
    // simulated unit gets its faults from now on.
    [[nodiscard]] int comPort(Instruments& instruments) const;
};

}  // namespace corvane::cli
