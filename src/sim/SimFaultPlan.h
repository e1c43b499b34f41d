#pragma once

// Faults written as text, for corvane-sim and the command line's simulated
// bench: a comma-separated list of
//   drop=F  corrupt=F      fraction (0..1) of the bytes sent dropped / changed
//   silent  ignore-keys  hold-bit3
//   refuse-settings=N      the next N settings packets refused (-1: all)
//   lose-echoes=N          the echoes of the next N keys lost, the keys taken (-1: all)
//   silence=S+D            silent for D seconds from S seconds on
//   unplug=S+D             the cable pulled for D seconds from S seconds on
//   firmware=N             the menu version in the heartbeats
// Times count from the moment the faults are set on the device.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/SimDevice.h"

namespace corvane {

struct SimFaultPlan {
    SimFaults faults;
    std::optional<std::uint8_t> menuVersion;
};

// Adds the faults of list to plan; the problem with it, empty when fine.
[[nodiscard]] std::string parseSimFaults(std::string_view list, SimFaultPlan& plan);

class SimKelvoUnit;
// Sets the plan on the unit (faults from now on, and the firmware).
void applySimFaults(const SimFaultPlan& plan, SimKelvoUnit& unit);

}  // namespace corvane
