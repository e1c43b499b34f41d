#pragma once

// What a plan must satisfy before it is used: the number of fractions a zone
// may have, the zone checks (the same on the DE-1 SETUP page's zone table,
// the STANDARD RUN window and the command line), and whether one fraction
// of each zone fits the collection vessel.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runs/OverlayPlan.h"
#include "runs/OverlayPlanBlock.h"

namespace corvane {

inline constexpr int kMinZoneFractions = 1;
inline constexpr int kMaxZoneFractions = 99;

// The number of fractions as typed into "Number of Fractions": empty when it
// is an integer 1..99, else the message to show.
[[nodiscard]] std::string fractionCountProblem(std::string_view text);

// One zone as typed: its end and its number of fractions. Its start is the
// previous zone's end (0 for zone 1).
struct ZoneRow {
    std::string end;
    std::string number;
};

// The zone checks in zone order; empty when every row passes, else the
// message of the first failure ("Invalid end position for zone #%d.", ...).
[[nodiscard]] std::string zoneRowsProblem(const std::vector<ZoneRow>& rows);
// The same checks on a plan in numbers, with the count's range as well:
// what a plan must pass before it is written.
[[nodiscard]] std::string zonesProblem(const OverlayPlan& plan);

// The volume per mm a run's fractions are measured with, the same for the
// setup pages, the checks and the recording: the run description's, else
// the standard run's own, else the default tube's. Each is taken only when
// above 0.
[[nodiscard]] double volumePerMmForRun(double described, double standardRun);

// (end - start) / number; 0 for a zone without fractions.
[[nodiscard]] double fractionDistance(const OverlayZone& zone);
[[nodiscard]] double fractionVolume(const OverlayZone& zone, double volumePerMm);

// The collection-limit check: empty when it passes (no plan, autofrac 1, or
// every fraction fits limitMl), else "Invalid volume per mm." or the list of
// zones whose fractions overflow the vessel.
[[nodiscard]] std::string collectionLimitProblem(const OverlayPlan* plan, double volumePerMm, double limitMl);

inline constexpr const char* kNoOverlayPlan = "Error, no overlay plan available.";

// The plan a DE-1 run is cut by, checked before the run starts: the
// standard run's when one is set (a standard run without zones has none to
// give), else the DE-1 setup's own zones, else none (the settings' even
// fractions). problem is the one message to show when the run may not start.
struct RunPlanChoice {
    std::optional<OverlayPlan> plan;
    std::string problem;
};
[[nodiscard]] RunPlanChoice chooseRunPlan(const std::optional<OverlayPlan>& standardRunPlan,
                                          const std::optional<OverlayPlan>& setupPlan, double volumePerMm,
                                          double limitMl);

// The header lines a standard run carries for its plan: the number of
// fractions over all zones, the distance the zones cover, and the largest
// fraction distance (the one the collection vessel must hold).
[[nodiscard]] PlanHeaderLines planHeaderLines(const OverlayPlan& plan);
// The vessel the plan was made for: its largest fraction volume. 0 without
// zones or without a volume per mm.
[[nodiscard]] double planCollectionVolume(const OverlayPlan& plan, double volumePerMm);

}  // namespace corvane
