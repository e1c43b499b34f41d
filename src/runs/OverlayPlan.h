#pragma once

#include <vector>

namespace corvane {

// One zone of a standard run's fractionation plan.
struct OverlayZone {
    double start = 0.0;  // mm from the meniscus
    double end = 0.0;    // mm
    int fractions = 1;   // 1..99

    bool operator==(const OverlayZone&) const = default;
};

// The zones a standard run is cut into; zone 1 starts at 0 mm and each later
// zone starts where the previous one ends. autofrac 1 turns the
// collection-limit check off.
struct OverlayPlan {
    std::vector<OverlayZone> zones;
    int autofrac = 0;

    bool operator==(const OverlayPlan&) const = default;
};

// The plan of the standard run shown, with its own run's volume per mm (the
// one its fraction volumes take when no run description gives one).
struct StandardRunPlan {
    OverlayPlan plan;
    double volumePerMm = 0.0;
};

}  // namespace corvane
