#include "sim/SimFaultPlan.h"

#include <charconv>
#include <cmath>

#include "sim/SimKelvoUnit.h"

namespace corvane {

namespace {

bool number(std::string_view text, double& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && std::isfinite(value);
}

// "S+D" in seconds.
bool window(std::string_view text, SimFaultWindow& out) {
    const auto plus = text.find('+');
    double after = 0.0;
    double length = 0.0;
    if (plus == std::string_view::npos || !number(text.substr(0, plus), after) ||
        !number(text.substr(plus + 1), length) || after < 0.0 || length < 0.0 || after > 1e6 ||
        length > 1e6) {
        return false;
    }
    out.afterMs = std::llround(after * 1000.0);
    out.forMs = std::llround(length * 1000.0);
    return true;
}

}  // namespace

std::string parseSimFaults(std::string_view list, SimFaultPlan& plan) {
    auto& faults = plan.faults;
    while (!list.empty()) {
        const auto comma = list.find(',');
        const auto item = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        const auto equals = item.find('=');
        const auto name = item.substr(0, equals);
        const auto value = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
        const bool bare = equals == std::string_view::npos;
        double x = 0.0;
        if (bare && name == "silent") {
            faults.silent = true;
        } else if (bare && name == "ignore-keys") {
            faults.ignoreKeys = true;
        } else if (bare && name == "hold-bit3") {
            faults.holdControlBit3 = true;
        } else if (!bare && (name == "drop" || name == "corrupt") && number(value, x) && x >= 0.0 &&
                   x <= 1.0) {
            (name == "drop" ? faults.dropFraction : faults.corruptFraction) = x;
        } else if (!bare && (name == "refuse-settings" || name == "lose-echoes") &&
                   number(value, x) && x >= -1.0 && x <= 1e6 && x == std::floor(x)) {
            (name == "refuse-settings" ? faults.refuseSettings : faults.loseEchoes) =
                static_cast<int>(x);
        } else if (!bare && name == "silence" && window(value, faults.silence)) {
        } else if (!bare && name == "unplug" && window(value, faults.unplug)) {
        } else if (!bare && name == "firmware" && number(value, x) && x >= 0.0 && x <= 255.0 &&
                   x == std::floor(x)) {
            plan.menuVersion = static_cast<std::uint8_t>(x);
        } else {
            return "not a fault: '" + std::string(item) +
                   "' (drop=F, corrupt=F, silent, ignore-keys, hold-bit3, refuse-settings=N, "
                   "lose-echoes=N, silence=S+D, unplug=S+D, firmware=N)";
        }
    }
    return {};
}

void applySimFaults(const SimFaultPlan& plan, SimKelvoUnit& unit) {
    unit.setFaults(plan.faults);
    if (plan.menuVersion) {
        unit.setMenuVersion(*plan.menuVersion);
    }
}

}  // namespace corvane
